#pragma once

#include <array>
#include <cstdint>

namespace nereid::display::model {

// The ring of the real-time intake covers 120 seconds, counted in hundredths.
constexpr int kRingHundredths = 12000;

// "TimeRange" entries in seconds; index 10 (120 s) spans 11800 hundredths, so that the newest
// row and the window's start never meet in the same ring row.
constexpr std::array<double, 11> kTimeRanges = {0.1, 1, 2, 4, 10, 20, 40, 60, 80, 100, 120};
constexpr int kDefaultTimeRangeIndex = 3; // 4.0 s
constexpr int kDefaultSpanHundredths = 400;

// Amplitude ranges of a time plot (menu "16" ... "4294M").
constexpr std::array<std::uint32_t, 13> kAmplitudeRanges = {
    16u,     64u,      256u,     1024u,     4096u,      16384u,     65536u,
    262144u, 1048576u, 4194304u, 16777216u, 268435456u, 4294967295u};
// Ranges of a spectrum plot (menu "1" ... "1000M").
constexpr std::array<std::uint32_t, 10> kSpectrumRanges = {
    1u, 10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u};
constexpr std::array<int, 6> kFftSizes = {256, 512, 1024, 2048, 4096, 8192};
constexpr std::array<int, 10> kBinsShown = {16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192};
constexpr int kDefaultFftSize = 1024;
constexpr int kDefaultBinsIndex = 6; // 1024, reduced to N / 2

// Span in hundredths for a time range index; an index above 10 is taken as 10, below 0 as 0.
int SpanHundredths(int timeRangeIndex);
// Clamps a time range index to 0..10.
int ClampTimeRangeIndex(int index);

// Window start in hundredths for the ring row `curIndex` of the newest second: the span ends
// at the end of that row, wrapped into the 120-second ring.
int RealTimeWindowStart(int curIndex, int spanHundredths);
// Window start while frozen: the scroll position (0..200) moves back in steps of 60 hundredths
// from the start at the moment of freezing.
int FrozenWindowStart(int position, int startAtFreeze);

// The divider's initial position: a layout still holding it was never dragged.
constexpr int kInitialDivider = 60;
// Height of the time pane above the spectra in an area `height` pixels high. A divider the
// operator dragged (pixels from the top) decides while it leaves each pane at least
// `minPane` pixels; otherwise the stored share of the spectra does (0.5 when out of 0..1).
int TimePaneHeight(int height, float spectrumShare, int divider, int minPane);
// The share of the spectra that a divider at `divider` pixels gives.
float ShareOfDivider(int height, int divider);

// True for 256, 512, ..., 8192.
bool IsFftSize(int n);
// Bins-shown index reduced so that the bins shown never exceed N / 2 (index into kBinsShown).
int ReduceBinsIndex(int binsIndex, int fftSize);
// First bin shown for a spectrum scroll position 0..200.
int SpectrumFirstBin(int fftSize, int binsShown, int position);

// Menu label of an amplitude range: "16", "64", ..., "65K", ..., "16M", "268M", "4294M".
const char* AmplitudeRangeLabel(int index);
const char* SpectrumRangeLabel(int index);

// Colour codes of the menus (0 Black ... 5 White) as 0x00BBGGRR values.
constexpr std::array<std::uint32_t, 6> kColourCodes = {0x000000, 0x0000FF, 0x00FF00,
                                                       0xFF0000, 0x00FFFF, 0xFFFFFF};

} // namespace nereid::display::model
