#include "display/ana_control_bar.h"
#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "display/channel_bar.h"
#include "display/model/analysis_settings.h"
#include "display/question.h"
#include "link/dialogs/connect_dialog.h"
#include "link/serial_link.h"
#include "recording/intake_state.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"

#include "tests/shell/frame_test_support.h"
#include "tests/shell/gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace nereid;
using namespace nereid::shell;
using display::CAnaView;
using display::CAnaWnd;
namespace model = nereid::display::model;

namespace {

QAction* FindAction(QMenu* menu, const QString& path) {
    const QStringList parts = path.split('/');
    QMenu* current = menu;
    for (int i = 0; i < parts.size() && current != nullptr; ++i) {
        QAction* found = nullptr;
        for (QAction* action : current->actions()) {
            if (action->text() == parts[i])
                found = action;
        }
        if (found == nullptr)
            return nullptr;
        if (i == parts.size() - 1)
            return found;
        current = found->menu();
    }
    return nullptr;
}

// Topmost row of the plot rectangle holding a pixel of `colour`, or -1.
int TopRowOf(const QImage& image, const QRect& plot, QRgb colour) {
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left(); x <= plot.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return y;
        }
    }
    return -1;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    QDir().mkpath(NEREID_SCREENSHOT_DIR);
    const QString path = QString(NEREID_SCREENSHOT_DIR) + "/" + name;
    QVERIFY(widget.grab().save(path, "PNG"));
}

} // namespace

class AnalysisWindowTest : public QObject {
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

    void channelBarOfFourChannelsHasTwoRows() {
        display::CChannelBar bar(nullptr);
        bar.Rebuild({"1", "2", "3", "9"}, {true, false, false, true}, false, false);
        QCOMPARE(bar.windowTitle(), QString("Channel Selection"));
        QCOMPARE(bar.Buttons().size(), std::size_t(5));
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        const auto place = [&](int i) {
            bar.Grid()->getItemPosition(bar.Grid()->indexOf(bar.Buttons()[std::size_t(i)]), &row,
                                        &column, &rowSpan, &columnSpan);
            return QPoint(column, row);
        };
        QCOMPARE(place(0), QPoint(0, 0));
        QCOMPARE(place(2), QPoint(2, 0));
        QCOMPARE(place(3), QPoint(0, 1));
        QCOMPARE(place(4), QPoint(1, 1));
        QCOMPARE(bar.Buttons()[4]->text(), QString("Time"));
        QVERIFY(bar.Buttons()[0]->isChecked());
        QVERIFY(!bar.Buttons()[1]->isChecked());
        QCOMPARE(bar.Buttons()[4]->property("command").toInt(), 1204);
        // File display adds "Remove" and "Open File".
        bar.Rebuild({"A", "B"}, {false, false}, true, true);
        QCOMPARE(bar.Buttons().size(), std::size_t(5));
        QCOMPARE(bar.Buttons()[2]->text(), QString("FFT"));
        QCOMPARE(bar.Buttons()[3]->text(), QString("Remove"));
        QCOMPARE(bar.Buttons()[4]->text(), QString("Open File"));
    }

    // The simulator's 1 Hz sine of channel 1 (amplitude 100000) drawn in range 262144 peaks at
    // the row the range puts it; its spectrum peaks at the bin of 1 Hz.
    void realTimeDisplayOfTheSimulator() {
        StartSimulator({"--realtime", "--time-scale", "10", "--streams", "3"});
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        frame.OnCommand(kCmdDataAnalysis);
        CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        QCOMPARE(frame.AnalysisWindow()->windowTitle(), QString("Real Time Display"));
        frame.AnalysisWindow()->showMaximized();
        CAnaView* view = wnd->View();
        QCOMPARE(view->Channels().size(), std::size_t(6));
        QCOMPARE(wnd->ChannelBar()->Buttons().size(), std::size_t(7)); // 6 + mode

        wnd->ControlBar()->realTime->click();
        QCOMPARE(wnd->ControlBar()->realTime->text(), QString("Stop"));
        QVERIFY(frame.IntakeState().m_bIntakeEnabled.load());
        // Four time plots and their spectra from the channel bar.
        for (int i : {0, 1, 2, 3})
            wnd->ChannelBar()->Buttons()[std::size_t(i)]->click();
        QVERIFY(wnd->ChannelBar()->Buttons()[0]->isChecked());
        QCOMPARE(wnd->ControlBar()->channelBox->count(), 4);
        wnd->ControlBar()->timeMode->click();
        QVERIFY(wnd->SpectrumMode());
        QVERIFY(!wnd->ChannelBar()->Buttons()[0]->isChecked()); // no spectrum yet
        for (int i : {0, 1, 2, 3})
            wnd->ChannelBar()->Buttons()[std::size_t(i)]->click();
        QVERIFY(view->Channel(3)->showSpectrum);

        // Range 262144 ("262K") for channel 1 from its menu "1".
        const std::vector<CAnaView::Slot> placed = view->Layout(view->size());
        QVERIFY(placed.size() == 8);
        QMenu* menu = view->ContextMenuAt(placed[0].plot.center());
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->title(), QString("1"));
        // First run: no stored range, so the channel is fitted ("Auto").
        QVERIFY(FindAction(menu, "Range/Auto")->isChecked());
        QVERIFY(!FindAction(menu, "Range/1024")->isChecked());
        FindAction(menu, "Range/262K")->trigger();
        QCOMPARE(view->Channel(0)->range, 262144u);
        QVERIFY(!view->Channel(0)->autoRange);
        QCOMPARE(frame.Display().m_YScales[1], 262144);
        QVERIFY(
            FindAction(view->ContextMenuAt(placed[0].plot.center()), "Range/262K")->isChecked());
        QVERIFY(
            !FindAction(view->ContextMenuAt(placed[0].plot.center()), "Status Info")->isEnabled());
        // Menu "2" of a spectrum: amplitude mode and range 100000 for channel 1.
        menu = view->ContextMenuAt(placed[4].plot.center());
        QCOMPARE(menu->title(), QString("2"));
        QVERIFY(FindAction(menu, "FFT Output Mode/Power Spectrum")->isChecked());
        QVERIFY(FindAction(menu, "Range/Auto")->isChecked());
        QVERIFY(FindAction(menu, "BackGround Color/BLUE") != nullptr);
        FindAction(menu, "FFT Output Mode/Amplitude Spectrum")->trigger();
        FindAction(view->ContextMenuAt(placed[4].plot.center()), "Range/10M")->trigger();
        QCOMPARE(view->Channel(0)->spectrumRange, 10000000u);
        QVERIFY(!view->Channel(0)->autoSpectrumRange);

        // Enough data for the 4 s window and the 1024-point block (10.24 s at 100/s).
        const std::uint32_t first = frame.IntakeState().m_LastSecond.load();
        QTRY_VERIFY_WITH_TIMEOUT(first != 0 && frame.IntakeState().m_LastSecond.load() > first + 12,
                                 15000);
        wnd->Tick();
        const QImage image = view->RenderImage(view->size());
        const QRect plot = placed[0].plot;
        const double zero = plot.top() + plot.height() / 2.0;
        const int expected = static_cast<int>(zero - 100000.0 * plot.height() / (2 * 262144.0));
        const int top = TopRowOf(image, plot, qRgb(255, 255, 0)); // first-run curve colour
        QVERIFY2(std::abs(top - expected) <= 2,
                 qPrintable(QString("peak row %1, expected %2").arg(top).arg(expected)));
        {
            std::lock_guard lock(view->Channel(0)->lock);
            const std::vector<float>& s = view->Channel(0)->spectrum;
            QCOMPARE(s.size(), std::size_t(513));
            const auto peak = std::max_element(s.begin() + 1, s.end()) - s.begin();
            QVERIFY2(peak == 10 || peak == 11, qPrintable(QString::number(peak)));
        }
        // A read-out over the plot: the recorder's time of day to the millisecond, the sample.
        QTest::mouseMove(view, plot.center());
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$")
                    .match(wnd->ControlBar()->xValue->text())
                    .hasMatch());
        // The picture for the documentation: every trace in a range that holds it.
        for (int i : {1, 2, 3}) {
            view->Channel(i)->range = 1048576;
            view->Channel(i)->spectrumMode = 1;
            view->Channel(i)->spectrumRange = 100000000;
        }
        wnd->ControlBar()->binsShown->setCurrentIndex(3); // 128 bins: 0 .. 12.5 Hz at 100/s
        view->repaint();
        SaveScreenshot(frame, "analysis-realtime.png");

        // Freezing while recording is refused.
        frame.IntakeState().m_bRecording.store(true);
        wnd->ControlBar()->realTime->click();
        QCOMPARE(messages.texts.value(0),
                 QString("You must stop Recording before stopping RTdisplay  "));
        QVERIFY(wnd->RealTimeRunning());
        frame.IntakeState().m_bRecording.store(false);
        wnd->ControlBar()->realTime->click();
        QVERIFY(!wnd->RealTimeRunning());
        QVERIFY(!frame.IntakeState().m_bIntakeEnabled.load());
        QCOMPARE(wnd->ControlBar()->realTime->text(), QString("RealTime"));
        // Frozen: the bar stands at its right end, where the window stood; moving it left goes
        // back towards the oldest second held.
        const std::uint64_t frozen = view->WindowStartTime();
        QCOMPARE(view->TimeScroll()->value(), view->TimeScroll()->maximum());
        view->TimeScroll()->setValue(10);
        QVERIFY(view->WindowStartTime() < frozen);

        // The layout file is written when the window goes, with the four channels open.
        frame.AnalysisWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frame.AnalysisWindowOpen());
        model::AnalysisLayout layout;
        const QString cfg = CMainFrame::ConfigurationFolder() + "/tellusw32.cfg";
        QCOMPARE(model::ReadAnalysisLayout(cfg.toStdString(), layout), 1);
        QCOMPARE(layout.channels.size(), std::size_t(6));
        QCOMPARE(layout.channels[0].timeOpen, 1u);
        QCOMPARE(layout.channels[0].spectrumRange, 10000000u);
        QCOMPARE(layout.channels[4].timeOpen, 0u);
        QVERIFY(frame.IntakeState().m_bIntakeEnabled.load());

        // Opened again, it shows what was open, the range from the profile.
        frame.OnCommand(kCmdDataAnalysis);
        wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        QTRY_VERIFY(wnd->View()->Channel(0) && wnd->View()->Channel(0)->showTime);
        QVERIFY(wnd->View()->Channel(0)->showSpectrum);
        QCOMPARE(wnd->View()->Channel(0)->range, 262144u);
        QVERIFY(!wnd->View()->Channel(4)->showTime);
    }

    void fftSizeReducesTheBinsShown() {
        display::AnalysisContext context;
        CAnaWnd wnd(context);
        QCOMPARE(wnd.View()->Spectrum().fftSize, 1024);
        wnd.ControlBar()->binsShown->setCurrentIndex(6); // 1024 asked for
        QCOMPARE(wnd.View()->Spectrum().binsIndex, 5);   // 512 = N / 2
        wnd.ControlBar()->fftSize->setCurrentIndex(0);   // 256
        QCOMPARE(wnd.View()->Spectrum().fftSize, 256);
        QCOMPARE(wnd.ControlBar()->binsShown->currentText(), QString("128"));
        QCOMPARE(wnd.View()->Spectrum().firstBin, 0);
        QVERIFY(!wnd.ControlBar()->reset->isEnabled());
        wnd.ControlBar()->timeRange->setValue(10);
        QCOMPARE(wnd.View()->SpanHundredths(), 11800);
        QCOMPARE(wnd.ControlBar()->timeRangeText->text(), QString("120.0"));
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

QTEST_MAIN(AnalysisWindowTest)
#include "analysis_window_test.moc"
