#include "recording/file_channel.h"

#include "recording/byte_order.h"
#include "recording/dadisp_format.h"

#include <cstring>

namespace nereid::recording {

double FileChannel::Value(std::uint64_t i) const {
    const std::uint8_t* p = firstSample + i * static_cast<std::uint64_t>(SampleSize(sampleType));
    switch (sampleType) {
    case kSampleByte:
        return static_cast<std::int8_t>(p[0]);
    case kSampleInteger:
        return GetLeS16(p);
    case kSampleFloat: {
        const std::uint32_t bits = GetLe32(p);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    case kSampleDouble: {
        const std::uint64_t bits = static_cast<std::uint64_t>(GetLe32(p)) |
                                   static_cast<std::uint64_t>(GetLe32(p + 4)) << 32;
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    default:
        return GetLeS32(p);
    }
}

std::int64_t FileChannel::IntValue(std::uint64_t i) const {
    return static_cast<std::int64_t>(Value(i));
}

} // namespace nereid::recording
