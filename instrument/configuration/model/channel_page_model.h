#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "instrument/configuration/model/config_rates.h"
#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

// The rates of one channel group of the six-channel page: group A is channels 1..3 (secondary
// 9..11), group B channels 4..6 (secondary 12..14).
struct ChannelGroup {
    int primaryPosition = -1; // position in the standard list; -1 unselected
    int secondaryRate = 0;    // samples/s chosen in the secondary list; 0 none

    bool operator==(const ChannelGroup&) const = default;
};

// The six-channel "    Channels    " page of model code 17: six enable boxes and a primary
// and a secondary rate per group of three channels.
class CChannelPageModel {
public:
    static constexpr int kGroupA = 0;
    static constexpr int kGroupB = 1;

    // Enable box k (1..6) is editable only when stream k is in the list; a group whose three
    // channels are all absent has its rate boxes disabled.
    void SetStreams(const recording::CStreamList& streams);
    bool ChannelPresent(int k) const { return m_Present[static_cast<std::size_t>(k - 1)]; }
    bool GroupPresent(int group) const;

    // Takes the codes of channels 1, 4, 9 and 12 and the enable mask, and remembers them as
    // last received. The group rates follow the received primaries.
    void ShowAnswer(const link::ConfigurationRecord& record);

    bool Enabled(int k) const { return m_Enabled[static_cast<std::size_t>(k - 1)]; }
    void SetEnabled(int k, bool on) { m_Enabled[static_cast<std::size_t>(k - 1)] = on; }
    const ChannelGroup& Group(int group) const { return m_Groups[static_cast<std::size_t>(group)]; }

    // Chooses a primary rate (standard list position) and rebuilds the group's secondary
    // list. Positions outside the list are ignored (returns 0); else 1.
    int ChoosePrimary(int group, int position);
    // The secondary rates offered for the group's primary rate.
    std::vector<int> SecondaryList(int group) const;
    // Keeps the secondary rate if the list holds it, else selects the list's first entry (as
    // on activation and after a primary rate is chosen).
    void RebuildSecondary(int group);
    // Chooses a secondary rate; returns 1, or 0 (nothing changed) when the group's list does
    // not hold it.
    int ChooseSecondary(int group, int samplesPerSecond);

    // Samples/s of the group's primary rate, 0 when none is selected. The trigger page limits
    // its filter corners to half of it.
    int PrimaryRate(int group) const;

    bool Modified() const { return m_Groups != m_ReceivedGroups || m_Enabled != m_ReceivedEnabled; }
    void ClearModified();

    // Writes the rate codes, the enable mask (primary and secondary bits alike) and zeroes the
    // byte at 45 and the six words at 46..57 that this model does not use. A group without a
    // primary or a secondary rate with a code keeps the received codes of its channels.
    // Returns 1.
    int Fill(link::ConfigurationRecord& record) const;

private:
    std::array<bool, 6> m_Present{};
    std::array<bool, 6> m_Enabled{true, true, true, true, true, true};
    std::array<ChannelGroup, 2> m_Groups{};
    std::array<bool, 6> m_ReceivedEnabled{true, true, true, true, true, true};
    std::array<ChannelGroup, 2> m_ReceivedGroups{};
    std::array<std::uint8_t, 16> m_ReceivedCodes{};
};

} // namespace nereid::instrument
