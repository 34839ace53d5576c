#pragma once

#include <cstdint>
#include <string>

namespace nereid::shell {

// Physical memory in KB; 0 when the system does not tell.
std::uint64_t PhysicalMemoryKb();

// The mount point that holds `path` (a Linux "drive"), found by walking up to the last folder
// on the same device. Empty when the path does not exist.
std::string MountPointOf(const std::string& path);

// The about box lines: "%lu KB" of physical memory and "%lu KB Free on <mount point>" for the
// folder, each "Unavailable" when it cannot be found.
std::string MemoryLine();
std::string FreeSpaceLine(const std::string& folder);

} // namespace nereid::shell
