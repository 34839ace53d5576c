#include "cli/status_command.h"

#include <iostream>
#include <memory>

#include "cli/sheet_session.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/status/model/drive_status_model.h"
#include "instrument/status/model/status_models.h"

namespace nereid::cli {

namespace {

const char* const kPageNames[] = {"hardware", "health", "gps", "drives"};

} // namespace

std::unique_ptr<instrument::CPageModel> StatusPageModel(const std::string& name, int modelCode) {
    if (name == "hardware")
        return std::make_unique<instrument::CHardwareModel>();
    if (name == "health") {
        auto health = std::make_unique<instrument::CStateOfHealthModel>();
        health->SetModelCode(modelCode);
        return health;
    }
    if (name == "gps")
        return std::make_unique<instrument::CGpsModel>();
    return std::make_unique<instrument::CDriveStatusModel>();
}

std::vector<std::string> DefaultStatusPages(int modelCode) {
    std::vector<std::string> pages = {"hardware", "health", "gps"};
    if (modelCode == instrument::kMerlinModel)
        pages.push_back("drives");
    return pages;
}

int RunStatusCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false;
    std::vector<std::string> pages;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
            continue;
        }
        bool known = false;
        for (const char* name : kPageNames)
            known = known || a == name;
        if (!known) {
            std::cerr << "nereid status: unknown page '" << a
                      << "' (hardware, health, gps or drives)\n";
            return kExitUsage;
        }
        pages.push_back(a);
    }

    CSheetSession session;
    const int connected = session.Connect(options, std::cerr);
    if (connected != kExitOk)
        return connected;
    const int model = session.ModelCode();
    const bool merlin = model == instrument::kMerlinModel;
    if (pages.empty())
        pages = DefaultStatusPages(model);
    for (const std::string& page : pages) {
        if (page == "drives" && !merlin) {
            std::cerr << "nereid status: the " << instrument::ModelName(model) << " (model code "
                      << model << ") has no drive status page\n";
            return kExitUsage;
        }
    }

    std::string document = "[";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::unique_ptr<instrument::CPageModel> page = StatusPageModel(pages[i], model);
        const int result = session.Run(page->QueryCode(), link::CommandRecord{}, page.get());
        if (result != kExitOk) {
            std::cerr << "nereid status: " << page->Caption() << ": " << ResultLine(result) << "\n";
            return result;
        }
        if (json) {
            document += i == 0 ? "" : ",";
            document += "\n  {\"page\": " + JsonString(page->Caption()) + ", \"values\": {";
            AppendJsonFields(page->Fields(), document);
            document += "}}";
        } else {
            if (i > 0)
                std::cout << "\n";
            PrintFields(page->Fields(), std::cout);
        }
    }
    if (json)
        std::cout << document << "\n]\n";
    return kExitOk;
}

} // namespace nereid::cli
