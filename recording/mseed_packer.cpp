#include "recording/mseed_packer.h"

#include "recording/steim2_records.h"

#include <libmseed.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

namespace nereid::recording {

char SeedBandCode(double sampleRate) {
    if (sampleRate >= 1000.0) {
        return 'F';
    }
    if (sampleRate >= 250.0) {
        return 'C';
    }
    if (sampleRate >= 80.0) {
        return 'H';
    }
    if (sampleRate >= 10.0) {
        return 'B';
    }
    if (sampleRate > 1.0) {
        return 'M';
    }
    if (sampleRate > 0.5) {
        return 'L';
    }
    if (sampleRate > 0.05) {
        return 'V';
    }
    return 'U';
}

int SensorChannel(int channel) {
    if (channel >= 1 && channel <= 8) {
        return channel;
    }
    return channel >= 9 && channel <= 16 ? channel - 8 : 0;
}

std::string SeedChannelCode(double sampleRate, int channel, const MseedComponentMap& components) {
    std::string code{SeedBandCode(sampleRate), 'H'};
    const int sensor = SensorChannel(channel);
    auto mapped = components.find(channel);
    if (mapped == components.end()) {
        mapped = components.find(sensor);
    }
    code += mapped != components.end() ? mapped->second : static_cast<char>('0' + sensor);
    return code;
}

std::string SeedLocationCode(int channel, double sampleRate, double partnerRate) {
    if (channel >= 9 && channel <= 16 && partnerRate > 0 &&
        SeedBandCode(partnerRate) == SeedBandCode(sampleRate)) {
        return "01";
    }
    return "";
}

std::string SeedStationCode(const std::string& stationName, std::uint16_t unit) {
    std::string code;
    for (const char c : stationName) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 && u < 0x80 && code.size() < 5) {
            code += static_cast<char>(std::toupper(u));
        }
    }
    if (code.empty()) {
        code = std::to_string(unit % 100000u);
    }
    return code;
}

bool IsValidSeedNetworkCode(const std::string& code) {
    if (code.empty() || code.size() > 2) {
        return false;
    }
    for (const char c : code) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

bool ParseMseedComponentMap(const std::string& text, MseedComponentMap& out, std::string* error) {
    MseedComponentMap parsed;
    const auto fail = [error](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(',', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string item;
        for (std::size_t i = at; i < end; ++i) {
            if (text[i] != ' ') {
                item += text[i];
            }
        }
        at = end + 1;
        if (item.empty() && end == text.size()) {
            break;
        }
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 2 != item.size()) {
            return fail("component entry \"" + item + "\" is not channel=letter");
        }
        int channel = 0;
        for (std::size_t i = 0; i < eq; ++i) {
            if (item[i] < '0' || item[i] > '9' || channel > 16) {
                return fail("bad channel number in \"" + item + "\"");
            }
            channel = channel * 10 + (item[i] - '0');
        }
        if (channel < 1 || channel > 16) {
            return fail("channel " + std::to_string(channel) + " is not 1..16");
        }
        const unsigned char letter = static_cast<unsigned char>(item[eq + 1]);
        if (std::isalnum(letter) == 0 || letter >= 0x80) {
            return fail("component of channel " + std::to_string(channel) +
                        " must be a letter or digit");
        }
        if (parsed.count(channel) != 0) {
            return fail("channel " + std::to_string(channel) + " is mapped twice");
        }
        parsed[channel] = static_cast<char>(std::toupper(letter));
    }
    out = std::move(parsed);
    return true;
}

std::string FormatMseedComponentMap(const MseedComponentMap& components) {
    std::string text;
    for (const auto& [channel, letter] : components) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(channel) + '=' + letter;
    }
    return text;
}

CMseedPacker::CMseedPacker(SMseedStreamId id, double sampleRate, RecordSink sink)
    : m_id(std::move(id)), m_rate(sampleRate), m_sink(std::move(sink)) {
    m_msr = msr_init(nullptr);
    if (m_msr != nullptr) {
        SetMseedStreamFields(m_msr, m_id, sampleRate);
        m_msr->encoding = DE_STEIM2;
        m_msr->byteorder = 1;
        m_msr->sampletype = 'i';
    }
}

void SetMseedStreamFields(MSRecord_s* msr, const SMseedStreamId& id, double sampleRate) {
    const auto copy = [](char* to, const std::string& from) {
        const std::size_t n = from.size() < 10 ? from.size() : 10;
        from.copy(to, n);
        to[n] = '\0';
    };
    copy(msr->network, id.network);
    copy(msr->station, id.station);
    copy(msr->location, id.location);
    copy(msr->channel, id.channel);
    msr->dataquality = 'D';
    msr->reclen = kMseedRecordLength;
    msr->samprate = sampleRate;
}

CMseedPacker::~CMseedPacker() {
    if (m_msr != nullptr) {
        // The samples belong to m_buffer, never to the record.
        m_msr->datasamples = nullptr;
        msr_free(&m_msr);
    }
}

std::int64_t SampleOffsetNs(double sampleRate, std::int64_t samples) {
    const double whole = std::floor(sampleRate);
    if (whole == sampleRate && sampleRate >= 1.0) {
        const std::int64_t r = static_cast<std::int64_t>(whole);
        return samples / r * 1000000000LL + (samples % r) * 1000000000LL / r;
    }
    return std::llround(static_cast<long double>(samples) * 1e9L / sampleRate);
}

std::int64_t CMseedPacker::OffsetNs(std::int64_t samples) const {
    return SampleOffsetNs(m_rate, samples);
}

std::int64_t CMseedPacker::ExpectedNextNs() const {
    return m_segmentStartNs +
           OffsetNs(m_segmentPacked + static_cast<std::int64_t>(m_buffer.size()));
}

void CMseedPacker::OnRecord(char* record, int length, void* self) {
    auto* packer = static_cast<CMseedPacker*>(self);
    ++packer->m_records;
    if (packer->m_sink && packer->m_sink(record, length) < 0) {
        packer->m_sinkFailed = true;
    }
}

void CMseedPacker::PrepareRecord() {
    // Each call starts from the exact time of its first sample rather than the time libmseed
    // carried forward, which is rounded to the microsecond once per record.
    const std::int64_t startNs = m_segmentStartNs + OffsetNs(m_segmentPacked);
    m_msr->starttime =
        static_cast<hptime_t>(startNs >= 0 ? (startNs + 500) / 1000 : -((-startNs + 500) / 1000));
    m_msr->sequence_number = m_sequence;
    m_msr->datasamples = m_buffer.data();
    m_msr->numsamples = static_cast<std::int64_t>(m_buffer.size());
    m_msr->samplecnt = m_msr->numsamples;
    m_msr->sampletype = 'i';
}

int CMseedPacker::Pack(bool flush) {
    if (m_buffer.empty()) {
        return 0;
    }
    if (m_msr == nullptr) {
        return kPackFailed;
    }
    PrepareRecord();
    m_sinkFailed = false;
    int64_t packed = 0;
    // The project's own Steim-2 encoder: msr_pack's records byte for byte, at a fraction of
    // its cost per sample.
    const int records = PackSteim2Records(m_msr, &CMseedPacker::OnRecord, this, &packed, flush);
    m_msr->datasamples = nullptr;
    m_msr->numsamples = 0;
    m_sequence = m_msr->sequence_number;
    if (packed > 0) {
        const auto n = static_cast<std::size_t>(packed) < m_buffer.size()
                           ? static_cast<std::ptrdiff_t>(packed)
                           : static_cast<std::ptrdiff_t>(m_buffer.size());
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + n);
        m_segmentPacked += n;
        m_samplesPacked += n;
    }
    if (records < 0) {
        return kPackFailed;
    }
    if (m_sinkFailed) {
        return kSinkFailed;
    }
    return records;
}

int CMseedPacker::AddSamples(std::int64_t startTimeNs, const std::int32_t* samples, int count) {
    if (count < 0 || (count > 0 && samples == nullptr) || !(m_rate > 0.0)) {
        return kBadArgument;
    }
    if (count == 0) {
        return 0;
    }
    int emitted = 0;
    if (m_inSegment) {
        // Within half a sample of the expected time is the same stream; anything else starts
        // a new one after what is buffered has gone out.
        const std::int64_t delta = startTimeNs - ExpectedNextNs();
        const double halfSample = 0.5e9 / m_rate;
        if (std::fabs(static_cast<double>(delta)) >= halfSample) {
            const int flushed = Pack(true);
            if (flushed < 0) {
                return flushed;
            }
            emitted += flushed;
            m_inSegment = false;
        }
    }
    if (!m_inSegment) {
        m_inSegment = true;
        m_segmentStartNs = startTimeNs;
        m_segmentPacked = 0;
    }
    m_buffer.insert(m_buffer.end(), samples, samples + count);
    const int packed = Pack(false);
    if (packed < 0) {
        return packed;
    }
    return emitted + packed;
}

int CMseedPacker::Flush() {
    return Pack(true);
}

int CMseedPacker::PackFullRecords() {
    if (m_buffer.size() < 2) {
        return 0;
    }
    if (m_msr == nullptr) {
        return kPackFailed;
    }
    // A trial that packs everything: every record but the last is full, and is exactly the
    // record a later pack would make, since each record takes as many samples as fit.
    std::vector<std::string> trial;
    PrepareRecord();
    int64_t packed = 0;
    const int records = msr_pack(
        m_msr,
        [](char* record, int length, void* into) {
            static_cast<std::vector<std::string>*>(into)->emplace_back(record, length);
        },
        &trial, &packed, 1, 0);
    m_msr->datasamples = nullptr;
    m_msr->numsamples = 0;
    if (records < 0) {
        return kPackFailed;
    }
    int emitted = 0;
    for (std::size_t i = 0; i + 1 < trial.size(); ++i) {
        const std::string& record = trial[i];
        if (record.size() < 48) {
            return kPackFailed;
        }
        // Fixed header: the number of samples, big-endian, at byte 30.
        const auto* header = reinterpret_cast<const std::uint8_t*>(record.data());
        const std::size_t samples = static_cast<std::size_t>(header[30] << 8 | header[31]);
        if (samples == 0 || samples >= m_buffer.size()) {
            return kPackFailed;
        }
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(samples));
        m_segmentPacked += static_cast<std::int64_t>(samples);
        m_samplesPacked += static_cast<std::int64_t>(samples);
        ++m_records;
        ++emitted;
        // The record after this one carries the next sequence number (libmseed wraps it).
        m_sequence = std::atoi(trial[i + 1].substr(0, 6).c_str());
        if (m_sink && m_sink(record.data(), static_cast<int>(record.size())) < 0) {
            return kSinkFailed;
        }
    }
    return emitted;
}

} // namespace nereid::recording
