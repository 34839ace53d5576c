#pragma once

#include <string>
#include <utility>
#include <vector>

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"

namespace nereid::cli {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// The internal recording setup as KEY=VALUE pairs, in page order; the keys are those
// ApplySetupKey takes.
KeyValues RenderSetup(const instrument::CIRSetupModel& setup);

// The same pairs as one JSON object of strings.
std::string SetupJson(const KeyValues& values);

// Sets one key through the page models, with the corrections the pages make on leaving an
// edit (each one said in `note`). Drives must be installed ones (from `drives`). Returns 1,
// or -1 with `error` when the key or value is refused.
int ApplySetupKey(instrument::CIRSetupModel& setup, const instrument::CDriveNames& drives,
                  const std::string& key, const std::string& value, std::string& note,
                  std::string& error);

} // namespace nereid::cli
