// The words of Steim-2 frames: which differences the greedy choice puts into each, found a
// run of words at a time, and the words themselves. Included only by the encoder's builds
// (recording/steim2_encode_*.cpp), each of which gets its own copy of these helpers.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <cstring>
#include <vector>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "frames are stored big-endian by swapping native words");

namespace {

constexpr int kFrameWords = 16;
constexpr int kSamplesPerFrame = 105; // 15 words of 7 differences at most

inline void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// The magnitude class of a difference: a value fits in n signed bits when this is below
// 2^(n-1). The OR of several is below 2^(n-1) exactly when each is. Never negative, so that
// the vector loops compare them as signed numbers (SSE2 has no unsigned comparison).
inline std::int32_t Magnitude(std::int32_t d) {
    return d ^ (d >> 31);
}

} // namespace

namespace {

// The word of `take` differences at `d` (the greedy choice takes the most a word can hold:
// 7x4, 6x5, 5x6, 4x8, 3x10, 2x15 or 1x30 bits), with its two-bit kind in `nibble`.
inline std::uint32_t PackWord(const std::int32_t* d, int take, std::uint32_t& nibble) {
    const auto f = [d](int k, std::uint32_t mask, int shift) {
        return (static_cast<std::uint32_t>(d[k]) & mask) << shift;
    };
    switch (take) {
    case 7:
        nibble = 3;
        return 0x2u << 30 | f(0, 0xF, 24) | f(1, 0xF, 20) | f(2, 0xF, 16) | f(3, 0xF, 12) |
               f(4, 0xF, 8) | f(5, 0xF, 4) | f(6, 0xF, 0);
    case 6:
        nibble = 3;
        return 0x1u << 30 | f(0, 0x1F, 25) | f(1, 0x1F, 20) | f(2, 0x1F, 15) | f(3, 0x1F, 10) |
               f(4, 0x1F, 5) | f(5, 0x1F, 0);
    case 5:
        nibble = 3;
        return f(0, 0x3F, 24) | f(1, 0x3F, 18) | f(2, 0x3F, 12) | f(3, 0x3F, 6) | f(4, 0x3F, 0);
    case 4:
        nibble = 1;
        return f(0, 0xFF, 24) | f(1, 0xFF, 16) | f(2, 0xFF, 8) | f(3, 0xFF, 0);
    case 3:
        nibble = 2;
        return 0x3u << 30 | f(0, 0x3FF, 20) | f(1, 0x3FF, 10) | f(2, 0x3FF, 0);
    case 2:
        nibble = 2;
        return 0x2u << 30 | f(0, 0x7FFF, 15) | f(1, 0x7FFF, 0);
    default:
        nibble = 2;
        return 0x1u << 30 | f(0, 0x3FFFFFFF, 0);
    }
}

// The nibbles of a frame whose words 1..15 all hold two differences; a frame beginning at word
// w has the top 2 * (w - 1) bits of them shifted out.
constexpr std::uint32_t kAllPairsNibbles = 0x2AAAAAAAu;

// The count of differences the greedy choice takes for a word starting at `m` (magnitudes):
// it depends on the seven from there on only. A value fits in n signed bits when its
// magnitude is below 2^(n-1). The OR of the first k magnitudes only grows with k while the
// bounds shrink, so each kind that fits implies every wider one fits, and the count of kinds
// that fit is the greedy count; 0 when even 30 bits are too few.
inline int GreedyTake(const std::int32_t* m) {
    const std::int32_t m0 = m[0];
    const std::int32_t m1 = m0 | m[1];
    const std::int32_t m2 = m1 | m[2];
    const std::int32_t m3 = m2 | m[3];
    const std::int32_t m4 = m3 | m[4];
    const std::int32_t m5 = m4 | m[5];
    const std::int32_t m6 = m5 | m[6];
    const int t = 1 + (m1 < 16384) + (m2 < 512) + (m3 < 128) + (m4 < 32) + (m5 < 16) + (m6 < 8);
    return m0 < (1 << 29) ? t : 0;
}

#if defined(__SSE2__)
// GreedyTake for several starting points at once, in the widest integer vector the build has
// (eight lanes with AVX2, four with SSE2), written with the compiler's vector operators so
// that both builds share it. A true comparison is -1 in every lane, so subtracting it counts.
// Reads m[0 .. kTakeLanes + 5].
constexpr int kTakeLanes =
#if defined(__AVX2__)
    8;
#else
    4;
#endif
typedef std::int32_t TakeLanes __attribute__((vector_size(4 * kTakeLanes)));

inline TakeLanes GreedyTakes(const std::int32_t* m) {
    const auto at = [m](int i) {
        TakeLanes v;
        std::memcpy(&v, m + i, sizeof v);
        return v;
    };
    const TakeLanes m0 = at(0);
    const TakeLanes m1 = m0 | at(1);
    const TakeLanes m2 = m1 | at(2);
    const TakeLanes m3 = m2 | at(3);
    const TakeLanes m4 = m3 | at(4);
    const TakeLanes m5 = m4 | at(5);
    const TakeLanes m6 = m5 | at(6);
    const TakeLanes t =
        1 - (m1 < 16384) - (m2 < 512) - (m3 < 128) - (m4 < 32) - (m5 < 16) - (m6 < 8);
    return t & (m0 < (1 << 29));
}
#endif

// How many words from `m` on (at most `most`) the greedy choice fills with two differences:
// each pair fits in 15 bits and no three in 10. The pairs are tested independently of one
// another, unlike the walk from word to word, so the test runs at the speed of the loads.
// Reads m[0 .. 2 * most + 2].
inline int LeadingPairs(const std::int32_t* m, int most) {
    int j = 0;
#if defined(__SSE2__)
    // Two pairs a vector: the lanes of the pairs' first differences (0 and 2) count.
    const auto at = [m](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i)); };
    for (; j + 2 <= most; j += 2) {
        const __m128i two = _mm_or_si128(at(2 * j), at(2 * j + 1));
        const __m128i three = _mm_or_si128(two, at(2 * j + 2));
        const __m128i fits = _mm_andnot_si128(_mm_cmplt_epi32(three, _mm_set1_epi32(512)),
                                              _mm_cmplt_epi32(two, _mm_set1_epi32(16384)));
        const int bad = ~_mm_movemask_ps(_mm_castsi128_ps(fits)) & 0x5;
        if (bad != 0) {
            return j + ((bad & 1) != 0 ? 0 : 1);
        }
    }
#endif
    for (; j < most; ++j) {
        const std::int32_t two = m[2 * j] | m[2 * j + 1];
        if (two >= 16384 || (two | m[2 * j + 2]) < 512) {
            break;
        }
    }
    return j;
}

// How many words from `m` on (at most `most`) the greedy choice fills with one difference:
// none fits 15 bits beside the next, and each fits 30 bits. Reads m[0 .. most].
inline int LeadingSingles(const std::int32_t* m, int most) {
    int k = 0;
#if defined(__SSE2__)
    const auto at = [m](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i)); };
    for (; k + 4 <= most; k += 4) {
        const __m128i one = at(k);
        const __m128i bad =
            _mm_or_si128(_mm_cmplt_epi32(_mm_or_si128(one, at(k + 1)), _mm_set1_epi32(16384)),
                         _mm_cmpgt_epi32(one, _mm_set1_epi32((1 << 29) - 1)));
        const int mask = _mm_movemask_ps(_mm_castsi128_ps(bad));
        if (mask != 0) {
            return k + std::countr_zero(static_cast<unsigned>(mask));
        }
    }
#endif
    for (; k < most; ++k) {
        if ((m[k] | m[k + 1]) < 16384 || m[k] >= (1 << 29)) {
            break;
        }
    }
    return k;
}

// The nibbles of `count` words of kind 2 (two 15-bit or one 30-bit difference) from word w.
inline std::uint32_t KindTwoNibbles(int w, int count) {
    return (kAllPairsNibbles >> (2 * (w - 1))) ^ (kAllPairsNibbles >> (2 * (w + count - 1)));
}

#if defined(__SSE2__)
// Four words to big-endian.
inline __m128i SwapBytes(__m128i v) {
    const __m128i lowBytes = _mm_set1_epi32(0x00FF00FF);
    v = _mm_or_si128(_mm_slli_epi32(v, 16), _mm_srli_epi32(v, 16));
    return _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, lowBytes), 8),
                        _mm_and_si128(_mm_srli_epi32(v, 8), lowBytes));
}
#endif

// Words of two 15-bit differences each from d[0..2 * pairs), stored big-endian at `out`.
// Straight to the record: a frame put together in memory and read back as a block stalled
// where word stores met the block load.
inline void PackPairs(const std::int32_t* d, int pairs, std::uint8_t* out) {
    int w = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(0x7FFF);
    const __m128i kind = _mm_set1_epi32(static_cast<std::int32_t>(0x80000000u));
    // Each 64-bit lane holds a pair: the first difference in its low half. The word forms in
    // that low half; the two low halves of two vectors make four words.
    const auto words2 = [&mask](const std::int32_t* p) {
        const __m128i a = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), mask);
        return _mm_castsi128_ps(_mm_or_si128(_mm_slli_epi32(a, 15), _mm_srli_epi64(a, 32)));
    };
    for (; w + 4 <= pairs; w += 4) {
        const __m128 lo = words2(d + 2 * w);
        const __m128 hi = words2(d + 2 * w + 4);
        const __m128i four =
            _mm_or_si128(_mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))), kind);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * w), SwapBytes(four));
    }
#endif
    for (; w < pairs; ++w) {
        PutBe32(out + 4 * w, 0x2u << 30 | (static_cast<std::uint32_t>(d[2 * w]) & 0x7FFFu) << 15 |
                                 (static_cast<std::uint32_t>(d[2 * w + 1]) & 0x7FFFu));
    }
}

#if defined(__AVX2__)
// Where the machine has 256-bit vectors, runs of pairs and of singles are checked and packed
// in one pass over the samples, eight differences a step.

inline __m256i Load8(const std::int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The differences at positions q..q+7 straight from the samples; at q = 0 the first is
// `diff0`, the sample before the record not being there to read.
inline __m256i DifferencesAt(const std::int32_t* x, int q, std::int32_t diff0) {
    const __m256i here = Load8(x + q);
    if (q > 0) {
        return _mm256_sub_epi32(here, Load8(x + q - 1));
    }
    const __m256i before =
        _mm256_permutevar8x32_epi32(here, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
    return _mm256_blend_epi32(_mm256_sub_epi32(here, before), _mm256_set1_epi32(diff0), 1);
}

inline __m256i Magnitudes(__m256i d) {
    return _mm256_xor_si256(d, _mm256_srai_epi32(d, 31));
}

// Big-endian words, four to a 128-bit lane.
inline __m256i SwapBytes(__m256i v) {
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13,
                                                   12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14,
                                                   13, 12));
}

// Four words of pairs from position q: the greedy check of each in the low four bits, and the
// four words stored at `at` whatever the check found. Reads x[q - 1 .. q + 9].
__attribute__((always_inline)) inline int FourPairs(const std::int32_t* x, int q,
                                                    std::int32_t diff0, std::uint8_t* at) {
    const __m256i d = DifferencesAt(x, q, diff0);
    const __m256i m = Magnitudes(d);
    // Lane 2i holds the magnitude after pair i: the pair is a word only if three would not
    // fit 10 bits.
    const __m256i ahead = Magnitudes(_mm256_sub_epi32(Load8(x + q + 2), Load8(x + q + 1)));
    const __m256i two = _mm256_or_si256(m, _mm256_srli_epi64(m, 32));
    const __m256i three = _mm256_or_si256(two, ahead);
    const __m256i ok = _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(512), three),
                                           _mm256_cmpgt_epi32(_mm256_set1_epi32(16384), two));
    const __m256i low = _mm256_and_si256(d, _mm256_set1_epi32(0x7FFF));
    const __m256i words =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(low, 15), _mm256_srli_epi64(low, 32)),
                        _mm256_set1_epi32(static_cast<std::int32_t>(0x80000000u)));
    // The even lanes, where the pairs are, to the low half.
    const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm256_castsi256_si128(SwapBytes(_mm256_permutevar8x32_epi32(words, evens))));
    return _mm_movemask_ps(
               _mm_castsi128_ps(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(ok, evens)))) &
           0xF;
}

// How many words from position p on (at most `most`, 4 or more) the greedy choice fills with
// two differences; those words are at `out`, and words after them may be written too, to be
// overwritten. Reads x[p - 1 .. p + 2 * most + 1].
inline int PairRun(const std::int32_t* x, int p, std::int32_t diff0, int most, std::uint8_t* out) {
    int j = 0;
    for (; j + 4 <= most; j += 4) {
        if (const int bits = FourPairs(x, p + 2 * j, diff0, out + 4 * j); bits != 0xF) {
            return j + std::countr_one(static_cast<unsigned>(bits));
        }
    }
    if (j == most) {
        return most;
    }
    // The last words with the three before them again, which are written with the same bits.
    const int back = most - 4;
    const int bits = FourPairs(x, p + 2 * back, diff0, out + 4 * back) | ((1 << (j - back)) - 1);
    return back + std::countr_one(static_cast<unsigned>(bits));
}

// Eight words of singles from position q, as FourPairs: a difference is a word of its own
// where it does not fit 15 bits beside the next one and fits 30. Reads x[q - 1 .. q + 8];
// returns the bits of the words that are not singles.
__attribute__((always_inline)) inline int EightSingles(const std::int32_t* x, int q,
                                                       std::int32_t diff0, std::uint8_t* at) {
    const __m256i d = DifferencesAt(x, q, diff0);
    const __m256i m = Magnitudes(d);
    const __m256i next = Magnitudes(_mm256_sub_epi32(Load8(x + q + 1), Load8(x + q)));
    const __m256i bad =
        _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(16384), _mm256_or_si256(m, next)),
                        _mm256_cmpgt_epi32(m, _mm256_set1_epi32((1 << 29) - 1)));
    const __m256i words = _mm256_or_si256(_mm256_and_si256(d, _mm256_set1_epi32(0x3FFFFFFF)),
                                          _mm256_set1_epi32(0x40000000));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), SwapBytes(words));
    return _mm256_movemask_ps(_mm256_castsi256_ps(bad));
}

// As PairRun for words of one difference (at most `most`, 8 or more). Reads
// x[p - 1 .. p + most].
inline int SingleRun(const std::int32_t* x, int p, std::int32_t diff0, int most,
                     std::uint8_t* out) {
    int k = 0;
    for (; k + 8 <= most; k += 8) {
        if (const int bad = EightSingles(x, p + k, diff0, out + 4 * k); bad != 0) {
            return k + std::countr_zero(static_cast<unsigned>(bad));
        }
    }
    if (k == most) {
        return most;
    }
    const int back = most - 8;
    const int bad = EightSingles(x, p + back, diff0, out + 4 * back) & ~((1 << (k - back)) - 1);
    return bad != 0 ? back + std::countr_zero(static_cast<unsigned>(bad)) : most;
}
#endif

// Differences and magnitudes made at least this many at a time. Where runs are packed
// straight from the samples, only the words between runs look at them.
#if defined(__AVX2__)
constexpr int kNeedAhead = 8;
#else
constexpr int kNeedAhead = 64;
#endif

#if defined(__AVX2__)
// PackWord without a branch on the count, which small differences make unpredictable: each
// lane keeps its difference's low bits and moves them to their place, and the lanes are ORed.
// Reads d[0..7].
struct SWordLayout {
    std::int32_t mask[8];
    std::int32_t shift[8];
};

inline constexpr SWordLayout kWordLayouts[8] = {
    {{0}, {0}},
    {{0x3FFFFFFF}, {0}},
    {{0x7FFF, 0x7FFF}, {15, 0}},
    {{0x3FF, 0x3FF, 0x3FF}, {20, 10, 0}},
    {{0xFF, 0xFF, 0xFF, 0xFF}, {24, 16, 8, 0}},
    {{0x3F, 0x3F, 0x3F, 0x3F, 0x3F}, {24, 18, 12, 6, 0}},
    {{0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F}, {25, 20, 15, 10, 5, 0}},
    {{0xF, 0xF, 0xF, 0xF, 0xF, 0xF, 0xF}, {24, 20, 16, 12, 8, 4, 0}},
};
// The top two bits of the word and its kind in the nibble word, by count.
inline constexpr std::uint32_t kWordTop[8] = {0, 0x1u << 30, 0x2u << 30, 0x3u << 30,
                                              0, 0,          0x1u << 30, 0x2u << 30};
inline constexpr std::uint8_t kWordKind[8] = {0, 2, 2, 2, 1, 3, 3, 3};

inline std::uint32_t PackWordFlat(const std::int32_t* d, int take) {
    const SWordLayout& layout = kWordLayouts[take];
    const __m256i placed =
        _mm256_sllv_epi32(_mm256_and_si256(Load8(d), Load8(layout.mask)), Load8(layout.shift));
    __m128i r = _mm_or_si128(_mm256_castsi256_si128(placed), _mm256_extracti128_si256(placed, 1));
    r = _mm_or_si128(r, _mm_shuffle_epi32(r, _MM_SHUFFLE(1, 0, 3, 2)));
    r = _mm_or_si128(r, _mm_shuffle_epi32(r, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(r)) | kWordTop[take];
}
#endif

// Words of one record as the largest records (4096 bytes, 63 frames) hold them.
constexpr int kLocalWords = 63 * (kFrameWords - 1) - 2;

// Differences of one record, with room for the look-ahead of the last word.
constexpr int kLocalDifferences = 1024;
// Past the last difference: the look-ahead of the last word, and of the last four counts
// found at once.
constexpr int kPadding = 16;
// Counts found at once where the words do not all hold pairs.
constexpr int kTakesAhead = 32;

} // namespace

} // namespace nereid::recording
