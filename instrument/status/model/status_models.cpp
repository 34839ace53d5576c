#include "instrument/status/model/status_models.h"

#include <cstdio>

namespace nereid::instrument {

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Integer(long value) {
    return std::to_string(value);
}

// A coded byte: its text, or empty when the code is outside the table.
std::string Coded(std::uint8_t value, std::initializer_list<std::pair<int, const char*>> table) {
    for (const auto& [code, text] : table)
        if (code == value)
            return text;
    return "";
}

bool IsNumberText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("+-0123456789.") == std::string::npos;
}

} // namespace

void CHardwareModel::Show(std::uint16_t serial, const link::HardwareStatus& status) {
    m_Serial = serial;
    m_Status = status;
    m_HasAnswer = true;
}

int CHardwareModel::ShowAnswer(const link::FrameRecord& answer) {
    const auto* status = std::get_if<link::HardwareStatus>(&answer.decoded);
    if (answer.type != link::kHardwareStatusType || status == nullptr)
        return 0;
    Show(answer.header, *status);
    return 1;
}

std::vector<PageField> CHardwareModel::Fields() const {
    const link::HardwareStatus& s = m_Status;
    const bool a = m_HasAnswer;
    auto flag = [a](const char* label, bool yes) {
        return PageField{label, a ? YesNo(yes) : "", PageField::kText, false};
    };
    std::vector<PageField> f;
    f.push_back({"Serial Number.....:", a ? Integer(m_Serial) : "", PageField::kNumber, false});
    f.push_back(flag("DSP Found", s.dspFound == 1));
    f.push_back(flag("Expansion Enabled", s.expansionEnabled == 1));
    f.push_back(flag("PCMCIA Controller", s.pcmciaController == 1));
    f.push_back(flag("PC Card In Slot 1", s.pcCardSlot1 != 0));
    f.push_back(flag("PC Card In Slot 2", s.pcCardSlot2 == 1));
    f.push_back(flag("PC Card In Internal", s.pcCardInternal == 1));
    f.push_back(flag("SCSI Controller", s.scsiController == 1));
    f.push_back(flag("SCSI Drive In Bay", s.scsiDriveInBay == 1));
    f.push_back(flag("ADC 0 Found", s.adc0Found != 0));
    f.push_back(flag("ADC 0 PB Found", s.adc0PbFound != 0));
    f.push_back(flag("ADC 1 Found", s.adc1Found != 0));
    f.push_back(flag("ADC 1 PB Found", s.adc1PbFound != 0));
    f.push_back(flag("External Bus Enabled", s.externalBusEnabled == 1));
    f.push_back(flag("Calibrator Found", s.calibratorFound == 1));
    f.push_back(flag("Modem On Local S.P.", s.modemLocalPort == 1));
    f.push_back(flag("Modem On Main S.P.", s.modemMainPort == 1));
    f.push_back(flag("Modem In Slot 1", s.modemSlot1 == 1));
    f.push_back(flag("Modem In Slot 2", s.modemSlot2 == 1));
    f.push_back(flag("Modem In Internal", s.modemInternal == 1));
    f.push_back({"Nereid Type", a ? ModelName(s.modelCode) : "", PageField::kText, false});
    char version[16] = "";
    if (a)
        std::snprintf(version, sizeof version, "%.2d.%.2d", s.softwareMajor, s.softwareMinor);
    f.push_back({"Software Version", version, PageField::kText, false});
    return f;
}

std::string HealthText(int word, std::uint16_t value, int modelCode) {
    const double n = value & 0xFFF;
    const bool lumen = modelCode == kLumenModel;
    switch (word) {
    case 0:
        return Format("%.3f", n * (-4.884) / 1000 + 10);
    case 1:
        return Format("%.3f", n * 0.030525 - 50);
    case 2:
    case 4:
        return Format("%.3f", n * 6.166 / 1000);
    case 3:
        return Format("%.3f", n * (-6.105) / 1000);
    case 5:
        return Format("%.3f", n * (-1.832) / 1000);
    case 6:
        return Format("%.3f", n * 1.832 / 1000);
    case 7:
        return Format("%.3f", lumen ? n * 7.355 / 1000 : n * 6.166 / 1000);
    case 8:
        // The switch is the low byte alone (answer offset 19); the 12-bit mask does not apply.
        return (value & 0xFF) != 0 ? "CLOSED" : "Open";
    case 9:
        return Format("%.3f", n * 0.5);
    case 10:
        if (!lumen)
            return "N/A";
        return (value & 0xFF) != 0 ? "CLOSED" : "Open";
    default:
        return "N/A";
    }
}

void CStateOfHealthModel::Show(const std::array<std::uint16_t, 16>& words) {
    for (int k = 0; k < kFields; ++k)
        m_Texts[static_cast<std::size_t>(k)] =
            HealthText(k, words[static_cast<std::size_t>(k)], m_ModelCode);
}

int CStateOfHealthModel::ShowAnswer(const link::FrameRecord& answer) {
    const auto* health = std::get_if<link::StateOfHealth>(&answer.decoded);
    if (answer.type != link::kStateOfHealthType || health == nullptr)
        return 0;
    Show(health->words);
    return 1;
}

std::vector<PageField> CStateOfHealthModel::Fields() const {
    std::vector<PageField> f;
    for (int k = 0; k < kFields; ++k) {
        const std::string& text = m_Texts[static_cast<std::size_t>(k)];
        f.push_back(
            {kLabels[k], text, IsNumberText(text) ? PageField::kNumber : PageField::kText, false});
    }
    return f;
}

std::string CoordinateText(std::int16_t degrees, std::int32_t fraction) {
    const long double sum = static_cast<long double>(degrees) + fraction * 0.00001L;
    const float value = static_cast<float>(sum);
    return Format(value > 0 ? "+%f" : "%f", static_cast<double>(value));
}

void CGpsModel::Show(const link::GpsInformation& g) {
    auto& t = m_Texts;
    t[0] = Coded(g.syncMode, {{0, "None"}, {1, "Ext1pps"}, {2, "GPS"}});
    t[1] = Coded(g.clockStatus, {{0, "Unlocked"}, {1, "Locked"}});
    t[2] = Integer(g.difference);
    t[3] = Coded(g.extInput, {{0, "Not Present"}, {1, "Present"}});
    if (g.syncMode != 2) {
        for (int k = 4; k < kFields; ++k)
            t[static_cast<std::size_t>(k)].clear();
        return;
    }
    t[4] = Coded(g.power, {{0, "OFF"}, {1, "ON"}});
    t[5] = Coded(g.lock, {{0, "Unlocked"}, {1, "Locked"}});
    t[6] = Integer(g.error);
    t[7] = Coded(g.source, {{0, "GPS 2D"},
                            {1, "GPS 3D"},
                            {2, "DGPS 2D"},
                            {3, "DGPS 3D"},
                            {6, "DR"},
                            {8, "DDR"},
                            {9, "Unknown"}});
    t[8] = Coded(g.age, {{0, "Not Available"}, {1, "Old"}, {2, "New"}});
    t[9] = Integer(g.altitude);
    t[10] = Integer(g.verticalVelocity);
    t[11] = CoordinateText(g.latitudeDegrees, g.latitudeFraction);
    t[12] = CoordinateText(g.longitudeDegrees, g.longitudeFraction);
    t[13] = Integer(g.speed);
    t[14] = Integer(g.heading);
    t[15] = Integer(g.utcOffset);
    t[16] = Coded(g.utcValid, {{0, "Invalid"}, {1, "Valid"}});
    t[17] = Integer(g.usableSv);
}

int CGpsModel::ShowAnswer(const link::FrameRecord& answer) {
    const auto* gps = std::get_if<link::GpsInformation>(&answer.decoded);
    if (answer.type != link::kGpsInformationType || gps == nullptr)
        return 0;
    Show(*gps);
    return 1;
}

std::vector<PageField> CGpsModel::Fields() const {
    std::vector<PageField> f;
    for (int k = 0; k < kFields; ++k) {
        const std::string& text = m_Texts[static_cast<std::size_t>(k)];
        f.push_back(
            {kLabels[k], text, IsNumberText(text) ? PageField::kNumber : PageField::kText, false});
    }
    return f;
}

int StatusPageForCode(std::uint8_t code) {
    switch (code) {
    case 0xB0:
        return kHardwarePage;
    case 0xB1:
        return kStateOfHealthPage;
    case 0xB7:
        return kDriveStatusPage;
    default:
        return kGpsPage;
    }
}

} // namespace nereid::instrument
