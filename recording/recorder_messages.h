#pragma once

#include <string>

namespace nereid::recording {

// Texts the recorder and its setup show to the operator, used exactly as written.
inline constexpr const char* kRecorderCaption = "Tellus Application";
inline constexpr const char* kCantCreateFileText = "Can't Create File "; // + full path
// A write to an open output file failed (disk full, medium gone): + full path. What was written
// before the failure stays in the file.
inline constexpr const char* kCantWriteFileText = "Can't Write File "; // + full path
inline constexpr const char* kRecordingTimeInvalidText = "Recording Time is not valid";
inline constexpr const char* kNoRecordingEnabledText = "No Data Recording Enable";
inline constexpr const char* kPleaseInputFilenameText = "Please input filename";
// The folder chosen for a recording cannot take its files: + full path, then the reason.
inline constexpr const char* kNoSuchFolderText = "The folder does not exist: ";
inline constexpr const char* kFolderNotWritableText = "Can't write files in the folder ";
inline constexpr const char* kRecorderMemoryText = "Memory allocation failure ( No enough Memory )";
// Shown once per recording when "updatetime.txt" asks for the clock update but the process may
// not set the system clock; recording goes on.
inline constexpr const char* kClockPermissionText =
    "Can't set the system clock from the recorder time: permission denied";
// A period's SEISAN conversion did not produce the merged file: + the full path of the period's
// last DADiSP file, ": " and the reason (the converter's own last words when it ran).
inline constexpr const char* kConversionFailedText = "SEISAN conversion failed for ";

// Where the recorder reports what the operator must see. Called on the receiver thread: an
// implementation must not block it (the GUI queues the message box to its own thread).
class CRecorderMessages {
public:
    virtual ~CRecorderMessages() = default;
    virtual void ShowMessage(const std::string& text, const char* caption) = 0;
    // A recorder output file was closed and is complete (a DADiSP file, a CSS data file or its
    // wfdisc file). Full path.
    virtual void FileClosed(const std::string& /*path*/) {}
    // The file of `channel` at `path` could not be created (its "Can't Create File " has been
    // shown): the channel is not recorded until its next period; the others go on.
    virtual void ChannelSkipped(int /*channel*/, const std::string& /*path*/) {}
};

} // namespace nereid::recording
