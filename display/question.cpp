#include "display/question.h"

#include <QMessageBox>

namespace nereid::display {

namespace {
QuestionHook& Hook() {
    static QuestionHook hook;
    return hook;
}
} // namespace

void SetQuestionHook(QuestionHook hook) {
    Hook() = std::move(hook);
}

bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    if (Hook())
        return Hook()(caption, text);
    return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

} // namespace nereid::display
