#include "instrument/drive_names.h"

#include "link/answer_records.h"

namespace nereid::instrument {

namespace {

const std::string kEmpty;

std::string Letter(int index) {
    return std::string(1, static_cast<char>('A' + index));
}

} // namespace

void CDriveNames::Reset() {
    for (int k = 0; k < kDriveCount; ++k) {
        m_Names[static_cast<std::size_t>(k)] = Letter(k);
    }
}

void CDriveNames::ClearRemovable() {
    m_Names[0] = Letter(0);
    for (int k = 1; k < kDriveCount; ++k) {
        m_Names[static_cast<std::size_t>(k)].clear();
    }
}

void CDriveNames::ApplyInstalled(const std::array<std::uint8_t, kDriveCount>& installed) {
    for (int k = 1; k < kDriveCount; ++k) {
        const auto at = static_cast<std::size_t>(k);
        // Only the value 1 means installed; anything else the recorder sends is taken as absent.
        m_Names[at] = installed[at] == 1 ? Letter(k) : std::string();
    }
}

void CDriveNames::ApplyDriveStatus(const link::DriveStatus& status) {
    std::array<std::uint8_t, kDriveCount> installed{};
    for (std::size_t k = 0; k < installed.size(); ++k) {
        installed[k] = status.drives[k].installed;
    }
    ApplyInstalled(installed);
}

const std::string& CDriveNames::Name(int index) const {
    if (index < 0 || index >= kDriveCount) {
        return kEmpty;
    }
    return m_Names[static_cast<std::size_t>(index)];
}

std::vector<std::string> CDriveNames::Listed() const {
    std::vector<std::string> names;
    for (int k = 1; k < kDriveCount; ++k) {
        const std::string& name = m_Names[static_cast<std::size_t>(k)];
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

int CDriveNames::IndexOfName(const std::string& name) const {
    if (name.empty()) {
        return -1;
    }
    for (int k = 0; k < kDriveCount; ++k) {
        const std::string& entry = m_Names[static_cast<std::size_t>(k)];
        if (!entry.empty() && entry[0] == name[0]) {
            return k;
        }
    }
    return -1;
}

int CDriveNames::ListPosition(int driveIndex) const {
    const std::string& entry = Name(driveIndex);
    if (entry.empty()) {
        return -1;
    }
    const std::vector<std::string> listed = Listed();
    for (std::size_t p = 0; p < listed.size(); ++p) {
        if (listed[p][0] == entry[0]) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

CDriveNames& SharedDriveNames() {
    static CDriveNames table;
    return table;
}

} // namespace nereid::instrument
