#include "instrument/sheet/model/page_ids.h"

namespace nereid::instrument {

const char* ModelName(int modelCode) {
    switch (modelCode) {
    case 0:
        return "Quill";
    case 1:
        return "Tellus";
    case 2:
        return "Corvid";
    case 3:
        return "Lumen";
    case 16:
        return "Pallas";
    case 17:
        return "Merlin";
    case 32:
        return "Wren";
    case 33:
        return "Osprey";
    default:
        return "Unknown";
    }
}

} // namespace nereid::instrument
