#pragma once

#include <string>
#include <vector>

namespace nereid::cli {

// Exit code of translate and info when a file was refused or could not be written.
constexpr int kExitFileRefused = 6;

// nereid translate --format dadisp|seisan|ascii|hlcp|css|mseed [--out DIR] [--network XX]
//                  [--components 1=Z,2=N,3=E] FILE...
// Translates instrument (HLCP) files already on the PC; prints the path of every file written.
// `args` are the words after "translate". Returns 0, 2 (usage) or kExitFileRefused.
int RunTranslateCommand(const std::vector<std::string>& args);

} // namespace nereid::cli
