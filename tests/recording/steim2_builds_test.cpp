// Every build of the Steim-2 frame encoder gives the same bytes: the AVX2 build takes runs of
// words eight differences a step straight from the samples and must end each run, and each
// record, exactly where the baseline's word-by-word greedy choice does. (The baseline, through
// EncodeSteim2, is held to libmseed's bytes in steim2_records_test.)
#include "recording/steim2_encoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace nereid::recording {
namespace {

struct Signal {
    std::vector<std::int32_t> samples;
    std::int32_t diff0 = 0;
    int frames = 7;
};

// Differences of a width class chosen per mode: all widths, small ones (several to a word),
// runs of pairs broken by singles or small words at random places, and steps up to and past
// 30 bits.
Signal MakeSignal(std::uint64_t& seed) {
    const auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    Signal s;
    const int count = 1 + static_cast<int>(next() % 900);
    const int mode = static_cast<int>(next() % 8);
    s.samples.resize(static_cast<std::size_t>(count));
    auto v = static_cast<std::int32_t>(next());
    for (int i = 0; i < count; ++i) {
        int bits = 0;
        switch (mode) {
        case 0:
            bits = static_cast<int>(next() % 33);
            break;
        case 1:
            bits = static_cast<int>(next() % 6);
            break;
        case 2:
            bits = (i / 40) % 2 != 0 ? 25 : 12;
            break;
        case 3:
            bits = 3 + static_cast<int>(next() % 12);
            break;
        case 4:
            bits = static_cast<int>(next() % 5) + 9;
            break;
        case 5:
            bits = next() % 50 == 0 ? 31 : 14;
            break;
        case 6:
            bits = static_cast<int>(next() % 3) * 5 + 2;
            break;
        default:
            bits = static_cast<int>(next() % 31) + 1;
            break;
        }
        std::int64_t step = bits >= 32
                                ? static_cast<std::int64_t>(static_cast<std::int32_t>(next()))
                                : static_cast<std::int64_t>(next() % (std::uint64_t{1} << bits)) -
                                      (std::int64_t{1} << bits) / 2;
        if (mode == 7 && next() % 3 == 0) {
            step = static_cast<std::int64_t>(next() % (std::uint64_t{1} << 30)) -
                   (std::int64_t{1} << 29);
        }
        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) +
                                      static_cast<std::uint32_t>(step));
        s.samples[static_cast<std::size_t>(i)] = v;
    }
    s.frames = 1 + static_cast<int>(next() % 63);
    s.diff0 = next() % 4 == 0 ? 0 : static_cast<std::int32_t>(next() % 100000) - 50000;
    if (next() % 20 == 0) {
        s.diff0 = static_cast<std::int32_t>(next());
    }
    return s;
}

TEST(Steim2Builds, Avx2BuildGivesTheBaselineBytesForEveryKindOfSignal) {
#if defined(NEREID_STEIM2_AVX2)
    if (!Steim2Avx2Available()) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
    std::uint64_t seed = 88172645463325252ull;
    std::vector<std::uint8_t> baseline(64 * 64);
    std::vector<std::uint8_t> wide(64 * 64);
    int refused = 0;
    for (int iteration = 0; iteration < 40000; ++iteration) {
        const Signal s = MakeSignal(seed);
        const int count = static_cast<int>(s.samples.size());
        std::memset(baseline.data(), 0xAB, baseline.size());
        std::memset(wide.data(), 0xCD, wide.size());
        const int a =
            EncodeSteim2Baseline(s.samples.data(), count, s.frames, s.diff0, baseline.data());
        const int b = EncodeSteim2Avx2(s.samples.data(), count, s.frames, s.diff0, wide.data());
        ASSERT_EQ(a, b) << "iteration " << iteration;
        refused += a < 0 ? 1 : 0;
        if (a > 0) {
            const auto bytes = static_cast<std::size_t>(s.frames) * 64;
            ASSERT_EQ(std::memcmp(baseline.data(), wide.data(), bytes), 0)
                << "iteration " << iteration;
            // Nothing is written past the frames.
            ASSERT_EQ(wide[bytes], 0xCD) << "iteration " << iteration;
        }
    }
    // The signals reach past 30 bits now and then: both refuse those alike.
    EXPECT_GT(refused, 0);
#else
    GTEST_SKIP() << "no AVX2 build on this processor family";
#endif
}

TEST(Steim2Builds, RunsEndingAtEveryWordOfAFrameAndAtTheRecordsEnd) {
#if defined(NEREID_STEIM2_AVX2)
    if (!Steim2Avx2Available()) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
    // A run of pairs (differences of 2000) or singles (of 1e6) broken after `run` words by a
    // word of small differences, placed so that the break falls on every word of a frame and
    // the record ends at every distance from it.
    for (const std::int32_t big : {2000, 1000000}) {
        for (int run = 0; run < 40; ++run) {
            for (int tail = 0; tail < 24; ++tail) {
                std::vector<std::int32_t> x;
                std::int32_t v = 0;
                const int perWord = big == 2000 ? 2 : 1;
                for (int i = 0; i < run * perWord; ++i) {
                    v += (i % 2 == 0) ? big : -big + 1;
                    x.push_back(v);
                }
                for (int i = 0; i < 7; ++i) {
                    x.push_back(++v);
                }
                for (int i = 0; i < tail; ++i) {
                    v += (i % 2 == 0) ? big : -big;
                    x.push_back(v);
                }
                const int count = static_cast<int>(x.size());
                for (const int frames : {1, 2, 3, 7}) {
                    std::vector<std::uint8_t> a(64 * 8, 0xAB), b(64 * 8, 0xCD);
                    const int na = EncodeSteim2Baseline(x.data(), count, frames, 5, a.data());
                    const int nb = EncodeSteim2Avx2(x.data(), count, frames, 5, b.data());
                    ASSERT_EQ(na, nb) << big << " " << run << " " << tail << " " << frames;
                    ASSERT_EQ(
                        std::memcmp(a.data(), b.data(), static_cast<std::size_t>(frames) * 64), 0)
                        << big << " " << run << " " << tail << " " << frames;
                }
            }
        }
    }
#else
    GTEST_SKIP() << "no AVX2 build on this processor family";
#endif
}

} // namespace
} // namespace nereid::recording
