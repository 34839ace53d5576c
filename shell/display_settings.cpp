#include "shell/display_settings.h"

#include <QFileInfo>
#include <QSettings>

namespace nereid::shell {

namespace {

QString ChannelKey(int channel) {
    return QString("Chan%1").arg(channel);
}

// A stored value that is not a number reads as the key's default of 0.
int ReadInt(QSettings& settings, const QString& key) {
    bool ok = false;
    const int value = settings.value(key, 0).toInt(&ok);
    return ok ? value : 0;
}

} // namespace

void CDisplaySettings::Load(QSettings& settings) {
    settings.beginGroup("CurveColor");
    if (settings.value("A Channel No").toString().isEmpty()) {
        m_CurveColors.fill(kFirstRunColour);
    } else {
        for (int i = 0; i < kChannels; ++i)
            m_CurveColors[i] = ReadInt(settings, ChannelKey(i));
    }
    settings.endGroup();

    settings.beginGroup("YScale");
    if (settings.value("A Channel No").toString().isEmpty()) {
        m_YScales.fill(kFirstRunScale);
    } else {
        for (int i = 0; i < kChannels; ++i)
            m_YScales[i] = ReadInt(settings, ChannelKey(i));
    }
    settings.endGroup();

    settings.beginGroup("Grid Intensity");
    if (settings.value("A Grid").toString().isEmpty()) {
        m_TrackRectLeft = 0;
        m_TrackColor = 0;
    } else {
        m_TrackRectLeft = ReadInt(settings, "TrackRectLeft");
        m_TrackColor = ReadInt(settings, "TrackColor");
    }
    settings.endGroup();
}

void CDisplaySettings::Save(QSettings& settings) const {
    settings.beginGroup("CurveColor");
    settings.setValue("A Channel No", "RGBColor");
    for (int i = 0; i < kChannels; ++i)
        settings.setValue(ChannelKey(i), m_CurveColors[i]);
    settings.endGroup();

    settings.beginGroup("YScale");
    settings.setValue("A Channel No", "ScaleValue");
    for (int i = 0; i < kChannels; ++i)
        settings.setValue(ChannelKey(i), m_YScales[i]);
    settings.endGroup();

    settings.beginGroup("Grid Intensity");
    settings.setValue("A Grid", "A Number");
    settings.setValue("TrackRectLeft", m_TrackRectLeft);
    settings.setValue("TrackColor", m_TrackColor);
    settings.endGroup();
}

void CRecentFiles::Add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_Files.removeAll(absolute);
    m_Files.prepend(absolute);
    while (m_Files.size() > kMaxFiles)
        m_Files.removeLast();
}

void CRecentFiles::Load(QSettings& settings) {
    m_Files.clear();
    settings.beginGroup("Recent File List");
    for (int i = 1; i <= kMaxFiles; ++i) {
        const QString file = settings.value(QString("File%1").arg(i)).toString();
        if (!file.isEmpty() && !m_Files.contains(file))
            m_Files.append(file);
    }
    settings.endGroup();
}

void CRecentFiles::Save(QSettings& settings) const {
    settings.beginGroup("Recent File List");
    for (int i = 1; i <= kMaxFiles; ++i) {
        const QString key = QString("File%1").arg(i);
        if (i <= m_Files.size())
            settings.setValue(key, m_Files[i - 1]);
        else
            settings.remove(key);
    }
    settings.endGroup();
}

} // namespace nereid::shell
