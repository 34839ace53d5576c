#pragma once

#include <string>
#include <vector>

#include "instrument/configuration/model/config_model.h"

namespace nereid::instrument {

// One KEY=VALUE of `nereid config set`; the keys are those of ConfigurationFields.
struct ConfigSetting {
    std::string key;
    std::string value;
};

// Splits "KEY=VALUE" at the first '='. Returns 1, or 0 when there is no '=' or the key is
// empty.
int ParseConfigSetting(const std::string& text, ConfigSetting& out);

// What ApplyConfigSettings refused and what it corrected, one line each.
struct ConfigSettingReport {
    std::vector<std::string> refusals;
    std::vector<std::string> notes;
};

// Applies the settings to the pages of `model` (after its ShowAnswer) with the pages' own
// lists, ranges, corrections and refusals: mode and primary-rate settings first, since the
// secondary rates, the filter-corner limits and the level/STA field depend on them. A value
// a page corrects (a corner above half the group rate, a trigger level above 100, ...) is
// taken corrected and said in report.notes. Returns 1 when every setting was taken, or 0 when
// any was refused (report.refusals says which and why); the model must then not be sent.
int ApplyConfigSettings(CConfigModel& model, const std::vector<ConfigSetting>& settings,
                        ConfigSettingReport& report);

} // namespace nereid::instrument
