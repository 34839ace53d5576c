#include "display/model/decimation.h"

#include <algorithm>
#include <cstring>

#include "recording/byte_order.h"
#include "recording/dadisp_format.h"
#include "recording/file_channel.h"

namespace nereid::display::model {

void MinMax::Merge(const MinMax& other) {
    if (other.count == 0)
        return;
    if (count == 0 || other.min < min)
        min = other.min;
    if (count == 0 || other.max > max)
        max = other.max;
    count += other.count;
}

std::uint64_t ColumnBegin(std::uint64_t count, int columns, int column) {
    if (columns <= 0)
        return 0;
    // 128-bit product: a file of billions of samples times a column number must not overflow.
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(count) *
                                      static_cast<unsigned>(column) /
                                      static_cast<unsigned>(columns));
}

void DecimateRing(const std::int32_t* ring, std::size_t ringLength, std::size_t start,
                  std::size_t count, int columns, std::vector<MinMax>& out) {
    out.assign(static_cast<std::size_t>(std::max(columns, 0)), MinMax{});
    if (ring == nullptr || ringLength == 0 || columns <= 0)
        return;
    count = std::min(count, ringLength);
    std::size_t index = start % ringLength;
    for (int c = 0; c < columns; ++c) {
        const std::size_t n = ColumnBegin(count, columns, c + 1) - ColumnBegin(count, columns, c);
        if (n == 0)
            continue;
        std::int32_t lo = ring[index];
        std::int32_t hi = lo;
        for (std::size_t k = 0; k < n; ++k) {
            const std::int32_t v = ring[index];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            if (++index == ringLength)
                index = 0;
        }
        out[static_cast<std::size_t>(c)] = MinMax{double(lo), double(hi), n};
    }
}

void ReadFileSamples(const recording::FileChannel& channel, std::uint64_t begin, std::size_t n,
                     double* out) {
    // The channel reads its own form (an array in the file, SEISAN pieces, miniSEED records).
    channel.ReadValues(begin, n, out);
}

void CEnvelopePyramid::Build(const recording::FileChannel& channel) {
    m_Levels.clear();
    m_Samples = channel.sampleCount;
    std::vector<MinMax> base(static_cast<std::size_t>((m_Samples + kBaseBlock - 1) / kBaseBlock));
    constexpr std::size_t kChunk = 1 << 16; // samples converted at a time
    std::vector<double> values(kChunk);
    for (std::uint64_t pos = 0; pos < m_Samples; pos += kChunk) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, m_Samples - pos));
        ReadFileSamples(channel, pos, n, values.data());
        for (std::size_t i = 0; i < n; i += kBaseBlock) {
            const std::size_t end = std::min(n, i + kBaseBlock);
            double lo = values[i], hi = values[i];
            for (std::size_t k = i + 1; k < end; ++k) {
                lo = std::min(lo, values[k]);
                hi = std::max(hi, values[k]);
            }
            base[static_cast<std::size_t>((pos + i) / kBaseBlock)] = MinMax{lo, hi, end - i};
        }
    }
    m_Levels.push_back(std::move(base));
    while (m_Levels.back().size() > kFanOut) {
        const std::vector<MinMax>& below = m_Levels.back();
        std::vector<MinMax> level((below.size() + kFanOut - 1) / kFanOut);
        for (std::size_t i = 0; i < below.size(); ++i)
            level[i / kFanOut].Merge(below[i]);
        m_Levels.push_back(std::move(level));
    }
    m_Built = true;
}

MinMax CEnvelopePyramid::Range(const recording::FileChannel& channel, std::uint64_t begin,
                               std::uint64_t end) const {
    MinMax result;
    end = std::min(end, m_Samples);
    double values[kBaseBlock];
    std::uint64_t pos = begin;
    while (pos < end) {
        // The coarsest block that starts here and ends inside the range.
        int level = -1;
        std::uint64_t block = kBaseBlock;
        for (std::size_t l = 0; l < m_Levels.size(); ++l, block *= kFanOut) {
            if (pos % block != 0 || pos + block > end)
                break;
            level = static_cast<int>(l);
        }
        if (level >= 0) {
            std::uint64_t size = kBaseBlock;
            for (int l = 0; l < level; ++l)
                size *= kFanOut;
            result.Merge(m_Levels[static_cast<std::size_t>(level)][pos / size]);
            pos += size;
            continue;
        }
        // Raw samples up to the next block boundary (or the range's end).
        const std::uint64_t stop = std::min(end, (pos / kBaseBlock + 1) * kBaseBlock);
        const std::size_t n = static_cast<std::size_t>(stop - pos);
        ReadFileSamples(channel, pos, n, values);
        for (std::size_t i = 0; i < n; ++i)
            result.Add(values[i]);
        pos = stop;
    }
    return result;
}

void CEnvelopePyramid::Decimate(const recording::FileChannel& channel, std::uint64_t start,
                                std::uint64_t count, int columns, std::vector<MinMax>& out) const {
    out.assign(static_cast<std::size_t>(std::max(columns, 0)), MinMax{});
    for (int c = 0; c < columns; ++c) {
        const std::uint64_t a = start + ColumnBegin(count, columns, c);
        const std::uint64_t b = start + ColumnBegin(count, columns, c + 1);
        if (a < b && a < m_Samples)
            out[static_cast<std::size_t>(c)] = Range(channel, a, b);
    }
}

} // namespace nereid::display::model
