#include "recording/seisan_merge.h"

#include "recording/calendar.h"
#include "recording/channel_writer.h"
#include "recording/css_writer.h"
#include "recording/dadisp_format.h"
#include "recording/data_file_reader.h"
#include "recording/fixed_text.h"
#include "recording/seisan_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace nereid::recording {

std::string SeisanFileName(unsigned startSecond, const std::string& network, int channels) {
    const CalendarTime t = SecondsToCalendar(startSecond);
    std::string code = network.substr(0, 5);
    for (char& c : code) {
        if (c == ' ') {
            c = '_';
        }
    }
    code.resize(5, '_');
    return Format("%.4d-%.2d-%.2d-%.2d%.2d-%.2dS.", t.year, t.month, t.day, t.hour, t.minute,
                  t.second) +
           code + Format("_%.3d", channels % 1000);
}

int MergeDadispToSeisan(const std::vector<std::string>& inputs, const std::string& folder,
                        const std::string& network, std::string& outputPath, std::string& message) {
    if (inputs.empty()) {
        message = "no channel files";
        return kMergeNoInput;
    }
    std::vector<SeisanChannel> channels;
    std::vector<std::vector<std::int32_t>> samples;
    for (const std::string& path : inputs) {
        std::vector<FileChannel> opened;
        ReaderMessage m;
        if (OpenDataFile(path, opened, m) != kOpenAdded || opened.size() != 1 ||
            opened[0].formatText != "DADiSP Format") {
            message = path + ": " + (m.text.empty() ? "not a DADiSP dataset" : m.text);
            return kMergeBadInput;
        }
        const FileChannel& f = opened[0];
        if (f.rate <= 0) {
            message = path + ": no sample interval";
            return kMergeBadInput;
        }
        const std::string base = path.substr(path.find_last_of('/') + 1);
        SeisanChannel c;
        c.station = std::string("N").append(base.size() >= 6 ? base.substr(3, 3) : "000");
        c.component = std::string("CH") + (base.size() > 2 ? base[2] : '0') + " ";
        c.startSecond = f.startSecond;
        c.rate = f.rate;
        c.sampleCount = f.sampleCount;
        channels.push_back(c);
        std::vector<std::int32_t> s(f.sampleCount);
        for (std::uint64_t i = 0; i < f.sampleCount; ++i) {
            s[i] = static_cast<std::int32_t>(f.IntValue(i));
        }
        samples.push_back(std::move(s));
    }
    std::uint32_t start = channels[0].startSecond;
    for (const SeisanChannel& c : channels) {
        start = std::min(start, c.startSecond);
    }
    const std::vector<std::uint8_t> file = BuildSeisanFile(network, channels, samples);
    const std::string name = SeisanFileName(start, network, static_cast<int>(channels.size()));
    const std::string path = folder + "/" + name;
    const std::string temporary = folder + "/." + name + ".part";
    const int r = WriteWholeFile(temporary, file.data(), file.size(), CreateMode::kReplace);
    if (r != 1) {
        ::unlink(temporary.c_str());
        message = "Can't save file " + path + ": " + std::strerror(-r);
        return kMergeWriteFailed;
    }
    // link, unlike rename, refuses to replace a merged file of an earlier run with this name.
    if (::link(temporary.c_str(), path.c_str()) != 0) {
        message = errno == EEXIST ? path + " exists already"
                                  : "Can't save file " + path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return kMergeWriteFailed;
    }
    ::unlink(temporary.c_str());
    outputPath = path;
    return kMergeOk;
}

} // namespace nereid::recording
