#pragma once

#include <cstddef>
#include <cstdint>

namespace nereid::recording {

// Samples of a file channel that do not lie as one array in memory (SEISAN pieces and text,
// miniSEED records). They are read on demand, a block at a time, so that opening or walking
// a file never holds a decoded copy of it. Implementations are read-only after creation and
// may be shared by copies of a channel; a cache they keep is guarded internally.
class CSampleSource {
public:
    virtual ~CSampleSource() = default;

    // Samples [begin, begin + n) as numbers; the caller keeps begin + n within the count.
    virtual void Read(std::uint64_t begin, std::size_t n, double* out) const = 0;

    // The file byte just past sample `index`'s bytes (for dropping pages already walked), or
    // null when the samples do not lie in file order.
    virtual const std::uint8_t* EndOf(std::uint64_t index) const = 0;
};

} // namespace nereid::recording
