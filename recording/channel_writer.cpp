#include "recording/channel_writer.h"

#include "recording/byte_order.h"
#include "recording/css_writer.h"
#include "recording/dadisp_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace nereid::recording {

int WriteAll(int fd, const void* data, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd, p, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return 0;
}

namespace {

int OpenFlags(CreateMode mode, bool writeThrough) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    flags |= mode == CreateMode::kNew ? O_EXCL : O_TRUNC;
    if (writeThrough) {
        flags |= O_DSYNC;
    }
    return flags;
}

// Samples as i4 bytes, in chunks so that a large append needs no large buffer.
int AppendSamples(int fd, const std::int32_t* samples, std::size_t count) {
    std::uint8_t chunk[4096];
    while (count > 0) {
        const std::size_t n = count < sizeof chunk / 4 ? count : sizeof chunk / 4;
        for (std::size_t i = 0; i < n; ++i) {
            PutLeS32(chunk + 4 * i, samples[i]);
        }
        if (const int err = WriteAll(fd, chunk, n * 4); err != 0) {
            return err;
        }
        samples += n;
        count -= n;
    }
    return 0;
}

} // namespace

int WriteWholeFile(const std::string& path, const void* bytes, std::size_t length,
                   CreateMode mode) {
    UniqueFd fd(::open(path.c_str(), OpenFlags(mode, false), 0644));
    if (!fd.Valid()) {
        return -errno;
    }
    if (const int err = WriteAll(fd.Get(), bytes, length); err != 0) {
        return -err;
    }
    if (fd.Reset() != 0) {
        return -errno;
    }
    return 1;
}

CDadispWriter::CDadispWriter(std::string path, DadispHeader header, CreateMode mode,
                             bool writeThrough)
    : m_path(std::move(path)), m_header(std::move(header)), m_mode(mode),
      m_writeThrough(writeThrough) {}

CDadispWriter::~CDadispWriter() = default;

int CDadispWriter::Open() {
    if (m_fd.Valid()) {
        return 1;
    }
    UniqueFd fd(::open(m_path.c_str(), OpenFlags(m_mode, m_writeThrough), 0644));
    if (!fd.Valid()) {
        return -errno;
    }
    const std::string header = BuildDadispHeader(m_header);
    if (const int err = WriteAll(fd.Get(), header.data(), header.size()); err != 0) {
        return -err;
    }
    m_fd = std::move(fd);
    m_samples = 0;
    return 1;
}

int CDadispWriter::Append(const std::int32_t* samples, std::size_t count) {
    if (!m_fd.Valid()) {
        return 0;
    }
    if (const int err = AppendSamples(m_fd.Get(), samples, count); err != 0) {
        return -err;
    }
    m_samples += count;
    return 1;
}

int CDadispWriter::Close() {
    if (!m_fd.Valid()) {
        return 0;
    }
    return m_fd.Reset() == 0 ? 1 : -errno;
}

CCssWriter::CCssWriter(std::string folder, WfdiscFields record, CreateMode mode, bool writeThrough)
    : m_record(std::move(record)), m_mode(mode), m_writeThrough(writeThrough) {
    m_path = folder + "/" + m_record.dfile;
    m_wfdiscPath = folder + "/" + WfdiscNameOf(m_record.dfile);
    m_lastPath = m_path;
}

CCssWriter::~CCssWriter() = default;

int CCssWriter::Open() {
    if (m_fd.Valid()) {
        return 1;
    }
    m_lastPath = m_path;
    UniqueFd fd(::open(m_path.c_str(), OpenFlags(m_mode, m_writeThrough), 0644));
    if (!fd.Valid()) {
        return -errno;
    }
    m_fd = std::move(fd);
    m_samples = 0;
    return 1;
}

int CCssWriter::Append(const std::int32_t* samples, std::size_t count) {
    if (!m_fd.Valid()) {
        return 0;
    }
    if (const int err = AppendSamples(m_fd.Get(), samples, count); err != 0) {
        m_lastPath = m_path;
        return -err;
    }
    m_samples += count;
    return 1;
}

int CCssWriter::Close() {
    if (!m_fd.Valid()) {
        return 0;
    }
    int result = 1;
    if (m_fd.Reset() != 0) {
        m_lastPath = m_path;
        result = -errno;
    }
    m_record.nsamp = m_samples;
    const std::string wfdisc = BuildWfdisc(m_record);
    const int written = WriteWholeFile(m_wfdiscPath, wfdisc.data(), wfdisc.size(), m_mode);
    if (written != 1) {
        m_lastPath = m_wfdiscPath;
        return written;
    }
    return result;
}

} // namespace nereid::recording
