#include "sim/sim_engine.h"

#include "link/frame_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>

namespace nereid::sim {

namespace {

std::uint32_t StartTime(const SimOptions& o) {
    if (o.haveStartTime)
        return o.startTime;
    return static_cast<std::uint32_t>(std::time(nullptr));
}

InstrumentIdentity IdentityOf(const SimOptions& o) {
    InstrumentIdentity id;
    id.model = o.model;
    id.streams = o.streams;
    id.serial = o.serial;
    id.station = o.station;
    id.calFormat = o.calFormat;
    id.modemOnLocalPort = o.modem;
    id.blankWindows = o.blankWindows;
    for (char letter = 'B'; letter <= 'E' && id.storageDrive == 0; ++letter) {
        if (o.drives.count(letter) != 0)
            id.storageDrive = static_cast<std::uint8_t>(letter - 'A');
    }
    return id;
}

} // namespace

SimEngine::SimEngine(const SimOptions& options, LineEndpoint& line, DriveStore& drives)
    : m_Options(options), m_Line(line), m_Drives(drives), m_State(IdentityOf(options)),
      m_Processor(m_State, m_Drives),
      m_Faults(options.seed, options.corrupt, options.drop, options.garbage),
      m_Channel(m_Faults, options.baud), m_Clock(StartTime(options), options.timeScale),
      m_Generator(SignalModel(options.signalFreq, options.signalAmp, options.noise, options.seed),
                  options.skips, StartTime(options)),
      m_DelayRandom(options.seed) {
    if (options.modem)
        m_Modem = std::make_unique<ModemFrontEnd>(options.busyNumbers, options.noCarrierNumbers,
                                                  options.noDialtoneNumbers, options.hangupAfter,
                                                  options.timeScale);
    m_State.realtime = options.realtime;
    m_State.acquiring = options.acquiring;
    m_Processor.SetRefusedCodes(options.refused);
}

void SimEngine::Log(const std::string& text) const {
    std::fprintf(stderr, "nereid-sim: %s\n", text.c_str());
}

bool SimEngine::Reachable() const {
    return m_Connected && (!m_Modem || m_Modem->Online());
}

void SimEngine::Disconnected() {
    m_Channel.Disconnect();
    if (m_Modem)
        m_Modem->Reset();
    m_Scheduled.clear();
    m_Transfer.reset();
    m_TransferFrame = 0;
}

void SimEngine::SendNextTransferFrame(Clock::time_point now) {
    if (!m_Transfer || m_Transfer->Done()) {
        m_Transfer.reset();
        m_TransferFrame = 0;
        return;
    }
    const std::uint8_t type = m_Transfer->Type();
    const auto payload = m_Transfer->NextPayload();
    m_TransferFrame = m_Channel.Send(type, payload);
    m_TransferSentAt = now;
    if (m_Options.verbose)
        Log(std::string("sent '") + static_cast<char>(type) + "' frame, " +
            std::to_string(payload.size()) + " bytes");
}

void SimEngine::Deliver(CommandOutcome& outcome, Clock::time_point now) {
    if (!Reachable())
        return;
    if (outcome.reply) {
        m_Channel.Send(outcome.reply->type, outcome.reply->payload, outcome.reply->awaitAnswer);
        if (m_Options.verbose) {
            char text[64];
            std::snprintf(text, sizeof text, "answer type 0x%02X, %zu bytes", outcome.reply->type,
                          outcome.reply->payload.size());
            Log(text);
        }
    }
    if (outcome.transfer) {
        // A new listing or file replaces one still going.
        m_Transfer = std::move(outcome.transfer);
        SendNextTransferFrame(now);
    }
}

std::chrono::milliseconds SimEngine::AnswerDelay(const InboundFrame& frame) {
    const auto& codes = m_Options.answerDelayCodes;
    if (m_Options.answerDelayMaxMs <= 0 ||
        std::find(codes.begin(), codes.end(), frame.type) == codes.end())
        return std::chrono::milliseconds(0);
    // The drive is still spinning for the same request: the repeat waits for nothing more.
    if (frame.type == m_LastDelayedCode && frame.payload == m_LastDelayedRequest)
        return std::chrono::milliseconds(0);
    m_LastDelayedCode = frame.type;
    m_LastDelayedRequest = frame.payload;
    std::uniform_int_distribution<int> pick(m_Options.answerDelayMinMs, m_Options.answerDelayMaxMs);
    return std::chrono::milliseconds(pick(m_DelayRandom));
}

void SimEngine::HandleFrame(const InboundFrame& frame, Clock::time_point now) {
    switch (frame.kind) {
    case InboundFrame::kAck: {
        const std::uint64_t id = m_Channel.OnAck(now);
        if (id != 0 && id == m_TransferFrame)
            SendNextTransferFrame(now);
        return;
    }
    case InboundFrame::kNak: {
        const std::uint64_t id = m_Channel.OnNak(now);
        if (m_Options.verbose)
            Log("NAK received; frame sent again");
        if (id != 0 && id == m_TransferFrame)
            m_TransferSentAt = now;
        return;
    }
    case InboundFrame::kIgnored:
        if (!frame.why.empty())
            Log("ignored " + frame.why);
        return;
    case InboundFrame::kBad: {
        char text[32];
        std::snprintf(text, sizeof text, "bad frame (type 0x%02X): ", frame.type);
        Log(text + frame.why + "; NAK");
        m_Channel.SendControl(link::kNakType);
        return;
    }
    case InboundFrame::kCommand:
        break;
    }
    if (m_Options.verbose) {
        char text[64];
        std::snprintf(text, sizeof text, "command 0x%02X, %zu bytes:", frame.type,
                      frame.payload.size());
        std::string line = text;
        for (std::uint8_t b : frame.payload) {
            std::snprintf(text, sizeof text, " %02X", b);
            line += text;
        }
        Log(line);
    }
    CommandOutcome outcome = m_Processor.Handle(frame.type, frame.payload, m_Clock.Second(now));
    if (!outcome.note.empty())
        Log(outcome.note);
    if (outcome.abortTransfer) {
        m_Transfer.reset();
        m_TransferFrame = 0;
    }
    if (outcome.setClock) {
        m_Clock.Set(*outcome.setClock, now);
        m_NextSecond = *outcome.setClock;
    }
    if (!outcome.reply && !outcome.transfer)
        return;
    if (std::find(m_Options.ignored.begin(), m_Options.ignored.end(), frame.type) !=
        m_Options.ignored.end()) {
        Log("command left unanswered (--ignore)");
        return;
    }
    if (m_Faults.DropNext()) {
        Log("command left unanswered (fault injection)");
        return;
    }
    const auto slowDrive = AnswerDelay(frame);
    if (m_Options.delayMs > 0 || slowDrive.count() > 0 || !m_Scheduled.empty()) {
        // Answers leave in the order of their requests, each no earlier than it is due.
        m_Scheduled.push_back(
            {now + std::chrono::milliseconds(m_Options.delayMs) + slowDrive, std::move(outcome)});
        if (m_Options.verbose && slowDrive.count() > 0)
            Log("answer held back " + std::to_string(slowDrive.count()) + " ms (--answer-delay)");
        return;
    }
    Deliver(outcome, now);
}

void SimEngine::HandleBytes(const std::uint8_t* bytes, std::size_t length, Clock::time_point now) {
    if (m_Modem && !m_Modem->Online()) {
        std::size_t used = 0;
        const std::string text = m_Modem->FeedCommand(bytes, length, used);
        if (!text.empty())
            m_Channel.SendText(text);
        if (m_Modem->Online())
            Log("modem call connected");
        bytes += used;
        length -= used;
        if (!m_Modem->Online())
            return;
    }
    if (m_Modem)
        m_Modem->FeedOnline(bytes, length, now);
    m_Channel.Feed(bytes, length);
    InboundFrame frame;
    while (m_Channel.Next(frame))
        HandleFrame(frame, now);
}

void SimEngine::Stream(Clock::time_point now) {
    const bool streaming = m_Processor.Streaming();
    if (streaming && !m_WasStreaming)
        m_NextSecond = m_Clock.Second(now); // sent once this second is complete
    m_WasStreaming = streaming;
    if (!streaming)
        return;
    const double t = m_Clock.Now(now);
    // A backlog longer than this (a stalled line, a suspended process) is skipped.
    const double backlog = 5.0 + 2.0 * m_Clock.Scale();
    if (t - static_cast<double>(m_NextSecond) > backlog + 1.0) {
        Log("real-time stream fell behind; skipping to the recorder clock");
        m_NextSecond = static_cast<std::uint32_t>(t - 1.0);
    }
    while (static_cast<double>(m_NextSecond) + 1.0 <= t) {
        if (Reachable())
            for (const DataFrame& f : m_Generator.Second(m_State, m_NextSecond))
                m_Channel.Send(StreamGenerator::kDataFrameType, f.payload, true, true);
        ++m_NextSecond;
    }
}

SimEngine::Clock::time_point SimEngine::NextDeadline(Clock::time_point now) const {
    Clock::time_point next = now + std::chrono::milliseconds(50);
    if (m_Processor.Streaming())
        next = std::min(next, m_Clock.WallTimeOf(static_cast<double>(m_NextSecond) + 1.0));
    if (!m_Scheduled.empty())
        next = std::min(next, m_Scheduled.front().due);
    if (m_Channel.HasOutput())
        next = std::min(next, now + m_Channel.PacingDelay(now));
    return std::max(next, now);
}

int SimEngine::Step(Clock::duration maxWait) {
    Clock::time_point now = Clock::now();
    const auto wait = std::min(maxWait, NextDeadline(now) - now);
    pollfd p{m_Line.Fd(), POLLIN, 0};
    if (m_Channel.HasOutput() && m_Channel.PacingDelay(now) == Clock::duration::zero())
        p.events |= POLLOUT;
    const int timeout = static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(std::max(wait, Clock::duration::zero()))
            .count());
    const int ready = ::poll(&p, 1, timeout);
    if (ready < 0 && errno != EINTR)
        return -1;
    now = Clock::now();

    if (ready > 0 && (p.revents & POLLHUP) && m_Line.IsPty()) {
        // Nobody holds the slave open. The master stays open for the next PC; poll reports
        // the hang-up at once while it lasts, so wait a little here.
        if (m_Connected) {
            m_Connected = false;
            Disconnected();
            if (m_Options.verbose)
                Log("the PC closed the line");
        }
        ::poll(nullptr, 0, 20);
        Stream(Clock::now());
        return 1;
    }
    if (!m_Connected) {
        m_Connected = true;
        if (m_Options.verbose)
            Log("the PC opened the line");
    }
    if (ready > 0 && (p.revents & POLLIN)) {
        std::uint8_t buffer[4096];
        for (int reads = 0; reads < 16; ++reads) {
            const long n = m_Line.Read(buffer, sizeof buffer);
            if (n < 0) {
                if (!m_Line.IsPty())
                    return -1;
                break;
            }
            if (n == 0)
                break;
            HandleBytes(buffer, static_cast<std::size_t>(n), now);
        }
    }
    if (m_Modem) {
        const std::string text = m_Modem->Tick(now);
        if (!text.empty()) {
            m_Channel.SendText(text);
            Log(m_Modem->Online() || text.find("NO CARRIER") == std::string::npos
                    ? "modem escaped to command mode"
                    : "modem call dropped by the far end");
        }
    }
    while (!m_Scheduled.empty() && m_Scheduled.front().due <= now) {
        Deliver(m_Scheduled.front().outcome, now);
        m_Scheduled.pop_front();
    }
    if (m_Transfer && m_TransferFrame != 0 && now - m_TransferSentAt > kTransferWait) {
        Log("no answer to a listing or file frame; transfer ended");
        m_Transfer.reset();
        m_TransferFrame = 0;
    }
    Stream(now);
    if (m_Channel.Flush(m_Line, now) < 0 && !m_Line.IsPty())
        return -1;
    return 1;
}

int SimEngine::Run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        if (Step(std::chrono::milliseconds(50)) < 0) {
            Log("the line failed");
            return 1;
        }
    }
    return 0;
}

} // namespace nereid::sim
