// `nereid record --format mseed` against nereid-sim: every file's records read back with
// libmseed and, independently, converted by Debian's mseed2sac, each sample compared with the
// simulator's known sine and the skipped seconds left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "recording/mseed_packer.h"
#include "tests/recording/mseed_test_read.h"
#include "tests/recording/recorder_e2e_support.h"
#include "tests/recording/recorder_test_support.h"
#include "tests/recording/sac_read.h"
#include "tests/sim/sim_process.h"

namespace nereid::recording {
namespace {

using namespace e2e;

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
