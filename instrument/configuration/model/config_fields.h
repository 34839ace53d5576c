#pragma once

#include <string>
#include <vector>

#include "instrument/configuration/model/config_model.h"

namespace nereid::instrument {

// One field of the configuration as a page shows it, under a KEY the command line uses.
struct ConfigField {
    std::string page;    // "Communications", "Channels", "Time", "Triggers"
    std::string key;     // for example "channel.1.rate", "port.local.baud", "time.sync"
    std::string value;   // as shown: "200", "on", "HLCP", "gps", "0.1"
    bool number = false; // the value is a plain number
};

// Every field of the present pages, page by page in tab order, as the pages show them after
// ShowAnswer: the ports, the channel rows of the stream list, the clock fields (the greyed
// ones too) and, for model code 17, the triggers of channels 1..6.
std::vector<ConfigField> ConfigurationFields(const CConfigModel& model);

} // namespace nereid::instrument
