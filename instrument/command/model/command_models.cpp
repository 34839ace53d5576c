#include "instrument/command/model/command_models.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "recording/stream_list.h"

namespace nereid::instrument {

std::string RangeMessage(long low, long high) {
    return "Please enter an integer between " + std::to_string(low) + " and " +
           std::to_string(high) + ".";
}

int ParseRangedInteger(const std::string& text, long low, long high, long& value,
                       std::string& message) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    const std::string trimmed =
        first == std::string::npos ? "" : text.substr(first, last - first + 1);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(trimmed.c_str(), &end, 10);
    if (trimmed.empty() || errno != 0 || end == nullptr || *end != '\0' || v < low || v > high) {
        message = RangeMessage(low, high);
        return 0;
    }
    value = v;
    message.clear();
    return 1;
}

CPlainOrderModel MakeColdResetModel() {
    return CPlainOrderModel(kColdResetPage, "Cold Reset", 0x80);
}
CPlainOrderModel MakeWarmResetModel() {
    return CPlainOrderModel(kWarmResetPage, "Warm Reset", 0x81);
}
CPlainOrderModel MakePowerOffModel() {
    return CPlainOrderModel(kPowerOffPage, "  Power  Off", 0x82);
}
CPlainOrderModel MakeFlushModel() {
    return CPlainOrderModel(kFlushPage, " Flush   Data", 0x83);
}

namespace {

int ByteOrder(std::uint8_t order, std::uint8_t value, std::uint8_t& code,
              link::CommandRecord& record, std::string& message) {
    code = order;
    record = link::CommandRecord{};
    record.params = link::ByteCommand{value};
    message.clear();
    return kPrepared;
}

// With no radio button chosen nothing is sent: a default order (stop acquisition, switch the
// supply off) is not what the operator asked for, and its "Accepted" would read as if it were.
template <std::size_t N> int NothingChosen(const char* const (&choices)[N], std::string& message) {
    message = "Choose ";
    for (std::size_t k = 0; k < N; ++k) {
        message += k == 0 ? "" : k + 1 == N ? " or " : ", ";
        message += std::string("\"") + choices[k] + "\"";
    }
    message += " first; nothing was sent.";
    return kNothingToSend;
}

} // namespace

int CPowerDownDriveModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                                  std::string& message) {
    const int choice = Choice();
    if (choice < 0 || choice > 2) {
        return NothingChosen(kChoices, message);
    }
    const auto drive = static_cast<std::uint8_t>(choice + 1);
    return ByteOrder(0x93, drive, code, record, message);
}

int CAcquisitionModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                               std::string& message) {
    if (Choice() < 0) {
        return NothingChosen(kChoices, message);
    }
    code = Choice() == 0 ? 0x84 : 0x85;
    record = link::CommandRecord{};
    message.clear();
    return kPrepared;
}

int CSwitchModel::Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) {
    if (Choice() < 0) {
        return NothingChosen(kChoices, message);
    }
    return ByteOrder(m_Code, Choice() == 0 ? 1 : 0, code, record, message);
}

CSwitchModel MakeVppModel() {
    return CSwitchModel(kVppPage, "Vpp Supply", 0x87);
}
CSwitchModel MakeLedModel() {
    return CSwitchModel(kLedPage, "LED Display", 0x88);
}

int CRealTimeModel::Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) {
    const int choice = Choice();
    if (choice != 0 && choice != 1) {
        return NothingChosen(kChoices, message);
    }
    return ByteOrder(0x94, static_cast<std::uint8_t>(choice), code, record, message);
}

int CAdcOffsetModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                             std::string& message) {
    return ByteOrder(0x95, 0xFF, code, record, message);
}

void CRelayModel::SetStreams(const recording::CStreamList& streams) {
    const auto& list = streams.Streams();
    m_RowCount = std::min(static_cast<int>(list.size() / 2), kMaxRows);
    m_StreamNumbers.clear();
    for (const recording::StreamEntry& s : list)
        m_StreamNumbers.push_back(std::atoi(s.number.c_str()));
    for (int r = 0; r < kMaxRows; ++r) {
        Row& row = m_Rows[static_cast<std::size_t>(r)];
        row = Row{};
        if (r < m_RowCount) {
            const recording::StreamEntry& s = list[static_cast<std::size_t>(r)];
            row.label = s.number + " ( " + s.description + ")";
        }
    }
}

std::uint32_t CRelayModel::RelayWord() const {
    std::uint32_t word = 0;
    for (std::size_t j = 0; j < m_StreamNumbers.size(); ++j) {
        const int c = m_StreamNumbers[j];
        if (c < 1 || c > 16)
            continue;
        std::uint32_t value = 0;
        if (static_cast<int>(j) < m_RowCount && m_Rows[j].enabled)
            value = 1 + static_cast<std::uint32_t>(std::clamp(m_Rows[j].position, 0, 2));
        const unsigned shift = 2u * static_cast<unsigned>(c - 1);
        word = (word & ~(3u << shift)) | (value << shift);
    }
    return word;
}

int CRelayModel::Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) {
    code = 0x86;
    record = link::CommandRecord{};
    record.params = link::RelayCommand{RelayWord()};
    message.clear();
    return kPrepared;
}

int CDampingModel::Prepare(std::uint8_t&, link::CommandRecord&, std::string& message) {
    message.clear();
    return kNothingToSend;
}

int CDampingModel::ShowAnswer(const link::FrameRecord& answer) {
    const auto* settings = std::get_if<link::DampingSettings>(&answer.decoded);
    if (answer.type != link::kDampingSettingsType || settings == nullptr)
        return 0;
    for (int k = 0; k < kChannels; ++k) {
        const auto i = static_cast<std::size_t>(k);
        m_Enables[i] = (settings->enableMask >> k) & 1u;
        m_Values[i] = settings->scale[i];
    }
    m_LastEnables = m_Enables;
    m_LastValues = m_Values;
    return 1;
}

std::vector<PageField> CDampingModel::Fields() const {
    std::vector<PageField> f;
    for (int k = 0; k < kChannels; ++k) {
        const std::string channel = "Channel " + std::to_string(k + 1);
        f.push_back({channel + " Enable", YesNo(Enabled(k)), PageField::kFlag, Enabled(k)});
        f.push_back(
            {channel + " Scale Value", std::to_string(Value(k)), PageField::kNumber, false});
    }
    return f;
}

int CDampingModel::SetValueText(int k, const std::string& text, std::string& message) {
    long value = 0;
    if (ParseRangedInteger(text, 0, 127, value, message) != 1)
        return 0;
    const auto i = static_cast<std::size_t>(k);
    if (k < 2 && m_Values[i] != static_cast<std::uint16_t>(value))
        SetModified(true);
    m_Values[i] = static_cast<std::uint16_t>(value);
    return 1;
}

std::uint8_t CDampingModel::EnableMask() const {
    std::uint8_t mask = 0;
    for (int k = 0; k < kChannels; ++k)
        if (Enabled(k))
            mask = static_cast<std::uint8_t>(mask | (1u << k));
    return mask;
}

int CDampingModel::PrepareEnables(std::uint8_t& code, link::CommandRecord& record,
                                  std::string& message) {
    if (m_Enables == m_LastEnables) {
        message = kUnchangedEnables;
        return kNothingToSend;
    }
    m_LastEnables = m_Enables;
    return ByteOrder(0x98, EnableMask(), code, record, message);
}

int CDampingModel::PrepareValues(std::uint8_t& code, link::CommandRecord& record,
                                 std::string& message) {
    code = 0x97;
    record = link::CommandRecord{};
    record.params = link::DampingValuesCommand{m_Values};
    message.clear();
    return kPrepared;
}

int CDampingModel::PrepareBoth(std::uint8_t& code, link::CommandRecord& record,
                               std::string& message) {
    if (m_Enables == m_LastEnables && m_Values == m_LastValues) {
        message = kUnchangedBoth;
        return kNothingToSend;
    }
    m_LastEnables = m_Enables;
    m_LastValues = m_Values;
    code = 0x9B;
    record = link::CommandRecord{};
    record.params = link::DampingCommand{EnableMask(), m_Values};
    message.clear();
    return kPrepared;
}

} // namespace nereid::instrument
