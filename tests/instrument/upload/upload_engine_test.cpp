#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "instrument/upload/model/upload_engine.h"
#include "recording/hlcp_translator.h"
#include "tests/instrument/upload/upload_engine_fixture.h"

namespace nereid::instrument {
namespace {

// An HLCP file: the 276-byte header (name, format code 17, rate code 30 = 100/s, start
// time, station) and `samples` 24-bit samples counting up from -3.
std::vector<std::uint8_t> HlcpFile(const std::string& name, std::size_t samples) {
    std::vector<std::uint8_t> f(276, 0);
    std::memcpy(f.data(), name.data(), std::min<std::size_t>(12, name.size()));
    f[17] = 17;
    f[18] = 30;
    const std::uint32_t start = 1'700'000'000;
    for (int i = 0; i < 4; ++i) {
        f[20 + i] = static_cast<std::uint8_t>(start >> (8 * i));
    }
    std::memcpy(f.data() + 272, "SIM1", 4);
    for (std::size_t i = 0; i < samples; ++i) {
        const std::int32_t v = static_cast<std::int32_t>(i) - 3;
        f.push_back(static_cast<std::uint8_t>(v));
        f.push_back(static_cast<std::uint8_t>(v >> 8));
        f.push_back(static_cast<std::uint8_t>(v >> 16));
    }
    return f;
}

TEST(UploadEntryTest, RowOfAListingEntry) {
    link::DirectoryEntry e;
    e.valid = 1;
    std::memcpy(e.baseName.data(), "D1234001 ", 9);
    std::memcpy(e.extension.data(), "093 ", 4);
    e.attributes = 0x20;
    e.dosTime = static_cast<std::uint16_t>(13 << 11 | 5 << 5 | 21); // 13:05:42
    e.dosDate = static_cast<std::uint16_t>(46 << 9 | 4 << 5 | 3);   // 2026-04-03
    e.size = 1500;
    const RecorderEntry row = DecodeRecorderEntry(e);
    EXPECT_EQ(row.name, "D1234001.093");
    EXPECT_FALSE(row.directory);
    EXPECT_EQ(row.sizeK, 2u);
    EXPECT_EQ(row.timeText, "13:05:42");
    EXPECT_EQ(row.dateText, "4/3/2026");

    link::DirectoryEntry d;
    std::memcpy(d.baseName.data(), "DAY093   ", 9);
    std::memcpy(d.extension.data(), "    ", 4);
    d.attributes = 0x10;
    EXPECT_EQ(DecodeRecorderEntry(d).name, "DAY093");
    EXPECT_TRUE(DecodeRecorderEntry(d).directory);

    EXPECT_EQ(SizeInK(0), 0u);
    EXPECT_EQ(SizeInK(1000), 1u);
    EXPECT_EQ(SizeInK(1001), 2u);
    EXPECT_TRUE(KeepsRecorderForm("S1234001.093"));
    EXPECT_TRUE(KeepsRecorderForm("D1T34001.093"));
    EXPECT_FALSE(KeepsRecorderForm("D1234001.093"));
    EXPECT_FALSE(KeepsRecorderForm("d1s34001.093")); // lower case does not count
    EXPECT_EQ(JoinRecorderPath("A:", "X.1"), "A:\\X.1");
    EXPECT_EQ(JoinRecorderPath("A:\\", "X.1"), "A:\\X.1");
    EXPECT_EQ(ParsePcForm("SEISAN"), 1);
    EXPECT_EQ(ParsePcForm("mseed"), 5);
    EXPECT_EQ(ParsePcForm("MiniSEED"), 5);
    EXPECT_STREQ(PcFormTitle(5), "miniSEED");
    EXPECT_EQ(ParsePcForm("wav"), -1);
    EXPECT_STREQ(PcFormTitle(6), "");
}

TEST(UploadEstimateTest, WindowFollowsTheBaudRate) {
    EXPECT_EQ(CTimeLeftEstimate::WindowFor(2400), 4);
    EXPECT_EQ(CTimeLeftEstimate::WindowFor(9600), 4);
    EXPECT_EQ(CTimeLeftEstimate::WindowFor(19200), 8);
    EXPECT_EQ(CTimeLeftEstimate::WindowFor(38400), 10);
    EXPECT_EQ(CTimeLeftEstimate::WindowFor(115200), 10);
}

TEST(UploadEstimateTest, FirstEstimateAfterTheWindowThenCountsDown) {
    CTimeLeftEstimate e;
    e.Start(100, 9600); // window 4
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(e.Block(i * 700));
        EXPECT_FALSE(e.HasEstimate()) << "block " << i + 1;
    }
    EXPECT_FALSE(e.Block(3 * 700)); // block 4: measured, 2100 ms for the window
    ASSERT_TRUE(e.HasEstimate());
    EXPECT_EQ(e.WindowMs(), 2100);
    EXPECT_EQ(e.EstimateMs(), 96 * 2100 / 4); // 50400
    EXPECT_FALSE(e.Block(0));
    EXPECT_FALSE(e.Block(0));
    EXPECT_TRUE(e.Block(0)); // countdown 4 -> 1: 50400 - 2100 = 48300
    EXPECT_EQ(e.Text(), "Time Left: 0 min 48 sec");

    CTimeLeftEstimate fast;
    fast.Start(1000, 38400); // window 10
    for (int i = 0; i < 9; ++i) {
        fast.Block(i * 60);
    }
    EXPECT_FALSE(fast.HasEstimate());
    fast.Block(9 * 60);
    ASSERT_TRUE(fast.HasEstimate());
    EXPECT_EQ(fast.EstimateMs(), 990 * 540 / 10);
    // The estimate never falls below one second while blocks still come.
    CTimeLeftEstimate tail;
    tail.Start(5, 9600);
    for (int i = 0; i < 4; ++i) {
        tail.Block(i * 1000);
    }
    for (int i = 0; i < 3; ++i) {
        tail.Block(5000);
    }
    EXPECT_EQ(tail.EstimateMs(), 1000);
    EXPECT_EQ(tail.Text(), "Time Left: 0 min 1 sec");
}

TEST_F(UploadEngineTest, ListingInThreeFramesWithARepeatedFrameListsEachEntryOnce) {
    std::vector<ListedEntry> entries;
    for (int i = 0; i < 20; ++i) {
        entries.push_back({"F" + std::to_string(100 + i), "DAT", i == 0, 0, 0,
                           static_cast<std::uint32_t>(i * 700)});
    }
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        EXPECT_EQ(c.code, 0xB8);
        EXPECT_EQ(c.Text(), "A:\\*.*");
        return {ListingFrame(2, 1, {entries.begin(), entries.begin() + 8}),
                ListingFrame(2, 2, {entries.begin() + 8, entries.begin() + 16}),
                ListingFrame(1, 3, {entries.begin() + 16, entries.end()})};
    });
    m_Recorder.RepeatAfterAck(1); // frame 2 arrives twice
    ASSERT_EQ(m_Engine.StartListing("A:\\*.*"), 1);
    Run();
    ASSERT_EQ(m_Entries.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(m_Entries[static_cast<std::size_t>(i)].name,
                  "F" + std::to_string(100 + i) + (i == 0 ? ".DAT" : ".DAT"));
    }
    EXPECT_TRUE(m_Entries[0].directory);
    EXPECT_EQ(m_Entries[3].sizeK, 3u); // 2100 bytes
    EXPECT_EQ(m_Recorder.FramesSent(), 4u);
    EXPECT_EQ(m_Recorder.Acks(), 4); // the repeat is acknowledged, not NAKed without end
    EXPECT_EQ(m_Recorder.Naks(), 0);
    EXPECT_EQ(m_Engine.DuplicateFrames(), 1u);
    ASSERT_EQ(m_Finished.size(), 1u);
    EXPECT_EQ(m_Finished[0], std::make_pair(int{kUploadListing}, int{kUploadAccepted}));
    EXPECT_EQ(m_Indicator.back(), "Accepted");
    EXPECT_FALSE(m_Link.TransactionWaiting());
}

TEST_F(UploadEngineTest, ListingOutOfSequenceIsNakedAndGivesUpWhenItPersists) {
    m_Recorder.SetHandler([](const ReceivedCommand&) -> std::vector<SentFrame> {
        return {ListingFrame(2, 1, {{"A", "1"}}), ListingFrame(1, 5, {{"B", "2"}})};
    });
    ASSERT_EQ(m_Engine.StartListing("A:\\*.*"), 1);
    Run();
    EXPECT_EQ(m_Recorder.Naks(), CFrameSequence::kMaxNaks);
    ASSERT_EQ(m_Finished.size(), 1u);
    EXPECT_EQ(m_Finished[0].second, kUploadOutOfSequence);
    EXPECT_EQ(m_Entries.size(), 1u);
    EXPECT_EQ(m_Recorder.Commands().back().code, 0x91); // the recorder is told to stop
}

TEST_F(UploadEngineTest, RefusedListingIsRejected) {
    m_Recorder.SetHandler([](const ReceivedCommand&) -> std::vector<SentFrame> {
        return {SentFrame{'X', {0, 0, 0}}};
    });
    m_Engine.StartListing("Q:\\*.*");
    Run();
    ASSERT_EQ(m_Finished.size(), 1u);
    EXPECT_EQ(m_Finished[0].second, kUploadRejected);
    EXPECT_EQ(m_Indicator.back(), "Rejected");
}

TEST_F(UploadEngineTest, FileOf1500BytesComesInBlocksOf600600And300) {
    std::vector<std::uint8_t> bytes(1500);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 0xE0); // plenty of bytes to escape
    }
    m_Served = {{"RAW.BIN", bytes}};
    std::vector<std::size_t> blockSizes;
    m_Recorder.SetHandler([&](const ReceivedCommand& c) {
        auto frames = ServeFiles(c);
        for (const auto& f : frames) {
            blockSizes.push_back(f.payload.size() - 7);
        }
        return frames;
    });
    std::vector<UploadProgress> progress;
    auto hooks = Hooks();
    hooks.progress = [&](const UploadProgress& p) { progress.push_back(p); };
    m_Engine.SetHooks(hooks);
    ASSERT_EQ(m_Engine.StartRetrieve({{"A:", "RAW.BIN", 1500}}, recording::HlcpTranslator::kHlcp,
                                     m_Folder),
              1);
    EXPECT_TRUE(m_Engine.TransferActive());
    Run();
    EXPECT_EQ(blockSizes, (std::vector<std::size_t>{600, 600, 300}));
    const ReceivedCommand& read = m_Recorder.Commands().at(0);
    EXPECT_EQ(read.code, 0xB9);
    EXPECT_EQ(read.payload[2] | (read.payload[3] << 8), 600); // block size asked for
    EXPECT_EQ(read.Text(), "A:\\RAW.BIN");
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[1].fileBytes, 1200u);
    EXPECT_EQ(progress[2].runBytes, 1500u);
    ASSERT_EQ(m_Files.size(), 1u);
    EXPECT_EQ(m_Files[0].result, kUploadAccepted);
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "RAW.BIN"), bytes);
    EXPECT_FALSE(m_Engine.TransferActive());
    EXPECT_EQ(m_TimeLeft.back(), "");
    EXPECT_EQ(m_Indicator.back(), "Accepted");
}

TEST_F(UploadEngineTest, NamesWithSOrTAreSavedUnconvertedOthersConverted) {
    const auto data = HlcpFile("D1234001.093", 500); // 1776 bytes: samples cross blocks
    const auto soh = HlcpFile("S1234001.093", 10);
    m_Served = {{"D1234001.093", data}, {"S1234001.093", soh}};
    m_Recorder.SetHandler([this](const ReceivedCommand& c) { return ServeFiles(c); });
    m_Engine.StartRetrieve({{"A:", "D1234001.093", 1776}, {"A:", "S1234001.093", 306}},
                           recording::HlcpTranslator::kDadisp, m_Folder);
    Run();
    ASSERT_EQ(m_Files.size(), 2u);
    EXPECT_EQ(m_Files[0].form, recording::HlcpTranslator::kDadisp);
    EXPECT_EQ(m_Files[1].form, recording::HlcpTranslator::kHlcp);
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "S1234001.093"), soh);

    // The converted file is what the translator makes of the whole file at once.
    const std::string wholeFolder = m_Folder + "/whole";
    fs::create_directory(wholeFolder);
    recording::HlcpTranslator whole(recording::HlcpTranslator::kDadisp, 10000, "D1234001.093",
                                    wholeFolder);
    ASSERT_TRUE(whole.PrepareOutput());
    ASSERT_EQ(whole.Feed(data.data(), data.size()), 1);
    ASSERT_EQ(whole.Write(), 1);
    ASSERT_FALSE(m_Files[0].outputName.empty());
    EXPECT_EQ(m_Files[0].outputName, whole.OutputName());
    EXPECT_NE(m_Files[0].outputName, "D1234001.093");
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / m_Files[0].outputName),
              ReadAll(fs::path(wholeFolder) / whole.OutputName()));
    EXPECT_FALSE(fs::exists(fs::path(m_Folder) / "D1234001.093"));
}

TEST_F(UploadEngineTest, RefusedReadMovesOnAndIsNotAskedForAgain) {
    m_Served = {{"GOOD.DAT", std::vector<std::uint8_t>(100, 1)}};
    m_Recorder.SetHandler([this](const ReceivedCommand& c) { return ServeFiles(c); });
    m_Engine.StartRetrieve({{"A:", "GONE.DAT", 100}, {"A:", "GOOD.DAT", 100}},
                           recording::HlcpTranslator::kHlcp, m_Folder);
    Run();
    ASSERT_EQ(m_Files.size(), 2u);
    EXPECT_EQ(m_Files[0].result, kUploadRejected);
    EXPECT_TRUE(m_Files[0].written.empty());
    EXPECT_EQ(m_Files[1].result, kUploadAccepted);
    ASSERT_EQ(m_Recorder.Commands().size(), 2u);
    EXPECT_EQ(m_Recorder.Commands()[0].Text(), "A:\\GONE.DAT");
    EXPECT_EQ(m_Recorder.Commands()[1].Text(), "A:\\GOOD.DAT");
    EXPECT_FALSE(fs::exists(fs::path(m_Folder) / "GONE.DAT"));
    EXPECT_EQ(m_Finished.back().second, kUploadRejected); // not every file arrived
}

TEST_F(UploadEngineTest, AbortMidFileKeepsWhatArrivedAndAcknowledgesTheLateBlock) {
    std::vector<std::uint8_t> bytes(6000, 0x5A);
    m_Served = {{"BIG.DAT", bytes}, {"NEXT.DAT", bytes}};
    bool aborted = false;
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (c.code == 0x91) {
            aborted = true;
            return {PlainAnswer(0x31, 1)};
        }
        return ServeFiles(c);
    });
    m_Recorder.StallAfter(3); // the line goes quiet after three blocks; the operator aborts
    m_Engine.StartRetrieve({{"A:", "BIG.DAT", 6000}, {"A:", "NEXT.DAT", 6000}},
                           recording::HlcpTranslator::kHlcp, m_Folder);
    for (int i = 0; i < 20; ++i) {
        m_Recorder.Pump();
        m_Engine.Service();
    }
    ASSERT_EQ(m_Engine.Operation(), kUploadRetrieve);
    ASSERT_EQ(m_Engine.Abort(), 1);
    m_Recorder.Pump();
    ASSERT_TRUE(aborted);
    const int acksBefore = m_Recorder.Acks();
    Run();
    EXPECT_EQ(m_Engine.Operation(), kUploadIdle);
    ASSERT_EQ(m_Files.size(), 1u); // the next file is not started
    EXPECT_EQ(m_Files[0].result, kUploadAborted);
    EXPECT_EQ(m_Files[0].bytes, 1800u);
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "BIG.DAT.part").size(), 1800u);
    EXPECT_FALSE(fs::exists(fs::path(m_Folder) / "BIG.DAT")); // never passes for the file
    EXPECT_EQ(m_Files[0].outputName, "BIG.DAT.part");
    EXPECT_FALSE(m_Engine.TransferActive());
    EXPECT_EQ(m_Finished.back(), std::make_pair(int{kUploadAbort}, int{kUploadAccepted}));
    EXPECT_EQ(m_Recorder.Acks(), acksBefore + 1); // the abort answer; the link sent it
    EXPECT_EQ(m_Recorder.Commands().back().code, 0x91);
}

TEST_F(UploadEngineTest, ACutShortFetchNeverTakesThePlaceOfTheWholeFileOrAnEarlierPart) {
    std::vector<std::uint8_t> bytes(6000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    m_Served = {{"BIG.DAT", bytes}};
    m_Recorder.SetHandler([this](const ReceivedCommand& c) { return ServeFiles(c); });
    const auto fetch = [this] {
        m_Engine.StartRetrieve({{"A:", "BIG.DAT", 6000}}, recording::HlcpTranslator::kHlcp,
                               m_Folder);
        Run(2000, 100); // a line that goes quiet is given up after 30 s
    };
    fetch();
    ASSERT_EQ(m_Files.back().result, kUploadAccepted);

    // The same file again, twice, and each time the line goes quiet: the whole file fetched
    // before stays, and the second part does not overwrite the first.
    m_Recorder.StallAfter(m_Recorder.FramesSent() + 3);
    fetch();
    ASSERT_EQ(m_Files.back().result, kUploadNoResponse);
    EXPECT_EQ(m_Files.back().outputName, "BIG.DAT.part");
    m_Recorder.StallAfter(m_Recorder.FramesSent() + 2);
    fetch();
    ASSERT_EQ(m_Files.back().result, kUploadNoResponse);
    EXPECT_EQ(m_Files.back().outputName, "BIG.DAT.2.part");
    EXPECT_EQ(m_Files.back().written,
              std::vector<std::string>{(fs::path(m_Folder) / "BIG.DAT.2.part").string()});

    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "BIG.DAT"), bytes);
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "BIG.DAT.part"),
              std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1800));
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "BIG.DAT.2.part"),
              std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1200));
    for (const UploadFileOutcome& o : m_Files) {
        for (const std::string& path : o.written) {
            EXPECT_TRUE(fs::is_regular_file(path)) << path;
        }
    }
}

TEST_F(UploadEngineTest, LateBlockAfterAnAbortIsAcknowledgedNotTakenForData) {
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (c.code == 0x91) {
            // The block that was on the line, then the answer.
            const std::uint8_t d[3] = {1, 2, 3};
            m_Recorder.Send(test::DataFrame(2, 4, d, 3));
            return {PlainAnswer(0x31, 1)};
        }
        return {};
    });
    m_Engine.StartListing("A:\\*.*");
    m_Engine.Abort();
    Run();
    EXPECT_EQ(m_Finished.back(), std::make_pair(int{kUploadAbort}, int{kUploadAccepted}));
    EXPECT_EQ(m_Recorder.Acks(), 2); // the late block (by the engine) and the answer
}

TEST_F(UploadEngineTest, NoFrameFor30SecondsEndsTheTransfer) {
    m_Recorder.SetHandler([](const ReceivedCommand&) { return std::vector<SentFrame>{}; });
    m_Engine.StartRetrieve({{"A:", "X.DAT", 100}}, 0, m_Folder);
    const std::int64_t start = m_Now;
    while (m_Now - start < CUploadEngine::kNoFrameLimitMs - 100) {
        m_Engine.Service();
        m_Now += 100;
    }
    EXPECT_EQ(m_Engine.Operation(), kUploadRetrieve);
    EXPECT_TRUE(m_Engine.TransferActive());
    // The unanswered request was asked again after each reply wait.
    m_Recorder.Pump();
    EXPECT_GE(m_Recorder.Commands().size(), 2u);
    EXPECT_EQ(m_Recorder.Commands().size(), 1 + m_Engine.CommandResends());
    m_Now += 200;
    m_Engine.Service();
    EXPECT_EQ(m_Engine.Operation(), kUploadIdle);
    EXPECT_FALSE(m_Engine.TransferActive());
    EXPECT_EQ(m_Finished.back().second, kUploadNoResponse);
    EXPECT_EQ(m_Indicator.back(), "No Response");
    EXPECT_EQ(m_TimeLeft.back(), "");
    EXPECT_FALSE(m_Link.TransactionWaiting());
}

TEST_F(UploadEngineTest, UnansweredReadIsSentAgainAndThenArrives) {
    m_Served = {{"ONE.DAT", std::vector<std::uint8_t>(700, 9)}};
    int reads = 0;
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (++reads == 1) {
            return {}; // dropped on the way
        }
        return ServeFiles(c);
    });
    m_Engine.StartRetrieve({{"A:", "ONE.DAT", 700}}, recording::HlcpTranslator::kHlcp, m_Folder);
    Run(20000, 10);
    EXPECT_EQ(reads, 2);
    ASSERT_EQ(m_Files.size(), 1u);
    EXPECT_EQ(m_Files[0].result, kUploadAccepted);
    EXPECT_EQ(ReadAll(fs::path(m_Folder) / "ONE.DAT").size(), 700u);
}

} // namespace
} // namespace nereid::instrument
