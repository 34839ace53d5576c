#pragma once

#include "recording/mseed_packer.h"

class QSettings;

namespace nereid::shell {

// The miniSEED stream codes in the user's profile, section "miniSEED":
//   Network     one or two letters or digits (default "XX")
//   Components  channel -> component letters, "1=Z,2=N,3=E" (default: none, the channel
//               number is the component)
// A value that does not parse is not used: its default takes its place.
recording::SMseedOptions LoadMseedOptions(QSettings& settings);
void SaveMseedOptions(QSettings& settings, const recording::SMseedOptions& options);

} // namespace nereid::shell
