#include "recording/mseed_reader.h"

#include "recording/calendar.h"
#include "recording/dadisp_format.h"
#include "recording/fixed_text.h"
#include "recording/mapped_file.h"
#include "recording/sample_source.h"

#include <libmseed.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace nereid::recording {

namespace {

// The longest record libmseed detects (2^20 bytes, blockette 1000's largest exponent).
constexpr int kMaxRecord = 1 << 20;

// One unpacked header (or record), freed with the object.
struct UnpackedRecord {
    MSRecord* msr = nullptr;
    ~UnpackedRecord() { msr_free(&msr); }
};

// libmseed may swap bytes in the buffer it is given, and the mapping is read-only: every
// record is unpacked from a private copy.
int Unpack(const std::uint8_t* record, int length, std::vector<char>& copy, UnpackedRecord& out,
           bool withData) {
    copy.assign(reinterpret_cast<const char*>(record),
                reinterpret_cast<const char*>(record) + length);
    return msr_unpack(copy.data(), length, &out.msr, withData ? 1 : 0, 0);
}

int DetectAt(const std::uint8_t* data, std::size_t size, std::uint64_t at) {
    const std::uint64_t left = size - at;
    const int window = static_cast<int>(std::min<std::uint64_t>(left, kMaxRecord));
    return ms_detect(reinterpret_cast<const char*>(data + at), window);
}

// Where a segment's records lie, in about 8 bytes a record: the first sample of every record
// (what a read searches), and the records' places as runs at a fixed stride and length (one
// run for a file of one stream, or of streams interleaved in turn), rather than an offset,
// length and count kept for every record.
class CRecordIndex {
public:
    void Add(std::uint64_t offset, std::int32_t length, std::uint64_t first) {
        const auto index = static_cast<std::uint64_t>(m_first.size());
        m_first.push_back(first);
        if (!m_runs.empty()) {
            Run& last = m_runs.back();
            const std::uint64_t n = index - last.firstRecord;
            if (last.length == length) {
                if (n == 1 && offset > last.offset) {
                    last.stride = offset - last.offset; // the second record sets the stride
                    return;
                }
                if (n > 1 && offset == last.offset + n * last.stride) {
                    return;
                }
            }
        }
        m_runs.push_back(Run{offset, 0, index, length});
    }
    // Ends the index: `total` samples in the segment.
    void Finish(std::uint64_t total) {
        m_first.push_back(total);
        m_first.shrink_to_fit();
        m_runs.shrink_to_fit();
    }

    std::size_t Records() const { return m_first.empty() ? 0 : m_first.size() - 1; }
    std::uint64_t First(std::size_t record) const { return m_first[record]; }
    std::int32_t Count(std::size_t record) const {
        return static_cast<std::int32_t>(m_first[record + 1] - m_first[record]);
    }
    // The last record whose first sample is at or before `sample`.
    std::size_t RecordOf(std::uint64_t sample) const {
        const auto end = m_first.end() - 1;
        const auto it = std::upper_bound(m_first.begin(), end, sample);
        return static_cast<std::size_t>(it - m_first.begin()) - 1;
    }
    void Place(std::size_t record, std::uint64_t& offset, std::int32_t& length) const {
        const auto it = std::upper_bound(
            m_runs.begin(), m_runs.end(), static_cast<std::uint64_t>(record),
            [](std::uint64_t value, const Run& r) { return value < r.firstRecord; });
        const Run& run = *(it - 1);
        offset = run.offset + (record - run.firstRecord) * run.stride;
        length = run.length;
    }

private:
    struct Run {
        std::uint64_t offset; // of the run's first record in the file
        std::uint64_t stride; // bytes from one record of the run to the next
        std::uint64_t firstRecord;
        std::int32_t length;
    };
    std::vector<std::uint64_t> m_first;
    std::vector<Run> m_runs;
};

// The samples of one segment, decoded a record at a time; the last record decoded is kept,
// since walks and displays read runs of neighbouring samples.
class CMseedSegmentSamples : public CSampleSource {
public:
    CMseedSegmentSamples(const std::uint8_t* data, CRecordIndex records)
        : m_data(data), m_records(std::move(records)) {}

    void Read(std::uint64_t begin, std::size_t n, double* out) const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        while (n > 0) {
            const std::size_t index = m_records.RecordOf(begin);
            Decode(index);
            const std::uint64_t within = begin - m_records.First(index);
            const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(
                n, static_cast<std::uint64_t>(m_records.Count(index)) - within));
            for (std::size_t i = 0; i < run; ++i) {
                // A record that decodes to fewer samples than its header says reads as 0.
                const std::uint64_t k = within + i;
                out[i] = k < m_values.size() ? m_values[static_cast<std::size_t>(k)] : 0.0;
            }
            out += run;
            n -= run;
            begin += run;
        }
    }

    // Records of several streams interleave: the samples are not in file order.
    const std::uint8_t* EndOf(std::uint64_t) const override { return nullptr; }

private:
    void Decode(std::size_t index) const {
        if (index == m_cached) {
            return;
        }
        m_values.clear();
        m_cached = index;
        std::uint64_t offset = 0;
        std::int32_t length = 0;
        m_records.Place(index, offset, length);
        UnpackedRecord rec;
        if (Unpack(m_data + offset, length, m_copy, rec, true) != MS_NOERROR) {
            return;
        }
        const std::int64_t n = std::min<std::int64_t>(rec.msr->numsamples, m_records.Count(index));
        m_values.resize(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            switch (rec.msr->sampletype) {
            case 'i':
                m_values[i] = static_cast<const std::int32_t*>(rec.msr->datasamples)[i];
                break;
            case 'f':
                m_values[i] = static_cast<const float*>(rec.msr->datasamples)[i];
                break;
            case 'd':
                m_values[i] = static_cast<const double*>(rec.msr->datasamples)[i];
                break;
            default:
                m_values[i] = 0;
                break;
            }
        }
    }

    const std::uint8_t* m_data;
    CRecordIndex m_records;
    mutable std::mutex m_mutex;
    mutable std::size_t m_cached = static_cast<std::size_t>(-1);
    mutable std::vector<double> m_values;
    mutable std::vector<char> m_copy;
};

struct Segment {
    std::string stream; // NET.STA.LOC.CHA
    std::string station, channel;
    hptime_t start = 0;
    hptime_t expectedNext = 0;
    double rate = 0;
    int sampleType = kSampleLong;
    std::uint64_t count = 0;
    CRecordIndex records;
};

int SampleTypeOf(int encoding) {
    switch (encoding) {
    case DE_FLOAT32:
        return kSampleFloat;
    case DE_FLOAT64:
        return kSampleDouble;
    default:
        return kSampleLong;
    }
}

hptime_t SpanOf(std::uint64_t samples, double rate) {
    return static_cast<hptime_t>(std::llround(static_cast<double>(samples) / rate * HPTMODULUS));
}

FileChannel MakeChannel(const CMappedFile& file, Segment& s) {
    FileChannel ch;
    const std::string name = s.station + "." + s.channel;
    ch.signalName = name.substr(0, 11);
    ch.streamId = s.stream;
    // Whole seconds and the fraction of the first, floored also before 1970.
    hptime_t whole = s.start / HPTMODULUS;
    if (s.start < 0 && whole * HPTMODULUS != s.start) {
        --whole;
    }
    ch.fraction = static_cast<double>(s.start - whole * HPTMODULUS) / HPTMODULUS;
    if (whole >= 0 && whole <= 0xFFFFFFFFLL) {
        ch.startSecond = static_cast<std::uint32_t>(whole);
    }
    const CalendarTime t = SecondsToCalendar(ch.startSecond);
    ch.fullYear = t.year;
    ch.dateWord = static_cast<std::uint32_t>(t.day) | static_cast<std::uint32_t>(t.month) << 8 |
                  static_cast<std::uint32_t>(t.year % 100) << 16;
    ch.timeWord = static_cast<std::uint32_t>(t.second) | static_cast<std::uint32_t>(t.minute) << 8 |
                  static_cast<std::uint32_t>(t.hour) << 16;
    ch.dateText = Format("%.2d-%.2d-%.2d", t.month, t.day, t.year % 100);
    ch.timeText = Format("%.2d:%.2d:%09.6f", t.hour, t.minute, t.second + ch.fraction);
    ch.rate = static_cast<int>(std::lround(s.rate));
    ch.sampleType = s.sampleType;
    ch.sampleCount = s.count;
    ch.formatText = "miniSEED";
    ch.path = file.Path();
    s.records.Finish(s.count);
    ch.source = std::make_shared<CMseedSegmentSamples>(file.Data(), std::move(s.records));
    ch.mapping = file.shared_from_this();
    return ch;
}

} // namespace

bool LooksLikeMseed(const std::uint8_t* data, std::size_t size) {
    return data != nullptr && size >= 48 && DetectAt(data, size, 0) > 0;
}

int ReadMseedFile(const CMappedFile& file, std::vector<FileChannel>& out) {
    const std::uint8_t* data = file.Data();
    const std::size_t size = file.Size();
    if (!LooksLikeMseed(data, size)) {
        return kMseedNotThisForm;
    }
    std::vector<Segment> segments;
    std::map<std::string, std::size_t> open; // stream -> its segment being extended
    std::vector<char> copy;
    for (std::uint64_t at = 0; at < size;) {
        const int length = DetectAt(data, size, at);
        if (length <= 0 || at + static_cast<std::uint64_t>(length) > size) {
            return kMseedDamaged;
        }
        UnpackedRecord rec;
        if (Unpack(data + at, length, copy, rec, false) != MS_NOERROR) {
            return kMseedDamaged;
        }
        const MSRecord* m = rec.msr;
        // Records without samples (log text, a header alone) are no part of a trace.
        if (m->samplecnt > 0 && m->samprate > 0 && m->encoding != DE_ASCII &&
            m->samplecnt <= 0x7FFFFFFF) {
            const std::string stream =
                std::string(m->network) + "." + m->station + "." + m->location + "." + m->channel;
            const auto found = open.find(stream);
            Segment* s = found != open.end() ? &segments[found->second] : nullptr;
            // Within half a sample of where the segment ends is the same run; anything else
            // (a gap, an overlap, another rate or encoding) starts a new segment.
            if (s != nullptr &&
                (s->rate != m->samprate || s->sampleType != SampleTypeOf(m->encoding) ||
                 std::llabs(m->starttime - s->expectedNext) > SpanOf(1, m->samprate) / 2)) {
                s = nullptr;
            }
            if (s == nullptr) {
                segments.push_back(Segment{});
                s = &segments.back();
                s->stream = stream;
                s->station = m->station;
                s->channel = m->channel;
                s->start = m->starttime;
                s->rate = m->samprate;
                s->sampleType = SampleTypeOf(m->encoding);
                open[stream] = segments.size() - 1;
            }
            s->records.Add(at, length, s->count);
            s->count += static_cast<std::uint64_t>(m->samplecnt);
            s->expectedNext = s->start + SpanOf(s->count, s->rate);
        }
        at += static_cast<std::uint64_t>(length);
    }
    if (segments.empty()) {
        return kMseedNoSamples;
    }
    for (Segment& s : segments) {
        out.push_back(MakeChannel(file, s));
    }
    return kMseedOk;
}

} // namespace nereid::recording
