#include "recording/mapped_file.h"

#include "recording/regular_file.h"

#include <cerrno>
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

CMappedFile::~CMappedFile() {
    if (m_data != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

} // namespace nereid::recording
