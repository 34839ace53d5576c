#include "recording/staged_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nereid::recording {

namespace {

int PWriteAll(int fd, const void* data, std::size_t length, std::uint64_t offset) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, p, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

// 0, or errno (EEXIST when `to` is there already, which is then left as it was).
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system that cannot refuse in the rename itself (some network mounts): a check
    // just before, which holds as long as nobody else writes this name meanwhile.
    struct stat status;
    if (::lstat(to.c_str(), &status) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PReadAll(int fd, void* data, std::size_t length, std::uint64_t offset) {
    auto* p = static_cast<std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, length, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO; // the file is shorter than what was written to it
        }
        p += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

// A name no other translation uses at the same time: the process id and a counter, hidden,
// so that a folder listing does not show a half-written file under a plausible name.
UniqueFd CreateTemporary(const std::string& path, std::string& name, int& error) {
    static std::atomic<unsigned> s_counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tail[48];
        std::snprintf(tail, sizeof tail, ".%ld-%u.tmp", static_cast<long>(::getpid()),
                      s_counter.fetch_add(1));
        name = folder + "." + base + tail;
        UniqueFd fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (fd.Valid()) {
            error = 0;
            return fd;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    name.clear();
    return UniqueFd();
}

} // namespace

CStagedFile::CStagedFile(std::string path) : m_path(std::move(path)) {}

CStagedFile::~CStagedFile() {
    Discard();
}

int CStagedFile::Fail(int error) {
    if (m_error == 0) {
        m_error = error;
    }
    return m_error;
}

int CStagedFile::Open(Layout planned) {
    if (planned.empty()) {
        planned.push_back({});
    }
    m_plan = std::move(planned);
    int error = 0;
    m_fd = CreateTemporary(m_path, m_temporary, error);
    if (!m_fd.Valid()) {
        return Fail(error);
    }
    const std::string& head = m_plan.front().head;
    if (const int e = WriteAll(m_fd.Get(), head.data(), head.size()); e != 0) {
        return Fail(e);
    }
    return 0;
}

int CStagedFile::Append(const std::uint8_t* data, std::size_t length) {
    if (m_error != 0) {
        return m_error;
    }
    if (!m_fd.Valid()) {
        return Fail(EBADF);
    }
    while (length > 0) {
        const bool lastPart = m_part + 1 >= m_plan.size();
        if (!lastPart && m_stream >= m_plan[m_part].streamEnd) {
            const std::string& head = m_plan[++m_part].head;
            if (const int e = WriteAll(m_fd.Get(), head.data(), head.size()); e != 0) {
                return Fail(e);
            }
            continue;
        }
        const std::size_t n = lastPart ? length
                                       : static_cast<std::size_t>(std::min<std::uint64_t>(
                                             length, m_plan[m_part].streamEnd - m_stream));
        if (const int e = WriteAll(m_fd.Get(), data, n); e != 0) {
            return Fail(e);
        }
        data += n;
        length -= n;
        m_stream += n;
    }
    return 0;
}

bool CStagedFile::SameShape(const Layout& a, const Layout& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].head.size() != b[i].head.size() ||
            (i + 1 < a.size() && a[i].streamEnd != b[i].streamEnd)) {
            return false;
        }
    }
    return true;
}

std::uint64_t CStagedFile::FileOffsetOf(std::uint64_t at) const {
    std::uint64_t offset = m_plan.front().head.size();
    std::uint64_t start = 0;
    for (std::size_t i = 0; i + 1 < m_plan.size() && at >= m_plan[i].streamEnd; ++i) {
        offset += m_plan[i].streamEnd - start + m_plan[i + 1].head.size();
        start = m_plan[i].streamEnd;
    }
    return offset + (at - start);
}

int CStagedFile::Rewrite(const Layout& actual) {
    std::uint64_t offset = 0;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i].head != m_plan[i].head) {
            const std::string& head = actual[i].head;
            if (const int e = PWriteAll(m_fd.Get(), head.data(), head.size(), offset); e != 0) {
                return e;
            }
        }
        offset += actual[i].head.size();
        if (i + 1 < actual.size()) {
            offset += actual[i].streamEnd - start;
            start = actual[i].streamEnd;
        }
    }
    return 0;
}

int CStagedFile::Rebuild(const Layout& actual) {
    std::string name;
    int error = 0;
    UniqueFd fd = CreateTemporary(m_path, name, error);
    if (!fd.Valid()) {
        return error;
    }
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < actual.size() && error == 0; ++i) {
        error = WriteAll(fd.Get(), actual[i].head.data(), actual[i].head.size());
        const std::uint64_t end =
            i + 1 < actual.size() ? std::min(actual[i].streamEnd, m_stream) : m_stream;
        for (std::uint64_t at = start; at < end && error == 0;) {
            // One planned part at a time: between two of them lies a head.
            std::uint64_t until = end;
            for (std::size_t k = 0; k + 1 < m_plan.size(); ++k) {
                if (m_plan[k].streamEnd > at) {
                    until = std::min(until, m_plan[k].streamEnd);
                    break;
                }
            }
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(until - at, buffer.size()));
            error = PReadAll(m_fd.Get(), buffer.data(), n, FileOffsetOf(at));
            if (error == 0) {
                error = WriteAll(fd.Get(), buffer.data(), n);
            }
            at += n;
        }
        start = std::max(start, end);
    }
    if (error != 0) {
        ::unlink(name.c_str());
        return error;
    }
    m_fd.Reset();
    ::unlink(m_temporary.c_str());
    m_fd = std::move(fd);
    m_temporary = name;
    return 0;
}

int CStagedFile::Commit(const Layout& actual, Existing existing) {
    int error = m_error;
    if (error == 0 && !m_fd.Valid()) {
        error = EBADF;
    }
    if (error == 0) {
        // The in-place rewrite needs every planned head to be in the file already.
        const bool inPlace = SameShape(m_plan, actual) && m_part + 1 == m_plan.size();
        error = inPlace ? Rewrite(actual) : Rebuild(actual);
    }
    if (error == 0 && m_fd.Reset() != 0) {
        error = errno;
    }
    if (error == 0 && existing == Existing::kKeep) {
        error = RenameWithoutReplacing(m_temporary, m_path);
    } else if (error == 0 && ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        Fail(error);
        Discard();
        return m_error;
    }
    m_committed = true;
    m_temporary.clear();
    return 0;
}

void CStagedFile::Discard() {
    if (m_committed || m_temporary.empty()) {
        return;
    }
    m_fd.Reset();
    ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

} // namespace nereid::recording
