#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nereid::link {

struct CommandRecord; // link/command_records.h
struct FrameRecord;   // link/answer_records.h

// Results of ReadFrame. Sheets act only on kAccepted and kRefused.
enum ReadResult : int {
    kAccepted = 1,   // answer of the expected type, CRC good, status byte not 0; record delivered
    kNothing = 0,    // nothing complete, port closed, or a malformed frame (dropped)
    kRefused = -1,   // the recorder refused (status byte 0)
    kOtherType = -2, // a complete frame of another type; its type is written back
    kCrcError = -5,  // CRC mismatch; the link has answered with NAK
    kNakReceived = -6,
    kIgnoredControl = -7, // a 0xE4 control frame
    kAckReceived = 2,
};

// Results of SendCommand besides kAccepted (frame written) and kNothing (port closed).
constexpr int kBuilderRefused = -4;

// The decode buffer a link starts with, in bytes; RebuildChannels grows it (ResizeDecodeBuffer).
constexpr std::size_t kInitialDecodeBufferSize = 1000;

// The one link to the recorder, shared by the user-interface thread (sheets, dialogs) and the
// receiver thread. Every operation on the port is serialised by a recursive port lock, which
// Lock/Unlock expose so that a caller can hold the port across several operations.
class CInstrumentLink {
public:
    CInstrumentLink();
    virtual ~CInstrumentLink();
    CInstrumentLink(const CInstrumentLink&) = delete;
    CInstrumentLink& operator=(const CInstrumentLink&) = delete;

    // One receive poll. expectedType is in/out: a reader that gets another frame type learns
    // it here. Returns a ReadResult. The base class delivers nothing and returns 1.
    virtual int ReadFrame(std::uint8_t& expectedType, FrameRecord& record);

    // Waits, without the port lock, until bytes may have arrived, `wakeFd` (when >= 0) is
    // readable, or `timeoutMs` (0..1000) has passed, so that an idle reader sleeps instead of
    // polling. Returns 1 when there may be something to read or `wakeFd` is readable, 0 when
    // the time ran out. The base class has no port: it sleeps at most 1 ms (or until `wakeFd`)
    // and returns 1.
    virtual int WaitForData(int timeoutMs, int wakeFd);

    // Builds and writes one command frame. Returns 1 when written, 0 when the port is closed,
    // kBuilderRefused when the code is not sendable or the frame would exceed 1024 bytes.
    // The base class sends nothing and returns 1.
    virtual int SendCommand(std::uint8_t code, const CommandRecord& record);

    // Clears the receive ring, the frame scanner and the driver's input queue.
    virtual void Purge() = 0;
    // Writes the bytes as they are. Returns the count written, 0 when closed, -1 on failure.
    virtual int WriteRaw(const std::uint8_t* bytes, std::size_t length) = 0;
    virtual void Unlock() = 0;
    virtual void Lock() = 0;
    // Sets the frame-sent mark, which enables the resend of the last frame on a NAK.
    virtual void MarkSent() = 0;
    virtual void SendAck() = 0; // writes E3 E1 E5
    virtual void SendNak() = 0; // writes E3 E2 E5

    // Resizes the decode buffer to the given number of bytes. Returns 1, or 0 when the
    // allocation failed; the link then has no decode buffer and drops every frame.
    int ResizeDecodeBuffer(std::size_t bytes);
    std::size_t DecodeBufferSize() const { return m_DecodeBuffer.size(); }

    // The model code of the last hardware status answer; it sets the length of command 0x89.
    void SetModelCode(std::uint8_t model) { m_ModelCode.store(model); }
    std::uint8_t ModelCode() const { return m_ModelCode.load(); }

    // Set by an 'S' answer of 34 or 36 payload bytes, cleared by any other 'S' answer and when
    // the calibration sheet opens; it selects the 34-byte form of command 0x8C.
    bool LongCalibrationAnswer() const { return m_LongCalibrationAnswer.load(); }
    void SetLongCalibrationAnswer(bool on) { m_LongCalibrationAnswer.store(on); }

    // True while a sheet transaction waits for its answer. While it is false, a pending answer
    // (a frame of a type above 21) that nobody will claim is dropped so that it cannot stall
    // the real-time data frames behind it.
    void SetTransactionWaiting(bool waiting) { m_TransactionWaiting.store(waiting); }
    bool TransactionWaiting() const { return m_TransactionWaiting.load(); }

    // True while a reader of data frames (the receiver thread) polls the link. While it is
    // false nobody would ever take a data frame, so a reader waiting for an answer takes the
    // data frames in front of it itself (acknowledged and discarded) instead of stalling
    // behind them.
    void SetDataReaderActive(bool active) { m_DataReaderActive.store(active); }
    bool DataReaderActive() const { return m_DataReaderActive.load(); }

    // Inter-frame timing, in milliseconds as unsigned 16-bit numbers: the interval between the
    // last two consumed frames and the sum of the last three intervals.
    std::uint16_t FrameIntervalMs() const { return m_FrameIntervalMs.load(); }
    std::uint16_t LastThreeIntervalsMs() const { return m_LastThreeIntervalsMs.load(); }

protected:
    // Only touched under the port lock of the derived class.
    std::vector<std::uint8_t> m_DecodeBuffer;

    std::atomic<std::uint16_t> m_FrameIntervalMs{0};
    std::atomic<std::uint16_t> m_LastThreeIntervalsMs{0};

private:
    std::atomic<std::uint8_t> m_ModelCode{0};
    std::atomic<bool> m_LongCalibrationAnswer{false};
    std::atomic<bool> m_TransactionWaiting{false};
    std::atomic<bool> m_DataReaderActive{false};
};

} // namespace nereid::link
