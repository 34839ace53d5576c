#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QStringList>

namespace nereid::instrument {

// Selects `position` in a combo box, or nothing when the list has no such entry.
inline void SelectPosition(QComboBox* box, int position) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
}

inline void SetTicked(QCheckBox* box, bool on) {
    const QSignalBlocker block(box);
    box->setChecked(on);
}

inline QStringList Names(const char* const* names, int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) {
        list << QString::fromLatin1(names[i]);
    }
    return list;
}

QStringList BaudTexts();

} // namespace nereid::instrument
