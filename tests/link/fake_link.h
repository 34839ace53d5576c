#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/instrument_link.h"

namespace nereid::test {

// A link whose polls return scripted results, for the state machines above the codec.
// Each ReadFrame takes the next scripted entry (or returns kNothing when none is left); an
// entry may be tied to the expected type it must be read with, and stays queued until a
// reader with that type comes (as a pending frame does).
class FakeLink : public link::CInstrumentLink {
public:
    struct Poll {
        int result = link::kNothing;
        link::FrameRecord record;
        int onlyForType = -1; // -1: any reader takes it
    };

    void Queue(Poll poll) {
        std::lock_guard lock(m_Mutex);
        m_Polls.push_back(std::move(poll));
    }
    // An answer of `type` with result 1 and the decoded record, kept for its reader.
    template <typename Decoded>
    void QueueAnswer(std::uint8_t type, Decoded decoded, std::uint16_t header = 0) {
        Poll poll;
        poll.result = link::kAccepted;
        poll.record.type = type;
        poll.record.header = header;
        poll.record.status = 1;
        poll.record.decoded = std::move(decoded);
        poll.onlyForType = type;
        Queue(std::move(poll));
    }
    void QueueResult(int result, int onlyForType = -1) {
        Poll poll;
        poll.result = result;
        poll.onlyForType = onlyForType;
        Queue(std::move(poll));
    }

    int ReadFrame(std::uint8_t& expectedType, link::FrameRecord& record) override {
        std::lock_guard lock(m_Mutex);
        ++m_Reads;
        m_ReadTypes.push_back(expectedType);
        if (m_Polls.empty()) {
            return link::kNothing;
        }
        Poll& next = m_Polls.front();
        if (next.onlyForType >= 0 && next.onlyForType != expectedType) {
            expectedType = next.record.type;
            return link::kOtherType; // stays pending for its reader
        }
        const int result = next.result;
        if (result == link::kAccepted || result == link::kRefused) {
            record = next.record;
            expectedType = next.record.type;
        } else if (result == link::kOtherType) {
            expectedType = next.record.type;
        }
        m_Polls.pop_front();
        return result;
    }

    int SendCommand(std::uint8_t code, const link::CommandRecord& record) override {
        std::lock_guard lock(m_Mutex);
        m_Sent.push_back({code, record});
        m_WaitingAtSend.push_back(TransactionWaiting());
        return m_SendResult;
    }

    void Purge() override {
        std::lock_guard lock(m_Mutex);
        ++m_Purges;
    }
    int WriteRaw(const std::uint8_t* bytes, std::size_t length) override {
        std::lock_guard lock(m_Mutex);
        m_Raw.emplace_back(bytes, bytes + length);
        return static_cast<int>(length);
    }
    void Unlock() override {}
    void Lock() override {}
    void MarkSent() override {}
    void SendAck() override {}
    void SendNak() override {}

    std::vector<std::pair<std::uint8_t, link::CommandRecord>> Sent() const {
        std::lock_guard lock(m_Mutex);
        return m_Sent;
    }
    std::vector<std::uint8_t> ReadTypes() const {
        std::lock_guard lock(m_Mutex);
        return m_ReadTypes;
    }
    int Reads() const {
        std::lock_guard lock(m_Mutex);
        return m_Reads;
    }
    std::size_t Pending() const {
        std::lock_guard lock(m_Mutex);
        return m_Polls.size();
    }

    int m_SendResult = 1;
    std::vector<bool> m_WaitingAtSend;
    std::vector<std::vector<std::uint8_t>> m_Raw;
    int m_Purges = 0;

private:
    mutable std::mutex m_Mutex;
    std::deque<Poll> m_Polls;
    std::vector<std::pair<std::uint8_t, link::CommandRecord>> m_Sent;
    std::vector<std::uint8_t> m_ReadTypes;
    int m_Reads = 0;
};

} // namespace nereid::test
