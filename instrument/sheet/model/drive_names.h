#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nereid::link {
struct DriveStatus; // link/answer_records.h
}

namespace nereid::instrument {

// The recorder's five drives A..E, by index 0..4.
constexpr int kDriveCount = 5;

// The drive-name table the Internal Recording sheet and the file upload share: five names,
// index 0..4, initially "A".."E". The recorder knows drives only by index; the table turns an
// index into the name a "Storage Drive:" list shows and back. Entries of drives the recorder
// reports as absent are empty and never listed. Drive A (index 0) is the recorder's own and is
// never changed by a drive-status answer.
class CDriveNames {
public:
    CDriveNames() { Reset(); }

    // Back to "A", "B", "C", "D", "E".
    void Reset();

    // While the drive status is awaited and not yet known: "A" and four empty names, so that
    // no drive is offered that might not be there.
    void ClearRemovable();

    // Entries 1..4 become "B".."E" when installed[k] == 1 (the installed byte of drive record
    // k of the drive-status answer), else empty; entry 0 is left as it is. installed[0] only
    // says whether DriveAInstalled().
    void ApplyInstalled(const std::array<std::uint8_t, kDriveCount>& installed);
    // The same, from a decoded drive-status answer.
    void ApplyDriveStatus(const link::DriveStatus& status);

    // The name of drive `index`; empty for an absent drive or an index outside 0..4.
    const std::string& Name(int index) const;

    // What a "Storage Drive:" list shows: the non-empty names of entries 1..4, in index order.
    std::vector<std::string> Listed() const;

    // The drive index a chosen list name stands for: the first entry 0..4 whose first letter
    // is the name's first letter. Returns -1 for an empty name or one no entry matches.
    int IndexOfName(const std::string& name) const;

    // The position in Listed() of the name whose first letter is that of entry
    // `driveIndex`. Returns -1 when that entry is empty, the index is outside 0..4, or no
    // listed name matches (drive A is never listed).
    int ListPosition(int driveIndex) const;

    // What a "Storage Drive:" box offers, so that it is never an empty list the operator
    // cannot fill while the recorder has a drive: Listed(); drive A when the recorder reports
    // A and none of B..E; and the drive of the current setting `currentIndex` (0..4) when it
    // is not among those, as "<letter> (not installed)" unless the recorder reports it. Every
    // name starts with its drive's letter, in index order. `currentIndex` outside 0..4 adds
    // nothing.
    std::vector<std::string> Offered(int currentIndex) const;
    // The drive index of an offered name (its first letter), -1 for an empty or foreign one.
    static int IndexOfOffered(const std::string& name);
    // The position of drive `driveIndex` in `offered`, -1 when it is not there.
    static int OfferedPosition(const std::vector<std::string>& offered, int driveIndex);

    // Whether the last drive-status answer reported drive A installed (true after Reset,
    // false while the answer is awaited).
    bool DriveAInstalled() const { return m_DriveAInstalled; }

private:
    std::array<std::string, kDriveCount> m_Names;
    bool m_DriveAInstalled = true;
};

// The one table of the program, shared by the Internal Recording sheet and the upload. Used on
// the user-interface thread only.
CDriveNames& SharedDriveNames();

} // namespace nereid::instrument
