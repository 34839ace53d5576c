#include "seedlink/info_packets.h"

#include <libmseed.h>

#include <cstdio>
#include <cstring>

#include "seedlink/ring_gaps.h"

namespace nereid::seedlink {

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void CollectRecord(char* record, int length, void* handlerData) {
    static_cast<std::vector<std::string>*>(handlerData)->emplace_back(record, length);
}

void CopyCode(char* target, std::size_t size, const std::string& code) {
    std::memset(target, 0, size);
    std::strncpy(target, code.c_str(), size - 1);
}

std::string ConnectionXml(const SConnectionInfo& c, std::uint64_t oldest) {
    std::string xml = "  <connection host=\"" + Escape(c.host) + "\" port=\"" +
                      std::to_string(c.port) + "\" ctime=\"" + InfoTime(c.connectedNs) +
                      "\" begin_seq=\"" + Hex6(c.position) + "\" current_seq=\"" +
                      Hex6(c.position) + "\" sequence_gaps=\"0\" txcount=\"" +
                      std::to_string(c.packets) + "\" totBytes=\"" + std::to_string(c.bytes) +
                      "\" begin_seq_valid=\"" + (c.position >= oldest ? "yes" : "no") +
                      "\" realtime=\"" + (c.streaming ? "yes" : "no") + "\" end_of_data=\"no\"";
    if (c.selectors.empty()) {
        return xml + "/>\n";
    }
    xml += ">\n";
    for (const std::string& s : c.selectors) {
        xml += "   <selector pattern=\"" + Escape(s) + "\"/>\n";
    }
    return xml + "  </connection>\n";
}

} // namespace

std::string Hex6(std::uint64_t position) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(position & kSequenceMask));
    return text;
}

std::string InfoTime(std::int64_t ns) {
    std::int64_t seconds = ns / 1000000000LL;
    std::int64_t rest = ns % 1000000000LL;
    if (rest < 0) {
        rest += 1000000000LL;
        --seconds;
    }
    // Civil date from days since 1970 (proleptic Gregorian).
    std::int64_t z = seconds / 86400 + 719468;
    std::int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --z;
    }
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d.%04d", year, month, day,
                  static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                  static_cast<int>(secondOfDay % 60), static_cast<int>(rest / 100000));
    return text;
}

std::string InfoXml(const std::string& level, const SServiceIdentity& who, const CRecordRing& ring,
                    const std::vector<SConnectionInfo>& connections) {
    const bool all = level == "ALL";
    const bool stations = level == "STATIONS";
    const bool gaps = level == "GAPS" || all;
    const bool streams = level == "STREAMS" || gaps;
    const bool capabilities = level == "CAPABILITIES" || all;
    const bool clients = level == "CONNECTIONS" || all;
    if (level != "ID" && !stations && !streams && !capabilities && !clients) {
        return {};
    }
    std::string xml = "<?xml version=\"1.0\"?>\n<seedlink software=\"" + Escape(who.software) +
                      " SeedLink v3.1\" organization=\"" + Escape(who.organization) +
                      "\" started=\"" + InfoTime(who.startedNs) + "\"";
    if (level == "ID") {
        return xml + "/>\n";
    }
    xml += ">\n";
    if (capabilities) {
        for (const char* name :
             {"dialup", "multistation", "window-extraction", "info:id", "info:capabilities",
              "info:stations", "info:streams", "info:gaps", "info:connections", "info:all"}) {
            xml += " <capability name=\"" + std::string(name) + "\"/>\n";
        }
        if (level == "CAPABILITIES") {
            return xml + "</seedlink>\n";
        }
    }
    const std::uint64_t oldest = ring.Oldest();
    const std::uint64_t next = ring.Next();
    xml += " <station name=\"" + Escape(who.station) + "\" network=\"" + Escape(who.network) +
           "\" description=\"" + Escape(who.description) + "\" begin_seq=\"" + Hex6(oldest) +
           "\" end_seq=\"" + Hex6(next) + "\" stream_check=\"enabled\"";
    if (stations) {
        return xml + "/>\n</seedlink>\n";
    }
    xml += ">\n";
    const std::vector<SStreamGap> holes = gaps ? FindRingGaps(ring) : std::vector<SStreamGap>{};
    for (const SStreamSpan& s : streams ? ring.Streams() : std::vector<SStreamSpan>{}) {
        xml += "  <stream location=\"" + Escape(s.location) + "\" seedname=\"" + Escape(s.channel) +
               "\" type=\"" + std::string(1, s.type) + "\" begin_time=\"" + InfoTime(s.beginNs) +
               "\" end_time=\"" + InfoTime(s.endNs) +
               "\" begin_recno=\"0\" end_recno=\"0\" gap_check=\"" +
               (gaps ? "enabled" : "disabled") + "\" gap_treshold=\"0\"";
        std::string inner;
        for (const SStreamGap& g : holes) {
            if (g.location == s.location && g.channel == s.channel && g.type == s.type) {
                inner += "   <gap begin_time=\"" + InfoTime(g.beginNs) + "\" end_time=\"" +
                         InfoTime(g.endNs) + "\"/>\n";
            }
        }
        xml += inner.empty() ? "/>\n" : ">\n" + inner + "  </stream>\n";
    }
    if (clients) {
        for (const SConnectionInfo& c : connections) {
            xml += ConnectionXml(c, oldest);
        }
    }
    return xml + " </station>\n</seedlink>\n";
}

std::vector<std::string> PackInfoRecords(const std::string& text, const SServiceIdentity& who) {
    std::vector<std::string> records;
    MSRecord* msr = msr_init(nullptr);
    if (msr == nullptr) {
        return records;
    }
    CopyCode(msr->network, sizeof msr->network, who.network);
    CopyCode(msr->station, sizeof msr->station, who.station);
    CopyCode(msr->location, sizeof msr->location, "");
    CopyCode(msr->channel, sizeof msr->channel, "INF");
    msr->dataquality = 'D';
    msr->starttime = static_cast<hptime_t>(who.startedNs / (1000000000LL / HPTMODULUS));
    msr->samprate = 0.0;
    msr->reclen = static_cast<int>(kRecordLength);
    msr->encoding = DE_ASCII;
    msr->byteorder = 1;
    std::string copy = text;
    msr->datasamples = copy.data();
    msr->numsamples = static_cast<int64_t>(copy.size());
    msr->sampletype = 'a';
    int64_t packed = 0;
    const int count = msr_pack(msr, CollectRecord, &records, &packed, 1, 0);
    msr->datasamples = nullptr; // the text is ours
    msr_free(&msr);
    if (count <= 0 || packed != static_cast<int64_t>(text.size())) {
        records.clear();
    }
    return records;
}

} // namespace nereid::seedlink
