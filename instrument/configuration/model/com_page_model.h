#pragma once

#include <array>

#include "instrument/configuration/model/port_settings.h"
#include "link/command_records.h"

namespace nereid::instrument {

// Result of a fill that the five-port page refuses ("Invalid Entry").
constexpr int kInvalidEntry = -2;
inline constexpr const char* kInvalidEntryText = "Invalid Entry";

// The five-port "Communications" page (every model but 17): one row per port, rows "Local",
// "Main", "PC Slot 0", "PC Slot 1", "PC Slot 2".
class CComPageModel {
public:
    static constexpr const char* kRowNames[kPortCount] = {"Local", "Main", "PC Slot 0", "PC Slot 1",
                                                          "PC Slot 2"};

    CComPageModel();

    // Decodes the five port words into the rows; bit 15 is ignored.
    void ShowAnswer(const link::ConfigurationRecord& record);

    PortSettings& Row(int port) { return m_Rows[static_cast<std::size_t>(port)]; }
    const PortSettings& Row(int port) const { return m_Rows[static_cast<std::size_t>(port)]; }
    // Marks the page modified; the widget calls it on every click and selection.
    void MarkModified() { m_Modified = true; }
    bool Modified() const { return m_Modified; }
    void ClearModified() { m_Modified = false; }

    // True when every row has a baud position 0..7 and protocol and format positions 0..3.
    bool Valid() const;
    // Writes the five port words with bit 15 set. Returns 1, or kInvalidEntry (and writes
    // nothing) when a row is not Valid.
    int Fill(link::ConfigurationRecord& record) const;

private:
    std::array<PortSettings, kPortCount> m_Rows{};
    bool m_Modified = false;
};

} // namespace nereid::instrument
