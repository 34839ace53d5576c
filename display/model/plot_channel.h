#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "display/model/spectrum.h"

namespace nereid::display::model {

// One channel of the analysis window's channel list: a real-time channel (a ring of the
// intake) or an opened file, with what is shown of it and how.
struct PlotChannel {
    std::string name;    // the channel-list text: the channel number, or the file's signal name
    int number = 0;      // real-time channel number 1..16; 0 for a file
    int rate = 0;        // samples per second
    int profileSlot = 0; // index 0..31 of its colour and scale in the main window's profile

    bool showTime = false;
    bool showSpectrum = false;

    std::uint32_t range = 1024;      // amplitude range of the time plot
    std::uint32_t colour = 0x00FFFF; // 0x00BBGGRR
    std::int32_t offset = 0;         // zero line moved by "Offset Adjust", in pixels

    int spectrumMode = kPowerSpectrum;
    std::uint32_t spectrumRange = 100;
    std::uint32_t spectrumColour = 0x00FF00;

    // The spectrum's display array S(0 ... N/2): the only state shared with painting, copied
    // in and out under the lock.
    std::mutex lock;
    std::vector<float> spectrum;
};

} // namespace nereid::display::model
