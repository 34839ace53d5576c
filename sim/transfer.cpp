#include "sim/transfer.h"

#include "sim/answer_encoder.h"

#include <algorithm>

namespace nereid::sim {

Transfer Transfer::Listing(std::uint16_t header, std::vector<DriveEntry> entries) {
    Transfer t;
    t.m_Type = 'X';
    t.m_Header = header;
    t.m_Entries = std::move(entries);
    return t;
}

Transfer Transfer::File(std::uint16_t header, std::vector<std::uint8_t> data,
                        std::size_t blockSize) {
    Transfer t;
    t.m_Type = 'Y';
    t.m_Header = header;
    t.m_Data = std::move(data);
    t.m_BlockSize = std::max<std::size_t>(blockSize, 1);
    return t;
}

std::size_t Transfer::FrameCount() const {
    // An empty folder or file still gets one frame, the last.
    if (m_Type == 'X')
        return std::max<std::size_t>(1, (m_Entries.size() + AnswerEncoder::kEntriesPerListing - 1) /
                                            AnswerEncoder::kEntriesPerListing);
    return std::max<std::size_t>(1, (m_Data.size() + m_BlockSize - 1) / m_BlockSize);
}

std::vector<std::uint8_t> Transfer::NextPayload() {
    const std::size_t i = m_Next++;
    const std::uint8_t state = m_Next >= FrameCount() ? 1 : 2;
    const auto sequence = static_cast<std::uint16_t>(i + 1);
    if (m_Type == 'X') {
        const std::size_t first = i * AnswerEncoder::kEntriesPerListing;
        const std::size_t n = std::min(AnswerEncoder::kEntriesPerListing,
                                       m_Entries.size() - std::min(first, m_Entries.size()));
        return AnswerEncoder::Listing(m_Header, state, sequence,
                                      std::span<const DriveEntry>(m_Entries.data() + first, n));
    }
    const std::size_t first = i * m_BlockSize;
    const std::size_t n = std::min(m_BlockSize, m_Data.size() - std::min(first, m_Data.size()));
    return AnswerEncoder::FileData(m_Header, state, sequence,
                                   std::span<const std::uint8_t>(m_Data.data() + first, n));
}

} // namespace nereid::sim
