#include "wavexport/converter.h"

#include <climits>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

// Folder of this executable: /proc/self/exe, or argv[0] up to its last "/", or the current
// directory when argv[0] has none.
std::string ProgramFolder(const char* argv0) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self = n > 0 ? std::string(buffer, static_cast<std::size_t>(n))
                             : std::string(argv0 != nullptr ? argv0 : "");
    const std::size_t slash = self.find_last_of('/');
    if (slash == std::string::npos) {
        char cwd[PATH_MAX];
        return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
    }
    return slash == 0 ? std::string("/") : self.substr(0, slash);
}

// The data path made absolute against the directory the program was started in.
std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        return path;
    }
    return std::string(cwd) + "/" + path;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = ProgramFolder(argc > 0 ? argv[0] : nullptr);
    if (folder.empty()) {
        std::cout << " Error retrieving programs path name\n";
        return nereid::wavexport::kExitFailed;
    }
    if (argc < 2 || argv[1][0] == '\0') {
        std::cout << " Error retrieving command line arguments\n";
        return nereid::wavexport::kExitFailed;
    }
    const std::string dataPath = Absolute(argv[1]);
    if (::chdir(folder.c_str()) != 0) {
        std::cout << " Error changing to working directory\n";
        return nereid::wavexport::kExitFailed;
    }
    nereid::wavexport::CConverter converter(folder == "/" ? std::string() : folder, std::cout);
    return converter.Run(dataPath);
}
