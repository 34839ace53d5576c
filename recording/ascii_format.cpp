#include "recording/ascii_format.h"

#include "recording/calendar.h"
#include "recording/fixed_text.h"
#include "recording/seisan_format.h"

#include <algorithm>

namespace nereid::recording {

std::string BuildAsciiHeader(const AsciiHeader& h) {
    const CalendarTime t = SecondsToCalendar(h.startSecond);
    std::string station = h.station.substr(0, 4);
    station.resize(4, ' ');
    std::string out =
        "StaNm Cha yr doy mm dd hh mm second SamplRt #Smpls latitude longitude alt__\r\n";
    out += station + " " + h.component + " ";
    out +=
        Format("%.2d %.3d %.2d %.2d %.2d %.2d %06.3f %7.2f %6llu %8.4f %9.4f %.5d \r\n",
               t.year % 100, t.dayOfYear, t.month, t.day, t.hour, t.minute,
               static_cast<double>(t.second), static_cast<double>(h.rate),
               static_cast<unsigned long long>(h.sampleCount), ReduceCoordinate(h.latitude, 90.0),
               ReduceCoordinate(h.longitude, 360.0), std::clamp(h.elevation, -9999, 99999));
    for (int i = 0; i < 3; ++i) {
        out += std::string(80, ' ') + "\r\n";
    }
    return out;
}

} // namespace nereid::recording
