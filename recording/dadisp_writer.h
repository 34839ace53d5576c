#pragma once

#include "recording/channel_writer.h"
#include "recording/dadisp_format.h"
#include "recording/unique_fd.h"

namespace nereid::recording {

// A DADiSP dataset written as it grows: header at Open, samples appended, nothing at Close.
class CDadispWriter : public CChannelWriter {
public:
    // `path` is the full path of the dataset file. `writeThrough` asks for synchronous data
    // writes (O_DSYNC), as the recorder wants its per-second appends on disk.
    CDadispWriter(std::string path, DadispHeader header, CreateMode mode,
                  bool writeThrough = false);
    ~CDadispWriter() override;

    int Open() override;
    int Append(const std::int32_t* samples, std::size_t count) override;
    int Close() override;
    bool IsOpen() const override { return m_fd.Valid(); }
    std::uint64_t SampleCount() const override { return m_samples; }
    const std::string& DataPath() const override { return m_path; }
    const std::string& LastPath() const override { return m_path; }

private:
    std::string m_path;
    DadispHeader m_header;
    CreateMode m_mode;
    bool m_writeThrough;
    UniqueFd m_fd;
    std::uint64_t m_samples = 0;
};

} // namespace nereid::recording
