// Translating one 64 MB recorder (HLCP) file to each PC form, against copying the same file
// (mapped source, written to a new file in 1 MiB pieces) in the same run. "x_copy" is the mean
// time of a translation divided by the mean time of the copy; "cpu_ms" counts every thread.
// The inputs are generated here: a recorder's background of a few thousand counts with strong
// events, and (BM_TranslateQuiet) a quiet vault's, whose small differences pack differently.
// miniSEED (form 5) packs Steim-2 records, so beside the copy the DADiSP translation (form 0,
// same decoding, plain 32-bit output) is its nearest baseline. Every translation streams its
// output through a small buffer to a temporary file that it renames at the end.
#include <benchmark/benchmark.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "recording/hlcp_translator.h"
#include "recording/mapped_file.h"
#include "recording/unique_fd.h"

namespace {

using namespace nereid::recording;

constexpr std::size_t kFileSize = 64u << 20;

struct Fixture {
    std::string folder;
    std::string source;
    std::shared_ptr<const CMappedFile> mapped;
    double copySeconds = 0;

    // `noise`: the background's half-width in counts; `event`: the events' peak.
    Fixture(int noise, double event, const char* name) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr ? base : "/tmp") + "/nereid-formats-bench-XXXXXX";
        folder = ::mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp";
        source = folder + "/" + name;
        std::vector<std::uint8_t> file(kFileSize);
        file[17] = 17;
        file[18] = 30;
        const std::uint32_t start = 1049383800;
        for (int i = 0; i < 4; ++i) {
            file[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(start >> (8 * i));
        }
        // Recorder-like samples: background noise of a few thousand counts with one strong
        // event of up to +-4 million counts in every 100 s (at 100 samples/s), as 24-bit
        // values. ASCII output size, and so its cost, depends on these magnitudes.
        std::uint32_t x = 12345;
        std::size_t n = 0;
        for (std::size_t i = 276; i + 3 <= file.size(); i += 3, ++n) {
            x = x * 1103515245u + 12345u;
            std::int32_t v =
                static_cast<std::int32_t>((x >> 16) % static_cast<std::uint32_t>(2 * noise + 1)) -
                noise;
            if (n % 10000 < 1000) {
                const double t = static_cast<double>(n % 10000) / 1000.0;
                v += static_cast<std::int32_t>(event * (1.0 - t) * std::sin(n * 0.7));
            }
            const auto u = static_cast<std::uint32_t>(v);
            file[i] = static_cast<std::uint8_t>(u);
            file[i + 1] = static_cast<std::uint8_t>(u >> 8);
            file[i + 2] = static_cast<std::uint8_t>(u >> 16);
        }
        UniqueFd fd(::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (WriteAll(fd.Get(), file.data(), file.size()) != 0) {
            std::abort();
        }
        fd.Reset();
        int error = 0;
        if (CMappedFile::Open(source, mapped, error) != CMappedFile::kOk) {
            std::abort();
        }
    }
    ~Fixture() {
        mapped.reset();
        if (std::system(("rm -rf '" + folder + "'").c_str()) != 0) {
            // A leftover temporary folder is harmless.
        }
    }
};

Fixture& Data() {
    static Fixture f(2000, 4000000.0, "D1345A.HLC");
    return f;
}

// A quiet vault: a background of +-100 counts and events of 400000, whose small differences
// make Steim-2 words of three to seven; the copy of the first file is the baseline (same size).
Fixture& QuietData() {
    static Fixture f(100, 400000.0, "D2345A.HLC");
    return f;
}

constexpr std::size_t kCopyBlock = std::size_t{1} << 20;

// User and system time of the whole process (every thread) so far, in seconds.
double ProcessCpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(r.ru_utime) + seconds(r.ru_stime);
}

void BM_Copy(benchmark::State& state) {
    Fixture& f = Data();
    const std::string out = f.folder + "/copy.HLC";
    // In 1 MiB writes, as cp and the translator write: one 64 MB write swung between 16 and
    // 35 ms from run to run.
    const auto copyOnce = [&] {
        UniqueFd fd(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        bool failed = !fd.Valid();
        for (std::size_t at = 0; at < f.mapped->Size() && !failed; at += kCopyBlock) {
            failed = WriteAll(fd.Get(), f.mapped->Data() + at,
                              std::min(kCopyBlock, f.mapped->Size() - at)) != 0;
        }
        return !failed && fd.Reset() == 0;
    };
    // One untimed copy first, as the translations have one.
    if (!copyOnce()) {
        state.SkipWithError("write failed");
        return;
    }
    ::unlink(out.c_str());
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!copyOnce()) {
            state.SkipWithError("write failed");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        ::unlink(out.c_str());
        state.ResumeTiming();
    }
    f.copySeconds = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void TranslateFile(benchmark::State& state, Fixture& f);

void BM_Translate(benchmark::State& state) {
    TranslateFile(state, Data());
}

void BM_TranslateQuiet(benchmark::State& state) {
    TranslateFile(state, QuietData());
}

void TranslateFile(benchmark::State& state, Fixture& f) {
    const int form = static_cast<int>(state.range(0));
    const std::string out = f.folder + "/out" + std::to_string(form);
    if (::mkdir(out.c_str(), 0755) != 0 && errno != EEXIST) {
        state.SkipWithError("no output folder");
        return;
    }
    const auto once = [&](std::vector<std::string>& written) {
        HlcpTranslator t(form, f.mapped->Size(), f.source, out);
        const bool ok =
            t.PrepareOutput() && t.Feed(f.mapped->Data(), f.mapped->Size()) == 1 && t.Write() == 1;
        written = t.WrittenPaths();
        t.ReleaseOutput();
        return ok;
    };
    // One untimed run first (reported as first_ms): the first translation of a process pays
    // for its first page faults, as the translate dialog's first file does.
    std::vector<std::string> written;
    const auto w0 = std::chrono::steady_clock::now();
    const bool warm = once(written);
    state.counters["first_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count();
    for (const std::string& p : written) {
        ::unlink(p.c_str());
    }
    if (!warm) {
        state.SkipWithError("translation failed");
        return;
    }
    double total = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        HlcpTranslator t(form, f.mapped->Size(), f.source, out);
        if (!t.PrepareOutput() || t.Feed(f.mapped->Data(), f.mapped->Size()) != 1 ||
            t.Write() != 1) {
            state.SkipWithError(t.Message().c_str());
            break;
        }
        t.ReleaseOutput();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += ProcessCpuSeconds() - c0;
        state.PauseTiming();
        for (const std::string& p : t.WrittenPaths()) {
            ::unlink(p.c_str());
        }
        state.ResumeTiming();
    }
    const double mean = total / static_cast<double>(state.iterations());
    // Every thread's time: with the packer's workers, more than the time on the clock.
    state.counters["cpu_ms"] = cpu / static_cast<double>(state.iterations()) * 1e3;
    if (Data().copySeconds > 0) {
        state.counters["x_copy"] = mean / Data().copySeconds;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

} // namespace

// The copy runs first so that every translation can be put against it.
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_Translate)
    ->ArgName("form")
    ->Arg(HlcpTranslator::kDadisp)
    ->Arg(HlcpTranslator::kSeisan)
    ->Arg(HlcpTranslator::kAscii)
    ->Arg(HlcpTranslator::kHlcp)
    ->Arg(HlcpTranslator::kCss)
    ->Arg(HlcpTranslator::kMseed)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_TranslateQuiet)
    ->ArgName("form")
    ->Arg(HlcpTranslator::kDadisp)
    ->Arg(HlcpTranslator::kMseed)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK_MAIN();
