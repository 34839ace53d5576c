#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace nereid::wavexport {

// Exit codes of the converter.
enum ExitCode : int {
    kExitMerged = 0,    // a merged SEISAN file is in the data folder
    kExitFailed = 1,    // one of the four stop messages
    kExitNotMerged = 2, // channel files converted, but no merged file resulted (files kept)
};

// Turns the DADiSP channel files of one recorded period into one multi-channel SEISAN file
// in their folder, with the SEISAN tools pdasei, dirf and seisei of the program folder, or,
// when one of them is missing there, with the built-in SEISAN writer.
//
// All work happens in the program folder (the folder of the executable), which becomes the
// current directory. The tools are run through /bin/sh with their input redirected from the
// answer file "inp" and their output to /dev/null, and each is waited for.
class CConverter {
public:
    // `programFolder` without trailing "/". `out` receives the console messages.
    CConverter(std::string programFolder, std::ostream& out);

    // `dataPath` is the DADiSP file named by the recorder (a folder, "/", DD, channel digit,
    // three unit digits, "_", hhmmss, ".", day of year). Returns an ExitCode.
    int Run(const std::string& dataPath);

    // Helpers with their own tests.
    static std::string PatternOf(const std::string& dataPath);
    static std::string NetworkCodeOf(const std::string& seisanFileName);
    // Names in `folder` matching the shell pattern, oldest last-write time first.
    static std::vector<std::string> ListMatching(const std::string& folder,
                                                 const std::string& pattern);
    // The DADiSP file with its TIME line's seconds written "ss.00" (the tools of SEISAN
    // release 13 stop with a read error on "ss.0"); other bytes unchanged.
    static std::string WithTwoDigitFraction(const std::string& file);

private:
    bool ToolsPresent() const;
    int RunTool(const std::string& command);
    bool WriteAnswers(const std::string& text);
    void Convert(const std::string& channelFile);
    int RunWithTools(const std::string& dataPath, const std::vector<std::string>& found);
    int RunBuiltIn(const std::string& dataPath, const std::vector<std::string>& found);
    void RemoveChannelFiles(const std::vector<std::string>& files);

    std::string m_folder;
    std::ostream& m_out;
    std::vector<std::string> m_converted; // channel files whose conversion left a file
};

} // namespace nereid::wavexport
