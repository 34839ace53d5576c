#include "instrument/upload/model/upload_entry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace nereid::instrument {

namespace {

template <std::size_t N> std::string CutAtSpace(const std::array<char, N>& field) {
    std::string text;
    for (char c : field) {
        if (c == ' ' || c == '\0') {
            break;
        }
        text.push_back(c);
    }
    return text;
}

constexpr const char* kFormTitles[kPcFormCount] = {"DaDiSP", "Seisan", "ASCII",
                                                   "HLCP",   "CSS",    "miniSEED"};

} // namespace

std::uint32_t SizeInK(std::uint32_t bytes) {
    return bytes / 1000 + (bytes % 1000 != 0 ? 1 : 0);
}

std::string DosTimeText(std::uint16_t dosTime) {
    char text[16];
    // Two digits each, so that the column reads and sorts as times ("03:03:00", not "3:3:0").
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", dosTime >> 11, (dosTime >> 5) & 0x3F,
                  (dosTime & 0x1F) * 2);
    return text;
}

std::string DosDateText(std::uint16_t dosDate) {
    char text[16];
    std::snprintf(text, sizeof text, "%d/%d/%d", (dosDate >> 5) & 0x0F, dosDate & 0x1F,
                  1980 + (dosDate >> 9));
    return text;
}

RecorderEntry DecodeRecorderEntry(const link::DirectoryEntry& entry) {
    RecorderEntry row;
    row.directory = (entry.attributes & 0x10) != 0;
    row.name = CutAtSpace(entry.baseName);
    const std::string extension = CutAtSpace(entry.extension);
    // "NAME." and "NAME" are one file to the recorder; the dot is shown only with an extension.
    if (!extension.empty()) {
        row.name += "." + extension;
    }
    row.size = entry.size;
    row.sizeK = SizeInK(entry.size);
    row.timeText = DosTimeText(entry.dosTime);
    row.dateText = DosDateText(entry.dosDate);
    return row;
}

bool KeepsRecorderForm(const std::string& fileName) {
    return fileName.find_first_of("ST") != std::string::npos;
}

std::string JoinRecorderPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) {
        return name;
    }
    if (directory.back() == '\\') {
        return directory + name;
    }
    return directory + "\\" + name;
}

void SplitRecorderPath(const std::string& path, std::string& directory, std::string& name) {
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) {
        directory.clear();
        name = path;
        return;
    }
    directory = path.substr(0, slash);
    name = path.substr(slash + 1);
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

const char* PcFormTitle(int form) {
    return form >= 0 && form < kPcFormCount ? kFormTitles[form] : "";
}

int ParsePcForm(const std::string& text) {
    std::string lower;
    for (char c : text) {
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    for (int form = 0; form < kPcFormCount; ++form) {
        std::string title;
        for (const char* p = kFormTitles[form]; *p; ++p) {
            title.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
        }
        if (title == lower) {
            return form;
        }
    }
    return lower == "mseed" ? kPcFormCount - 1 : -1;
}

} // namespace nereid::instrument
