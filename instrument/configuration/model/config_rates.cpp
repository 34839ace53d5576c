#include "instrument/configuration/model/config_rates.h"

#include "recording/rate_codes.h"

namespace nereid::instrument {

const std::vector<RateChoice>& StandardRateList() {
    static const std::vector<RateChoice> kList = {
        {10, 20},  {20, 21},  {40, 22},  {50, 23},  {60, 24},  {80, 25},  {100, 30},
        {120, 31}, {125, 32}, {200, 33}, {250, 34}, {500, 35}, {1000, 40}};
    return kList;
}

const std::vector<RateChoice>& ExtendedRateList() {
    static const std::vector<RateChoice> kList = {
        {1, 60},   {2, 61},   {4, 62},   {5, 63},   {6, 64},   {8, 65},   {10, 20},
        {12, 70},  {15, 71},  {16, 72},  {20, 21},  {24, 73},  {25, 74},  {30, 75},
        {40, 22},  {50, 23},  {60, 24},  {80, 25},  {100, 30}, {120, 31}, {125, 32},
        {200, 33}, {250, 34}, {500, 35}, {1000, 40}};
    return kList;
}

int RatePositionOfCode(const std::vector<RateChoice>& list, std::uint8_t code) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int RatePositionOfRate(const std::vector<RateChoice>& list, int samplesPerSecond) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].samplesPerSecond == samplesPerSecond) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::uint8_t RateCodeOfSamplesPerSecond(int samplesPerSecond) {
    if (samplesPerSecond <= 0) {
        return 0;
    }
    for (int code = 1; code < 256; ++code) {
        if (recording::SamplesPerSecondFromRateCode(static_cast<std::uint8_t>(code)) ==
            samplesPerSecond) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return 0;
}

std::vector<int> SecondaryRates(int primary) {
    std::vector<int> rates;
    if (primary <= 0) {
        return rates;
    }
    for (int d = 2; d <= 10; ++d) {
        if (primary % d == 0) {
            rates.push_back(primary / d);
        }
    }
    return rates;
}

} // namespace nereid::instrument
