#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "seedlink/connection_info.h"
#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// Who serves what: the one station of this service.
struct SServiceIdentity {
    std::string software = "Nereid Utility";
    std::string organization = "Nereid station service";
    std::string network = "XX";
    std::string station = "SIM1";
    std::string description = "Nereid recorder";
    std::int64_t startedNs = 0;
};

// "YYYY/MM/DD hh:mm:ss.ffff", the time form of the XML answers.
std::string InfoTime(std::int64_t ns);

// The XML answer to INFO `level` (ID, CAPABILITIES, STATIONS, STREAMS, GAPS, CONNECTIONS or
// ALL); empty for a level this service does not answer. `connections` feeds CONNECTIONS/ALL.
std::string InfoXml(const std::string& level, const SServiceIdentity& who, const CRecordRing& ring,
                    const std::vector<SConnectionInfo>& connections = {});

// Sequence number as the 3.x protocol shows it: the low 24 bits as six hexadecimal digits.
std::string Hex6(std::uint64_t position);

// Packs `text` into 512-byte miniSEED records of ASCII data, as INFO answers travel. Returns
// the records in order (none when packing failed).
std::vector<std::string> PackInfoRecords(const std::string& text, const SServiceIdentity& who);

} // namespace nereid::seedlink
