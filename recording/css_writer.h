#pragma once

#include "recording/channel_writer.h"
#include "recording/css_format.h"
#include "recording/unique_fd.h"

namespace nereid::recording {

// A CSS 3.0 pair: the i4 data file grows from Open; Close writes the 283-byte wfdisc record,
// with nsamp and endtime from the samples appended, to the "H" file beside it.
class CCssWriter : public CChannelWriter {
public:
    // `folder` without trailing "/"; `record` supplies sta, chan, time, rate and dfile (the
    // data file name); its nsamp is replaced at Close.
    CCssWriter(std::string folder, WfdiscFields record, CreateMode mode, bool writeThrough = false);
    ~CCssWriter() override;

    int Open() override;
    int Append(const std::int32_t* samples, std::size_t count) override;
    // Writes the wfdisc file and closes the data file. Returns a negative code, with LastPath()
    // naming the wfdisc file, when it cannot be created; the data file is closed either way.
    int Close() override;
    bool IsOpen() const override { return m_fd.Valid(); }
    std::uint64_t SampleCount() const override { return m_samples; }
    const std::string& DataPath() const override { return m_path; }
    const std::string& LastPath() const override { return m_lastPath; }
    const std::string& WfdiscPath() const { return m_wfdiscPath; }

private:
    WfdiscFields m_record;
    std::string m_path;
    std::string m_wfdiscPath;
    std::string m_lastPath;
    CreateMode m_mode;
    bool m_writeThrough;
    UniqueFd m_fd;
    std::uint64_t m_samples = 0;
};

// Writes `bytes` to a new file at `path` (O_EXCL for kNew). Returns 1 or -errno.
int WriteWholeFile(const std::string& path, const void* bytes, std::size_t length, CreateMode mode);

} // namespace nereid::recording
