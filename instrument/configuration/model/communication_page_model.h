#pragma once

#include <array>

#include "instrument/configuration/model/port_settings.h"
#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

// What one port sends: its settings and which channels' data go out on it.
struct PortValues {
    PortSettings settings;
    std::array<bool, 6> primary{};   // channel word bits 0..5, channels 1..6
    std::array<bool, 6> secondary{}; // channel word bits 8..13

    bool operator==(const PortValues&) const = default;
};

// Which controls of the one-port page are shown for the selected port.
struct PortVisibility {
    bool settings = false;     // "Protocol", "Baud", "Data Format"
    bool ackBoxes = false;     // the four check boxes, only for protocol "HLCP"
    bool channelTable = false; // "Channel"/"Primary"/"Secondary", only for format "HLCP"
};

// The one-port "Communications" page of model code 17: a port selector and the values of the
// selected port. The widget edits Port(Selected()) directly, so changing the selection keeps
// every port's values.
class CCommunicationPageModel {
public:
    static constexpr const char* kPortNames[kPortCount] = {"Local", "Main", "PC Slot 1",
                                                           "PC Slot 2", "PC Slot Internal"};

    // Channel k (1..6) rows are editable only when stream k is in the list.
    void SetStreams(const recording::CStreamList& streams);
    bool ChannelPresent(int k) const { return m_Present[static_cast<std::size_t>(k - 1)]; }

    // Decodes the five port words and channel words and remembers them as last received.
    void ShowAnswer(const link::ConfigurationRecord& record);

    int Selected() const { return m_Selected; }
    void Select(int port);
    PortValues& Port(int port) { return m_Ports[static_cast<std::size_t>(port)]; }
    const PortValues& Port(int port) const { return m_Ports[static_cast<std::size_t>(port)]; }
    PortVisibility Visibility() const;

    bool Modified() const { return m_Ports != m_Received; }
    // Makes the current values the last received ones.
    void ClearModified() { m_Received = m_Ports; }

    // Writes the five port words (bits 0..14 from the values, bit 0 and bit 15 as received)
    // and the five channel words. Returns 1.
    int Fill(link::ConfigurationRecord& record) const;

private:
    std::array<PortValues, kPortCount> m_Ports{};
    std::array<PortValues, kPortCount> m_Received{};
    std::array<bool, 6> m_Present{};
    int m_Selected = 0;
};

} // namespace nereid::instrument
