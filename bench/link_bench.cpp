// Frame encode and decode throughput in bytes of payload per second, beside a plain memcpy of
// the same payload as the baseline. The payload is a real-time data frame of one second of a
// 1000 samples/s channel (3013 bytes) with random samples, so about 2 % of the bytes need an
// escape, as on the line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "link/answer_records.h"
#include "link/frame_codec.h"
#include "link/serial_link.h"

namespace {

using nereid::link::CSerialLink;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPayload = 11 + 3 * 1000;

Bytes Payload() {
    std::mt19937 rng(7);
    Bytes p(kPayload);
    for (auto& b : p) {
        b = static_cast<std::uint8_t>(rng());
    }
    return p;
}

// A link whose port is an endless repetition of one frame.
class LoopLink : public CSerialLink {
public:
    explicit LoopLink(Bytes frame) : m_Frame(std::move(frame)) {}

protected:
    bool PortIsOpen() const override { return true; }
    std::size_t PortRead(std::uint8_t* buffer, std::size_t capacity, int) override {
        std::size_t done = 0;
        while (done < capacity) {
            const std::size_t n = std::min(capacity - done, m_Frame.size() - m_At);
            std::memcpy(buffer + done, m_Frame.data() + m_At, n);
            done += n;
            m_At = (m_At + n) % m_Frame.size();
        }
        return done;
    }
    int PortWrite(const std::uint8_t*, std::size_t length) override {
        return static_cast<int>(length);
    }

private:
    Bytes m_Frame;
    std::size_t m_At = 0;
};

void BM_MemcpyBaseline(benchmark::State& state) {
    const Bytes payload = Payload();
    Bytes out(payload.size());
    for (auto _ : state) {
        std::memcpy(out.data(), payload.data(), payload.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_MemcpyBaseline);

void BM_EncodeFrame(benchmark::State& state) {
    const Bytes payload = Payload();
    Bytes out(2 * payload.size() + 8);
    for (auto _ : state) {
        const int n =
            nereid::link::BuildFrame(5, payload.data(), payload.size(), out.data(), out.size());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_EncodeFrame);

// The link's receive path: ring, scan, unescape, CRC, consumption and ACK, record delivery.
void BM_DecodeFrameLink(benchmark::State& state) {
    Bytes frame;
    nereid::link::AppendFrame(5, Payload(), frame);
    LoopLink link(frame);
    link.ResizeDecodeBuffer(4 + std::max<std::size_t>(2048, 3 * 1000 + 13));
    nereid::link::FrameRecord record;
    record.payload.reserve(link.DecodeBufferSize());
    std::size_t bytes = 0;
    for (auto _ : state) {
        int result = 0;
        while (result != 1) {
            std::uint8_t expected = nereid::link::kReceiverExpectedType;
            result = link.ReadFrame(expected, record);
        }
        bytes += record.payload.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DecodeFrameLink);

// The codec pieces alone, as the simulator uses them.
void BM_DecodeFrameScanner(benchmark::State& state) {
    Bytes frame;
    nereid::link::AppendFrame(5, Payload(), frame);
    nereid::link::FrameScanner scanner;
    nereid::link::ScannedFrame f;
    f.payload.reserve(kPayload);
    std::size_t bytes = 0;
    for (auto _ : state) {
        scanner.Feed(frame);
        if (scanner.Next(f) == nereid::link::kFrameGood) {
            bytes += f.payload.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DecodeFrameScanner);

} // namespace

BENCHMARK_MAIN();
