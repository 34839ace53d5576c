#include "shell/drive_list.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace nereid::shell {

namespace {

// /proc/self/mounts writes blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out.push_back(
                static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

bool RealFileSystem(const std::string& type, const std::string& mountPoint) {
    static const std::set<std::string> pseudo = {
        "proc",       "sysfs",       "devtmpfs",       "devpts",    "tmpfs",    "securityfs",
        "cgroup",     "cgroup2",     "pstore",         "bpf",       "debugfs",  "tracefs",
        "configfs",   "fusectl",     "mqueue",         "hugetlbfs", "autofs",   "binfmt_misc",
        "rpc_pipefs", "nsfs",        "efivarfs",       "overlay",   "squashfs", "ramfs",
        "selinuxfs",  "fuse.portal", "fuse.gvfsd-fuse"};
    if (pseudo.count(type) != 0)
        return false;
    // Removable media are often tmpfs-free but live under these folders whatever their type.
    if (mountPoint.rfind("/media/", 0) == 0 || mountPoint.rfind("/mnt/", 0) == 0 ||
        mountPoint.rfind("/run/media/", 0) == 0)
        return true;
    for (const char* hidden : {"/proc", "/sys", "/dev", "/run", "/boot/efi", "/snap"}) {
        const std::string prefix = hidden;
        if (mountPoint == prefix || mountPoint.rfind(prefix + "/", 0) == 0)
            return false;
    }
    return true;
}

} // namespace

std::vector<Drive> DrivesFromMounts(const std::string& mountsText, const std::string& home) {
    std::vector<Drive> drives;
    std::set<std::string> seen;
    if (!home.empty()) {
        drives.push_back({home, "Home (" + home + ")"});
        seen.insert(home);
    }
    std::istringstream lines(mountsText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type))
            continue;
        mountPoint = Unescape(mountPoint);
        if (!RealFileSystem(type, mountPoint) || !seen.insert(mountPoint).second)
            continue;
        drives.push_back({mountPoint, mountPoint});
    }
    // The root first after the home folder, the rest in name order.
    const auto begin = drives.begin() + (home.empty() ? 0 : 1);
    std::sort(begin, drives.end(), [](const Drive& a, const Drive& b) {
        if (a.path == "/" || b.path == "/")
            return a.path == "/" && b.path != "/";
        return a.path < b.path;
    });
    return drives;
}

std::vector<Drive> ListDrives() {
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    const char* home = std::getenv("HOME");
    std::vector<Drive> drives = DrivesFromMounts(text.str(), home ? home : "");
    if (drives.empty())
        drives.push_back({"/", "/"});
    return drives;
}

} // namespace nereid::shell
