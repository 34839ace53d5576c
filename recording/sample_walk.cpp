#include "recording/sample_walk.h"

#include "recording/dadisp_format.h"
#include "recording/mapped_file.h"
#include "recording/sample_source.h"
#include "recording/seisan_format.h"
#include "recording/seisan_samples.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace nereid::recording {

namespace {

// File bytes read at a time by the copying walks: fits the cache beside the numbers.
constexpr std::size_t kReadChunk = 512u << 10;
constexpr std::size_t kFramedPiece = kSeisanPiece + 2;

using Visit = std::function<void(const double* values, std::size_t n)>;

// Hands `n` numbers to `visit` in blocks of at most kWalkBlock.
void VisitInBlocks(const double* values, std::size_t n, const Visit& visit) {
    for (std::size_t at = 0; at < n; at += kWalkBlock) {
        visit(values + at, std::min(kWalkBlock, n - at));
    }
}

// An array of samples inside a mapped file, copied through the descriptor a chunk at a time.
// False when the file could not be read (the caller then walks the mapping).
bool WalkArrayByReads(const FileChannel& channel, const CMappedFile& file, std::uint64_t& done,
                      const Visit& visit) {
    const std::size_t size = static_cast<std::size_t>(SampleSize(channel.sampleType));
    const std::uint64_t offset = static_cast<std::uint64_t>(channel.firstSample - file.Data());
    const std::size_t perChunk = kReadChunk / size;
    // Left uninitialised: every byte is read into before it is used.
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[perChunk * size]);
    const std::unique_ptr<double[]> values(new double[perChunk]);
    while (done < channel.sampleCount) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(perChunk, channel.sampleCount - done));
        if (file.ReadAt(offset + done * size, bytes.get(), n * size) != 1) {
            return false;
        }
        ConvertSamples(bytes.get(), channel.sampleType, n, values.get());
        VisitInBlocks(values.get(), n, visit);
        done += n;
    }
    return true;
}

// SEISAN pieces inside a mapped file, copied a run of whole pieces at a time; the copy has the
// same layout from its first piece on, so it is read as pieces of its own.
bool WalkPiecesByReads(const FileChannel& channel, const CSeisanPieceSamples& pieces,
                       const CMappedFile& file, std::uint64_t& done, const Visit& visit) {
    const std::uint64_t perPiece = kSeisanPiece / static_cast<std::uint64_t>(pieces.SampleBytes());
    const std::size_t piecesPerChunk = kReadChunk / kFramedPiece;
    const std::uint64_t perChunk = piecesPerChunk * perPiece;
    const std::uint64_t offset = static_cast<std::uint64_t>(pieces.FirstPiece() - file.Data());
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[piecesPerChunk * kFramedPiece]);
    const std::unique_ptr<double[]> values(new double[perChunk]);
    while (done < channel.sampleCount) {
        const std::uint64_t n = std::min<std::uint64_t>(perChunk, channel.sampleCount - done);
        const std::uint64_t piece = done / perPiece;
        const std::uint64_t lastByte =
            (done + n) * static_cast<std::uint64_t>(pieces.SampleBytes());
        // Up to the end of the last value (the closing length byte is not needed).
        const std::uint64_t length = (lastByte - 1) / kSeisanPiece * kFramedPiece + 1 +
                                     (lastByte - 1) % kSeisanPiece + 1 - piece * kFramedPiece;
        if (file.ReadAt(offset + piece * kFramedPiece, bytes.get(),
                        static_cast<std::size_t>(length)) != 1) {
            return false;
        }
        CSeisanPieceSamples(bytes.get(), pieces.SampleBytes())
            .Read(0, static_cast<std::size_t>(n), values.get());
        VisitInBlocks(values.get(), static_cast<std::size_t>(n), visit);
        done += n;
    }
    return true;
}

} // namespace

void WalkSamples(const FileChannel& channel, const Visit& visit) {
    if (channel.sampleCount == 0) {
        return;
    }
    std::uint64_t done = 0;
    // Samples in a mapped file in file order are copied through the descriptor: faster than
    // touching the mapping on a cold TLB, and no page of the file stays resident.
    if (const CMappedFile* file = channel.mapping.get(); file != nullptr) {
        if (channel.firstSample != nullptr && file->Holds(channel.firstSample) &&
            SampleSize(channel.sampleType) > 0) {
            if (WalkArrayByReads(channel, *file, done, visit)) {
                return;
            }
        } else if (const auto* pieces =
                       dynamic_cast<const CSeisanPieceSamples*>(channel.source.get());
                   pieces != nullptr && file->Holds(pieces->FirstPiece())) {
            if (WalkPiecesByReads(channel, *pieces, *file, done, visit)) {
                return;
            }
        }
    }
    // Anything else (a private block, decoded records), or what a failed read left over.
    std::vector<double> block(kWalkBlock);
    while (done < channel.sampleCount) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(kWalkBlock, channel.sampleCount - done));
        channel.ReadValues(done, n, block.data());
        visit(block.data(), n);
        done += n;
    }
}

SampleStatistics ChannelStatistics(const FileChannel& channel) {
    SampleStatistics s;
    s.count = channel.sampleCount;
    if (channel.sampleCount == 0) {
        return s;
    }
    double first = 0;
    channel.ReadValues(0, 1, &first);
    double low = first, high = first, sum = 0;
    WalkSamples(channel, [&](const double* v, std::size_t n) {
        // Eight lanes in four two-wide vectors: without them the compiler keeps one scalar
        // chain (floating-point min, max and sums are not reordered on its own).
        using V2 = double __attribute__((vector_size(16)));
        V2 lo[4], hi[4], su[4];
        for (int k = 0; k < 4; ++k) {
            lo[k] = V2{low, low};
            hi[k] = V2{high, high};
            su[k] = V2{0, 0};
        }
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            for (int k = 0; k < 4; ++k) {
                V2 x;
                std::memcpy(&x, v + i + 2 * k, sizeof x);
                lo[k] = x < lo[k] ? x : lo[k];
                hi[k] = x > hi[k] ? x : hi[k];
                su[k] += x;
            }
        }
        for (int k = 0; k < 4; ++k) {
            low = std::min(low, std::min(lo[k][0], lo[k][1]));
            high = std::max(high, std::max(hi[k][0], hi[k][1]));
            sum += su[k][0] + su[k][1];
        }
        for (; i < n; ++i) {
            low = std::min(low, v[i]);
            high = std::max(high, v[i]);
            sum += v[i];
        }
    });
    s.low = low;
    s.high = high;
    s.sum = sum;
    return s;
}

} // namespace nereid::recording
