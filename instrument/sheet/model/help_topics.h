#pragma once

#include <string>

#include "instrument/sheet/model/sheet_cycle.h"

namespace nereid::instrument {

// Context topics of the HELP buttons.
constexpr int kCommandSheetHelpTopic = 98038;
constexpr int kConfigurationSheetHelpTopic = 98039;
// The flush page's tab topic is not its dialog identifier.
constexpr int kFlushTabTopic = 32580 + 0x20000;

// How a page answers F1 or the help cursor.
enum PageHelpKind : int {
    kNoPageHelp = 0,    // "    Triggers    ", " Flush   Data", damping
    kControlHelp = 1,   // a topic per control under the request
    kPageLevelHelp = 2, // one topic for the page, whatever the control
};

PageHelpKind HelpKindOf(int dialogId);

// 0x20000 + dialog identifier.
int PageTopic(int dialogId);
// 0x80000000 + dialog identifier x 0x10000 + control identifier, as an unsigned number.
unsigned ControlTopic(int dialogId, int controlId);

// The topic of an F1 or help-cursor request on a page: the control topic, the page topic or
// 0 (no help), by the page's help kind.
unsigned PageRequestTopic(int dialogId, int controlId);

// The topic of a help request on a sheet's tab strip at (x, y), fractions of the sheet
// window's width and height from its top-left corner. `activePage` matters on the Command
// sheet, whose two tab rows swap while a page of the lower row is active. Returns 0 outside
// every band.
int TabStripTopic(SheetKind sheet, int modelCode, int activePage, double x, double y);

// The text the help viewer shows for a topic (a page topic, a control topic, a HELP button
// topic); empty when the topic has no text.
std::string HelpText(unsigned topic);

} // namespace nereid::instrument
