#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"
#include "recording/seisan_reader.h"
#include "wavexport/converter.h"

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

// 2003-04-03 15:30:00 UTC, the period of DDc042_153000.093.
constexpr std::uint32_t kStart = 1049383800;

std::vector<std::int32_t> ChannelSamples(int channel, int count) {
    std::vector<std::int32_t> s(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        s[static_cast<std::size_t>(i)] = channel * 100000 + i * (i % 2 == 0 ? 1 : -1);
    }
    return s;
}

// The recorder's channel file of `channel` in `folder`.
std::string MakeChannelFile(const std::string& folder, int channel, int samples = 150) {
    const std::string name = "DD" + std::to_string(channel) + "042_153000.093";
    recording::CDadispWriter w(folder + "/" + name,
                               recording::MakeRealTimeDadispHeader(name, channel, kStart, 100, ""),
                               recording::CreateMode::kNew);
    EXPECT_EQ(w.Open(), 1);
    const std::vector<std::int32_t> s = ChannelSamples(channel, samples);
    EXPECT_EQ(w.Append(s.data(), s.size()), 1);
    EXPECT_EQ(w.Close(), 1);
    return folder + "/" + name;
}

struct Folders {
    TempDir program;
    TempDir data;
    explicit Folders(bool withTools) {
        fs::copy_file(NEREID_WAVEXPORT_PATH, program / "wavexport");
        if (withTools) {
            for (const char* tool : {"pdasei", "dirf", "seisei"}) {
                fs::copy_file(std::string(NEREID_TEST_DATA) + "/" + tool, program / tool);
            }
        }
    }
    // Runs the program copy with `args`; returns its exit code and fills `out`.
    int Run(const std::vector<std::string>& args, std::string& out) const {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return -1;
        }
        const std::string exe = program / "wavexport";
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
    std::vector<std::string> Log() const { return Lines(ReadText(program / "standin.log")); }
};

const char* kMerged = "2003-04-03-1530-00S.NET___006";

TEST(WavexportHelpers, PatternAndNetworkCode) {
    EXPECT_EQ(CConverter::PatternOf("/data/DD3042_153000.123"), "\?\?\?\?-\?\?-\?\?-1530-00*");
    EXPECT_EQ(CConverter::NetworkCodeOf("2003-04-03-1530-00S.NET___001"), "NET  ");
    EXPECT_EQ(CConverter::NetworkCodeOf("2003-04-03-1530-00S.AB_CD_001"), "AB CD");
    EXPECT_EQ(CConverter::NetworkCodeOf("x.AB__"), "AB   ");
    EXPECT_EQ(CConverter::NetworkCodeOf("x.N_"), "N_   "); // only the 3rd to 5th are cleared
    EXPECT_EQ(CConverter::WithTwoDigitFraction("A\r\nTIME 15:30:00.0\r\nDATA\r\n\x01"),
              "A\r\nTIME 15:30:00.00\r\nDATA\r\n\x01");
    EXPECT_EQ(CConverter::WithTwoDigitFraction("A\r\nTIME 15:30:00.00\r\nDATA\r\n"),
              "A\r\nTIME 15:30:00.00\r\nDATA\r\n");
}

TEST(Wavexport, SixChannelsThroughTheTools) {
    Folders s(true);
    std::vector<std::string> channelFiles;
    for (int c = 1; c <= 6; ++c) {
        channelFiles.push_back(MakeChannelFile(s.data.Path(), c));
    }
    const std::string stored = ReadText(channelFiles[2]);
    std::string out;
    ASSERT_EQ(s.Run({channelFiles[2]}, out), 0) << out;
    EXPECT_NE(out.find("SEISAN tools"), std::string::npos) << out;

    const std::vector<std::string> log = s.Log();
    ASSERT_EQ(log.size(), 6u + 1u + 2u) << ReadText(s.program / "standin.log");
    // Channel 3 first, then 1, 2, 4, 5, 6; each through a ".00" copy in the program folder.
    const int order[] = {3, 1, 2, 4, 5, 6};
    for (int i = 0; i < 6; ++i) {
        std::string expected = s.program / ("DD" + std::to_string(order[i]) + "042_153000.093.00");
        expected.resize(std::max<std::size_t>(expected.size(), 80), ' ');
        EXPECT_EQ(log[static_cast<std::size_t>(i)], "pdasei [" + expected + "]");
    }
    EXPECT_EQ(log[6], "dirf [\?\?\?\?-\?\?-\?\?-1530-00*]");
    // The three-line answer leaves no merged file with release 13; the second run does.
    EXPECT_EQ(log[7], "seisei [1|NET  | |]");
    EXPECT_EQ(log[8], "seisei [1|seisan|NET  |]");

    ASSERT_TRUE(fs::exists(s.data / kMerged)) << out;
    const std::string merged = ReadText(s.data / kMerged);
    EXPECT_NE(merged.find("TIME 15:30:00.00\r\n"), std::string::npos);
    for (const std::string& f : channelFiles) {
        EXPECT_FALSE(fs::exists(f)) << f;
    }
    // Only the log and the programs remain in the program folder.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(s.program.Path())) {
        left.push_back(e.path().filename());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"dirf", "pdasei", "seisei", "standin.log", "wavexport"}));
    EXPECT_EQ(stored.find("TIME 15:30:00.0\r\n") != std::string::npos, true);
}

TEST(Wavexport, OlderSeiseiMergesAtTheFirstRun) {
    Folders s(true);
    std::ofstream(s.program / "seisei.old").close();
    const std::string f = MakeChannelFile(s.data.Path(), 3);
    MakeChannelFile(s.data.Path(), 5);
    std::string out;
    ASSERT_EQ(s.Run({f}, out), 0) << out;
    const std::vector<std::string> log = s.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[3], "seisei [1|NET  | |]");
    EXPECT_TRUE(fs::exists(s.data / "2003-04-03-1530-00S.NET___002"));
}

TEST(Wavexport, OnlyChannelThreeRunsPdaseiOnce) {
    Folders s(true);
    const std::string f = MakeChannelFile(s.data.Path(), 3);
    const std::string seven = MakeChannelFile(s.data.Path(), 7);
    std::string out;
    ASSERT_EQ(s.Run({f}, out), 0) << out;
    const std::vector<std::string> log = s.Log();
    int pdasei = 0;
    for (const std::string& l : log) {
        pdasei += l.rfind("pdasei [", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(pdasei, 1);
    EXPECT_TRUE(fs::exists(s.data / "2003-04-03-1530-00S.NET___001"));
    EXPECT_FALSE(fs::exists(f));
    EXPECT_TRUE(fs::exists(seven)); // channels 7 and above are not searched
}

TEST(Wavexport, FailedMergeKeepsTheChannelFiles) {
    Folders s(true);
    std::ofstream(s.program / "seisei.fail").close();
    const std::string f1 = MakeChannelFile(s.data.Path(), 1);
    const std::string f2 = MakeChannelFile(s.data.Path(), 2);
    const std::string before = ReadText(f1);
    std::string out;
    EXPECT_EQ(s.Run({f1}, out), kExitNotMerged);
    EXPECT_NE(out.find("kept"), std::string::npos);
    EXPECT_EQ(ReadText(f1), before);
    EXPECT_TRUE(fs::exists(f2));
    EXPECT_FALSE(fs::exists(s.program / "inp"));
    EXPECT_FALSE(fs::exists(s.program / "filenr.lis"));
}

TEST(Wavexport, BuiltInMergeOfSixChannels) {
    Folders s(false);
    std::vector<std::string> channelFiles;
    for (int c = 1; c <= 6; ++c) {
        channelFiles.push_back(MakeChannelFile(s.data.Path(), c, 100 + c));
    }
    std::string out;
    ASSERT_EQ(s.Run({channelFiles[3]}, out), 0) << out;
    EXPECT_NE(out.find("built-in"), std::string::npos) << out;
    const std::string name = "2003-04-03-1530-00S.NR042_006";
    ASSERT_TRUE(fs::exists(s.data / name)) << out;
    EXPECT_NE(out.find(s.data / name), std::string::npos);
    for (const std::string& f : channelFiles) {
        EXPECT_FALSE(fs::exists(f)) << f;
    }
    const std::string file = ReadText(s.data / name);
    std::vector<recording::FileChannel> channels;
    ASSERT_EQ(recording::ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(file.data()),
                                          file.size(), channels),
              recording::kSeisanOk);
    ASSERT_EQ(channels.size(), 6u);
    for (int c = 1; c <= 6; ++c) {
        const recording::FileChannel& ch = channels[static_cast<std::size_t>(c - 1)];
        EXPECT_EQ(ch.signalName, "N042CH" + std::to_string(c) + " ");
        EXPECT_EQ(ch.rate, 100);
        EXPECT_EQ(ch.startSecond, kStart);
        const std::vector<std::int32_t> expected = ChannelSamples(c, 100 + c);
        ASSERT_EQ(ch.sampleCount, expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(ch.IntValue(i), expected[i]) << c << " " << i;
        }
    }
}

TEST(Wavexport, StopMessages) {
    Folders s(false);
    std::string out;
    EXPECT_EQ(s.Run({}, out), kExitFailed);
    EXPECT_EQ(out, " Error retrieving command line arguments\n");
    out.clear();
    EXPECT_EQ(s.Run({s.data / "DD3042_153000.093"}, out), kExitFailed);
    EXPECT_EQ(out, " No data files found\n");
}

} // namespace
} // namespace nereid::wavexport
