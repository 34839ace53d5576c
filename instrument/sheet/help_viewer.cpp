#include "instrument/sheet/help_viewer.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "instrument/sheet/model/help_topics.h"

namespace nereid::instrument {

namespace {
QPointer<CHelpViewer> g_Viewer;
}

CHelpViewer::CHelpViewer() : QWidget(nullptr, Qt::Window) {
    setObjectName("helpViewer");
    setWindowTitle("Nereid Utility Help");
    setAttribute(Qt::WA_DeleteOnClose);
    m_Browser = new QTextBrowser(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_Browser);
    // A way out that needs no title bar (some window managers and full-screen sessions show
    // none).
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName("helpClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
    resize(640, 420);
}

CHelpViewer* CHelpViewer::Instance() {
    return g_Viewer.data();
}

void CHelpViewer::ShowTopic(unsigned topic) {
    if (!g_Viewer)
        g_Viewer = new CHelpViewer;
    g_Viewer->Show(topic);
}

void CHelpViewer::Show(unsigned topic) {
    m_Topic = topic;
    const std::string text = HelpText(topic);
    m_Browser->setPlainText(
        text.empty() ? QString("No help is available for this item (topic %1).").arg(topic)
                     : QString::fromStdString(text));
    show();
    raise();
}

QString CHelpViewer::Text() const {
    return m_Browser->toPlainText();
}

} // namespace nereid::instrument
