#pragma once

#include "recording/sample_source.h"

#include <cstddef>
#include <cstdint>

namespace nereid::recording {

// The samples of a channel of SEISAN's PC binary form where they lie: little-endian values in
// pieces of 128 bytes, each framed by its length byte before and after it (130 bytes a piece),
// every piece full but the last. A value never straddles two pieces (128 is a multiple of 2
// and 4), so sample i is at a fixed place and is read without decoding the pieces before it.
class CSeisanPieceSamples : public CSampleSource {
public:
    // `firstPiece` points at the length byte of the channel's first data piece; the pieces
    // must have been checked (CheckSeisanPieces) and outlive this object.
    CSeisanPieceSamples(const std::uint8_t* firstPiece, int sampleSize)
        : m_first(firstPiece), m_size(sampleSize) {}

    void Read(std::uint64_t begin, std::size_t n, double* out) const override;
    const std::uint8_t* EndOf(std::uint64_t index) const override;

    const std::uint8_t* FirstPiece() const { return m_first; }
    int SampleBytes() const { return m_size; }

private:
    const std::uint8_t* At(std::uint64_t index) const;

    const std::uint8_t* m_first;
    int m_size;
};

// Result of CheckSeisanPieces.
enum SeisanPieceCheck : int {
    kPiecesRegular = 1,   // every piece full but the last: CSeisanPieceSamples reads them
    kPiecesIrregular = 0, // well framed, but a short piece before the last
    kPiecesBad = -1,      // a length byte is 0, too large, or differs from its closing twin
    kPiecesShort = -2,    // the pieces run past the end of the file
};

// Walks the framing of `need` data bytes starting at `pos` (a length byte) without copying
// them; on success `pos` moves past the last piece. `walked` (may be null) is told every few
// MiB how far the walk got, so that a caller can let go of the pages behind it.
int CheckSeisanPieces(const std::uint8_t* data, std::size_t size, std::uint64_t& pos,
                      std::uint64_t need, void (*walked)(void*, const std::uint8_t*),
                      void* context);

// The quick check of a mapped file, which is then read where it lies: the first and the last
// piece framed where a regular layout puts them, so that every value is at its fixed place
// and inside the file. Without walking the pieces between (that would read the whole file
// once more before anyone looks at a sample). Anything else goes to CheckSeisanPieces.
int CheckRegularSeisanPieces(const std::uint8_t* data, std::size_t size, std::uint64_t& pos,
                             std::uint64_t need);

// The samples of a channel of SEISAN's text form: values of 11 characters, 7 to a line of 79
// bytes (77 characters + CR LF). Values are converted when read; 2-byte channels keep the low
// 16 bits as the private block of earlier versions did.
class CSeisanTextSamples : public CSampleSource {
public:
    // `firstValue` points at the first value's first character; the values must have been
    // checked when the file was opened and must outlive this object.
    CSeisanTextSamples(const std::uint8_t* firstValue, int sampleSize)
        : m_first(firstValue), m_size(sampleSize) {}

    void Read(std::uint64_t begin, std::size_t n, double* out) const override;
    const std::uint8_t* EndOf(std::uint64_t index) const override;

    // The value at `p` (11 characters) as SEISAN text gives it; false when it is no number.
    static bool ParseValue(const std::uint8_t* p, long& value);

private:
    const std::uint8_t* At(std::uint64_t index) const;

    const std::uint8_t* m_first;
    int m_size;
};

} // namespace nereid::recording
