#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nereid::recording {
struct FileChannel;
}

namespace nereid::display::model {

// The lines of the "Header Information" box of a file channel, label and text, in order:
// "File Type", "Sample Rate" ("%d"), "Date", "Time", "Station Name", "Total Time"
// ("%.3f Minute"), "Recording Format" (sample type name or "Unknown"), "File Name".
std::vector<std::pair<std::string, std::string>> HeaderInfo(const recording::FileChannel& file);

} // namespace nereid::display::model
