#include "seedlink/ring_gaps.h"

#include <libmseed.h>

#include <map>

namespace nereid::seedlink {

namespace {

// Sample period of a record in nanoseconds; 0 when it has none (text, log records).
std::int64_t PeriodNs(const std::array<char, kRecordLength>& record) {
    std::array<char, kRecordLength> copy = record;
    MSRecord* msr = nullptr;
    std::int64_t period = 0;
    if (msr_unpack(copy.data(), static_cast<int>(copy.size()), &msr, 0, 0) == MS_NOERROR &&
        msr->samprate > 0) {
        period = static_cast<std::int64_t>(1e9 / msr->samprate + 0.5);
    }
    msr_free(&msr);
    return period;
}

} // namespace

std::vector<SStreamGap> FindRingGaps(const CRecordRing& ring) {
    struct Last {
        std::int64_t nextNs = 0; // where the next record should start
        std::int64_t periodNs = 0;
    };
    std::map<std::string, Last> last;
    std::vector<SStreamGap> gaps;
    std::array<char, kRecordLength> record{};
    SRecordInfo info;
    for (std::uint64_t position = ring.Oldest(); position < ring.Next(); ++position) {
        if (ring.Get(position, record, info) != kRingRecord) {
            continue; // overwritten while reading: the rest still counts
        }
        const std::int64_t period = PeriodNs(record);
        if (period == 0) {
            continue;
        }
        const std::string key = info.location + "." + info.channel + "." + info.type;
        const auto it = last.find(key);
        if (it != last.end() && info.startNs - it->second.nextNs > it->second.periodNs / 2) {
            gaps.push_back(
                {info.location, info.channel, info.type, it->second.nextNs, info.startNs});
        }
        last[key] = Last{info.endNs + period, period};
    }
    return gaps;
}

} // namespace nereid::seedlink
