#include "recording/mapped_file.h"

#include "recording/regular_file.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nereid::recording {

int CMappedFile::Open(const std::string& path, std::shared_ptr<const CMappedFile>& file,
                      int& error) {
    std::shared_ptr<CMappedFile> f(new CMappedFile());
    f->m_path = path;
    f->m_fd = OpenRegularFile(path, error);
    if (f->m_fd < 0) {
        return error == kNotRegularFile ? kNotRegular : kOpenFailed;
    }
    struct stat st {};
    if (::fstat(f->m_fd, &st) != 0) {
        error = errno;
        return kMapFailed;
    }
    f->m_size = static_cast<std::size_t>(st.st_size);
    if (f->m_size > 0) {
        void* view = ::mmap(nullptr, f->m_size, PROT_READ, MAP_PRIVATE, f->m_fd, 0);
        if (view == MAP_FAILED) {
            error = errno;
            f->m_size = 0;
            return kMapFailed;
        }
        f->m_data = static_cast<const std::uint8_t*>(view);
    }
    error = 0;
    file = std::move(f);
    return kOk;
}

void CMappedFile::DropPages(const std::uint8_t* from, const std::uint8_t* to) const {
    if (m_data == nullptr) {
        return;
    }
    const std::uint8_t* end = m_data + m_size;
    from = from < m_data ? m_data : from;
    to = to > end ? end : to;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(from) + page - 1) / page * page;
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(to) / page * page;
    if (first < last) {
        // A private read-only file mapping that was never written: dropping its pages loses
        // nothing, they are read again from the file on the next access.
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
}

int CMappedFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t length) const {
    if (offset > m_size || length > m_size - offset) {
        return 0;
    }
    while (length > 0) {
        const ssize_t n = ::pread(m_fd, out, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -errno;
        }
        if (n == 0) {
            return 0; // the file shrank under us
        }
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return 1;
}

CMappedFile::~CMappedFile() {
    if (m_data != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

} // namespace nereid::recording
