#pragma once

#include <QWidget>

class QTimer;

namespace nereid::instrument {

// The small picture that plays while a file is copied: a sheet travelling from the recorder
// to the PC.
class CCopyAnimation : public QWidget {
public:
    explicit CCopyAnimation(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool Running() const;
    QSize sizeHint() const override { return {96, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* m_Timer;
    int m_Step = 0;
};

} // namespace nereid::instrument
