#include "instrument/status/model/drive_status_model.h"

#include <cstdio>

namespace nereid::instrument {

const char* DriveTypeText(std::uint8_t type) {
    static const char* const kTypes[] = {"PC Card RAM", "PC Card ATA Flash", "PC Card ATA", "SCSI"};
    return type < 4 ? kTypes[type] : nullptr;
}

std::string DriveSerialText(std::uint32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                  static_cast<unsigned>(serial & 0xFFFF));
    return text;
}

void DecodeDriveRow(const link::DriveRecord& record, DriveRow& row) {
    if (record.installed != 1) {
        row = DriveRow{};
        row.freeSpace = "0";
        return;
    }
    row.installed = true;
    if (const char* type = DriveTypeText(record.driveType))
        row.type = type;
    std::size_t length = 0;
    while (length < record.volumeLabel.size() && record.volumeLabel[length] != '\0')
        ++length;
    row.label.assign(record.volumeLabel.data(), length);
    row.serial = DriveSerialText(record.serialNumber);
    row.freeSpace = std::to_string(record.freeSpace / 1000u);
}

void CDriveStatusModel::Show(const link::DriveStatus& status) {
    for (int i = 0; i < kDrives; ++i)
        DecodeDriveRow(status.drives[static_cast<std::size_t>(i)],
                       m_Rows[static_cast<std::size_t>(i)]);
}

int CDriveStatusModel::ShowAnswer(const link::FrameRecord& answer) {
    const auto* status = std::get_if<link::DriveStatus>(&answer.decoded);
    if (answer.type != link::kDriveStatusType || status == nullptr)
        return 0;
    Show(*status);
    return 1;
}

std::vector<PageField> CDriveStatusModel::Fields() const {
    std::vector<PageField> fields;
    for (int i = 0; i < kDrives; ++i) {
        const DriveRow& row = m_Rows[static_cast<std::size_t>(i)];
        const std::string drive(1, static_cast<char>('A' + i));
        fields.push_back({drive + " " + kColumnLabels[0], YesNo(row.installed), PageField::kFlag,
                          row.installed});
        fields.push_back({drive + " " + kColumnLabels[1], row.type, PageField::kText, false});
        fields.push_back({drive + " " + kColumnLabels[2], row.label, PageField::kText, false});
        fields.push_back({drive + " " + kColumnLabels[3], row.serial, PageField::kText, false});
        fields.push_back({drive + " " + kColumnLabels[4], row.freeSpace,
                          row.freeSpace.empty() ? PageField::kText : PageField::kNumber, false});
    }
    return fields;
}

} // namespace nereid::instrument
