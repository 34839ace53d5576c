// The receive ring of the serial link, through a port stand-in: bytes arrive in pieces of
// varying size while a data reader and an answer reader poll in turns. Every frame the link
// accepts must be a frame with a good CRC that was in the input, with its payload intact, and
// the ring never claims to hold more than its size.
#include "fuzz/fuzz_support.h"
#include "link/frame_codec.h"
#include "tests/link/memory_link.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <map>
#include <utility>

using namespace nereid::link;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool dataReader = in.ConsumeBool();
    const bool waiting = in.ConsumeBool();
    const std::uint8_t answerType = in.ConsumeIntegralInRange<std::uint8_t>(0x20, 0x5B);
    const std::vector<std::uint8_t> plan = in.ConsumeBytes<std::uint8_t>(16);
    const std::vector<std::uint8_t> stream = in.ConsumeRemainingBytes<std::uint8_t>();

    // What was in the input: every good frame, as (type, payload), counted.
    std::map<std::pair<std::uint8_t, std::vector<std::uint8_t>>, int> sent;
    std::map<std::uint8_t, int> sentTypes;
    {
        FrameScanner scanner(1 << 20);
        scanner.Feed(stream.data(), stream.size());
        ScannedFrame f;
        while (const int r = scanner.Next(f)) {
            if (r == kFrameGood && !f.control) {
                ++sent[{f.type, f.payload}];
                ++sentTypes[f.type];
            }
            f = ScannedFrame{};
        }
    }

    nereid::test::MemoryLink link;
    link.SetDataReaderActive(dataReader);
    link.SetTransactionWaiting(waiting);
    std::size_t at = 0;
    std::size_t turn = 0;
    int idle = 0;
    while (idle < 4) {
        const std::uint8_t p = plan.empty() ? 7 : plan[turn % plan.size()];
        ++turn;
        const std::size_t n = std::min<std::size_t>(1 + p * 13u, stream.size() - at);
        if (n > 0) {
            link.Feed(std::vector<std::uint8_t>(stream.begin() + static_cast<long>(at),
                                                stream.begin() + static_cast<long>(at + n)));
            at += n;
        }
        // Odd plan bytes poll as the data reader, even ones as the answer reader.
        std::uint8_t expected = (p & 1) ? kReceiverExpectedType : answerType;
        FrameRecord record;
        const int r = link.ReadFrame(expected, record);
        NEREID_FUZZ_CHECK(link.RingBytesHeld() <= CSerialLink::kRingSize);
        if (r == kAccepted || r == kRefused) {
            if (record.type > kLastDataType && record.type <= kLastSmallType) {
                NEREID_FUZZ_CHECK(sentTypes[record.type]-- > 0);
            } else {
                auto it = sent.find({record.type, record.payload});
                NEREID_FUZZ_CHECK(it != sent.end() && it->second > 0);
                --it->second;
                --sentTypes[record.type];
            }
        }
        idle = (at >= stream.size() && r != kAccepted && r != kRefused) ? idle + 1 : 0;
        if (turn > 100000)
            break;
    }
    return 0;
}
