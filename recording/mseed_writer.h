#pragma once

#include "recording/channel_writer.h"
#include "recording/mseed_packer.h"
#include "recording/unique_fd.h"

#include <memory>
#include <string>

namespace nereid::recording {

// A miniSEED file of one stream, written as it grows: 512-byte Steim-2 records appended as
// they fill, the last one partly filled at Close. A record holds some seconds of data, so
// with write-through on what reaches the medium each second is every finished record, and
// the seconds of the record being filled are in memory until it is full.
class CMseedWriter : public CChannelWriter {
public:
    CMseedWriter(std::string path, SMseedStreamId id, int rate, std::uint32_t startSecond,
                 CreateMode mode, bool writeThrough = false);
    ~CMseedWriter() override;

    int Open() override;
    // Samples continue from the end of the last Append, or start at the second given by
    // SetNextSecond (a later second leaves a gap).
    int Append(const std::int32_t* samples, std::size_t count) override;
    void SetNextSecond(std::uint32_t second) override;
    int Close() override;
    bool IsOpen() const override { return m_fd.Valid(); }
    std::uint64_t SampleCount() const override { return m_samples; }
    const std::string& DataPath() const override { return m_path; }
    const std::string& LastPath() const override { return m_path; }

    // Appends samples starting at a time in ns since 1970 (sub-second starts for callers
    // that have them).
    int AppendAt(std::int64_t startNs, const std::int32_t* samples, std::size_t count);

private:
    int PackerResult(int packed);

    std::string m_path;
    SMseedStreamId m_id;
    int m_rate;
    CreateMode m_mode;
    bool m_writeThrough;
    UniqueFd m_fd;
    std::unique_ptr<CMseedPacker> m_packer;
    std::int64_t m_nextNs;
    int m_writeError = 0;
    std::uint64_t m_samples = 0;
};

// The file name extension of miniSEED output, appended to the project's usual names.
inline constexpr const char* kMseedExtension = ".mseed";

} // namespace nereid::recording
