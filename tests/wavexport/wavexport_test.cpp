#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"
#include "recording/seisan_reader.h"
#include "wavexport/converter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace nereid::wavexport {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = fs::temp_directory_path() / "nereid-wx-XXXXXX";
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        lines.push_back(text.substr(from, end - from));
        if (end == std::string::npos) {
            break;
        }
        from = end + 1;
    }
    return lines;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `exe` with `args`; returns its exit code and fills `out` with its standard output.
int RunProgram(const std::string& exe, const std::vector<std::string>& args, std::string& out) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return -1;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::array<char, 4096> buffer{};
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer.data(), buffer.size())) > 0) {
        out.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 2003-04-03 12:34:00 UTC, the period of DDc042_123400.093.
constexpr std::uint32_t kStart = 1049373240;

std::vector<std::int32_t> ChannelSamples(int channel, int count) {
    std::vector<std::int32_t> s(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        s[static_cast<std::size_t>(i)] = channel * 100000 + i * (i % 2 == 0 ? 1 : -1);
    }
    return s;
}

// The recorder's channel file of `channel` in `folder`: 100 samples per second, a TIME line
// ending ".0" as the recorder writes it.
std::string MakeChannelFile(const std::string& folder, int channel, int samples = 6000) {
    const std::string name = "DD" + std::to_string(channel) + "042_123400.093";
    recording::CDadispWriter w(folder + "/" + name,
                               recording::MakeRealTimeDadispHeader(name, channel, kStart, 100, ""),
                               recording::CreateMode::kNew);
    EXPECT_EQ(w.Open(), 1);
    const std::vector<std::int32_t> s = ChannelSamples(channel, samples);
    EXPECT_EQ(w.Append(s.data(), s.size()), 1);
    EXPECT_EQ(w.Close(), 1);
    return folder + "/" + name;
}

// A program folder with wavexport and, when `mode` is not null, the stand-in tools with the
// mode words of `mode`; a data folder with channel files.
struct Folders {
    TempDir program;
    TempDir data;
    explicit Folders(const char* mode) {
        fs::copy_file(NEREID_WAVEXPORT_PATH, program / "wavexport");
        if (mode != nullptr) {
            for (const char* tool : {"pdasei", "dirf", "seisei"}) {
                fs::copy_file(NEREID_STANDIN_PATH, program / tool);
            }
            std::ofstream(program / "standin.mode") << mode << "\n";
        }
    }
    int Run(const std::vector<std::string>& args, std::string& out) const {
        return RunProgram(program / "wavexport", args, out);
    }
    std::vector<std::string> Log() const { return Lines(ReadText(program / "standin.log")); }
    // The program folder holds what it held before the run, and the stand-ins' log.
    void ExpectProgramFolderClean() const {
        std::vector<std::string> left = Names(program.Path());
        left.erase(std::remove(left.begin(), left.end(), "standin.log"), left.end());
        const std::vector<std::string> withTools{"dirf", "pdasei", "seisei", "standin.mode",
                                                 "wavexport"};
        const std::vector<std::string> alone{"wavexport"};
        EXPECT_EQ(left, fs::exists(program / "pdasei") ? withTools : alone);
    }
};

// `nereid info` on `path`: exit code 0 and one block per channel with its sample count.
void ExpectInfoChannels(const std::string& path, std::uint64_t channels,
                        std::uint64_t samplesEach) {
    std::string out;
    ASSERT_EQ(RunProgram(NEREID_CLI_PATH, {"info", path}, out), 0) << out;
    std::size_t blocks = 0, from = 0;
    const std::string count = "  samples:     " + std::to_string(samplesEach) + "\n";
    while ((from = out.find(count, from)) != std::string::npos) {
        ++blocks;
        ++from;
    }
    EXPECT_EQ(blocks, channels) << out;
    EXPECT_NE(out.find("Seisan Waveform"), std::string::npos) << out;
}

// Reads `path` and checks that channel k holds the first samples of channel `order[k]`.
void ExpectMergedSamples(const std::string& path, const std::vector<int>& order,
                         std::uint64_t count) {
    const std::string file = ReadText(path);
    std::vector<recording::FileChannel> channels;
    ASSERT_EQ(recording::ReadSeisanFile(reinterpret_cast<const std::uint8_t*>(file.data()),
                                        file.size(), channels),
              recording::kSeisanOk);
    ASSERT_EQ(channels.size(), order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const recording::FileChannel& ch = channels[k];
        EXPECT_EQ(ch.rate, 100);
        EXPECT_EQ(ch.startSecond, kStart);
        const std::vector<std::int32_t> expected = ChannelSamples(order[k], 6000);
        ASSERT_EQ(ch.sampleCount, count);
        for (std::uint64_t i = 0; i < count; ++i) {
            ASSERT_EQ(ch.IntValue(i), expected[i]) << k << " " << i;
        }
    }
}

TEST(WavexportHelpers, PatternNetworkCodeAndAnswers) {
    EXPECT_EQ(CConverter::PatternOf("/data/DD3042_153000.123"), "\?\?\?\?-\?\?-\?\?-1530-00*");
    EXPECT_EQ(CConverter::NetworkCodeOf("2003-04-03-1530-00S.NET___001"), "NET  ");
    EXPECT_EQ(CConverter::NetworkCodeOf("2003-04-03-1530-00S.AB_CD_001"), "AB CD");
    EXPECT_EQ(CConverter::NetworkCodeOf("2003-04-03-1234-00S.304___001 S___"), "304  ");
    EXPECT_EQ(CConverter::NetworkCodeOf("x.N_"), "N_   "); // only the 3rd to 5th are cleared
    EXPECT_EQ(CConverter::WithTwoDigitFraction("A\r\nTIME 15:30:00.0\r\nDATA\r\n\x01"),
              "A\r\nTIME 15:30:00.00\r\nDATA\r\n\x01");
    EXPECT_EQ(CConverter::WithTwoDigitFraction("A\r\nTIME 15:30:00.00\r\nDATA\r\n"),
              "A\r\nTIME 15:30:00.00\r\nDATA\r\n");
    EXPECT_EQ(CConverter::SeiseiAnswers("NET  "),
              (std::vector<std::string>{"1\nseisan\nNET  \n\n", "1\nNET  \n \n"}));
}

// SEISAN 13.03's pdasei keeps 5940 of 6000 samples; the built-in writer merges instead, and
// only its complete file replaces the channel files.
TEST(Wavexport, Seisan13LosesTheTailSoTheBuiltInWriterMerges) {
    Folders s("release13");
    std::vector<std::string> channelFiles;
    for (int c = 1; c <= 3; ++c) {
        channelFiles.push_back(MakeChannelFile(s.data.Path(), c));
    }
    std::string out;
    ASSERT_EQ(s.Run({channelFiles[2]}, out), kExitMerged) << out;

    const std::vector<std::string> log = s.Log();
    ASSERT_EQ(log.size(), 3u + 1u + 1u) << ReadText(s.program / "standin.log");
    // Channel 3 first, then 1 and 2; each through a ".00" copy, which pdasei can read.
    const int order[] = {3, 1, 2};
    for (int i = 0; i < 3; ++i) {
        std::string expected = s.program / ("DD" + std::to_string(order[i]) + "042_123400.093.00");
        expected.resize(std::max<std::size_t>(expected.size(), 80), ' ');
        EXPECT_EQ(log[static_cast<std::size_t>(i)], "pdasei [" + expected + "]");
    }
    // dirf gets the names pdasei wrote, each one argument with its space, no pattern.
    EXPECT_EQ(log[3], "dirf [2003-04-03-1234-00S.104___001 S___|2003-04-03-1234-00S.204___001 "
                      "S___|2003-04-03-1234-00S.304___001 S___]");
    // SEISAN 13's answers come first and merge at once.
    EXPECT_EQ(log[4], "seisei [1|seisan|304  |]");

    EXPECT_NE(out.find("Merging with the built-in SEISAN writer: the merge of the SEISAN tools "
                       "lost samples (in 2003-04-03-1234-00S.304___003 DD3042_123400.093 has "
                       "5940 of its 6000 samples, DD1042_123400.093 has 5940"),
              std::string::npos)
        << out;
    const std::string merged = s.data / "2003-04-03-1234-00S.NR042_003";
    EXPECT_NE(out.find("Merged 3 channel files into " + merged + "\n"), std::string::npos) << out;
    ExpectMergedSamples(merged, {1, 2, 3}, 6000);
    ExpectInfoChannels(merged, 3, 6000);
    // Only the complete file is left: the tools' shortened merge went with the intermediates.
    EXPECT_EQ(Names(s.data.Path()), std::vector<std::string>{"2003-04-03-1234-00S.NR042_003"});
    s.ExpectProgramFolderClean();
}

// An older seisei takes SEISAN 13's "seisan" for the network code; what it wrote then is
// removed, and the older answers merge every sample with the tools.
TEST(Wavexport, OlderToolsMergeSixChannelsAtTheSecondAnswer) {
    Folders s("older");
    std::vector<std::string> channelFiles;
    for (int c = 1; c <= 6; ++c) {
        channelFiles.push_back(MakeChannelFile(s.data.Path(), c));
    }
    const std::string stored = ReadText(channelFiles[3]);
    std::string out;
    ASSERT_EQ(s.Run({channelFiles[3]}, out), kExitMerged) << out;
    const std::vector<std::string> log = s.Log();
    ASSERT_EQ(log.size(), 6u + 1u + 2u) << ReadText(s.program / "standin.log");
    EXPECT_EQ(log[6].rfind("dirf [2003-04-03-1234-00S.NET___001_104|", 0), 0u) << log[6];
    EXPECT_EQ(log[7], "seisei [1|seisan|NET  ]");
    EXPECT_EQ(log[8], "seisei [1|NET  | ]");
    const std::string merged = s.data / "2003-04-03-1234-00S.NET___006";
    ASSERT_TRUE(fs::exists(merged)) << out;
    EXPECT_NE(out.find("The SEISAN tools' merge holds every sample"), std::string::npos) << out;
    EXPECT_EQ(out.find("built-in"), std::string::npos) << out;
    ExpectMergedSamples(merged, {1, 2, 3, 4, 5, 6}, 6000);
    ExpectInfoChannels(merged, 6, 6000);
    for (const std::string& f : channelFiles) {
        EXPECT_FALSE(fs::exists(f)) << f;
    }
    EXPECT_EQ(Names(s.data.Path()), std::vector<std::string>{"2003-04-03-1234-00S.NET___006"});
    s.ExpectProgramFolderClean(); // no "...S.seisa_006" of the first try
    EXPECT_NE(stored.find("TIME 12:34:00.0\r\n"), std::string::npos);
}

TEST(Wavexport, OnlyChannelThreeRunsPdaseiOnce) {
    Folders s("release13");
    const std::string f = MakeChannelFile(s.data.Path(), 3, 600);
    const std::string seven = MakeChannelFile(s.data.Path(), 7, 600);
    std::string out;
    ASSERT_EQ(s.Run({f}, out), kExitMerged) << out;
    int pdasei = 0;
    for (const std::string& l : s.Log()) {
        pdasei += l.rfind("pdasei [", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(pdasei, 1);
    EXPECT_TRUE(fs::exists(s.data / "2003-04-03-1234-00S.NR042_001"));
    EXPECT_FALSE(fs::exists(f));
    EXPECT_TRUE(fs::exists(seven)); // channels 7 and above are not searched
}

// Every failure keeps every channel file as it was, leaves the data folder and the program
// folder as they were, says what failed and exits with kExitNotMerged.
TEST(Wavexport, FailuresKeepEveryChannelFile) {
    struct Case {
        const char* mode;
        const char* said;
    };
    const Case cases[] = {
        {"release13 pdasei-fails-2", "pdasei failed on "},
        {"older pdasei-fails-1", "pdasei failed on "},
        {"release13 seisei-fails", "seisei left no merged SEISAN file"},
        {"release13 seisei-garbage", "3000-00-00-2460-**S.104___000 is not a SEISAN file"},
        {"older seisei-garbage", "is not a SEISAN file"},
        {"release13 seisei-drops-last", "holds the samples of DD"},
        {"older seisei-drops-last", "holds the samples of DD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Folders s(c.mode);
        std::vector<std::string> channelFiles, contents;
        for (int k = 1; k <= 3; ++k) {
            channelFiles.push_back(MakeChannelFile(s.data.Path(), k, 700));
            contents.push_back(ReadText(channelFiles.back()));
        }
        const std::vector<std::string> dataBefore = Names(s.data.Path());
        std::string out;
        EXPECT_EQ(s.Run({channelFiles[0]}, out), kExitNotMerged) << out;
        EXPECT_NE(out.find(c.said), std::string::npos) << out;
        EXPECT_NE(out.find("; the channel files are kept\n"), std::string::npos) << out;
        EXPECT_EQ(out.find("Merged"), std::string::npos) << out;
        for (std::size_t k = 0; k < channelFiles.size(); ++k) {
            EXPECT_EQ(ReadText(channelFiles[k]), contents[k]) << channelFiles[k];
        }
        EXPECT_EQ(Names(s.data.Path()), dataBefore);
        s.ExpectProgramFolderClean();
    }
}

TEST(Wavexport, FilesOfAnEarlierRunAreNotMergedIn) {
    Folders s("release13");
    const std::string stale = s.program / "2003-04-02-1234-00S.304___001 S___";
    std::ofstream(stale) << "left by an earlier run";
    const std::string f = MakeChannelFile(s.data.Path(), 3, 700);
    std::string out;
    EXPECT_EQ(s.Run({f}, out), kExitNotMerged) << out;
    EXPECT_NE(out.find("2003-04-02-1234-00S.304___001 S___); remove them"), std::string::npos)
        << out;
    EXPECT_TRUE(fs::exists(f));
    EXPECT_TRUE(fs::exists(stale));                      // not this run's file: left alone
    EXPECT_FALSE(fs::exists(s.program / "standin.log")); // no tool was run
}

TEST(Wavexport, AnExistingMergedFileIsNotReplaced) {
    // By the tools' merge, and by the built-in writer's.
    const std::pair<const char*, const char*> cases[] = {
        {"older", "2003-04-03-1234-00S.NET___001"},
        {"release13", "2003-04-03-1234-00S.NR042_001"},
    };
    for (const auto& [mode, name] : cases) {
        SCOPED_TRACE(mode);
        Folders s(mode);
        const std::string f = MakeChannelFile(s.data.Path(), 3, 700);
        const std::string merged = s.data / name;
        std::ofstream(merged) << "an earlier merge";
        std::string out;
        EXPECT_EQ(s.Run({f}, out), kExitNotMerged) << out;
        EXPECT_NE(out.find("exists already"), std::string::npos) << out;
        EXPECT_EQ(ReadText(merged), "an earlier merge");
        EXPECT_TRUE(fs::exists(f));
        EXPECT_EQ(Names(s.data.Path()), (std::vector<std::string>{name, "DD3042_123400.093"}));
        s.ExpectProgramFolderClean();
    }
}

TEST(Wavexport, BuiltInMergeOfSixChannels) {
    Folders s(nullptr);
    std::vector<std::string> channelFiles;
    for (int c = 1; c <= 6; ++c) {
        channelFiles.push_back(MakeChannelFile(s.data.Path(), c));
    }
    std::string out;
    ASSERT_EQ(s.Run({channelFiles[3]}, out), kExitMerged) << out;
    EXPECT_NE(out.find("built-in"), std::string::npos) << out;
    const std::string name = "2003-04-03-1234-00S.NR042_006";
    ASSERT_TRUE(fs::exists(s.data / name)) << out;
    EXPECT_NE(out.find(s.data / name), std::string::npos);
    for (const std::string& f : channelFiles) {
        EXPECT_FALSE(fs::exists(f)) << f;
    }
    ExpectMergedSamples(s.data / name, {1, 2, 3, 4, 5, 6}, 6000);
    ExpectInfoChannels(s.data / name, 6, 6000);
    s.ExpectProgramFolderClean();
}

TEST(Wavexport, StopMessages) {
    Folders s(nullptr);
    std::string out;
    EXPECT_EQ(s.Run({}, out), kExitFailed);
    EXPECT_EQ(out, " Error retrieving command line arguments\n");
    out.clear();
    EXPECT_EQ(s.Run({s.data / "DD3042_123400.093"}, out), kExitFailed);
    EXPECT_EQ(out, " No data files found\n");
}

} // namespace
} // namespace nereid::wavexport
