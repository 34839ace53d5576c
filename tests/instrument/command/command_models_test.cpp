// Command page models: the command code and payload record each order sends, worked out by
// hand from the relay word and damping layouts.

#include <gtest/gtest.h>

#include "instrument/command/model/command_models.h"
#include "link/command_builder.h"
#include "recording/stream_list.h"

using namespace nereid;
using namespace nereid::instrument;

namespace {

struct Sent {
    int result = 0;
    std::uint8_t code = 0;
    link::CommandRecord record;
    std::string message;
};

template <typename Model> Sent Execute(Model& model) {
    Sent s;
    s.result = model.Prepare(s.code, s.record, s.message);
    return s;
}

std::uint8_t ByteOf(const Sent& s) {
    const auto* b = std::get_if<link::ByteCommand>(&s.record.params);
    return b != nullptr ? b->value : 0xEE;
}

std::uint32_t RelayWordOf(const Sent& s) {
    const auto* r = std::get_if<link::RelayCommand>(&s.record.params);
    return r != nullptr ? r->relayWord : 0xDEADBEEF;
}

} // namespace

TEST(OrderModels, HeaderOnlyOrders) {
    const std::pair<CPlainOrderModel, std::uint8_t> orders[] = {{MakeColdResetModel(), 0x80},
                                                                {MakeWarmResetModel(), 0x81},
                                                                {MakePowerOffModel(), 0x82},
                                                                {MakeFlushModel(), 0x83}};
    for (auto [model, code] : orders) {
        const Sent s = Execute(model);
        EXPECT_EQ(s.result, kPrepared);
        EXPECT_EQ(s.code, code);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(s.record.params));
        EXPECT_EQ(s.record.header, 0);
    }
    EXPECT_STREQ(MakePowerOffModel().Caption(), "  Power  Off");
    EXPECT_STREQ(MakeFlushModel().Caption(), " Flush   Data");
}

TEST(OrderModels, ChoicesSendNothingUntilOneIsMade) {
    CAcquisitionModel acquisition;
    Sent s = Execute(acquisition);
    EXPECT_EQ(s.result, kNothingToSend); // not a silent "stop"
    EXPECT_EQ(s.message, "Choose \"Start\" or \"Stop\" first; nothing was sent.");
    acquisition.SetChoice(0);
    EXPECT_EQ(Execute(acquisition).code, 0x84);
    acquisition.SetChoice(1);
    EXPECT_EQ(Execute(acquisition).code, 0x85);

    CRealTimeModel realtime;
    s = Execute(realtime);
    EXPECT_EQ(s.result, kNothingToSend);
    EXPECT_EQ(s.message, "Choose \"Stop Real Time Data to PC\" or \"Start Real Time Data to PC\" "
                         "first; nothing was sent.");
    realtime.SetChoice(0);
    s = Execute(realtime);
    EXPECT_EQ(s.code, 0x94);
    EXPECT_EQ(ByteOf(s), 0);
    realtime.SetChoice(1);
    EXPECT_EQ(ByteOf(Execute(realtime)), 1);

    CPowerDownDriveModel drive;
    s = Execute(drive);
    EXPECT_EQ(s.result, kNothingToSend);
    EXPECT_EQ(s.message, "Choose \"B (PCMCIA Slot 1)\", \"C (PCMCIA Slot 2)\" or "
                         "\"D (SCSI Drive)\" first; nothing was sent.");
    for (int choice = 0; choice < 3; ++choice) {
        drive.SetChoice(choice);
        s = Execute(drive);
        EXPECT_EQ(s.code, 0x93);
        EXPECT_EQ(ByteOf(s), choice + 1);
    }

    CSwitchModel vpp = MakeVppModel();
    CSwitchModel led = MakeLedModel();
    EXPECT_EQ(Execute(vpp).result, kNothingToSend);
    EXPECT_EQ(Execute(led).result, kNothingToSend);
    vpp.SetChoice(0);
    led.SetChoice(0);
    EXPECT_EQ(Execute(vpp).code, 0x87);
    EXPECT_EQ(ByteOf(Execute(vpp)), 1);
    EXPECT_EQ(Execute(led).code, 0x88);
    EXPECT_EQ(ByteOf(Execute(led)), 1);
    led.SetChoice(1);
    EXPECT_EQ(ByteOf(Execute(led)), 0);
    led.ClearChoice();
    EXPECT_EQ(Execute(led).result, kNothingToSend);

    CAdcOffsetModel adc;
    s = Execute(adc);
    EXPECT_EQ(s.code, 0x95);
    EXPECT_EQ(ByteOf(s), 0xFF);
}

TEST(OrderModels, AdcOffsetPayloadOnTheWire) {
    CAdcOffsetModel adc;
    const Sent s = Execute(adc);
    std::vector<std::uint8_t> payload;
    ASSERT_EQ(link::CCommandBuilder::PackPayload(s.code, s.record, 0, false, payload), 1);
    EXPECT_EQ(payload, (std::vector<std::uint8_t>{0x00, 0x00, 0xFF}));
}

TEST(RelayModel, SixStreamsChannelOneShort) {
    recording::CStreamList streams;
    streams.SetStreams(6);
    CRelayModel relays;
    relays.SetStreams(streams);
    ASSERT_EQ(relays.RowCount(), 6);
    EXPECT_EQ(relays.RowAt(0).label, "1 ( Primary)");
    EXPECT_EQ(relays.RowAt(5).label, "6 ( Primary)");
    EXPECT_EQ(relays.RelayWord(), 0u);
    relays.RowAt(0).enabled = true;
    relays.RowAt(0).position = 2;
    const Sent s = Execute(relays);
    EXPECT_EQ(s.code, 0x86);
    EXPECT_EQ(RelayWordOf(s), 3u);
}

TEST(RelayModel, RowsPutTheirValueAtTheirChannelsBits) {
    recording::CStreamList streams;
    streams.SetStreams(6);
    CRelayModel relays;
    relays.SetStreams(streams);
    relays.RowAt(1).enabled = true; // channel 2 "L.B.": 2 at bits 2..3
    relays.RowAt(1).position = 1;
    relays.RowAt(5).enabled = true; // channel 6 "Sig": 1 at bits 10..11
    relays.RowAt(3).position = 2;   // channel 4 "Short" but not enabled: 0
    EXPECT_EQ(relays.RelayWord(), (2u << 2) | (1u << 10));
    // A fresh stream list resets every row to off with "Sig".
    relays.SetStreams(streams);
    EXPECT_EQ(relays.RelayWord(), 0u);
    EXPECT_FALSE(relays.RowAt(1).enabled);
    EXPECT_EQ(relays.RowAt(1).position, 0);
}

TEST(RelayModel, ThreeStreamsLeaveBitsSixAndAboveZero) {
    recording::CStreamList streams;
    streams.SetStreams(3);
    CRelayModel relays;
    relays.SetStreams(streams);
    ASSERT_EQ(relays.RowCount(), 3);
    for (int r = 0; r < CRelayModel::kMaxRows; ++r) {
        relays.RowAt(r).enabled = true; // rows beyond the shown ones count as off
        relays.RowAt(r).position = 2;
    }
    const std::uint32_t word = relays.RelayWord();
    EXPECT_EQ(word, 0x3Fu);
    EXPECT_EQ(word >> 6, 0u);
}

TEST(RangeCheck, FrameworkMessage) {
    long v = -1;
    std::string message;
    EXPECT_EQ(ParseRangedInteger(" 127 ", 0, 127, v, message), 1);
    EXPECT_EQ(v, 127);
    for (const char* bad : {"128", "-1", "", "12a", "0x10", "99999999999999999999"}) {
        EXPECT_EQ(ParseRangedInteger(bad, 0, 127, v, message), 0) << bad;
        EXPECT_EQ(message, "Please enter an integer between 0 and 127.");
    }
}

namespace {

link::FrameRecord DampingAnswer(std::uint8_t mask, std::array<std::uint16_t, 8> values) {
    link::FrameRecord f;
    f.type = link::kDampingSettingsType;
    f.status = 1;
    link::DampingSettings d;
    d.enableMask = mask;
    d.scale = values;
    f.decoded = d;
    return f;
}

} // namespace

TEST(DampingModel, AnswerFillsTheEntriesAndBecomesTheLastState) {
    CDampingModel damping;
    ASSERT_EQ(damping.ShowAnswer(DampingAnswer(0x81, {1, 2, 3, 4, 5, 6, 7, 127})), 1);
    EXPECT_TRUE(damping.Enabled(0));
    EXPECT_FALSE(damping.Enabled(1));
    EXPECT_TRUE(damping.Enabled(7));
    EXPECT_EQ(damping.Value(7), 127);
    Sent s;
    EXPECT_EQ(damping.PrepareEnables(s.code, s.record, s.message), kNothingToSend);
    EXPECT_EQ(s.message, "Resistor State did not change");
    EXPECT_EQ(damping.PrepareBoth(s.code, s.record, s.message), kNothingToSend);
    EXPECT_EQ(s.message, "Resistor Enable State and/or Values are not different from current "
                         "Lumen settings.  Changes must be detected before the command will be "
                         "sent.");
    // EXECUTE sends nothing on this page.
    EXPECT_EQ(Execute(damping).result, kNothingToSend);
}

TEST(DampingModel, WideSendTwiceSendsOnceThenSaysNotDifferent) {
    CDampingModel damping;
    damping.ShowAnswer(DampingAnswer(0, {}));
    damping.SetEnabled(2, true);
    Sent s;
    ASSERT_EQ(damping.PrepareBoth(s.code, s.record, s.message), kPrepared);
    EXPECT_EQ(s.code, 0x9B);
    const auto* both = std::get_if<link::DampingCommand>(&s.record.params);
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->enableMask, 0x04);
    EXPECT_EQ(damping.PrepareBoth(s.code, s.record, s.message), kNothingToSend);
    // The enable send compares with the same last state, now updated by the wide send.
    EXPECT_EQ(damping.PrepareEnables(s.code, s.record, s.message), kNothingToSend);
}

TEST(DampingModel, ChangingChannelTwoValueSends9BOnceAndMarksModified) {
    CDampingModel damping;
    damping.ShowAnswer(DampingAnswer(0x01, {10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_FALSE(damping.Modified());
    std::string message;
    ASSERT_EQ(damping.SetValueText(1, "21", message), 1);
    EXPECT_TRUE(damping.Modified());
    Sent s;
    ASSERT_EQ(damping.PrepareBoth(s.code, s.record, s.message), kPrepared);
    EXPECT_EQ(s.code, 0x9B);
    std::vector<std::uint8_t> payload;
    ASSERT_EQ(link::CCommandBuilder::PackPayload(s.code, s.record, 0, false, payload), 1);
    EXPECT_EQ(payload, (std::vector<std::uint8_t>{0, 0, 0x01, 10, 0, 21, 0, 30, 0, 40, 0, 50, 0, 60,
                                                  0, 70, 0, 80, 0}));
    EXPECT_EQ(damping.PrepareBoth(s.code, s.record, s.message), kNothingToSend);
    // Only the first two fields mark the page modified.
    CDampingModel other;
    ASSERT_EQ(other.SetValueText(5, "99", message), 1);
    EXPECT_FALSE(other.Modified());
}

TEST(DampingModel, ValueSendHasNoComparisonAndOutOfRangeIsRefused) {
    CDampingModel damping;
    damping.ShowAnswer(DampingAnswer(0, {5, 5, 5, 5, 5, 5, 5, 5}));
    Sent s;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(damping.PrepareValues(s.code, s.record, s.message), kPrepared);
        EXPECT_EQ(s.code, 0x97);
    }
    std::string message;
    EXPECT_EQ(damping.SetValueText(3, "128", message), 0);
    EXPECT_EQ(message, "Please enter an integer between 0 and 127.");
    EXPECT_EQ(damping.Value(3), 5); // the refused entry changed nothing
    damping.SetEnabled(4, true);
    ASSERT_EQ(damping.PrepareEnables(s.code, s.record, s.message), kPrepared);
    EXPECT_EQ(s.code, 0x98);
    EXPECT_EQ(ByteOf(s), 0x10);
    EXPECT_EQ(damping.PrepareEnables(s.code, s.record, s.message), kNothingToSend);
}
