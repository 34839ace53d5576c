#pragma once

#include <QEvent>

#include "recording/intake_events.h"

class QObject;

namespace nereid::shell {

// A posted user message of the receiver thread, delivered on the window's thread.
class CUserMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    CUserMessageEvent(unsigned message, std::uintptr_t wParam, long lParam)
        : QEvent(EventType()), m_Message(message), m_WParam(wParam), m_LParam(lParam) {}
    unsigned m_Message;
    std::uintptr_t m_WParam;
    long m_LParam;
};

// Recording progress changes of the receiver thread, delivered on the window's thread.
class CProgressEvent : public QEvent {
public:
    static QEvent::Type EventType();
    CProgressEvent(bool show, int percent, bool showChange)
        : QEvent(EventType()), m_Show(show), m_Percent(percent), m_ShowChange(showChange) {}
    bool m_Show;
    int m_Percent;
    bool m_ShowChange; // true: show/hide; false: a new percentage
};

// The receiver thread's notifications as queued events to the main window: the thread never
// touches a widget and never waits for the window's thread.
class CQueuedIntakeEvents : public recording::CIntakeEvents {
public:
    explicit CQueuedIntakeEvents(QObject* target) : m_Target(target) {}
    void PostMessage(unsigned message, std::uintptr_t wParam, long lParam) override;
    void SetRecordingProgress(int percent) override;
    void ShowRecordingProgress(bool show) override;

private:
    QObject* m_Target; // outlives the thread: the window stops the thread before it goes
};

} // namespace nereid::shell
