#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nereid::sim {

// One entry of a directory listing, in the recorder's 8.3 form.
struct DriveEntry {
    std::string base;      // up to 8 characters, upper case
    std::string extension; // up to 3 characters, upper case
    bool directory = false;
    std::uint16_t dosTime = 0; // hours << 11 | minutes << 5 | seconds / 2
    std::uint16_t dosDate = 0; // (year - 1980) << 9 | month << 5 | day
    std::uint32_t size = 0;    // bytes
};

// The recorder's drives A..E, each backed by a host folder. Paths arrive as the recorder
// writes them ("A:\DAY093\D1234001.093"); every component must be a plain 8.3 name, so a
// request can never reach outside the drive's folder. Names match the host's case-blind.
class DriveStore {
public:
    static constexpr int kDrives = 5;
    // Files larger than this are refused: the file-data frame numbers are 16-bit.
    static constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;

    // Makes drive `letter` (A..E) present, backed by `folder`. Returns 1, or -1 when the
    // folder does not exist.
    int SetDrive(char letter, const std::filesystem::path& folder);
    bool Present(int index) const { return !m_Folders[static_cast<std::size_t>(index)].empty(); }
    const std::filesystem::path& Folder(int index) const {
        return m_Folders[static_cast<std::size_t>(index)];
    }
    // Bytes in the files of the drive, subfolders included.
    std::uint64_t UsedBytes(int index) const;

    // Lists a pattern such as "A:\*.*" or "A:\DAY093\D1*.*": directories first, then files,
    // each group by name. Returns 1, or -1 with the reason in `why`.
    int List(const std::string& pattern, std::vector<DriveEntry>& entries, std::string& why) const;
    // Reads a whole file. Returns 1, or -1 with the reason.
    int Read(const std::string& path, std::vector<std::uint8_t>& data, std::string& why) const;
    // Deletes a file (never a folder). Returns 1, or -1 with the reason.
    int Delete(const std::string& path, std::string& why) const;

    // Splits "BASE.EXT" into its 8.3 parts, upper-cased. False when the name does not fit.
    static bool SplitDosName(const std::string& name, std::string& base, std::string& extension);
    // DOS-style wildcard match of one 8.3 name against a pattern such as "*.*" or "D?2*.0*".
    static bool MatchDosPattern(const std::string& pattern, const std::string& name);

private:
    // Resolves a recorder path to its host path. `keepLast` leaves the last component
    // unresolved (a listing pattern) and returns it in `last`.
    int Resolve(const std::string& path, bool keepLast, std::filesystem::path& host,
                std::string& last, std::string& why) const;
    // Resolves a recorder path that must name an existing regular file.
    int ResolveFile(const std::string& path, std::filesystem::path& host, std::string& why) const;

    std::array<std::filesystem::path, kDrives> m_Folders;
};

} // namespace nereid::sim
