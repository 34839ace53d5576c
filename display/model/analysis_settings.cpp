#include "display/model/analysis_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "display/model/tables.h"
#include "recording/byte_order.h"
#include "recording/regular_file.h"

namespace nereid::display::model {

using recording::GetLe32;
using recording::PutLe32;

namespace {

constexpr std::size_t kNameBytes = 8;

} // namespace

int DecodeAnalysisLayout(const std::vector<std::uint8_t>& bytes, AnalysisLayout& layout) {
    if (bytes.size() < AnalysisLayout::kHeaderBytes)
        return kLayoutTooShort;
    const std::uint8_t* p = bytes.data();
    const std::uint32_t count = GetLe32(p);
    layout.timeBackground = GetLe32(p + 4);
    if (layout.timeBackground > 5)
        layout.timeBackground = 0;
    layout.spectrumBackground = GetLe32(p + 8);
    if (layout.spectrumBackground > 5)
        layout.spectrumBackground = 0;
    layout.timeRangeIndex = GetLe32(p + 20);
    if (layout.timeRangeIndex > 10)
        layout.timeRangeIndex = 10;
    layout.binsIndex = GetLe32(p + 24);
    if (layout.binsIndex > 9)
        layout.binsIndex = 9;
    layout.timeGrid = GetLe32(p + 28);
    if (layout.timeGrid > 20)
        layout.timeGrid = 1;
    layout.spectrumGrid = GetLe32(p + 32);
    if (layout.spectrumGrid > 20)
        layout.spectrumGrid = 1;
    layout.fftSize = GetLe32(p + 36);
    if (!IsFftSize(static_cast<int>(layout.fftSize)))
        layout.fftSize = kDefaultFftSize;
    const std::uint32_t shareBits = GetLe32(p + 44);
    std::memcpy(&layout.spectrumShare, &shareBits, 4);
    if (!(layout.spectrumShare >= 0.0f && layout.spectrumShare <= 1.0f))
        layout.spectrumShare = 0.5f;
    layout.divider = static_cast<std::int32_t>(GetLe32(p + 48));

    layout.channels.clear();
    const std::size_t present =
        (bytes.size() - AnalysisLayout::kHeaderBytes) / AnalysisLayout::kRecordBytes;
    const std::size_t records = std::min<std::size_t>(count, present);
    for (std::size_t i = 0; i < records; ++i) {
        const std::uint8_t* r = p + AnalysisLayout::kHeaderBytes + i * AnalysisLayout::kRecordBytes;
        ChannelLayout c;
        c.timeOpen = GetLe32(r);
        c.spectrumOpen = GetLe32(r + 4);
        c.position = GetLe32(r + 8);
        const char* name = reinterpret_cast<const char*>(r + 12);
        c.name.assign(name, strnlen(name, kNameBytes - 1));
        c.timeColour = GetLe32(r + 20);
        c.spectrumColour = GetLe32(r + 24);
        c.timeRange = GetLe32(r + 28);
        c.spectrumRange = GetLe32(r + 32);
        c.offset = static_cast<std::int32_t>(GetLe32(r + 36));
        layout.channels.push_back(std::move(c));
    }
    return 1;
}

std::vector<std::uint8_t> EncodeAnalysisLayout(const AnalysisLayout& layout) {
    std::vector<std::uint8_t> bytes(AnalysisLayout::kHeaderBytes +
                                    layout.channels.size() * AnalysisLayout::kRecordBytes);
    std::uint8_t* p = bytes.data();
    PutLe32(p, static_cast<std::uint32_t>(layout.channels.size()));
    PutLe32(p + 4, layout.timeBackground);
    PutLe32(p + 8, layout.spectrumBackground);
    PutLe32(p + 20, layout.timeRangeIndex);
    PutLe32(p + 24, layout.binsIndex);
    PutLe32(p + 28, layout.timeGrid);
    PutLe32(p + 32, layout.spectrumGrid);
    PutLe32(p + 36, layout.fftSize);
    std::uint32_t shareBits;
    std::memcpy(&shareBits, &layout.spectrumShare, 4);
    PutLe32(p + 44, shareBits);
    PutLe32(p + 48, static_cast<std::uint32_t>(layout.divider));
    for (std::size_t i = 0; i < layout.channels.size(); ++i) {
        const ChannelLayout& c = layout.channels[i];
        std::uint8_t* r = p + AnalysisLayout::kHeaderBytes + i * AnalysisLayout::kRecordBytes;
        PutLe32(r, c.timeOpen);
        PutLe32(r + 4, c.spectrumOpen);
        PutLe32(r + 8, c.position);
        std::memcpy(r + 12, c.name.data(), std::min(c.name.size(), kNameBytes - 1));
        PutLe32(r + 20, c.timeColour);
        PutLe32(r + 24, c.spectrumColour);
        PutLe32(r + 28, c.timeRange);
        PutLe32(r + 32, c.spectrumRange);
        PutLe32(r + 36, static_cast<std::uint32_t>(c.offset));
    }
    return bytes;
}

int ReadAnalysisLayout(const std::string& path, AnalysisLayout& layout) {
    std::vector<std::uint8_t> bytes;
    int error = 0;
    if (recording::ReadRegularFile(path, bytes, error) != 1)
        return error == ENOENT ? kLayoutMissing : kLayoutUnreadable;
    return DecodeAnalysisLayout(bytes, layout);
}

int WriteAnalysisLayout(const std::string& path, const AnalysisLayout& layout) {
    const std::vector<std::uint8_t> bytes = EncodeAnalysisLayout(layout);
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return kLayoutWriteFailed;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return kLayoutWriteFailed;
    }
    return 1;
}

} // namespace nereid::display::model
