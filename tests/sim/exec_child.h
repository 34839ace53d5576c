#pragma once

#include <string>
#include <unistd.h>
#include <vector>

namespace nereid::sim::test {

// In a forked child: runs args[0] with `args` as its arguments, or ends the child with 127
// when it cannot be run (as a shell reports a missing program).
[[noreturn]] inline void ExecOrExit(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

} // namespace nereid::sim::test
