#pragma once

#include <cstdint>

#include "link/command_records.h"

namespace nereid::sim::test {

// A command record carrying one byte, and one carrying nothing.
inline link::CommandRecord Byte(std::uint8_t v) {
    return link::CommandRecord{0, link::ByteCommand{v}};
}
inline link::CommandRecord Plain() {
    return link::CommandRecord{};
}

} // namespace nereid::sim::test
