#include "display/model/tables.h"

#include <algorithm>

namespace nereid::display::model {

int ClampTimeRangeIndex(int index) {
    return std::clamp(index, 0, static_cast<int>(kTimeRanges.size()) - 1);
}

int SpanHundredths(int timeRangeIndex) {
    const int index = ClampTimeRangeIndex(timeRangeIndex);
    if (index == static_cast<int>(kTimeRanges.size()) - 1)
        return kRingHundredths - 200;
    return static_cast<int>(kTimeRanges[static_cast<std::size_t>(index)] * 100 + 0.5);
}

int RealTimeWindowStart(int curIndex, int spanHundredths) {
    int start = curIndex * 100 - spanHundredths;
    while (start < 0)
        start += kRingHundredths;
    return start % kRingHundredths;
}

int FrozenWindowStart(int position, int startAtFreeze) {
    const long start = static_cast<long>(position) * 60 + startAtFreeze;
    return static_cast<int>(((start % kRingHundredths) + kRingHundredths) % kRingHundredths);
}

int TimePaneHeight(int height, float spectrumShare, int divider, int minPane) {
    if (height <= 0)
        return 0;
    if (divider != kInitialDivider && divider >= minPane && divider <= height - minPane)
        return divider;
    const float share = spectrumShare >= 0.0f && spectrumShare <= 1.0f ? spectrumShare : 0.5f;
    return std::clamp(static_cast<int>(static_cast<float>(height) * (1.0f - share)), 0, height);
}

float ShareOfDivider(int height, int divider) {
    if (height <= 0)
        return 0.5f;
    return std::clamp(1.0f - static_cast<float>(divider) / static_cast<float>(height), 0.0f, 1.0f);
}

bool IsFftSize(int n) {
    return std::find(kFftSizes.begin(), kFftSizes.end(), n) != kFftSizes.end();
}

int ReduceBinsIndex(int binsIndex, int fftSize) {
    int index = std::clamp(binsIndex, 0, static_cast<int>(kBinsShown.size()) - 1);
    while (index > 0 && kBinsShown[static_cast<std::size_t>(index)] > fftSize / 2)
        --index;
    return index;
}

int SpectrumFirstBin(int fftSize, int binsShown, int position) {
    const int spare = std::max(0, fftSize / 2 - binsShown);
    return static_cast<int>(static_cast<long>(spare) * std::clamp(position, 0, 200) / 200);
}

const char* AmplitudeRangeLabel(int index) {
    static const char* const labels[] = {"16",   "64", "256", "1024", "4096", "16K",  "65K",
                                         "262K", "1M", "4M",  "16M",  "268M", "4294M"};
    return labels[std::clamp(index, 0, 12)];
}

const char* SpectrumRangeLabel(int index) {
    static const char* const labels[] = {"1",    "10", "100", "1000", "10K",
                                         "100K", "1M", "10M", "100M", "1000M"};
    return labels[std::clamp(index, 0, 9)];
}

} // namespace nereid::display::model
