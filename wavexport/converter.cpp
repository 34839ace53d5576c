#include "wavexport/converter.h"

#include "recording/seisan_merge.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fnmatch.h>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nereid::wavexport {

namespace {

constexpr const char* kAnswerFile = "inp";
constexpr const char* kListFile = "filenr.lis";
constexpr std::size_t kInpLine = 80;
constexpr std::size_t kMaxListed = 1000000;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.pop_back();
    }
    return s;
}

// Single-quoted for /bin/sh.
std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// rename, or copy and delete when the folders are on different file systems.
bool MoveFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    std::string bytes;
    if (!ReadFile(from, bytes) || !WriteFile(to, bytes)) {
        std::remove(to.c_str());
        return false;
    }
    return std::remove(from.c_str()) == 0;
}

} // namespace

CConverter::CConverter(std::string programFolder, std::ostream& out)
    : m_folder(std::move(programFolder)), m_out(out) {}

std::string CConverter::PatternOf(const std::string& dataPath) {
    const std::size_t b = dataPath.find_last_of('/');
    const std::size_t at = b == std::string::npos ? 0 : b + 1;
    if (dataPath.size() < at + 13) {
        return {};
    }
    // DDcuuu_hhmmss: hhmm at 7..10, ss at 11..12 after the folder.
    return "\?\?\?\?-\?\?-\?\?-" + dataPath.substr(at + 7, 4) + "-" + dataPath.substr(at + 11, 2) +
           "*";
}

std::string CConverter::NetworkCodeOf(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    std::string code = dot == std::string::npos ? std::string() : name.substr(dot + 1, 5);
    code.resize(5, ' ');
    for (std::size_t i : {4u, 3u, 2u}) {
        if (code[i] == '_') {
            code[i] = ' ';
        }
    }
    return code;
}

std::vector<std::string> CConverter::ListMatching(const std::string& folder,
                                                  const std::string& pattern) {
    struct Entry {
        struct timespec mtime;
        std::string name;
    };
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || ::fnmatch(pattern.c_str(), name.c_str(), 0) != 0) {
            continue;
        }
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        entries.push_back({st.st_mtim, name});
        if (entries.size() >= kMaxListed) {
            break;
        }
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.mtime.tv_sec != b.mtime.tv_sec) {
            return a.mtime.tv_sec < b.mtime.tv_sec;
        }
        if (a.mtime.tv_nsec != b.mtime.tv_nsec) {
            return a.mtime.tv_nsec < b.mtime.tv_nsec;
        }
        return a.name < b.name;
    });
    std::vector<std::string> names;
    for (Entry& e : entries) {
        names.push_back(std::move(e.name));
    }
    return names;
}

std::string CConverter::WithTwoDigitFraction(const std::string& file) {
    const std::size_t limit = std::min<std::size_t>(file.size(), 500);
    const std::size_t data = file.find("\r\nDATA\r\n");
    const std::size_t time = file.find("\r\nTIME ");
    if (time == std::string::npos || time >= limit || (data != std::string::npos && time > data)) {
        return file;
    }
    const std::size_t end = file.find("\r\n", time + 2);
    if (end == std::string::npos) {
        return file;
    }
    const std::size_t dot = file.rfind('.', end);
    if (dot == std::string::npos || dot < time || end - dot != 2) {
        return file; // no fraction, or already two digits
    }
    std::string copy = file;
    copy.insert(end, "0");
    return copy;
}

bool CConverter::ToolsPresent() const {
    for (const char* tool : {"pdasei", "dirf", "seisei"}) {
        if (::access((m_folder + "/" + tool).c_str(), X_OK) != 0) {
            return false;
        }
    }
    return true;
}

int CConverter::RunTool(const std::string& command) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CConverter::WriteAnswers(const std::string& text) {
    return WriteFile(m_folder + "/" + kAnswerFile, text);
}

void CConverter::Convert(const std::string& channelFile) {
    // The tool gets a copy whose TIME line ends "ss.00"; the stored file stays as it is.
    std::string bytes;
    if (!ReadFile(channelFile, bytes)) {
        return;
    }
    const std::string base = channelFile.substr(channelFile.find_last_of('/') + 1);
    const std::string copyName = base + ".00";
    const std::string copyPath = m_folder + "/" + copyName;
    if (!WriteFile(copyPath, WithTwoDigitFraction(bytes))) {
        m_out << " Can't write " << copyPath << "\n";
        return;
    }
    // One line of 80 characters; the relative name serves when the full path is longer.
    std::string line = copyPath.size() <= kInpLine ? copyPath : copyName;
    line.resize(std::max(line.size(), kInpLine), ' ');
    const std::string pattern = PatternOf(channelFile);
    const std::vector<std::string> before = ListMatching(m_folder, pattern);
    if (WriteAnswers(line + "\n")) {
        RunTool(Quote(m_folder + "/pdasei") + " < inp > /dev/null");
    }
    std::remove(copyPath.c_str());
    const std::vector<std::string> after = ListMatching(m_folder, pattern);
    if (std::set<std::string>(after.begin(), after.end()) !=
        std::set<std::string>(before.begin(), before.end())) {
        m_converted.push_back(channelFile);
    }
}

void CConverter::RemoveChannelFiles(const std::vector<std::string>& files) {
    for (const std::string& f : files) {
        std::remove(f.c_str());
    }
}

int CConverter::Run(const std::string& dataPath) {
    const std::size_t b = dataPath.find_last_of('/');
    if (b == std::string::npos || dataPath.size() < b + 14) {
        m_out << " Error retrieving command line arguments\n";
        return kExitFailed;
    }
    // The original file, then its siblings of channels 1 to 6.
    std::vector<std::string> found;
    if (Exists(dataPath)) {
        found.push_back(dataPath);
    }
    const char digit = dataPath[b + 3];
    for (char k = '1'; k <= '6'; ++k) {
        if (k == digit) {
            continue;
        }
        std::string sibling = dataPath;
        sibling[b + 3] = k;
        if (Exists(sibling)) {
            found.push_back(sibling);
        }
    }
    if (found.empty()) {
        m_out << " No data files found\n";
        return kExitFailed;
    }
    if (!ToolsPresent()) {
        return RunBuiltIn(dataPath, found);
    }
    return RunWithTools(dataPath, found);
}

int CConverter::RunBuiltIn(const std::string& dataPath, const std::vector<std::string>& found) {
    const std::size_t b = dataPath.find_last_of('/');
    const std::string folder = dataPath.substr(0, b);
    const std::string network = "NR" + dataPath.substr(b + 4, 3);
    std::vector<std::string> inputs = found;
    std::sort(inputs.begin(), inputs.end());
    m_out << "pdasei, dirf or seisei is not in " << m_folder
          << ": merging with the built-in SEISAN writer\n";
    std::string output, message;
    const int r = recording::MergeDadispToSeisan(inputs, folder, network, output, message);
    if (r != recording::kMergeOk) {
        m_out << " Merge failed: " << message << "; the channel files are kept\n";
        return kExitNotMerged;
    }
    RemoveChannelFiles(inputs);
    m_out << "Merged " << inputs.size() << " channel files into " << output << "\n";
    return kExitMerged;
}

int CConverter::RunWithTools(const std::string& dataPath, const std::vector<std::string>& found) {
    m_out << "Converting with the SEISAN tools of " << m_folder << "\n";
    for (const std::string& f : found) {
        Convert(f);
    }
    const std::string pattern = PatternOf(dataPath);
    const std::vector<std::string> listed = ListMatching(m_folder, pattern);
    std::string moved;
    std::vector<std::string> waveforms;
    if (!listed.empty()) {
        const std::string network = NetworkCodeOf(listed.front());
        RunTool(Quote(m_folder + "/dirf") + " " + Quote(pattern) + " > /dev/null");
        const std::string mergedPattern = "*." + TrimRight(network) + "*";
        const auto findMerged = [&]() {
            waveforms = ListMatching(m_folder, mergedPattern);
            for (const std::string& name : waveforms) {
                if (TrimRight(name).size() < 30) {
                    return name;
                }
            }
            return std::string();
        };
        std::string merged;
        if (WriteAnswers("1\n" + network + "\n \n")) {
            RunTool(Quote(m_folder + "/seisei") + " < inp > /dev/null");
            merged = findMerged();
        }
        // Release 13 asks for the output format between the merge choice and the network.
        if (merged.empty() && WriteAnswers("1\nseisan\n" + network + "\n\n")) {
            RunTool(Quote(m_folder + "/seisei") + " < inp > /dev/null");
            merged = findMerged();
        }
        if (!merged.empty()) {
            const std::string destination =
                dataPath.substr(0, dataPath.find_last_of('/') + 1) + merged;
            if (MoveFile(m_folder + "/" + merged, destination) && Exists(destination)) {
                moved = destination;
            }
        }
    }
    if (!moved.empty()) {
        RemoveChannelFiles(m_converted);
    }
    for (const std::string& name : waveforms) {
        if (TrimRight(name).size() >= 30) {
            std::remove((m_folder + "/" + name).c_str());
        }
    }
    std::remove((m_folder + "/" + kListFile).c_str());
    std::remove((m_folder + "/" + kAnswerFile).c_str());
    if (moved.empty()) {
        m_out << " No merged SEISAN file resulted; the channel files are kept\n";
        return kExitNotMerged;
    }
    m_out << "Merged " << m_converted.size() << " channel files into " << moved << "\n";
    return kExitMerged;
}

} // namespace nereid::wavexport
