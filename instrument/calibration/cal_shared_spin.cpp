#include "instrument/calibration/cal_shared_spin.h"

#include <QEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace nereid::instrument {

CSharedSpin::CSharedSpin(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    up->setObjectName("spinUp");
    down->setObjectName("spinDown");
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSharedSpin::AddBuddy(QLineEdit* edit, int low, int high) {
    m_Buddies.push_back({edit, low, high});
    if (m_Current < 0) {
        m_Current = 0;
    }
    edit->installEventFilter(this);
}

void CSharedSpin::Step(int delta) {
    QLineEdit* edit = Current();
    if (edit == nullptr || !edit->isEnabled()) {
        return;
    }
    const int value = std::clamp(edit->text().toInt() + delta, Low(), High());
    edit->setText(QString::asprintf("%02d", value));
    emit stepped();
}

bool CSharedSpin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (std::size_t k = 0; k < m_Buddies.size(); ++k) {
            if (m_Buddies[k].edit == watched) {
                m_Current = static_cast<int>(k);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace nereid::instrument
