#include "link/dialogs/message_box.h"

#include <QMessageBox>

namespace nereid::link {

namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

} // namespace

void SetMessageHook(MessageHook hook) {
    Hook() = std::move(hook);
}

void ShowMessage(QWidget* parent, const QString& caption, const QString& text) {
    if (Hook()) {
        Hook()(caption, text);
        return;
    }
    QMessageBox::information(parent, caption, text);
}

} // namespace nereid::link
