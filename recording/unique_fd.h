#pragma once

#include <cstddef>
#include <unistd.h>

namespace nereid::recording {

// Owns one file descriptor; closes it when destroyed or reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes the held descriptor; returns the result of close() (0, or -1 with errno set).
    int Reset(int fd = -1) {
        int result = 0;
        if (m_fd >= 0) {
            result = ::close(m_fd);
        }
        m_fd = fd;
        return result;
    }

private:
    int m_fd = -1;
};

// Writes all `length` bytes, retrying short writes and EINTR. Returns 0 or the errno value.
int WriteAll(int fd, const void* data, std::size_t length);

} // namespace nereid::recording
