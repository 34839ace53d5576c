#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace nereid::recording {

class CRecorderMessages;

// Sets the system clock from the recorder's time while a file "updatetime.txt" exists in the
// folder given (the process's current directory by default). The Linux system clock is UTC and
// so is the recorder's second: no time-zone bias applies. The clock is set at most once per
// recorder second, to the whole second (no milliseconds).
class CClockUpdate {
public:
    // Sets the clock; returns 0 or an errno. The default uses clock_settime(CLOCK_REALTIME).
    using Setter = std::function<int(std::uint32_t secondsSince1970)>;

    explicit CClockUpdate(CRecorderMessages* messages, std::string folder = ".",
                          Setter setter = {});

    // Called for every recorded second. Returns 1 when the clock was set, 0 when nothing was
    // to be done (same second again, no "updatetime.txt", or permission lacking since an
    // earlier try), a negative errno when setting failed.
    int Update(std::uint32_t secondsSince1970);

private:
    CRecorderMessages* m_Messages;
    std::string m_Marker;
    Setter m_Setter;
    std::uint32_t m_LastSecond = 0;
    bool m_Denied = false;
};

} // namespace nereid::recording
