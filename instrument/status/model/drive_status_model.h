#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

// One row of the "Drive Status" page, as shown.
struct DriveRow {
    bool installed = false;
    std::string type;      // "PC Card RAM" .. "SCSI"; kept from before for types 4 and up
    std::string label;     // volume label, up to the first NUL, at most 12 characters
    std::string serial;    // "1A2B-00FF"
    std::string freeSpace; // kB (bytes / 1000), decimal; "0" for a row not installed
};

// Drive type texts of the program's string table: 0..3 are shown, the four "Reserved Type for
// future" entries after them are never shown. Returns nullptr for 4 and above.
const char* DriveTypeText(std::uint8_t type);

// "%04X-%04X" of the upper and lower 16 bits.
std::string DriveSerialText(std::uint32_t serial);

// Decodes one drive record into its row. A record whose installed byte is not 1 clears the
// row (free space "0"); a type of 4 and above leaves the row's type text as it was.
void DecodeDriveRow(const link::DriveRecord& record, DriveRow& row);

// "Drive Status" (model code 17): five rows, drives "A" to "E", from the 0xB7 answer 'W'.
// The Internal Recording and File Upload sheets use the rows to learn which drives exist.
class CDriveStatusModel : public CPageModel {
public:
    static constexpr int kDrives = 5;
    static constexpr const char* kColumnLabels[5] = {"Installed", "Drive Type", "Volume Label",
                                                     "Serial Number", "Free Space       (kB)"};

    int DialogId() const override { return kDriveStatusPage; }
    const char* Caption() const override { return "Drive Status"; }
    std::uint8_t QueryCode() const override { return 0xB7; }
    int ShowAnswer(const link::FrameRecord& answer) override;
    // Per drive: "A Installed" (flag), "A Drive Type", "A Volume Label", "A Serial Number",
    // "A Free Space       (kB)" (number), then B..E.
    std::vector<PageField> Fields() const override;

    const std::array<DriveRow, kDrives>& Rows() const { return m_Rows; }
    // Decodes a drive status record without an answer frame around it.
    void Show(const link::DriveStatus& status);

private:
    std::array<DriveRow, kDrives> m_Rows{};
};

} // namespace nereid::instrument
