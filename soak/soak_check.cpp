// Checks recorded files against the simulator's signal: every sample of every channel of
// every file given must equal the formula of sim/signal_model for its channel, second and
// index. The channel of a file is the one whose signal its first samples follow (names differ
// between the forms). Rows that are all zero where the signal is not are gap fills (a frame
// the line lost); any other difference is a wrong sample.
//   soak_check FILE...       prints totals; exit 0 when no sample is wrong, 1 otherwise
#include "recording/data_file_reader.h"
#include "sim/signal_model.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace nereid;

namespace {

struct Totals {
    std::uint64_t files = 0, channels = 0, samples = 0, equal = 0, filledRows = 0, wrong = 0;
};

std::int32_t Expected(const sim::SignalModel& s, int channel, const recording::FileChannel& ch,
                      std::uint64_t i) {
    const std::uint32_t second = ch.startSecond + static_cast<std::uint32_t>(i / ch.rate);
    return s.Sample(channel, second, static_cast<int>(i % ch.rate), ch.rate);
}

// The channel character of the recorder's file names (DD<c>..., CD<c>...: 1-8, A-H for 9-16),
// else the channel whose signal the file's first non-zero samples follow.
int ChannelOf(const sim::SignalModel& s, const recording::FileChannel& ch,
              const std::string& path) {
    const std::string base = path.substr(path.find_last_of('/') + 1);
    if (base.size() == 17 && (base.rfind("DD", 0) == 0 || base.rfind("CD", 0) == 0)) {
        const char c = base[2];
        if (c >= '1' && c <= '8')
            return c - '0';
        if (c >= 'A' && c <= 'H')
            return c - 'A' + 9;
    }
    int best = 0;
    std::uint64_t bestEqual = 0;
    std::uint64_t from = 0;
    while (from < ch.sampleCount && ch.IntValue(from) == 0)
        ++from;
    const std::uint64_t probe = std::min<std::uint64_t>(ch.sampleCount, from + 4000);
    for (int c = 1; c <= 16; ++c) {
        std::uint64_t equal = 0;
        for (std::uint64_t i = from; i < probe; ++i)
            equal += ch.IntValue(i) == Expected(s, c, ch, i);
        if (equal > bestEqual) {
            best = c;
            bestEqual = equal;
        }
    }
    return best;
}

void Check(const sim::SignalModel& s, const recording::FileChannel& ch, Totals& t,
           const std::string& path) {
    ++t.channels;
    t.samples += ch.sampleCount;
    if (ch.rate <= 0) {
        std::fprintf(stderr, "%s: no rate\n", path.c_str());
        t.wrong += ch.sampleCount;
        return;
    }
    const int channel = ChannelOf(s, ch, path);
    if (channel == 0) {
        std::fprintf(stderr, "%s: follows no channel's signal\n", path.c_str());
        t.wrong += ch.sampleCount;
        return;
    }
    const std::uint64_t rate = static_cast<std::uint64_t>(ch.rate);
    std::uint64_t reported = 0;
    for (std::uint64_t row = 0; row * rate < ch.sampleCount; ++row) {
        const std::uint64_t begin = row * rate;
        const std::uint64_t end = std::min(ch.sampleCount, begin + rate);
        std::uint64_t equal = 0;
        bool allZero = true;
        for (std::uint64_t i = begin; i < end; ++i) {
            const std::int64_t v = ch.IntValue(i);
            equal += v == Expected(s, channel, ch, i);
            allZero = allZero && v == 0;
        }
        t.equal += equal;
        if (equal == end - begin)
            continue;
        if (allZero) {
            ++t.filledRows;
            continue;
        }
        t.wrong += end - begin - equal;
        if (reported++ < 5)
            std::fprintf(stderr, "%s: channel %d second %llu: %llu of %llu samples differ\n",
                         path.c_str(), channel,
                         static_cast<unsigned long long>(ch.startSecond + row),
                         static_cast<unsigned long long>(end - begin - equal),
                         static_cast<unsigned long long>(end - begin));
    }
}

} // namespace

int main(int argc, char** argv) {
    const sim::SignalModel signal;
    Totals t;
    for (int i = 1; i < argc; ++i) {
        std::vector<recording::FileChannel> channels;
        recording::ReaderMessage m;
        if (recording::OpenDataFile(argv[i], channels, m) != recording::kOpenAdded) {
            std::fprintf(stderr, "%s: %s %s\n", argv[i], m.text.c_str(), m.detail.c_str());
            ++t.wrong;
            continue;
        }
        ++t.files;
        for (const recording::FileChannel& ch : channels)
            Check(signal, ch, t, argv[i]);
    }
    std::printf(
        "files %llu channels %llu samples %llu equal %llu gap-filled-rows %llu wrong %llu\n",
        static_cast<unsigned long long>(t.files), static_cast<unsigned long long>(t.channels),
        static_cast<unsigned long long>(t.samples), static_cast<unsigned long long>(t.equal),
        static_cast<unsigned long long>(t.filledRows), static_cast<unsigned long long>(t.wrong));
    return t.wrong == 0 ? 0 : 1;
}
