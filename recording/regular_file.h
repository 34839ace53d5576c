#pragma once

#include <string>
#include <vector>

namespace nereid::recording {

// Input files named by the user (data files, header files, settings) are opened only if they
// are regular files. A FIFO, a device or a directory given in their place would block a plain
// open() or read() for ever, or yield endless bytes; it is refused at once instead.

// `error` value for a path that exists but is not a regular file. Beyond every errno value.
constexpr int kNotRegularFile = 4096;

// Opens `path` read-only (close-on-exec). Returns the descriptor, or -1 with `error` set to
// the errno value or kNotRegularFile. The returned descriptor is blocking again.
int OpenRegularFile(const std::string& path, int& error);

// Reads a whole regular file into `bytes`. Returns 1, or 0 with `error` as above (ENOENT when
// it does not exist).
int ReadRegularFile(const std::string& path, std::string& bytes, int& error);
int ReadRegularFile(const std::string& path, std::vector<unsigned char>& bytes, int& error);

// strerror() that also names kNotRegularFile.
std::string FileErrorText(int error);

} // namespace nereid::recording
