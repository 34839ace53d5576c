// The internal recording setup through the page models against nereid-sim: what the recorder
// sends is what goes back, byte for byte.

#include <gtest/gtest.h>

#include <vector>

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "link/command_builder.h"
#include "tests/sim/sim_process.h"

namespace nereid::instrument {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::test::PcSide;
using sim::test::SimProcess;

// The 0x8F payload an answer holds: the answer without its status byte at offset 2, and with
// the header word 0 as the PC sends it (the recorder puts its serial number there).
Bytes AsCommand(const Bytes& answer) {
    Bytes p{0, 0};
    for (std::size_t k = 3; k < answer.size(); ++k) {
        p.push_back(answer[k]);
    }
    return p;
}

Bytes Pack(const link::InternalRecordingRecord& record) {
    link::CommandRecord command;
    command.params = record;
    Bytes payload;
    EXPECT_EQ(link::CCommandBuilder::PackPayload(kWriteSetupCode, command, 17, false, payload), 1);
    return payload;
}

int ReadSetup(PcSide& pc, CIRSetupModel& setup, Bytes& answer) {
    link::FrameRecord frame;
    const int r = pc.Transact(kReadSetupCode, link::CommandRecord{}, frame);
    if (r == 1) {
        answer = frame.payload;
        setup.Decode(std::get<link::InternalRecordingRecord>(frame.decoded));
    }
    return r;
}

TEST(InternalRecordingSim, AnAnswerSentBackUnchangedIsByteIdentical) {
    SimProcess sim({"--station", "XQ"});
    PcSide pc(sim.Link());
    ASSERT_TRUE(pc.IsOpen());
    CIRSetupModel setup;
    Bytes answer;
    ASSERT_EQ(ReadSetup(pc, setup, answer), 1);
    ASSERT_EQ(answer.size(), 474u);
    const Bytes command = Pack(setup.Encode());
    EXPECT_EQ(command, AsCommand(answer));

    link::FrameRecord ack;
    link::CommandRecord record;
    record.params = setup.Encode();
    ASSERT_EQ(pc.Transact(kWriteSetupCode, record, ack), 1);
    Bytes again;
    ASSERT_EQ(ReadSetup(pc, setup, again), 1);
    EXPECT_EQ(again, answer);
}

TEST(InternalRecordingSim, AChangeOnEveryPageIsSentAndReadBack) {
    SimProcess sim({});
    PcSide pc(sim.Link());
    ASSERT_TRUE(pc.IsOpen());
    CIRSetupModel setup;
    Bytes answer;
    ASSERT_EQ(ReadSetup(pc, setup, answer), 1);
    setup.station.SetEditorText("AB");
    setup.continuous.edit.startMode = kStartAtTime;
    setup.continuous.edit.start = {2, 30, 2027, 10, 30, 0};
    setup.continuous.SetFileSizePosition(3);
    setup.event.edit.startMode = kStartDelayed;
    setup.event.edit.delayValue = 2;
    setup.event.edit.delayUnit = kIRHours;
    setup.event.edit.postEvent = CorrectPostEvent(0);
    setup.event.edit.totalVotes = CorrectTotalVotes(-150);
    std::string message;
    ASSERT_EQ(setup.window.Select(2, message), 1);
    setup.window.Current().enabled = true;
    setup.window.Current().duration = {1, 0, 0};
    setup.window.Current().interval = {0, 59, 59};
    ASSERT_EQ(setup.PrepareSend(kIRWindowPage, message), -1);
    ASSERT_EQ(setup.PrepareSend(kIRWindowPage, message), 1);
    setup.soh.edit.enabled[4] = true;
    setup.status.edit.drive = 3;
    ASSERT_EQ(setup.PrepareSend(kIRContinuousPage, message), 1);
    const link::InternalRecordingRecord sent = setup.Encode();

    link::FrameRecord ack;
    link::CommandRecord record;
    record.params = sent;
    ASSERT_EQ(pc.Transact(kWriteSetupCode, record, ack), 1);
    CIRSetupModel readBack;
    ASSERT_EQ(ReadSetup(pc, readBack, answer), 1);
    EXPECT_EQ(AsCommand(answer), Pack(sent));
    EXPECT_EQ(readBack.station.CurrentValue(), "AB  ");
    EXPECT_EQ(readBack.continuous.edit.start, (IRDateTime{2, 28, 2027, 10, 30, 0}));
    EXPECT_EQ(readBack.continuous.edit.fileSizeSeconds, 1800u);
    EXPECT_EQ(readBack.event.edit.delayValue, 7200);
    EXPECT_EQ(readBack.event.edit.postEvent, 1);
    EXPECT_EQ(readBack.event.edit.totalVotes, -99);
    EXPECT_EQ(readBack.window.edit.windows[2].interval, (IRSpan{1, 0, 1}));
    EXPECT_TRUE(readBack.soh.edit.enabled[4]);
    EXPECT_EQ(readBack.status.edit.drive, 3);
}

} // namespace
} // namespace nereid::instrument
