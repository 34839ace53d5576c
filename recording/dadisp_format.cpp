#include "recording/dadisp_format.h"

#include "recording/calendar.h"
#include "recording/fixed_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace nereid::recording {

int SampleSize(int sampleType) {
    switch (sampleType) {
    case kSampleByte:
        return 1;
    case kSampleInteger:
        return 2;
    case kSampleFloat:
        return 4;
    case kSampleDouble:
        return 8;
    case kSampleLong:
        return 4;
    default:
        return 0;
    }
}

DadispHeader MakeRealTimeDadispHeader(const std::string& fileName, int channelNumber,
                                      std::uint32_t startSecond, int rate,
                                      const std::string& comments) {
    DadispHeader h;
    h.datasetName = fileName;
    // "SIGNAL Chan%d" cut to 12 characters: two-digit channels keep their first digit.
    h.signal = ("Chan" + std::to_string(channelNumber)).substr(0, 5);
    h.startSecond = startSecond;
    h.shortTimeFraction = true;
    h.rate = rate;
    h.comments = comments;
    return h;
}

DadispHeader MakeTranslateDadispHeader(const std::string& datasetName, const std::string& station,
                                       const std::string& component, std::uint32_t startSecond,
                                       int rate) {
    DadispHeader h;
    h.datasetName = datasetName;
    h.signal = station.substr(0, 4) + component;
    h.startSecond = startSecond;
    h.shortTimeFraction = false;
    h.rate = rate;
    return h;
}

std::string IntervalText(int rate) {
    if (rate <= 0) {
        return "0.000";
    }
    if (1000 % rate == 0) {
        return Format("%.3f", 1.0 / rate);
    }
    return Format("%.6f", 1.0 / rate);
}

std::string BuildDadispHeader(const DadispHeader& h) {
    const CalendarTime t = SecondsToCalendar(h.startSecond);
    int year = t.year - 1900;
    if (year > 99) {
        year -= 100;
    }
    std::string out;
    out.reserve(200 + h.datasetName.size() + h.comments.size());
    out += "DATASET " + h.datasetName + "\r\n";
    out += "FILE_TYPE LONG\r\n";
    out += "VERSION next\r\n";
    out += "SIGNAL " + h.signal + "\r\n";
    out += Format("DATE %.2d-%.2d-%.2d\r\n", t.month, t.day, year);
    std::string time = Format("TIME %.2d:%.2d:%.2d.00", t.hour, t.minute, t.second);
    if (h.shortTimeFraction) {
        time.resize(15);
    }
    out += time + "\r\n";
    out += "INTERVAL " + IntervalText(h.rate) + "\r\n";
    out += "VERT_UNITS Counts\r\n";
    out += "HORZ_UNITS Sec\r\n";
    out += "COMMENTS " + h.comments.substr(0, 80) + "\r\n";
    out += "DATA\r\n";
    return out;
}

namespace {

// The line starting at `from` within `text`, up to (not including) the next CR or LF.
std::string LineFrom(const std::string& text, std::size_t from) {
    if (from >= text.size()) {
        return {};
    }
    const std::size_t end = text.find_first_of("\r\n", from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

int LeadingInt(const std::string& text) {
    return std::atoi(text.c_str());
}

} // namespace

int ParseDadispHeader(const std::uint8_t* data, std::size_t size, DadispHeaderInfo& info) {
    if (data == nullptr || size <= 199) {
        return kDadispNotHeader;
    }
    // The DATA line must start within the first 500 bytes. After a CR that does not begin
    // "\n" "DATA" "\r\n" the scan skips 7 bytes: no header line is shorter than that.
    static constexpr char kEnd[] = "\r\nDATA\r\n";
    const std::size_t limit = size < 500 ? size : 500;
    std::size_t dataOffset = 0;
    std::size_t i = 0;
    while (i < limit) {
        if (data[i] != '\r') {
            ++i;
            continue;
        }
        if (i + 8 > size) {
            return kDadispNotHeader;
        }
        if (std::memcmp(data + i, kEnd, 8) == 0) {
            dataOffset = i + 8;
            break;
        }
        i += 7;
    }
    if (dataOffset == 0) {
        return kDadispNotHeader;
    }

    DadispHeaderInfo out;
    out.dataOffset = dataOffset;
    const std::string header(reinterpret_cast<const char*>(data), dataOffset);

    std::size_t afterSignal = 0;
    const std::size_t signal = header.find("SIGNAL");
    if (signal != std::string::npos) {
        out.signalName = LineFrom(header, signal + 7).substr(0, 9);
        afterSignal = signal + 7;
    }
    const std::size_t date = header.find("DATE", afterSignal);
    if (date != std::string::npos) {
        out.dateText = LineFrom(header, date + 5);
        const std::size_t d1 = out.dateText.find('-');
        const std::size_t d2 = d1 == std::string::npos ? d1 : out.dateText.find('-', d1 + 1);
        out.month = LeadingInt(out.dateText);
        if (d1 != std::string::npos) {
            out.day = LeadingInt(out.dateText.substr(d1 + 1));
        }
        if (d2 != std::string::npos) {
            out.year = LeadingInt(out.dateText.substr(d2 + 1));
        }
    }
    const std::size_t time = header.find("TIME", afterSignal);
    if (time != std::string::npos) {
        out.timeText = Trim(LineFrom(header, time + 4));
        const std::string& t = out.timeText;
        const std::size_t c1 = t.find(':');
        const std::size_t c2 = c1 == std::string::npos ? c1 : t.find(':', c1 + 1);
        out.hour = LeadingInt(t);
        if (c1 != std::string::npos) {
            out.minute = LeadingInt(t.substr(c1 + 1));
        }
        if (c2 != std::string::npos) {
            out.second = LeadingInt(t.substr(c2 + 1));
            const std::size_t dot = t.find('.', c2);
            if (dot != std::string::npos) {
                // Digits after the point are a decimal fraction: ".0", ".00" and ".50" read
                // as 0, 0 and 0.5 (hundredths for the two-digit form that is written).
                double scale = 0.1;
                for (std::size_t k = dot + 1; k < t.size() && k < dot + 7; ++k) {
                    if (t[k] < '0' || t[k] > '9') {
                        break;
                    }
                    out.fraction += (t[k] - '0') * scale;
                    scale /= 10;
                }
            }
        }
    }

    const std::size_t fileType = header.find("FILE_TYPE");
    if (fileType == std::string::npos) {
        return kDadispUnknownFileType;
    }
    std::string word = Trim(LineFrom(header, fileType + 9));
    word = word.substr(0, word.find(' ')).substr(0, 9);
    if (word == "BYTE") {
        out.sampleType = kSampleByte;
    } else if (word == "INTEGER") {
        out.sampleType = kSampleInteger;
    } else if (word == "FLOAT") {
        out.sampleType = kSampleFloat;
    } else if (word == "DOUBLE") {
        out.sampleType = kSampleDouble;
    } else if (word == "LONG") {
        out.sampleType = kSampleLong;
    } else {
        return kDadispUnknownFileType;
    }

    const std::size_t interval = header.find("INTERVAL");
    if (interval != std::string::npos) {
        const double v = std::atof(LineFrom(header, interval + 8).c_str());
        // Rounded, not truncated: 1 / 0.016667 is 59.9988 for a 60 samples/s file.
        if (v > 0 && std::isfinite(v) && 1.0 / v < 2147483647.0) {
            out.rate = static_cast<int>(std::lround(1.0 / v));
        }
    }
    info = out;
    return kDadispOk;
}

} // namespace nereid::recording
