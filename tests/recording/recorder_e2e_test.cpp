// `nereid record` against nereid-sim at 60 recorder seconds per wall second: the files it
// writes are read back and every sample compared with the simulator's known sine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <set>
#include <sstream>

#include "recording/css_format.h"
#include "recording/data_file_reader.h"
#include "recording/mapped_file.h"
#include "recording/mseed_packer.h"
#include "recording/seisan_reader.h"
#include "tests/recording/mseed_test_read.h"
#include "tests/recording/recorder_test_support.h"
#include "tests/recording/sac_read.h"
#include "tests/sim/sim_process.h"

namespace nereid::recording {
namespace {

using test::ListFiles;
using test::ReadWholeFile;
using test::Utc;

// The simulator's signal with its defaults: 1 Hz, amplitude 100000 x channel, no noise.
std::int32_t SimSample(int channel, std::uint32_t second, int k, int rate) {
    const double f = 1.0;
    const double phase = std::fmod(f * second, 1.0) + f * k / rate;
    return static_cast<std::int32_t>(
        std::llround(100000.0 * channel * std::sin(2.0 * std::numbers::pi * phase)));
}

// Output on tmpfs when there is one: the recorder writes through to the medium every second.
class OutputFolder {
public:
    OutputFolder() {
        setenv("TMPDIR", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp", 1);
        m_Folder = std::make_unique<test::TempFolder>();
    }
    const std::string& Path() const { return m_Folder->Path(); }
    std::string operator/(const std::string& name) const { return *m_Folder / name; }

private:
    std::unique_ptr<test::TempFolder> m_Folder;
};

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

// Runs nereid in `folder` (no updatetime.txt there, so the clock is never touched).
Outcome RunNereid(const std::string& folder, std::vector<std::string> args) {
    const std::string outPath = folder + "/.out", errPath = folder + "/.err";
    args.insert(args.begin(), NEREID_CLI_PATH);
    const std::string wavexportDir =
        std::string(NEREID_WAVEXPORT_PATH).substr(0, std::string(NEREID_WAVEXPORT_PATH).rfind('/'));
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        setenv("NEREID_PORTS", "", 1);
        setenv("NEREID_WAVEXPORT_DIR", wavexportDir.c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadWholeFile(outPath);
    o.err = ReadWholeFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return o;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The recording starts on the minute B: the simulator sends nothing before B - 1 (which the
// restart gate takes), and skips 12:11:10 and 12:11:11 inside the recording.
const std::uint32_t kB = Utc(2026, 12, 7, 12, 10, 0);
const std::vector<std::uint32_t> kSkipped = {kB + 70, kB + 71};
constexpr int kRecordSeconds = 185;

Outcome Record(nereid::sim::test::SimProcess& sim, const OutputFolder& out,
               const std::string& format) {
    return RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record", "--format",
                                  format, "--minutes", "1", "--seconds",
                                  std::to_string(kRecordSeconds), "--dir", out.Path()});
}

std::vector<std::string> SimArgs() {
    // 300 recorder seconds (5 s of wall time) of silence cover the connection.
    const std::uint32_t t0 = kB - 300;
    return {"--time-scale",
            "60",
            "--start-time",
            std::to_string(t0),
            "--skip-seconds",
            std::to_string(t0) + "-" + std::to_string(kB - 2) + "," + std::to_string(kSkipped[0]) +
                "-" + std::to_string(kSkipped[1])};
}

void ExpectChannel(const FileChannel& fc, int channel, std::uint32_t first, std::uint32_t seconds,
                   const std::string& what) {
    EXPECT_EQ(fc.startSecond, first) << what;
    ASSERT_GT(fc.rate, 0) << what;
    ASSERT_EQ(fc.sampleCount, std::uint64_t(seconds) * fc.rate) << what;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        const std::uint32_t sec = first + s;
        const bool zero = std::find(kSkipped.begin(), kSkipped.end(), sec) != kSkipped.end();
        for (int k = 0; k < fc.rate; ++k) {
            ASSERT_EQ(fc.IntValue(std::uint64_t(s) * fc.rate + k),
                      zero ? 0 : SimSample(channel, sec, k, fc.rate))
                << what << " second " << sec << " sample " << k;
        }
    }
}

// Period p (0..3) of the recording: its first second and length.
std::pair<std::uint32_t, std::uint32_t> Period(int p) {
    return {kB + 60u * p, p < 3 ? 60u : kRecordSeconds - 180u};
}

std::string PeriodName(const char* prefix, int channel, int p) {
    const char* times[] = {"121000", "121100", "121200", "121300"};
    return std::string(prefix) + std::to_string(channel) + "234_" + times[p] + ".341";
}

TEST(NereidRecord, DadispThreeFullPeriodsAndAPartialOneHoldTheSimulatorsSamples) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    const Outcome o = Record(sim, out, "dadisp");
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    std::vector<std::string> expected;
    for (int p = 0; p < 4; ++p) {
        for (int c = 1; c <= 4; ++c) {
            expected.push_back(out / PeriodName("DD", c, p));
        }
    }
    EXPECT_EQ(Lines(o.out), expected) << o.err;
    EXPECT_EQ(ListFiles(out.Path()).size(), 16u);
    for (int p = 0; p < 4; ++p) {
        for (int c = 1; c <= 4; ++c) {
            const std::string path = out / PeriodName("DD", c, p);
            std::vector<FileChannel> channels;
            ReaderMessage message;
            ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded) << path;
            ExpectChannel(channels[0], c, Period(p).first, Period(p).second, path);
        }
    }
}

TEST(NereidRecord, CssPairsWithTheirWfdiscRecords) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    const Outcome o = Record(sim, out, "css");
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    EXPECT_EQ(Lines(o.out).size(), 32u) << o.out;
    EXPECT_EQ(ListFiles(out.Path()).size(), 32u);
    for (int p = 0; p < 4; ++p) {
        for (int c = 1; c <= 4; ++c) {
            const std::string data = out / PeriodName("CD", c, p);
            std::vector<FileChannel> channels;
            ReaderMessage message;
            ASSERT_EQ(OpenDataFile(data, channels, message), kOpenAdded) << data;
            ExpectChannel(channels[0], c, Period(p).first, Period(p).second, data);

            const std::string record = ReadWholeFile(out / PeriodName("CH", c, p));
            ASSERT_EQ(record.size(), kWfdiscSize) << PeriodName("CH", c, p);
            WfdiscInfo info;
            ASSERT_EQ(ParseWfdisc(reinterpret_cast<const std::uint8_t*>(record.data()),
                                  record.size(), info),
                      1);
            EXPECT_EQ(info.startSecond, Period(p).first);
            EXPECT_EQ(info.dfile, PeriodName("CD", c, p));
            EXPECT_EQ(record.substr(0, 6), "SIM0" + std::to_string(c) + " ");
            char nsamp[16];
            std::snprintf(nsamp, sizeof nsamp, "%8.8u", Period(p).second * 100);
            EXPECT_EQ(record.substr(79, 8), nsamp);
            EXPECT_EQ(record.substr(148, 2), ". ");
        }
    }
}

TEST(NereidRecord, SeisanPeriodsMergedByWavexport) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    const Outcome o = Record(sim, out, "seisan");
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    EXPECT_EQ(Lines(o.out).size(), 16u) << o.out;
    // wavexport has merged every period and removed the channel files it consumed.
    const std::vector<std::string> names = ListFiles(out.Path());
    ASSERT_EQ(names.size(), 4u) << ::testing::PrintToString(names);
    const char* merged[] = {"2026-12-07-1210-00S.NR234_004", "2026-12-07-1211-00S.NR234_004",
                            "2026-12-07-1212-00S.NR234_004", "2026-12-07-1213-00S.NR234_004"};
    for (int p = 0; p < 4; ++p) {
        ASSERT_EQ(names[static_cast<std::size_t>(p)], merged[p]);
        const std::string bytes = ReadWholeFile(out / merged[p]);
        std::vector<FileChannel> channels;
        ASSERT_EQ(ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size(), channels),
                  1)
            << merged[p];
        ASSERT_EQ(channels.size(), 4u);
        for (int c = 1; c <= 4; ++c) {
            ExpectChannel(channels[static_cast<std::size_t>(c - 1)], c, Period(p).first,
                          Period(p).second,
                          std::string(merged[p]) + " channel " + std::to_string(c));
        }
    }
}

TEST(NereidRecord, ChosenChannelsAndCommentOnly) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    const Outcome o = RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record",
                                             "--format", "dadisp", "--minutes", "5", "--seconds",
                                             "10", "--channels", "2,9", "--comment", "vault 3"});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    // Channel 9 is the first of the second stream set: "A" in the name.
    EXPECT_EQ(Lines(o.out),
              (std::vector<std::string>{out / "DD2234_121000.341", out / "DDA234_121000.341"}));
    const std::string bytes = ReadWholeFile(out / "DD2234_121000.341");
    EXPECT_NE(bytes.find("\r\nCOMMENTS vault 3\r\n"), std::string::npos);
    std::vector<FileChannel> channels;
    ReaderMessage message;
    ASSERT_EQ(OpenDataFile(out / "DDA234_121000.341", channels, message), kOpenAdded);
    ExpectChannel(channels[0], 9, kB, 10, "channel 9");
}

TEST(NereidRecord, AChannelWhoseFileCannotBeCreatedIsSkippedWhileTheOthersRecord) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    // Channel 2's first file name is taken: the recorder must neither overwrite it nor stop.
    {
        std::ofstream taken(out / PeriodName("DD", 2, 0));
        taken << "keep me";
    }
    const Outcome o = RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record",
                                             "--format", "dadisp", "--minutes", "1", "--seconds",
                                             "70", "--channels", "1,2,3"});
    EXPECT_EQ(o.exitCode, 6) << o.err << o.out;
    EXPECT_NE(o.err.find("Can't Create File " + (out / PeriodName("DD", 2, 0))), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("channel 2 is not recorded until its next period"), std::string::npos)
        << o.err;
    EXPECT_EQ(ReadWholeFile(out / PeriodName("DD", 2, 0)), "keep me");
    // Channels 1 and 3 have the whole first period; channel 2 is back from the second.
    for (int c : {1, 3}) {
        const std::string path = out / PeriodName("DD", c, 0);
        std::vector<FileChannel> channels;
        ReaderMessage message;
        ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded) << path;
        ExpectChannel(channels[0], c, kB, 60, path);
    }
    for (int c : {1, 2, 3}) {
        const std::string path = out / PeriodName("DD", c, 1);
        std::vector<FileChannel> channels;
        ReaderMessage message;
        ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded) << path << o.err;
        ExpectChannel(channels[0], c, kB + 60, 10, path);
    }
    EXPECT_EQ(Lines(o.out).size(), 5u) << o.out;
}

TEST(NereidRecord, BadCommandLinesAreRefusedBeforeConnecting) {
    OutputFolder out;
    const std::vector<std::vector<std::string>> bad = {
        {"record", "--format", "wav", "--minutes", "1", "--seconds", "5"},
        {"record", "--format", "css", "--minutes", "0", "--seconds", "5"},
        {"record", "--format", "css", "--minutes", "721", "--seconds", "5"},
        {"record", "--format", "css", "--minutes", "1", "--seconds", "0"},
        {"record", "--format", "css", "--minutes", "1"},
        {"record", "--format", "css", "--minutes", "1", "--seconds", "5", "--channels", "1,17"},
        {"record", "--format", "css", "--minutes", "1", "--seconds", "5", "--bogus", "1"},
        {"record", "--format", "mseed", "--minutes", "1", "--seconds", "5", "--network", "NZL"},
        {"record", "--format", "mseed", "--minutes", "1", "--seconds", "5", "--network", "N-"},
        {"record", "--format", "mseed", "--minutes", "1", "--seconds", "5", "--components",
         "1=Z,1=N"},
        {"record", "--format", "mseed", "--minutes", "1", "--seconds", "5", "--components"},
        {"translate", "--format", "mseed", "--components", "0=Z", "x.hlc"},
        {"get", "--format", "mseed", "--network", "", "A:\\x"},
    };
    for (const auto& args : bad) {
        std::vector<std::string> full = {"--port", "/nonexistent/tty"};
        full.insert(full.end(), args.begin(), args.end());
        const Outcome o = RunNereid(out.Path(), full);
        EXPECT_EQ(o.exitCode, 2) << ::testing::PrintToString(args) << o.err;
        EXPECT_EQ(o.out, "");
    }
    const Outcome time =
        RunNereid(out.Path(), {"record", "--format", "css", "--minutes", "721", "--seconds", "5"});
    EXPECT_NE(time.err.find("Recording Time is not valid"), std::string::npos) << time.err;
    // A valid command line gets as far as the port.
    const Outcome port = RunNereid(out.Path(), {"--port", "/nonexistent/tty", "record", "--format",
                                                "css", "--minutes", "720", "--seconds", "5"});
    EXPECT_EQ(port.exitCode, 3) << port.err;
    const Outcome mseed = RunNereid(out.Path(), {"--port", "/nonexistent/tty", "record", "--format",
                                                 "mseed", "--minutes", "1", "--seconds", "5",
                                                 "--network", "nz", "--components", "1=z, 2=n"});
    EXPECT_EQ(mseed.exitCode, 3) << mseed.err;
}

TEST(NereidRecord, MseedFilesOfEveryChannelHoldTheSimulatorsSamplesWithTheGapKept) {
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    // Two minutes and ten seconds: the skipped seconds fall into the second period.
    const Outcome o =
        RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record", "--format",
                               "mseed", "--minutes", "1", "--seconds", "130", "--dir", out.Path(),
                               "--network", "nz", "--components", "1=Z,2=N,3=E"});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    const std::vector<std::string> closed = Lines(o.out);
    ASSERT_EQ(closed.size(), 12u) << o.out;
    const char* const components = "ZNE4";
    for (int p = 0; p < 3; ++p) {
        const std::uint32_t first = kB + 60u * p;
        const std::uint32_t seconds = p < 2 ? 60u : 10u;
        for (int c = 1; c <= 4; ++c) {
            const std::string path = out / (PeriodName("MD", c, p) + ".mseed");
            SCOPED_TRACE(path);
            ASSERT_NE(std::find(closed.begin(), closed.end(), path), closed.end());
            const test::MseedFile f = test::ReadMseedFile(path);
            ASSERT_EQ(f.result, MS_NOERROR);
            EXPECT_TRUE(f.all512);
            EXPECT_TRUE(f.allSteim2);
            // Runs of seconds: the skipped ones are left out, never written as zeros.
            std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
            for (std::uint32_t s = first; s < first + seconds; ++s) {
                if (std::find(kSkipped.begin(), kSkipped.end(), s) != kSkipped.end()) {
                    continue;
                }
                if (runs.empty() || runs.back().first + runs.back().second != s) {
                    runs.push_back({s, 0});
                }
                ++runs.back().second;
            }
            std::string found;
            for (const test::MseedSegment& seg : f.segments) {
                found +=
                    " " + std::to_string(seg.startUs) + "+" + std::to_string(seg.samples.size());
            }
            ASSERT_EQ(f.segments.size(), runs.size()) << found;
            for (std::size_t k = 0; k < runs.size(); ++k) {
                const test::MseedSegment& seg = f.segments[k];
                EXPECT_EQ(seg.network, "NZ");
                EXPECT_EQ(seg.station, "SIM1");
                ASSERT_EQ(seg.channel.size(), 3u);
                EXPECT_EQ(seg.channel.substr(1), std::string("H") + components[c - 1]);
                EXPECT_EQ(seg.startUs, std::int64_t{runs[k].first} * 1000000);
                const int rate = static_cast<int>(seg.rate);
                ASSERT_GT(rate, 0);
                EXPECT_EQ(seg.channel[0], SeedBandCode(rate));
                ASSERT_EQ(seg.samples.size(), std::size_t{runs[k].second} * rate);
                for (std::uint32_t s = 0; s < runs[k].second; ++s) {
                    for (int i = 0; i < rate; ++i) {
                        ASSERT_EQ(seg.samples[s * rate + i],
                                  SimSample(c, runs[k].first + s, i, rate))
                            << "second " << runs[k].first + s << " sample " << i;
                    }
                }
            }
        }
    }
}

namespace fs = std::filesystem;

// An independent reader: Debian's mseed2sac converts every file nereid record --format mseed
// wrote, one SAC file per run of samples, with the recording's sample counts and values.
TEST(NereidRecord, Mseed2sacReadsEveryMiniseedFileWithItsSampleCounts) {
    if (std::system("command -v mseed2sac >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "mseed2sac is not installed (Debian package mseed2sac; scripts/dev.sh "
                        "installs it)";
    }
    nereid::sim::test::SimProcess sim(SimArgs());
    OutputFolder out;
    // 75 s: a full period, then one with the two skipped seconds; channel 9 is the second
    // stream of sensor channel 1 (10 samples/s beside its 100).
    const Outcome o =
        RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record", "--format",
                               "mseed", "--minutes", "1", "--seconds", "75", "--dir", out.Path(),
                               "--channels", "1,2,9", "--components", "1=Z,2=N"});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    const std::vector<std::string> closed = Lines(o.out);
    ASSERT_EQ(closed.size(), 6u) << o.out;
    std::set<std::string> streams;
    for (const std::string& path : closed) {
        SCOPED_TRACE(path);
        const test::MseedFile f = test::ReadMseedFile(path);
        ASSERT_EQ(f.result, MS_NOERROR);
        ASSERT_FALSE(f.segments.empty());
        const std::string sacDir = path + ".sac";
        ASSERT_TRUE(fs::create_directory(sacDir));
        const std::string command =
            "cd '" + sacDir + "' && mseed2sac -f 4 '" + path + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<std::string> sacs;
        for (const auto& entry : fs::directory_iterator(sacDir)) {
            sacs.push_back(entry.path().string());
        }
        std::sort(sacs.begin(), sacs.end()); // named by start time within one stream
        ASSERT_EQ(sacs.size(), f.segments.size());
        std::size_t total = 0;
        for (std::size_t k = 0; k < sacs.size(); ++k) {
            const test::MseedSegment& seg = f.segments[k];
            // NET.STA.LOC.CHAN.Q.YYYY.DDD.HHMMSS.SAC
            const std::string name = fs::path(sacs[k]).filename().string();
            EXPECT_EQ(name.rfind(seg.network + "." + seg.station + "." + seg.location + "." +
                                     seg.channel + ".",
                                 0),
                      0u)
                << name;
            streams.insert(seg.location + "." + seg.channel);
            const test::SacFile sac = test::ReadSacBigEndian(sacs[k]);
            ASSERT_TRUE(sac.ok) << sacs[k];
            ASSERT_EQ(static_cast<std::size_t>(sac.npts), seg.samples.size()) << sacs[k];
            for (std::size_t i = 0; i < seg.samples.size(); ++i) {
                ASSERT_EQ(sac.samples[i], static_cast<float>(seg.samples[i])) << i;
            }
            total += seg.samples.size();
        }
        // The sample counts of the recording: 60 s in the first period, 15 s less the two
        // skipped seconds in the second.
        const bool first = path.find("_1210") != std::string::npos;
        const std::size_t seconds = first ? 60 : 13;
        EXPECT_EQ(total, seconds * static_cast<std::size_t>(f.segments[0].rate)) << total;
    }
    EXPECT_EQ(streams, (std::set<std::string>{".HHZ", ".HHN", ".BHZ"}));
}

} // namespace
} // namespace nereid::recording
