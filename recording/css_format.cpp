#include "recording/css_format.h"

#include "recording/calendar.h"
#include "recording/fixed_text.h"

namespace nereid::recording {

WfdiscFields MakeRealTimeWfdisc(const std::string& stationName, const std::string& dataFileName,
                                std::uint32_t startSecond, std::uint64_t nsamp, int rate) {
    WfdiscFields f;
    f.sta = stationName.substr(0, 3) + "0" +
            (dataFileName.size() > 2 ? dataFileName.substr(2, 1) : std::string(" "));
    f.chan = "sd";
    f.startSecond = startSecond;
    f.nsamp = nsamp;
    f.rate = rate;
    f.dfile = dataFileName;
    return f;
}

WfdiscFields MakeTranslateWfdisc(const std::string& stationName, char channelCharacter,
                                 const std::string& dataFileName, std::uint32_t startSecond,
                                 std::uint64_t nsamp, int rate) {
    WfdiscFields f;
    f.sta = stationName.substr(0, 4);
    if (channelCharacter >= '1' && channelCharacter <= '8') {
        f.chan = std::string("CH ") + channelCharacter + "P";
    } else {
        f.chan = std::string("CH ") + static_cast<char>(channelCharacter - 16) + "S";
    }
    f.startSecond = startSecond;
    f.nsamp = nsamp;
    f.rate = rate;
    f.dfile = dataFileName;
    return f;
}

std::string BuildWfdisc(const WfdiscFields& f) {
    std::string r(kWfdiscSize, ' ');
    PutField(r, 43, 8, Format("%7.7i", -1));
    PutField(r, 100, 16, Format("%16.6f", 0.0));
    PutField(r, 117, 16, Format("%16.6f", -1.0));
    PutField(r, 134, 6, "------");
    PutField(r, 141, 1, "-");
    PutField(r, 143, 2, "i4");
    PutField(r, 146, 1, "-");
    PutField(r, 148, 64, ".");
    PutField(r, 246, 10, "0000000000");
    PutField(r, 257, 8, Format("%7.7i", -1));
    PutField(r, 266, 17, std::string(17, '-'));

    const CalendarTime t = SecondsToCalendar(f.startSecond);
    PutField(r, 0, 6, f.sta);
    PutField(r, 7, 8, f.chan);
    PutField(r, 16, 17, Format("%17.5f", static_cast<double>(f.startSecond)));
    PutField(r, 34, 8, Format("%8.8i", t.hour));
    PutField(r, 52, 8, Format("%4.4i%3.3i ", t.year, t.dayOfYear));
    PutField(r, 79, 8, Format("%8.8llu", static_cast<unsigned long long>(f.nsamp)));
    // "%11.7f" is 12 characters from 1000 samples/s on; drop decimals to keep the column.
    const double rate = f.rate;
    std::string samprate = Format("%11.7f", rate);
    for (int decimals = 6; samprate.size() > 11 && decimals >= 0; --decimals) {
        samprate = Format("%11.*f", decimals, rate);
    }
    PutField(r, 88, 11, samprate);
    const double end = f.rate > 0 ? static_cast<double>(f.startSecond) +
                                        (static_cast<double>(f.nsamp) - 1.0) / f.rate
                                  : static_cast<double>(f.startSecond);
    PutField(r, 61, 17, Format("%17.5f", end));
    PutField(r, 213, 17, f.dfile);
    return r;
}

std::string WfdiscNameOf(const std::string& dataFileName) {
    std::string n = dataFileName;
    if (n.size() > 1) {
        n[1] = 'H';
    }
    return n;
}

std::string DataNameOf(const std::string& wfdiscFileName) {
    std::string n = wfdiscFileName;
    if (n.size() > 1) {
        n[1] = 'D';
    }
    return n;
}

int ParseWfdisc(const std::uint8_t* record, std::size_t size, WfdiscInfo& info) {
    if (record == nullptr || size < kWfdiscSize) {
        return -1;
    }
    double time = 0;
    double rate = 0;
    if (!ParseNumberField(TakeText(record, size, 16, 17), time) || time < 0 ||
        time > 4294967295.0) {
        return -2;
    }
    if (!ParseNumberField(TakeText(record, size, 88, 11), rate) || rate < 1 || rate > 1e6) {
        return -3;
    }
    WfdiscInfo out;
    out.startSecond = static_cast<std::uint32_t>(time);
    out.rate = static_cast<int>(rate);
    out.channelCode = Trim(TakeText(record, size, 7, 8));
    out.dfile = Trim(TakeText(record, size, 213, 17));
    info = out;
    return 1;
}

} // namespace nereid::recording
