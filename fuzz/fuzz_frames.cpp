// The frame scanner and the answer decoders: a byte stream fed whole and fed in pieces must
// give the same frames; a frame reported good must carry a CRC that checks and must come
// back unchanged when it is built and scanned again; every decodable answer decodes.
#include "fuzz/fuzz_support.h"
#include "link/answer_records.h"
#include "link/frame_codec.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace nereid::link;

namespace {

struct Found {
    int result;
    ScannedFrame frame;
};

std::vector<Found> Drain(FrameScanner& scanner) {
    std::vector<Found> out;
    ScannedFrame f;
    for (int r = scanner.Next(f); r != kFrameNone; r = scanner.Next(f)) {
        out.push_back({r, f});
        f = ScannedFrame{};
    }
    return out;
}

bool Same(const std::vector<Found>& a, const std::vector<Found>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].result != b[i].result || a[i].frame.type != b[i].frame.type ||
            a[i].frame.control != b[i].frame.control || a[i].frame.payload != b[i].frame.payload)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes choose the body limit and the piece sizes; the rest is the stream.
    const std::size_t maxBody = 16 + static_cast<std::size_t>(data[0]) * 8;
    const std::uint8_t pieceSeed = data[1];
    const std::vector<std::uint8_t> stream = nereid::fuzz::ExactCopy(data + 2, size - 2);

    FrameScanner whole(maxBody);
    whole.Feed(stream.data(), stream.size());
    const std::vector<Found> wholeFrames = Drain(whole);

    FrameScanner pieces(maxBody);
    std::vector<Found> pieceFrames;
    std::size_t at = 0;
    std::size_t step = 1 + pieceSeed % 7;
    while (at < stream.size()) {
        const std::size_t n = std::min(step, stream.size() - at);
        pieces.Feed(stream.data() + at, n);
        at += n;
        step = 1 + (step * 5 + pieceSeed) % 13;
        // Taking frames between pieces must not change what is found.
        for (Found& f : Drain(pieces))
            pieceFrames.push_back(std::move(f));
    }
    NEREID_FUZZ_CHECK(Same(wholeFrames, pieceFrames));

    std::size_t ends = 0;
    for (std::uint8_t b : stream)
        ends += b == kFrameEnd;
    NEREID_FUZZ_CHECK(wholeFrames.size() <= ends);

    for (const Found& f : wholeFrames) {
        NEREID_FUZZ_CHECK(f.frame.payload.size() + 2 <= maxBody || f.result != kFrameGood);
        if (f.result != kFrameGood || f.frame.control)
            continue;
        // The CRC it passed, recomputed independently of the scanner.
        std::vector<std::uint8_t> body = f.frame.payload;
        const std::uint16_t crc = FrameCrc(f.frame.type, body.data(), body.size());
        body.push_back(static_cast<std::uint8_t>(crc >> 8));
        body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        NEREID_FUZZ_CHECK(CheckFrameBody(f.frame.type, body.data(), body.size()) == kFrameGood);
        // Built again and scanned again: the same frame.
        std::vector<std::uint8_t> rebuilt;
        AppendFrame(f.frame.type, f.frame.payload, rebuilt);
        FrameScanner again(maxBody);
        again.Feed(rebuilt);
        const std::vector<Found> back = Drain(again);
        NEREID_FUZZ_CHECK(back.size() == 1 && back[0].result == kFrameGood &&
                          back[0].frame.type == f.frame.type &&
                          back[0].frame.payload == f.frame.payload);
        if (IsDecodableAnswerType(f.frame.type)) {
            const std::vector<std::uint8_t> payload = f.frame.payload; // exact size
            FrameRecord record;
            NEREID_FUZZ_CHECK(DecodeAnswer(f.frame.type, payload.data(), payload.size(), record) ==
                              1);
        }
    }

    // The decoders straight on the raw bytes too: type from the stream, exact-size payload.
    if (!stream.empty()) {
        const std::vector<std::uint8_t> payload(stream.begin() + 1, stream.end());
        FrameRecord record;
        const int r = DecodeAnswer(stream[0], payload.data(), payload.size(), record);
        NEREID_FUZZ_CHECK(r == (IsDecodableAnswerType(stream[0]) ? 1 : 0));
    }
    return 0;
}
