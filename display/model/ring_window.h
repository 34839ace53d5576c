#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/model/decimation.h"
#include "recording/rt_channel.h"

namespace nereid::display::model {

// What the analysis window reads of one real-time channel: its ring and the second each row
// holds. Either points into the intake's live channel or into a copy taken when the display
// froze. Times are absolute: hundredths or samples counted from 1970, so that a window is
// placed by the recorder's clock and never by ring positions.
struct RingView {
    const std::int32_t* samples = nullptr; // kRingRows x rate
    const std::uint32_t* rowSecond = nullptr;
    const std::uint8_t* rowGap = nullptr;
    int rate = 0;
    int slot = 0;                 // row of lastSecond
    std::uint32_t lastSecond = 0; // 0: nothing stored yet

    static RingView Of(const recording::RtChannel& channel);
    bool Valid() const { return samples != nullptr && rate > 0 && lastSecond != 0; }
};

// A frozen copy of one channel's ring.
struct RingCopy {
    std::vector<std::int32_t> samples;
    std::array<std::uint32_t, recording::kRingRows> rowSecond{};
    std::array<std::uint8_t, recording::kRingRows> rowGap{};
    int rate = 0;
    int slot = 0;
    std::uint32_t lastSecond = 0;

    void Take(const recording::RtChannel& channel);
    RingView View() const;
};

// The row that holds `second`, or -1 when the ring does not hold it: not yet arrived, already
// overwritten, or a row left from before a clock jump (its own second differs).
int RowOf(const RingView& ring, std::uint32_t second);
// The oldest and newest second the ring holds in unbroken order back from its newest row (a
// row from before a clock jump ends the run). False when it holds none.
bool HeldSeconds(const RingView& ring, std::uint32_t& oldest, std::uint32_t& newest);

// What a window of one channel shows.
struct WindowSummary {
    std::uint64_t drawn = 0;      // samples found and drawn
    std::uint64_t gapSamples = 0; // samples of rows filled for missing seconds
    std::uint64_t firstDrawn = 0; // absolute sample index of the first drawn sample
};

// Min/max per column of the `count` samples from absolute sample index `first` (second x rate
// + sample in the second), each row found by its own second. Columns over seconds the ring does
// not hold or over gap rows stay empty (count 0); `gapColumns` (if given) marks the latter.
void DecimateSeconds(const RingView& ring, std::uint64_t first, std::uint64_t count, int columns,
                     std::vector<MinMax>& out, std::vector<std::uint8_t>* gapColumns,
                     WindowSummary& summary);

// The N samples of a real-time spectrum that end just before absolute sample `end`. Samples of
// gap rows or of seconds not held are 0 and counted in the result.
int SecondsBlock(const RingView& ring, std::uint64_t end, int n, float* out);

// Window start (absolute hundredths) of a frozen display for a scroll position 0..200: the
// left end shows the oldest second held, the right end ends at the start of the newest (where
// the running display stood), rising steadily in between.
std::uint64_t FrozenWindowStartAt(int position, std::uint32_t oldest, std::uint32_t newest,
                                  int spanHundredths);

} // namespace nereid::display::model
