#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>

#include "recording/channel_table.h"
#include "recording/clock_update.h"
#include "recording/converter_launcher.h"
#include "recording/intake_state.h"
#include "recording/recording_setup.h"
#include "tests/recording/recorder_test_support.h"

namespace nereid::recording {
namespace {

using test::FileExists;
using test::ReadWholeFile;
using test::RecordingMessages;
using test::TempFolder;

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// A stand-in converter: notes its working directory and argument, then waits until the test
// lets it go by creating "<arg>.go" (or forever when told to hang).
std::string WriteFakeConverter(const TempFolder& folder) {
    const std::string path = folder / "wavexport";
    std::ofstream out(path);
    out << "#!/bin/sh\n"
           "pwd > \"$1.cwd\"\n"
           "echo \"$1\" > \"$1.arg\"\n"
           "i=0\n"
           "while [ ! -e \"$1.go\" ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done\n"
           "touch \"$1.done\"\n";
    out.close();
    chmod(path.c_str(), 0755);
    return path;
}

// Waits for a file to appear, at most `ms` milliseconds.
bool AppearsWithin(const std::string& path, int ms) {
    for (int i = 0; i < ms / 5; ++i) {
        if (FileExists(path)) {
            return true;
        }
        usleep(5000);
    }
    return FileExists(path);
}

TEST(ConverterLauncher, RunsInTheFilesFolderWithoutBlockingOrMovingOurDirectory) {
    TempFolder tools;
    TempFolder data;
    const std::string program = WriteFakeConverter(tools);
    const std::string before = CurrentDirectory();
    CConverterLauncher launcher(program);
    const std::string file = data / "DD1007_120000.341";
    // Convert returns while the converter is still waiting for its go file: the caller (the
    // receiver thread) is never held up by it.
    launcher.Convert(file);
    ASSERT_TRUE(AppearsWithin(file + ".arg", 5000));
    EXPECT_FALSE(FileExists(file + ".done"));
    EXPECT_EQ(CurrentDirectory(), before);
    EXPECT_EQ(ReadWholeFile(file + ".arg"), file + "\n");
    EXPECT_EQ(ReadWholeFile(file + ".cwd"), data.Path() + "\n");
    std::ofstream(file + ".go").close();
    EXPECT_TRUE(launcher.WaitIdle(5000));
    EXPECT_TRUE(FileExists(file + ".done"));
    EXPECT_EQ(launcher.StartedCount(), 1);
    EXPECT_EQ(launcher.ReleasedCount(), 0);
}

TEST(ConverterLauncher, OneAtATimeAndAHangingOneIsReleasedAtTheLimit) {
    TempFolder tools;
    TempFolder data;
    const std::string program = WriteFakeConverter(tools);
    CConverterLauncher launcher(program, 300); // the limit, shortened from 60 s
    const std::string first = data / "DD1007_120000.341";
    const std::string second = data / "DD1007_120100.341";
    launcher.Convert(first);
    launcher.Convert(second);
    ASSERT_TRUE(AppearsWithin(first + ".arg", 5000));
    // The second is not started while the first runs (within its limit).
    EXPECT_FALSE(launcher.WaitIdle(100));
    EXPECT_FALSE(FileExists(second + ".arg"));
    // The first never gets its go file: it is released at the limit and the second starts.
    ASSERT_TRUE(AppearsWithin(second + ".arg", 5000));
    EXPECT_EQ(launcher.ReleasedCount(), 1);
    std::ofstream(second + ".go").close();
    std::ofstream(first + ".go").close();
    EXPECT_TRUE(launcher.WaitIdle(5000));
    EXPECT_EQ(launcher.StartedCount(), 2);
}

// Each way a conversion fails is said with the period's file, and a success says nothing.
TEST(ConverterLauncher, FailuresAreReportedWithTheConvertersLastWords) {
    TempFolder tools;
    TempFolder data;
    const std::string failing = tools / "failing";
    std::ofstream(failing) << "#!/bin/sh\n"
                              "echo 'Converting with the SEISAN tools'\n"
                              "echo ' pdasei failed on '\"$1\"'; the channel files are kept'\n"
                              "echo\n"
                              "[ \"${1##*/}\" = DD1007_120000.341 ] && exit 0\n"
                              "[ \"${1##*/}\" = DD1007_120100.341 ] && kill -9 $$\n"
                              "exit 2\n";
    const std::string notProgram = tools / "text";
    std::ofstream(notProgram) << "not a program\n";
    chmod(failing.c_str(), 0755);
    chmod(notProgram.c_str(), 0755);
    const std::string ok = data / "DD1007_120000.341";
    const std::string killed = data / "DD1007_120100.341";
    const std::string kept = data / "DD1007_120200.341";

    RecordingMessages messages;
    {
        CConverterLauncher launcher(failing, &messages);
        launcher.Convert(ok);
        launcher.Convert(killed);
        launcher.Convert(kept);
        ASSERT_TRUE(launcher.WaitIdle(10000));
    }
    {
        CConverterLauncher missing("", &messages);
        missing.Convert(kept);
        ASSERT_TRUE(missing.WaitIdle(5000));
        CConverterLauncher unstartable(notProgram, &messages);
        unstartable.Convert(kept);
        ASSERT_TRUE(unstartable.WaitIdle(5000));
        EXPECT_EQ(unstartable.StartedCount(), 0);
    }
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[0], "SEISAN conversion failed for " + killed +
                                     ": wavexport was ended by signal 9; the DADiSP files stay");
    EXPECT_EQ(messages.shown[1], "SEISAN conversion failed for " + kept +
                                     ": wavexport ended with exit status 2 (pdasei failed on " +
                                     kept + "; the channel files are kept); the DADiSP files stay");
    EXPECT_EQ(messages.shown[2],
              "SEISAN conversion failed for " + kept +
                  ": wavexport was not found beside the program, in its build tree or in the "
                  "configured folder; the DADiSP files stay");
    EXPECT_EQ(messages.shown[3], "SEISAN conversion failed for " + kept + ": wavexport (" +
                                     notProgram +
                                     ") could not be started: Exec format error; the DADiSP "
                                     "files stay");
    EXPECT_EQ(messages.captions[0], std::string("Tellus Application"));
}

TEST(ConverterLauncher, AConverterReleasedAtTheLimitIsReported) {
    TempFolder tools;
    TempFolder data;
    const std::string program = WriteFakeConverter(tools);
    RecordingMessages messages;
    const std::string file = data / "DD1007_120000.341";
    {
        CConverterLauncher launcher(program, &messages, 200);
        launcher.Convert(file);
        ASSERT_TRUE(AppearsWithin(file + ".arg", 5000));
        ASSERT_TRUE(launcher.WaitIdle(5000));
        std::ofstream(file + ".go").close();
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "SEISAN conversion failed for " + file +
                                     ": wavexport still runs after 200 ms; recording goes on "
                                     "without waiting for it");
}

TEST(ConverterLauncher, FindsTheConfiguredFolderFirst) {
    TempFolder tools;
    const std::string program = WriteFakeConverter(tools);
    EXPECT_EQ(CConverterLauncher::FindConverter(tools.Path()), program);
    // Not in the configured folder and not beside the test program: nothing.
    TempFolder empty;
    EXPECT_EQ(CConverterLauncher::FindConverter(empty.Path()), "");
}

// The layouts the program runs from, each without a configured folder: beside the program,
// the build tree (build/shell/TellusW32 and build/wavexport/wavexport), and an installed
// prefix's bin seen from its libexec. The configured folder wins when it holds the converter;
// a file that is no executable is passed over.
TEST(ConverterLauncher, FindsTheConverterInEveryLayout) {
    TempFolder root;
    const auto make = [&](const std::string& relative, mode_t mode) {
        std::filesystem::create_directories(std::filesystem::path(root / relative).parent_path());
        std::ofstream(root / relative) << "#!/bin/sh\n";
        chmod((root / relative).c_str(), mode);
        return root / relative;
    };
    const std::string real = std::filesystem::canonical(root.Path());
    make("build/shell/TellusW32", 0755);
    make("build/wavexport/wavexport", 0755);
    EXPECT_EQ(CConverterLauncher::FindConverterFrom("", root / "build/shell/TellusW32"),
              real + "/build/wavexport/wavexport");
    make("prefix/bin/wavexport", 0755);
    make("prefix/libexec/TellusW32", 0755);
    EXPECT_EQ(CConverterLauncher::FindConverterFrom("", root / "prefix/bin/TellusW32"),
              real + "/prefix/bin/wavexport");
    EXPECT_EQ(CConverterLauncher::FindConverterFrom("", root / "prefix/libexec/TellusW32"),
              real + "/prefix/bin/wavexport");
    // Beside the program comes before the build tree's.
    make("build/shell/wavexport", 0755);
    EXPECT_EQ(CConverterLauncher::FindConverterFrom("", root / "build/shell/TellusW32"),
              real + "/build/shell/wavexport");
    make("tools/wavexport", 0755);
    EXPECT_EQ(CConverterLauncher::FindConverterFrom(root / "tools", root / "build/shell/TellusW32"),
              real + "/tools/wavexport");
    make("other/wavexport", 0644);
    make("other/shell/TellusW32", 0755);
    EXPECT_EQ(CConverterLauncher::FindConverterFrom(root / "other", root / "other/shell/TellusW32"),
              "");
    EXPECT_EQ(CConverterLauncher::FindConverterFrom("", ""), "");
}

TEST(ClockUpdate, SetsTheClockOncePerSecondOnlyWhileTheMarkerExists) {
    TempFolder folder;
    RecordingMessages messages;
    std::vector<std::uint32_t> set;
    CClockUpdate clock(&messages, folder.Path(), [&](std::uint32_t s) {
        set.push_back(s);
        return 0;
    });
    EXPECT_EQ(clock.Update(1000), 0); // no updatetime.txt
    std::ofstream(folder / "updatetime.txt").close();
    EXPECT_EQ(clock.Update(1001), 1);
    EXPECT_EQ(clock.Update(1001), 0); // 16 channels of one second: one setting
    EXPECT_EQ(clock.Update(1002), 1);
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0], 1001u);
    EXPECT_EQ(set[1], 1002u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(ClockUpdate, WithoutPermissionItSaysSoOnceAndGoesOn) {
    TempFolder folder;
    std::ofstream(folder / "updatetime.txt").close();
    RecordingMessages messages;
    int tries = 0;
    CClockUpdate clock(&messages, folder.Path(), [&](std::uint32_t) {
        ++tries;
        return EPERM;
    });
    EXPECT_EQ(clock.Update(1000), -EPERM);
    EXPECT_EQ(clock.Update(1001), 0);
    EXPECT_EQ(clock.Update(1002), 0);
    EXPECT_EQ(tries, 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], kClockPermissionText);
}

TEST(RecordingSetup, RecordingTimeBounds) {
    EXPECT_EQ(ParseRecordingMinutes("0"), 0);
    EXPECT_EQ(ParseRecordingMinutes("721"), 0);
    EXPECT_EQ(ParseRecordingMinutes("720"), 720);
    EXPECT_EQ(ParseRecordingMinutes("1"), 1);
    EXPECT_EQ(ParseRecordingMinutes(" 60 "), 60);
    EXPECT_EQ(ParseRecordingMinutes(""), 0);
    EXPECT_EQ(ParseRecordingMinutes("-5"), 0);
    EXPECT_EQ(ParseRecordingMinutes("12a"), 0);
    EXPECT_EQ(ParseRecordingMinutes("99999999999999999999"), 0);
    // Only the first 10 characters reach the setup, as the edit hands them over.
    EXPECT_EQ(ParseRecordingMinutes("0000000060"), 60);
    EXPECT_EQ(ParseRecordingMinutes("00000000600"), 60);
}

CChannelTable TableOf(std::initializer_list<std::pair<int, bool>> channels,
                      const std::string& folder) {
    CChannelTable table;
    for (auto [number, enabled] : channels) {
        RtChannel ch;
        ch.rate = 100;
        ch.recordEnable = enabled;
        ch.fileName = "DChan" + std::to_string(number) + ".dat";
        ch.directory = folder;
        table.m_ChanMap[static_cast<std::uint16_t>(number)] = ch;
    }
    return table;
}

TEST(RecordingSetup, RefusesWhatCannotBeRecorded) {
    TempFolder folder;
    RecordingMessages messages;
    CFileRecorder::Services services;
    services.messages = &messages;
    std::unique_ptr<CFileRecorder> recorder;
    RecordingSetupRequest request;
    request.minutesText = "721";
    CChannelTable table = TableOf({{1, true}, {5, false}}, folder.Path());
    EXPECT_EQ(PrepareRecorder(request, table, services, recorder), kSetupTimeInvalid);
    request.minutesText = "0";
    EXPECT_EQ(PrepareRecorder(request, table, services, recorder), kSetupTimeInvalid);
    EXPECT_EQ(recorder, nullptr);
    request.minutesText = "720";
    CChannelTable none = TableOf({{1, false}, {5, false}}, folder.Path());
    EXPECT_EQ(PrepareRecorder(request, none, services, recorder), kSetupNoChannel);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0], "Recording Time is not valid");
    EXPECT_EQ(messages.shown[1], "Recording Time is not valid");
    EXPECT_EQ(messages.shown[2], "No Data Recording Enable");
    EXPECT_EQ(messages.captions[2], std::string("Tellus Application"));
}

TEST(RecordingSetup, BuildsTheRecorderAndArmsTheIntakeByForm) {
    TempFolder folder;
    CFileRecorder::Services services;
    std::unique_ptr<CFileRecorder> recorder;
    RecordingSetupRequest request;
    request.minutesText = "720";
    request.form = RecordingForm::kCss;
    CChannelTable table = TableOf({{1, true}, {2, false}, {3, true}}, folder.Path());
    ASSERT_EQ(PrepareRecorder(request, table, services, recorder), 1);
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->PeriodSeconds(), 720 * 60);
    EXPECT_EQ(recorder->ChannelCount(), 2);
    EXPECT_EQ(recorder->Form(), RecordingForm::kCss);

    CIntakeState state;
    state.m_RestartSecond.store(12345);
    state.m_AcquisitionState.store(kAcquiring);
    state.m_IdleCounter.store(7);
    state.m_LastProgress.store(40);
    ArmRecording(state, RecordingForm::kCss);
    EXPECT_TRUE(state.m_bRecording.load());
    EXPECT_TRUE(state.m_bResumePending.load());
    EXPECT_EQ(state.m_RestartSecond.load(), kRestartArmed);
    EXPECT_EQ(state.m_AcquisitionState.load(), 0);
    EXPECT_EQ(state.m_IdleCounter.load(), 0);
    EXPECT_EQ(state.m_LastProgress.load(), 0);

    // DADiSP starts with the next frame: the gate is left alone.
    CIntakeState dadisp;
    dadisp.m_RestartSecond.store(12345);
    ArmRecording(dadisp, RecordingForm::kDadisp);
    EXPECT_TRUE(dadisp.m_bRecording.load());
    EXPECT_FALSE(dadisp.m_bResumePending.load());
    EXPECT_EQ(dadisp.m_RestartSecond.load(), 12345u);
}

TEST(RecordingSetup, ChannelSettingsNeedAFileNameAndKeepTheWholeFolder) {
    RecordingMessages messages;
    RtChannel channel;
    channel.fileName = "DChan1.dat";
    channel.directory = "/old";
    EXPECT_EQ(StoreChannelSettings(channel, "", "/new", "c", &messages), kSetupNoFileName);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Please input filename");
    EXPECT_EQ(channel.fileName, "DChan1.dat");
    EXPECT_EQ(channel.directory, "/old");
    const std::string longFolder = "/data/" + std::string(120, 'x');
    EXPECT_EQ(
        StoreChannelSettings(channel, "a-very-long-file-name.dat", longFolder, "vault", &messages),
        1);
    EXPECT_EQ(channel.fileName, "a-very-long-file-na");
    EXPECT_EQ(channel.directory, longFolder);
    EXPECT_EQ(channel.comments, "vault");
}

// A folder is taken only when a file can really be made in it; /proc refuses new files even
// to root, which the permission bits would not tell.
TEST(RecordingSetup, FolderMustExistAndTakeNewFiles) {
    TempFolder folder;
    RecordingMessages messages;
    EXPECT_EQ(CheckRecordingFolder(folder.Path(), &messages), 1);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path())); // the probe file is gone again

    const std::string missing = folder / "missing";
    EXPECT_EQ(CheckRecordingFolder(missing, &messages), kSetupBadFolder);
    const std::string plainFile = folder / "plain";
    std::ofstream(plainFile) << "x";
    EXPECT_EQ(CheckRecordingFolder(plainFile, &messages), kSetupBadFolder);
    EXPECT_EQ(CheckRecordingFolder("/proc", &messages), kSetupBadFolder);
    EXPECT_EQ(CheckRecordingFolder("", &messages), kSetupBadFolder);
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(messages.shown[0], "The folder does not exist: " + missing);
    EXPECT_EQ(messages.shown[1],
              "Can't write files in the folder " + plainFile + ": it is not a folder");
    EXPECT_EQ(messages.shown[2].rfind("Can't write files in the folder /proc: ", 0), 0u)
        << messages.shown[2];
    EXPECT_EQ(messages.captions[0], std::string("Tellus Application"));
}

} // namespace
} // namespace nereid::recording
