#include "recording/intake.h"

#include <algorithm>
#include <cstring>

namespace nereid::recording {

namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

} // namespace

CRealTimeIntake::CRealTimeIntake(CChannelTable& table, CIntakeState& state, CIntakeEvents& events)
    : m_Table(table), m_State(state), m_Events(events) {}

int CRealTimeIntake::NormaliseSlot(int slot) {
    if (slot < 0) {
        return 0;
    }
    return slot % kRingRows;
}

void CRealTimeIntake::Resynchronise() {
    m_State.m_LastSecond.store(0);
    m_State.m_TimeStamps.fill(BcdTime::FromSeconds(0));
    for (auto& [number, rec] : m_Table.m_ChanMap) {
        std::fill(rec.ring.begin(), rec.ring.end(), 0);
        rec.rowSecond.fill(0);
        rec.rowGap.fill(0);
    }
}

void CRealTimeIntake::StoreSamples(RtChannel& rec, int chan, std::uint32_t sec, int row,
                                   const std::uint8_t* payload, std::size_t length) {
    if (rec.rate <= 0 || rec.ring.size() < static_cast<std::size_t>(kRingRows) * rec.rate) {
        return;
    }
    // A short frame never makes us read past its end; the missing samples become zeros.
    const std::size_t available = (length - kFrameSamplesOffset) / 3;
    const std::size_t n = std::min<std::size_t>(available, static_cast<std::size_t>(rec.rate));
    // A reader never takes the new samples for the row's old second.
    rec.rowSecond[static_cast<std::size_t>(row)] = 0;
    std::int32_t* out = rec.Row(row);
    const std::uint8_t* in = payload + kFrameSamplesOffset;
    for (std::size_t i = 0; i < n; ++i, in += 3) {
        out[i] = DecodeSample24(in);
    }
    std::fill(out + n, out + rec.rate, 0);
    rec.rowGap[static_cast<std::size_t>(row)] = 0;
    rec.rowSecond[static_cast<std::size_t>(row)] = sec;
    if (m_Observer != nullptr) {
        m_Observer->OnFrameStored(chan, sec, out, rec.rate);
    }
}

void CRealTimeIntake::StartAt(int chan, std::uint32_t sec, const std::uint8_t* payload,
                              std::size_t length, bool store) {
    const int cur = NormaliseSlot(m_State.m_CurIndex.load());
    m_State.m_LastSecond.store(sec);
    m_State.m_TimeStamps[cur] = BcdTime::FromSeconds(sec);
    m_ReferenceChannel = chan;
    for (auto& [number, rec] : m_Table.m_ChanMap) {
        rec.lastSecond = sec;
        rec.slot = cur;
    }
    RtChannel* rec = store ? m_Table.Find(chan) : nullptr;
    if (rec != nullptr) {
        StoreSamples(*rec, chan, sec, cur, payload, length);
    }
}

bool CRealTimeIntake::Recording() const {
    return m_Recorder != nullptr && m_State.m_bRecording.load();
}

void CRealTimeIntake::FillGap(RtChannel& rec, int chan, std::uint32_t sec, std::int64_t gap) {
    // Rows rec.slot - gap .. rec.slot - 1 hold the missing seconds sec - gap .. sec - 1.
    int row = rec.slot;
    for (std::int64_t i = 0; i < gap; ++i) {
        row = row == 0 ? kRingRows - 1 : row - 1;
        const std::uint32_t t = sec - static_cast<std::uint32_t>(i + 1);
        if (chan == m_ReferenceChannel) {
            m_State.m_TimeStamps[row] = BcdTime::FromSeconds(t);
        }
        if (rec.rate > 0) {
            std::fill(rec.Row(row), rec.Row(row) + rec.rate, 0);
        }
        rec.rowSecond[static_cast<std::size_t>(row)] = t;
        rec.rowGap[static_cast<std::size_t>(row)] = 1;
        if (m_Observer != nullptr) {
            m_Observer->OnGapRow(chan, t);
        }
    }
    // The recorder sees the filled seconds in ascending order, each with its own second (for a
    // jump of 120 s or more these are the seconds just before the frame, not after prev).
    for (std::int64_t i = gap; i > 0 && Recording(); --i) {
        m_Recorder->m_CurrentSecondFrom1970.store(sec - static_cast<std::uint32_t>(i));
        int progress = -1;
        if (m_Recorder->WriteSecondAt(chan, sec - static_cast<std::uint32_t>(i), true, rec.Row(row),
                                      rec.rate * 4, progress) != 1) {
            ReArmRecording();
            break;
        }
        row = row == kRingRows - 1 ? 0 : row + 1;
    }
}

void CRealTimeIntake::ReArmRecording() {
    m_State.m_bRecording.store(false);
    m_State.m_LastProgress.store(0);
    m_State.m_bResumePending.store(true);
    m_State.m_RestartSecond.store(kRestartArmed);
    m_Events.PostMessage(kMsgAcquisition, 2, kCodeAcquisitionStopped);
}

void CRealTimeIntake::WriteFrame(RtChannel& rec, int chan, std::uint32_t sec, bool afterJump) {
    int progress = -1;
    if (m_Recorder->WriteSecondAt(chan, sec, false, rec.Row(rec.slot), rec.rate * 4, progress) ==
        1) {
        const int last = m_State.m_LastProgress.load();
        if (progress - last >= 10) {
            m_Events.SetRecordingProgress(progress);
            m_State.m_LastProgress.store(progress);
        } else if (progress < 10 && progress != -1) {
            m_Events.SetRecordingProgress(10);
            m_State.m_LastProgress.store(0);
        }
        return;
    }
    if (afterJump) {
        // A jump of a whole number of ring lengths leaves no gap row to meet the closed
        // files first; the jump must re-arm recording here, not end it.
        ReArmRecording();
        return;
    }
    m_State.m_LastProgress.store(0);
    // Stop writing at once: until the window handles the message every further frame would
    // fail again and post again.
    m_State.m_bRecording.store(false);
    m_Events.PostMessage(kMsgStopRecording, 0, 0);
    m_Events.PostMessage(kMsgAcquisition, 1, kCodeAcquisitionStopped);
}

void CRealTimeIntake::HandleDataFrame(const std::uint8_t* payload, std::size_t length) {
    if (payload == nullptr || length < kFrameSamplesOffset) {
        return;
    }
    const int chan = (payload[kFrameChannelOffset] & 0x0F) + 1;
    if (m_ReferenceChannel < 0) {
        m_ReferenceChannel = chan;
    }
    const std::uint16_t unit = static_cast<std::uint16_t>(payload[kFrameUnitOffset] |
                                                          (payload[kFrameUnitOffset + 1] << 8));
    const std::uint32_t sec = ReadU32(payload + kFrameSecondOffset);

    const std::uint32_t restart = m_State.m_RestartSecond.load();
    if (sec == restart) {
        return;
    }
    if (restart == kRestartArmed) {
        m_State.m_RestartSecond.store(sec);
        return;
    }

    if (m_State.m_bResumePending.exchange(false)) {
        m_State.m_bRecording.store(true);
        if (m_Recorder != nullptr) {
            m_Recorder->StopRecording.store(false);
            std::uint32_t zero = 0;
            m_Recorder->m_SecondFrom1970.compare_exchange_strong(zero, sec);
        }
        // The normal path below stores this frame into the same row (d = 0) and writes it.
        StartAt(chan, sec, payload, length, false);
    }

    bool jumped = false;
    if (Recording()) {
        m_Recorder->m_UnitNumber.store(unit);
        const std::uint32_t last = m_State.m_LastSecond.load();
        const std::int64_t d = std::int64_t(sec) - std::int64_t(last);
        if (d == 1) {
            m_Recorder->m_CurrentSecondFrom1970.store(sec);
        }
        // With no second seen yet (a recording started before the first frame, or after a
        // resynchronisation) there is nothing to jump from: closing the files here would end
        // the recording at its first frame.
        if (last != 0 && d > 119) {
            m_Recorder->StopRecording.store(true);
            jumped = true;
        }
    }

    if (m_State.m_LastSecond.load() == 0) {
        if (Recording()) {
            std::uint32_t zero = 0;
            m_Recorder->m_SecondFrom1970.compare_exchange_strong(zero, sec);
        }
        StartAt(chan, sec, payload, length, true);
        return;
    }

    RtChannel* rec = m_Table.Find(chan);
    if (rec == nullptr) {
        return;
    }
    std::uint32_t prev = rec->lastSecond;
    if (prev == 0) {
        // A channel added to the table while the stream runs has no second before this one.
        // Measured from 1970 its "gap" would fill up to 119 invented zero seconds, into the
        // ring and into a running recording: it starts beside the reference channel instead.
        prev = m_State.m_LastSecond.load();
        rec->slot = NormaliseSlot(m_State.m_CurIndex.load());
    }
    if (Recording()) {
        std::uint32_t zero = 0;
        m_Recorder->m_SecondFrom1970.compare_exchange_strong(zero, sec);
    }

    std::int64_t d = std::int64_t(sec) - std::int64_t(prev);
    if (d < 0) {
        m_ReferenceChannel = chan;
        d = d < -119 ? 0 : d + kRingRows;
    }
    d %= kRingRows;
    rec->slot = NormaliseSlot(rec->slot + static_cast<int>(d));

    std::int64_t gap = std::int64_t(sec) - std::int64_t(prev) - 1;
    if (gap > 0) {
        FillGap(*rec, chan, sec, gap % kRingRows);
    }

    StoreSamples(*rec, chan, sec, rec->slot, payload, length);
    if (gap > 0 && Recording()) {
        // The gap rows moved the current second up to sec - 1; this row is sec itself.
        m_Recorder->m_CurrentSecondFrom1970.store(sec);
    }
    if (Recording()) {
        WriteFrame(*rec, chan, sec, jumped);
    }

    rec->lastSecond = sec;
    if (chan == m_ReferenceChannel) {
        m_State.m_LastSecond.store(sec);
        m_State.m_CurIndex.store(rec->slot);
        m_State.m_TimeStamps[rec->slot] = BcdTime::FromSeconds(sec);
    }
}

} // namespace nereid::recording
