#include "instrument/sheet/result_indicator.h"

#include <QPainter>
#include <cmath>

#include "instrument/sheet/model/sheet_cycle.h"

namespace nereid::instrument {

CResultIndicator::CResultIndicator(QWidget* parent) : QWidget(parent) {
    setObjectName("resultIndicator");
}

void CResultIndicator::SetWaiting(int step) {
    m_Waiting = true;
    m_Step = step;
    m_Text.clear();
    update();
}

void CResultIndicator::SetDone(const QString& text) {
    m_Waiting = false;
    m_Text = text;
    update();
}

QPointF CResultIndicator::MarkerCentre(int step, const QSizeF& size) {
    constexpr double kPi = 3.14159265358979323846;
    const double angle = 2 * kPi * (step % kMarkerSteps) / kMarkerSteps;
    // The ellipse keeps the 6 px marker and a 2 px margin inside the panel.
    const double rx = std::max(0.0, size.width() / 2 - 5);
    const double ry = std::max(0.0, size.height() / 2 - 5);
    return {size.width() / 2 + rx * std::cos(angle), size.height() / 2 + ry * std::sin(angle)};
}

void CResultIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect panel = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Window).darker(108));
    painter.drawRect(panel);
    if (m_Waiting) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF c = MarkerCentre(m_Step, size());
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 90, 170));
        painter.drawRect(QRectF(c.x() - 3, c.y() - 3, 6, 6));
        return;
    }
    if (!m_Text.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_Text);
    }
}

} // namespace nereid::instrument
