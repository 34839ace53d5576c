#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "seedlink/record_ring.h"

namespace nereid::seedlink::test {

constexpr std::int64_t kSecond = 1000000000LL;
constexpr std::int64_t kT0 = 1796666100LL * kSecond; // 2026-12-07 17:55:00

// A stand-in record: its first bytes name the stream and a serial number, so that tests can
// see which record arrived without decoding miniSEED.
inline std::string FakeRecord(const std::string& channel, int serial) {
    std::string record(kRecordLength, '\0');
    const std::string label = channel + "#" + std::to_string(serial);
    std::memcpy(record.data(), label.data(), label.size());
    return record;
}

inline std::uint64_t AppendFake(CRecordRing& ring, const std::string& channel, int serial,
                                std::int64_t startNs, std::int64_t endNs) {
    SRecordInfo info;
    info.channel = channel;
    info.startNs = startNs;
    info.endNs = endNs;
    return ring.Append(FakeRecord(channel, serial).data(), info);
}

inline std::string LabelOf(const char* record) {
    return std::string(record);
}

} // namespace nereid::seedlink::test
