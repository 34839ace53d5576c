#include "sim/rate_codes.h"

#include <array>
#include <utility>

namespace nereid::sim {

namespace {

constexpr std::array<std::pair<std::uint8_t, int>, 25> kRates{{
    {20, 10},  {21, 20},  {22, 40},  {23, 50},  {24, 60},  {25, 80},   {30, 100},
    {31, 120}, {32, 125}, {33, 200}, {34, 250}, {35, 500}, {40, 1000}, {60, 1},
    {61, 2},   {62, 4},   {63, 5},   {64, 6},   {65, 8},   {70, 12},   {71, 15},
    {72, 16},  {73, 24},  {74, 25},  {75, 30},
}};

} // namespace

int SamplesPerSecond(std::uint8_t code) {
    for (const auto& [c, rate] : kRates)
        if (c == code)
            return rate;
    return 0;
}

std::uint8_t RateCode(int samplesPerSecond) {
    for (const auto& [c, rate] : kRates)
        if (rate == samplesPerSecond)
            return c;
    return 0;
}

} // namespace nereid::sim
