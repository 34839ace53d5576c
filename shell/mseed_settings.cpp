#include "shell/mseed_settings.h"

#include <QSettings>

namespace nereid::shell {

namespace {

const char* const kNetworkKey = "miniSEED/Network";
const char* const kComponentsKey = "miniSEED/Components";

} // namespace

recording::SMseedOptions LoadMseedOptions(QSettings& settings) {
    recording::SMseedOptions options;
    const std::string network =
        settings.value(kNetworkKey, QString()).toString().trimmed().toUpper().toStdString();
    if (recording::IsValidSeedNetworkCode(network)) {
        options.network = network;
    }
    const std::string components =
        settings.value(kComponentsKey, QString()).toString().toStdString();
    recording::MseedComponentMap map;
    if (recording::ParseMseedComponentMap(components, map, nullptr)) {
        options.components = std::move(map);
    }
    return options;
}

void SaveMseedOptions(QSettings& settings, const recording::SMseedOptions& options) {
    settings.setValue(kNetworkKey, QString::fromStdString(options.network));
    settings.setValue(kComponentsKey, QString::fromStdString(
                                          recording::FormatMseedComponentMap(options.components)));
}

} // namespace nereid::shell
