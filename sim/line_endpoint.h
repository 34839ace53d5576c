#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::sim {

// The simulator's end of the serial line: the master of a pseudo-terminal, published as a
// symlink to its slave device, or a real serial device. The pseudo-terminal master stays open
// for the whole run, so the PC can open, close and reopen the slave at any time.
class LineEndpoint {
public:
    LineEndpoint() = default;
    ~LineEndpoint();
    LineEndpoint(const LineEndpoint&) = delete;
    LineEndpoint& operator=(const LineEndpoint&) = delete;

    // Opens a pseudo-terminal in raw mode and points `linkPath` at its slave. An existing
    // symlink at that path is replaced; any other file there is left alone and refused.
    // Returns 1, or -1 with the reason in `why`.
    int OpenPty(const std::string& linkPath, std::string& why);
    // Opens a serial device in raw mode, 8N1, at `baud` (0: 9600). Returns 1 or -1.
    int OpenDevice(const std::string& path, int baud, std::string& why);

    int Fd() const { return m_Fd; }
    const std::string& SlavePath() const { return m_SlavePath; }
    bool IsPty() const { return m_IsPty; }

    // Non-blocking. Read returns the count, 0 when nothing is there, -1 when no PC holds the
    // slave open (or the device failed). Write returns the count taken (0 when full), -1 on
    // failure.
    long Read(std::uint8_t* buffer, std::size_t capacity);
    long Write(const std::uint8_t* bytes, std::size_t length);

    // Removes the symlink (also done by the destructor).
    void RemoveLink();

private:
    int m_Fd = -1;
    bool m_IsPty = false;
    std::string m_LinkPath;
    std::string m_SlavePath;
};

} // namespace nereid::sim
