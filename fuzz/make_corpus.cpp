// Writes the seed corpora of the harnesses into the folder given (fuzz/corpus): real frames,
// files and answers made by the project's own writers and by the simulator, so the fuzzers
// start from inputs that pass the first checks. Run it again after a format changes:
//   build-asan/fuzz/make_corpus fuzz/corpus
#include "display/model/analysis_settings.h"
#include "link/frame_codec.h"
#include "recording/hlcp_translator.h"
#include "sim/command_processor.h"
#include "sim/hlcp_file.h"
#include "sim/signal_model.h"
#include "sim/stream_generator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace nereid;
using Bytes = std::vector<std::uint8_t>;

namespace {

fs::path g_Root;

void Seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
    const fs::path folder = g_Root / harness;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Builds inputs the way FuzzedDataProvider takes them apart: byte runs from the front,
// numbers and flags from the back (last byte first).
class ProviderInput {
public:
    void Bytes_(const Bytes& b) { m_Front.insert(m_Front.end(), b.begin(), b.end()); }
    void Int(std::uint64_t min, std::uint64_t max, std::uint64_t value) {
        const std::uint64_t range = max - min;
        std::vector<std::uint8_t> taken; // in the order the provider takes them
        for (int offset = 0; offset < 64 && (range >> offset) > 0; offset += 8)
            taken.push_back(0);
        std::uint64_t v = value - min;
        for (std::size_t i = taken.size(); i-- > 0;) {
            taken[i] = static_cast<std::uint8_t>(v & 0xFF);
            v >>= 8;
        }
        m_Back.insert(m_Back.end(), taken.begin(), taken.end());
    }
    void Bool(bool b) { Int(0, 255, b ? 1 : 0); }
    Bytes Finish() const {
        Bytes out = m_Front;
        out.insert(out.end(), m_Back.rbegin(), m_Back.rend());
        return out;
    }

private:
    Bytes m_Front;
    Bytes m_Back;
};

Bytes Frame(std::uint8_t type, const Bytes& payload) {
    Bytes out;
    link::AppendFrame(type, payload, out);
    return out;
}

struct Answer {
    std::uint8_t type;
    Bytes payload;
};

// The simulator's answers to every query, for each recorder model.
std::vector<Answer> SimulatorAnswers(std::uint8_t model, int calFormat) {
    sim::InstrumentIdentity id;
    id.model = model;
    id.calFormat = calFormat;
    sim::InstrumentState state(id);
    sim::DriveStore drives;
    sim::CommandProcessor processor(state, drives);
    std::vector<Answer> out;
    for (std::uint8_t code : {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB7, 0xBB}) {
        const int length = processor.ExpectedLength(code);
        const Bytes query(length > 0 ? static_cast<std::size_t>(length) : 2, 0);
        const sim::CommandOutcome o = processor.Handle(code, query, 1'700'000'000u);
        if (o.reply)
            out.push_back({o.reply->type, o.reply->payload});
    }
    return out;
}

Bytes HlcpFile(int channelIndex, std::uint8_t rateCode, std::uint32_t seconds) {
    sim::HlcpFilePlan plan;
    plan.channelIndex = channelIndex;
    plan.rateCode = rateCode;
    plan.startTime = 1'700'000'000u;
    plan.seconds = seconds;
    return sim::BuildHlcpFile(plan, sim::SignalModel());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    g_Root = argv[1];
    const sim::SignalModel signal;
    const Bytes data = sim::StreamGenerator::Payload(1234, 1, 1'700'000'000u, 20, signal);
    std::vector<Answer> answers = SimulatorAnswers(17, 26);
    for (const Answer& a : SimulatorAnswers(3, 36))
        answers.push_back(a);

    // Frames: a data frame, every answer, control frames, one frame cut short.
    Bytes stream = Frame(0, data);
    for (const Answer& a : answers)
        stream = Cat({stream, Frame(a.type, a.payload)});
    Bytes controls;
    link::AppendControlFrame(link::kAckType, controls);
    link::AppendControlFrame(link::kNakType, controls);
    Seed("fuzz_frames", "stream", Cat({{40, 3}, stream, controls}));
    Seed("fuzz_frames", "cut", Cat({{2, 1}, Bytes(stream.begin(), stream.begin() + 50)}));
    for (const Answer& a : answers)
        Seed("fuzz_frames",
             "answer-" + std::to_string(a.type) + "-" + std::to_string(a.payload.size()),
             Cat({{200, 0}, Frame(a.type, a.payload)}));

    // The receive ring: data frames and answers interleaved, both readers taking turns.
    {
        ProviderInput in;
        in.Bool(true);           // a data reader runs
        in.Bool(true);           // a transaction waits
        in.Int(0x20, 0x5B, 'R'); // the answer it waits for
        in.Bytes_(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
        Bytes ring;
        for (std::uint32_t s = 0; s < 6; ++s)
            ring = Cat({ring, Frame(static_cast<std::uint8_t>(s % 3),
                                    sim::StreamGenerator::Payload(
                                        1234, 1 + int(s % 3), 1'700'000'000u + s, 100, signal))});
        for (const Answer& a : answers)
            ring = Cat({ring, Frame(a.type, a.payload)});
        in.Bytes_(ring);
        Seed("fuzz_receive_ring", "mixed", in.Finish());
    }

    // Files: the translator's output in every form, and the HLCP sources themselves.
    const fs::path scratch = fs::temp_directory_path() / "nereid-corpus";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const Bytes hlcp = HlcpFile(2, 30, 3); // 100 samples/s, 3 s
    const Bytes fast = HlcpFile(0, 33, 1); // 200 samples/s, 1 s
    for (int form = 0; form < 5; ++form) {
        // Each form in a folder of its own: some forms share their output names.
        const fs::path folder = scratch / std::to_string(form);
        fs::create_directories(folder);
        recording::HlcpTranslator t(form, hlcp.size(), "D3001001.093", folder.string());
        if (!t.PrepareOutput() || t.Feed(hlcp.data(), hlcp.size()) != 1 || t.Write() != 1) {
            std::fprintf(stderr, "translation to form %d failed: %s\n", form, t.Message().c_str());
            return 1;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const Bytes file{std::istreambuf_iterator<char>(in), {}};
            Seed("fuzz_readers",
                 "form" + std::to_string(form) + "-" + entry.path().filename().string(), file);
        }
    }
    fs::remove_all(scratch);
    Seed("fuzz_readers", "hlcp", hlcp);
    for (int form = 0; form < 5; ++form) {
        Seed("fuzz_translator", "form" + std::to_string(form),
             Cat({{static_cast<std::uint8_t>(form), 17}, hlcp}));
        Seed("fuzz_translator", "fast-form" + std::to_string(form),
             Cat({{static_cast<std::uint8_t>(form), 200}, fast}));
    }

    // The intake: a table of three channels, then a run of seconds with a gap and a rebuild.
    {
        ProviderInput in;
        auto rebuild = [&](std::vector<std::pair<int, int>> streams) { // number, rate index
            in.Int(0, 9, 0);
            in.Int(0, 16, streams.size());
            for (auto [number, rate] : streams) {
                in.Int(0, 17, static_cast<std::uint64_t>(number));
                in.Bool(true);
                in.Int(0, 10, static_cast<std::uint64_t>(rate));
            }
        };
        auto frame = [&](int channel, std::uint32_t second, int rate) {
            const Bytes p = sim::StreamGenerator::Payload(1234, channel, second, rate, signal);
            in.Int(0, 9, 5);
            in.Int(0, 11 + 3 * 1100, p.size());
            in.Bytes_(p);
            in.Bool(false); // keep the frame's own second
        };
        rebuild({{1, 4}, {2, 4}, {3, 6}});
        in.Int(0, 9, 3);
        in.Bool(false); // the restart gate open
        in.Int(0, 9, 2);
        in.Bool(true); // recording
        in.Bool(false);
        in.Bool(false);
        for (std::uint32_t s = 0; s < 5; ++s) {
            if (s == 3)
                continue; // a gap of one second
            frame(1, 1'700'000'000u + s, 20);
            frame(2, 1'700'000'000u + s, 20);
            frame(3, 1'700'000'000u + s, 100);
        }
        rebuild({{1, 6}});
        frame(1, 1'700'000'005u, 100);
        Seed("fuzz_intake", "three-channels", in.Finish());
    }

    // Page models: every simulator answer with the model and calibration form it came from.
    {
        const std::uint8_t kTypes[] = {'P', 'Q', 'T', 'R', 'S', 'U', '['};
        for (std::uint8_t model : {17, 3}) {
            for (const Answer& a : SimulatorAnswers(model, model == 17 ? 26 : 36)) {
                for (std::uint8_t i = 0; i < sizeof kTypes; ++i) {
                    if (kTypes[i] != a.type)
                        continue;
                    const std::uint8_t flags = (model == 17 ? 1 : 0) | (model == 17 ? 0 : 2);
                    Seed("fuzz_page_models",
                         "type" + std::to_string(a.type) + "-model" + std::to_string(model),
                         Cat({{i, flags}, a.payload}));
                }
            }
        }
    }

    // The transfer engine: a listing over two frames, and a file of three blocks.
    {
        auto listingPayload = [](std::uint8_t state, std::uint16_t sequence) {
            Bytes p{0, 0, state, static_cast<std::uint8_t>(sequence), 0};
            for (int i = 0; i < 8; ++i) {
                Bytes e{1};
                const std::string name = "D300" + std::to_string(i) + "001 093 ";
                e.insert(e.end(), name.begin(), name.end());
                e.push_back(0x20);
                e.insert(e.end(), {0x00, 0x60, 0x21, 0x5B, 0x10, 0x27, 0, 0});
                p.insert(p.end(), e.begin(), e.end());
            }
            return p;
        };
        ProviderInput in;
        in.Bool(false); // a listing
        for (std::uint16_t seq = 1; seq <= 2; ++seq) {
            const Bytes p = listingPayload(seq == 2 ? 1 : 2, seq);
            in.Int(0, 7, 3);
            in.Int(0, 3, p[2]);
            in.Int(0, 6, seq);
            in.Bytes_(Bytes(p.begin() + 5, p.end()));
        }
        Seed("fuzz_upload", "listing", in.Finish());

        ProviderInput r;
        r.Bool(true); // a retrieve of one file
        r.Int(1, 3, 1);
        r.Int(0, 3, 0);
        r.Int(0, 5000, 1000);
        r.Int(0, 4, 0); // DADiSP
        const Bytes file = HlcpFile(0, 30, 3);
        std::size_t at = 0;
        std::uint16_t seq = 1;
        while (at < file.size()) {
            const std::size_t n = std::min<std::size_t>(600, file.size() - at);
            r.Int(0, 7, 3);
            r.Int(0, 3, at + n >= file.size() ? 1 : 2);
            r.Int(0, 6, seq++ % 7);
            r.Int(0, 700, n);
            r.Bytes_(Bytes(file.begin() + static_cast<long>(at),
                           file.begin() + static_cast<long>(at + n)));
            at += n;
        }
        Seed("fuzz_upload", "retrieve", r.Finish());
    }

    // The layout file as the analysis window writes it.
    {
        display::model::AnalysisLayout layout;
        for (int c = 0; c < 4; ++c) {
            display::model::ChannelLayout ch;
            ch.name = "CH" + std::to_string(c + 1);
            layout.channels.push_back(ch);
        }
        Seed("fuzz_settings", "four-channels", display::model::EncodeAnalysisLayout(layout));
    }

    // Telephony: a call that connects, and a phone.ini with two entries.
    {
        ProviderInput call;
        call.Bool(true);
        for (int answer : {0, 0, 0, 2, 1}) { // OK, OK, OK, RINGING, CONNECT
            call.Int(0, 5, 2);
            call.Int(0, 8, static_cast<std::uint64_t>(answer));
        }
        call.Int(0, 5, 0); // hang up
        call.Int(0, 5, 2);
        call.Int(0, 8, 0); // OK
        Seed("fuzz_telephony", "call", call.Finish());
        const std::string ini = "[Speed Dial Settings]\r\nName0=Station One\r\nNumber0=5551234\r\n"
                                "Name5=Far Hill\r\nNumber5=0,555 9876\r\n";
        // Name and number as the provider reads strings: each ends at a backslash pair.
        const std::string texts = "New Name\\x5559999\\x";
        Bytes dir(texts.begin(), texts.end());
        dir.insert(dir.end(), ini.begin(), ini.end());
        dir.push_back(3); // slot
        dir.push_back(0); // the phone directory
        Seed("fuzz_telephony", "phone-ini", dir);
    }

    // Simulator commands: every query with its right length, then a configuration order.
    {
        ProviderInput in;
        in.Int(0, 2, 0);
        in.Int(0, 2, 0);
        sim::InstrumentState state(sim::InstrumentIdentity{});
        sim::DriveStore drives;
        sim::CommandProcessor processor(state, drives);
        for (std::uint8_t code : {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0x89, 0x84, 0x85}) {
            const int length = processor.ExpectedLength(code);
            in.Int(0, 255, code);
            if (length >= 0) {
                in.Bool(true);
                in.Bytes_(Bytes(static_cast<std::size_t>(length), 0));
            } else {
                in.Bool(false);
                in.Int(0, 300, 2);
                in.Bytes_(Bytes{0, 0});
            }
            in.Int(0, 100, 1);
        }
        Seed("fuzz_sim_commands", "queries", in.Finish());
    }
    std::printf("seeds written to %s\n", g_Root.string().c_str());
    return 0;
}
