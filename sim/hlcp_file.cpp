#include "sim/hlcp_file.h"

#include "sim/byte_order.h"
#include "sim/rate_codes.h"
#include "sim/recorder_calendar.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace nereid::sim {

std::string HlcpFileName(const HlcpFilePlan& plan) {
    const int index = std::clamp(plan.channelIndex, 0, 15);
    const char channel = static_cast<char>(index < 8 ? '1' + index : 'A' + (index - 8));
    const int day = DayOfYear(plan.startTime);
    char name[16];
    std::snprintf(name, sizeof name, "%c%c%03d%03d.%03d", plan.kind, channel, plan.serial % 1000,
                  std::clamp(plan.sequence, 0, 999), day);
    return name;
}

std::vector<std::uint8_t> BuildHlcpFile(const HlcpFilePlan& plan, const SignalModel& signal) {
    int rate = SamplesPerSecond(plan.rateCode);
    if (rate == 0)
        rate = 10; // what the translator assumes for an unknown code
    std::vector<std::uint8_t> file(kHlcpHeaderBytes +
                                   3u * static_cast<std::size_t>(rate) * plan.seconds);
    std::uint8_t* h = file.data();
    const std::string name = HlcpFileName(plan);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 12), h);
    PutU16(h + 12, plan.serial);
    PutU16(h + 14, static_cast<std::uint16_t>(plan.channelIndex & 0x0F));
    h[17] = 17; // format code of the recorder's files
    h[18] = plan.rateCode;
    PutU32(h + 20, plan.startTime);
    PutU32(h + 32, static_cast<std::uint32_t>(1234567));  // 12.34567 degrees north
    PutU32(h + 36, static_cast<std::uint32_t>(-3351234)); // 33.51234 degrees west
    PutU32(h + 40, 120);                                  // elevation, m
    std::string station = plan.station.substr(0, 4);
    station.resize(4, ' ');
    std::copy(station.begin(), station.end(), h + 272);

    std::uint8_t* out = h + kHlcpHeaderBytes;
    const int channel = plan.channelIndex + 1;
    for (std::uint32_t s = 0; s < plan.seconds; ++s)
        for (int k = 0; k < rate; ++k, out += 3)
            PutU24(out,
                   static_cast<std::uint32_t>(signal.Sample(channel, plan.startTime + s, k, rate)));
    return file;
}

int GenerateRecordings(const std::string& folder, std::uint32_t startTime, std::uint16_t serial,
                       const std::string& station, const SignalModel& signal, std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::uint32_t start = startTime - startTime % 3600; // files start on the hour
    struct Item {
        int channelIndex;
        int rate;
        std::uint32_t seconds;
        int sequence;
        bool inSubfolder;
    };
    const Item items[] = {
        {0, 100, 60, 1, false},
        {1, 50, 60, 1, false},
        {8, 10, 120, 1, false},
        {0, 100, 30, 2, true},
    };
    char day[16];
    std::snprintf(day, sizeof day, "DAY%03d", DayOfYear(start));
    const fs::path sub = fs::path(folder) / day;
    fs::create_directories(sub, ec);
    if (ec) {
        why = "cannot create " + sub.string() + ": " + ec.message();
        return -1;
    }
    for (const Item& item : items) {
        HlcpFilePlan plan;
        plan.channelIndex = item.channelIndex;
        plan.rateCode = RateCode(item.rate);
        plan.startTime = start + static_cast<std::uint32_t>(item.sequence - 1) * 3600;
        plan.seconds = item.seconds;
        plan.sequence = item.sequence;
        plan.serial = serial;
        plan.station = station;
        const auto bytes = BuildHlcpFile(plan, signal);
        const fs::path path = (item.inSubfolder ? sub : fs::path(folder)) / HlcpFileName(plan);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            why = "cannot write " + path.string();
            return -1;
        }
    }
    return 1;
}

} // namespace nereid::sim
