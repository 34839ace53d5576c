#include "cli/channel_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace nereid::cli {

bool ParseChannelList(const std::string& text, std::set<int>& channels) {
    std::set<int> parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        errno = 0;
        const long channel = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || errno != 0 || channel < 1 || channel > 16 ||
            item[0] == '+' || item[0] == ' ') {
            return false;
        }
        parsed.insert(static_cast<int>(channel));
        start = comma + 1;
    }
    channels.insert(parsed.begin(), parsed.end());
    return true;
}

} // namespace nereid::cli
