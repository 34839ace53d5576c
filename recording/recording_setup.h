#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "recording/file_recorder.h"
#include "recording/rt_channel.h"

namespace nereid::recording {

class CChannelTable;
struct CIntakeState;

// "Recording Time" in minutes: 1..720 (12-hour files at most).
constexpr int kMinRecordingMinutes = 1;
constexpr int kMaxRecordingMinutes = 720;

// Results of the setup besides 1 (recording armed).
constexpr int kSetupTimeInvalid = -10; // "Recording Time is not valid": the dialog stays open
constexpr int kSetupNoChannel = -11;   // "No Data Recording Enable"
constexpr int kSetupMemory = -12;      // a buffer could not be mapped; nothing started
constexpr int kSetupNoFileName = -13;  // "Please input filename": the channel stays selected
constexpr int kSetupBadFolder = -14;   // the folder is missing or cannot be written

// The dialog's file name edit hands over at most this many characters.
constexpr std::size_t kChannelFileNameLimit = 19;

// What the recording setup dialog gives after OK.
struct RecordingSetupRequest {
    RecordingForm form = RecordingForm::kDadisp;
    std::string minutesText = "60"; // the "Recording Time" edit; up to 10 characters are read
    std::string stationName;        // station name received at connection (CSS sta field)
    bool writeThrough = true;
    std::string network = kDefaultMseedNetwork; // miniSEED stream codes
    MseedComponentMap components;
};

// The minutes of the "Recording Time" edit (leading and trailing blanks allowed), or 0 when
// the text is not a whole number from 1 to 720.
int ParseRecordingMinutes(const std::string& text);

// Stores what the setup dialog shows for one channel when another channel is selected or OK
// is pressed (only for a channel whose "Enable Recording" is checked). An empty file name
// shows "Please input filename" and stores nothing. The folder is kept whole: cutting a long
// path would send the files to another folder.
int StoreChannelSettings(RtChannel& channel, const std::string& fileName, const std::string& folder,
                         const std::string& comments, CRecorderMessages* messages);

// Checks that `folder` exists, is a folder and takes a new file (a probe file is created and
// removed again: permission bits say nothing for root, nor for read-only or special file
// systems). Returns 1, or kSetupBadFolder after showing which folder and why through
// `messages`.
int CheckRecordingFolder(const std::string& folder, CRecorderMessages* messages);

// Builds the recorder for the channels of `table` whose recordEnable is set. Shows (through
// `services.messages`) "Recording Time is not valid", "No Data Recording Enable" or the memory
// message and returns the matching code; on 1 `recorder` holds the new recorder, not yet seen
// by the intake.
int PrepareRecorder(const RecordingSetupRequest& request, const CChannelTable& table,
                    const CFileRecorder::Services& services,
                    std::unique_ptr<CFileRecorder>& recorder);

// Starts recording once the intake has been given the recorder: acquisition state, idle
// counter and last progress to 0, m_bRecording set, and for CSS and SEISAN the restart gate
// armed with resume pending, so that the first files start on a fresh second (DADiSP starts
// with the next frame).
void ArmRecording(CIntakeState& state, RecordingForm form);

} // namespace nereid::recording
