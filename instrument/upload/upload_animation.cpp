#include "instrument/upload/upload_animation.h"

#include <QPainter>
#include <QTimer>

namespace nereid::instrument {

namespace {
constexpr int kSteps = 12;
constexpr int kStepMs = 120;
} // namespace

CCopyAnimation::CCopyAnimation(QWidget* parent) : QWidget(parent), m_Timer(new QTimer(this)) {
    m_Timer->setInterval(kStepMs);
    connect(m_Timer, &QTimer::timeout, this, [this] {
        m_Step = (m_Step + 1) % kSteps;
        update();
    });
    setMinimumSize(sizeHint());
}

void CCopyAnimation::Start() {
    m_Step = 0;
    m_Timer->start();
    update();
}

void CCopyAnimation::Stop() {
    m_Timer->stop();
    update();
}

bool CCopyAnimation::Running() const {
    return m_Timer->isActive();
}

void CCopyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int h = height();
    const int w = width();
    // The two ends: the recorder's box on the left, the PC's folder on the right.
    p.setPen(palette().color(QPalette::WindowText));
    p.setBrush(palette().color(QPalette::Mid));
    p.drawRect(2, h / 2 - 8, 14, 16);
    p.setBrush(QColor(230, 200, 90));
    p.drawRect(w - 18, h / 2 - 6, 16, 12);
    if (!m_Timer->isActive()) {
        return;
    }
    const int span = w - 40;
    const int x = 18 + span * m_Step / (kSteps - 1);
    p.setBrush(Qt::white);
    p.drawRect(x, h / 2 - 7, 10, 13);
    p.drawLine(x + 2, h / 2 - 3, x + 8, h / 2 - 3);
    p.drawLine(x + 2, h / 2, x + 8, h / 2);
    p.drawLine(x + 2, h / 2 + 3, x + 8, h / 2 + 3);
}

} // namespace nereid::instrument
