#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nereid::recording {

// A whole file mapped read-only. An empty file has no mapping (Data() is null, Size() 0).
// The mapping and the descriptor are released when the last owner lets go.
class CMappedFile {
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

private:
    CMappedFile() = default;

    std::string m_path;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    int m_fd = -1;
};

} // namespace nereid::recording
