#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "instrument/upload/model/upload_engine.h"
#include "tests/instrument/upload/upload_recorder_double.h"

// The transfer engine against the recorder double, on a clock the test moves; shared by the
// engine's test files.
namespace nereid::instrument {

namespace fs = std::filesystem;
using test::FileFrames;
using test::ListedEntry;
using test::ListingFrame;
using test::PlainAnswer;
using test::ReceivedCommand;
using test::SentFrame;

inline std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UploadEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-upload-test-XXXXXX";
        m_Folder = ::mkdtemp(pattern);
        m_Engine.SetClock([this] { return m_Now; });
        m_Engine.SetHooks(Hooks());
    }
    void TearDown() override { fs::remove_all(m_Folder); }

    CUploadEngine::Hooks Hooks() {
        CUploadEngine::Hooks h;
        h.listingStarted = [this] { m_Entries.clear(); };
        h.entry = [this](const RecorderEntry& e) { m_Entries.push_back(e); };
        h.indicator = [this](const std::string& t) { m_Indicator.push_back(t); };
        h.timeLeft = [this](const std::string& t) { m_TimeLeft.push_back(t); };
        h.fileDone = [this](const UploadFileOutcome& o) { m_Files.push_back(o); };
        h.finished = [this](int op, int result) { m_Finished.push_back({op, result}); };
        h.deleted = [this](std::size_t, const std::string& p, int r) {
            m_Deleted.push_back({p, r});
        };
        return h;
    }

    // Services the engine and the recorder until the engine is idle; the clock moves
    // `stepMs` per round.
    void Run(int rounds = 2000, std::int64_t stepMs = 1) {
        for (int i = 0; i < rounds && (i == 0 || m_Engine.Operation() != kUploadIdle); ++i) {
            m_Recorder.Pump();
            m_Engine.Service();
            m_Recorder.Pump();
            m_Now += stepMs;
        }
    }

    std::vector<SentFrame> ServeFiles(const ReceivedCommand& c) {
        if (c.code != 0xB9) {
            return {};
        }
        for (const auto& [name, bytes] : m_Served) {
            if (c.Text() == "A:\\" + name) {
                return FileFrames(bytes);
            }
        }
        return {SentFrame{'Y', {0, 0, 0}}};
    }

    std::int64_t m_Now = 1000;
    test::MemoryLink m_Link;
    test::RecorderDouble m_Recorder{m_Link};
    CUploadEngine m_Engine{m_Link};
    std::string m_Folder;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> m_Served;
    std::vector<RecorderEntry> m_Entries;
    std::vector<std::string> m_Indicator;
    std::vector<std::string> m_TimeLeft;
    std::vector<UploadFileOutcome> m_Files;
    std::vector<std::pair<int, int>> m_Finished;
    std::vector<std::pair<std::string, int>> m_Deleted;
};

} // namespace nereid::instrument
