#pragma once

#include "recording/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace nereid::recording {

// One output file written as its data arrives, under a temporary name in its destination
// folder, and renamed to its own name only once complete: an interrupted or failed
// translation never leaves a file that looks whole, and never replaces an older one.
//
// The file is a stream of data bytes cut into parts, each with a head (a header, or nothing)
// before it. Heads that count the data (how many samples) can only be known at the end, so
// the layout is first planned from the expected size, and at the end the layout of what really
// arrived is compared with it: heads of the same lengths are rewritten in place, anything else
// is rebuilt into a second temporary file from the data already written.
class CStagedFile {
public:
    // Part k holds the stream from the previous part's end to `streamEnd`; the last part
    // holds the rest of the stream, whatever its `streamEnd`.
    struct SPart {
        std::string head;
        std::uint64_t streamEnd = kOpenEnd;
    };
    using Layout = std::vector<SPart>;
    static constexpr std::uint64_t kOpenEnd = std::numeric_limits<std::uint64_t>::max();

    explicit CStagedFile(std::string path);
    // Removes the temporary file unless Commit succeeded.
    ~CStagedFile();
    CStagedFile(const CStagedFile&) = delete;
    CStagedFile& operator=(const CStagedFile&) = delete;

    // Creates the temporary file beside the final one and writes the first head. Returns 0
    // or the errno value.
    int Open(Layout planned);
    // Appends data bytes, putting planned heads in where their part begins. 0 or errno; after
    // an error every later call returns it.
    int Append(const std::uint8_t* data, std::size_t length);
    // How Commit treats a file that already has the final name.
    enum class Existing { kReplace, kKeep };
    // Makes the file hold `actual` (heads rewritten or the file rebuilt), then renames it to
    // its final name. An existing file of that name is replaced, or with Existing::kKeep left
    // as it is and EEXIST returned. 0 or errno; the temporary file is removed on failure.
    int Commit(const Layout& actual, Existing existing = Existing::kReplace);
    // The name Commit gives the file, when it is to be another than the one it was made for.
    // The folder must stay the same (the temporary file is renamed, never copied).
    void SetPath(std::string path) { m_path = std::move(path); }
    // Removes the temporary file (nothing happens once committed).
    void Discard();

    const std::string& Path() const { return m_path; }
    std::uint64_t StreamLength() const { return m_stream; }
    bool Committed() const { return m_committed; }

private:
    int Fail(int error);
    static bool SameShape(const Layout& a, const Layout& b);
    int Rewrite(const Layout& actual);
    int Rebuild(const Layout& actual);
    // Offset in the temporary file of stream byte `at` under the planned layout.
    std::uint64_t FileOffsetOf(std::uint64_t at) const;

    std::string m_path;
    std::string m_temporary;
    UniqueFd m_fd;
    Layout m_plan;
    std::size_t m_part = 0; // the part the next stream byte belongs to
    std::uint64_t m_stream = 0;
    int m_error = 0;
    bool m_committed = false;
};

} // namespace nereid::recording
