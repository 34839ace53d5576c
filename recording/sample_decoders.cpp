#include "recording/sample_decoders.h"

#include "recording/byte_order.h"

#include <bit>
#include <cstring>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "the sample loops load several little-endian samples at once");

namespace {

constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                               "31323334353637383940414243444546474849505152535455565758596061"
                               "62636465666768697071727374757677787980818283848586878889909192"
                               "93949596979899";
static_assert(sizeof kDigitPairs == 201);

// Decimal text of a sample followed by CR LF; returns the end. Branch-free for the 24-bit
// range (at most 7 digits): the digits are made with leading zeros and the significant ones
// copied as one 16-byte block, so up to 16 bytes past the line are scratch. General
// formatting dominated the ASCII translation.
inline char* PutDecimalLine(char* p, std::int32_t value) {
    *p = '-';
    p += value < 0 ? 1 : 0;
    const std::uint32_t u =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[24] = {};
    int count;
    if (u < 10000) {
        // Background noise: most samples of a recording have four digits or fewer.
        std::memcpy(digits, "0000", 4);
        std::memcpy(digits + 4, kDigitPairs + 2 * (u / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (u % 100), 2);
        count = 1 + (u > 9) + (u > 99) + (u > 999);
    } else {
        const std::uint32_t high = (u / 10000) % 10000;
        const std::uint32_t low = u % 10000;
        std::memcpy(digits, kDigitPairs + 2 * (high / 100), 2);
        std::memcpy(digits + 2, kDigitPairs + 2 * (high % 100), 2);
        std::memcpy(digits + 4, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (low % 100), 2);
        count = 5 + (u > 99999) + (u > 999999) + (u > 9999999);
    }
    digits[8] = '\r';
    digits[9] = '\n';
    std::memcpy(p, digits + 8 - count, 16);
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

} // namespace

std::uint8_t* DecodeToLeS32(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t i = 0;
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
    for (; i + 5 <= count; i += 4, in += 12, out += 4) {
        LoadFour(in, out);
    }
    for (; i < count; ++i, in += 3) {
        *out++ = GetLeS24(in);
    }
    return out;
}

char* DecodeToDecimalLines(const std::uint8_t* in, std::size_t count, char* out) {
    for (std::size_t i = 0; i < count; ++i, in += 3) {
        out = PutDecimalLine(out, GetLeS24(in));
    }
    return out;
}

std::uint8_t* DecodeToSeisanFrames(CSeisanDataFramer& framer, const std::uint8_t* in,
                                   std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i, in += 3) {
        out += framer.Put(out, GetLeS24(in));
    }
    return out;
}

} // namespace nereid::recording
