#include "wavexport/converter.h"

#include "recording/seisan_merge.h"
#include "wavexport/folder_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nereid::wavexport {

namespace {

constexpr const char* kAnswerFile = "inp";
constexpr const char* kListFile = "filenr.lis";
constexpr const char* kCopySuffix = ".00";
// Any SEISAN waveform file name: the start time, then "S." and the network part.
constexpr const char* kSeisanName = "\?\?\?\?-\?\?-\?\?-\?\?\?\?-\?\?S.*";
// Anything the tools write: SEISAN files, and seisei's miniSEED ("...-ssM.") when it is given
// an answer it takes for another output format.
constexpr const char* kToolOutput = "\?\?\?\?-\?\?-\?\?-\?\?\?\?-\?\?*";
constexpr std::size_t kInpLine = 80;

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

std::vector<std::string> CConverter::SeiseiAnswers(const std::string& network) {
    return {"1\nseisan\n" + network + "\n\n", "1\n" + network + "\n \n"};
}

bool CConverter::ToolsPresent() const {
    for (const char* tool : {"pdasei", "dirf", "seisei"}) {
        if (::access((m_folder + "/" + tool).c_str(), X_OK) != 0) {
            return false;
        }
    }
    return true;
}

int CConverter::RunTool(const char* tool, const std::vector<std::string>& args, bool answers) {
    m_out.flush();
    const std::string program = m_folder + "/" + tool;
    const std::string input = answers ? m_folder + "/" + kAnswerFile : std::string("/dev/null");
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, m_folder.empty() ? "/" : m_folder.c_str());
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
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
    return WriteWholeFile(m_folder + "/" + kAnswerFile, text);
}

// pdasei gets a copy whose TIME line ends "ss.00"; the stored file stays as it is. Returns the
// name of the SEISAN file the run left in the program folder, empty when it left none.
std::string CConverter::Convert(const std::string& channelFile) {
    const std::string base = channelFile.substr(channelFile.find_last_of('/') + 1);
    std::string bytes;
    if (!ReadWholeFile(channelFile, bytes)) {
        m_out << " Can't read " << channelFile << "\n";
        return {};
    }
    const std::string copyName = base + kCopySuffix;
    const std::string copyPath = m_folder + "/" + copyName;
    if (!WriteWholeFile(copyPath, WithTwoDigitFraction(bytes))) {
        m_out << " Can't write " << copyPath << "\n";
        std::remove(copyPath.c_str());
        return {};
    }
    // One line of 80 characters; the relative name serves when the full path is longer.
    std::string line = copyPath.size() <= kInpLine ? copyPath : copyName;
    line.resize(std::max(line.size(), kInpLine), ' ');
    const std::set<std::string> before = FolderNames(m_folder);
    int status = -1;
    if (WriteAnswers(line + "\n")) {
        status = RunTool("pdasei", {}, true);
    }
    std::remove(copyPath.c_str());
    std::string made;
    for (const std::string& name : FolderNames(m_folder)) {
        if (before.count(name) == 0 && ::fnmatch(kSeisanName, name.c_str(), 0) == 0) {
            if (!made.empty()) {
                m_out << " pdasei left more than one SEISAN file for " << channelFile << "\n";
                return {};
            }
            made = name;
        }
    }
    if (made.empty()) {
        m_out << " pdasei left no SEISAN file for " << channelFile << " (exit status " << status
              << ")\n";
    }
    return made;
}

// Removes the tool output that appeared in the program folder since `before`, except `keep`.
void CConverter::RemoveNew(const std::set<std::string>& before, const std::string& keep) {
    for (const std::string& name : FolderNames(m_folder)) {
        if (before.count(name) == 0 && name != keep &&
            ::fnmatch(kToolOutput, name.c_str(), 0) == 0) {
            std::remove((m_folder + "/" + name).c_str());
        }
    }
}

// Runs seisei with each answer file in turn until one leaves a merged file; returns its name
// (empty when none did). What a failed try wrote is removed before the next.
std::string CConverter::Merge(const std::string& network) {
    const std::string mergedPattern = "*." + TrimRight(network) + "*";
    for (const std::string& answers : SeiseiAnswers(network)) {
        if (!WriteAnswers(answers)) {
            m_out << " Can't write " << m_folder << "/" << kAnswerFile << "\n";
            return {};
        }
        const std::set<std::string> before = FolderNames(m_folder);
        const int status = RunTool("seisei", {}, true);
        std::string merged;
        for (const std::string& name : FolderNames(m_folder)) {
            if (before.count(name) == 0 && merged.empty() &&
                ::fnmatch(kSeisanName, name.c_str(), 0) == 0 &&
                ::fnmatch(mergedPattern.c_str(), name.c_str(), 0) == 0 &&
                TrimRight(name).size() < 30) {
                merged = name;
            }
        }
        RemoveNew(before, merged);
        if (!merged.empty()) {
            return merged;
        }
        std::string shown = answers;
        std::replace(shown.begin(), shown.end(), '\n', '|');
        m_out << " seisei answered \"" << shown << "\" left no merged file (exit status " << status
              << ")\n";
    }
    return {};
}

// Removes what the tools and this run left in the program folder: the SEISAN files made since
// the run began, the list file and the answer file.
void CConverter::RemoveIntermediates() {
    for (const std::string& name : FolderNames(m_folder)) {
        if (m_before.count(name) == 0 && ::fnmatch(kToolOutput, name.c_str(), 0) == 0) {
            std::remove((m_folder + "/" + name).c_str());
        }
    }
    std::remove((m_folder + "/" + kListFile).c_str());
    std::remove((m_folder + "/" + kAnswerFile).c_str());
}

int CConverter::Keep(const std::string& why) {
    RemoveIntermediates();
    m_out << " " << why << "; the channel files are kept\n";
    return kExitNotMerged;
}

void CConverter::Finish(const std::vector<std::string>& channelFiles, const std::string& merged) {
    for (const std::string& f : channelFiles) {
        std::remove(f.c_str());
    }
    m_out << "Merged " << channelFiles.size() << " channel files into " << merged << "\n";
}

int CConverter::Run(const std::string& dataPath) {
    const std::size_t b = dataPath.find_last_of('/');
    if (b == std::string::npos || dataPath.size() < b + 14) {
        m_out << " Error retrieving command line arguments\n";
        return kExitFailed;
    }
    // The original file, then its siblings of channels 1 to 6.
    std::vector<std::string> found;
    if (IsRegularFile(dataPath)) {
        found.push_back(dataPath);
    }
    const char digit = dataPath[b + 3];
    for (char k = '1'; k <= '6'; ++k) {
        if (k == digit) {
            continue;
        }
        std::string sibling = dataPath;
        sibling[b + 3] = k;
        if (IsRegularFile(sibling)) {
            found.push_back(sibling);
        }
    }
    if (found.empty()) {
        m_out << " No data files found\n";
        return kExitFailed;
    }
    m_before = FolderNames(m_folder);
    if (!ToolsPresent()) {
        return RunBuiltIn(dataPath, found, "pdasei, dirf or seisei is not in " + m_folder);
    }
    return RunWithTools(dataPath, found);
}

int CConverter::RunBuiltIn(const std::string& dataPath, const std::vector<std::string>& found,
                           const std::string& why) {
    const std::size_t b = dataPath.find_last_of('/');
    const std::string folder = dataPath.substr(0, b);
    const std::string network = "NR" + dataPath.substr(b + 4, 3);
    std::vector<std::string> inputs = found;
    std::sort(inputs.begin(), inputs.end());
    m_out << "Merging with the built-in SEISAN writer: " << why << "\n";
    std::string output, message;
    const int r = recording::MergeDadispToSeisan(inputs, folder, network, output, message);
    if (r != recording::kMergeOk) {
        m_out << " Merge failed: " << message << "; the channel files are kept\n";
        return kExitNotMerged;
    }
    std::string failure;
    if (CheckMerged(output, inputs, failure) != kMergeSound) {
        std::remove(output.c_str());
        m_out << " The merged file is not sound: " << failure << "; the channel files are kept\n";
        return kExitNotMerged;
    }
    Finish(inputs, output);
    return kExitMerged;
}

int CConverter::RunWithTools(const std::string& dataPath, const std::vector<std::string>& found) {
    m_out << "Converting with the SEISAN tools of " << m_folder << "\n";
    const std::string pattern = PatternOf(dataPath);
    // Such a file could carry this period's name and be taken for what pdasei makes now.
    const std::vector<std::string> stale = ListMatching(m_folder, pattern);
    if (!stale.empty()) {
        std::string names;
        for (const std::string& n : stale) {
            names += (names.empty() ? "" : ", ") + n;
        }
        return Keep("SEISAN files of an earlier run in " + m_folder + " match " + pattern + " (" +
                    names + "); remove them");
    }
    std::vector<std::string> made;
    for (const std::string& f : found) {
        const std::string name = Convert(f);
        if (name.empty()) {
            return Keep("pdasei failed on " + f);
        }
        made.push_back(name);
    }
    const std::string network = NetworkCodeOf(made.front());
    // dirf lists its arguments as given: the names themselves, in the order a shell's pattern
    // would have given them.
    std::sort(made.begin(), made.end());
    RunTool("dirf", made, false);
    const std::string merged = Merge(network);
    if (merged.empty()) {
        return Keep("seisei left no merged SEISAN file");
    }
    std::string failure;
    const int check = CheckMerged(m_folder + "/" + merged, found, failure);
    if (check == kMergeSamplesLost) {
        RemoveIntermediates();
        return RunBuiltIn(dataPath, found,
                          "the merge of the SEISAN tools lost samples (" + failure + ")");
    }
    if (check != kMergeSound) {
        return Keep("The merged file is not sound: " + failure);
    }
    const std::string destination = dataPath.substr(0, dataPath.find_last_of('/') + 1) + merged;
    if (IsRegularFile(destination)) {
        return Keep(destination + " exists already");
    }
    if (!MoveFile(m_folder + "/" + merged, destination) || !IsRegularFile(destination)) {
        return Keep("Can't move " + merged + " to " + destination);
    }
    RemoveIntermediates();
    m_out << " The SEISAN tools' merge holds every sample of every channel file\n";
    Finish(found, destination);
    return kExitMerged;
}

} // namespace nereid::wavexport
