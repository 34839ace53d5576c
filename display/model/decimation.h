#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nereid::recording {
struct FileChannel;
}

namespace nereid::display::model {

// Smallest and largest sample of one pixel column; count 0 marks a column without samples.
struct MinMax {
    double min = 0.0;
    double max = 0.0;
    std::uint64_t count = 0;

    void Add(double v) {
        if (count == 0 || v < min)
            min = v;
        if (count == 0 || v > max)
            max = v;
        ++count;
    }
    void Merge(const MinMax& other);
};

// The first sample of column c of a window of `count` samples drawn in `columns` columns;
// column c covers [ColumnBegin(c), ColumnBegin(c + 1)). Every sample falls in exactly one
// column, so no peak is lost.
std::uint64_t ColumnBegin(std::uint64_t count, int columns, int column);

// Min/max per column of `count` samples of a ring of `ringLength` samples, starting at ring
// index `start` and wrapping at the ring's end. `out` gets `columns` entries.
void DecimateRing(const std::int32_t* ring, std::size_t ringLength, std::size_t start,
                  std::size_t count, int columns, std::vector<MinMax>& out);

// Converts samples [begin, begin + n) of a file channel to double, by its sample type. Samples
// past the end of the file are 0.
void ReadFileSamples(const recording::FileChannel& channel, std::uint64_t begin, std::size_t n,
                     double* out);

// Min/max envelope of a file channel, built once when the file is opened: level 0 holds one
// entry per block of kBaseBlock samples, each next level one per kFanOut entries of the one
// below. A column of any width is then answered from at most a few dozen entries, so a file of
// tens of millions of samples redraws as fast as a short one.
class CEnvelopePyramid {
public:
    static constexpr std::uint64_t kBaseBlock = 32;
    static constexpr std::uint64_t kFanOut = 8;

    void Build(const recording::FileChannel& channel);
    bool Built() const { return m_Built; }
    std::size_t Levels() const { return m_Levels.size(); }

    // Exact min/max of samples [begin, end) (clamped to the file).
    MinMax Range(const recording::FileChannel& channel, std::uint64_t begin,
                 std::uint64_t end) const;
    // Min/max per column of `count` samples from `start`; samples past the end count as
    // missing (empty columns).
    void Decimate(const recording::FileChannel& channel, std::uint64_t start, std::uint64_t count,
                  int columns, std::vector<MinMax>& out) const;

private:
    std::vector<std::vector<MinMax>> m_Levels;
    std::uint64_t m_Samples = 0;
    bool m_Built = false;
};

} // namespace nereid::display::model
