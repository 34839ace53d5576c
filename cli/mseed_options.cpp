#include "cli/mseed_options.h"

#include <cctype>

namespace nereid::cli {

int TakeMseedOption(const std::vector<std::string>& args, std::size_t& i,
                    recording::SMseedOptions& options, std::string& error) {
    const std::string& name = args[i];
    if (name != "--network" && name != "--components") {
        return 0;
    }
    if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return -1;
    }
    const std::string& value = args[i + 1];
    if (name == "--network") {
        std::string code;
        for (const char c : value) {
            code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (!recording::IsValidSeedNetworkCode(code)) {
            error = "--network takes one or two letters or digits, not '" + value + "'";
            return -1;
        }
        options.network = code;
    } else {
        std::string why;
        if (!recording::ParseMseedComponentMap(value, options.components, &why)) {
            error = "--components: " + why;
            return -1;
        }
    }
    i += 1;
    return 1;
}

} // namespace nereid::cli
