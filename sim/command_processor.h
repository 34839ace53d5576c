#pragma once

#include "sim/drive_store.h"
#include "sim/instrument_state.h"
#include "sim/transfer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nereid::sim {

// One answer frame of the recorder.
struct Reply {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
    bool awaitAnswer = true; // the PC answers it with ACK or NAK
};

// What a command asks of the rest of the simulator besides its answer.
struct CommandOutcome {
    std::optional<Reply> reply;       // none for codes below 0x80
    std::optional<Transfer> transfer; // a listing or file to send after `reply` is absent
    bool abortTransfer = false;       // 0x91, cold and warm start
    bool streamingMayChange = false;  // acquisition or real-time orders, resets
    std::optional<std::uint32_t> setClock;
    std::string note; // why a command was refused, for the log
};

// The recorder's command interpreter: checks every command strictly (payload length for the
// code, model and calibration format; header word 0; text lengths; value ranges), changes the
// instrument state, and builds the answer. A command that fails a check is refused with
// status 0 and changes nothing.
class CommandProcessor {
public:
    CommandProcessor(InstrumentState& state, DriveStore& drives)
        : m_State(state), m_Drives(drives) {}

    // `second` is the recorder clock, for the state-of-health and GPS readings and the end of
    // an immediate calibration run.
    CommandOutcome Handle(std::uint8_t code, const std::vector<std::uint8_t>& payload,
                          std::uint32_t second);

    // Payload length that `code` must have; -1 for text commands and unknown codes.
    int ExpectedLength(std::uint8_t code) const;

    // Commands refused whatever they carry (--refuse), to play a recorder that says no.
    void SetRefusedCodes(std::vector<std::uint8_t> codes) { m_RefusedCodes = std::move(codes); }

    // Whether the recorder streams real-time data now.
    bool Streaming() const;

private:
    CommandOutcome Refuse(std::uint8_t code, std::string why) const;
    CommandOutcome Accept(std::uint8_t code) const;
    CommandOutcome Answer(std::uint8_t type, std::vector<std::uint8_t> payload) const;
    std::vector<std::uint8_t> RefusalPayload(std::uint8_t code) const;
    bool TextPath(const std::vector<std::uint8_t>& p, std::size_t lengthAt, std::size_t textAt,
                  std::string& path, std::string& why) const;
    CommandOutcome Calibrate(const std::vector<std::uint8_t>& p, std::uint32_t second);
    CommandOutcome Configure(const std::vector<std::uint8_t>& p);
    CommandOutcome Damping(std::uint8_t code, const std::vector<std::uint8_t>& p);
    CommandOutcome CalibrationQuery(std::uint8_t code, std::uint8_t selector, std::uint32_t second);

    InstrumentState& m_State;
    DriveStore& m_Drives;
    std::vector<std::uint8_t> m_RefusedCodes;
};

} // namespace nereid::sim
