#pragma once

#include <string>

#include "recording/mseed_packer.h"
#include <vector>

namespace nereid::shell {

// What happened to one source file of a translation.
struct TranslateOutcome {
    std::string source;     // path of the source file
    int result = 0;         // 1 written, 0 refused or failed
    std::string outputName; // the output file's name when written
    std::string message;    // why it was refused or failed; empty when written
};

// Translates each source file into `form` (HlcpTranslator::Form) in the destination folder:
// the file is mapped read-only and fed whole. A file that cannot be read or is refused is
// reported and the next one is tried; when the working buffers cannot be made the run stops
// ("Fails due to the mapped file"), as every later file would fail the same way.
// `mseed` gives the miniSEED form's network code and component letters.
std::vector<TranslateOutcome> TranslateFiles(const std::vector<std::string>& sources, int form,
                                             const std::string& destinationFolder,
                                             const recording::SMseedOptions& mseed = {});

} // namespace nereid::shell
