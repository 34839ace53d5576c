// The page models of the sheets: each decodes an answer of its type and encodes its command
// from what it shows. A number field shows a number; a command a model prepares is one the
// builder accepts; and what a model encodes is a fixed point: decoded again and encoded again
// it gives the same bytes (no value drifts through the pages).
#include "fuzz/fuzz_support.h"
#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/command/model/command_models.h"
#include "instrument/configuration/model/config_model.h"
#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/status/model/status_models.h"
#include "link/answer_records.h"
#include "link/command_builder.h"
#include "link/frame_codec.h"
#include "recording/stream_list.h"

#include <cctype>

using namespace nereid;
using namespace nereid::instrument;

namespace {

void CheckFields(const std::vector<PageField>& fields) {
    for (const PageField& f : fields) {
        NEREID_FUZZ_CHECK(f.text.size() < 512);
        if (f.kind != PageField::kNumber)
            continue;
        std::size_t i = 0;
        if (i < f.text.size() && (f.text[i] == '+' || f.text[i] == '-'))
            ++i;
        bool digits = false;
        for (; i < f.text.size(); ++i) {
            const char c = f.text[i];
            if (std::isdigit(static_cast<unsigned char>(c)))
                digits = true;
            else
                NEREID_FUZZ_CHECK(c == '.');
        }
        NEREID_FUZZ_CHECK(digits);
    }
}

std::vector<std::uint8_t> Packed(std::uint8_t code, const link::CommandRecord& record,
                                 std::uint8_t model) {
    std::vector<std::uint8_t> payload;
    NEREID_FUZZ_CHECK(link::CCommandBuilder::PackPayload(code, record, model, false, payload) == 1);
    return payload;
}

void CheckBuilds(std::uint8_t code, const link::CommandRecord& record, std::uint8_t model,
                 bool longCalibration = false) {
    link::CCommandBuilder builder;
    std::uint8_t out[link::kMaxCommandFrameBytes];
    NEREID_FUZZ_CHECK(builder.Build(code, record, model, longCalibration, out, sizeof out) > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kTypes[] = {
        link::kHardwareStatusType, link::kStateOfHealthType,       link::kGpsInformationType,
        link::kConfigurationType,  link::kCalibrationSettingsType, link::kInternalRecordingType,
        link::kDampingSettingsType};
    if (size < 2)
        return 0;
    const std::uint8_t type = kTypes[data[0] % std::size(kTypes)];
    const std::uint8_t model = (data[1] & 1) ? 17 : 3;
    const bool extended = (data[1] & 2) != 0;
    const std::vector<std::uint8_t> payload(data + 2, data + size);
    link::FrameRecord answer;
    NEREID_FUZZ_CHECK(link::DecodeAnswer(type, payload.data(), payload.size(), answer) == 1);
    answer.type = type;
    answer.payload = payload;

    switch (type) {
    case link::kHardwareStatusType: {
        CHardwareModel m;
        m.ShowAnswer(answer);
        CheckFields(m.Fields());
        break;
    }
    case link::kStateOfHealthType: {
        CStateOfHealthModel m;
        m.SetModelCode(model);
        m.ShowAnswer(answer);
        CheckFields(m.Fields());
        break;
    }
    case link::kGpsInformationType: {
        CGpsModel m;
        m.ShowAnswer(answer);
        CheckFields(m.Fields());
        break;
    }
    case link::kDampingSettingsType: {
        CDampingModel m;
        m.ShowAnswer(answer);
        CheckFields(m.Fields());
        std::uint8_t code = 0;
        link::CommandRecord record;
        std::string message;
        if (m.Prepare(code, record, message) == kPrepared)
            CheckBuilds(code, record, model);
        break;
    }
    case link::kConfigurationType: {
        const auto* received = std::get_if<link::ConfigurationRecord>(&answer.decoded);
        if (received == nullptr)
            break;
        recording::CStreamList streams;
        streams.SetStreams(model == 17 ? 6 : 8);
        CConfigModel config;
        config.Open(model, streams);
        config.ShowAnswer(*received);
        link::ConfigurationRecord first;
        if (config.Assemble(first) != 1)
            break;
        link::CommandRecord one{0, first};
        CheckBuilds(0x89, one, model);
        CConfigModel again;
        again.Open(model, streams);
        again.ShowAnswer(first);
        link::ConfigurationRecord second;
        NEREID_FUZZ_CHECK(again.Assemble(second) == 1);
        NEREID_FUZZ_CHECK(Packed(0x89, one, model) ==
                          Packed(0x89, link::CommandRecord{0, second}, model));
        break;
    }
    case link::kCalibrationSettingsType: {
        for (bool scheduled : {false, true}) {
            CCalPageModel page(scheduled);
            page.SetModelCode(model);
            if (page.Decode(answer, extended) != 1)
                continue;
            CalCommand command;
            std::vector<CalMessage> messages;
            if (page.BuildSend(command, messages) == 1)
                CheckBuilds(command.code, command.record, model, extended);
            else
                NEREID_FUZZ_CHECK(!messages.empty());
        }
        break;
    }
    case link::kInternalRecordingType: {
        const auto* received = std::get_if<link::InternalRecordingRecord>(&answer.decoded);
        if (received == nullptr)
            break;
        CIRSetupModel setup;
        setup.Decode(*received);
        const link::InternalRecordingRecord first = setup.Encode();
        const link::CommandRecord one{0, first};
        CheckBuilds(kWriteSetupCode, one, model);
        CIRSetupModel again;
        again.Decode(first);
        NEREID_FUZZ_CHECK(Packed(kWriteSetupCode, one, model) ==
                          Packed(kWriteSetupCode, link::CommandRecord{0, again.Encode()}, model));
        break;
    }
    }
    return 0;
}
