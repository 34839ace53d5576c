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

// An array of samples inside a mapped file, copied through the descriptor a chunk at a time;
// `onRun(bytes, n)` gets every run of n little-endian samples lying together, and `onChunk(n)`
// follows the runs of each chunk. False when the file could not be read (the caller then
// walks the mapping from `done` on).
template <typename OnRun, typename OnChunk>
bool ReadArrayRuns(const FileChannel& channel, const CMappedFile& file, std::uint64_t& done,
                   OnRun onRun, OnChunk onChunk) {
    const std::size_t size = static_cast<std::size_t>(SampleSize(channel.sampleType));
    const std::uint64_t offset = static_cast<std::uint64_t>(channel.firstSample - file.Data());
    const std::size_t perChunk = kReadChunk / size;
    // Left uninitialised: every byte is read into before it is used.
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[perChunk * size]);
    while (done < channel.sampleCount) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(perChunk, channel.sampleCount - done));
        if (file.ReadAt(offset + done * size, bytes.get(), n * size) != 1) {
            return false;
        }
        onRun(bytes.get(), n);
        onChunk(n);
        done += n;
    }
    return true;
}

// SEISAN pieces inside a mapped file, copied a run of whole pieces at a time; each piece's
// values are one run.
template <typename OnRun, typename OnChunk>
bool ReadPieceRuns(const FileChannel& channel, const CSeisanPieceSamples& pieces,
                   const CMappedFile& file, std::uint64_t& done, OnRun onRun, OnChunk onChunk) {
    const std::size_t sampleBytes = static_cast<std::size_t>(pieces.SampleBytes());
    const std::uint64_t perPiece = kSeisanPiece / sampleBytes;
    const std::size_t piecesPerChunk = kReadChunk / kFramedPiece;
    const std::uint64_t perChunk = piecesPerChunk * perPiece;
    const std::uint64_t offset = static_cast<std::uint64_t>(pieces.FirstPiece() - file.Data());
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[piecesPerChunk * kFramedPiece]);
    while (done < channel.sampleCount) {
        const std::uint64_t n = std::min<std::uint64_t>(perChunk, channel.sampleCount - done);
        const std::uint64_t piece = done / perPiece;
        const std::uint64_t lastByte = (done + n) * sampleBytes;
        // Up to the end of the last value (the closing length byte is not needed).
        const std::uint64_t length = (lastByte - 1) / kSeisanPiece * kFramedPiece + 1 +
                                     (lastByte - 1) % kSeisanPiece + 1 - piece * kFramedPiece;
        if (file.ReadAt(offset + piece * kFramedPiece, bytes.get(),
                        static_cast<std::size_t>(length)) != 1) {
            return false;
        }
        // Walks start on a piece (chunks are whole pieces), so the copy's pieces start at 0.
        std::uint64_t left = n;
        for (const std::uint8_t* p = bytes.get() + 1; left > 0; p += kFramedPiece) {
            const std::size_t run = static_cast<std::size_t>(std::min(left, perPiece));
            onRun(p, run);
            left -= run;
        }
        onChunk(static_cast<std::size_t>(n));
        done += n;
    }
    return true;
}

// The copying walk of a mapped file's samples where they lie in file order: `onRun` and
// `onChunk` as above. False when it does not apply or the file could not be read.
template <typename OnRun, typename OnChunk>
bool ReadRuns(const FileChannel& channel, std::uint64_t& done, OnRun onRun, OnChunk onChunk) {
    const CMappedFile* file = channel.mapping.get();
    if (file == nullptr) {
        return false;
    }
    if (channel.firstSample != nullptr) {
        return file->Holds(channel.firstSample) && SampleSize(channel.sampleType) > 0 &&
               ReadArrayRuns(channel, *file, done, onRun, onChunk);
    }
    const auto* pieces = dynamic_cast<const CSeisanPieceSamples*>(channel.source.get());
    return pieces != nullptr && file->Holds(pieces->FirstPiece()) &&
           ReadPieceRuns(channel, *pieces, *file, done, onRun, onChunk);
}

struct IntStats {
    std::int32_t low, high;
    std::int64_t sum;
};

// The smallest, largest and sum of `n` little-endian 32-bit values (n > 0 not needed). Built
// twice, for AVX2 and for the baseline, the better chosen when the program starts: the
// baseline (SSE2) has no packed 32-bit min and max.
#ifndef NEREID_SINGLE_TARGET
__attribute__((target_clones("avx2", "default")))
#endif
void AddIntStats(const std::uint8_t* p, std::size_t n, IntStats& s) {
    std::int32_t low = s.low, high = s.high;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t v;
        std::memcpy(&v, p + 4 * i, 4);
        low = v < low ? v : low;
        high = v > high ? v : high;
        sum += v;
    }
    s.low = low;
    s.high = high;
    s.sum += sum;
}

} // namespace

void WalkSamples(const FileChannel& channel, const Visit& visit) {
    if (channel.sampleCount == 0) {
        return;
    }
    std::uint64_t done = 0;
    // Samples in a mapped file in file order are copied through the descriptor: faster than
    // touching the mapping on a cold TLB, and no page of the file stays resident.
    std::vector<double> values(kReadChunk / 2);
    std::size_t filled = 0;
    const bool read = ReadRuns(
        channel, done,
        [&](const std::uint8_t* p, std::size_t n) {
            ConvertSamples(p, channel.sampleType, n, values.data() + filled);
            filled += n;
        },
        [&](std::size_t n) {
            VisitInBlocks(values.data(), n, visit);
            filled = 0;
        });
    if (read) {
        return;
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
    if (channel.sampleType == kSampleLong) {
        // 32-bit integers straight from the copied bytes, summed exactly.
        IntStats ints{static_cast<std::int32_t>(first), static_cast<std::int32_t>(first), 0};
        std::uint64_t done = 0;
        if (ReadRuns(
                channel, done,
                [&](const std::uint8_t* p, std::size_t n) { AddIntStats(p, n, ints); },
                [](std::size_t) {})) {
            s.low = ints.low;
            s.high = ints.high;
            s.sum = static_cast<double>(ints.sum);
            return s;
        }
    }
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
