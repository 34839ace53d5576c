#include "display/model/ring_window.h"

#include <algorithm>
#include <limits>

namespace nereid::display::model {

using recording::kRingRows;

RingView RingView::Of(const recording::RtChannel& channel) {
    RingView view;
    if (channel.rate <= 0 ||
        channel.ring.size() < static_cast<std::size_t>(kRingRows) * channel.rate)
        return view;
    view.samples = channel.ring.data();
    view.rowSecond = channel.rowSecond.data();
    view.rowGap = channel.rowGap.data();
    view.rate = channel.rate;
    view.slot = channel.slot;
    view.lastSecond = channel.lastSecond;
    return view;
}

void RingCopy::Take(const recording::RtChannel& channel) {
    samples = channel.ring;
    rowSecond = channel.rowSecond;
    rowGap = channel.rowGap;
    rate = channel.rate;
    slot = channel.slot;
    lastSecond = channel.lastSecond;
}

RingView RingCopy::View() const {
    RingView view;
    if (rate <= 0 || samples.size() < static_cast<std::size_t>(kRingRows) * rate)
        return view;
    view.samples = samples.data();
    view.rowSecond = rowSecond.data();
    view.rowGap = rowGap.data();
    view.rate = rate;
    view.slot = slot;
    view.lastSecond = lastSecond;
    return view;
}

int RowOf(const RingView& ring, std::uint32_t second) {
    if (!ring.Valid() || second == 0 || second > ring.lastSecond)
        return -1;
    const std::uint32_t back = ring.lastSecond - second;
    if (back >= static_cast<std::uint32_t>(kRingRows))
        return -1;
    const int slot = ((ring.slot % kRingRows) + kRingRows) % kRingRows;
    const int row = (slot - static_cast<int>(back) + kRingRows) % kRingRows;
    return ring.rowSecond[row] == second ? row : -1;
}

bool HeldSeconds(const RingView& ring, std::uint32_t& oldest, std::uint32_t& newest) {
    if (RowOf(ring, ring.lastSecond) < 0)
        return false;
    newest = ring.lastSecond;
    oldest = newest;
    while (newest - oldest + 1 < static_cast<std::uint32_t>(kRingRows) && oldest > 1 &&
           RowOf(ring, oldest - 1) >= 0)
        --oldest;
    return true;
}

void DecimateSeconds(const RingView& ring, std::uint64_t first, std::uint64_t count, int columns,
                     std::vector<MinMax>& out, std::vector<std::uint8_t>* gapColumns,
                     WindowSummary& summary) {
    summary = WindowSummary{};
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 0));
    out.assign(width, MinMax{});
    if (gapColumns != nullptr)
        gapColumns->assign(width, 0);
    if (!ring.Valid() || columns <= 0 || count == 0)
        return;
    const auto rate = static_cast<std::uint64_t>(ring.rate);
    const std::uint64_t end = first + count;
    int column = 0;
    std::uint64_t columnEnd = first + ColumnBegin(count, columns, 1);
    // Moves to the column that holds absolute sample `a`.
    const auto seek = [&](std::uint64_t a) {
        while (a >= columnEnd && column < columns - 1) {
            ++column;
            columnEnd = first + ColumnBegin(count, columns, column + 1);
        }
    };
    std::uint64_t a = first;
    while (a < end) {
        const std::uint64_t second = a / rate;
        const std::uint64_t rowEnd = std::min(end, (second + 1) * rate);
        const int row = second <= std::numeric_limits<std::uint32_t>::max()
                            ? RowOf(ring, static_cast<std::uint32_t>(second))
                            : -1;
        if (row < 0 || ring.rowGap[row] != 0) {
            if (row >= 0) {
                summary.gapSamples += rowEnd - a;
                if (gapColumns != nullptr) {
                    for (std::uint64_t g = a; g < rowEnd; g = std::max(g + 1, columnEnd)) {
                        seek(g);
                        (*gapColumns)[static_cast<std::size_t>(column)] = 1;
                        if (column == columns - 1)
                            break;
                    }
                }
            }
            a = rowEnd;
            continue;
        }
        const std::int32_t* p = ring.samples + static_cast<std::size_t>(row) * ring.rate;
        const std::uint64_t base = second * rate;
        if (summary.drawn == 0)
            summary.firstDrawn = a;
        summary.drawn += rowEnd - a;
        while (a < rowEnd) {
            seek(a);
            const std::uint64_t stop = column == columns - 1 ? rowEnd : std::min(rowEnd, columnEnd);
            std::int32_t lo = p[a - base];
            std::int32_t hi = lo;
            for (std::uint64_t k = a + 1; k < stop; ++k) {
                const std::int32_t v = p[k - base];
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            MinMax part{double(lo), double(hi), stop - a};
            out[static_cast<std::size_t>(column)].Merge(part);
            a = stop;
        }
    }
}

int SecondsBlock(const RingView& ring, std::uint64_t end, int n, float* out) {
    int missing = 0;
    const auto rate = static_cast<std::uint64_t>(std::max(ring.rate, 1));
    for (int i = 0; i < n; ++i) {
        const std::uint64_t back = static_cast<std::uint64_t>(n - i);
        int row = -1;
        std::uint64_t a = 0;
        if (back <= end) {
            a = end - back;
            const std::uint64_t second = a / rate;
            if (second <= std::numeric_limits<std::uint32_t>::max())
                row = RowOf(ring, static_cast<std::uint32_t>(second));
        }
        if (row < 0 || ring.rowGap[row] != 0) {
            out[i] = 0.0f;
            ++missing;
            continue;
        }
        out[i] =
            static_cast<float>(ring.samples[static_cast<std::size_t>(row) * ring.rate + a % rate]);
    }
    return missing;
}

std::uint64_t FrozenWindowStartAt(int position, std::uint32_t oldest, std::uint32_t newest,
                                  int spanHundredths) {
    const std::uint64_t lo = static_cast<std::uint64_t>(oldest) * 100;
    const std::uint64_t top = static_cast<std::uint64_t>(newest) * 100;
    const std::uint64_t span = static_cast<std::uint64_t>(std::max(spanHundredths, 0));
    const std::uint64_t hi = top > span ? top - span : 0;
    if (hi <= lo)
        return hi;
    const auto p = static_cast<std::uint64_t>(std::clamp(position, 0, 200));
    return lo + (hi - lo) * p / 200;
}

} // namespace nereid::display::model
