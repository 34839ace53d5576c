#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nereid::sim {

// A span of recorder seconds for which no data frames are sent. When `relative` is set the
// bounds count from the start time.
struct SkipRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool relative = false;
};

// Everything the command line can set. Defaults give a six-stream model 17 recorder with
// drive A (its RAM card) filled with generated recordings and an empty internal flash card E
// that internal recording writes to, no faults and no pacing.
struct SimOptions {
    std::string linkPath;   // symlink to the pseudo-terminal; empty: DefaultLinkPath()
    std::string devicePath; // serve this serial device instead of a pseudo-terminal
    int baud = 0;           // 0: no pacing; else N/10 bytes per second
    double corrupt = 0.0;   // probability that a sent frame carries a wrong CRC
    double drop = 0.0;      // probability that a command stays unanswered
    int delayMs = 0;        // every answer leaves this late
    // A slow drive: the first request of one of `answerDelayCodes` is answered this many ms
    // late (drawn from min..max); the same request sent again is answered right after it.
    int answerDelayMinMs = 0;
    int answerDelayMaxMs = 0;
    std::vector<std::uint8_t> answerDelayCodes = {0xB8, 0xB9, 0x92};
    double garbage = 0.0; // probability of noise bytes before a sent frame
    std::uint64_t seed = 1;

    std::vector<std::uint8_t> refused; // command codes refused (status 0) whatever they carry
    std::vector<std::uint8_t> ignored; // command codes never answered

    bool modem = false;
    std::vector<std::string> busyNumbers;
    std::vector<std::string> noCarrierNumbers;
    std::vector<std::string> noDialtoneNumbers;
    double hangupAfter = 0; // recorder seconds from CONNECT to the far end's hang-up; 0 never

    int calFormat = 26; // payload length of the calibration settings answer: 26, 34 or 36
    std::uint8_t model = 17;
    int streams = 6; // 1, 3 or 6
    std::uint16_t serial = 1234;
    std::string station = "SIM1";
    std::map<char, std::string> drives; // 'A'..'E' -> host folder

    double timeScale = 1.0; // recorder seconds per wall second
    bool haveStartTime = false;
    std::uint32_t startTime = 0; // seconds since 1970 at the simulator's start
    std::vector<SkipRange> skips;

    std::vector<double> signalFreq; // Hz per channel 1..16; the last value repeats
    std::vector<double> signalAmp;  // counts per channel; empty: 100000 x channel number
    int noise = 0;                  // uniform noise amplitude in counts

    bool blankWindows = false; // the 16 recording windows all zero, as never set up
    bool realtime = false;     // stream from the start, as after 0x94 with 1
    bool acquiring = false;    // acquisition started at power-up
    bool verbose = false;      // log every frame on stderr
};

// Parses the command line. Returns 1 when the simulator should run, 0 when help was asked for
// (the usage is in `message`), -1 on a bad option (the reason is in `message`).
int ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& message);

// $XDG_RUNTIME_DIR/nereid-sim, else /tmp/nereid-sim-<uid>.
std::string DefaultLinkPath();

std::string UsageText();

// Seconds since 1970 from a decimal number or an ISO UTC date "YYYY-MM-DD[THH:MM[:SS]][Z]".
// Returns false when the text is neither or lies outside 1970..2099.
bool ParseStartTime(const std::string& text, std::uint32_t& seconds);

} // namespace nereid::sim
