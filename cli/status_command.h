#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::cli {

// nereid status [--json] [hardware|health|gps|drives]...: queries the Status sheet's pages
// and prints each value as the page shows it. Without page names, every page the model has.
// Returns kExitOk, kExitUsage, kExitNoPort, kExitNoAnswer or kExitRefused.
int RunStatusCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// The page model of one Status page by its name (hardware, health, gps, drives), for the
// recorder of `modelCode`.
std::unique_ptr<instrument::CPageModel> StatusPageModel(const std::string& name, int modelCode);

// The pages `nereid status` reads without page names: every page the model has.
std::vector<std::string> DefaultStatusPages(int modelCode);

} // namespace nereid::cli
