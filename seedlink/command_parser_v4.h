#pragma once

#include <string_view>
#include <vector>

#include "seedlink/command_parser.h"

namespace nereid::seedlink::detail {

// The 4.0 forms of DATA and SELECT; `w` are the words of the line, the verb first.
SSeedLinkCommand ParseDataV4(const std::vector<std::string_view>& w);
SSeedLinkCommand ParseSelectV4(const std::vector<std::string_view>& w);
// Station ids, stream ids and their patterns in 4.0: letters, digits, '_', '-' and wildcards.
bool IsIdPattern(std::string_view text, std::size_t maxLength);
SSeedLinkCommand Invalid(std::string why, const char* code = kErrorArguments);
std::string Upper(std::string_view word);

} // namespace nereid::seedlink::detail
