#pragma once

#include "seedlink/stream_feed.h"

namespace nereid::seedlink {

// Packers of Steim-2 records for the feed. A record goes out as soon as the samples that
// arrived fill it (within the recorder second that fills it); one that is not full goes out
// once its first sample is `maxLatencySeconds` old in stream time, so that slow channels
// still reach clients within that delay.
// `fullRecordsAtOnce` false leaves the packing to libmseed alone (a full record waits until
// about 735 samples are buffered): the behaviour before, for comparisons.
PackerFactory MseedPackerFactory(double maxLatencySeconds, bool fullRecordsAtOnce = true);

} // namespace nereid::seedlink
