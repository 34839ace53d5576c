#pragma once

// Helpers of the sheet tests: a simulator on its own line, a link opened on it, and ticks of
// the sheets' timers driven by hand.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "instrument/sheet/property_sheet.h"
#include "link/serial_link.h"
#include "recording/stream_list.h"
#include "tests/shell/gui_test_support.h"

namespace nereid::testing {

// A simulator and the PC's link to it, with a stream list for the model's stream count.
class SimulatedRecorder {
public:
    SimulatedRecorder(int model, int streams, std::vector<std::string> extra = {}) {
        m_Path = m_Folder.File("line");
        std::vector<std::string> options = {"--model", std::to_string(model), "--streams",
                                            std::to_string(streams)};
        options.insert(options.end(), extra.begin(), extra.end());
        m_Sim = std::make_unique<Simulator>(m_Path, options);
        m_Ready = m_Sim->WaitReady() && m_Link.Open(m_Path, 9600, 0, 0, 8) == 1;
        m_Link.SetModelCode(static_cast<std::uint8_t>(model));
        m_Streams.SetStreams(streams);
        m_Model = model;
    }
    bool Ready() const { return m_Ready; }
    // The simulator's line, for a link that moves to this recorder.
    const std::string& Path() const { return m_Path; }
    link::CSerialLink& Link() { return m_Link; }
    recording::CStreamList& Streams() { return m_Streams; }
    instrument::SheetContext Context() {
        instrument::SheetContext c;
        c.link = &m_Link;
        c.modelCode = [this] { return m_Model; };
        c.streams = &m_Streams;
        return c;
    }
    void SetModel(int model) { m_Model = model; }

private:
    TempFolder m_Folder;
    std::string m_Path;
    std::unique_ptr<Simulator> m_Sim;
    link::CSerialLink m_Link;
    recording::CStreamList m_Streams;
    int m_Model = 17;
    bool m_Ready = false;
};

// Ticks the sheet's poll timer until its transaction ends, leaving the answer time to come
// (at most `limit` ticks, 5 ms of wall time apart). Returns the result text.
inline QString TickToEnd(instrument::CPropertySheet& sheet, int gapMs = 5) {
    for (int i = 0; i < 400 && sheet.Cycle().Waiting(); ++i) {
        ::usleep(static_cast<useconds_t>(gapMs) * 1000);
        sheet.PollTick();
    }
    return QString::fromLatin1(sheet.Cycle().ResultText());
}

// The link of `from` moves to the recorder `to`, as a reconnection to another recorder of the
// same model does; the sheets keep their objects.
inline bool Reconnect(SimulatedRecorder& from, const SimulatedRecorder& to) {
    from.Link().Close();
    return from.Link().Open(to.Path(), 9600, 0, 0, 8) == 1;
}

// Ticks as fast as possible: an answer that needs real time to travel does not come in.
inline int TickWithoutWaiting(instrument::CPropertySheet& sheet, int ticks) {
    int done = 0;
    for (; done < ticks && sheet.Cycle().Waiting(); ++done)
        sheet.PollTick();
    return done;
}

// A picture of a widget in the build folder's screenshot folder, never in the work tree.
inline bool SaveWidgetPicture(QWidget& widget, const QString& name) {
    QDir().mkpath(NEREID_SCREENSHOT_DIR);
    const QString path = QString(NEREID_SCREENSHOT_DIR) + "/" + name;
    return widget.grab().save(path, "PNG") && QFile(path).size() > 1000;
}

} // namespace nereid::testing
