#include "cli/order_command.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>

#include "cli/sheet_session.h"
#include "instrument/command/model/command_models.h"
#include "recording/stream_list.h"

namespace nereid::cli {

namespace {

using Args = std::vector<std::string>;

// What an order needs, worked out from the command line before connecting.
struct Order {
    std::string name;
    int onlyModel = -1; // model code the order belongs to; -1 every model
    std::unique_ptr<instrument::CPageModel> page;
    std::map<int, int> relays; // channel -> position 0 Sig, 1 L.B., 2 Short
    bool relayOrder = false;
    enum Damping { kNoDamping, kShow, kEnable, kValues } damping = kNoDamping;
    std::vector<int> enable; // channels 1..8
    std::vector<std::string> values;
};

int Usage(const std::string& why) {
    std::cerr << "nereid order: " << why << "\n" << OrderUsage();
    return kExitUsage;
}

template <typename Model> std::unique_ptr<instrument::CPageModel> Choice(int choice) {
    auto model = std::make_unique<Model>();
    model->SetChoice(choice);
    return model;
}

// Reads "word" against two or three choices; -1 when it is none of them.
int ChoiceOf(const Args& a, std::initializer_list<const char*> words) {
    if (a.size() != 2)
        return -1;
    int i = 0;
    for (const char* w : words) {
        if (a[1] == w)
            return i;
        ++i;
    }
    return -1;
}

int Parse(const Args& a, Order& o) {
    o.name = a[0];
    const std::string& n = o.name;
    if (n == "cold-reset" || n == "warm-reset" || n == "power-off" || n == "flush" ||
        n == "adc-offset") {
        if (a.size() != 1)
            return Usage(n + " takes no arguments");
        if (n == "cold-reset")
            o.page =
                std::make_unique<instrument::CPlainOrderModel>(instrument::MakeColdResetModel());
        else if (n == "warm-reset")
            o.page =
                std::make_unique<instrument::CPlainOrderModel>(instrument::MakeWarmResetModel());
        else if (n == "power-off")
            o.page =
                std::make_unique<instrument::CPlainOrderModel>(instrument::MakePowerOffModel());
        else if (n == "flush")
            o.page = std::make_unique<instrument::CPlainOrderModel>(instrument::MakeFlushModel());
        else
            o.page = std::make_unique<instrument::CAdcOffsetModel>();
        return kExitOk;
    }
    if (n == "power-down-drive") {
        const int c = ChoiceOf(a, {"B", "C", "D"});
        if (c < 0)
            return Usage("power-down-drive takes B, C or D");
        o.page = Choice<instrument::CPowerDownDriveModel>(c);
        o.onlyModel = instrument::kMerlinModel;
        return kExitOk;
    }
    if (n == "acquisition") {
        const int c = ChoiceOf(a, {"start", "stop"});
        if (c < 0)
            return Usage("acquisition takes start or stop");
        o.page = Choice<instrument::CAcquisitionModel>(c);
        return kExitOk;
    }
    if (n == "vpp" || n == "led") {
        const int c = ChoiceOf(a, {"on", "off"});
        if (c < 0)
            return Usage(n + " takes on or off");
        auto model = std::make_unique<instrument::CSwitchModel>(
            n == "vpp" ? instrument::MakeVppModel() : instrument::MakeLedModel());
        model->SetChoice(c);
        o.page = std::move(model);
        return kExitOk;
    }
    if (n == "realtime") {
        const int c = ChoiceOf(a, {"stop", "start"});
        if (c < 0)
            return Usage("realtime takes start or stop");
        o.page = Choice<instrument::CRealTimeModel>(c);
        o.onlyModel = instrument::kMerlinModel;
        return kExitOk;
    }
    if (n == "relays") {
        o.relayOrder = true;
        for (std::size_t i = 1; i < a.size(); ++i) {
            const std::size_t eq = a[i].find('=');
            char* end = nullptr;
            const long channel = eq == std::string::npos ? 0 : std::strtol(a[i].c_str(), &end, 10);
            const std::string position = eq == std::string::npos ? "" : a[i].substr(eq + 1);
            const int p = position == "sig"     ? 0
                          : position == "lb"    ? 1
                          : position == "short" ? 2
                                                : -1;
            if (eq == std::string::npos || end != a[i].c_str() + eq || channel < 1 ||
                channel > 16 || p < 0)
                return Usage("relays takes CH=sig|lb|short, not '" + a[i] + "'");
            if (!o.relays.emplace(static_cast<int>(channel), p).second)
                return Usage("channel " + std::to_string(channel) + " named twice");
        }
        return kExitOk;
    }
    if (n == "damping") {
        o.onlyModel = instrument::kLumenModel;
        if (a.size() == 2 && a[1] == "show") {
            o.damping = Order::kShow;
            return kExitOk;
        }
        if (a.size() == 3 && a[1] == "enable") {
            o.damping = Order::kEnable;
            if (a[2] == "none")
                return kExitOk;
            std::size_t from = 0;
            while (from <= a[2].size()) {
                const std::size_t comma = std::min(a[2].find(',', from), a[2].size());
                long channel = 0;
                std::string message;
                if (instrument::ParseRangedInteger(a[2].substr(from, comma - from), 1, 8, channel,
                                                   message) != 1)
                    return Usage("damping enable takes channels 1..8 separated by commas, or "
                                 "none: " +
                                 message);
                o.enable.push_back(static_cast<int>(channel));
                from = comma + 1;
            }
            return kExitOk;
        }
        if (a.size() == 10 && a[1] == "values") {
            o.damping = Order::kValues;
            instrument::CDampingModel check;
            for (int k = 0; k < 8; ++k) {
                std::string message;
                if (check.SetValueText(k, a[static_cast<std::size_t>(k) + 2], message) != 1)
                    return Usage("value of channel " + std::to_string(k + 1) + ": " + message);
                o.values.push_back(a[static_cast<std::size_t>(k) + 2]);
            }
            return kExitOk;
        }
        return Usage("damping takes show, enable CH,... or values V1 ... V8");
    }
    return Usage("unknown order '" + n + "'");
}

int Report(int result) {
    (result == kExitOk ? std::cout : std::cerr) << ResultLine(result) << "\n";
    return result;
}

int RunDamping(CSheetSession& session, Order& o) {
    instrument::CDampingModel damping;
    if (o.damping != Order::kValues) {
        // The page's first action: the recorder's settings, which also become the state the
        // enable send compares with.
        const int read = session.Run(damping.QueryCode(), link::CommandRecord{}, &damping);
        if (read != kExitOk) {
            std::cerr << "nereid order: damping settings: " << ResultLine(read) << "\n";
            return read;
        }
        if (o.damping == Order::kShow) {
            PrintFields(damping.Fields(), std::cout);
            return kExitOk;
        }
    }
    std::uint8_t code = 0;
    link::CommandRecord record;
    std::string message;
    int prepared = instrument::kNothingToSend;
    if (o.damping == Order::kEnable) {
        for (int k = 0; k < instrument::CDampingModel::kChannels; ++k)
            damping.SetEnabled(k, std::find(o.enable.begin(), o.enable.end(), k + 1) !=
                                      o.enable.end());
        prepared = damping.PrepareEnables(code, record, message);
    } else {
        for (int k = 0; k < instrument::CDampingModel::kChannels; ++k)
            damping.SetValueText(k, o.values[static_cast<std::size_t>(k)], message);
        prepared = damping.PrepareValues(code, record, message);
    }
    if (prepared != instrument::kPrepared) {
        std::cout << message << "\n"; // nothing changed: nothing to send, not a failure
        return kExitOk;
    }
    return Report(session.Run(code, record));
}

} // namespace

const char* OrderUsage() {
    return "Orders: cold-reset | warm-reset | power-off | flush | power-down-drive B|C|D\n"
           "        | acquisition start|stop | relays [CH=sig|lb|short ...] | vpp on|off\n"
           "        | led on|off | realtime start|stop | adc-offset | damping show\n"
           "        | damping enable CH,...|none | damping values V1 ... V8\n";
}

int RunOrderCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty())
        return Usage("which order?");
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << "Usage: nereid order COMMAND [ARGS]\n" << OrderUsage();
        return kExitOk;
    }
    Order order;
    if (const int parsed = Parse(args, order); parsed != kExitOk)
        return parsed;

    CSheetSession session;
    const int connected = session.Connect(options, std::cerr);
    if (connected != kExitOk)
        return connected;
    const int model = session.ModelCode();
    if (order.onlyModel >= 0 && model != order.onlyModel) {
        std::cerr << "nereid order: the " << instrument::ModelName(model) << " (model code "
                  << model << ") has no " << order.name << " order; it belongs to the "
                  << instrument::ModelName(order.onlyModel) << " (model code " << order.onlyModel
                  << ")\n";
        return kExitUsage;
    }
    if (order.damping != Order::kNoDamping)
        return RunDamping(session, order);
    if (order.relayOrder) {
        recording::CStreamList streams;
        streams.SetStreams(session.StreamCount());
        auto relays = std::make_unique<instrument::CRelayModel>();
        relays->SetStreams(streams);
        for (const auto& [channel, position] : order.relays) {
            if (channel > relays->RowCount()) {
                std::cerr << "nereid order: channel " << channel
                          << " has no relay on this recorder (channels 1.." << relays->RowCount()
                          << ")\n";
                return kExitUsage;
            }
            relays->RowAt(channel - 1).enabled = true;
            relays->RowAt(channel - 1).position = position;
        }
        order.page = std::move(relays);
    }
    std::uint8_t code = 0;
    link::CommandRecord record;
    std::string message;
    if (order.page->Prepare(code, record, message) != instrument::kPrepared) {
        std::cerr << "nereid order: " << message << "\n";
        return kExitUsage;
    }
    return Report(session.Run(code, record));
}

} // namespace nereid::cli
