#pragma once

#include <QWidget>

#include <vector>

class QLineEdit;
class QToolButton;

namespace nereid::instrument {

// One spin button shared by a row of small edits (month / day / year, or hour : minute :
// second): it steps the edit that last received the focus, within that edit's range.
class CSharedSpin : public QWidget {
    Q_OBJECT
public:
    explicit CSharedSpin(QWidget* parent = nullptr);

    // Adds an edit with its range; the first one added is the one stepped until another gets
    // the focus.
    void AddBuddy(QLineEdit* edit, int low, int high);

    // Steps the current buddy by +1 or -1, kept within its range.
    void Step(int delta);
    QLineEdit* Current() const { return m_Current < 0 ? nullptr : m_Buddies[m_Current].edit; }
    int Low() const { return m_Current < 0 ? 0 : m_Buddies[m_Current].low; }
    int High() const { return m_Current < 0 ? 0 : m_Buddies[m_Current].high; }

signals:
    void stepped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Buddy {
        QLineEdit* edit;
        int low;
        int high;
    };
    std::vector<Buddy> m_Buddies;
    int m_Current = -1;
};

} // namespace nereid::instrument
