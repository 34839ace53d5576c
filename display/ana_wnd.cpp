#include "display/ana_wnd.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include "display/ana_control_bar.h"
#include "display/ana_view.h"
#include "display/channel_bar.h"
#include "display/model/analysis_settings.h"
#include "display/model/tables.h"
#include "display/question.h"
#include "link/dialogs/message_box.h"
#include "recording/intake_state.h"

namespace nereid::display {

using model::PlotChannel;

namespace {

// The channel box's range read-out: "%d" of a fixed range, "Auto" for a fitted one.
QString RangeText(const PlotChannel& channel) {
    return channel.autoRange ? QString("Auto")
                             : QString::asprintf("%d", static_cast<int>(channel.range));
}

} // namespace

CAnaWnd::CAnaWnd(const AnalysisContext& context, QWidget* parent)
    : QWidget(parent), m_Context(context) {
    setObjectName("CAnaWnd");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_Control = new CAnaControlBar(this);
    m_View = new CAnaView(context, this);
    row->addWidget(m_Control);
    row->addWidget(m_View, 1);
    m_ChannelBar = new CChannelBar(this);
    m_Timer.setInterval(kTickMs);
    connect(&m_Timer, &QTimer::timeout, this, [this] { Tick(); });
    ConnectControls();
    SetTitle(kRealTimeTitle);
    {
        const QSignalBlocker block(m_Control->binsShown);
        m_Control->binsShown->setCurrentIndex(m_View->Spectrum().binsIndex);
    }
    RebuildChannelBar();
    resize(1000, 700);
}

CAnaWnd::~CAnaWnd() {
    m_Timer.stop();
    // Intake is the program's normal state; a frozen display must not leave it off.
    if (m_Context.state != nullptr)
        m_Context.state->m_bIntakeEnabled.store(true);
    if (!m_View->Channels().empty() && !m_Context.layoutPath.isEmpty()) {
        model::AnalysisLayout layout;
        m_View->FillLayout(layout);
        model::WriteAnalysisLayout(m_Context.layoutPath.toStdString(), layout);
    }
}

bool CAnaWnd::FileDisplay() const {
    return m_View->CurrentSource() == CAnaView::Source::kFile;
}

void CAnaWnd::SetTitle(const QString& title) {
    setWindowTitle(title);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setWindowTitle(title);
}

void CAnaWnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ReadLayout();
    if (!m_ChannelBar->isVisible()) {
        m_ChannelBar->show();
        if (!m_ChannelBarPlaced) {
            // Inside the window's top right corner, never over the main window's menu bar.
            m_ChannelBarPlaced = true;
            m_ChannelBar->adjustSize();
            const QPoint corner = m_View->mapToGlobal(
                QPoint(m_View->width() - m_ChannelBar->width() - CAnaView::kVScrollWidth - 24, 24));
            m_ChannelBar->move(corner);
        }
    }
}

void CAnaWnd::ReadLayout() {
    if (m_LayoutRead || m_Context.layoutPath.isEmpty())
        return;
    m_LayoutRead = true;
    model::AnalysisLayout layout;
    if (model::ReadAnalysisLayout(m_Context.layoutPath.toStdString(), layout) != 1)
        return;
    m_View->ApplyLayout(layout);
    m_Control->timeRange->setValue(m_View->TimeRangeIndex());
    m_Control->fftSize->setCurrentIndex(m_Control->fftSize->findData(m_View->Spectrum().fftSize));
    m_Control->binsShown->setCurrentIndex(m_View->Spectrum().binsIndex);
    m_Control->timeGrid->setValue(static_cast<int>(layout.timeGrid));
    m_Control->spectrumGrid->setValue(static_cast<int>(layout.spectrumGrid));
    for (const model::ChannelLayout& record : layout.channels) {
        if (record.timeOpen == 1 && record.offset != 0) {
            m_Control->offsetValue->setText(QString::number(record.offset));
            break;
        }
    }
    RebuildChannelBar();
    RefreshChannelBox();
}

void CAnaWnd::ConnectControls() {
    connect(m_Control->realTime, &QPushButton::clicked, this, [this] { ToggleRealTime(); });
    connect(m_Control->fromFile, &QPushButton::clicked, this, [this] { ToggleFileDisplay(); });
    connect(m_Control->timeMode, &QPushButton::clicked, this, [this] { ToggleMode(); });
    connect(m_Control->timeRange, &QScrollBar::valueChanged, this, [this](int index) {
        m_View->SetTimeRangeIndex(index);
        m_Control->SetTimeRangeText(index);
        if (!FileDisplay() && RealTimeRunning())
            m_View->FollowNewest();
        else if (!FileDisplay() && m_View->Frozen())
            m_View->ScrollFrozen(m_View->TimeScroll()->value());
    });
    connect(m_Control->viewScale, &QScrollBar::valueChanged, this, [this](int steps) {
        m_View->SetViewScale(steps);
        m_Control->viewScaleText->setText(QString("x%1").arg(1ull << std::min(steps, 40)));
    });
    connect(m_Control->fftSize, &QComboBox::currentIndexChanged, this, [this](int) {
        m_View->SetFftSize(m_Control->fftSize->currentData().toInt());
        const QSignalBlocker block(m_Control->binsShown);
        m_Control->binsShown->setCurrentIndex(m_View->Spectrum().binsIndex);
    });
    connect(m_Control->binsShown, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_View->SetBinsIndex(index);
        if (m_View->Spectrum().binsIndex != index) {
            const QSignalBlocker block(m_Control->binsShown);
            m_Control->binsShown->setCurrentIndex(m_View->Spectrum().binsIndex);
        }
    });
    connect(m_Control->timeGrid, &QSlider::valueChanged, this,
            [this](int v) { m_View->SetGrid(v, m_Control->spectrumGrid->value()); });
    connect(m_Control->spectrumGrid, &QSlider::valueChanged, this,
            [this](int v) { m_View->SetGrid(m_Control->timeGrid->value(), v); });
    m_Control->timeGrid->setValue(8);
    m_Control->spectrumGrid->setValue(8);
    connect(m_Control->channelBox, &QComboBox::currentIndexChanged, this, [this](int) {
        const int index = m_Control->channelBox->currentData().toInt();
        if (const PlotChannel* c = m_View->Channel(index)) {
            m_Control->scaleValue->setText(RangeText(*c));
            m_Control->offsetValue->setText(QString::number(c->offset));
        }
    });
    connect(m_View->TimeScroll(), &QScrollBar::valueChanged, this, [this](int position) {
        if (FileDisplay()) {
            m_View->SetFileStart(static_cast<std::uint64_t>(position) * 4);
        } else if (!RealTimeRunning()) {
            m_View->ScrollFrozen(position);
        }
    });
    m_View->onReadout = [this](const QString& x, const QString& y) { m_Control->SetReadout(x, y); };
    m_View->onOffsetPicked = [this](int index) {
        const int item = m_Control->channelBox->findData(index);
        if (item >= 0)
            m_Control->channelBox->setCurrentIndex(item);
        if (const PlotChannel* c = m_View->Channel(index))
            m_Control->offsetValue->setText(QString::number(c->offset));
    };
    m_View->onChanged = [this] { RefreshChannelBox(); };

    CChannelBar::Handlers handlers;
    handlers.channel = [this](int index) { ChannelClicked(index); };
    handlers.mode = [this] { ToggleMode(); };
    handlers.remove = [this] { ArmRemove(); };
    handlers.openFile = [this] { OpenFileDialog(); };
    m_ChannelBar->SetHandlers(handlers);
}

void CAnaWnd::ToggleRealTime() {
    if (FileDisplay() || m_Context.state == nullptr)
        return;
    recording::CIntakeState& state = *m_Context.state;
    if (!RealTimeRunning()) {
        state.m_bIntakeEnabled.store(true);
        m_View->Thaw();
        {
            const QSignalBlocker block(m_View->TimeScroll());
            m_View->TimeScroll()->setValue(0);
        }
        m_LastCurIndex = -1;
        m_Timer.start();
        m_Control->realTime->setText("Stop");
        Tick();
        return;
    }
    if (state.m_bRecording.load()) {
        link::ShowMessage(this, link::kTellusCaption, kStopRecordingFirstText);
        return;
    }
    FreezeDisplay();
}

void CAnaWnd::FreezeDisplay() {
    m_Timer.stop();
    // An armed recording keeps intake running regardless (the receiver thread sees to it).
    if (m_Context.state != nullptr)
        m_Context.state->m_bIntakeEnabled.store(false);
    m_View->Freeze();
    {
        // The right end of the bar is where the window stands now: the newest second.
        const QSignalBlocker block(m_View->TimeScroll());
        m_View->TimeScroll()->setValue(m_View->TimeScroll()->maximum());
    }
    m_Control->realTime->setText("RealTime");
}

bool CAnaWnd::Tick() {
    if (++m_Ticks % 10 == 0)
        m_Control->ClearReadouts();
    if (m_View->SyncRealTimeChannels()) {
        RebuildChannelBar();
        RefreshChannelBox();
    }
    if (m_Context.state == nullptr || FileDisplay() || m_View->Frozen())
        return false;
    const int cur = m_Context.state->m_CurIndex.load();
    const std::uint32_t second = m_Context.state->m_LastSecond.load();
    if (cur == m_LastCurIndex && second == m_LastSecond)
        return false;
    m_LastCurIndex = cur;
    m_LastSecond = second;
    // The window follows the recorder's newest second wherever the clock moved it: a jump
    // forward or back starts the window afresh instead of freezing it on old rows.
    m_View->FollowNewest();
    return true;
}

void CAnaWnd::ToggleFileDisplay() {
    if (!FileDisplay()) {
        // Allowed while recording: the recorder takes its frames whatever the view shows.
        if (RealTimeRunning())
            FreezeDisplay();
        m_View->SetSource(CAnaView::Source::kFile);
        m_Control->fromFile->setText("CLOSE");
        m_Control->realTime->setEnabled(false);
        SetTitle(kFileTitle);
    } else {
        if (!AskOkCancel(this, kFileTitle, kQuitFileDisplayText))
            return;
        while (!m_View->Channels().empty())
            m_View->RemoveFile(0);
        m_View->SetSource(CAnaView::Source::kRealTime);
        m_View->TimeScroll()->setRange(0, 200);
        m_View->TimeScroll()->setValue(0);
        m_Control->fromFile->setText("FromFile");
        m_Control->realTime->setEnabled(true);
        SetTitle(kRealTimeTitle);
    }
    {
        const QSignalBlocker a(m_Control->fftSize), b(m_Control->binsShown);
        m_Control->fftSize->setCurrentIndex(
            m_Control->fftSize->findData(m_View->Spectrum().fftSize));
        m_Control->binsShown->setCurrentIndex(m_View->Spectrum().binsIndex);
    }
    m_RemoveArmed = false;
    RebuildChannelBar();
    RefreshChannelBox();
}

void CAnaWnd::ToggleMode() {
    m_SpectrumMode = !m_SpectrumMode;
    m_Control->timeMode->setText(m_SpectrumMode ? "FFT" : "TIME");
    RebuildChannelBar();
}

void CAnaWnd::ChannelClicked(int index) {
    PlotChannel* c = m_View->Channel(index);
    if (c == nullptr)
        return;
    if (m_RemoveArmed && FileDisplay()) {
        m_RemoveArmed = false;
        if (AskOkCancel(this, kFileTitle, kRemoveFileText))
            m_View->RemoveFile(index);
        RebuildChannelBar();
        RefreshChannelBox();
        return;
    }
    if (m_SpectrumMode) {
        if (FileDisplay() && !c->showTime && !c->showSpectrum) {
            link::ShowMessage(this, kVireoCaption, kOpenTimeFirstText);
        } else {
            c->showSpectrum = !c->showSpectrum;
        }
    } else {
        c->showTime = !c->showTime;
        RefreshChannelBox();
        const int item = m_Control->channelBox->findData(index);
        if (c->showTime && item >= 0) {
            m_Control->channelBox->setCurrentIndex(item);
            m_Control->scaleValue->setText("000");
        }
    }
    RebuildChannelBar();
    m_View->update();
}

void CAnaWnd::RebuildChannelBar() {
    std::vector<QString> names;
    std::vector<bool> pressed;
    for (const PlotChannel* c : m_View->Channels()) {
        names.push_back(QString::fromStdString(c->name));
        pressed.push_back(m_SpectrumMode ? c->showSpectrum : c->showTime);
    }
    m_ChannelBar->Rebuild(names, pressed, m_SpectrumMode, FileDisplay());
}

void CAnaWnd::RefreshChannelBox() {
    const QSignalBlocker block(m_Control->channelBox);
    const int selected = m_Control->channelBox->currentData().toInt();
    m_Control->channelBox->clear();
    const std::vector<PlotChannel*> list = m_View->Channels();
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
        if (list[static_cast<std::size_t>(i)]->showTime)
            m_Control->channelBox->addItem(
                QString::fromStdString(list[static_cast<std::size_t>(i)]->name), i);
    }
    const int item = m_Control->channelBox->findData(selected);
    m_Control->channelBox->setCurrentIndex(item >= 0 ? item : 0);
    const int index = m_Control->channelBox->currentData().toInt();
    if (const PlotChannel* c =
            m_Control->channelBox->count() > 0 ? m_View->Channel(index) : nullptr)
        m_Control->scaleValue->setText(RangeText(*c));
}

void CAnaWnd::OpenFileDialog() {
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, kSelectFileTitle, QString(), "All Files (*)");
    OpenFiles(paths);
}

int CAnaWnd::OpenFiles(const QStringList& paths) {
    if (!FileDisplay())
        ToggleFileDisplay();
    int added = 0;
    for (const QString& path : paths)
        added += m_View->OpenFile(path);
    RebuildChannelBar();
    RefreshChannelBox();
    return added;
}

void CAnaWnd::CopyToClipboard() {
    QApplication::clipboard()->setImage(m_View->PlotAreaImage());
}

bool CAnaWnd::PrintToPdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageOrientation(QPageLayout::Landscape);
    m_View->Print(printer);
    return QFileInfo::exists(path);
}

void CAnaWnd::PrintPlots() {
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer on this machine: the plots go into a PDF file instead.
        const QString path =
            QFileDialog::getSaveFileName(this, "Print to PDF", "plots.pdf", "PDF files (*.pdf)");
        if (!path.isEmpty())
            PrintToPdf(path);
        return;
    }
    QPrinter* printer = m_Context.printer ? m_Context.printer() : nullptr;
    QPrinter local;
    QPrintPreviewDialog preview(printer != nullptr ? printer : &local, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { m_View->Print(*target); });
    preview.exec();
}

void CAnaWnd::ToggleChannelBar() {
    m_ChannelBar->setVisible(!m_ChannelBar->isVisible());
}

bool CAnaWnd::ChannelBarShown() const {
    return m_ChannelBar->isVisible();
}

void CAnaWnd::ToggleOffsetAdjust() {
    m_View->SetOffsetAdjust(!m_View->OffsetAdjust());
}

QMdiSubWindow* OpenAnalysisWindow(QMdiArea* area, const AnalysisContext& context) {
    for (QMdiSubWindow* window : area->subWindowList()) {
        if (AnalysisWindowOf(window) != nullptr) {
            area->setActiveSubWindow(window);
            return window;
        }
    }
    auto* wnd = new CAnaWnd(context);
    QMdiSubWindow* window = area->addSubWindow(wnd);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(wnd->windowTitle());
    window->resize(1000, 700);
    window->show();
    area->setActiveSubWindow(window);
    return window;
}

CAnaWnd* AnalysisWindowOf(QMdiSubWindow* window) {
    return window != nullptr ? dynamic_cast<CAnaWnd*>(window->widget()) : nullptr;
}

} // namespace nereid::display
