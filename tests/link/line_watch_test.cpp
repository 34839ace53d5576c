#include <gtest/gtest.h>

#include "link/line_watch.h"

namespace nereid::link {
namespace {

// Ticks every 100 ms from `from` to `to` (exclusive) with an unchanged byte count; returns
// the first action other than kNone and where it came.
std::pair<int, std::int64_t> Quiet(CLineWatch& w, std::uint64_t bytes, std::int64_t from,
                                   std::int64_t to, bool waiting = false) {
    for (std::int64_t t = from; t < to; t += 100) {
        const int a = w.Tick(bytes, t, waiting);
        if (a != CLineWatch::kNone) {
            return {a, t};
        }
    }
    return {CLineWatch::kNone, to};
}

TEST(LineWatch, QuietLineIsProbedAndLostWhenTheProbeGoesUnanswered) {
    CLineWatch w;
    EXPECT_EQ(w.Tick(5, 0, false), CLineWatch::kNone); // not watching yet
    w.Start(10, 0);
    auto [action, at] = Quiet(w, 10, 100, 20000);
    EXPECT_EQ(action, CLineWatch::kSendProbe);
    EXPECT_EQ(at, CLineWatch::kQuietMs);
    std::tie(action, at) = Quiet(w, 10, at + 100, 20000);
    EXPECT_EQ(action, CLineWatch::kLost);
    EXPECT_EQ(at, CLineWatch::kQuietMs + CLineWatch::kProbeAnswerMs);
    EXPECT_TRUE(w.Lost());
    EXPECT_EQ(Quiet(w, 10, at + 100, 30000).first, CLineWatch::kNone); // said once
    EXPECT_EQ(w.Tick(11, 30000, false), CLineWatch::kAnswering);
    EXPECT_FALSE(w.Lost());
    w.Stop();
    EXPECT_FALSE(w.Lost());
}

TEST(LineWatch, AnsweredProbeOrStreamingKeepsItAlive) {
    CLineWatch w;
    w.Start(0, 0);
    EXPECT_EQ(Quiet(w, 0, 100, 10000).first, CLineWatch::kSendProbe);
    EXPECT_EQ(w.Tick(7, 5000, false), CLineWatch::kNone); // the answer came
    EXPECT_FALSE(w.Lost());
    // A new silence gets its own probe, counted from the last byte.
    const auto [action, at] = Quiet(w, 7, 5100, 20000);
    EXPECT_EQ(action, CLineWatch::kSendProbe);
    EXPECT_EQ(at, 5000 + CLineWatch::kQuietMs);
    // Bytes every second: never probed.
    CLineWatch streaming;
    streaming.Start(0, 0);
    for (std::int64_t t = 100; t < 60000; t += 100) {
        ASSERT_EQ(streaming.Tick(static_cast<std::uint64_t>(t / 1000), t, false),
                  CLineWatch::kNone);
    }
}

TEST(LineWatch, AWaitingRequestIsGivenASlowDrivesTimeWithoutAProbe) {
    CLineWatch w;
    w.Start(0, 0);
    const auto [action, at] = Quiet(w, 0, 100, 30000, true);
    EXPECT_EQ(action, CLineWatch::kLost);
    EXPECT_EQ(at, CLineWatch::kRequestSilenceMs);
    // An answer after 6 s while waiting is in time.
    CLineWatch slow;
    slow.Start(0, 0);
    EXPECT_EQ(Quiet(slow, 0, 100, 6000, true).first, CLineWatch::kNone);
    EXPECT_EQ(slow.Tick(1, 6000, true), CLineWatch::kNone);
}

} // namespace
} // namespace nereid::link
