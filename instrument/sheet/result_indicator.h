#pragma once

#include <QString>
#include <QWidget>

namespace nereid::instrument {

// The small panel at the bottom left of every sheet: while a transaction waits, a 6 x 6 px
// marker that moves one step along an ellipse each time the panel is redrawn (25 steps per
// turn); when it is done, one result text centred on a single line.
class CResultIndicator : public QWidget {
    Q_OBJECT
public:
    explicit CResultIndicator(QWidget* parent = nullptr);

    // Waiting, with the marker at `step` (0..24).
    void SetWaiting(int step);
    // Done, showing `text` ("Accepted", "Rejected", "No Response").
    void SetDone(const QString& text);

    bool IsWaiting() const { return m_Waiting; }
    int Step() const { return m_Step; }
    QString Text() const { return m_Text; }
    // The marker's centre for a step, inside a panel of the given size.
    static QPointF MarkerCentre(int step, const QSizeF& size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_Waiting = false;
    int m_Step = 0;
    QString m_Text;
};

} // namespace nereid::instrument
