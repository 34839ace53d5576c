#pragma once

// A recorder file server driven by hand, behind the real serial link whose port is memory:
// it reads what the PC wrote, answers commands through a handler, and keeps the recorder's
// stop-and-wait discipline (the next frame of a listing or file only after the ACK of the
// previous one, the same frame again after a NAK). Faults are scripted per frame.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "tests/link/memory_link.h"

namespace nereid::test {

struct SentFrame {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
};

inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v));
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
}

struct ListedEntry {
    std::string base;
    std::string extension;
    bool directory = false;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t size = 0;
};

// 'X' payload: header, state, sequence, eight 23-byte entries (unused ones with flag 0).
inline SentFrame ListingFrame(std::uint8_t state, std::uint16_t sequence,
                              const std::vector<ListedEntry>& entries) {
    SentFrame f{'X', {}};
    PutU16(f.payload, 0);
    f.payload.push_back(state);
    PutU16(f.payload, sequence);
    for (std::size_t i = 0; i < 8; ++i) {
        if (i >= entries.size()) {
            f.payload.insert(f.payload.end(), 23, 0);
            continue;
        }
        const ListedEntry& e = entries[i];
        f.payload.push_back(1);
        std::string base = e.base;
        base.resize(9, ' ');
        std::string ext = e.extension;
        ext.resize(4, ' ');
        f.payload.insert(f.payload.end(), base.begin(), base.end());
        f.payload.insert(f.payload.end(), ext.begin(), ext.end());
        f.payload.push_back(e.directory ? 0x10 : 0x20);
        PutU16(f.payload, e.dosTime);
        PutU16(f.payload, e.dosDate);
        PutU32(f.payload, e.size);
    }
    return f;
}

// 'Y' payload: header, state, sequence, length, data.
inline SentFrame DataFrame(std::uint8_t state, std::uint16_t sequence, const std::uint8_t* data,
                           std::size_t length) {
    SentFrame f{'Y', {}};
    PutU16(f.payload, 0);
    f.payload.push_back(state);
    PutU16(f.payload, sequence);
    PutU16(f.payload, static_cast<std::uint16_t>(length));
    f.payload.insert(f.payload.end(), data, data + length);
    return f;
}

// A file as the recorder serves it: blocks of `block` bytes, the last with state 1.
inline std::vector<SentFrame> FileFrames(const std::vector<std::uint8_t>& file,
                                         std::size_t block = 600) {
    std::vector<SentFrame> frames;
    std::size_t at = 0;
    std::uint16_t sequence = 1;
    do {
        const std::size_t n = std::min(block, file.size() - at);
        const bool last = at + n >= file.size();
        frames.push_back(DataFrame(last ? 1 : 2, sequence++, file.data() + at, n));
        at += n;
    } while (at < file.size());
    return frames;
}

inline SentFrame PlainAnswer(std::uint8_t type, std::uint8_t status) {
    return SentFrame{type, {0, 0, status}};
}

struct ReceivedCommand {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;
    // The text of 0xB8 / 0x92 (at 4) or 0xB9 (at 6).
    std::string Text() const {
        const std::size_t at = code == 0xB9 ? 6 : 4;
        if (payload.size() < at) {
            return "";
        }
        const std::size_t n = payload[at - 2] | (payload[at - 1] << 8);
        return std::string(payload.begin() + static_cast<std::ptrdiff_t>(at),
                           payload.begin() +
                               static_cast<std::ptrdiff_t>(std::min(at + n, payload.size())));
    }
};

class RecorderDouble {
public:
    // Returns the frames that answer the command (a listing, a file, or one plain answer);
    // none leaves it unanswered.
    using Handler = std::function<std::vector<SentFrame>(const ReceivedCommand&)>;

    explicit RecorderDouble(MemoryLink& link) : m_Link(link) {}
    void SetHandler(Handler h) { m_Handler = std::move(h); }
    // The frame at this index of the next multi-frame answer is sent twice: its first
    // acknowledgement "is lost".
    void RepeatAfterAck(std::size_t index) { m_RepeatAt.insert(index); }
    // Frames handed out after this many have gone stop (a stalled line).
    void StallAfter(std::size_t frames) { m_StallAfter = frames; }
    // A slow drive: every command of `codes` is answered `delayMs(n)` after it came (n counts
    // those commands from 0), by the clock `now`; a command that comes while one is still
    // waiting is answered when it is due, but never before the one ahead of it. An answer of
    // several frames that falls due while another is being sent follows it whole, as a
    // recorder that works through its requests in turn.
    void AnswerLate(const std::int64_t* now, std::set<std::uint8_t> codes,
                    std::function<std::int64_t(int)> delayMs) {
        m_Now = now;
        m_LateCodes = std::move(codes);
        m_Delay = std::move(delayMs);
    }

    // Reads what the PC wrote since the last call and answers it.
    void Pump() {
        PumpWritten();
        while (!m_Late.empty() && m_Now != nullptr && m_Late.front().due <= *m_Now) {
            std::vector<SentFrame> frames = std::move(m_Late.front().frames);
            m_Late.pop_front();
            Answer(std::move(frames));
        }
    }

private:
    void PumpWritten() {
        const std::vector<std::uint8_t> out = m_Link.Written();
        for (; m_Seen < out.size(); ++m_Seen) {
            const std::uint8_t b = out[m_Seen];
            if (b == link::kFrameStart) {
                m_InFrame = true;
                m_Body.clear();
                m_Unescaper.Reset();
                continue;
            }
            if (!m_InFrame) {
                continue;
            }
            if (b == link::kFrameEnd) {
                m_InFrame = false;
                OnFrame();
                continue;
            }
            std::uint8_t v = 0;
            if (m_Body.empty()) {
                m_Body.push_back(b); // the type byte is never escaped
            } else if (m_Unescaper.Push(b, v)) {
                m_Body.push_back(v);
            }
        }
    }

public:
    const std::vector<ReceivedCommand>& Commands() const { return m_Commands; }
    int Acks() const { return m_Acks; }
    int Naks() const { return m_Naks; }
    std::size_t FramesSent() const { return m_FramesSent; }
    // Feeds a frame that nobody asked for (a late one).
    void Send(const SentFrame& f) {
        m_Link.FeedFrame(f.type, f.payload);
        ++m_FramesSent;
    }

private:
    void OnFrame() {
        if (m_Body.empty()) {
            return;
        }
        const std::uint8_t type = m_Body[0];
        if (type == link::kAckType) {
            ++m_Acks;
            if (!m_Waiting) {
                return;
            }
            if (m_RepeatAt.count(m_Next) != 0) {
                m_RepeatAt.erase(m_Next);
                SendCurrent();
                return;
            }
            ++m_Next;
            m_Waiting = false;
            if (m_Next < m_Frames.size()) {
                SendCurrent();
            } else if (!m_Queued.empty()) {
                m_Frames = std::move(m_Queued.front());
                m_Queued.pop_front();
                m_Next = 0;
                SendCurrent();
            }
            return;
        }
        if (type == link::kNakType) {
            ++m_Naks;
            if (m_Waiting) {
                SendCurrent();
            }
            return;
        }
        ReceivedCommand c;
        c.code = type;
        if (m_Body.size() >= 3) {
            c.payload.assign(m_Body.begin() + 1, m_Body.end() - 2); // without the CRC
        }
        m_Commands.push_back(c);
        if (!m_Handler) {
            return;
        }
        std::vector<SentFrame> frames = m_Handler(c);
        if (frames.empty()) {
            return;
        }
        if (m_Now != nullptr && m_LateCodes.count(c.code) != 0) {
            std::int64_t due = *m_Now + m_Delay(m_LateCount++);
            if (!m_Late.empty()) {
                due = std::max(due, m_Late.back().due);
            }
            m_Late.push_back({due, std::move(frames)});
            return;
        }
        Answer(std::move(frames));
    }

    void Answer(std::vector<SentFrame> frames) {
        if (frames.size() == 1 && frames[0].type != 'X' && frames[0].type != 'Y') {
            Send(frames[0]);
            return;
        }
        if (m_Waiting && m_Next < m_Frames.size()) {
            m_Queued.push_back(std::move(frames));
            return;
        }
        m_Frames = std::move(frames);
        m_Next = 0;
        SendCurrent();
    }

    void SendCurrent() {
        if (m_FramesSent >= m_StallAfter) {
            m_Waiting = false;
            return;
        }
        const SentFrame& f = m_Frames[m_Next];
        Send(f);
        // A refused read or listing does not wait for an answer.
        m_Waiting = f.payload.size() > 2 && f.payload[2] != 0;
    }

    MemoryLink& m_Link;
    Handler m_Handler;
    std::size_t m_Seen = 0;
    bool m_InFrame = false;
    std::vector<std::uint8_t> m_Body;
    link::Unescaper m_Unescaper;
    std::vector<ReceivedCommand> m_Commands;
    std::vector<SentFrame> m_Frames;
    std::size_t m_Next = 0;
    bool m_Waiting = false;
    std::set<std::size_t> m_RepeatAt;
    std::size_t m_StallAfter = static_cast<std::size_t>(-1);
    int m_Acks = 0;
    int m_Naks = 0;
    std::size_t m_FramesSent = 0;
    struct LateAnswer {
        std::int64_t due = 0;
        std::vector<SentFrame> frames;
    };
    const std::int64_t* m_Now = nullptr;
    std::set<std::uint8_t> m_LateCodes;
    std::function<std::int64_t(int)> m_Delay;
    int m_LateCount = 0;
    std::deque<LateAnswer> m_Late;
    std::deque<std::vector<SentFrame>> m_Queued;
};

} // namespace nereid::test
