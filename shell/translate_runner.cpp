#include "shell/translate_runner.h"

#include "recording/hlcp_translator.h"
#include "recording/mapped_file.h"
#include "recording/regular_file.h"

#include <cstring>
#include <memory>

namespace nereid::shell {

std::vector<TranslateOutcome> TranslateFiles(const std::vector<std::string>& sources, int form,
                                             const std::string& destinationFolder,
                                             const recording::SMseedOptions& mseed) {
    using recording::CMappedFile;
    using recording::HlcpTranslator;
    std::vector<TranslateOutcome> outcomes;
    std::string folder = destinationFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    for (const std::string& source : sources) {
        TranslateOutcome outcome;
        outcome.source = source;
        std::shared_ptr<const CMappedFile> file;
        int error = 0;
        if (CMappedFile::Open(source, file, error) != CMappedFile::kOk) {
            outcome.message =
                "Can't open file " + source +
                (error != 0 ? std::string(": ") + recording::FileErrorText(error) : "");
            outcomes.push_back(outcome);
            continue;
        }
        HlcpTranslator translator(form, file->Size(), source, folder);
        translator.SetMseedOptions(mseed.network, mseed.components, 0);
        if (!translator.PrepareOutput()) {
            outcome.message = HlcpTranslator::kMappedFileText;
            outcomes.push_back(outcome);
            break;
        }
        if (recording::FeedMappedFile(translator, *file) != 1) {
            outcome.message =
                translator.Message().empty() ? HlcpTranslator::kNotHlcpText : translator.Message();
        } else if (translator.Write() != 1) {
            outcome.message = translator.Message();
        } else {
            outcome.result = 1;
            outcome.outputName = translator.OutputName();
        }
        translator.ReleaseOutput();
        outcomes.push_back(outcome);
    }
    return outcomes;
}

} // namespace nereid::shell
