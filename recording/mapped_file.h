#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nereid::recording {

// A whole file mapped read-only. An empty file has no mapping (Data() is null, Size() 0).
// The mapping and the descriptor are released when the last owner lets go.
class CMappedFile : public std::enable_shared_from_this<CMappedFile> {
public:
    // Result codes of Open.
    enum : int {
        kOk = 1,
        kOpenFailed = -1, // open() failed; errno in `error`
        kMapFailed = -2,  // fstat or mmap failed
        kNotRegular = -3, // a FIFO, device or directory: refused without waiting on it
    };

    // `error` is an errno value, or kNotRegularFile (recording/regular_file.h).
    static int Open(const std::string& path, std::shared_ptr<const CMappedFile>& file, int& error);

    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    const std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    const std::string& Path() const { return m_path; }

    // Lets go of the resident pages wholly inside [from, to) (addresses within the mapping),
    // so that walking a large file keeps a bounded amount of it resident. The contents stay
    // as they are: a later access reads the pages again from the file (or the page cache).
    void DropPages(const std::uint8_t* from, const std::uint8_t* to) const;
    // Copies `length` bytes at `offset` of the file into `out` through the descriptor, which
    // walks a large file faster than touching its mapping page by page (no page faults, no
    // TLB misses; the copy lands in cache). 1 done, 0 past the end, < 0 -errno.
    int ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;
    // True when `p` lies within the mapping.
    bool Holds(const std::uint8_t* p) const { return p >= m_data && p < m_data + m_size; }

private:
    CMappedFile() = default;

    std::string m_path;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    int m_fd = -1;
};

} // namespace nereid::recording
