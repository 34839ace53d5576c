#include "recording/mseed_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <utility>

namespace nereid::recording {

CMseedWriter::CMseedWriter(std::string path, SMseedStreamId id, int rate, std::uint32_t startSecond,
                           CreateMode mode, bool writeThrough)
    : m_path(std::move(path)), m_id(std::move(id)), m_rate(rate), m_mode(mode),
      m_writeThrough(writeThrough),
      m_nextNs(static_cast<std::int64_t>(startSecond) * 1000000000LL) {}

CMseedWriter::~CMseedWriter() {
    // The record being filled is still in memory: a writer dropped without Close must not
    // take it along.
    Close();
}

int CMseedWriter::Open() {
    if (m_fd.Valid()) {
        return 1;
    }
    if (m_rate <= 0) {
        return -EINVAL;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    flags |= m_mode == CreateMode::kNew ? O_EXCL : O_TRUNC;
    if (m_writeThrough) {
        flags |= O_DSYNC;
    }
    UniqueFd fd(::open(m_path.c_str(), flags, 0644));
    if (!fd.Valid()) {
        return -errno;
    }
    m_fd = std::move(fd);
    m_writeError = 0;
    m_samples = 0;
    m_packer = std::make_unique<CMseedPacker>(m_id, m_rate, [this](const char* record, int n) {
        if (m_writeError != 0) {
            return -1;
        }
        m_writeError = WriteAll(m_fd.Get(), record, static_cast<std::size_t>(n));
        return m_writeError == 0 ? 0 : -1;
    });
    return 1;
}

void CMseedWriter::SetNextSecond(std::uint32_t second) {
    m_nextNs = static_cast<std::int64_t>(second) * 1000000000LL;
}

int CMseedWriter::PackerResult(int packed) {
    if (packed >= 0) {
        return 1;
    }
    if (packed == CMseedPacker::kSinkFailed) {
        return -(m_writeError != 0 ? m_writeError : EIO);
    }
    // Samples Steim-2 cannot hold (steps beyond 30 bits): not something a 24-bit recorder
    // gives, but never to be written as other numbers.
    return -EINVAL;
}

int CMseedWriter::AppendAt(std::int64_t startNs, const std::int32_t* samples, std::size_t count) {
    if (!m_fd.Valid() || !m_packer) {
        return 0;
    }
    std::size_t done = 0;
    while (done < count) {
        // In pieces: the packer then never holds more than a piece and a record of samples,
        // however long the translated file.
        constexpr std::size_t kPiece = 65536;
        const std::size_t n = count - done < kPiece ? count - done : kPiece;
        const std::int64_t at = done == 0 ? startNs : m_packer->ExpectedNextNs();
        const int packed = m_packer->AddSamples(at, samples + done, static_cast<int>(n));
        if (packed < 0) {
            return PackerResult(packed);
        }
        done += n;
        m_samples += n;
    }
    m_nextNs = m_packer->ExpectedNextNs();
    return 1;
}

int CMseedWriter::Append(const std::int32_t* samples, std::size_t count) {
    return AppendAt(m_nextNs, samples, count);
}

int CMseedWriter::Close() {
    if (!m_fd.Valid()) {
        return 0;
    }
    int result = 1;
    if (m_packer) {
        const int flushed = m_packer->Flush();
        if (flushed < 0) {
            result = PackerResult(flushed);
        }
        m_packer.reset();
    }
    if (m_fd.Reset() != 0 && result == 1) {
        result = -errno;
    }
    return result;
}

} // namespace nereid::recording
