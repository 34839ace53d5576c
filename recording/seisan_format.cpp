#include "recording/seisan_format.h"

#include "recording/byte_order.h"
#include "recording/calendar.h"
#include "recording/fixed_text.h"

#include <algorithm>
#include <cmath>

namespace nereid::recording {

namespace {

int CenturyDigit(int fullYear) {
    return fullYear >= 2000 ? 1 : 0;
}

std::string Pad(const std::string& text, std::size_t width) {
    std::string t = text.substr(0, width);
    t.resize(width, ' ');
    return t;
}

double WindowOf(const SeisanChannel& c) {
    return c.rate > 0 ? static_cast<double>(c.sampleCount) / c.rate : 0.0;
}

} // namespace

int SeisanMainHeaderLines(int channels) {
    const int needed = channels / 3 + 2 + (channels % 3 != 0 ? 1 : 0);
    return std::max(12, needed);
}

double ReduceCoordinate(std::int32_t stored, double limit) {
    double v = stored / 100000.0;
    if (v > limit || v < -limit) {
        v -= std::trunc(v / limit) * limit;
    }
    return v;
}

std::vector<std::string> BuildSeisanMainHeader(const std::string& network,
                                               const std::vector<SeisanChannel>& channels) {
    const int count = static_cast<int>(channels.size());
    std::vector<std::string> lines(static_cast<std::size_t>(SeisanMainHeaderLines(count)),
                                   std::string(kSeisanLine, ' '));
    std::uint32_t start = channels.empty() ? 0 : channels[0].startSecond;
    for (const SeisanChannel& c : channels) {
        start = std::min(start, c.startSecond);
    }
    double window = 0;
    for (const SeisanChannel& c : channels) {
        window = std::max(window, (c.startSecond - start) + WindowOf(c));
    }
    const CalendarTime t = SecondsToCalendar(start);
    std::string& l1 = lines[0];
    PutField(l1, 1, 29, network);
    PutField(l1, 30, 3, Format("%.3d", count % 1000));
    PutField(l1, 33, 1, Format("%1.1i", CenturyDigit(t.year)));
    PutField(l1, 34, 2, Format("%.2d", t.year % 100));
    PutField(l1, 37, 3, Format("%.3d", t.dayOfYear));
    PutField(l1, 41, 2, Format("%.2d", t.month));
    PutField(l1, 44, 2, Format("%.2d", t.day));
    PutField(l1, 47, 2, Format("%.2d", t.hour));
    PutField(l1, 50, 2, Format("%.2d", t.minute));
    PutField(l1, 53, 6, Format("%6.3f", static_cast<double>(t.second)));
    PutField(l1, 60, 9, Format("%9.3f", window));
    for (int k = 0; k < count; ++k) {
        const SeisanChannel& c = channels[static_cast<std::size_t>(k)];
        std::string& line = lines[static_cast<std::size_t>(2 + k / 3)];
        const std::size_t at = static_cast<std::size_t>(k % 3) * 26;
        PutField(line, at + 1, 4, Pad(c.station, 4));
        PutField(line, at + 5, 4, Pad(c.component, 4));
        PutField(line, at + 10, 7, Format("%7.2f", static_cast<double>(c.startSecond - start)));
        PutField(line, at + 18, 8, Format("%8.2f", WindowOf(c)));
    }
    return lines;
}

std::string BuildSeisanChannelHeader(const SeisanChannel& c) {
    std::string h(kSeisanChannelHeader, ' ');
    const CalendarTime t = SecondsToCalendar(c.startSecond);
    PutField(h, 0, 4, Pad(c.station, 4));
    PutField(h, 5, 4, Pad(c.component, 4));
    PutField(h, 9, 1, Format("%1.1i", CenturyDigit(t.year)));
    PutField(h, 10, 2, Format("%.2d", t.year % 100));
    PutField(h, 13, 3, Format("%.3d", t.dayOfYear));
    PutField(h, 17, 2, Format("%.2d", t.month));
    PutField(h, 20, 2, Format("%.2d", t.day));
    PutField(h, 23, 2, Format("%.2d", t.hour));
    PutField(h, 26, 2, Format("%.2d", t.minute));
    PutField(h, 29, 6, Format("%6.3f", static_cast<double>(t.second)));
    PutField(h, 36, 7, Format("%7.2f", static_cast<double>(c.rate)));
    PutField(h, 44, 6, Format("%6llu", static_cast<unsigned long long>(c.sampleCount)));
    PutField(h, 51, 8, Format("%8.4f", ReduceCoordinate(c.latitude, 90.0)));
    PutField(h, 60, 9, Format("%9.4f", ReduceCoordinate(c.longitude, 360.0)));
    // Five columns: -9999 .. 99999 m.
    const int elevation = std::clamp(c.elevation, -9999, 99999);
    PutField(h, 70, 5, Format("%.5d", elevation));
    h[76] = '4';
    return h;
}

std::uint64_t SegmentedSize(std::uint64_t length) {
    return length + 2 * ((length + kSeisanPiece - 1) / kSeisanPiece);
}

void AppendSegmentedRecord(std::vector<std::uint8_t>& out, const std::uint8_t* record,
                           std::size_t length) {
    while (length > 0) {
        const std::size_t n = std::min(length, kSeisanPiece);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), record, record + n);
        out.push_back(static_cast<std::uint8_t>(n));
        record += n;
        length -= n;
    }
}

std::vector<std::uint8_t> BuildSeisanFile(const std::string& network,
                                          const std::vector<SeisanChannel>& channels,
                                          const std::vector<std::vector<std::int32_t>>& samples) {
    std::vector<std::uint8_t> out;
    std::uint64_t total = 1;
    for (std::size_t k = 0; k < channels.size(); ++k) {
        total += SegmentedSize(kSeisanChannelHeader) +
                 SegmentedSize(4 * (k < samples.size() ? samples[k].size() : 0));
    }
    out.reserve(total + 82 * 16);
    out.push_back(0x4B);
    for (const std::string& line : BuildSeisanMainHeader(network, channels)) {
        AppendSegmentedRecord(out, reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    }
    std::vector<std::uint8_t> data;
    for (std::size_t k = 0; k < channels.size(); ++k) {
        const std::string header = BuildSeisanChannelHeader(channels[k]);
        AppendSegmentedRecord(out, reinterpret_cast<const std::uint8_t*>(header.data()),
                              header.size());
        const std::vector<std::int32_t> none;
        const std::vector<std::int32_t>& s = k < samples.size() ? samples[k] : none;
        data.resize(4 * s.size());
        for (std::size_t i = 0; i < s.size(); ++i) {
            PutLeS32(data.data() + 4 * i, s[i]);
        }
        AppendSegmentedRecord(out, data.data(), data.size());
    }
    return out;
}

std::size_t CSeisanDataFramer::Begin(std::uint8_t* out) {
    out[0] = 0x80;
    m_pieceFill = 0;
    return 1;
}

std::size_t CSeisanDataFramer::Seal(std::uint8_t* data, std::size_t length) const {
    if (length == 0) {
        return 0;
    }
    if (m_pieceFill == 0) {
        return length - 1;
    }
    const std::uint8_t n = static_cast<std::uint8_t>(m_pieceFill);
    data[length - m_pieceFill - 1] = n;
    data[length] = n;
    return length + 1;
}

} // namespace nereid::recording
