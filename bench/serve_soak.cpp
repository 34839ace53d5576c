// Soak of the SeedLink station service: 16 channels at 1000 samples per second, ten times
// faster than real time, for ten simulated minutes, fed into the service as the intake feeds
// it (one stored second per channel at a time), with two SeedLink clients taking everything
// over TCP. Reports resident memory each simulated minute, the CPU share of the service and of
// the clients, records per second, the record latency (arrival at the client less the
// record's last sample, in stream seconds, which a real-time run sees as seconds) beside the
// span of a record, the size of the ring file, and whether every sample reached both clients
// in order.
//
// serve_soak [--minutes M] [--channels N] [--rate R] [--scale X] [--ring-minutes M]
//            [--latency S] [--ring-file PATH] [--libmseed-packing 1]
// (--libmseed-packing 1: full records wait for libmseed's buffer, as before; a baseline.)

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "seedlink/mseed_record_packer.h"
#include "seedlink/record_ring.h"
#include "seedlink/server.h"
#include "seedlink/stream_feed.h"
#include "tests/seedlink/seedlink_test_client.h"

namespace {

using namespace nereid::seedlink;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct ClientResult {
    std::uint64_t samples = 0;
    std::uint64_t records = 0;
    // Record latencies in 10 ms bins up to 60 s (a histogram: the soak's memory must not grow
    // with what it measures).
    std::vector<std::uint64_t> latencyBins = std::vector<std::uint64_t>(6001, 0);
    double spanSeconds = 0; // summed spans of the records
    std::string continuity;
    bool sequenceOk = true;
    double cpuSeconds = 0;
};

// The stream's clock: it reads `first` at `start`, and `scale` stream seconds pass per wall
// second.
struct StreamClock {
    std::chrono::steady_clock::time_point start;
    double first = 0;
    double scale = 1;
    double Now() const {
        return first +
               scale *
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

// The latency below which the fraction `p` of the records came, in seconds.
double Percentile(const std::vector<std::uint64_t>& bins, double p) {
    std::uint64_t total = 0;
    for (const std::uint64_t n : bins) {
        total += n;
    }
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < bins.size(); ++i) {
        seen += bins[i];
        if (total > 0 && static_cast<double>(seen) >= p * static_cast<double>(total)) {
            return static_cast<double>(i) / 100;
        }
    }
    return 0;
}

void RunClient(int port, std::uint64_t expectedSamples, std::atomic<bool>& fedAll,
               const StreamClock& clock, ClientResult& result) {
    test::TestClient client(port, false);
    client.Send("DATA 000000\r\n");
    std::vector<test::DecodedRecord> records;
    std::vector<test::DecodedRecord> window;
    std::map<std::string, std::int64_t> nextUs;
    std::uint32_t lastSequence = 0xFFFFFF;
    auto done = [&](const std::vector<test::DecodedRecord>&) {
        return result.samples >= expectedSamples;
    };
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::hours(1);
    while (!done(records) && std::chrono::steady_clock::now() < giveUp) {
        window.clear();
        // One record at a time, so that each gets its own arrival time.
        client.Collect(
            window, [](const auto& w) { return !w.empty(); }, 200);
        const double arrival = clock.Now();
        for (const test::DecodedRecord& r : window) {
            const double span = static_cast<double>(r.samples.size()) / r.rate;
            const double end = static_cast<double>(r.startUs) / 1e6 + span - 1 / r.rate;
            if (!fedAll.load()) {
                const double bin = std::clamp((arrival - end) * 100, 0.0, 6000.0);
                ++result.latencyBins[static_cast<std::size_t>(std::ceil(bin))];
            }
            result.spanSeconds += span;
            if (r.sequence != ((lastSequence + 1) & kSequenceMask)) {
                result.sequenceOk = false;
            }
            lastSequence = r.sequence;
            const auto it = nextUs.find(r.channel);
            if (it != nextUs.end() && it->second != r.startUs && result.continuity.empty()) {
                result.continuity = r.channel + " jumps at record " + std::to_string(r.sequence);
            }
            nextUs[r.channel] =
                r.startUs + static_cast<std::int64_t>(
                                std::llround(static_cast<double>(r.samples.size()) * 1e6 / r.rate));
            result.samples += r.samples.size();
            ++result.records;
        }
        if (window.empty() && fedAll.load() && result.samples < expectedSamples) {
            // Everything was fed and flushed; a quiet line now means samples are missing.
            static thread_local int quiet = 0;
            if (++quiet > 25) {
                break;
            }
        }
    }
    result.cpuSeconds = ThreadCpuSeconds();
}

} // namespace

int main(int argc, char** argv) {
    int minutes = 10;
    int channels = 16;
    int rate = 1000;
    double scale = 10;
    double ringMinutes = 1;
    double latency = 10;
    std::string ringFile;
    bool fullRecordsAtOnce = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--libmseed-packing") {
            fullRecordsAtOnce = std::atoi(argv[i + 1]) == 0;
            continue;
        }
        if (name == "--ring-file") {
            ringFile = argv[i + 1];
            continue;
        }
        const double v = std::atof(argv[i + 1]);
        if (name == "--minutes") {
            minutes = static_cast<int>(v);
        } else if (name == "--channels") {
            channels = static_cast<int>(v);
        } else if (name == "--rate") {
            rate = static_cast<int>(v);
        } else if (name == "--scale") {
            scale = v;
        } else if (name == "--ring-minutes") {
            ringMinutes = v;
        } else if (name == "--latency") {
            latency = v;
        } else {
            std::fprintf(stderr, "serve_soak: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    const std::size_t capacity = RecordsForMinutes(
        std::vector<double>(static_cast<std::size_t>(channels), rate), ringMinutes, latency);
    CRecordRing ring(capacity);
    ring.SetSpan(static_cast<std::int64_t>(ringMinutes * 60 * 1e9));
    if (!ringFile.empty()) {
        std::string error;
        if (ring.OpenFile(ringFile, error) < 0) {
            std::fprintf(stderr, "serve_soak: %s\n", error.c_str());
            return 1;
        }
    }
    SServiceIdentity who;
    CSeedLinkServer server(ring, who);
    if (server.Start("127.0.0.1", 0) != kServerStarted) {
        std::fprintf(stderr, "serve_soak: %s\n", server.ErrorText().c_str());
        return 1;
    }
    ring.SetPublishListener([&server] { server.Notify(); });
    CStreamFeed feed(ring, MseedPackerFactory(latency, fullRecordsAtOnce),
                     [&server] { server.Notify(); });
    for (int c = 1; c <= channels; ++c) {
        char code[4];
        std::snprintf(code, sizeof code, "HH%c", c <= 9 ? '0' + c : 'A' + c - 10);
        feed.SetStream(c, SFeedStream{"XX", "SIM1", "", code, static_cast<double>(rate)});
    }
    const std::uint64_t expected =
        static_cast<std::uint64_t>(minutes) * 60 * static_cast<std::uint64_t>(channels * rate);
    std::atomic<bool> fedAll{false};
    ClientResult results[2];
    std::thread clients[2];
    const std::uint32_t first = 1796666100;
    const auto start = std::chrono::steady_clock::now();
    // Second s is fed at start + s / scale, which is when it would have ended in real time.
    const StreamClock clock{start, static_cast<double>(first) + 1, scale};
    for (int k = 0; k < 2; ++k) {
        clients[k] = std::thread(RunClient, server.Port(), expected, std::ref(fedAll),
                                 std::cref(clock), std::ref(results[k]));
    }
    std::printf("serve_soak: %d channels x %d samples/s, x%.0f, %d simulated minutes, ring of "
                "%zu records (%.1f min)\n",
                channels, rate, scale, minutes, capacity, ringMinutes);
    std::printf("%8s %10s %10s %12s\n", "sim-min", "rss-kB", "ring-recs", "cpu-share");

    std::mt19937 noise(1);
    std::uniform_int_distribution<int> jitter(-200, 200);
    std::vector<std::int32_t> samples(static_cast<std::size_t>(rate));
    double cpuAtMinute = ProcessCpuSeconds();
    auto wallAtMinute = start;
    long firstMinuteRss = 0;
    long maxLaterRss = 0;
    for (int s = 0; s < minutes * 60; ++s) {
        for (int c = 1; c <= channels; ++c) {
            for (int i = 0; i < rate; ++i) {
                const double t = s + static_cast<double>(i) / rate;
                samples[static_cast<std::size_t>(i)] =
                    static_cast<std::int32_t>(100000.0 * c * std::sin(2 * M_PI * t)) +
                    jitter(noise);
            }
            feed.OnFrameStored(c, first + static_cast<std::uint32_t>(s), samples.data(), rate);
        }
        std::this_thread::sleep_until(
            start + std::chrono::microseconds(static_cast<long>((s + 1) * 1e6 / scale)));
        if ((s + 1) % 60 == 0) {
            const auto now = std::chrono::steady_clock::now();
            const double cpu = ProcessCpuSeconds();
            const double wall = std::chrono::duration<double>(now - wallAtMinute).count();
            const long rss = ResidentKb();
            std::printf("%8d %10ld %10llu %11.1f%%\n", (s + 1) / 60, rss,
                        static_cast<unsigned long long>(ring.Next() - ring.Oldest()),
                        100.0 * (cpu - cpuAtMinute) / wall);
            std::fflush(stdout);
            if ((s + 1) / 60 == 1) {
                firstMinuteRss = rss;
            } else {
                maxLaterRss = std::max(maxLaterRss, rss);
            }
            cpuAtMinute = cpu;
            wallAtMinute = now;
        }
    }
    feed.FlushAll();
    server.Notify();
    fedAll.store(true);
    for (auto& t : clients) {
        t.join();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double total = ProcessCpuSeconds();
    const double clientCpu = results[0].cpuSeconds + results[1].cpuSeconds;
    std::printf("wall %.1f s; CPU: service %.1f%% of one core (packing, ring, server), two "
                "clients %.1f%% (decoding)\n",
                wall, 100.0 * (total - clientCpu) / wall, 100.0 * clientCpu / wall);
    std::printf("resident memory: %ld kB after minute 1, at most %ld kB later (%+.1f%%)\n",
                firstMinuteRss, maxLaterRss,
                firstMinuteRss > 0 ? 100.0 * (maxLaterRss - firstMinuteRss) / firstMinuteRss : 0.0);
    const std::uint64_t made = ring.Next();
    std::printf("records: %llu made, %.1f per stream second (%.1f per wall second)\n",
                static_cast<unsigned long long>(made), static_cast<double>(made) / (minutes * 60),
                static_cast<double>(made) / wall);
    const ClientResult& r0 = results[0];
    std::printf("record latency (stream s): p50 %.2f, p95 %.2f, max %.2f; a record spans %.2f s "
                "on average (latency setting %.1f s)\n",
                Percentile(r0.latencyBins, 0.5), Percentile(r0.latencyBins, 0.95),
                Percentile(r0.latencyBins, 1.0),
                r0.records > 0 ? r0.spanSeconds / static_cast<double>(r0.records) : 0.0, latency);
    if (!ringFile.empty()) {
        ring.Flush();
        std::ifstream file(ringFile, std::ios::binary | std::ios::ate);
        std::printf("ring file: %lld bytes for %zu records (%.1f min asked), %llu held\n",
                    static_cast<long long>(file.tellg()), capacity, ringMinutes,
                    static_cast<unsigned long long>(ring.Next() - ring.Oldest()));
    }
    bool ok = feed.Failures() == 0;
    for (int k = 0; k < 2; ++k) {
        std::printf("client %d: %llu records, %llu of %llu samples, sequence %s, continuity %s\n",
                    k + 1, static_cast<unsigned long long>(results[k].records),
                    static_cast<unsigned long long>(results[k].samples),
                    static_cast<unsigned long long>(expected),
                    results[k].sequenceOk ? "unbroken" : "BROKEN",
                    results[k].continuity.empty() ? "whole" : results[k].continuity.c_str());
        ok = ok && results[k].samples == expected && results[k].sequenceOk &&
             results[k].continuity.empty();
    }
    std::printf("%s\n", ok ? "nothing lost" : "LOSS");
    server.Stop();
    return ok ? 0 : 1;
}
