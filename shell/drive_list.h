#pragma once

#include <string>
#include <vector>

namespace nereid::shell {

// The "drives" of a Linux machine as the file dialogs offer them: the home folder first, then
// the mount points of real file systems (disks, memory cards, network shares), without the
// kernel's pseudo file systems.
struct Drive {
    std::string path;  // mount point or home folder
    std::string label; // what the drive box shows
};

// From the text of /proc/self/mounts (fstab format, octal escapes for blanks); the home folder
// is put first when given.
std::vector<Drive> DrivesFromMounts(const std::string& mountsText, const std::string& home);
// The same for this machine.
std::vector<Drive> ListDrives();

} // namespace nereid::shell
