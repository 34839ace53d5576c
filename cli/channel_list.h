#pragma once

#include <set>
#include <string>

namespace nereid::cli {

// Parses "1,2,9" (channel numbers 1 to 16, comma-separated, no blanks) into `channels`.
// False, with `channels` untouched, when any item is not such a number.
bool ParseChannelList(const std::string& text, std::set<int>& channels);

} // namespace nereid::cli
