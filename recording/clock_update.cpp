#include "recording/clock_update.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "recording/recorder_file_names.h"
#include "recording/recorder_messages.h"

namespace nereid::recording {

namespace {

int SetSystemClock(std::uint32_t seconds) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = 0;
    return clock_settime(CLOCK_REALTIME, &ts) == 0 ? 0 : errno;
}

} // namespace

CClockUpdate::CClockUpdate(CRecorderMessages* messages, std::string folder, Setter setter)
    : m_Messages(messages), m_Marker(JoinRecorderPath(folder, "updatetime.txt")),
      m_Setter(setter ? std::move(setter) : Setter(SetSystemClock)) {}

int CClockUpdate::Update(std::uint32_t secondsSince1970) {
    if (secondsSince1970 == m_LastSecond || m_Denied) {
        return 0;
    }
    m_LastSecond = secondsSince1970;
    struct stat st {};
    if (::stat(m_Marker.c_str(), &st) != 0) {
        return 0;
    }
    const int error = m_Setter(secondsSince1970);
    if (error == 0) {
        return 1;
    }
    if (error == EPERM || error == EACCES) {
        // Without CAP_SYS_TIME every later try fails the same way: say it once, then stop.
        m_Denied = true;
        if (m_Messages != nullptr) {
            m_Messages->ShowMessage(kClockPermissionText, kRecorderCaption);
        }
    }
    return -error;
}

} // namespace nereid::recording
