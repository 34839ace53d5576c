#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::instrument {

// Key names of the five ports (port.P.*), ports 0..4, and the page names fields are grouped
// under.
constexpr const char* kPortKeys[5] = {"local", "main", "slot0", "slot1", "slot2"};
constexpr const char* kCommunicationsGroup = "Communications";
constexpr const char* kChannelsGroup = "Channels";
constexpr const char* kTimeGroup = "Time";
constexpr const char* kTriggersGroup = "Triggers";
// Key values of the sync modes 0..2 and trigger modes 0..2.
constexpr const char* kSyncKeys[3] = {"none", "ext1pps", "gps"};
constexpr const char* kTriggerModeKeys[3] = {"none", "level", "sta/lta"};

std::string OnOff(bool on);
// A decimal field as the pages show it: up to two decimals, trailing zeros dropped.
std::string DecimalText(double value);
// The name of a list position, or "unselected" / "position N" outside the list.
std::string ListText(const char* const* names, int count, int position);

std::string Lower(std::string s);
// "channel.1.rate" -> "channel", "1", "rate".
std::vector<std::string> SplitKey(const std::string& key);
// on/off, true/false, yes/no, 1/0 (any case).
bool ParseOnOff(const std::string& text, bool& out);
// Digits only (at most 12), as the pages' number fields accept.
bool ParseWhole(const std::string& text, long long& out);
// Digits with at most one decimal point, as the trigger page's decimal fields accept.
bool ParseDecimal(const std::string& text, double& out);
// Position of `text` among `names` ignoring case, or -1.
int FindName(const char* const* names, int count, const std::string& text);

} // namespace nereid::instrument
