#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::recording {
class CStreamList;
}

namespace nereid::instrument {

// The framework's refusal of a number outside its range.
std::string RangeMessage(long low, long high);
// Reads a whole number in low..high from `text` (spaces around allowed). Returns 1, or 0 with
// RangeMessage in `message`.
int ParseRangedInteger(const std::string& text, long low, long high, long& value,
                       std::string& message);

// The orders that carry nothing but the header word.
CPlainOrderModel MakeColdResetModel(); // "Cold Reset", 0x80
CPlainOrderModel MakeWarmResetModel(); // "Warm Reset", 0x81
CPlainOrderModel MakePowerOffModel();  // "  Power  Off", 0x82
CPlainOrderModel MakeFlushModel();     // " Flush   Data", 0x83

// A page with a set of radio buttons of which none may be chosen yet (-1).
class CChoiceModel : public CPageModel {
public:
    int Choice() const { return m_Choice; }
    void SetChoice(int choice) { m_Choice = choice; }
    void ClearChoice() { m_Choice = -1; }

private:
    int m_Choice = -1;
};

// "Power Down Drive" (model code 17): choice 0 B, 1 C, 2 D; sends 0x93 with 1, 2 or 3. The
// choice pages send nothing while no choice is made (the message names the choices).
class CPowerDownDriveModel : public CChoiceModel {
public:
    static constexpr const char* kChoices[3] = {"B (PCMCIA Slot 1)", "C (PCMCIA Slot 2)",
                                                "D (SCSI Drive)"};
    int DialogId() const override { return kPowerDownDrivePage; }
    const char* Caption() const override { return "Power Down Drive"; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
};

// "Acquisition": choice 0 "Start" sends 0x84; "Stop" sends 0x85.
class CAcquisitionModel : public CChoiceModel {
public:
    static constexpr const char* kChoices[2] = {"Start", "Stop"};
    int DialogId() const override { return kAcquisitionPage; }
    const char* Caption() const override { return "Acquisition"; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
};

// "Vpp Supply" and "LED Display": choice 0 "On" sends 1; "Off" sends 0.
class CSwitchModel : public CChoiceModel {
public:
    static constexpr const char* kChoices[2] = {"On", "Off"};
    CSwitchModel(int dialogId, const char* caption, std::uint8_t code)
        : m_DialogId(dialogId), m_Caption(caption), m_Code(code) {}
    int DialogId() const override { return m_DialogId; }
    const char* Caption() const override { return m_Caption; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;

private:
    int m_DialogId;
    const char* m_Caption;
    std::uint8_t m_Code;
};
CSwitchModel MakeVppModel(); // "Vpp Supply", 0x87
CSwitchModel MakeLedModel(); // "LED Display", 0x88

// "Real Time Data to PC" (model code 17): choice 0 stop sends 0, 1 start sends 1; command
// 0x94.
class CRealTimeModel : public CChoiceModel {
public:
    static constexpr const char* kChoices[2] = {"Stop Real Time Data to PC",
                                                "Start Real Time Data to PC"};
    int DialogId() const override { return kRealTimePage; }
    const char* Caption() const override { return "Real Time Data to PC"; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
};

// "ADC Offset Calibration": 0x95 with 0xFF.
class CAdcOffsetModel : public CPageModel {
public:
    int DialogId() const override { return kAdcOffsetPage; }
    const char* Caption() const override { return "ADC Offset Calibration"; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
};

// "Relays": one row per primary stream of the stream list (half its streams), each with an
// "Enable" box and a position "Sig" 0, "L.B." 1, "Short" 2. The relay word gives channel c
// (1..16) bits 2(c-1)..2(c-1)+1: 0 off, else 1 + position. Streams without a row are 0.
class CRelayModel : public CPageModel {
public:
    static constexpr int kMaxRows = 16;
    static constexpr const char* kPositions[3] = {"Sig", "L.B.", "Short"};
    struct Row {
        std::string label; // number text, " ( ", second text, ")"
        bool enabled = false;
        int position = 0;
    };

    int DialogId() const override { return kRelaysPage; }
    const char* Caption() const override { return "Relays"; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;

    // Rebuilds the rows from the stream list: every row off with "Sig".
    void SetStreams(const recording::CStreamList& streams);
    int RowCount() const { return m_RowCount; }
    Row& RowAt(int r) { return m_Rows[static_cast<std::size_t>(r)]; }
    const Row& RowAt(int r) const { return m_Rows[static_cast<std::size_t>(r)]; }
    std::uint32_t RelayWord() const;

private:
    std::array<Row, kMaxRows> m_Rows{};
    int m_RowCount = 0;
    std::vector<int> m_StreamNumbers; // channel number of stream j, in list order
};

// "Damping Resistor Control and Status" (model code 3): eight enables and scale values
// 0..127, and the state last received or sent, which decides whether the enable and the wide
// "Send" buttons have anything to send. EXECUTE sends nothing on this page.
class CDampingModel : public CPageModel {
public:
    static constexpr int kChannels = 8;
    static constexpr const char* kUnchangedEnables = "Resistor State did not change";
    static constexpr const char* kUnchangedBoth =
        "Resistor Enable State and/or Values are not different from current Lumen settings.  "
        "Changes must be detected before the command will be sent.";

    int DialogId() const override { return kDampingPage; }
    const char* Caption() const override { return "Damping Resistor Control and Status"; }
    std::uint8_t QueryCode() const override { return 0xBB; }
    // EXECUTE: nothing; the page has its own buttons.
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
    // An accepted 0xBB answer fills the entries and becomes the last state.
    int ShowAnswer(const link::FrameRecord& answer) override;
    std::vector<PageField> Fields() const override;

    bool Enabled(int k) const { return m_Enables[static_cast<std::size_t>(k)]; }
    void SetEnabled(int k, bool on) { m_Enables[static_cast<std::size_t>(k)] = on; }
    std::uint16_t Value(int k) const { return m_Values[static_cast<std::size_t>(k)]; }
    // Reads channel k's value field with the 0..127 check. Returns 1, or 0 with the
    // framework's message. Editing the first two fields marks the page modified.
    int SetValueText(int k, const std::string& text, std::string& message);
    std::uint8_t EnableMask() const;

    // The "Send" under the enable column: 0x98, or kNothingToSend with kUnchangedEnables.
    int PrepareEnables(std::uint8_t& code, link::CommandRecord& record, std::string& message);
    // The "Send" under the value column: 0x97 with the eight values, no comparison.
    int PrepareValues(std::uint8_t& code, link::CommandRecord& record, std::string& message);
    // The wide "Send": 0x9B, or kNothingToSend with kUnchangedBoth.
    int PrepareBoth(std::uint8_t& code, link::CommandRecord& record, std::string& message);

private:
    std::array<bool, kChannels> m_Enables{};
    std::array<std::uint16_t, kChannels> m_Values{};
    std::array<bool, kChannels> m_LastEnables{};
    std::array<std::uint16_t, kChannels> m_LastValues{};
};

} // namespace nereid::instrument
