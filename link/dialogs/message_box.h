#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace nereid::link {

// The modal message boxes of the program. Tests (and a program without a screen) install a
// hook that receives the caption and text instead.
using MessageHook = std::function<void(const QString& caption, const QString& text)>;
void SetMessageHook(MessageHook hook);
void ShowMessage(QWidget* parent, const QString& caption, const QString& text);

inline const QString kTellusCaption = QStringLiteral("Tellus Application");

} // namespace nereid::link
