#include "recording/regular_file.h"

#include "recording/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nereid::recording {

int OpenRegularFile(const std::string& path, int& error) {
    // O_NONBLOCK keeps open() of a FIFO without a writer from waiting for one.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = errno;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = kNotRegularFile;
        return -1;
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errno;
        return -1;
    }
    error = 0;
    return fd.Release();
}

namespace {

template <typename Bytes> int ReadInto(const std::string& path, Bytes& bytes, int& error) {
    bytes.clear();
    UniqueFd fd(OpenRegularFile(path, error));
    if (!fd.Valid()) {
        return 0;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            bytes.clear();
            return 0;
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    error = 0;
    return 1;
}

} // namespace

int ReadRegularFile(const std::string& path, std::string& bytes, int& error) {
    return ReadInto(path, bytes, error);
}

int ReadRegularFile(const std::string& path, std::vector<unsigned char>& bytes, int& error) {
    return ReadInto(path, bytes, error);
}

std::string FileErrorText(int error) {
    if (error == kNotRegularFile) {
        return "not a regular file";
    }
    return std::strerror(error);
}

} // namespace nereid::recording
