// The analysis window against the simulator: the recorder's own times, gaps, scrolling back
// through a wrapped ring, fitted ranges, and recording while the window shows files.
#include "display/ana_control_bar.h"
#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "display/channel_bar.h"
#include "display/model/time_axis.h"
#include "display/name_file_dlg.h"
#include "display/question.h"
#include "recording/channel_table.h"
#include "recording/file_recorder.h"
#include "recording/intake_state.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"

#include "tests/shell/frame_test_support.h"
#include "tests/shell/gui_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <ctime>
#include <memory>

using namespace nereid;
using namespace nereid::shell;
using display::CAnaView;
using display::CAnaWnd;
namespace model = nereid::display::model;

namespace {

constexpr QRgb kFirstRunCurve = qRgb(255, 255, 0); // 0xFFFF as 0x00BBGGRR

// Columns of the plot holding a pixel of `colour`, per column.
std::vector<bool> ColumnsWith(const QImage& image, const QRect& plot, QRgb colour) {
    std::vector<bool> columns(static_cast<std::size_t>(plot.width()), false);
    for (int x = plot.left(); x <= plot.right(); ++x) {
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                columns[static_cast<std::size_t>(x - plot.left())] = true;
                break;
            }
        }
    }
    return columns;
}

int TopRowOf(const QImage& image, const QRect& plot, QRgb colour) {
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left(); x <= plot.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return y;
        }
    }
    return -1;
}

// The start labels of the recorder seconds around `second`: the label of a drawn window is
// right when it is one of them (within one second).
QStringList LabelsAround(std::uint32_t second) {
    QStringList labels;
    for (std::uint32_t s : {second - 1, second, second + 1})
        labels << QString::fromStdString(model::RealTimeStart(std::uint64_t(s) * 1000));
    return labels;
}

// Clicks the left or right arrow button of a horizontal scroll bar, as the operator does.
void ClickArrow(QScrollBar* bar, bool right) {
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      QPoint(right ? bar->width() - 4 : 4, bar->height() / 2));
}

// Seconds of the day of "hh:mm:ss" (a tick label).
int DaySeconds(const std::string& text) {
    return std::stoi(text.substr(0, 2)) * 3600 + std::stoi(text.substr(3, 2)) * 60 +
           std::stoi(text.substr(6, 2));
}

} // namespace

class AnalysisTruthTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
    }
    void cleanup() {
        display::SetQuestionHook({});
        m_Sim.reset();
        m_Folder.reset();
    }

    // A recorder an hour behind the PC, with seconds 30..33 of its stream missing, running 20
    // times fast so that the ring wraps within seconds.
    void recordersClockGapsAndTheWrappedRing() {
        const std::uint32_t start = static_cast<std::uint32_t>(std::time(nullptr)) - 3600;
        StartSimulator({"--realtime", "--time-scale", "20", "--streams", "1", "--start-time",
                        std::to_string(start), "--skip-seconds", "+30-33"});
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        frame.OnCommand(kCmdDataAnalysis);
        CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        frame.AnalysisWindow()->showMaximized();
        CAnaView* view = wnd->View();
        QTest::mouseClick(wnd->ControlBar()->realTime, Qt::LeftButton);
        QTest::mouseClick(wnd->ChannelBar()->Buttons()[0], Qt::LeftButton);
        QVERIFY(view->Channel(0)->showTime);
        QVERIFY(view->Channel(0)->autoRange); // no stored range on a fresh profile

        // The window follows the recorder's seconds: its start label is the recorder's time
        // of the first drawn sample, an hour off the PC's.
        const recording::CIntakeState& state = frame.IntakeState();
        QTRY_VERIFY_WITH_TIMEOUT(state.m_LastSecond.load() > start + 12, 15000);
        wnd->Tick();
        view->repaint();
        const std::uint32_t newest = state.m_LastSecond.load();
        QVERIFY(newest + 3000 < static_cast<std::uint32_t>(std::time(nullptr)));
        const model::PlotChannel& c = *view->Channel(0);
        QVERIFY2(LabelsAround(newest - 4).contains(QString::fromStdString(c.drawn.start)),
                 c.drawn.start.c_str());
        QVERIFY(!c.drawn.ticks.empty());
        for (const std::string& tick : c.drawn.ticks) {
            const int day = static_cast<int>((newest - 5) % 86400);
            QVERIFY2(DaySeconds(tick) >= day && DaySeconds(tick) <= day + 6, tick.c_str());
        }
        // A +-100000 sine fills most of its band in the fitted range.
        QVERIFY2(c.drawn.range >= 100000 && c.drawn.range <= 125000,
                 qPrintable(QString::number(c.drawn.range)));
        const CAnaView::Slot slot = view->Layout(view->size()).front();
        const QImage image = view->RenderImage(view->size());
        const int top = TopRowOf(image, slot.plot, kFirstRunCurve);
        QVERIFY2(top >= slot.plot.top() && top < slot.plot.top() + slot.plot.height() / 8,
                 qPrintable(QString("top %1 of %2").arg(top).arg(slot.plot.top())));
        QCOMPARE(c.drawn.clippedColumns, 0);

        // More than the ring holds, then freeze.
        QTRY_VERIFY_WITH_TIMEOUT(state.m_LastSecond.load() > start + 130, 20000);
        wnd->Tick();
        QTest::mouseClick(wnd->ControlBar()->realTime, Qt::LeftButton);
        QVERIFY(view->Frozen());
        QScrollBar* bar = view->TimeScroll();
        QCOMPARE(bar->value(), bar->maximum());
        const std::uint64_t atFreeze = view->WindowStartTime();
        std::uint32_t oldest = 0, held = 0;
        QVERIFY(view->HeldSeconds(oldest, held));
        QCOMPARE(held - oldest, 119u); // wrapped: all 120 rows
        // From the left end to the right end the start only rises.
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Home);
        QCOMPARE(view->WindowStartTime(), std::uint64_t(oldest) * 100);
        std::uint64_t previous = view->WindowStartTime();
        for (int step = 0; step < 200; ++step) {
            ClickArrow(bar, true);
            QVERIFY2(view->WindowStartTime() > previous, qPrintable(QString::number(step)));
            previous = view->WindowStartTime();
        }
        QCOMPARE(view->WindowStartTime(), atFreeze);
    }

    // Seconds that never came are drawn as a gap, not as a flat line, and the spectrum says
    // that its block held one.
    void skippedSecondsAreAGap() {
        const std::uint32_t start = static_cast<std::uint32_t>(std::time(nullptr));
        StartSimulator({"--realtime", "--time-scale", "10", "--streams", "1", "--start-time",
                        std::to_string(start), "--skip-seconds", "+6-8"});
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        frame.OnCommand(kCmdDataAnalysis);
        CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        frame.AnalysisWindow()->showMaximized();
        CAnaView* view = wnd->View();
        QTest::mouseClick(wnd->ControlBar()->realTime, Qt::LeftButton);
        QTest::mouseClick(wnd->ChannelBar()->Buttons()[0], Qt::LeftButton);
        QTest::mouseClick(wnd->ControlBar()->timeMode, Qt::LeftButton);
        QTest::mouseClick(wnd->ChannelBar()->Buttons()[0], Qt::LeftButton);
        QVERIFY(view->Channel(0)->showSpectrum);
        // A 10 s window (TimeRange index 4).
        ClickArrow(wnd->ControlBar()->timeRange, true);
        QCOMPARE(view->SpanHundredths(), 1000);
        // Until the window ends past the gap: seconds start + 6 .. start + 8.
        const recording::CIntakeState& state = frame.IntakeState();
        QTRY_VERIFY_WITH_TIMEOUT(state.m_LastSecond.load() >= start + 12, 15000);
        QTest::mouseClick(wnd->ControlBar()->realTime, Qt::LeftButton); // freeze
        QVERIFY(view->Frozen());
        const std::uint64_t from = view->WindowStartTime();
        const std::uint64_t gapBegin = (std::uint64_t(start) + 6) * 100;
        const std::uint64_t gapEnd = (std::uint64_t(start) + 9) * 100;
        QVERIFY2(from <= gapBegin && gapEnd <= from + 1000,
                 qPrintable(QString("window %1, gap %2").arg(from).arg(gapBegin)));
        view->repaint();
        const std::vector<CAnaView::Slot> placed = view->Layout(view->size());
        const QRect plot = placed.front().plot;
        const QImage image = view->RenderImage(view->size());
        const std::vector<bool> drawn = ColumnsWith(image, plot, kFirstRunCurve);
        const auto column = [&](std::uint64_t t) {
            return static_cast<int>((t - from) * static_cast<std::uint64_t>(plot.width()) / 1000);
        };
        // No trace over the gap (a margin of two columns at each edge for the stroke's ends).
        for (int x = column(gapBegin) + 2; x < column(gapEnd) - 2; ++x)
            QVERIFY2(!drawn[static_cast<std::size_t>(x)], qPrintable(QString::number(x)));
        // And the trace on both sides of it.
        QVERIFY(drawn[static_cast<std::size_t>(column(gapBegin) - 10)]);
        QVERIFY(drawn[static_cast<std::size_t>(column(gapEnd) + 10)]);
        QVERIFY(view->Channel(0)->drawn.gapSamples >= 300u);
        // The 1024-point block (10.24 s at 100/s) reaches into the gap.
        QVERIFY(view->Channel(0)->blockMissing >= 300);
    }

    // A recording started while the window shows files takes its frames all the same, and its
    // stop takes effect there.
    void recordingFromFileDisplay() {
        StartSimulator({"--realtime", "--time-scale", "10", "--streams", "1"});
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        frame.OnCommand(kCmdDataAnalysis);
        CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        QTest::mouseClick(wnd->ControlBar()->realTime, Qt::LeftButton);
        QVERIFY(wnd->RealTimeRunning());
        QTest::mouseClick(wnd->ControlBar()->fromFile, Qt::LeftButton);
        QVERIFY(wnd->FileDisplay());
        QVERIFY(!frame.IntakeState().m_bIntakeEnabled.load());

        const QString out = m_Folder->QPath() + "/out";
        QDir().mkpath(out);
        frame.UpdateCommandUi();
        QVERIFY(frame.Menus().Action(kCmdDaDiSPRecording)->isEnabled());
        QTimer::singleShot(0, &frame, [&] {
            auto* dialog = dynamic_cast<display::CNameFileDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            dialog->setDirectory(out);
            for (int row = 1; row < dialog->ChannelBox()->count(); ++row) {
                dialog->SelectChannel(row);
                if (dialog->EnableBox()->isChecked())
                    dialog->EnableBox()->click();
            }
            dialog->SelectChannel(0);
            dialog->MinutesEdit()->setText("1");
            dialog->accept();
        });
        frame.OnCommand(kCmdDaDiSPRecording);
        QVERIFY(frame.Recording());
        QTRY_VERIFY_WITH_TIMEOUT(frame.Recorder()->SecondsRecorded() >= 3, 15000);
        QVERIFY(wnd->FileDisplay()); // still showing files
        frame.OnCommand(kCmdStopRecording);
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Recording(), 10000);
        const QStringList files = QDir(out).entryList(QDir::Files);
        QVERIFY2(!files.isEmpty(), "no files recorded");
        QVERIFY2(QFileInfo(out + "/" + files.first()).size() > 512, qPrintable(files.join(' ')));
        QVERIFY(messages.texts.isEmpty());

        // A file's range or colour never lands in a real-time channel's profile slot.
        const std::array<int, 32> scales = frame.Display().m_YScales;
        const std::array<int, 32> colours = frame.Display().m_CurveColors;
        QCOMPARE(wnd->OpenFiles({out + "/" + files.first()}), 1);
        const CAnaView::Slot slot = wnd->View()->Layout(wnd->View()->size()).front();
        QMenu* menu = wnd->View()->ContextMenuAt(slot.plot.center());
        QVERIFY(menu != nullptr);
        for (QAction* top : menu->actions()) {
            if (top->text() == "Range")
                top->menu()->actions().last()->trigger();
            if (top->text() == "Curve Color")
                top->menu()->actions().at(1)->trigger();
        }
        QCOMPARE(wnd->View()->Channel(0)->range, 4294967295u);
        QCOMPARE(frame.Display().m_YScales, scales);
        QCOMPARE(frame.Display().m_CurveColors, colours);
    }

    // What a new operator meets first: the menus, the check mark, the bar's place and the
    // labelled side panel.
    void freshProfileWindow() {
        StartSimulator({"--realtime", "--streams", "1"});
        CMainFrame frame;
        frame.resize(1200, 800);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        frame.OnCommand(kCmdDataAnalysis);
        CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(wnd));
        // The time range bar says 4.0 s, and its left arrow gives 2.0 s.
        QScrollBar* range = wnd->ControlBar()->timeRange;
        QCOMPARE(range->value(), 3);
        ClickArrow(range, false);
        QCOMPARE(wnd->View()->SpanHundredths(), 200);
        QCOMPARE(wnd->ControlBar()->timeRangeText->text(), QString("2.0"));
        // The Operation menu stays while the window is active.
        QCOMPARE(testing::MenuLabels(frame.menuBar(), "Operation").value(0),
                 QString("&Data Analysis"));
        QVERIFY(testing::MenuLabels(frame.menuBar(), "Operation").contains("Serve SeedLink"));
        // View > Channel Selection Bar is ticked while the bar shows, and follows it.
        frame.UpdateCommandUi();
        QVERIFY(wnd->ChannelBarShown());
        QVERIFY(frame.Menus().Action(kCmdChannelBar)->isChecked());
        frame.Menus().Action(kCmdChannelBar)->trigger();
        frame.UpdateCommandUi();
        QVERIFY(!wnd->ChannelBarShown());
        QVERIFY(!frame.Menus().Action(kCmdChannelBar)->isChecked());
        frame.Menus().Action(kCmdChannelBar)->trigger();
        frame.UpdateCommandUi();
        QVERIFY(frame.Menus().Action(kCmdChannelBar)->isChecked());
        // The bar sits inside the window's plots, below the main window's menu bar.
        const QRect menuBar(frame.menuBar()->mapToGlobal(QPoint(0, 0)), frame.menuBar()->size());
        const QRect channelBar = wnd->ChannelBar()->frameGeometry();
        QVERIFY(!channelBar.intersects(menuBar));
        QVERIFY(channelBar.top() >= wnd->View()->mapToGlobal(QPoint(0, 0)).y());
        // Every field of the side panel has its label.
        for (QWidget* field : std::initializer_list<QWidget*>{wnd->ControlBar()->channelBox,
                                                              wnd->ControlBar()->scaleValue,
                                                              wnd->ControlBar()->offsetValue}) {
            bool labelled = false;
            for (QLabel* label : wnd->ControlBar()->findChildren<QLabel*>())
                labelled = labelled || label->buddy() == field;
            QVERIFY(labelled);
        }
    }

private:
    void StartSimulator(std::vector<std::string> options) {
        const std::string link = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(link, options);
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }

    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
};

QTEST_MAIN(AnalysisTruthTest)
#include "analysis_truth_test.moc"
