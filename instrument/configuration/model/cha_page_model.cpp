#include "instrument/configuration/model/cha_page_model.h"

#include <cstdlib>

namespace nereid::instrument {

void CChaPageModel::Open(int modelCode, const recording::CStreamList& streams) {
    m_ModelCode = modelCode;
    m_StreamNumbers.clear();
    m_Labels.clear();
    for (const recording::StreamEntry& s : streams.Streams()) {
        m_StreamNumbers.push_back(std::atoi(s.number.c_str()));
        m_Labels.push_back(s.number + " ( " + s.description + ")");
    }
    m_VisibleRows = static_cast<int>(streams.Streams().size() / 2);
    if (m_VisibleRows > kRows) {
        m_VisibleRows = kRows;
    }
}

const std::vector<RateChoice>& CChaPageModel::RateList() const {
    return m_ModelCode == 3 ? ExtendedRateList() : StandardRateList();
}

std::string CChaPageModel::RowLabel(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_Labels.size()
               ? m_Labels[static_cast<std::size_t>(row)]
               : std::string();
}

int CChaPageModel::RowChannel(int row) const {
    if (row < 0 || row >= m_VisibleRows ||
        static_cast<std::size_t>(row) >= m_StreamNumbers.size()) {
        return 0;
    }
    const int c = m_StreamNumbers[static_cast<std::size_t>(row)];
    return c >= 1 && c <= 8 ? c : 0;
}

void CChaPageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    m_EnableCopy = record.channelEnableMask;
    m_RateCopy = record.rateCodes;
    for (std::size_t j = 0; j < m_StreamNumbers.size() && j < kRows; ++j) {
        const int c = m_StreamNumbers[j];
        if (c < 1 || c > 8) {
            continue;
        }
        const unsigned bit = 1u << (c - 1);
        ChaRow& row = m_Rows[j];
        row.enabled = record.channelEnableMask & bit;
        row.authLocal = record.authFrameMaskLocal & bit;
        row.authMain = record.authFrameMaskMain & bit;
        row.authGeneration = record.authGenerationMask & bit;
        row.ratePosition =
            RatePositionOfCode(RateList(), record.rateCodes[static_cast<std::size_t>(c - 1)]);
    }
    sohLocal = record.sohFrameEnables & 0x01u;
    sohMain = record.sohFrameEnables & 0x02u;
}

void CChaPageModel::ChooseRate(int position) {
    for (ChaRow& row : m_Rows) {
        row.ratePosition = position;
    }
    m_Modified = true;
}

int CChaPageModel::Fill(link::ConfigurationRecord& record) const {
    unsigned enable = m_EnableCopy;
    std::array<std::uint8_t, 16> codes = m_RateCopy;
    unsigned authLocal = 0;
    unsigned authMain = 0;
    unsigned authGeneration = 0;
    const std::vector<RateChoice>& list = RateList();
    for (std::size_t j = 0; j < m_StreamNumbers.size() && j < kRows; ++j) {
        const int c = m_StreamNumbers[j];
        if (c < 1 || c > 8) {
            continue;
        }
        const ChaRow& row = m_Rows[j];
        const unsigned bit = 1u << (c - 1);
        enable = row.enabled ? (enable | bit) : (enable & ~bit);
        if (row.ratePosition >= 0 && static_cast<std::size_t>(row.ratePosition) < list.size()) {
            codes[static_cast<std::size_t>(c - 1)] =
                list[static_cast<std::size_t>(row.ratePosition)].code;
        }
        authLocal |= row.authLocal ? bit : 0u;
        authMain |= row.authMain ? bit : 0u;
        authGeneration |= row.authGeneration ? bit : 0u;
    }
    record.channelEnableMask = static_cast<std::uint16_t>(enable);
    record.rateCodes = codes;
    record.sohFrameEnables = static_cast<std::uint8_t>((sohLocal ? 1u : 0u) | (sohMain ? 2u : 0u));
    record.authFrameMaskLocal = static_cast<std::uint16_t>(authLocal);
    record.authFrameMaskMain = static_cast<std::uint16_t>(authMain);
    record.authGenerationMask = static_cast<std::uint16_t>(authGeneration);
    record.reserved.fill(0);
    return 1;
}

} // namespace nereid::instrument
