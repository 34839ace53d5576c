// The recorder-sample decoders, whose vector paths take 4 or 8 samples a step and stop short
// of the end so as not to read past it: every length around those steps, every extreme value,
// and nothing written past the last sample.
#include "recording/sample_decoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace nereid::recording {
namespace {

std::int32_t Expected(const std::uint8_t* p) {
    const std::uint32_t u = static_cast<std::uint32_t>(p[0]) |
                            static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16;
    return static_cast<std::int32_t>(u << 8) >> 8;
}

// Bytes of `count` samples, the extremes among them, held at the very end of their buffer so
// that a read past the last sample would be noticed under the sanitizers.
std::vector<std::uint8_t> Samples(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(3 * count);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<std::uint8_t>(seed >> 16);
    }
    const std::uint8_t extremes[4][3] = {
        {0xFF, 0xFF, 0x7F}, {0x00, 0x00, 0x80}, {0xFF, 0xFF, 0xFF}, {0, 0, 0}};
    for (std::size_t k = 0; k < 4 && 3 * k + 3 <= bytes.size(); ++k) {
        std::memcpy(bytes.data() + 3 * (count - 1 - k), extremes[k], 3);
    }
    return bytes;
}

TEST(SampleDecoders, EveryLengthDecodesEverySampleAndWritesNoFurther) {
    constexpr std::int32_t kGuard = 0x5A5A5A5A;
    for (std::size_t count = 0; count <= 70; ++count) {
        const std::vector<std::uint8_t> bytes = Samples(count, static_cast<std::uint32_t>(count));
        std::vector<std::int32_t> s32(count + 4, kGuard);
        const std::int32_t* end = DecodeToS32(bytes.data(), count, s32.data());
        ASSERT_EQ(end, s32.data() + count) << count;
        std::vector<std::uint8_t> le(4 * count + 16, 0xA5);
        const std::uint8_t* leEnd = DecodeToLeS32(bytes.data(), count, le.data());
        ASSERT_EQ(leEnd, le.data() + 4 * count) << count;
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t want = Expected(bytes.data() + 3 * i);
            ASSERT_EQ(s32[i], want) << "sample " << i << " of " << count;
            std::int32_t got;
            std::memcpy(&got, le.data() + 4 * i, 4);
            ASSERT_EQ(got, want) << "sample " << i << " of " << count;
        }
        for (std::size_t i = count; i < s32.size(); ++i) {
            ASSERT_EQ(s32[i], kGuard) << count;
        }
        for (std::size_t i = 4 * count; i < le.size(); ++i) {
            ASSERT_EQ(le[i], 0xA5) << count;
        }
    }
}

TEST(SampleDecoders, AnyStartInTheFileDecodesTheSame) {
    // A chunk of the file begins at any sample, so at any byte offset modulo the vector width.
    const std::vector<std::uint8_t> bytes = Samples(300, 7);
    std::vector<std::int32_t> whole(300);
    DecodeToS32(bytes.data(), 300, whole.data());
    for (std::size_t from = 0; from < 17; ++from) {
        std::vector<std::int32_t> part(300 - from);
        DecodeToS32(bytes.data() + 3 * from, part.size(), part.data());
        for (std::size_t i = 0; i < part.size(); ++i) {
            ASSERT_EQ(part[i], whole[from + i]) << from << " " << i;
        }
    }
}

} // namespace
} // namespace nereid::recording
