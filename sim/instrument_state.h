#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nereid::sim {

// What the recorder is, fixed for a run of the simulator.
struct InstrumentIdentity {
    std::uint8_t model = 17;
    int streams = 6; // 1, 3 or 6
    std::uint16_t serial = 1234;
    std::string station = "SIM1";
    int calFormat = 26; // 26, 34 or 36 bytes of calibration settings answer
    bool modemOnLocalPort = false;
    // Drive index (1..4 = B..E) the power-up internal recording setup writes to: a recorder
    // records on its PC cards or SCSI disk, never on its RAM drive A. 0 when it has none.
    std::uint8_t storageDrive = 0;
    bool blankWindows = false; // power-up recording windows all zero
};

// One calibration run as the recorder keeps it (the immediate run and 32 scheduled ones).
struct CalibrationRun {
    std::uint8_t signal = 0;
    std::uint8_t index = 0;
    bool active = false;
    std::uint32_t modeWord = 0;
    std::uint32_t startTime = 0;
    std::uint16_t duration = 0;
    std::uint32_t interval = 0;
    std::uint16_t repetitions = 0;
    std::int16_t amplitudeMv = 0;
    std::uint16_t frequencyTenths = 0;
    std::int32_t amplitudeTenthMv = 0;
    std::uint32_t frequencyMilli = 0;
    std::uint8_t dampingDisable = 0;
    std::uint8_t controlMode = 0;
    std::uint32_t endsAt = 0; // immediate run: recorder second at which it stops
};

// The recorder's settable state.
class InstrumentState {
public:
    static constexpr std::size_t kConfigBytes = 152;     // 0x89 payload, model 17 form
    static constexpr std::size_t kShortConfigBytes = 58; // 0x89 payload, other models
    static constexpr std::size_t kSetupBytes = 473;      // 0x8F payload
    static constexpr std::size_t kStationOffset = 469;   // in the 0x8F payload
    static constexpr int kImmediateRun = 32;             // index into Runs()

    explicit InstrumentState(InstrumentIdentity identity);

    // Back to power-up values (cold start). The clock is not part of this state.
    void ResetDefaults();

    const InstrumentIdentity& Identity() const { return m_Identity; }
    // Length of command 0x89 this model takes: 152 for model 17, else 58.
    std::size_t ConfigCommandLength() const;

    // Configuration in 0x89 payload layout (header word at 0..1, always 0 here).
    std::array<std::uint8_t, kConfigBytes>& Config() { return m_Config; }
    const std::array<std::uint8_t, kConfigBytes>& Config() const { return m_Config; }
    // Internal recording setup in 0x8F payload layout.
    std::array<std::uint8_t, kSetupBytes>& Setup() { return m_Setup; }
    const std::array<std::uint8_t, kSetupBytes>& Setup() const { return m_Setup; }

    // True when the hardware has channel c (1..16): primary 1..n and secondary 9..8+n.
    bool ChannelFitted(int channel) const;
    // Samples per second that channel c streams at; 0 when it is not fitted, not enabled or
    // has no known rate code.
    int StreamRate(int channel) const;

    CalibrationRun& Run(int index) { return m_Runs[static_cast<std::size_t>(index)]; }
    const CalibrationRun& Run(int index) const { return m_Runs[static_cast<std::size_t>(index)]; }

    std::uint8_t dampingMask = 0;
    std::array<std::uint16_t, 8> dampingValues{};
    std::uint32_t relays = 0;
    std::uint8_t vpp = 0;
    std::uint8_t led = 0;
    bool acquiring = false;
    bool realtime = false;
    std::uint8_t poweredDownDrive = 0;

private:
    InstrumentIdentity m_Identity;
    std::array<std::uint8_t, kConfigBytes> m_Config{};
    std::array<std::uint8_t, kSetupBytes> m_Setup{};
    std::array<CalibrationRun, 33> m_Runs{};
};

} // namespace nereid::sim
