#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

// "Hardware": serial number, the hardware flags, the model name and the software version, from
// the 0xB0 answer 'P'.
class CHardwareModel : public CPageModel {
public:
    int DialogId() const override { return kHardwarePage; }
    const char* Caption() const override { return "Hardware"; }
    std::uint8_t QueryCode() const override { return 0xB0; }
    int ShowAnswer(const link::FrameRecord& answer) override;
    std::vector<PageField> Fields() const override;

    void Show(std::uint16_t serial, const link::HardwareStatus& status);
    bool HasAnswer() const { return m_HasAnswer; }
    int ModelCode() const { return m_Status.modelCode; }

private:
    bool m_HasAnswer = false;
    std::uint16_t m_Serial = 0;
    link::HardwareStatus m_Status{};
};

// "State of Health": the analogue readings and switches of the 0xB1 answer 'Q'. The scaling
// of "Ext. Supply" and the "Case Enclosure" switch depend on the model code the Status sheet
// saw at its first opening.
class CStateOfHealthModel : public CPageModel {
public:
    static constexpr int kFields = 16;
    static constexpr const char* kLabels[kFields] = {
        "Spare",      "CPU Temp",    "Vpp Supply",  "-15V Supply", "+15V Supply",    "-5V Supply",
        "+5V Supply", "Ext. Supply", "Event Input", "Exp. Temp",   "Case Enclosure", "SOH 11",
        "SOH 12",     "SOH 13",      "SOH 14",      "SOH 15"};
    // Units beside the values ("" for the switches and the undecoded words).
    static constexpr const char* kUnits[kFields] = {
        "Volts", "Deg C", "Volts", "Volts", "Volts", "Volts", "Volts", "Volts",
        "",      "Deg C", "",      "",      "",      "",      "",      ""};

    int DialogId() const override { return kStateOfHealthPage; }
    const char* Caption() const override { return "State of Health"; }
    std::uint8_t QueryCode() const override { return 0xB1; }
    int ShowAnswer(const link::FrameRecord& answer) override;
    std::vector<PageField> Fields() const override;

    void SetModelCode(int modelCode) { m_ModelCode = modelCode; }
    int ModelCode() const { return m_ModelCode; }
    // Decodes the sixteen words (the switches of words 8 and 10 read their low byte, the
    // answer bytes at offsets 19 and 23).
    void Show(const std::array<std::uint16_t, 16>& words);
    const std::array<std::string, kFields>& Texts() const { return m_Texts; }

private:
    int m_ModelCode = 0;
    std::array<std::string, kFields> m_Texts{"", "", "", "",    "",    "",    "",    "",
                                             "", "", "", "N/A", "N/A", "N/A", "N/A", "N/A"};
};

// "GPS Information": the clock group and, with sync mode 2 only, the GPS group of the 0xB4
// answer 'T'.
class CGpsModel : public CPageModel {
public:
    static constexpr int kFields = 18;
    // Page order: the clock group (first four), then the fourteen GPS fields.
    static constexpr const char* kLabels[kFields] = {"Sync Mode",
                                                     "Clock Status",
                                                     "Difference",
                                                     "Ext Input",
                                                     "Power",
                                                     "Lock",
                                                     "Error",
                                                     "Source",
                                                     "Age",
                                                     "Altitude",
                                                     "Vertical Velocity",
                                                     "Latitude",
                                                     "Longitude",
                                                     "Speed",
                                                     "Heading",
                                                     "UTC Offset",
                                                     "UTC Valid",
                                                     "Usable SV"};

    int DialogId() const override { return kGpsPage; }
    const char* Caption() const override { return "GPS Information"; }
    std::uint8_t QueryCode() const override { return 0xB4; }
    int ShowAnswer(const link::FrameRecord& answer) override;
    std::vector<PageField> Fields() const override;

    void Show(const link::GpsInformation& gps);
    const std::array<std::string, kFields>& Texts() const { return m_Texts; }

private:
    std::array<std::string, kFields> m_Texts{};
};

// A latitude or longitude: whole degrees plus the fraction in 0.00001 degree, summed in
// extended precision and rounded to single precision; "+%f" above 0, else "%f".
std::string CoordinateText(std::int16_t degrees, std::int32_t fraction);

// The value text of a state-of-health word k (0..15) as the page shows it.
std::string HealthText(int word, std::uint16_t value, int modelCode);

// The status page that an accepted answer belongs to, by the code of the query sent: 0xB0
// "Hardware", 0xB1 "State of Health", 0xB7 "Drive Status", anything else "GPS Information".
int StatusPageForCode(std::uint8_t code);

} // namespace nereid::instrument
