// The project's Steim-2 records against libmseed's own: the same bytes from msr_pack for the
// same calls, and every sample back from libmseed's decoder.
#include "recording/steim2_records.h"
#include "tests/recording/steim2_test_record.h"

#include <libmseed.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace nereid::recording {
namespace {

struct Packed {
    std::vector<std::string> records;
    int result = 0;
};

void Collect(char* record, int length, void* self) {
    static_cast<Packed*>(self)->records.emplace_back(record, static_cast<std::size_t>(length));
}

// Packs `samples` in the given pieces (the last flushed) the way CMseedPacker feeds the
// packer: each call with what is left of the previous one plus the piece, from the exact
// start of its first sample.
Packed Pack(bool own, const std::vector<std::int32_t>& samples, const std::vector<int>& pieces,
            double rate, hptime_t start, int sequence) {
    Packed out;
    MSRecord* m = test::NewSteim2TestRecord(rate, sequence);
    std::vector<std::int32_t> buffer;
    std::size_t fed = 0, packedTotal = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(pieces[k]), samples.size() - fed);
        buffer.insert(buffer.end(), samples.begin() + static_cast<long>(fed),
                      samples.begin() + static_cast<long>(fed + n));
        fed += n;
        if (buffer.empty()) {
            continue;
        }
        const bool flush = k + 1 == pieces.size();
        m->starttime =
            start + static_cast<hptime_t>(static_cast<double>(packedTotal) / rate * 1e6 + 0.5);
        m->datasamples = buffer.data();
        m->numsamples = static_cast<std::int64_t>(buffer.size());
        std::int64_t packed = 0;
        const int r = own ? PackSteim2Records(m, &Collect, &out, &packed, flush)
                          : msr_pack(m, &Collect, &out, &packed, flush ? 1 : 0, 0);
        m->datasamples = nullptr;
        m->numsamples = 0;
        if (r < 0) {
            out.result = r;
            break;
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(packed));
        packedTotal += static_cast<std::size_t>(packed);
    }
    msr_free(&m);
    return out;
}

// Every record decodes with libmseed to the samples in order.
void ExpectDecodes(const Packed& p, const std::vector<std::int32_t>& samples) {
    std::size_t at = 0;
    for (const std::string& r : p.records) {
        std::vector<char> copy(r.begin(), r.end());
        MSRecord* m = nullptr;
        ASSERT_EQ(msr_unpack(copy.data(), static_cast<int>(copy.size()), &m, 1, 0), MS_NOERROR);
        ASSERT_EQ(m->sampletype, 'i');
        const auto* v = static_cast<const std::int32_t*>(m->datasamples);
        for (std::int64_t i = 0; i < m->numsamples; ++i, ++at) {
            ASSERT_LT(at, samples.size());
            ASSERT_EQ(v[i], samples[at]) << at;
        }
        msr_free(&m);
    }
    EXPECT_EQ(at, samples.size());
}

std::vector<std::int32_t> Mixed(std::size_t count, std::uint32_t seed) {
    std::vector<std::int32_t> v(count);
    std::int64_t x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        // Runs of every difference width Steim-2 has, 4 to 30 bits, and flat stretches.
        const int width = static_cast<int>((i / 37) % 8) * 4;
        const std::int64_t step =
            width == 0 ? 0 : (static_cast<std::int32_t>(seed) >> (32 - width));
        x = std::clamp<std::int64_t>(x + step, -(1 << 28), (1 << 28));
        v[i] = static_cast<std::int32_t>(x);
    }
    return v;
}

void ExpectSameAsLibmseed(const std::vector<std::int32_t>& samples, const std::vector<int>& pieces,
                          double rate, hptime_t start, int sequence = 1) {
    const Packed theirs = Pack(false, samples, pieces, rate, start, sequence);
    const Packed ours = Pack(true, samples, pieces, rate, start, sequence);
    ASSERT_EQ(ours.result, theirs.result);
    ASSERT_EQ(ours.records.size(), theirs.records.size());
    for (std::size_t i = 0; i < ours.records.size(); ++i) {
        ASSERT_EQ(ours.records[i], theirs.records[i]) << "record " << i;
    }
    ExpectDecodes(ours, samples);
}

TEST(Steim2Records, SameBytesAsLibmseedForEveryDifferenceWidth) {
    const hptime_t start = 1049383800LL * HPTMODULUS;
    ExpectSameAsLibmseed(Mixed(20000, 1), {20000}, 100, start);
    // Second by second, as the recorder feeds it, and in odd pieces.
    ExpectSameAsLibmseed(Mixed(6000, 2), std::vector<int>(60, 100), 100, start);
    ExpectSameAsLibmseed(Mixed(5000, 3), {1, 734, 1, 735, 736, 2000, 1793}, 100, start);
    // Rates whose sample period is no whole number of microseconds, sub-second starts.
    ExpectSameAsLibmseed(Mixed(3000, 4), std::vector<int>(50, 60), 60, start + 123456);
    ExpectSameAsLibmseed(Mixed(500, 5), {200, 300}, 0.1, start - 49);
    ExpectSameAsLibmseed(Mixed(4000, 6), {4000}, 125, start + 999950);
    // Sequence numbers wrap after 999999.
    ExpectSameAsLibmseed(Mixed(3000, 7), {3000}, 100, start, 999998);
}

TEST(Steim2Records, ShortAndFlatInputsAndTheEdgesOfARecord) {
    const hptime_t start = 1049383800LL * HPTMODULUS;
    for (std::size_t n : {1u, 2u, 3u, 6u, 7u, 8u, 734u, 735u, 736u, 1470u}) {
        ExpectSameAsLibmseed(Mixed(n, static_cast<std::uint32_t>(n)), {static_cast<int>(n)}, 100,
                             start);
        ExpectSameAsLibmseed(std::vector<std::int32_t>(n, -7), {static_cast<int>(n)}, 100, start);
    }
    // 24-bit extremes back to back: the largest steps a recorder gives.
    std::vector<std::int32_t> swing(999);
    for (std::size_t i = 0; i < swing.size(); ++i) {
        swing[i] = i % 2 == 0 ? 8388607 : -8388608;
    }
    ExpectSameAsLibmseed(swing, {999}, 100, start);
}

// Noise whose differences fit 15 bits and now and then 10, events whose steps need 30 bits
// and fade back, quiet stretches of small differences: the runs of words that hold one kind,
// broken off anywhere in a frame.
std::vector<std::int32_t> RecorderLike(std::size_t count, std::uint32_t seed, int noise) {
    std::vector<std::int32_t> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::int32_t x = static_cast<std::int32_t>((seed >> 16) % (2 * noise + 1)) - noise;
        const std::size_t phase = i % 3001;
        if (phase < 400) {
            x += static_cast<std::int32_t>(4000000.0 * std::sin(static_cast<double>(i) * 0.7) *
                                           (1.0 - static_cast<double>(phase) / 400.0));
        } else if (phase < 700) {
            x /= 64;
        }
        v[i] = x;
    }
    return v;
}

TEST(Steim2Records, RecorderNoiseAndEventsSameAsLibmseed) {
    const hptime_t start = 1049383800LL * HPTMODULUS;
    for (const int noise : {2000, 300, 16000, 40}) {
        ExpectSameAsLibmseed(RecorderLike(30000, static_cast<std::uint32_t>(noise), noise), {30000},
                             100, start);
        ExpectSameAsLibmseed(RecorderLike(9000, static_cast<std::uint32_t>(noise) + 1, noise),
                             std::vector<int>(90, 100), 100, start);
    }
    // One odd word at every place of a frame among pairs and among single words.
    for (std::size_t at = 0; at < 40; ++at) {
        std::vector<std::int32_t> pairs(800), singles(800);
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            pairs[i] = i % 2 == 0 ? 1000 : -1000;
            singles[i] = i % 2 == 0 ? 100000 : -100000;
        }
        pairs[at] = pairs[at - (at > 0 ? 1 : 0)]; // a zero step: three in a word
        singles[at + 1] = singles[at];            // a zero step: two in a word
        ExpectSameAsLibmseed(pairs, {800}, 100, start);
        ExpectSameAsLibmseed(singles, {800}, 100, start);
    }
}

TEST(Steim2Records, DifferenceBeyondThirtyBitsIsRefusedAsByLibmseed) {
    const std::vector<std::int32_t> samples = {0, 1 << 29, 0, 1};
    const Packed theirs = Pack(false, samples, {4}, 100, 0, 1);
    const Packed ours = Pack(true, samples, {4}, 100, 0, 1);
    EXPECT_LT(theirs.result, 0);
    EXPECT_LT(ours.result, 0);
    EXPECT_TRUE(ours.records.empty());
    std::uint8_t frames[448];
    EXPECT_EQ(EncodeSteim2(samples.data(), 4, 7, 0, frames), -1);
}

TEST(Steim2Records, SequenceDigitsCountOnAsTheNumbersDoAndWrapAfter999999) {
    // The chunked packer counts in the header's digits; they must stay what SetRecordSequence
    // writes for the same number, across every carry and the wrap back to 1.
    std::uint8_t expected[6];
    char digits[6] = {'0', '0', '0', '0', '0', '1'};
    for (std::int32_t n = 1; n < 3000; ++n) {
        SetRecordSequence(expected, n);
        ASSERT_EQ(std::memcmp(expected, digits, 6), 0) << n;
        NextRecordSequence(digits);
    }
    std::memcpy(digits, "099999", 6);
    NextRecordSequence(digits);
    EXPECT_EQ(std::string(digits, 6), "100000");
    std::memcpy(digits, "999999", 6);
    NextRecordSequence(digits);
    EXPECT_EQ(std::string(digits, 6), "000001");
}

} // namespace
} // namespace nereid::recording
