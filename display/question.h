#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace nereid::display {

// An OK/Cancel question box; true for OK. Tests install a hook that answers instead.
using QuestionHook = std::function<bool(const QString& caption, const QString& text)>;
void SetQuestionHook(QuestionHook hook);
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text);

} // namespace nereid::display
