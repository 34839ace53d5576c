#include "shell/system_info.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace nereid::shell {

std::uint64_t PhysicalMemoryKb() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 1024;
}

std::string MountPointOf(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
    std::string current = resolved;
    struct stat info {};
    if (::stat(current.c_str(), &info) != 0)
        return {};
    const dev_t device = info.st_dev;
    while (current != "/") {
        const std::size_t slash = current.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : current.substr(0, slash);
        struct stat parentInfo {};
        if (::stat(parent.c_str(), &parentInfo) != 0 || parentInfo.st_dev != device)
            break;
        current = parent;
    }
    return current;
}

std::string MemoryLine() {
    const std::uint64_t kb = PhysicalMemoryKb();
    if (kb == 0)
        return "Unavailable";
    char text[64];
    std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(kb));
    return text;
}

std::string FreeSpaceLine(const std::string& folder) {
    struct statvfs fs {};
    const std::string mount = MountPointOf(folder);
    if (mount.empty() || ::statvfs(folder.c_str(), &fs) != 0)
        return "Unavailable";
    const unsigned long long kb = static_cast<unsigned long long>(fs.f_bavail) *
                                  static_cast<unsigned long long>(fs.f_frsize) / 1024;
    char text[64 + PATH_MAX];
    std::snprintf(text, sizeof text, "%llu KB Free on %s", kb, mount.c_str());
    return text;
}

} // namespace nereid::shell
