// The real-time intake, with the channel table rebuilt from random stream lists between
// frames, as a configuration change does while the receiver thread is parked. Every ring
// keeps 120 rows of its rate, every slot and the time cursor stay in 0..119, a stored frame's
// samples are what the frame carried, and the recorder is handed exactly one row of the
// channel's rate per second.
#include "fuzz/fuzz_support.h"
#include "recording/channel_table.h"
#include "recording/intake.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace nereid::recording;

namespace {

class NoEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned, std::uintptr_t, long) override {}
};

class CheckingSink : public CSecondSink {
public:
    explicit CheckingSink(CChannelTable& table) : m_Table(table) {}
    int WriteSecond(int channel, const std::int32_t* samples, int bytes, int& progress) override {
        RtChannel* rec = m_Table.Find(channel);
        NEREID_FUZZ_CHECK(rec != nullptr);
        NEREID_FUZZ_CHECK(bytes == rec->rate * 4);
        // The row lies inside the channel's ring.
        NEREID_FUZZ_CHECK(samples >= rec->ring.data());
        NEREID_FUZZ_CHECK(samples + rec->rate <= rec->ring.data() + rec->ring.size());
        progress = -1;
        return failNext ? (failNext = false, 0) : 1;
    }
    bool failNext = false;

private:
    CChannelTable& m_Table;
};

void CheckTable(CChannelTable& table, const CIntakeState& state) {
    const int cursor = state.m_CurIndex.load();
    NEREID_FUZZ_CHECK(cursor >= 0 && cursor < kRingRows);
    for (const auto& [number, rec] : table.m_ChanMap) {
        NEREID_FUZZ_CHECK(number >= 1 && number <= 16);
        NEREID_FUZZ_CHECK(rec.ring.size() == static_cast<std::size_t>(kRingRows) * rec.rate);
        NEREID_FUZZ_CHECK(rec.slot >= 0 && rec.slot < kRingRows);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int kRates[] = {0, 1, 4, 10, 20, 50, 100, 200, 250, 500, 1000};
    FuzzedDataProvider in(data, size);
    CChannelTable table;
    table.SetRingByteLimit(std::size_t(16) << 20);
    CIntakeState state;
    NoEvents events;
    CheckingSink sink(table);
    CRealTimeIntake intake(table, state, events);
    intake.SetRecorder(&sink);
    std::uint32_t baseSecond = 1049383800u;

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: { // configuration changed: the table is rebuilt
            CStreamList streams;
            const int count = in.ConsumeIntegralInRange<int>(0, 16);
            for (int i = 0; i < count; ++i) {
                const int number = in.ConsumeIntegralInRange<int>(0, 17);
                streams.Streams().push_back(
                    {std::to_string(number), "", in.ConsumeBool(),
                     kRates[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kRates) - 1)]});
            }
            const int r = table.RebuildChannels(streams, nullptr, &state);
            NEREID_FUZZ_CHECK(r == 1 || r == kRebuildMemoryFailed);
            break;
        }
        case 1:
            intake.Resynchronise();
            break;
        case 2:
            state.m_bRecording.store(in.ConsumeBool());
            state.m_bResumePending.store(in.ConsumeBool());
            sink.failNext = in.ConsumeBool();
            break;
        case 3:
            state.m_RestartSecond.store(in.ConsumeBool() ? kRestartArmed : 0);
            break;
        default: { // a data frame, mostly of a nearby second
            std::vector<std::uint8_t> frame = in.ConsumeBytes<std::uint8_t>(
                in.ConsumeIntegralInRange<std::size_t>(0, 11 + 3 * 1100));
            if (frame.size() >= 8 && in.ConsumeBool()) {
                baseSecond += in.ConsumeIntegralInRange<std::uint32_t>(0, 3);
                for (int i = 0; i < 4; ++i)
                    frame[4 + i] = static_cast<std::uint8_t>(baseSecond >> (8 * i));
            }
            RtChannel* before = frame.size() >= kFrameSamplesOffset
                                    ? table.Find((frame[kFrameChannelOffset] & 0x0F) + 1)
                                    : nullptr;
            const std::uint32_t lastBefore = before != nullptr ? before->lastSecond : 0;
            intake.HandleDataFrame(frame.data(), frame.size());
            CheckTable(table, state);
            if (before != nullptr && frame.size() >= kFrameSamplesOffset) {
                std::uint32_t sec = 0;
                for (int i = 0; i < 4; ++i)
                    sec |= std::uint32_t(frame[4 + i]) << (8 * i);
                if (before->lastSecond == sec && lastBefore != sec && before->rate > 0) {
                    // Just stored: its row holds the frame's samples, zeros after them.
                    const std::size_t carried = (frame.size() - kFrameSamplesOffset) / 3;
                    const std::int32_t* row = before->Row(before->slot);
                    for (std::size_t i = 0; i < static_cast<std::size_t>(before->rate); ++i) {
                        const std::int32_t want =
                            i < carried ? DecodeSample24(&frame[kFrameSamplesOffset + 3 * i]) : 0;
                        NEREID_FUZZ_CHECK(row[i] == want);
                    }
                }
            }
            break;
        }
        }
    }
    return 0;
}
