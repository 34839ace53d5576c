#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

// The trigger settings of one channel as the page shows them.
struct TriggerValues {
    int mode = 0;         // 0 "NONE", 1 "LEVEL", 2 "STA/LTA"
    double highPass = 0;  // Hz
    double lowPass = 0;   // Hz
    double level = 0;     // % full scale, LEVEL mode
    int sta = 0;          // s, other modes
    int lta = 0;          // s
    double ratio = 0;     // STA/LTA trigger ratio
    double detrigger = 0; // STA/LTA detrigger ratio
    bool updatingLta = false;

    bool operator==(const TriggerValues&) const = default;
};

// The "    Triggers    " page of model code 17: one trigger record per channel 1..6.
class CTriggerPageModel {
public:
    static constexpr int kChannels = 6;
    static constexpr int kModeNone = 0;
    static constexpr int kModeLevel = 1;
    static constexpr int kModeStaLta = 2;
    static constexpr const char* kModeNames[3] = {"NONE", "LEVEL", "STA/LTA"};

    // The "Channel" box lists the channel numbers of the stream list.
    void Open(const recording::CStreamList& streams);
    const std::vector<int>& ChannelChoices() const { return m_Choices; }

    // Decodes the six records, remembers them as last received and selects the first stream.
    void ShowAnswer(const link::ConfigurationRecord& record);

    // The channel whose values the controls show; a stream numbered above 6 has none.
    int Selected() const { return m_Selected; }
    void Select(int channel) { m_Selected = channel; }
    // Values of channel k (1..6).
    TriggerValues& Values(int k) { return m_Values[static_cast<std::size_t>(k - 1)]; }
    const TriggerValues& Values(int k) const { return m_Values[static_cast<std::size_t>(k - 1)]; }

    // The primary rates (samples/s) of group A (channels 1..3) and B (4..6) as the channel page
    // shows them; 0 leaves the group's corners unlimited.
    void SetGroupRates(int groupA, int groupB) { m_GroupRates = {groupA, groupB}; }
    // Half the primary rate of channel k's group, or 0 when the rate is not known.
    double CornerLimit(int k) const;

    // The limits of the fields, applied when a field loses the focus. Each returns the value
    // kept.
    double LimitCorner(int k, double hz) const;
    static double LimitLevel(double percent);     // below 0.01 -> 0, above 100 -> 100
    static int LimitTimeConstant(long long secs); // at or below 0 -> 1, above 65535 -> 65535
    // A ratio is carried in hundredths in 16 bits: above 655.35 it cannot be sent and is held
    // at 655.35 (the page says so); below 0 it is 0.
    static double LimitRatio(double ratio);
    // Limits the corners of every channel (on activation and before sending); returns how
    // many fields changed.
    int LimitAllCorners();

    bool Modified() const { return m_Values != m_Received; }
    void ClearModified() { m_Received = m_Values; }

    // Writes the six trigger records. Returns 1.
    int Fill(link::ConfigurationRecord& record) const;

    // A decimal field as the record carries it: value x 100 + 0.001, truncated, held to
    // 0..65535 (a larger value would wrap in its 16 bits).
    static std::uint16_t Hundredths(double value);

private:
    std::array<TriggerValues, kChannels> m_Values{};
    std::array<TriggerValues, kChannels> m_Received{};
    std::array<int, 2> m_GroupRates{};
    std::vector<int> m_Choices;
    int m_Selected = 1;
};

} // namespace nereid::instrument
