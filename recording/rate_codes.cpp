#include "recording/rate_codes.h"

namespace nereid::recording {

int SamplesPerSecondFromRateCode(std::uint8_t code) {
    switch (code) {
    case 20:
        return 10;
    case 21:
        return 20;
    case 22:
        return 40;
    case 23:
        return 50;
    case 24:
        return 60;
    case 25:
        return 80;
    case 30:
        return 100;
    case 31:
        return 120;
    case 32:
        return 125;
    case 33:
        return 200;
    case 34:
        return 250;
    case 35:
        return 500;
    case 40:
        return 1000;
    case 60:
        return 1;
    case 61:
        return 2;
    case 62:
        return 4;
    case 63:
        return 5;
    case 64:
        return 6;
    case 65:
        return 8;
    case 70:
        return 12;
    case 71:
        return 15;
    case 72:
        return 16;
    case 73:
        return 24;
    case 74:
        return 25;
    case 75:
        return 30;
    default:
        return 0;
    }
}

int RateOfCode(int code) {
    const int rate = code >= 0 && code <= 0xFF
                         ? SamplesPerSecondFromRateCode(static_cast<std::uint8_t>(code))
                         : 0;
    // Recorder files with a code the table does not know are taken at 10 samples/s.
    return rate != 0 ? rate : 10;
}

} // namespace nereid::recording
