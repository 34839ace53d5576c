#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "display/model/auto_range.h"
#include "display/model/spectrum.h"

namespace nereid::display::model {

// One channel of the analysis window's channel list: a real-time channel (a ring of the
// intake) or an opened file, with what is shown of it and how.
struct PlotChannel {
    std::string name; // the channel-list text: the channel number, or the file's signal name
    int number = 0;   // real-time channel number 1..16; 0 for a file
    int rate = 0;     // samples per second
    // Index 0..31 of its colour and scale in the main window's profile; -1 for a file, whose
    // settings must not overwrite those of a real-time channel.
    int profileSlot = 0;

    bool showTime = false;
    bool showSpectrum = false;

    std::uint32_t range = 1024;      // amplitude range of the time plot
    std::uint32_t colour = 0x00FFFF; // 0x00BBGGRR
    std::int32_t offset = 0;         // zero line moved by "Offset Adjust", in pixels
    // "Auto": the range follows the window's samples instead of `range`. On for a channel
    // whose profile holds no range.
    bool autoRange = false;
    CAutoRange timeFit;

    int spectrumMode = kPowerSpectrum;
    std::uint32_t spectrumRange = 100;
    std::uint32_t spectrumColour = 0x00FF00;
    bool autoSpectrumRange = true;
    CAutoRange spectrumFit;
    // Samples of the last spectrum block that fell in gap rows or seconds not held (they
    // entered the transform as 0).
    int blockMissing = 0;

    // What the last paint showed of the channel: its start label, tick labels, the range used
    // and the samples drawn and left out as gaps.
    struct Drawn {
        std::string start;
        std::vector<std::string> ticks;
        double range = 0.0;
        double spectrumRange = 0.0;
        std::uint64_t samples = 0;
        std::uint64_t gapSamples = 0;
        int clippedColumns = 0;
    } drawn;

    // The spectrum's display array S(0 ... N/2): the only state shared with painting, copied
    // in and out under the lock.
    std::mutex lock;
    std::vector<float> spectrum;
};

} // namespace nereid::display::model
