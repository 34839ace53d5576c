#include "recording/sample_decoders.h"

#include "recording/byte_order.h"

#include <bit>
#if defined(__x86_64__)
#include <immintrin.h>
#include <tmmintrin.h>
#endif
#include <cstring>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "the sample loops load several little-endian samples at once");

namespace {

// The four digits of every number below 10000, leading zeros included, as they lie in memory,
// and how many of them are significant (1 for 0).
struct SFourDigits {
    std::uint32_t text[10000];
    std::uint8_t length[10000];
    constexpr SFourDigits() : text(), length() {
        for (std::uint32_t n = 0; n < 10000; ++n) {
            text[n] = (0x30 + n / 1000) | (0x30 + n / 100 % 10) << 8 | (0x30 + n / 10 % 10) << 16 |
                      (0x30 + n % 10) << 24;
            length[n] = static_cast<std::uint8_t>(1 + (n > 9) + (n > 99) + (n > 999));
        }
    }
};
constexpr SFourDigits kFourDigits;

// Decimal text of a sample followed by CR LF; returns the end. Branch-free for the 24-bit
// range: the eight digits with leading zeros are two look-ups in one 64-bit word, the leading
// zeros are shifted out and the word is stored whole, so up to 6 bytes past the line are
// scratch. Digits put together in memory and read back as a block stalled on every sample,
// and working them out with multiplications cost twice the instructions.
inline char* PutDecimalLine(char* p, std::int32_t value) {
    *p = '-';
    p += value < 0 ? 1 : 0;
    const std::uint32_t u =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const std::uint32_t high = u / 10000;
    const std::uint32_t low = u - high * 10000;
    std::uint64_t v = kFourDigits.text[high] | static_cast<std::uint64_t>(kFourDigits.text[low])
                                                   << 32;
    const int count = high != 0 ? 4 + kFourDigits.length[high] : kFourDigits.length[low];
    v >>= 8 * (8 - count);
    std::memcpy(p, &v, 8);
    std::memcpy(p + count, "\r\n", 2);
    return p + count + 2;
}

// Four samples (12 bytes) from two overlapping 8-byte loads; the second reads two bytes past
// the group, so a group is only taken while a fifth sample follows it.
inline void LoadFour(const std::uint8_t* p, std::int32_t* s) {
    std::uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 6, 8);
    s[0] = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << 8) >> 8;
    s[1] = static_cast<std::int32_t>(static_cast<std::uint32_t>(a >> 24) << 8) >> 8;
    s[2] = static_cast<std::int32_t>(static_cast<std::uint32_t>(b) << 8) >> 8;
    s[3] = static_cast<std::int32_t>(static_cast<std::uint32_t>(b >> 24) << 8) >> 8;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NEREID_SHUFFLE_DECODE 1
// Four samples a step with one byte shuffle: each sample's three bytes go to the top of its
// word, and the arithmetic shift back extends the sign. The 16-byte load reads four bytes past
// the four samples, so a step is only taken while two more samples follow. Returns the
// samples decoded. SSSE3 is checked for at run time: the build targets plain x86-64.
__attribute__((target("ssse3"))) std::size_t ShuffleDecode(const std::uint8_t* in,
                                                           std::size_t count, void* out) {
    const __m128i toTop = _mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
    auto* to = static_cast<std::uint8_t*>(out);
    std::size_t i = 0;
    for (; i + 6 <= count; i += 4, in += 12, to += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_srai_epi32(_mm_shuffle_epi8(v, toTop), 8));
    }
    return i;
}

// Eight samples a step, the two halves of the register shuffled alike: the second half's 16
// bytes are loaded from the fifth sample on. Reads four bytes past the eight samples, as above.
__attribute__((target("avx2"))) std::size_t ShuffleDecode8(const std::uint8_t* in,
                                                           std::size_t count, void* out) {
    const __m256i toTop = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                           0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
    auto* to = static_cast<std::uint8_t*>(out);
    std::size_t i = 0;
    for (; i + 10 <= count; i += 8, in += 24, to += 32) {
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                            _mm256_srai_epi32(_mm256_shuffle_epi8(v, toTop), 8));
    }
    return i;
}

bool HasShuffle() {
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}

bool HasWideShuffle() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

// The samples the shuffles decode from the start of `in` to `out`.
std::size_t ShuffleDecodeBest(const std::uint8_t* in, std::size_t count, void* out) {
    if (HasWideShuffle()) {
        const std::size_t wide = ShuffleDecode8(in, count, out);
        return wide + ShuffleDecode(in + 3 * wide, count - wide,
                                    static_cast<std::uint8_t*>(out) + 4 * wide);
    }
    return HasShuffle() ? ShuffleDecode(in, count, out) : 0;
}
#endif

} // namespace

std::uint8_t* DecodeToLeS32(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t i = 0;
#if NEREID_SHUFFLE_DECODE
    i = ShuffleDecodeBest(in, count, out);
    in += 3 * i;
    out += 4 * i;
#endif
    // Native order is little-endian (asserted above), so the samples are stored as they are.
    for (; i + 5 <= count; i += 4, in += 12, out += 16) {
        std::int32_t s[4];
        LoadFour(in, s);
        std::memcpy(out, s, 16);
    }
    for (; i < count; ++i, in += 3, out += 4) {
        const std::int32_t v = GetLeS24(in);
        std::memcpy(out, &v, 4);
    }
    return out;
}

std::int32_t* DecodeToS32(const std::uint8_t* in, std::size_t count, std::int32_t* out) {
    std::size_t i = 0;
#if NEREID_SHUFFLE_DECODE
    i = ShuffleDecodeBest(in, count, out);
    in += 3 * i;
    out += i;
#endif
    for (; i + 5 <= count; i += 4, in += 12, out += 4) {
        LoadFour(in, out);
    }
    for (; i < count; ++i, in += 3) {
        *out++ = GetLeS24(in);
    }
    return out;
}

char* DecodeToDecimalLines(const std::uint8_t* in, std::size_t count, char* out) {
    std::size_t i = 0;
    for (; i + 5 <= count; i += 4, in += 12) {
        std::int32_t s[4];
        LoadFour(in, s);
        out = PutDecimalLine(out, s[0]);
        out = PutDecimalLine(out, s[1]);
        out = PutDecimalLine(out, s[2]);
        out = PutDecimalLine(out, s[3]);
    }
    for (; i < count; ++i, in += 3) {
        out = PutDecimalLine(out, GetLeS24(in));
    }
    return out;
}

std::uint8_t* DecodeToSeisanFrames(CSeisanDataFramer& framer, const std::uint8_t* in,
                                   std::size_t count, std::uint8_t* out) {
    constexpr std::size_t kPieceSamples = kSeisanPiece / 4;
    while (count > 0) {
        if (framer.PieceFill() == 0 && count >= kPieceSamples) {
            // A whole piece at once: its samples as plain words, then the piece's end and the
            // next one's start, as the framer would have put them one by one.
            out = DecodeToLeS32(in, kPieceSamples, out);
            out[0] = 0x80;
            out[1] = 0x80;
            out += 2;
            in += 3 * kPieceSamples;
            count -= kPieceSamples;
            continue;
        }
        out += framer.Put(out, GetLeS24(in));
        in += 3;
        --count;
    }
    return out;
}

} // namespace nereid::recording
