#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <termios.h>
#include <vector>

#include "link/answer_records.h"
#include "link/command_builder.h"
#include "link/command_records.h"
#include "link/instrument_link.h"

namespace nereid::link {

// Parity codes of Open (the recorder's set-up values): none, odd, even, mark, space.
constexpr int kParityNone = 0;
constexpr int kParityOdd = 1;
constexpr int kParityEven = 2;
constexpr int kParityMark = 3;
constexpr int kParitySpace = 4;
// Stop-bit codes of Open: one, one and a half (sent as two), two.
constexpr int kStopBitsOne = 0;
constexpr int kStopBitsOneAndHalf = 1;
constexpr int kStopBitsTwo = 2;

// The one link to the recorder over a POSIX serial device (a tty, a USB adapter or a
// pseudo-terminal), in raw mode. Every operation runs under one recursive port lock.
//
// Received bytes go into a 4096-byte ring in which frames are found; a complete frame stays
// pending until a reader consumes it (see ReadFrame). Answers and data frames share the ring:
// the receiver thread takes data frames, sheets take answers. A poll drains everything the
// driver holds (as far as the ring has room), so the link keeps up with a full line even when
// it is polled only every 100 ms.
class CSerialLink : public CInstrumentLink {
public:
    static constexpr std::size_t kRingSize = 4096;
    static constexpr std::size_t kTransmitSize = 1024;
    // The most the recorder's own program took per poll. A poll here reads until the driver
    // is empty or the ring is full; the value stays for tests that feed the link in chunks.
    static constexpr std::size_t kReadChunk = 810;
    // Answers set aside (see ReadFrame) at most; a further one is given up as before.
    static constexpr std::size_t kMaxHeldAnswers = 4;
    // Frames one poll may go through (data frames nobody takes, bytes read) before it returns.
    static constexpr int kMaxRoundsPerPoll = 4096;
    static constexpr int kMaxReadWaitMs = 1000;

    // Called by AttachModemPort with the stream count (2) and the connection text
    // ("Connected " and the port name): the main frame builds its stream list and enters the
    // connected state. Called under the port lock.
    using ModemAttachedListener =
        std::function<void(int streamCount, const std::string& connectionText)>;
    // Milliseconds of a monotonic clock, for the inter-frame timing.
    using MillisecondClock = std::function<std::int64_t()>;

    CSerialLink();
    ~CSerialLink() override;

    // Opens the device at `path` exclusively, in raw mode, with the given baud rate, parity
    // code, stop-bit code and byte size (5..8). Any open port is closed first. Returns 1, or
    // -1 when the device cannot be opened or set up (unknown rate or code included); no port
    // is open then.
    int Open(const std::string& path, std::uint32_t baud, int parity, int stopBits, int byteSize);
    // Applies a new baud rate to the open port and returns 1 (-3 when the rate is not
    // supported or the driver refuses it; the port stays as it was). On a closed port, opens
    // `path` at 9600 8N1 instead and returns -1: the requested rate is not applied.
    int SetBaud(const std::string& path, std::uint32_t baud);
    // Adopts an already open descriptor of a connected modem call as the port (the link owns
    // it from now on and closes it), keeping the line settings the modem driver set; calls the
    // modem-attached listener with 2 streams and "Connected " + portName. Returns 0.
    int AttachModemPort(int fd, const std::string& portName = "com2");
    // Closes the port if open. The ring keeps its state. Returns 0.
    int Close();
    bool IsOpen() const;
    std::string PortName() const;

    // One receive poll: reads everything the port has (as far as the ring has room; the first
    // read waits at most the read wait), finds the next frame and decodes it against
    // `expectedType`. Results as ReadResult; 0 when the port is closed or nothing is complete.
    // A frame of another type stays pending when it is a data or small type (0..21) or when a
    // data reader (expected 0..19) meets an answer while a transaction is waiting; an answer
    // that nobody waits for (TransactionWaiting() false) is consumed and acknowledged, so it
    // cannot hold back the data frames behind it. Every other frame is consumed. Answers:
    // NAK after a CRC error, the last frame again after a NAK, ACK after results 1, -1, -2
    // except for 'X' and 'Y' frames, which the upload acknowledges itself.
    // Two rules keep a busy line moving:
    // - An answer left pending for a waiting transaction while the ring fills up behind it is
    //   set aside (up to kMaxHeldAnswers) instead of being given up; the data frames behind
    //   it flow on, and the next answer reader gets the set-aside answers first, in order.
    // - A reader waiting for an answer while no data reader is active (DataReaderActive()
    //   false) takes the data frames in front of its answer itself, acknowledges and discards
    //   them, and goes on in the same poll.
    int ReadFrame(std::uint8_t& expectedType, FrameRecord& record) override;
    // Builds the command frame and writes it. Returns 1, 0 when the port is closed, -4 when
    // the builder refused it (nothing written, the last frame kept for a resend), -1 when the
    // write failed.
    int SendCommand(std::uint8_t code, const CommandRecord& record) override;
    // Sleeps in poll on the port and `wakeFd` for at most `timeoutMs`; returns at once (1)
    // when a frame is already complete in the ring, and waits at most 1 ms when a pending
    // frame waits for another reader (its taker may come any moment).
    int WaitForData(int timeoutMs, int wakeFd) override;
    void Purge() override;
    int WriteRaw(const std::uint8_t* bytes, std::size_t length) override;
    void Unlock() override;
    void Lock() override;
    void MarkSent() override;
    void SendAck() override;
    void SendNak() override;

    void SetModemAttachedListener(ModemAttachedListener listener);
    // How long one poll waits for the first byte, 0..1000 ms (default 0: a poll takes what has
    // arrived and returns at once).
    void SetReadWaitMs(int ms);
    void SetClock(MillisecondClock clock);

    // Observers, for diagnostics and tests (taken under the port lock).
    bool FramePending() const;
    // Ring bytes still needed: the pending or partial frame and everything after it.
    std::size_t RingBytesHeld() const;
    // Frames given up because the ring was full while they were pending or partial.
    std::uint32_t RingOverflowDrops() const { return m_RingOverflowDrops.load(); }
    // Answers consumed because no transaction was waiting for them.
    std::uint32_t OrphanDrops() const { return m_OrphanDrops.load(); }
    // Answers set aside because the ring filled up behind them, and those still held.
    std::uint32_t AnswersSetAside() const { return m_AnswersSetAside.load(); }
    std::size_t HeldAnswers() const;
    // Data frames an answer reader acknowledged and discarded because no data reader ran.
    std::uint32_t UnclaimedDataFrames() const { return m_UnclaimedDataFrames.load(); }
    // Whole frames taken (answers and data) and frames refused for a CRC mismatch since the
    // link was created: the line's health as an operator reads it.
    std::uint64_t FramesTaken() const { return m_FramesTaken.load(); }
    std::uint64_t CrcErrors() const { return m_CrcErrors.load(); }
    // Bytes taken from the port since the link was created.
    std::uint64_t BytesReceived() const { return m_BytesReceived.load(); }
    int LastFrameLength() const;
    // The line settings last written to the port (a pseudo-terminal keeps only some of them).
    termios PortSettings() const;
    bool FrameSentMark() const;

protected:
    // Port access, overridable so that the codec can be driven from memory (benchmarks,
    // tests). Called under the port lock.
    virtual bool PortIsOpen() const;
    // Reads at most `capacity` bytes, waiting at most waitMs for the first. Returns the count
    // (0 when nothing arrived or the read failed).
    virtual std::size_t PortRead(std::uint8_t* buffer, std::size_t capacity, int waitMs);
    // Writes all bytes, blocking until done. Returns the count, or -1 on failure.
    virtual int PortWrite(const std::uint8_t* bytes, std::size_t length);

private:
    void CloseLocked();
    std::size_t HeldLocked() const;
    std::size_t Receive(int waitMs);
    void Scan();
    const std::uint8_t* PendingFrame(std::size_t& length);
    int DecodeFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t& expectedType,
                    FrameRecord& record);
    void SetAside();
    int TakeHeld(std::uint8_t& expectedType, FrameRecord& record);
    void DropHeld();
    void Answered(int result, std::uint8_t frameType);
    void Consume();
    void NoteConsumed();
    void SendControl(std::uint8_t type);
    std::uint8_t RingAt(std::uint64_t position) const { return m_Ring[position % kRingSize]; }

    mutable std::recursive_mutex m_PortLock;
    int m_Fd = -1;
    std::string m_PortName;
    termios m_Settings{};
    ModemAttachedListener m_ModemAttached;
    MillisecondClock m_Clock;
    int m_ReadWaitMs = 0;

    std::array<std::uint8_t, kTransmitSize> m_Transmit{};
    int m_LastFrameLength = 0;
    bool m_FrameSent = false;
    CCommandBuilder m_Builder;
    std::array<std::uint8_t, kTransmitSize> m_BuildScratch{};

    // Positions count every byte ever received since the last Purge; the ring slot of a
    // position is position % kRingSize, so "full" and "empty" never look alike.
    std::array<std::uint8_t, kRingSize> m_Ring{};
    std::uint64_t m_WriteIndex = 0;
    std::uint64_t m_ScanIndex = 0;
    std::int64_t m_StartIndex = -1; // position of the 0xE3 of the pending or partial frame
    std::uint64_t m_EndIndex = 0;   // position of the 0xE5 of the pending frame
    bool m_Pending = false;
    std::vector<std::uint8_t> m_FrameScratch;     // a pending frame that wraps the ring's end
    std::deque<std::vector<std::uint8_t>> m_Held; // answers set aside, whole raw frames

    bool m_HaveLastConsumed = false;
    std::int64_t m_LastConsumedMs = 0;
    std::array<std::uint16_t, 3> m_IntervalHistory{};
    std::size_t m_IntervalNext = 0;

    std::atomic<std::uint32_t> m_RingOverflowDrops{0};
    std::atomic<std::uint32_t> m_OrphanDrops{0};
    std::atomic<std::uint32_t> m_AnswersSetAside{0};
    std::atomic<std::uint32_t> m_UnclaimedDataFrames{0};
    std::atomic<std::uint64_t> m_BytesReceived{0};
    std::atomic<std::uint64_t> m_FramesTaken{0};
    std::atomic<std::uint64_t> m_CrcErrors{0};
};

} // namespace nereid::link
