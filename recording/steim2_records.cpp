#include "recording/steim2_records.h"

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
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

// Differences of one record, with room for the look-ahead of the last word.
constexpr int kLocalDifferences = 1024;
// Past the last difference: the look-ahead of the last word, and of the last four counts
// found at once.
constexpr int kPadding = 16;
// Counts found at once where the words do not all hold pairs.
constexpr int kTakesAhead = 32;

} // namespace

int EncodeSteim2(const std::int32_t* x, int count, int frames, std::int32_t diff0,
                 std::uint8_t* out) {
    if (count <= 0 || frames <= 0) {
        std::memset(out, 0, static_cast<std::size_t>(frames > 0 ? frames : 0) * 64);
        return 0;
    }
    // No more differences than the frames can hold are looked at: a word holds 7 at most.
    const int limit = count < frames * kSamplesPerFrame ? count : frames * kSamplesPerFrame;
    // The differences (wrapping, as the C encoder's) and their magnitudes, made as the words
    // reach them, a few dozen at a time: a record of large differences holds far fewer than
    // `limit`. Past the last difference the magnitude is as large as can be, so that no word
    // takes a difference that is not there.
    std::int32_t localD[kLocalDifferences + kPadding];
    std::int32_t localM[kLocalDifferences + kPadding];
    std::int32_t localT[kLocalDifferences + kPadding];
    std::vector<std::int32_t> heapD;
    std::vector<std::int32_t> heapM;
    std::vector<std::int32_t> heapT;
    std::int32_t* d = localD;
    std::int32_t* mag = localM;
    std::int32_t* takes = localT;
    if (limit > kLocalDifferences) {
        heapD.resize(static_cast<std::size_t>(limit) + kPadding);
        heapM.resize(static_cast<std::size_t>(limit) + kPadding);
        heapT.resize(static_cast<std::size_t>(limit) + kPadding);
        d = heapD.data();
        mag = heapM.data();
        takes = heapT.data();
    }
    d[0] = diff0;
    mag[0] = Magnitude(diff0);
    int magnitudesTo = 1;
    // Makes d and mag valid below `to` (up to limit + 8).
    const auto need = [&](int to) {
        if (to <= magnitudesTo) {
            return;
        }
        int upto = to > magnitudesTo + 64 ? to : magnitudesTo + 64;
        upto = upto < limit ? upto : limit;
        int k = magnitudesTo;
#if defined(__SSE2__)
        for (; k + 4 <= upto; k += 4) {
            const __m128i v =
                _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k - 1)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), v);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(mag + k),
                             _mm_xor_si128(v, _mm_srai_epi32(v, 31)));
        }
#endif
        for (; k < upto; ++k) {
            d[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(x[k]) -
                                             static_cast<std::uint32_t>(x[k - 1]));
            mag[k] = Magnitude(d[k]);
        }
        if (upto == limit) {
            for (k = limit; k < limit + kPadding; ++k) {
                d[k] = 0;
                mag[k] = 0x7FFFFFFF;
            }
            upto = limit + kPadding;
        }
        magnitudesTo = upto;
    };
    // Where words do not all hold pairs (large or small differences), the greedy count for
    // the positions ahead, found for several at once: the walk from word to word is then a
    // look-up instead of the whole count's chain of dependent steps.
    int takesFrom = 0;
    int takesTo = 0;
    const auto counts = [&](int from) {
        const int to = from + kTakesAhead < limit ? from + kTakesAhead : limit;
        need(to + 10); // the last four counts look seven ahead
        int k = from;
#if defined(__SSE2__)
        const auto at = [mag](int i) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mag + i));
        };
        // A true comparison is -1, so subtracting it counts.
        for (; k < to; k += 4) {
            const __m128i m0 = at(k);
            const __m128i m1 = _mm_or_si128(m0, at(k + 1));
            const __m128i m2 = _mm_or_si128(m1, at(k + 2));
            const __m128i m3 = _mm_or_si128(m2, at(k + 3));
            const __m128i m4 = _mm_or_si128(m3, at(k + 4));
            const __m128i m5 = _mm_or_si128(m4, at(k + 5));
            const __m128i m6 = _mm_or_si128(m5, at(k + 6));
            __m128i t = _mm_set1_epi32(1);
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m1, _mm_set1_epi32(16384)));
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m2, _mm_set1_epi32(512)));
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m3, _mm_set1_epi32(128)));
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m4, _mm_set1_epi32(32)));
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m5, _mm_set1_epi32(16)));
            t = _mm_sub_epi32(t, _mm_cmplt_epi32(m6, _mm_set1_epi32(8)));
            t = _mm_and_si128(t, _mm_cmplt_epi32(m0, _mm_set1_epi32(1 << 29)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(takes + k), t);
        }
#endif
        for (; k < to; ++k) {
            takes[k] = GreedyTake(mag + k);
        }
        takesFrom = from;
        takesTo = to;
    };
    int done = 0;
    int frame = 0;
    for (; frame < frames && done < limit; ++frame) {
        std::uint8_t* const f = out + static_cast<std::size_t>(frame) * 64;
        std::uint32_t nibbles = 0;
        bool small = false; // the last word held three differences or more
        int w = 1;
        if (frame == 0) {
            PutBe32(f + 4, static_cast<std::uint32_t>(x[0]));
            PutBe32(f + 8, 0);
            w = 3; // X0 and Xn
        }
        while (w < kFrameWords && done < limit) {
            const int left = kFrameWords - w;
            // The count where a run of small differences had it found, else -1.
            int take = done >= takesFrom && done < takesTo ? takes[done] : -1;
            if (take < 0 || take == 1 || take == 2) {
                // Background noise of a few thousand counts makes word after word of two
                // 15-bit differences, an event word after word of one: such runs are packed
                // several words at a time.
                const int pairsFit = std::min(left, (limit - done) / 2);
                if (pairsFit > 0 && take != 1) {
                    need(done + 2 * pairsFit + 4);
                    if (const int run = LeadingPairs(mag + done, pairsFit); run > 0) {
                        PackPairs(d + done, run, f + 4 * w);
                        nibbles |= KindTwoNibbles(w, run);
                        w += run;
                        done += 2 * run;
                        small = false;
                        continue;
                    }
                }
                const int singlesFit = std::min(left, limit - done);
                need(done + singlesFit + 4);
                if (const int run = LeadingSingles(mag + done, singlesFit); run > 0) {
                    for (int k = 0; k < run; ++k) {
                        PutBe32(f + 4 * (w + k),
                                0x1u << 30 |
                                    (static_cast<std::uint32_t>(d[done + k]) & 0x3FFFFFFFu));
                    }
                    nibbles |= KindTwoNibbles(w, run);
                    w += run;
                    done += run;
                    small = false;
                    continue;
                }
                if (take < 0) {
                    need(done + 7);
                    take = GreedyTake(mag + done);
                    if (take >= 3 && small && done + take < limit) {
                        // A second word of small differences: more are likely to follow,
                        // whose counts are found together.
                        counts(done + take);
                    }
                }
            }
            small = take >= 3;
            if (take == 0) {
                return -1;
            }
            std::uint32_t nibble = 2;
            PutBe32(f + 4 * w, PackWord(d + done, take, nibble));
            nibbles |= nibble << (30 - 2 * w);
            done += take;
            ++w;
        }
        if (w < kFrameWords) {
            // The last frame's unused words; tested first, as a call to clear nothing costs
            // more than a frame's words.
            std::memset(f + 4 * w, 0, static_cast<std::size_t>(kFrameWords - w) * 4);
        }
        PutBe32(f, nibbles);
    }
    if (frame < frames) {
        std::memset(out + static_cast<std::size_t>(frame) * 64, 0,
                    static_cast<std::size_t>(frames - frame) * 64); // frames left empty
    }
    PutBe32(out + 8, static_cast<std::uint32_t>(x[done - 1])); // Xn
    return done;
}

} // namespace nereid::recording
