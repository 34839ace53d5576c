// Stand-ins for the SEISAN tools pdasei, dirf and seisei, for the converter's tests. One
// program, copied into the program folder under the three names; the name it runs under picks
// the tool. Words in the file "standin.mode" of the current folder pick the behaviour:
//
//   release13       SEISAN 13.03 as measured: pdasei refuses a TIME line whose seconds carry
//                   one decimal ("Bad value during floating point read"), reads the data in
//                   direct-access records of the header's length (the last one padded out to
//                   a whole record) and then throws the last 80 samples away: of a one-minute
//                   100 samples/s channel behind a 172-byte header it keeps 5940 of 6000. It
//                   names its output "yyyy-mm-dd-hhmm-ssS.SSS___001 S___" (34 characters,
//                   station = header bytes 11-13); seisei asks "Merge (1) or split (2)", the
//                   output format (anything but seisan, mseed or an empty line is refused with
//                   "Wrong format, try again"), the network code and the maximum time
//                   difference, and dies at the end of its input; files are written in the
//                   Linux form (4-byte record length words). A merge that reads no channel
//                   still writes a main header, named "3000-00-00-2460-**S.NNNNN_000".
//   (no release13)  older tools: pdasei takes either TIME form and keeps every sample, naming
//                   its output "yyyy-mm-dd-hhmm-ssS.NET___001_SSS"; seisei asks the merge
//                   choice, the network code and one more line; files in the PC form.
//
// In both, dirf does what SEISAN's does on Linux: it expands no pattern (the shell does that
// for it), but writes each argument as one line " #  n  name" (name padded to 70 characters)
// into filenr.lis, then a blank line; seisei reads the names from column 8 of that file up to
// the first line whose name starts blank.
//   pdasei-fails-N  pdasei fails for the channel file of channel digit N.
//   seisei-fails    seisei exits with 1 and writes nothing.
//   seisei-garbage  seisei reads none of the listed files.
//   seisei-drops-last  seisei leaves the last listed file out.
//
// Every run appends a line to standin.log.
#include "recording/calendar.h"
#include "recording/file_channel.h"
#include "recording/seisan_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nereid::recording::CalendarTime;
using nereid::recording::SecondsToCalendar;

std::set<std::string> g_mode;

void Log(const std::string& line) {
    std::ofstream("standin.log", std::ios::app) << line << "\n";
}

std::string ReadAll(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Die(const std::string& message) {
    std::cerr << "Fortran runtime error: " << message << "\n";
    Log("  died: " + message);
    return 2;
}

struct Channel {
    std::string station = "   ", component = "S   ";
    std::uint32_t start = 0;
    int rate = 0;
    std::vector<std::int32_t> samples;
};

std::string Fixed(std::string s, std::size_t width) {
    s.resize(width, ' ');
    return s;
}

std::string TimeName(std::uint32_t start) {
    const CalendarTime t = SecondsToCalendar(start);
    char n[40];
    std::snprintf(n, sizeof n, "%.4d-%.2d-%.2d-%.2d%.2d-%.2dS.", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return n;
}

std::string Underscored(std::string code) {
    code.resize(5, ' ');
    std::replace(code.begin(), code.end(), ' ', '_');
    return code;
}

// Main header and channel header text in SEISAN's columns.
std::vector<std::string> MainHeader(const std::string& network, const std::vector<Channel>& cs) {
    std::uint32_t start = cs.empty() ? 0 : cs[0].start;
    double end = 0;
    for (const Channel& c : cs) {
        start = std::min(start, c.start);
        end = std::max(end, c.start + static_cast<double>(c.samples.size()) / c.rate);
    }
    const CalendarTime t = SecondsToCalendar(start);
    char l[100];
    std::snprintf(l, sizeof l, " %-29.29s%3d%1d%.2d %.3d %.2d %.2d %.2d %.2d %6.3f %9.3f",
                  network.c_str(), static_cast<int>(cs.size()), t.year >= 2000 ? 1 : 0,
                  t.year % 100, t.dayOfYear, t.month, t.day, t.hour, t.minute,
                  static_cast<double>(t.second), cs.empty() ? 0.0 : end - start);
    const int n = static_cast<int>(cs.size());
    const int lines = std::max(12, n / 3 + 2 + (n % 3 != 0 ? 1 : 0));
    std::vector<std::string> out{Fixed(l, 80)};
    out.resize(static_cast<std::size_t>(lines), std::string(80, ' '));
    return out;
}

std::string ChannelHeader(const Channel& c) {
    const CalendarTime t = SecondsToCalendar(c.start);
    char h[100];
    std::snprintf(h, sizeof h, "%-4.4s %-4.4s%1d%.2d %.3d %.2d %.2d %.2d %.2d %6.3f %7.2f %6d",
                  c.station.c_str(), c.component.c_str(), t.year >= 2000 ? 1 : 0, t.year % 100,
                  t.dayOfYear, t.month, t.day, t.hour, t.minute, static_cast<double>(t.second),
                  static_cast<double>(c.rate), static_cast<int>(c.samples.size()));
    return Fixed(Fixed(h, 76) + "4", 1040);
}

std::string Samples(const Channel& c) {
    std::string b;
    for (std::int32_t v : c.samples) {
        for (int i = 0; i < 4; ++i) {
            b += static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
        }
    }
    return b;
}

std::string LinuxRecord(const std::string& body) {
    std::string len;
    for (int i = 0; i < 4; ++i) {
        len += static_cast<char>(static_cast<std::uint32_t>(body.size()) >> (8 * i));
    }
    return len + body + len;
}

std::string PcRecord(const std::string& body) {
    std::string f;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(128, body.size() - at);
        f += static_cast<char>(n) + body.substr(at, n) + static_cast<char>(n);
        at += n;
    } while (at < body.size());
    return f;
}

bool WriteSeisan(const std::string& name, const std::string& network,
                 const std::vector<Channel>& cs) {
    const bool linuxForm = g_mode.count("release13") > 0;
    const auto record = [&](const std::string& body) {
        return linuxForm ? LinuxRecord(body) : PcRecord(body);
    };
    std::string f = linuxForm ? "" : "K";
    for (const std::string& line : MainHeader(network, cs)) {
        f += record(line);
    }
    for (const Channel& c : cs) {
        f += record(ChannelHeader(c)) + record(Samples(c));
    }
    std::ofstream out(name, std::ios::binary);
    out << f;
    return static_cast<bool>(out);
}

std::string HeaderLine(const std::string& header, const std::string& key) {
    const std::size_t at = header.find("\r\n" + key + " ");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + 3 + key.size();
    return header.substr(from, header.find("\r\n", from) - from);
}

int Pdasei() {
    std::string line;
    std::getline(std::cin, line);
    Log("pdasei [" + line + "]");
    const std::string path = line.substr(0, line.find_last_not_of(' ') + 1);
    bool ok = false;
    const std::string file = ReadAll(path, ok);
    if (!ok) {
        return Die("Cannot open file '" + path + "': No such file or directory");
    }
    const std::size_t data = file.find("\r\nDATA\r\n");
    if (data == std::string::npos || data > 500 || file.size() < 14) {
        return Die("End of file");
    }
    const std::size_t headerLength = data + 8;
    const std::string header = "\r\n" + file.substr(0, data + 2);
    const std::string time = HeaderLine(header, "TIME");
    const std::string date = HeaderLine(header, "DATE");
    const std::size_t dot = time.find('.');
    if (g_mode.count("release13") > 0 && (dot == std::string::npos || time.size() - dot != 3)) {
        return Die("Bad value during floating point read");
    }
    if (g_mode.count(std::string("pdasei-fails-") + file[10]) > 0) {
        return Die("Bad value during integer read");
    }
    int mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0;
    double interval = 0;
    if (std::sscanf(date.c_str(), "%d-%d-%d", &mo, &d, &y) != 3 ||
        std::sscanf(time.c_str(), "%d:%d:%d", &h, &mi, &s) != 3 ||
        std::sscanf(HeaderLine(header, "INTERVAL").c_str(), "%lf", &interval) != 1 ||
        interval <= 0) {
        return Die("Bad value during integer read");
    }
    Channel c;
    c.station = file.substr(10, 3);
    c.start = nereid::recording::CalendarToSeconds(s, mi, h, d, mo, y < 70 ? 100 + y : y);
    c.rate = static_cast<int>(std::lround(1 / interval));
    std::string body = file.substr(headerLength);
    std::size_t count = body.size() / 4;
    if (g_mode.count("release13") > 0) {
        const std::size_t records = (body.size() + headerLength - 1) / headerLength;
        body.resize(records * headerLength, '\0');
        count = body.size() / 4 > 80 ? body.size() / 4 - 80 : 0;
    }
    for (std::size_t k = 0; k < count; ++k) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(body[4 * k + i])) << (8 * i);
        }
        c.samples.push_back(static_cast<std::int32_t>(v));
    }
    const std::string name = g_mode.count("release13") > 0
                                 ? TimeName(c.start) + Underscored(c.station) + "_001 S___"
                                 : TimeName(c.start) + "NET___001_" + c.station;
    return WriteSeisan(name, Underscored(c.station), {c}) ? 0 : Die("write");
}

int Dirf(int argc, char** argv) {
    std::string line = "dirf [";
    std::ofstream out("filenr.lis");
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? "|" : "") + std::string(argv[i]);
        char number[16];
        std::snprintf(number, sizeof number, " #%3d  ", i);
        out << number << Fixed(argv[i], std::max<std::size_t>(70, std::strlen(argv[i]))) << "\n";
    }
    out << "\n";
    Log(line + "]");
    return 0;
}

int Seisei() {
    std::vector<std::string> answers;
    const auto ask = [&](const char* prompt, std::string& answer) {
        std::cout << " " << prompt << "\n";
        if (!std::getline(std::cin, answer)) {
            return false;
        }
        answers.push_back(answer);
        return true;
    };
    const auto logAnswers = [&]() {
        std::string l = "seisei [";
        for (std::size_t i = 0; i < answers.size(); ++i) {
            l += (i > 0 ? "|" : "") + answers[i];
        }
        Log(l + "]");
    };
    std::string choice, format, network, extra;
    bool complete = ask("Merge (1) or split (2)", choice);
    if (g_mode.count("release13") > 0) {
        while (complete && ask("Output format, seisan or mseed (def=enter)", format)) {
            const std::string f = format.substr(0, format.find_last_not_of(' ') + 1);
            if (f == "seisan" || f == "mseed" || f.empty()) {
                format = f.empty() ? "mseed" : f;
                break;
            }
            std::cout << " Wrong format, try again\n";
        }
        complete = complete && !format.empty() && ask("Network code", network) &&
                   ask("Maximum time difference", extra);
    } else {
        format = "seisan";
        complete = complete && ask("Network code", network) && ask("Continue", extra);
    }
    logAnswers();
    if (!complete) {
        return Die("End of file");
    }
    if (g_mode.count("seisei-fails") > 0 || choice != "1") {
        return 1;
    }
    if (format != "seisan") {
        return Die("mseed output is not part of this stand-in");
    }
    std::ifstream list("filenr.lis");
    std::vector<std::string> names;
    for (std::string n; std::getline(list, n);) {
        n = n.size() > 7 ? n.substr(7, 80) : std::string();
        if (n.substr(0, 4).find_first_not_of(' ') == std::string::npos) {
            break;
        }
        names.push_back(n.substr(0, n.find_last_not_of(' ') + 1));
    }
    if (g_mode.count("seisei-drops-last") > 0 && !names.empty()) {
        names.pop_back();
    }
    std::vector<Channel> cs;
    for (const std::string& n : names) {
        bool ok = false;
        const std::string f = ReadAll(n, ok);
        std::vector<nereid::recording::FileChannel> read;
        if (!ok || g_mode.count("seisei-garbage") > 0 ||
            nereid::recording::ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(f.data()),
                                                f.size(), read) != 1) {
            continue;
        }
        for (const nereid::recording::FileChannel& r : read) {
            Channel c;
            c.station = r.signalName.substr(0, 4);
            c.component = r.signalName.substr(4, 4);
            c.start = r.startSecond;
            c.rate = r.rate;
            for (std::uint64_t i = 0; i < r.sampleCount; ++i) {
                c.samples.push_back(static_cast<std::int32_t>(r.IntValue(i)));
            }
            cs.push_back(c);
        }
    }
    const std::string code = Underscored(network.substr(0, 5));
    char count[8];
    std::snprintf(count, sizeof count, "_%.3d", static_cast<int>(cs.size()) % 1000);
    const std::string name =
        (cs.empty() ? std::string("3000-00-00-2460-**S.") : TimeName(cs[0].start)) + code + count;
    return WriteSeisan(name, network, cs) ? 0 : Die("write");
}

} // namespace

int main(int argc, char** argv) {
    std::ifstream mode("standin.mode");
    for (std::string word; mode >> word;) {
        g_mode.insert(word);
    }
    std::string tool = argc > 0 ? argv[0] : "";
    tool = tool.substr(tool.find_last_of('/') + 1);
    if (tool == "pdasei") {
        return Pdasei();
    }
    if (tool == "dirf") {
        return Dirf(argc, argv);
    }
    if (tool == "seisei") {
        return Seisei();
    }
    std::cerr << "run as pdasei, dirf or seisei\n";
    return 127;
}
