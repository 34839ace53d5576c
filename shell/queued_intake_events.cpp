#include "shell/queued_intake_events.h"

#include <QCoreApplication>

namespace nereid::shell {

QEvent::Type CUserMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type CProgressEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CQueuedIntakeEvents::PostMessage(unsigned message, std::uintptr_t wParam, long lParam) {
    QCoreApplication::postEvent(m_Target, new CUserMessageEvent(message, wParam, lParam));
}

void CQueuedIntakeEvents::SetRecordingProgress(int percent) {
    QCoreApplication::postEvent(m_Target, new CProgressEvent(false, percent, false));
}

void CQueuedIntakeEvents::ShowRecordingProgress(bool show) {
    QCoreApplication::postEvent(m_Target, new CProgressEvent(show, 0, true));
}

} // namespace nereid::shell
