#include "wavexport/folder_files.h"

#include "recording/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace nereid::wavexport {

namespace {

constexpr std::size_t kMaxListed = 1000000;

} // namespace

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    int error = 0;
    return recording::ReadRegularFile(path, bytes, error) == 1;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool MoveFile(const std::string& from, const std::string& to) {
    // link() refuses an existing target, which rename() would silently replace.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str()); // the file is at its destination either way
        return true;
    }
    if (errno != EXDEV && errno != EPERM && errno != ENOTSUP) {
        return false;
    }
    std::string bytes;
    if (!ReadWholeFile(from, bytes)) {
        return false;
    }
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool written = done == bytes.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(to.c_str());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern) {
    struct Entry {
        struct timespec mtime;
        std::string name;
    };
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
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

std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            names.insert(e->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.pop_back();
    }
    return s;
}

} // namespace nereid::wavexport
