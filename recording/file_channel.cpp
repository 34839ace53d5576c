#include "recording/file_channel.h"

#include "recording/byte_order.h"
#include "recording/dadisp_format.h"
#include "recording/sample_source.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "the array loops load little-endian samples as they lie");

namespace {

// One conversion loop per type, with plain loads the compiler can vectorise: the per-sample
// switch of Value costs more than the work itself on long walks.
template <typename T> void ConvertArray(const std::uint8_t* p, std::size_t n, double* out) {
    for (std::size_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, p + i * sizeof(T), sizeof(T));
        out[i] = static_cast<double>(v);
    }
}

} // namespace

void ConvertSamples(const std::uint8_t* p, int sampleType, std::size_t n, double* out) {
    switch (sampleType) {
    case kSampleByte:
        ConvertArray<std::int8_t>(p, n, out);
        break;
    case kSampleInteger:
        ConvertArray<std::int16_t>(p, n, out);
        break;
    case kSampleFloat:
        ConvertArray<float>(p, n, out);
        break;
    case kSampleDouble:
        ConvertArray<double>(p, n, out);
        break;
    default:
        ConvertArray<std::int32_t>(p, n, out);
        break;
    }
}

double FileChannel::Value(std::uint64_t i) const {
    if (firstSample == nullptr) {
        double v = 0;
        ReadValues(i, 1, &v);
        return v;
    }
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
    // A float sample beyond the 64-bit range saturates, and one that is not a number reads as
    // 0: converting them as they are is undefined.
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    const double v = Value(i);
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= kLimit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (v < -kLimit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(v);
}

void FileChannel::ReadValues(std::uint64_t begin, std::size_t n, double* out) const {
    std::size_t available = 0;
    if (begin < sampleCount && (firstSample != nullptr || source != nullptr)) {
        available = static_cast<std::size_t>(std::min<std::uint64_t>(n, sampleCount - begin));
    }
    if (available > 0 && firstSample == nullptr) {
        source->Read(begin, available, out);
    } else if (available > 0 && SampleSize(sampleType) > 0) {
        const std::uint8_t* p =
            firstSample + begin * static_cast<std::uint64_t>(SampleSize(sampleType));
        ConvertSamples(p, sampleType, available, out);
    }
    if (firstSample != nullptr && SampleSize(sampleType) == 0) {
        available = 0;
    }
    std::fill(out + available, out + n, 0.0);
}

} // namespace nereid::recording
