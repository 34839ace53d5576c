// `nereid info` on large files against `cat` of the same file, both run as child processes in
// the same run with the page cache warm: a SEISAN file and a DADiSP file of about 130 MB
// (32 M samples), and the peak memory (resident set high-water mark of the child) of
// `nereid info` on those and on a SEISAN file of about 1 GB. The files are made here from a
// generated recorder (HLCP) file through the translator, in a temporary folder that is
// removed at the end. "x_cat" is the mean time of `nereid info` over the mean time of `cat`;
// "peak_MiB" the child's peak resident memory (a file mapping's resident pages included).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/recorder_file.h"
#include "recording/hlcp_translator.h"
#include "recording/mapped_file.h"
#include "recording/unique_fd.h"

namespace {

using namespace nereid::recording;

constexpr std::uint64_t kSamples = 32u << 20;       // 130 MB of SEISAN data
constexpr std::uint64_t kLargeSamples = 256u << 20; // about 1 GB

std::string g_folder;

// Recorder-like 24-bit samples, as the translator reads them.
std::string MakeHlcp(const std::string& name, std::uint64_t samples) {
    const std::string path = g_folder + "/" + name;
    if (!nereid::bench::WriteGeneratedRecorderFile(path, samples)) {
        std::abort();
    }
    return path;
}

std::string Translate(const std::string& hlcp, int form, const std::string& subfolder) {
    const std::string out = g_folder + "/" + subfolder;
    ::mkdir(out.c_str(), 0755);
    std::shared_ptr<const CMappedFile> source;
    int error = 0;
    if (CMappedFile::Open(hlcp, source, error) != CMappedFile::kOk) {
        std::abort();
    }
    HlcpTranslator t(form, source->Size(), hlcp, out);
    if (!t.PrepareOutput() || t.Feed(source->Data(), source->Size()) != 1 || t.Write() != 1) {
        std::abort();
    }
    t.ReleaseOutput();
    return t.WrittenPaths().front();
}

struct Files {
    std::string seisan, dadisp, seisanLarge;
    Files() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr ? base : "/tmp") + "/nereid-info-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        g_folder = pattern;
        seisan = g_folder + "/seisan/D1451530.093";
        dadisp = g_folder + "/dadisp/D1451530.093";
        seisanLarge = g_folder + "/large/D1451530.093";
        // Made in a child process: a forked child's peak memory count starts from what this
        // process holds, which so stays small.
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::string hlcp = MakeHlcp("D1345A.HLC", kSamples);
            const bool ok = Translate(hlcp, HlcpTranslator::kSeisan, "seisan") == seisan &&
                            Translate(hlcp, HlcpTranslator::kDadisp, "dadisp") == dadisp;
            ::unlink(hlcp.c_str());
            const std::string large = MakeHlcp("D1345B.HLC", kLargeSamples);
            const bool okLarge = Translate(large, HlcpTranslator::kSeisan, "large") == seisanLarge;
            ::unlink(large.c_str());
            ::_exit(ok && okLarge ? 0 : 1);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::abort();
        }
    }
    ~Files() {
        if (std::system(("rm -rf '" + g_folder + "'").c_str()) != 0) {
            // A leftover temporary folder is harmless.
        }
    }
};

Files& Data() {
    static Files f;
    return f;
}

struct ChildRun {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs `argv` with its output to /dev/null; wall time and the child's peak resident memory.
ChildRun Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ChildRun r;
    const auto t0 = std::chrono::steady_clock::now();
    // fork, not posix_spawn: a child made by vfork starts its peak-memory count from the
    // parent's own high-water mark (the files were generated in this process), while a forked
    // copy starts from what the parent holds now, which is small.
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (pid > 0) {
        int status = 0;
        struct rusage usage {};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            r.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            r.peakKiB = usage.ru_maxrss;
            r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    return r;
}

std::map<std::string, double> g_catSeconds;

const std::string& FileOf(int which) {
    Files& f = Data();
    return which == 0 ? f.seisan : which == 1 ? f.dadisp : f.seisanLarge;
}

const char* NameOf(int which) {
    return which == 0 ? "SEISAN 130 MB" : which == 1 ? "DADiSP 130 MB" : "SEISAN 1 GB";
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv, int which, bool isCat) {
    Run(argv); // warms the page cache
    double total = 0;
    long peak = 0;
    for (auto _ : state) {
        const ChildRun r = Run(argv);
        if (!r.ok) {
            state.SkipWithError("the child failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        total += r.seconds;
        peak = std::max(peak, r.peakKiB);
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
    state.SetLabel(NameOf(which));
    if (isCat) {
        g_catSeconds[FileOf(which)] = mean;
    } else if (g_catSeconds.count(FileOf(which)) != 0) {
        state.counters["x_cat"] = mean / g_catSeconds[FileOf(which)];
    }
}

void BM_Cat(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    Measure(state, {"cat", FileOf(which)}, which, true);
}

void BM_Info(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    // NEREID_INFO_CLI measures another build (an earlier version, for a before/after).
    const char* other = std::getenv("NEREID_INFO_CLI");
    Measure(state, {other != nullptr ? other : NEREID_CLI_PATH, "info", FileOf(which)}, which,
            false);
}

} // namespace

// Each `cat` runs before the `nereid info` of the same file, so that the ratio is of one run.
BENCHMARK(BM_Cat)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Info)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Cat)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Info)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Cat)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Info)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
