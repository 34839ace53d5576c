#include "cli/info_command.h"

#include "cli/translate_command.h"
#include "recording/calendar.h"
#include "recording/data_file_reader.h"
#include "recording/sample_walk.h"

#include <cinttypes>
#include <cstdio>
#include <iostream>

namespace nereid::cli {

namespace {

const char* TypeName(int type) {
    static const char* const kNames[] = {"BYTE", "INTEGER", "FLOAT", "DOUBLE", "LONG"};
    return type >= 0 && type < 5 ? kNames[type] : "?";
}

void Print(const recording::FileChannel& c) {
    std::cout << c.path << "\n";
    std::cout << "  format:      " << c.formatText << "\n";
    std::cout << "  signal:      " << c.signalName << "\n";
    if (!c.streamId.empty()) {
        std::cout << "  stream:      " << c.streamId << "\n";
    }
    const recording::CalendarTime t = recording::SecondsToCalendar(c.startSecond);
    char start[64];
    std::snprintf(start, sizeof start, "%.4d-%.2d-%.2d %.2d:%.2d:%06.3f UTC", t.year, t.month,
                  t.day, t.hour, t.minute, t.second + c.fraction);
    std::cout << "  start:       " << c.dateText << " " << c.timeText << " (" << start << ")\n";
    std::cout << "  rate:        " << c.rate << " samples/s\n";
    std::cout << "  sample type: " << TypeName(c.sampleType) << "\n";
    std::cout << "  samples:     " << c.sampleCount << "\n";
    if (c.sampleCount == 0) {
        std::cout << "  min/max/mean: -\n";
        return;
    }
    // One walk in blocks: memory stays bounded however long the file.
    const recording::SampleStatistics s = recording::ChannelStatistics(c);
    char stats[128];
    std::snprintf(stats, sizeof stats, "  min/max/mean: %.10g %.10g %.3f\n", s.low, s.high,
                  s.sum / static_cast<double>(s.count));
    std::cout << stats;
}

} // namespace

int RunInfoCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "Usage: nereid info FILE...\n";
        return 2;
    }
    int result = 0;
    for (const std::string& path : args) {
        std::vector<recording::FileChannel> channels;
        recording::ReaderMessage m;
        if (recording::OpenDataFile(path, channels, m) != recording::kOpenAdded) {
            std::cerr << m.caption << ": " << m.text;
            if (!m.detail.empty()) {
                std::cerr << " (" << m.detail << ")";
            }
            std::cerr << "\n";
            result = kExitFileRefused;
            continue;
        }
        for (const recording::FileChannel& c : channels) {
            Print(c);
        }
    }
    return result;
}

} // namespace nereid::cli
