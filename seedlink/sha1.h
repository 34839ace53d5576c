#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace nereid::seedlink {

// SHA-1 of `data` (FIPS 180-4). Only for the WebSocket handshake, where RFC 6455 names it;
// never for anything that needs to be secret.
std::array<std::uint8_t, 20> Sha1(std::string_view data);

} // namespace nereid::seedlink
