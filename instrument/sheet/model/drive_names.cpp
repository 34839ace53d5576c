#include "instrument/sheet/model/drive_names.h"

#include <algorithm>

#include "link/answer_records.h"

namespace nereid::instrument {

namespace {

const std::string kEmpty;

std::string Letter(int index) {
    return std::string(1, static_cast<char>('A' + index));
}

} // namespace

void CDriveNames::Reset() {
    m_DriveAInstalled = true;
    for (int k = 0; k < kDriveCount; ++k) {
        m_Names[static_cast<std::size_t>(k)] = Letter(k);
    }
}

void CDriveNames::ClearRemovable() {
    m_Names[0] = Letter(0);
    m_DriveAInstalled = false;
    for (int k = 1; k < kDriveCount; ++k) {
        m_Names[static_cast<std::size_t>(k)].clear();
    }
}

void CDriveNames::ApplyInstalled(const std::array<std::uint8_t, kDriveCount>& installed) {
    m_DriveAInstalled = installed[0] == 1;
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

std::vector<std::string> CDriveNames::Offered(int currentIndex) const {
    std::array<std::string, kDriveCount> slots;
    for (int k = 1; k < kDriveCount; ++k) {
        slots[static_cast<std::size_t>(k)] = m_Names[static_cast<std::size_t>(k)];
    }
    const bool anyStorage = std::any_of(slots.begin() + 1, slots.end(),
                                        [](const std::string& n) { return !n.empty(); });
    // A recorder that reports only its drive A: offering nothing would leave the operator a
    // list that cannot be filled.
    if (!anyStorage && m_DriveAInstalled) {
        slots[0] = Letter(0);
    }
    if (currentIndex >= 0 && currentIndex < kDriveCount) {
        std::string& slot = slots[static_cast<std::size_t>(currentIndex)];
        if (slot.empty()) {
            const bool reported =
                currentIndex == 0 ? m_DriveAInstalled : !Name(currentIndex).empty();
            slot = Letter(currentIndex) + (reported ? "" : " (not installed)");
        }
    }
    std::vector<std::string> names;
    for (const std::string& name : slots) {
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    return names;
}

int CDriveNames::IndexOfOffered(const std::string& name) {
    if (name.empty() || name[0] < 'A' || name[0] >= 'A' + kDriveCount) {
        return -1;
    }
    return name[0] - 'A';
}

int CDriveNames::OfferedPosition(const std::vector<std::string>& offered, int driveIndex) {
    for (std::size_t p = 0; p < offered.size(); ++p) {
        if (IndexOfOffered(offered[p]) == driveIndex) {
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
