#pragma once

#include <vector>

#include "instrument/sheet/model/sheet_cycle.h"

namespace nereid::instrument {

// The pages a sheet keeps for a model code, in tab order (dialog identifiers). Status: four
// pages with model code 17, else three. Configuration: one-port Communications, six-channel
// Channels, Time and Triggers with 17, else five-port Communications, eight-channel Channels and
// Time. Command: eleven with 17 (no damping), ten with 3 (damping, no power-down-drive and
// real-time), nine otherwise.
std::vector<int> PagesFor(SheetKind sheet, int modelCode);

// Every page a sheet's constructor creates, in tab order, before the first opening removes
// those that do not apply.
std::vector<int> AllPagesOf(SheetKind sheet);

// The page set of a sheet, decided once per program run at the sheet's first opening and
// kept even if a recorder of another model connects later. Model code 0 is a valid code: the
// decision has a flag of its own.
class CPageSetLatch {
public:
    // At the first call: remembers modelCode and returns true (the caller removes the pages
    // not in Pages()). Later calls change nothing and return false.
    bool Latch(int modelCode);
    bool Latched() const { return m_Latched; }
    // The model code seen at the first opening (0 before it).
    int ModelCode() const { return m_ModelCode; }

private:
    bool m_Latched = false;
    int m_ModelCode = 0;
};

} // namespace nereid::instrument
