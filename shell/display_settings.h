#pragma once

#include <array>

#include <QStringList>

class QSettings;

namespace nereid::shell {

// The display colours and scales kept in the user's profile, sections "CurveColor", "YScale"
// and "Grid Intensity". Each section has a marker key; while it is missing (first run) the
// section's defaults are used and its other keys are not read.
struct CDisplaySettings {
    static constexpr int kChannels = 32;
    static constexpr int kFirstRunColour = 0xFFFF;
    // No range stored yet: the analysis window fits such a channel's range to its samples
    // ("Auto") until the operator picks one.
    static constexpr int kFirstRunScale = 0;

    std::array<int, kChannels> m_CurveColors{};
    std::array<int, kChannels> m_YScales{};
    int m_TrackRectLeft = 0;
    int m_TrackColor = 0;

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;
};

// The 4 most recently used files, newest first, in the usual "Recent File List" section.
class CRecentFiles {
public:
    static constexpr int kMaxFiles = 4;

    // Puts the path first; an equal path already listed moves up instead of repeating.
    void Add(const QString& path);
    const QStringList& Files() const { return m_Files; }

    void Load(QSettings& settings);
    void Save(QSettings& settings) const;

private:
    QStringList m_Files;
};

} // namespace nereid::shell
