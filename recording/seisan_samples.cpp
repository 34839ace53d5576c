#include "recording/seisan_samples.h"

#include "recording/fixed_text.h"
#include "recording/seisan_format.h"

#include <bit>
#include <cstring>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "the piece loops load little-endian samples as they lie");

namespace {

constexpr std::uint64_t kFramedPiece = kSeisanPiece + 2;
constexpr std::size_t kTextValue = 11;
constexpr std::size_t kTextValuesPerLine = 7;
constexpr std::size_t kTextLineBytes = kTextValue * kTextValuesPerLine + 2;
// How often a walk reports its progress.
constexpr std::uint64_t kWalkReport = 8u << 20;

template <typename T> void Convert(const std::uint8_t* p, std::size_t n, double* out) {
    for (std::size_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, p + i * sizeof(T), sizeof(T));
        out[i] = static_cast<double>(v);
    }
}

} // namespace

const std::uint8_t* CSeisanPieceSamples::At(std::uint64_t index) const {
    const std::uint64_t byte = index * static_cast<std::uint64_t>(m_size);
    return m_first + byte / kSeisanPiece * kFramedPiece + 1 + byte % kSeisanPiece;
}

const std::uint8_t* CSeisanPieceSamples::EndOf(std::uint64_t index) const {
    return At(index) + m_size;
}

void CSeisanPieceSamples::Read(std::uint64_t begin, std::size_t n, double* out) const {
    const std::uint64_t perPiece = kSeisanPiece / static_cast<std::uint64_t>(m_size);
    while (n > 0) {
        // The rest of the piece that holds `begin`, converted as one run.
        const std::uint64_t left = perPiece - begin % perPiece;
        const std::size_t run = left < n ? static_cast<std::size_t>(left) : n;
        if (m_size == 2) {
            Convert<std::int16_t>(At(begin), run, out);
        } else {
            Convert<std::int32_t>(At(begin), run, out);
        }
        begin += run;
        out += run;
        n -= run;
    }
}

int CheckSeisanPieces(const std::uint8_t* data, std::size_t size, std::uint64_t& pos,
                      std::uint64_t need, void (*walked)(void*, const std::uint8_t*),
                      void* context) {
    bool regular = true;
    std::uint64_t got = 0;
    std::uint64_t reported = pos;
    while (got < need) {
        if (pos + 1 > size) {
            return kPiecesShort;
        }
        const std::uint64_t n = data[pos];
        if (n == 0 || n > kSeisanPiece || n > need - got) {
            return kPiecesBad;
        }
        if (pos + n + 2 > size) {
            return kPiecesShort;
        }
        if (data[pos + n + 1] != n) {
            return kPiecesBad;
        }
        got += n;
        pos += n + 2;
        if (n < kSeisanPiece && got < need) {
            regular = false;
        }
        if (walked != nullptr && pos - reported >= kWalkReport) {
            walked(context, data + pos);
            reported = pos;
        }
    }
    return regular ? kPiecesRegular : kPiecesIrregular;
}

int CheckRegularSeisanPieces(const std::uint8_t* data, std::size_t size, std::uint64_t& pos,
                             std::uint64_t need) {
    if (need == 0) {
        return kPiecesRegular;
    }
    const std::uint64_t full = need / kSeisanPiece;
    const std::uint64_t rest = need % kSeisanPiece;
    const std::uint64_t end = pos + full * kFramedPiece + (rest > 0 ? rest + 2 : 0);
    if (end > size) {
        return CheckSeisanPieces(data, size, pos, need, nullptr, nullptr);
    }
    const auto framed = [&](std::uint64_t at, std::uint64_t length) {
        return data[at] == length && data[at + length + 1] == length;
    };
    const std::uint64_t firstLength = need < kSeisanPiece ? need : kSeisanPiece;
    const std::uint64_t lastAt = rest > 0 ? pos + full * kFramedPiece : end - kFramedPiece;
    const std::uint64_t lastLength = rest > 0 ? rest : kSeisanPiece;
    if (!framed(pos, firstLength) || !framed(lastAt, lastLength)) {
        return CheckSeisanPieces(data, size, pos, need, nullptr, nullptr);
    }
    pos = end;
    return kPiecesRegular;
}

const std::uint8_t* CSeisanTextSamples::At(std::uint64_t index) const {
    return m_first + index / kTextValuesPerLine * kTextLineBytes +
           index % kTextValuesPerLine * kTextValue;
}

const std::uint8_t* CSeisanTextSamples::EndOf(std::uint64_t index) const {
    return At(index) + kTextValue;
}

bool CSeisanTextSamples::ParseValue(const std::uint8_t* p, long& value) {
    return ParseIntField(std::string(reinterpret_cast<const char*>(p), kTextValue), value);
}

void CSeisanTextSamples::Read(std::uint64_t begin, std::size_t n, double* out) const {
    for (std::size_t i = 0; i < n; ++i) {
        long value = 0;
        ParseValue(At(begin + i), value);
        out[i] = m_size == 2 ? static_cast<double>(static_cast<std::int16_t>(value))
                             : static_cast<double>(static_cast<std::int32_t>(value));
    }
}

} // namespace nereid::recording
