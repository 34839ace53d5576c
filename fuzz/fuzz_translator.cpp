// The HLCP translator in every form, fed the file whole (file translate) and in pieces as
// an upload delivers it: both must accept or refuse alike and write byte-identical files. The
// miniSEED records must decode with libmseed to the file's samples in order.
#include "fuzz/fuzz_support.h"
#include "recording/hlcp_translator.h"

#include <libmseed.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

using namespace nereid::recording;

namespace {

struct Outcome {
    bool accepted = true;
    int written = 0;
    std::uint64_t samples = 0;
    std::map<std::string, std::string> files; // base name -> contents
};

Outcome Translate(int form, const std::vector<std::uint8_t>& source, const std::string& folder,
                  std::uint8_t pieceSeed, bool whole) {
    std::filesystem::create_directory(folder);
    Outcome out;
    // The size as the upload knows it from a listing: often wrong, so the headers that count
    // the samples are corrected at the end.
    HlcpTranslator t(form, whole ? source.size() : 64, "D1345A.HLC", folder);
    NEREID_FUZZ_CHECK(t.PrepareOutput());
    if (whole) {
        out.accepted = t.Feed(source.data(), source.size()) == 1;
    } else {
        std::size_t at = 0;
        std::size_t step = std::min<std::size_t>(source.size(), 276 + pieceSeed % 5);
        do { // an empty source is still fed once, as the whole one is
            const std::size_t n = std::min(step, source.size() - at);
            const std::vector<std::uint8_t> piece(source.begin() + static_cast<long>(at),
                                                  source.begin() + static_cast<long>(at + n));
            out.accepted = t.Feed(piece.data(), piece.size()) == 1;
            at += n;
            step = 1 + (step * 7 + pieceSeed) % 301;
        } while (at < source.size() && out.accepted);
    }
    if (!out.accepted)
        return out;
    out.samples = t.SampleCount();
    out.written = t.Write();
    NEREID_FUZZ_CHECK(t.PendingBytes() < 3);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        out.files[entry.path().filename().string()] =
            nereid::fuzz::ReadFileBytes(entry.path().string());
    if (out.written == 1)
        NEREID_FUZZ_CHECK(t.WrittenPaths().size() == out.files.size());
    t.ReleaseOutput();
    return out;
}

// Every record decodes to the next samples of the recorder file (3-byte little-endian after
// the 276-byte header), and all of them are there.
void CheckMseed(const std::string& records, const std::vector<std::uint8_t>& source) {
    NEREID_FUZZ_CHECK(records.size() % 512 == 0);
    std::size_t at = 276;
    for (std::size_t r = 0; r < records.size(); r += 512) {
        std::vector<char> copy(records.begin() + static_cast<long>(r),
                               records.begin() + static_cast<long>(r + 512));
        MSRecord* m = nullptr;
        NEREID_FUZZ_CHECK(msr_unpack(copy.data(), 512, &m, 1, 0) == MS_NOERROR);
        const auto* v = static_cast<const std::int32_t*>(m->datasamples);
        for (std::int64_t i = 0; i < m->numsamples; ++i, at += 3) {
            NEREID_FUZZ_CHECK(at + 3 <= source.size());
            const std::uint32_t u = source[at] | source[at + 1] << 8 | source[at + 2] << 16;
            NEREID_FUZZ_CHECK(v[i] == static_cast<std::int32_t>(u << 8) >> 8);
        }
        msr_free(&m);
    }
    NEREID_FUZZ_CHECK(at + 3 > source.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 1 << 20)
        return 0;
    const int form = data[0] % 6;
    const std::uint8_t pieceSeed = data[1];
    const std::vector<std::uint8_t> source(data + 2, data + size);
    nereid::fuzz::ClearScratchFolder();
    const std::string& scratch = nereid::fuzz::ScratchFolder();
    const Outcome whole = Translate(form, source, scratch + "/whole", pieceSeed, true);
    const Outcome pieces = Translate(form, source, scratch + "/pieces", pieceSeed, false);
    NEREID_FUZZ_CHECK(whole.accepted == pieces.accepted);
    NEREID_FUZZ_CHECK(whole.samples == pieces.samples);
    NEREID_FUZZ_CHECK(whole.written == pieces.written);
    NEREID_FUZZ_CHECK(whole.files == pieces.files);
    if (form == HlcpTranslator::kMseed && whole.written == 1 && whole.files.size() == 1)
        CheckMseed(whole.files.begin()->second, source);
    return 0;
}
