#include "display/model/header_info.h"

#include <cstdio>

#include "recording/file_channel.h"

namespace nereid::display::model {

std::vector<std::pair<std::string, std::string>> HeaderInfo(const recording::FileChannel& file) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%d", file.rate);
    char total[64];
    const double minutes =
        file.rate > 0 ? static_cast<double>(file.sampleCount) / file.rate / 60.0 : 0.0;
    std::snprintf(total, sizeof total, "%.3f Minute", minutes);
    static const char* const types[] = {"BYTE", "SHORT", "FLOAT", "DOUBLE", "LONG"};
    const std::string format =
        file.sampleType >= 0 && file.sampleType <= 4 ? types[file.sampleType] : "Unknown";
    return {{"File Type", file.formatText},    {"Sample Rate", rate},
            {"Date", file.dateText},           {"Time", file.timeText},
            {"Station Name", file.signalName}, {"Total Time", total},
            {"Recording Format", format},      {"File Name", file.path}};
}

} // namespace nereid::display::model
