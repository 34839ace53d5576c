#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "recording/calendar.h"
#include "recording/recorder_messages.h"

namespace nereid::recording::test {

// A fresh folder under TMPDIR, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/nereid-rec-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) {
            m_Path = buffer.data();
        }
    }
    ~TempFolder() {
        if (!m_Path.empty()) {
            const std::string command = "rm -rf '" + m_Path + "'";
            if (std::system(command.c_str()) != 0) {
                // Nothing more to do for a leftover temporary folder.
            }
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_Path; }
    std::string operator/(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

// The names of the regular files in a folder, sorted.
inline std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat st {};
            if (name != "." && name != ".." && stat((folder + "/" + name).c_str(), &st) == 0 &&
                S_ISREG(st.st_mode)) {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Collects what the recorder shows and the files it reports closed.
class RecordingMessages : public CRecorderMessages {
public:
    void ShowMessage(const std::string& text, const char* caption) override {
        std::lock_guard lock(m_Mutex);
        shown.push_back(text);
        captions.push_back(caption);
    }
    void FileClosed(const std::string& path) override {
        std::lock_guard lock(m_Mutex);
        closed.push_back(path);
    }
    void ChannelSkipped(int channel, const std::string& path) override {
        std::lock_guard lock(m_Mutex);
        skipped.push_back(std::to_string(channel) + " " + path);
    }
    std::vector<std::string> shown;
    std::vector<std::string> captions;
    std::vector<std::string> closed;
    std::vector<std::string> skipped; // "<channel> <path>"

private:
    std::mutex m_Mutex;
};

// Seconds since 1970 of a UTC date and time.
inline std::uint32_t Utc(int year, int month, int day, int hour, int minute, int second) {
    return CalendarToSeconds(second, minute, hour, day, month, year - 1900);
}

inline std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

} // namespace nereid::recording::test
