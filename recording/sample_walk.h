#pragma once

#include "recording/file_channel.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace nereid::recording {

// Samples handed to a walk at a time: 128 KiB of numbers, small enough to stay in cache.
inline constexpr std::size_t kWalkBlock = 16384;

// Calls `visit` with consecutive blocks of the channel's samples, first to last, each at most
// kWalkBlock long. Memory stays bounded whatever the file's size: the samples are read a
// block at a time, and the pages of a mapped file the walk has passed are let go as it goes.
void WalkSamples(const FileChannel& channel,
                 const std::function<void(const double* values, std::size_t n)>& visit);

struct SampleStatistics {
    std::uint64_t count = 0;
    double low = 0, high = 0; // 0 when there are no samples
    double sum = 0;
};

// Smallest, largest and sum of every sample, in one walk.
SampleStatistics ChannelStatistics(const FileChannel& channel);

} // namespace nereid::recording
