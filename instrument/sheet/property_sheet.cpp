#include "instrument/sheet/property_sheet.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "instrument/sheet/help_viewer.h"
#include "instrument/sheet/model/help_topics.h"
#include "instrument/sheet/result_indicator.h"
#include "instrument/sheet/sheet_page.h"
#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/dialogs/message_box.h"

namespace nereid::instrument {

namespace {

bool g_ManualTicks = false;

bool IsMouseClick(QEvent::Type type) {
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick;
}

} // namespace

void CPropertySheet::SetManualTicks(bool manual) {
    g_ManualTicks = manual;
}

bool CPropertySheet::ManualTicks() {
    return g_ManualTicks;
}

void CPropertySheet::RunTimer(QTimer& timer, bool run, bool& active) {
    active = run;
    if (run && !g_ManualTicks)
        timer.start();
    else
        timer.stop();
}

CPropertySheet::CPropertySheet(SheetKind kind, const QString& caption, const SheetContext& context,
                               QWidget* parent)
    : QDialog(parent), m_Kind(kind), m_Context(context), m_Cycle(*context.link, kind) {
    setWindowTitle(caption);
    setObjectName(caption + "Sheet");
    // The context-help style: the title bar's "?" puts the help cursor up.
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    m_Tabs = new QTabWidget(this);
    m_Tabs->tabBar()->installEventFilter(this);
    m_Indicator = new CResultIndicator(this);
    m_Indicator->hide();
    m_Apply = new QPushButton(this);
    m_Close = new QPushButton(this);
    m_Apply->setAutoDefault(false);
    m_Close->setAutoDefault(false);
    connect(m_Apply, &QPushButton::clicked, this, [this] { Execute(); });
    connect(m_Close, &QPushButton::clicked, this, [this] { reject(); });
    switch (kind) {
    case kStatusSheet:
        SetButtonTexts("REFRESH", "CLOSE", "");
        break;
    case kConfigurationSheet:
        SetButtonTexts("Send", "CLOSE", "HELP");
        break;
    default:
        SetButtonTexts("EXECUTE", "CLOSE", "HELP");
        break;
    }
    m_PollTimer.setInterval(kPollMs);
    connect(&m_PollTimer, &QTimer::timeout, this, [this] { PollTick(); });
    connect(m_Tabs, &QTabWidget::currentChanged, this, [this](int i) { OnTabChanged(i); });
    m_Cycle.SetAnswerHook(
        [this](std::uint8_t code, const link::FrameRecord& answer) { OnAnswer(code, answer); });
    resize(560, 440);
}

CPropertySheet::~CPropertySheet() {
    m_Cycle.Cancel();
    if (m_WaitCursor) {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }
}

void CPropertySheet::SetButtonTexts(const QString& apply, const QString& close,
                                    const QString& help) {
    m_Apply->setText(apply);
    m_Close->setText(close);
    if (help.isEmpty()) {
        delete m_Help;
        m_Help = nullptr;
    } else {
        if (m_Help == nullptr) {
            m_Help = new QPushButton(this);
            m_Help->setAutoDefault(false);
            connect(m_Help, &QPushButton::clicked, this, [this] {
                ShowHelp(m_Kind == kConfigurationSheet ? kConfigurationSheetHelpTopic
                                                       : kCommandSheetHelpTopic);
            });
        }
        m_Help->setText(help);
    }
    LayoutChrome();
}

void CPropertySheet::AddPage(CSheetPage* page) {
    page->SetSheet(this);
    page->setObjectName(QString("page%1").arg(page->DialogId()));
    page->installEventFilter(this);
    m_AllPages.push_back(page);
    const QSignalBlocker quiet(m_Tabs); // activation starts with the opening, not here
    m_Tabs->addTab(page, page->Caption());
}

void CPropertySheet::RunOpeningSteps() {
    m_Opening = true;
    if (m_Latch.Latch(m_Context.modelCode ? m_Context.modelCode() : 0)) {
        const std::vector<int> keep = PagesFor(m_Kind, m_Latch.ModelCode());
        const QSignalBlocker quiet(m_Tabs);
        for (CSheetPage* page : m_AllPages) {
            if (std::find(keep.begin(), keep.end(), page->DialogId()) == keep.end()) {
                m_Tabs->removeTab(m_Tabs->indexOf(page));
                page->hide();
            }
        }
    }
    {
        const QSignalBlocker quiet(m_Tabs);
        m_Tabs->setCurrentIndex(0);
    }
    m_Apply->setEnabled(true);
    LayoutChrome();
    for (int i = 0; i < m_Tabs->count(); ++i)
        PageAt(i)->OnSheetOpened(*this);
    OnOpening();
    if (CSheetPage* first = ActivePage())
        first->OnActivate(*this);
    m_Opening = false;
}

void CPropertySheet::Open() {
    RunOpeningSteps();
    setModal(true);
    show();
}

int CPropertySheet::Exec() {
    RunOpeningSteps();
    return exec();
}

int CPropertySheet::PageCount() const {
    return m_Tabs->count();
}

std::vector<int> CPropertySheet::PageIds() const {
    std::vector<int> ids;
    for (int i = 0; i < m_Tabs->count(); ++i)
        ids.push_back(PageAt(i)->DialogId());
    return ids;
}

CSheetPage* CPropertySheet::PageAt(int index) const {
    return qobject_cast<CSheetPage*>(m_Tabs->widget(index));
}

CSheetPage* CPropertySheet::Page(int dialogId) const {
    for (int i = 0; i < m_Tabs->count(); ++i)
        if (PageAt(i)->DialogId() == dialogId)
            return PageAt(i);
    return nullptr;
}

CSheetPage* CPropertySheet::ActivePage() const {
    return qobject_cast<CSheetPage*>(m_Tabs->currentWidget());
}

bool CPropertySheet::ActivatePage(int dialogId) {
    CSheetPage* page = Page(dialogId);
    if (page == nullptr)
        return false;
    if (m_Tabs->currentWidget() == page)
        return true;
    m_Tabs->setCurrentWidget(page);
    return true;
}

void CPropertySheet::OnTabChanged(int index) {
    // A result left from an earlier transaction (the opening's read, another page's order)
    // would read as the outcome of this page's own command.
    ClearResult();
    if (CSheetPage* page = PageAt(index))
        page->OnActivate(*this);
}

int CPropertySheet::Transact(std::uint8_t code, const link::CommandRecord& record) {
    m_Indicator->SetWaiting(m_Cycle.MarkerStep());
    m_Indicator->show();
    const int sent = m_Cycle.Send(code, record);
    RunTimer(m_PollTimer, true, m_PollActive);
    if (!m_WaitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The mouse is the sheet's while it waits: clicks inside it do nothing (the keyboard
        // still works, so REFRESH can restart a wait).
        qApp->installEventFilter(this);
        m_WaitCursor = true;
    }
    return sent;
}

int CPropertySheet::TransactQuery(std::uint8_t code) {
    return Transact(code, link::CommandRecord{});
}

void CPropertySheet::Execute() {
    CSheetPage* page = ActivePage();
    if (page == nullptr)
        return;
    std::string message;
    if (page->Collect(message) != 1) {
        ClearResult();
        link::ShowMessage(this, link::kTellusCaption, QString::fromStdString(message));
        return;
    }
    std::uint8_t code = 0;
    link::CommandRecord record;
    const int prepared = page->Model().Prepare(code, record, message);
    if (prepared == kPrepared) {
        Transact(code, record);
        return;
    }
    ClearResult();
    if (!message.empty()) {
        link::ShowMessage(this, link::kTellusCaption, QString::fromStdString(message));
    }
}

void CPropertySheet::ClearResult() {
    if (!m_Cycle.Waiting()) {
        m_Indicator->SetDone(QString());
        m_Indicator->hide();
    }
}

void CPropertySheet::PollTick() {
    if (!m_Cycle.Waiting()) {
        EndWait();
        return;
    }
    const int result = m_Cycle.Tick();
    if (result == link::kTransactionWaiting) {
        m_Indicator->SetWaiting(m_Cycle.MarkerStep());
        return;
    }
    EndWait();
    m_Indicator->SetDone(QString::fromLatin1(m_Cycle.ResultText()));
    OnFinished(result);
}

void CPropertySheet::EndWait() {
    RunTimer(m_PollTimer, false, m_PollActive);
    if (m_WaitCursor) {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
        m_WaitCursor = false;
    }
}

void CPropertySheet::OnAnswer(std::uint8_t, const link::FrameRecord& answer) {
    if (CSheetPage* page = ActivePage()) {
        if (page->Model().ShowAnswer(answer) == 1)
            page->Refresh();
    }
}

void CPropertySheet::OnFinished(int) {}

void CPropertySheet::done(int result) {
    m_Cycle.Cancel();
    EndWait();
    OnClosing();
    QDialog::done(result);
}

int CPropertySheet::TabStripTopicAt(const QPoint& pos) const {
    if (width() <= 0 || height() <= 0)
        return 0;
    const CSheetPage* active = ActivePage();
    return TabStripTopic(m_Kind, m_Latch.ModelCode(), active ? active->DialogId() : 0,
                         double(pos.x()) / width(), double(pos.y()) / height());
}

unsigned CPropertySheet::HelpTopicFor(const QWidget* control) const {
    const CSheetPage* page = ActivePage();
    return page != nullptr ? page->HelpTopicFor(control) : 0;
}

void CPropertySheet::ShowHelp(unsigned topic) {
    if (topic != 0)
        CHelpViewer::ShowTopic(topic);
}

void CPropertySheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && focus == m_Tabs->tabBar())
            ShowHelp(TabStripTopicAt(mapFromGlobal(QCursor::pos())));
        else
            ShowHelp(HelpTopicFor(focus));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CPropertySheet::eventFilter(QObject* watched, QEvent* event) {
    if (m_WaitCursor && IsMouseClick(event->type())) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && (widget == this || isAncestorOf(widget)))
            return true;
    }
    // The help cursor: a click in "What's This?" mode arrives as a WhatsThis event.
    if (event->type() == QEvent::QueryWhatsThis)
        return true;
    if (event->type() == QEvent::WhatsThis) {
        auto* help = static_cast<QHelpEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == m_Tabs->tabBar()) {
            ShowHelp(TabStripTopicAt(mapFromGlobal(help->globalPos())));
        } else if (widget != nullptr) {
            QWidget* under = widget->childAt(help->pos());
            ShowHelp(HelpTopicFor(under != nullptr ? under : widget));
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CPropertySheet::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutChrome();
}

void CPropertySheet::LayoutChrome() {
    const int w = width();
    const int h = height();
    m_Tabs->setGeometry(6, 6, w - 12, h - 48);
    const int y = h - 25;
    switch (m_Kind) {
    case kStatusSheet:
        m_Indicator->setGeometry(10, h - 36, 108, 36);
        m_Apply->setGeometry(w / 2 - 80, y, 70, 20);
        m_Close->setGeometry(w / 2 + 10, y, 70, 20);
        break;
    case kConfigurationSheet: {
        m_Indicator->setGeometry(2, h - 37, 108, 37);
        const int b = (w - 3 * 15 - 125) / 3;
        m_Apply->setGeometry(125, y, b, 20);
        m_Close->setGeometry(140 + b, y, b, 20);
        if (m_Help)
            m_Help->setGeometry(155 + 2 * b, y, b, 20);
        break;
    }
    default:
        m_Indicator->setGeometry(4, h - 36, 104, 36);
        m_Apply->setGeometry(w / 2 - 105, y, 70, 20);
        m_Close->setGeometry(w / 2 - 15, y, 70, 20);
        if (m_Help)
            m_Help->setGeometry(w / 2 + 75, y, 90, 20);
        break;
    }
}

} // namespace nereid::instrument
