// The simulator's command processor, given any sequence of commands. Every order (0x80 to
// 0xDF; the bytes above are the envelope's) is answered in its answer type with a status byte; an
// order refused with status 0 leaves the recorder as it was, seen through the answers to the
// read-only queries; and every answer is a payload the PC's decoders take.
#include "fuzz/fuzz_support.h"
#include "link/answer_records.h"
#include "link/frame_codec.h"
#include "sim/command_processor.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace nereid;
using namespace nereid::sim;

namespace {

// Queries that change nothing: configuration, internal recording setup, damping, calibration.
constexpr std::uint8_t kQueries[] = {0xB2, 0xB5, 0xBB};

std::vector<std::vector<std::uint8_t>> Snapshot(CommandProcessor& p) {
    std::vector<std::vector<std::uint8_t>> out;
    for (std::uint8_t q : kQueries) {
        const int length = p.ExpectedLength(q);
        const CommandOutcome o =
            p.Handle(q, std::vector<std::uint8_t>(length > 0 ? length : 2, 0), 1000);
        out.push_back(o.reply ? o.reply->payload : std::vector<std::uint8_t>{});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    InstrumentIdentity id;
    static const std::uint8_t kModels[] = {17, 3, 1};
    id.model = kModels[in.ConsumeIntegralInRange<int>(0, 2)];
    static const int kCalFormats[] = {26, 34, 36};
    id.calFormat = kCalFormats[in.ConsumeIntegralInRange<int>(0, 2)];
    InstrumentState state(id);
    DriveStore drives;
    CommandProcessor processor(state, drives);
    std::uint32_t second = 1000;

    while (in.remaining_bytes() > 0) {
        const std::uint8_t code = in.ConsumeIntegral<std::uint8_t>();
        const int expected = processor.ExpectedLength(code);
        std::vector<std::uint8_t> payload;
        if (expected >= 0 && in.ConsumeBool()) {
            // Mostly the right length with a zero header, so the checks behind them are reached.
            payload = in.ConsumeBytes<std::uint8_t>(static_cast<std::size_t>(expected));
            payload.resize(static_cast<std::size_t>(expected), 0);
            if (payload.size() >= 2)
                payload[0] = payload[1] = 0;
        } else {
            payload = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
        }
        second += in.ConsumeIntegralInRange<std::uint32_t>(0, 100);
        const auto before = Snapshot(processor);
        const CommandOutcome out = processor.Handle(code, payload, second);
        if (code < 0x80 || code >= link::kEscapeByte) { // not a command type
            NEREID_FUZZ_CHECK(!out.reply);
            continue;
        }
        NEREID_FUZZ_CHECK(out.reply.has_value());
        NEREID_FUZZ_CHECK(out.reply->type == static_cast<std::uint8_t>(code - 0x60));
        NEREID_FUZZ_CHECK(out.reply->payload.size() >= 3);
        const std::vector<std::uint8_t>& answer = out.reply->payload;
        if (link::IsDecodableAnswerType(out.reply->type)) {
            link::FrameRecord record;
            NEREID_FUZZ_CHECK(
                link::DecodeAnswer(out.reply->type, answer.data(), answer.size(), record) == 1);
            NEREID_FUZZ_CHECK(record.status == answer[2]);
        }
        if (answer[2] == 0) {
            NEREID_FUZZ_CHECK(!out.transfer.has_value());
            NEREID_FUZZ_CHECK(!out.setClock.has_value());
            NEREID_FUZZ_CHECK(Snapshot(processor) == before);
        }
    }
    return 0;
}
