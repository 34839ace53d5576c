#pragma once

#include <array>
#include <functional>

#include <QString>

class QPrinter;
class QWidget;

namespace nereid::recording {
class CChannelTable;
struct CIntakeState;
} // namespace nereid::recording

namespace nereid::display {

// What the analysis window reads and keeps in the main window: the real-time rings and their
// time stamps, the per-channel colours and scales of the profile (32 each), the printer and
// where the layout file lives. Everything outlives the window.
struct AnalysisContext {
    recording::CChannelTable* channels = nullptr;
    recording::CIntakeState* state = nullptr;
    std::array<int, 32>* curveColours = nullptr;
    std::array<int, 32>* scales = nullptr;
    std::function<QPrinter*()> printer;
    QString layoutPath; // tellusw32.cfg in the per-user configuration folder
};

} // namespace nereid::display
