#pragma once

#include <array>
#include <string>

#include "link/command_records.h"

namespace nereid::instrument {

// The "Station Name " page: a 4-character name, sent space-padded.
class CIRStationModel {
public:
    // Whether `text` may be a station name: at most 4 printable ASCII characters.
    static bool ValidText(const std::string& text);

    // Each change of the "Editor" edit: the name to send becomes the text (its first 4
    // characters), padded with spaces to 4.
    void SetEditorText(const std::string& text);
    const std::string& EditorText() const { return m_Editor; }
    // The name to send, always 4 characters.
    std::string Name() const { return std::string(m_Buffer.begin(), m_Buffer.end()); }
    // "Current Value": the name last received, as received.
    std::string CurrentValue() const { return std::string(m_Received.begin(), m_Received.end()); }

    bool Modified() const { return m_Buffer != m_Received; }

    // Takes the received name into the buffer and "Current Value" and clears the editor.
    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;

private:
    std::array<char, 4> m_Buffer{' ', ' ', ' ', ' '};
    std::array<char, 4> m_Received{' ', ' ', ' ', ' '};
    std::string m_Editor;
};

} // namespace nereid::instrument
