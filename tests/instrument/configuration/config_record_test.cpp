#include <gtest/gtest.h>

#include <map>
#include <string>

#include "instrument/configuration/model/config_model.h"
#include "link/answer_records.h"
#include "link/command_builder.h"
#include "sim/answer_encoder.h"
#include "sim/byte_order.h"
#include "sim/instrument_state.h"

namespace nereid::instrument {
namespace {

// Reads the simulator's configuration the way the sheet does (0xB2 answer decoded), sends it
// back through the pages without an edit, and compares the 0x89 payload with the simulator's
// record byte for byte. `rewritten` names every byte a page rule may change, with the rule.
void ExpectRoundTrip(sim::InstrumentState& state,
                     const std::map<std::size_t, std::string>& rewritten) {
    const std::vector<std::uint8_t> answer = sim::AnswerEncoder::Configuration(state);
    link::FrameRecord frame;
    ASSERT_EQ(link::DecodeAnswer(link::kConfigurationType, answer.data(), answer.size(), frame), 1);
    const auto* decoded = std::get_if<link::ConfigurationRecord>(&frame.decoded);
    ASSERT_NE(decoded, nullptr);

    recording::CStreamList streams;
    streams.SetStreams(state.Identity().streams);
    CConfigModel model;
    model.Open(state.Identity().model, streams);
    model.ShowAnswer(*decoded);
    EXPECT_FALSE(model.Modified());
    link::ConfigurationRecord out;
    ASSERT_EQ(model.Assemble(out), 1);

    std::vector<std::uint8_t> payload;
    ASSERT_EQ(link::CCommandBuilder::PackPayload(kSetConfiguration, link::CommandRecord{0, out},
                                                 state.Identity().model, false, payload),
              1);
    ASSERT_EQ(payload.size(), state.ConfigCommandLength());
    for (std::size_t i = 0; i < payload.size(); ++i) {
        const auto rule = rewritten.find(i);
        if (rule == rewritten.end()) {
            EXPECT_EQ(payload[i], state.Config()[i]) << "byte " << i << " changed";
        } else {
            EXPECT_NE(payload[i], state.Config()[i])
                << "byte " << i << " expected to change: " << rule->second;
        }
    }
}

TEST(ConfigRecord, SixChannelModelSendsBackWhatItReadExceptTheUnusedChannels) {
    sim::InstrumentIdentity id;
    id.model = 17;
    id.streams = 6;
    sim::InstrumentState state(id);
    // A trigger in LEVEL mode, so that the shared field at record offset 5 is exercised.
    state.Config()[68 + 14] = 1;
    sim::PutU16(&state.Config()[68 + 14 + 5], 1250);
    // Port words without bit 15: the one-port page keeps it as received.
    sim::PutU16(&state.Config()[4], 0x0256);
    // Fields the six-channel page writes as 0 whatever was read.
    state.Config()[45] = 3;
    sim::PutU16(&state.Config()[46], 0x0101);
    ExpectRoundTrip(state, {{20, "rate code of channel 7: the six-channel page sends 0"},
                            {21, "rate code of channel 8: 0"},
                            {28, "rate code of channel 15: 0"},
                            {29, "rate code of channel 16: 0"},
                            {45, "SOH frame byte: 0 on the six-channel page"},
                            {46, "authenticated frame mask, Local: 0"},
                            {47, "authenticated frame mask, Local: 0"}});
}

TEST(ConfigRecord, EightChannelModelsSendBackWhatTheyReadExceptBit15) {
    for (std::uint8_t model : {std::uint8_t{3}, std::uint8_t{0}}) {
        SCOPED_TRACE("model " + std::to_string(model));
        sim::InstrumentIdentity id;
        id.model = model;
        id.streams = 3;
        sim::InstrumentState state(id);
        // Values the pages must carry back: authentication bits of the rows' channels, SOH
        // enables, an extended rate on the secondary stream of channel 2 and a disabled
        // channel.
        sim::PutU16(&state.Config()[46], 0x0005);
        sim::PutU16(&state.Config()[48], 0x0002);
        sim::PutU16(&state.Config()[56], 0x0007);
        state.Config()[45] = 2;
        state.Config()[13 + 10] = 61;
        sim::PutU16(&state.Config()[12], 0x0705);
        // The Main port word read without bit 15, which the five-port page always sets.
        sim::PutU16(&state.Config()[4], 0x0256);
        ExpectRoundTrip(state, {{5, "Main port word: bit 15 set by the five-port page"}});
    }
}

TEST(ConfigRecord, EightChannelPageClearsAuthenticationBitsWithoutARow) {
    sim::InstrumentIdentity id;
    id.model = 3;
    id.streams = 3;
    sim::InstrumentState state(id);
    sim::PutU16(&state.Config()[46], 0xFF0F); // bits 3..15 have no row
    ExpectRoundTrip(state, {{46, "auth mask Local: bit 3 cleared (channel 4 has no row)"},
                            {47, "auth mask Local: bits 8..15 cleared"}});
}

} // namespace
} // namespace nereid::instrument
