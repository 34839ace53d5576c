#include "link/phone_directory.h"

#include "recording/regular_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>

namespace nereid::link {

namespace {

constexpr const char* kSection = "Speed Dial Settings";

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A section header "[name]" gives its name; any other line gives nothing.
bool SectionName(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return !key.empty();
}

// Line breaks in a value would split the key in the file, and other control characters (a NUL
// above all) do not survive a text file; they are left out. The cut to the editor limit is
// trimmed again, so that what is kept in memory is what the file gives back.
std::string OneLine(const std::string& text, std::size_t limit) {
    std::string out;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            continue;
        out.push_back(c);
    }
    out = Trim(out);
    if (out.size() > limit)
        out = Trim(out.substr(0, limit));
    return out;
}

std::vector<std::string> ReadLines(const std::string& path, bool& exists, bool& readable) {
    std::vector<std::string> lines;
    struct stat info {};
    exists = ::stat(path.c_str(), &info) == 0;
    readable = false;
    if (!exists)
        return lines;
    std::string bytes;
    int error = 0;
    if (recording::ReadRegularFile(path, bytes, error) != 1)
        return lines;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    readable = true;
    return lines;
}

const std::string kEmpty;

// Reading takes one pair of enclosing quotes off a value; a text that has such a pair of its
// own is written inside another, so that it reads back as it was entered.
std::string FileValue(const std::string& text) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        return text.front() + text + text.front();
    return text;
}

} // namespace

int CPhoneDirectory::Load() {
    for (int i = 0; i < kSlots; ++i) {
        m_Names[i].clear();
        m_Numbers[i].clear();
    }
    bool exists = false;
    bool readable = false;
    const std::vector<std::string> lines = ReadLines(m_Path, exists, readable);
    if (!exists)
        return 0;
    if (!readable)
        return -1;
    bool inSection = false;
    std::array<bool, kSlots> nameSeen{};
    std::array<bool, kSlots> numberSeen{};
    for (const std::string& line : lines) {
        std::string section;
        if (SectionName(line, section)) {
            inSection = SameText(section, kSection);
            continue;
        }
        std::string key;
        std::string value;
        if (!inSection || !KeyValue(line, key, value))
            continue;
        for (int i = 0; i < kSlots; ++i) {
            // The first occurrence of a key is the one that counts, as with profile files, also
            // when it is empty: Update writes that one.
            if (SameText(key, "Name" + std::to_string(i)) && !nameSeen[i]) {
                m_Names[i] = value.substr(0, kNameReadLimit);
                nameSeen[i] = true;
                break;
            }
            if (SameText(key, "Number" + std::to_string(i)) && !numberSeen[i]) {
                m_Numbers[i] = value.substr(0, kNumberReadLimit);
                numberSeen[i] = true;
                break;
            }
        }
    }
    return 1;
}

const std::string& CPhoneDirectory::Name(int slot) const {
    return slot >= 0 && slot < kSlots ? m_Names[slot] : kEmpty;
}

const std::string& CPhoneDirectory::Number(int slot) const {
    return slot >= 0 && slot < kSlots ? m_Numbers[slot] : kEmpty;
}

bool CPhoneDirectory::IsEmpty(int slot) const {
    return Name(slot).empty() && Number(slot).empty();
}

int CPhoneDirectory::FirstEmptySlot() const {
    for (int i = 0; i < kSlots; ++i) {
        if (IsEmpty(i))
            return i;
    }
    return -1;
}

int CPhoneDirectory::Update(int slot, const std::string& name, const std::string& number) {
    if (slot < 0 || slot >= kSlots)
        return -1;
    const std::string newName = OneLine(name, kNameEditLimit);
    const std::string newNumber = OneLine(number, kNumberEditLimit);
    if (newName.empty() && newNumber.empty())
        return 0;

    bool exists = false;
    bool readable = false;
    std::vector<std::string> lines = ReadLines(m_Path, exists, readable);
    if (exists && !readable)
        return -1;

    const std::string nameKey = "Name" + std::to_string(slot);
    const std::string numberKey = "Number" + std::to_string(slot);
    bool nameDone = false;
    bool numberDone = false;
    std::ptrdiff_t sectionEnd = -1; // index after the last line of our section
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string section;
        if (SectionName(lines[i], section)) {
            inSection = SameText(section, kSection);
            if (inSection)
                sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(lines[i]).empty())
            sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
        std::string key;
        std::string value;
        if (!KeyValue(lines[i], key, value))
            continue;
        if (!nameDone && SameText(key, nameKey)) {
            lines[i] = nameKey + "=" + FileValue(newName);
            nameDone = true;
        } else if (!numberDone && SameText(key, numberKey)) {
            lines[i] = numberKey + "=" + FileValue(newNumber);
            numberDone = true;
        }
    }
    std::vector<std::string> added;
    if (!nameDone)
        added.push_back(nameKey + "=" + FileValue(newName));
    if (!numberDone)
        added.push_back(numberKey + "=" + FileValue(newNumber));
    if (sectionEnd < 0) {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.push_back("");
        lines.push_back(std::string("[") + kSection + "]");
        lines.insert(lines.end(), added.begin(), added.end());
    } else {
        lines.insert(lines.begin() + sectionEnd, added.begin(), added.end());
    }

    const std::string temporary = m_Path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return -1;
        for (const std::string& line : lines)
            out << line << "\r\n";
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return -1;
        }
    }
    if (std::rename(temporary.c_str(), m_Path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return -1;
    }
    m_Names[slot] = newName;
    m_Numbers[slot] = newNumber;
    return 1;
}

} // namespace nereid::link
