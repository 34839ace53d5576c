#include "instrument/configuration/model/channel_page_model.h"

#include <algorithm>
#include <cstdlib>

#include "recording/rate_codes.h"

namespace nereid::instrument {

void CChannelPageModel::SetStreams(const recording::CStreamList& streams) {
    m_Present.fill(false);
    for (const recording::StreamEntry& s : streams.Streams()) {
        const int c = std::atoi(s.number.c_str());
        if (c >= 1 && c <= 6) {
            m_Present[static_cast<std::size_t>(c - 1)] = true;
        }
    }
}

bool CChannelPageModel::GroupPresent(int group) const {
    const std::size_t first = group == kGroupA ? 0 : 3;
    return m_Present[first] || m_Present[first + 1] || m_Present[first + 2];
}

void CChannelPageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    const std::vector<RateChoice>& list = StandardRateList();
    m_Groups[kGroupA].primaryPosition = RatePositionOfCode(list, record.rateCodes[0]);
    m_Groups[kGroupB].primaryPosition = RatePositionOfCode(list, record.rateCodes[3]);
    // The secondary box shows the group's secondary list, which may hold rates the standard
    // list lacks (25 for 200): any rate with a code is taken, so that showing the page does
    // not replace a received secondary rate by the list's first entry.
    for (int g = 0; g < 2; ++g) {
        m_Groups[static_cast<std::size_t>(g)].secondaryRate =
            recording::SamplesPerSecondFromRateCode(record.rateCodes[g == kGroupA ? 8 : 11]);
    }
    for (std::size_t k = 0; k < 6; ++k) {
        m_Enabled[k] = (record.channelEnableMask >> k) & 1u;
    }
    m_ReceivedCodes = record.rateCodes;
    m_ReceivedGroups = m_Groups;
    m_ReceivedEnabled = m_Enabled;
}

int CChannelPageModel::ChoosePrimary(int group, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= StandardRateList().size()) {
        return 0;
    }
    m_Groups[static_cast<std::size_t>(group)].primaryPosition = position;
    RebuildSecondary(group);
    return 1;
}

std::vector<int> CChannelPageModel::SecondaryList(int group) const {
    return SecondaryRates(PrimaryRate(group));
}

void CChannelPageModel::RebuildSecondary(int group) {
    const std::vector<int> list = SecondaryList(group);
    ChannelGroup& g = m_Groups[static_cast<std::size_t>(group)];
    if (std::find(list.begin(), list.end(), g.secondaryRate) == list.end()) {
        g.secondaryRate = list.empty() ? 0 : list.front();
    }
}

int CChannelPageModel::ChooseSecondary(int group, int samplesPerSecond) {
    const std::vector<int> list = SecondaryList(group);
    if (std::find(list.begin(), list.end(), samplesPerSecond) == list.end()) {
        return 0;
    }
    m_Groups[static_cast<std::size_t>(group)].secondaryRate = samplesPerSecond;
    return 1;
}

int CChannelPageModel::PrimaryRate(int group) const {
    const int position = m_Groups[static_cast<std::size_t>(group)].primaryPosition;
    const std::vector<RateChoice>& list = StandardRateList();
    return position >= 0 && static_cast<std::size_t>(position) < list.size()
               ? list[static_cast<std::size_t>(position)].samplesPerSecond
               : 0;
}

void CChannelPageModel::ClearModified() {
    m_ReceivedGroups = m_Groups;
    m_ReceivedEnabled = m_Enabled;
}

int CChannelPageModel::Fill(link::ConfigurationRecord& record) const {
    std::array<std::uint8_t, 16> codes{};
    for (int g = 0; g < 2; ++g) {
        const std::size_t primaryFirst = g == kGroupA ? 0 : 3;
        const std::size_t secondaryFirst = primaryFirst + 8;
        std::uint8_t primary = 0;
        if (PrimaryRate(g) > 0) {
            primary = StandardRateList()[static_cast<std::size_t>(
                                             m_Groups[static_cast<std::size_t>(g)].primaryPosition)]
                          .code;
        }
        const std::uint8_t secondary =
            RateCodeOfSamplesPerSecond(m_Groups[static_cast<std::size_t>(g)].secondaryRate);
        for (std::size_t i = 0; i < 3; ++i) {
            // A rate the lists cannot show is not replaced by code 0, which the recorder
            // would take as "no rate" for a channel that may be recording.
            codes[primaryFirst + i] = primary != 0 ? primary : m_ReceivedCodes[primaryFirst + i];
            codes[secondaryFirst + i] =
                secondary != 0 ? secondary : m_ReceivedCodes[secondaryFirst + i];
        }
    }
    record.rateCodes = codes;
    unsigned enable = 0;
    for (std::size_t k = 0; k < 6; ++k) {
        if (m_Enabled[k]) {
            enable |= (1u << k) | (1u << (k + 8));
        }
    }
    record.channelEnableMask = static_cast<std::uint16_t>(enable);
    record.sohFrameEnables = 0;
    record.authFrameMaskLocal = 0;
    record.authFrameMaskMain = 0;
    record.reserved.fill(0);
    record.authGenerationMask = 0;
    return 1;
}

} // namespace nereid::instrument
