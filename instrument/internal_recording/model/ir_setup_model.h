#pragma once

#include <cstdint>
#include <string>

#include "instrument/internal_recording/model/ir_continuous_model.h"
#include "instrument/internal_recording/model/ir_event_model.h"
#include "instrument/internal_recording/model/ir_soh_model.h"
#include "instrument/internal_recording/model/ir_station_model.h"
#include "instrument/internal_recording/model/ir_status_model.h"
#include "instrument/internal_recording/model/ir_window_model.h"
#include "link/command_records.h"

namespace nereid::instrument {

constexpr std::uint8_t kReadDriveStatusCode = 0xB7;
constexpr std::uint8_t kReadSetupCode = 0xB5;
constexpr std::uint8_t kWriteSetupCode = 0x8F;
inline constexpr const char* kSetupNotReadText =
    "The internal recording setup was not read from the recorder when this sheet opened, so "
    "nothing was sent. Close the sheet and open it again to read it.";

// The six pages of the Internal Recording sheet, in tab order.
enum IRPage : int {
    kIRStationPage = 0,
    kIRContinuousPage,
    kIREventPage,
    kIRWindowPage,
    kIRSohPage,
    kIRStatusPage,
    kIRPageCount
};
inline constexpr const char* kIRPageTitles[kIRPageCount] = {
    "Station Name ", "Continuous", "Event", "Window", "State of Health", "Status"};

// The whole internal recording setup as the six page models hold it. A Send carries the
// current values of every page, not only the active one.
class CIRSetupModel {
public:
    CIRStationModel station;
    CIRContinuousModel continuous;
    CIREventModel event;
    CIRWindowModel window;
    CIRSohModel soh;
    CIRStatusModel status;

    // Decodes a received (or accepted) setup into all six pages and sets the setup-received
    // mark.
    void Decode(const link::InternalRecordingRecord& record);
    // The 0x8F record of the current values of all six pages. Reserved fields and the bits
    // no page sets are zero.
    link::InternalRecordingRecord Encode() const;

    // Reads the active page before a Send: start-time day corrections of the continuous and
    // event pages, validation of the shown window. Returns 1, or -1 with the message to show
    // (the Send is refused). Without a setup received since the sheet opened nothing may be
    // sent: the record goes out whole, and the pages' defaults (or an earlier recorder's
    // values) would overwrite the recorder's windows, triggers and station name.
    int PrepareSend(int activePage, std::string& message);

    // The setup-received mark: cleared when a setup read fails, set when one succeeds. While
    // it is clear no page shows a modified mark.
    bool SetupReceived() const { return m_SetupReceived; }
    void SetSetupReceived(bool received) { m_SetupReceived = received; }
    bool PageModified(int page) const;

    // The record of the last Send; an accepted Send decodes it into all pages.
    void KeepSent(const link::InternalRecordingRecord& record) { m_LastSent = record; }
    const link::InternalRecordingRecord& LastSent() const { return m_LastSent; }

private:
    bool m_SetupReceived = false;
    link::InternalRecordingRecord m_LastSent;
};

} // namespace nereid::instrument
