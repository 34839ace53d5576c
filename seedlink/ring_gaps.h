#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// A stretch of one stream the ring holds no samples for, between two of its records.
struct SStreamGap {
    std::string location;
    std::string channel;
    char type = 'D';
    std::int64_t beginNs = 0; // where the next sample was due
    std::int64_t endNs = 0;   // first sample after the gap
};

// Gaps between consecutive records of each stream held, in ring order. A record that starts
// more than half a sample period away from where the one before it ended opens a gap (an
// overlap is not one). Reads every record header: meant for INFO, not for every packet.
std::vector<SStreamGap> FindRingGaps(const CRecordRing& ring);

} // namespace nereid::seedlink
