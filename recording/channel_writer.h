#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::recording {

// How a writer creates its file(s).
enum class CreateMode {
    kNew,     // never replace an existing file (the real-time recorder)
    kReplace, // replace an existing file (file translate)
};

// One channel file (set) being written: created by Open, samples appended in time order,
// completed by Close. The real-time recorder opens one writer per channel and period and
// appends one second per call; a writer owns its descriptors and closes them when destroyed.
//
// Result codes: 1 success; 0 nothing to do (not open); negative = -errno of the failing
// system call. After a failure LastPath() names the file concerned (for "Can't Create File ").
class CChannelWriter {
public:
    virtual ~CChannelWriter() = default;

    // Creates the data file and writes what is known at the start (the DADiSP header).
    virtual int Open() = 0;
    // Appends `count` samples as signed 32-bit little-endian integers.
    virtual int Append(const std::int32_t* samples, std::size_t count) = 0;
    // The UTC second (since 1970) of the first sample of the next Append. Forms that carry
    // a time with every record (miniSEED) use it, so that a second missing in between stays
    // a gap; forms that count samples from the file's start ignore it.
    virtual void SetNextSecond(std::uint32_t /*second*/) {}
    // Completes what needs the final count (the CSS wfdisc file) and closes everything.
    virtual int Close() = 0;

    virtual bool IsOpen() const = 0;
    virtual std::uint64_t SampleCount() const = 0;
    // Full path of the data file.
    virtual const std::string& DataPath() const = 0;
    // The file the last failure concerned (or the data file when none failed).
    virtual const std::string& LastPath() const = 0;
};

} // namespace nereid::recording
