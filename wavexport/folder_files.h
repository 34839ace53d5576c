#pragma once

#include <set>
#include <string>
#include <vector>

namespace nereid::wavexport {

// Plain file helpers of the converter's program folder.

bool IsRegularFile(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// rename, or copy and delete when the folders are on different file systems. Never replaces
// an existing `to`.
bool MoveFile(const std::string& from, const std::string& to);

// Names of the regular files in `folder` matching the shell pattern, oldest last-write time
// first (names break ties), at most 1000000.
std::vector<std::string> ListMatching(const std::string& folder, const std::string& pattern);

// Every name in `folder`.
std::set<std::string> FolderNames(const std::string& folder);

// Trailing spaces and NULs removed.
std::string TrimRight(std::string s);

} // namespace nereid::wavexport
