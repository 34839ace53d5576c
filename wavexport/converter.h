#pragma once

#include "wavexport/merge_check.h"

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace nereid::wavexport {

// Exit codes of the converter.
enum ExitCode : int {
    kExitMerged = 0,    // a merged SEISAN file is in the data folder, the channel files gone
    kExitFailed = 1,    // one of the four stop messages
    kExitNotMerged = 2, // no sound merged file resulted: every channel file is kept
};

// Turns the DADiSP channel files of one recorded period into one multi-channel SEISAN file
// in their folder, with the SEISAN tools pdasei, dirf and seisei of the program folder, or,
// when one of them is missing there or their merge lacks samples, with the built-in SEISAN
// writer.
//
// All work happens in the program folder (the folder of the executable), which becomes the
// current directory. The tools are started without a shell, from an argument vector (pdasei
// names its output files with a space in them, and dirf lists its arguments as they come: it
// expands no pattern), with their input from the answer file "inp" and their output to
// /dev/null, and each is waited for. The channel files are deleted only once the merged file
// has been read back and holds every sample of every one of them; on any failure they are all
// kept and the program folder is left as it was found.
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
    // The DADiSP file with its TIME line's seconds written "ss.00" (pdasei of SEISAN 13 stops
    // with a read error on "ss.0"); other bytes unchanged.
    static std::string WithTwoDigitFraction(const std::string& file);
    // The answer files for seisei, in the order they are tried: SEISAN 13's (merge, output
    // format, network code, default time difference), then the older tools' (merge, network
    // code, a blank line), which SEISAN 13 refuses at the end of its input without writing
    // anything. An older seisei takes the first file's "seisan" as the network code; what it
    // writes then is removed before the second try.
    static std::vector<std::string> SeiseiAnswers(const std::string& network);

private:
    bool ToolsPresent() const;
    // Runs the tool of the program folder with `args`, its input from the answer file when
    // `answers`; returns its exit status, or -1 when it did not start or did not end normally.
    int RunTool(const char* tool, const std::vector<std::string>& args, bool answers);
    bool WriteAnswers(const std::string& text);
    std::string Convert(const std::string& channelFile);
    std::string Merge(const std::string& network);
    void RemoveNew(const std::set<std::string>& before, const std::string& keep);
    int RunWithTools(const std::string& dataPath, const std::vector<std::string>& found);
    int RunBuiltIn(const std::string& dataPath, const std::vector<std::string>& found,
                   const std::string& why);
    int Keep(const std::string& why);
    void RemoveIntermediates();
    void Finish(const std::vector<std::string>& channelFiles, const std::string& merged);

    std::string m_folder;
    std::ostream& m_out;
    std::set<std::string> m_before; // names in the program folder when the run began
};

} // namespace nereid::wavexport
