#include "recording/translate_layouts.h"

#include "recording/ascii_format.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/seisan_format.h"

#include <algorithm>
#include <vector>

namespace nereid::recording {

std::uint64_t SeisanSegmentSamples(int rate) {
    // A channel header counts at most 999999 samples. Longer data becomes consecutive channels
    // of one file, each a whole number of seconds and of 128-byte pieces (32 samples), so
    // that the framed data can be cut between pieces and every channel starts on a second.
    std::uint64_t step = 32;
    while (rate > 0 && step % static_cast<std::uint64_t>(rate) != 0) {
        step += 32;
    }
    return 999999 / step * step;
}

CStagedFile::Layout DadispLayout(const HlcpHeader& header) {
    return {{BuildDadispHeader(MakeTranslateDadispHeader(header.name, header.station,
                                                         ComponentOf(header.channelIndex),
                                                         header.startSecond, header.rate)),
             CStagedFile::kOpenEnd}};
}

CStagedFile::Layout AsciiLayout(const HlcpHeader& header, std::uint64_t samples) {
    AsciiHeader h;
    h.station = header.station;
    h.component = ComponentOf(header.channelIndex);
    h.startSecond = header.startSecond;
    h.rate = header.rate;
    h.sampleCount = samples;
    h.latitude = header.latitude;
    h.longitude = header.longitude;
    h.elevation = header.elevation;
    return {{BuildAsciiHeader(h), CStagedFile::kOpenEnd}};
}

CStagedFile::Layout SeisanLayout(const HlcpHeader& header, std::uint64_t samples) {
    const std::uint64_t perSegment = SeisanSegmentSamples(header.rate);
    // A segment never starts empty: data that fits one channel header stays one channel.
    const std::uint64_t segments =
        samples <= 999999 || perSegment == 0 ? 1 : (samples + perSegment - 1) / perSegment;
    std::vector<SeisanChannel> channels;
    for (std::uint64_t k = 0; k < segments; ++k) {
        SeisanChannel c;
        c.station = header.station;
        c.component = ComponentOf(header.channelIndex);
        const std::uint64_t first = k * perSegment;
        c.startSecond = header.startSecond +
                        static_cast<std::uint32_t>(first / static_cast<std::uint64_t>(header.rate));
        c.rate = header.rate;
        c.sampleCount = segments == 1 ? samples : std::min(perSegment, samples - first);
        c.latitude = header.latitude;
        c.longitude = header.longitude;
        c.elevation = header.elevation;
        channels.push_back(c);
    }
    std::vector<std::uint8_t> head;
    head.push_back(0x4B);
    for (const std::string& line : BuildSeisanMainHeader(std::string(29, ' '), channels)) {
        AppendSegmentedRecord(head, reinterpret_cast<const std::uint8_t*>(line.data()),
                              line.size());
    }
    // Segment k's framed data is stream[k * framed, (k + 1) * framed), the last to the end.
    const std::uint64_t framed = perSegment / 32 * 130;
    CStagedFile::Layout layout;
    for (std::uint64_t k = 0; k < segments; ++k) {
        const std::string ch = BuildSeisanChannelHeader(channels[k]);
        AppendSegmentedRecord(head, reinterpret_cast<const std::uint8_t*>(ch.data()), ch.size());
        layout.push_back({std::string(head.begin(), head.end()),
                          k + 1 == segments ? CStagedFile::kOpenEnd : (k + 1) * framed});
        head.clear();
    }
    return layout;
}

std::string CssWfdiscRecord(const HlcpHeader& header, char channelCharacter,
                            const std::string& dataName, std::uint64_t samples) {
    return BuildWfdisc(MakeTranslateWfdisc(header.station, channelCharacter, dataName,
                                           header.startSecond, samples, header.rate));
}

} // namespace nereid::recording
