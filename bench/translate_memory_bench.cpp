// Peak memory of `nereid translate` on a recorder (HLCP) file of about 1 GB (358 M samples),
// generated here in a temporary folder that is removed at the end, into each PC form. The
// translation runs as a child process; "peak_MiB" is its resident set high-water mark (the
// source mapping's resident pages included), "source_MiB" the file's size beside it, and the
// outputs are deleted after every run. NEREID_TRANSLATE_CLI measures another build (an earlier
// version, for a before/after).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/recorder_file.h"

namespace {

constexpr std::uint64_t kSamples = 358u << 20; // 1.07 GB of 3-byte samples

struct Source {
    std::string folder;
    std::string path;
    std::uint64_t bytes = 0;

    Source() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr ? base : "/tmp") + "/nereid-translate-memory-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder = pattern;
        path = folder + "/D1345A.HLC";
        // Made in a child, so that this process (and the children forked from it) never holds
        // the generator's buffers.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::_exit(Generate() ? 0 : 1);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::abort();
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            std::abort();
        }
        bytes = static_cast<std::uint64_t>(st.st_size);
    }
    ~Source() {
        if (std::system(("rm -rf '" + folder + "'").c_str()) != 0) {
            // A leftover temporary folder is harmless.
        }
    }

    bool Generate() const { return nereid::bench::WriteGeneratedRecorderFile(path, kSamples); }
};

Source& Data() {
    static Source s;
    return s;
}

const char* FormName(int form) {
    static const char* const kNames[] = {"dadisp", "seisan", "ascii", "hlcp", "css", "mseed"};
    return kNames[form];
}

void BM_TranslatePeakMemory(benchmark::State& state) {
    Source& s = Data();
    const int form = static_cast<int>(state.range(0));
    const std::string out = s.folder + "/" + FormName(form);
    ::mkdir(out.c_str(), 0755);
    const char* other = std::getenv("NEREID_TRANSLATE_CLI");
    const std::string cli = other != nullptr ? other : NEREID_CLI_PATH;
    const std::vector<std::string> argv = {cli,     "translate", "--format", FormName(form),
                                           "--out", out,         s.path};
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    long peakKiB = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        // fork, not posix_spawn: a child made by vfork starts its peak-memory count from the
        // parent's own high-water mark.
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        int status = 0;
        struct rusage usage {};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("the translation failed");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
        if (std::system(("rm -rf '" + out + "'/*").c_str()) != 0) {
            state.SkipWithError("the outputs could not be removed");
            break;
        }
    }
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
    state.counters["source_MiB"] = static_cast<double>(s.bytes) / (1024.0 * 1024.0);
    state.SetLabel(FormName(form));
}

} // namespace

BENCHMARK(BM_TranslatePeakMemory)
    ->ArgName("form")
    ->DenseRange(0, 5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
