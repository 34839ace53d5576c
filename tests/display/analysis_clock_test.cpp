// The analysis window on the real intake without a line: clock jumps and many channels.
#include "display/ana_control_bar.h"
#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "display/channel_bar.h"
#include "display/model/analysis_settings.h"
#include "display/model/tables.h"
#include "display/model/time_axis.h"
#include "recording/channel_table.h"
#include "recording/intake.h"
#include "recording/intake_state.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cmath>

using namespace nereid;
using display::CAnaView;
using display::CAnaWnd;
namespace model = nereid::display::model;

namespace {

// The receiver thread's data path without a line: frames of a 50/s sine of +-100000 counts go
// through the real intake into the channels the window reads.
struct IntakeRig : recording::CIntakeEvents {
    static constexpr int kRate = 50;
    recording::CChannelTable table;
    recording::CIntakeState state;
    recording::CRealTimeIntake intake{table, state, *this};
    std::array<int, 32> colours{};
    std::array<int, 32> scales{};

    explicit IntakeRig(int channels) {
        colours.fill(0xFFFF);
        for (int c = 1; c <= channels; ++c) {
            recording::RtChannel& rt = table.m_ChanMap[static_cast<std::uint16_t>(c)];
            rt.rate = kRate;
            rt.ring.assign(static_cast<std::size_t>(recording::kRingRows) * kRate, 0);
        }
    }
    void PostMessage(unsigned, std::uintptr_t, long) override {}
    display::AnalysisContext Context() {
        display::AnalysisContext context;
        context.channels = &table;
        context.state = &state;
        context.curveColours = &colours;
        context.scales = &scales;
        return context;
    }
    void Feed(std::uint32_t second) {
        for (const auto& [number, rt] : table.m_ChanMap) {
            std::vector<std::uint8_t> frame(11 + 3 * kRate, 0);
            frame[2] = static_cast<std::uint8_t>(number - 1);
            for (int b = 0; b < 4; ++b)
                frame[4 + static_cast<std::size_t>(b)] =
                    static_cast<std::uint8_t>(second >> (8 * b));
            for (int i = 0; i < kRate; ++i) {
                const auto v =
                    static_cast<std::int32_t>(100000.0 * std::sin(6.283185307 * i / kRate));
                for (int b = 0; b < 3; ++b)
                    frame[11 + 3 * static_cast<std::size_t>(i) + static_cast<std::size_t>(b)] =
                        static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * b));
            }
            intake.HandleDataFrame(frame.data(), frame.size());
        }
    }
};

} // namespace

class AnalysisClockTest : public QObject {
    Q_OBJECT

private slots:
    // The recorder's clock set back seven minutes, then forward an hour: each time the window
    // starts afresh at the new time, labelling only the seconds it has.
    void clockJumpsStartTheWindowAfresh() {
        IntakeRig rig(1);
        CAnaWnd wnd(rig.Context());
        wnd.resize(1000, 600);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd));
        QTest::mouseClick(wnd.ControlBar()->realTime, Qt::LeftButton);
        QTest::mouseClick(wnd.ChannelBar()->Buttons()[0], Qt::LeftButton);
        const model::PlotChannel& c = *wnd.View()->Channel(0);
        const auto label = [](std::uint32_t second) {
            return model::RealTimeStart(std::uint64_t(second) * 1000);
        };
        const std::uint32_t t0 = 1796700730;
        for (std::uint32_t s = t0; s <= t0 + 10; ++s)
            rig.Feed(s); // the first frame only arms the gate
        QVERIFY(wnd.Tick());
        wnd.View()->repaint();
        QCOMPARE(QString::fromStdString(c.drawn.start),
                 QString::fromStdString(label(t0 + 6))); // 4 s ending where second t0 + 10 starts
        QCOMPARE(c.drawn.samples, std::uint64_t(4 * IntakeRig::kRate));

        const std::uint32_t back = t0 + 10 - 420;
        rig.Feed(back);
        QVERIFY(wnd.Tick());
        wnd.View()->repaint();
        QCOMPARE(c.drawn.samples, std::uint64_t(0)); // nothing before the new second yet
        QVERIFY(c.drawn.start.empty());
        QVERIFY(c.drawn.ticks.empty());
        rig.Feed(back + 1);
        rig.Feed(back + 2);
        QVERIFY(wnd.Tick());
        wnd.View()->repaint();
        QCOMPARE(QString::fromStdString(c.drawn.start), QString::fromStdString(label(back)));
        QCOMPARE(c.drawn.samples, std::uint64_t(2 * IntakeRig::kRate));

        const std::uint32_t ahead = back + 2 + 3600;
        for (std::uint32_t s = ahead; s <= ahead + 6; ++s)
            rig.Feed(s);
        QVERIFY(wnd.Tick());
        wnd.View()->repaint();
        QCOMPARE(QString::fromStdString(c.drawn.start), QString::fromStdString(label(ahead + 2)));
        QCOMPARE(c.drawn.gapSamples, std::uint64_t(0));
    }

    // Many channels scroll in bands high enough for their labels; the vertical bar beside them
    // runs 0..200 in steps of 4 and shows "X Cordinate Display" while its thumb is dragged.
    void manyChannelsScrollInsteadOfShrinking() {
        IntakeRig rig(16);
        CAnaWnd wnd(rig.Context());
        wnd.resize(1000, 600);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd));
        for (int i = 0; i < 16; ++i)
            QTest::mouseClick(wnd.ChannelBar()->Buttons()[static_cast<std::size_t>(i)],
                              Qt::LeftButton);
        CAnaView* view = wnd.View();
        std::vector<CAnaView::Slot> placed = view->Layout(view->size());
        QVERIFY(placed.size() < 16u);
        for (const CAnaView::Slot& slot : placed)
            QVERIFY(slot.plot.height() > 50);
        QCOMPARE(placed.front().index, 0);
        QScrollBar* stack = view->TimeStackScroll();
        QCOMPARE(stack->minimum(), 0);
        QCOMPARE(stack->maximum(), 200);
        QCOMPARE(stack->singleStep(), 4);
        QVERIFY(stack->isVisible());
        // Dragging the thumb to the bottom shows the last channel and the position window.
        const QPoint thumb(stack->width() / 2, 24);
        QTest::mousePress(stack, Qt::LeftButton, Qt::NoModifier, thumb);
        QTest::mouseMove(stack, QPoint(thumb.x(), stack->height() - 2));
        QVERIFY(view->CoordinateDisplay()->isVisible());
        QCOMPARE(view->CoordinateDisplay()->windowTitle(), QString("X Cordinate Display"));
        QCOMPARE(view->CoordinateDisplay()->text(), QString::number(stack->value()));
        QTest::mouseRelease(stack, Qt::LeftButton, Qt::NoModifier,
                            QPoint(thumb.x(), stack->height() - 2));
        QVERIFY(!view->CoordinateDisplay()->isVisible());
        QCOMPARE(stack->value(), 200);
        placed = view->Layout(view->size());
        QCOMPARE(placed.back().index, 15);
    }
    // The divider between the time plots and the spectra is dragged by the "FFT Spectrum"
    // strip, written to the layout file and used again when the window comes back.
    void draggedDividerIsKeptInTheLayoutFile() {
        QTemporaryDir folder;
        IntakeRig rig(1);
        display::AnalysisContext context = rig.Context();
        context.layoutPath = folder.path() + "/tellusw32.cfg";
        int timeBottom = 0;
        {
            CAnaWnd wnd(context);
            wnd.resize(1000, 700);
            wnd.show();
            QVERIFY(QTest::qWaitForWindowExposed(&wnd));
            QTest::mouseClick(wnd.ChannelBar()->Buttons()[0], Qt::LeftButton);
            QTest::mouseClick(wnd.ControlBar()->timeMode, Qt::LeftButton);
            QTest::mouseClick(wnd.ChannelBar()->Buttons()[0], Qt::LeftButton);
            CAnaView* view = wnd.View();
            std::vector<CAnaView::Slot> placed = view->Layout(view->size());
            QCOMPARE(placed.size(), std::size_t(2));
            const int strip = placed[1].band.top() - 8; // inside the title strip
            const int before = placed[0].band.height();
            QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, QPoint(300, strip));
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, QPoint(300, strip + 150));
            placed = view->Layout(view->size());
            QVERIFY2(placed[0].band.height() >= before + 140,
                     qPrintable(QString("%1 -> %2").arg(before).arg(placed[0].band.height())));
            timeBottom = placed[0].band.bottom();
        }
        model::AnalysisLayout layout;
        QCOMPARE(model::ReadAnalysisLayout(context.layoutPath.toStdString(), layout), 1);
        QVERIFY(layout.divider != model::kInitialDivider);
        QVERIFY(layout.spectrumShare < 0.4f);
        CAnaWnd again(context);
        again.resize(1000, 700);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        const std::vector<CAnaView::Slot> placed = again.View()->Layout(again.View()->size());
        QCOMPARE(placed.size(), std::size_t(2));
        QCOMPARE(placed[0].band.bottom(), timeBottom);
    }
};

QTEST_MAIN(AnalysisClockTest)
#include "analysis_clock_test.moc"
