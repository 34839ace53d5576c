// `nereid record` against nereid-sim at 60 recorder seconds per wall second: the DaDiSP, CSS
// and SEISAN files it writes are read back and every sample compared with the simulator's
// known sine; bad command lines are refused before connecting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording/css_format.h"
#include "recording/data_file_reader.h"
#include "recording/seisan_reader.h"
#include "tests/recording/recorder_e2e_support.h"
#include "tests/recording/recorder_test_support.h"
#include "tests/sim/sim_process.h"

namespace nereid::recording {
namespace {

using namespace e2e;
using test::ListFiles;

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

} // namespace
} // namespace nereid::recording
