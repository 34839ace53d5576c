// What a SeedLink client may send the station service: every command line through the parser,
// and the whole input through one client's session, fed at once and in pieces.
//
// Invariants: a command is invalid exactly when it says why; sequence numbers fit the wire's
// six hex digits; accepted times lie in the years the parser admits; a session gives the same
// replies and packets however the bytes arrive; its output stays within the cut-off limit; and
// every packet it sends is a whole one carrying a record of the ring.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "seedlink/command_parser.h"
#include "seedlink/info_packets.h"
#include "seedlink/record_ring.h"
#include "seedlink/session.h"

namespace {

using namespace nereid::seedlink;

constexpr std::int64_t kSecond = 1000000000LL;
constexpr std::int64_t kT0 = 1796666100LL * kSecond;
// The end of the last year the parser admits (2262-01-01T00:00:00Z).
constexpr std::int64_t kAfterLastYearNs = 9214646400LL * kSecond;

void CheckCommand(std::string_view line) {
    const SSeedLinkCommand c = ParseSeedLinkCommand(line);
    NEREID_FUZZ_CHECK((c.kind == ECommand::kInvalid) == !c.error.empty());
    if (c.kind == ECommand::kInvalid)
        return;
    NEREID_FUZZ_CHECK(!c.hasSequence || c.sequence <= kSequenceMask);
    NEREID_FUZZ_CHECK(!c.hasBegin || (c.beginNs >= 0 && c.beginNs < kAfterLastYearNs));
    NEREID_FUZZ_CHECK(!c.hasEnd || (c.endNs >= 0 && c.endNs < kAfterLastYearNs));
}

void FillRing(CRecordRing& ring) {
    for (int i = 0; i < 12; ++i) {
        std::string record(kRecordLength, '\0');
        const std::string label = "R" + std::to_string(i);
        std::memcpy(record.data(), label.data(), label.size());
        SRecordInfo info;
        info.channel = i % 3 == 0 ? "HHZ" : i % 3 == 1 ? "HHN" : "HHE";
        info.location = i % 2 == 0 ? "" : "00";
        info.startNs = kT0 + i * kSecond;
        info.endNs = kT0 + (i + 3) * kSecond - 1;
        ring.Append(record.data(), info);
    }
}

// Data packets ("SL" and six hex digits) carry records of the ring, whole.
void CheckPackets(const std::string& out) {
    std::size_t at = 0;
    while ((at = out.find("SL", at)) != std::string::npos) {
        if (out.size() - at >= 8 && std::isxdigit(static_cast<unsigned char>(out[at + 2])) &&
            out.compare(at + 2, 4, "INFO") != 0) {
            bool header = true;
            for (int k = 2; k < 8; ++k)
                header = header && std::isxdigit(static_cast<unsigned char>(out[at + k]));
            if (header) {
                NEREID_FUZZ_CHECK(out.size() - at >= 8 + kRecordLength);
                NEREID_FUZZ_CHECK(out[at + 8] == 'R');
                at += 8 + kRecordLength;
                continue;
            }
        }
        at += 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = nereid::fuzz::ExactCopy(data, size);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
            CheckCommand(text.substr(start, i - start));
            start = i + 1;
        }
    }
    std::int64_t ns = 0;
    if (ParseSeedLinkTime(text.substr(0, 64), ns))
        NEREID_FUZZ_CHECK(ns >= 0 && ns < kAfterLastYearNs);

    CRecordRing ring(8, 100); // four records overwritten, numbering not from zero
    FillRing(ring);
    SServiceIdentity who;
    who.startedNs = kT0;
    CSeedLinkSession whole(ring, who);
    CSeedLinkSession pieces(ring, who);
    whole.Receive(text.data(), text.size());
    whole.Pump();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + bytes[at] % 5);
        pieces.Receive(text.data() + at, n);
        at += n;
    }
    pieces.Pump();
    NEREID_FUZZ_CHECK(whole.Output() == pieces.Output());
    NEREID_FUZZ_CHECK(whole.Closing() == pieces.Closing());
    NEREID_FUZZ_CHECK(whole.Output().size() <= kSessionOutputLimit + kSessionHighWater);
    CheckPackets(whole.Output());
    return 0;
}
