#include "sim/modem_front_end.h"

#include <gtest/gtest.h>

namespace nereid::sim {
namespace {

std::string Feed(ModemFrontEnd& m, const std::string& text, std::size_t* used = nullptr) {
    std::size_t n = 0;
    const auto out =
        m.FeedCommand(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), n);
    if (used)
        *used = n;
    return out;
}

TEST(ModemFrontEnd, AnswersCommandsAndDials) {
    ModemFrontEnd m({"555-0100"}, {"(030) 4711"});
    EXPECT_EQ(Feed(m, "AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "atz\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "HELLO\r"), "\r\nERROR\r\n");
    EXPECT_EQ(Feed(m, "ATDT 5550100\r"), "\r\nBUSY\r\n");
    EXPECT_EQ(Feed(m, "ATDT0304711\r"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(Feed(m, "ATDT\r"), "\r\nNO DIALTONE\r\n");
    EXPECT_FALSE(m.Online());
    std::size_t used = 0;
    const std::string line = "ATDT123\r\xE3\xB0";
    EXPECT_EQ(Feed(m, line, &used), "\r\nRINGING\r\n\r\nCONNECT 9600\r\n");
    EXPECT_TRUE(m.Online());
    EXPECT_EQ(used, 8u) << "the bytes after the dial line belong to the recorder";
}

TEST(ModemFrontEnd, DialInStepsThenOriginate) {
    ModemFrontEnd m({"555"}, {}, {"666"});
    EXPECT_EQ(Feed(m, "AT&D2\r"), "\r\nOK\r\n") << "a setting, not a dial";
    EXPECT_EQ(Feed(m, "ATX4DT;\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATDT 66-6;\r"), "\r\nNO DIALTONE\r\n");
    EXPECT_EQ(Feed(m, "ATDT666\r"), "\r\nNO DIALTONE\r\n");
    // The number dialled in pieces is the one called.
    EXPECT_EQ(Feed(m, "ATX4DT;\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATDT5;\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATDT55;\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATD\r"), "\r\nBUSY\r\n");
    EXPECT_FALSE(m.Online());
    EXPECT_EQ(Feed(m, "ATDT123;\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATD\r"), "\r\nRINGING\r\n\r\nCONNECT 9600\r\n");
    EXPECT_TRUE(m.Online());
    // ATH forgets digits dialled in command mode.
    ModemFrontEnd other({}, {});
    Feed(other, "ATDT99;\r");
    EXPECT_EQ(Feed(other, "ATH\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(other, "ATD\r"), "\r\nNO DIALTONE\r\n");
}

TEST(ModemFrontEnd, FarEndHangsUpAfterItsTimeInRecorderSeconds) {
    using namespace std::chrono_literals;
    // 30 recorder seconds at 10 recorder seconds per wall second: 3 s of wall time.
    ModemFrontEnd m({}, {}, {}, 30, 10);
    const auto before = ModemFrontEnd::Clock::now();
    Feed(m, "ATDT1\r");
    ASSERT_TRUE(m.Online());
    EXPECT_EQ(m.Tick(before + 2900ms), "");
    EXPECT_TRUE(m.Online());
    EXPECT_EQ(m.Tick(ModemFrontEnd::Clock::now() + 3s), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(m.Online());
    EXPECT_EQ(m.Tick(ModemFrontEnd::Clock::now() + 10s), "") << "said once";
    EXPECT_EQ(Feed(m, "ATO\r"), "\r\nNO CARRIER\r\n") << "the call is gone";
    // A new call gets its own time.
    Feed(m, "ATDT1\r");
    EXPECT_TRUE(m.Online());
    EXPECT_EQ(m.Tick(ModemFrontEnd::Clock::now() + 1s), "");
}

TEST(ModemFrontEnd, EchoOnlyWhenAsked) {
    ModemFrontEnd m({}, {});
    EXPECT_EQ(Feed(m, "ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "AT\r"), "AT\r\r\nOK\r\n");
}

TEST(ModemFrontEnd, EscapeNeedsGuardTimesThenHangsUp) {
    using namespace std::chrono_literals;
    ModemFrontEnd m({}, {});
    Feed(m, "ATDT1\r");
    ASSERT_TRUE(m.Online());
    const auto t0 = ModemFrontEnd::Clock::now() + 5s;
    const std::uint8_t plus[] = {'+', '+', '+'};
    // Without silence before, "+++" is data.
    m.FeedOnline(plus, 3, t0 - 4s + 100ms);
    m.FeedOnline(plus, 3, t0 - 4s + 200ms);
    EXPECT_EQ(m.Tick(t0 - 2s), "");
    EXPECT_TRUE(m.Online());
    // After a second of silence, "+++", then another second: command mode.
    m.FeedOnline(plus, 3, t0);
    EXPECT_EQ(m.Tick(t0 + 500ms), "");
    EXPECT_EQ(m.Tick(t0 + 1100ms), "\r\nOK\r\n");
    EXPECT_FALSE(m.Online());
    EXPECT_EQ(Feed(m, "ATO\r"), "\r\nCONNECT 9600\r\n");
    m.FeedOnline(plus, 3, t0 + 3s);
    EXPECT_EQ(m.Tick(t0 + 4100ms), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATH0\r"), "\r\nOK\r\n");
    EXPECT_EQ(Feed(m, "ATO\r"), "\r\nNO CARRIER\r\n") << "the call is gone";
    m.Reset();
    EXPECT_FALSE(m.Online());
}

} // namespace
} // namespace nereid::sim
