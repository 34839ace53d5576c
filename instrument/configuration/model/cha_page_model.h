#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/configuration/model/config_rates.h"
#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

// One row of the eight-channel page.
struct ChaRow {
    bool enabled = true;
    int ratePosition = 3; // position in the rate list shown; -1 unselected
    bool authLocal = true;
    bool authMain = true;
    bool authGeneration = true;
};

// The eight-channel "    Channels    " page (every model but 17). Rows are the primary streams
// of the stream list; secondary streams have no row and keep the values last received.
class CChaPageModel {
public:
    static constexpr int kRows = 8;

    // Takes the model code (code 3 shows the extended rate list; codes 2 and 3 show the
    // authentication and state-of-health boxes) and the stream list the rows follow.
    void Open(int modelCode, const recording::CStreamList& streams);

    const std::vector<RateChoice>& RateList() const;
    // Rows 0 .. VisibleRows()-1 are shown: half the number of streams.
    int VisibleRows() const { return m_VisibleRows; }
    // "1 ( text)" for row r, from the number and second text of stream r.
    std::string RowLabel(int row) const;
    // Channel number of row r (the stream at position r), or 0 when the row has no channel 1..8.
    int RowChannel(int row) const;
    bool AuthenticationShown() const { return m_ModelCode == 2 || m_ModelCode == 3; }

    void ShowAnswer(const link::ConfigurationRecord& record);

    ChaRow& Row(int row) { return m_Rows[static_cast<std::size_t>(row)]; }
    const ChaRow& Row(int row) const { return m_Rows[static_cast<std::size_t>(row)]; }
    // Every channel gets one common primary rate: choosing a position in any row sets it in
    // all eight.
    void ChooseRate(int position);
    bool sohLocal = true;
    bool sohMain = true;

    void MarkModified() { m_Modified = true; }
    bool Modified() const { return m_Modified; }
    void ClearModified() { m_Modified = false; }

    // Writes the enable mask, the 16 rate codes, the SOH frame byte, the three authentication
    // masks and the reserved words. Channels without a row keep the copy of the last answer,
    // and so does a row whose rate is unselected. Returns 1.
    int Fill(link::ConfigurationRecord& record) const;

private:
    int m_ModelCode = 0;
    int m_VisibleRows = kRows;
    std::vector<int> m_StreamNumbers; // channel number of stream j
    std::vector<std::string> m_Labels;
    std::array<ChaRow, kRows> m_Rows{};
    std::uint16_t m_EnableCopy = 0;
    std::array<std::uint8_t, 16> m_RateCopy{};
    bool m_Modified = false;
};

} // namespace nereid::instrument
