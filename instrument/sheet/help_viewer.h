#pragma once

#include <QWidget>

class QTextBrowser;

namespace nereid::instrument {

// The help window: a QTextBrowser that shows the text of one topic
// (instrument/sheet/model/help_topics.h). One viewer serves the whole program; it stays open beside
// the modal sheets.
class CHelpViewer : public QWidget {
    Q_OBJECT
public:
    // Shows `topic` in the viewer, creating it on first use. A topic without text shows a line
    // that says so.
    static void ShowTopic(unsigned topic);
    // The viewer, or nullptr before the first ShowTopic.
    static CHelpViewer* Instance();

    unsigned Topic() const { return m_Topic; }
    QString Text() const;

private:
    CHelpViewer();
    void Show(unsigned topic);

    QTextBrowser* m_Browser = nullptr;
    unsigned m_Topic = 0;
};

} // namespace nereid::instrument
