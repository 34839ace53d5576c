// The analysis window's layout file (tellusw32.cfg). Whatever the file holds, the decoded
// layout has every value inside its range and no more channel records than the file carries;
// written back and read again it is a fixed point; and the file read from disk decodes
// exactly like its bytes in memory.
#include "display/model/analysis_settings.h"
#include "fuzz/fuzz_support.h"

#include <cmath>

using namespace nereid::display::model;

namespace {

void CheckRanges(const AnalysisLayout& l) {
    NEREID_FUZZ_CHECK(l.timeBackground <= 5 && l.spectrumBackground <= 5);
    NEREID_FUZZ_CHECK(l.timeRangeIndex <= 10 && l.binsIndex <= 9);
    NEREID_FUZZ_CHECK(l.timeGrid <= 20 && l.spectrumGrid <= 20);
    NEREID_FUZZ_CHECK(l.fftSize >= 256 && l.fftSize <= 8192);
    NEREID_FUZZ_CHECK(std::isfinite(l.spectrumShare));
    NEREID_FUZZ_CHECK(l.spectrumShare >= 0.0f && l.spectrumShare <= 1.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    AnalysisLayout layout;
    const int r = DecodeAnalysisLayout(bytes, layout);
    if (size < AnalysisLayout::kHeaderBytes) {
        NEREID_FUZZ_CHECK(r == kLayoutTooShort);
        return 0;
    }
    NEREID_FUZZ_CHECK(r == 1);
    CheckRanges(layout);
    NEREID_FUZZ_CHECK(layout.channels.size() <=
                      (size - AnalysisLayout::kHeaderBytes) / AnalysisLayout::kRecordBytes);

    const std::vector<std::uint8_t> once = EncodeAnalysisLayout(layout);
    AnalysisLayout again;
    NEREID_FUZZ_CHECK(DecodeAnalysisLayout(once, again) == 1);
    NEREID_FUZZ_CHECK(again.channels.size() == layout.channels.size());
    NEREID_FUZZ_CHECK(EncodeAnalysisLayout(again) == once);

    // The same bytes through the file reader.
    const std::string path = nereid::fuzz::ScratchFolder() + "/tellusw32.cfg";
    nereid::fuzz::WriteFileBytes(path, data, size);
    AnalysisLayout fromFile;
    NEREID_FUZZ_CHECK(ReadAnalysisLayout(path, fromFile) == 1);
    NEREID_FUZZ_CHECK(EncodeAnalysisLayout(fromFile) == EncodeAnalysisLayout(layout));
    return 0;
}
