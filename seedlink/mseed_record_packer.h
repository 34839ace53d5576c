#pragma once

#include "seedlink/stream_feed.h"

namespace nereid::seedlink {

// Packers of Steim-2 records for the feed. A record is held back until it is full or its
// first buffered sample is `maxLatencySeconds` old in stream time, so that slow channels still
// reach clients within that delay.
PackerFactory MseedPackerFactory(double maxLatencySeconds);

} // namespace nereid::seedlink
