#pragma once

#include <array>
#include <string>

namespace nereid::link {

// The modem phone directory kept in phone.ini: section "Speed Dial Settings", keys "Name%d" and
// "Number%d" for the slots 0..30. Lines of other sections and unknown keys are kept as they are
// when a slot is written back.
class CPhoneDirectory {
public:
    static constexpr int kSlots = 31;
    static constexpr std::size_t kNameReadLimit = 48;   // characters read from the file
    static constexpr std::size_t kNumberReadLimit = 78; // characters read from the file
    static constexpr std::size_t kNameEditLimit = 20;   // characters the editor accepts
    static constexpr std::size_t kNumberEditLimit = 60; // characters the editor accepts

    explicit CPhoneDirectory(std::string path) : m_Path(std::move(path)) {}

    // Reads every slot from the file. A missing file gives an empty directory and returns 0;
    // returns 1 when the file was read, -1 when it exists but cannot be read.
    int Load();

    const std::string& Name(int slot) const;
    const std::string& Number(int slot) const;
    bool IsEmpty(int slot) const;
    // The first slot whose name and number are both empty, or -1 when all 31 are used.
    int FirstEmptySlot() const;

    // Stores the name and number into the slot and writes both keys of that slot to the file.
    // Both empty: nothing is changed, returns 0. Texts longer than the editor limits are cut to
    // them. Returns 1 when written, -1 on a bad slot or when the file cannot be written (the
    // file on disk is then unchanged: it is replaced through a temporary file).
    int Update(int slot, const std::string& name, const std::string& number);

    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    std::array<std::string, kSlots> m_Names;
    std::array<std::string, kSlots> m_Numbers;
};

} // namespace nereid::link
