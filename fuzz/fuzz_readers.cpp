// The data file readers: each parser on an exact-size copy of the input, then the same bytes
// as a file on disk through OpenDataFile under the names the readers dispatch on. Every
// channel a reader hands out must have all its samples inside the memory that holds them
// (the file's mapping or the reader's private block); a refused file adds nothing.
#include "fuzz/fuzz_support.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/data_file_reader.h"
#include "recording/mapped_file.h"
#include "recording/sample_source.h"
#include "recording/seisan_reader.h"

#include <algorithm>
#include <cmath>

using namespace nereid::recording;

namespace {

void CheckInside(const FileChannel& ch) {
    const int sampleSize = SampleSize(ch.sampleType);
    NEREID_FUZZ_CHECK(sampleSize > 0);
    if (ch.sampleCount == 0)
        return;
    if (ch.source) {
        // Read where they lie: the file stays mapped, and the last sample ends inside it.
        NEREID_FUZZ_CHECK(ch.firstSample == nullptr);
        NEREID_FUZZ_CHECK(ch.mapping != nullptr);
        const std::uint8_t* end = ch.source->EndOf(ch.sampleCount - 1);
        if (end != nullptr) {
            NEREID_FUZZ_CHECK(end > ch.mapping->Data());
            NEREID_FUZZ_CHECK(end <= ch.mapping->Data() + ch.mapping->Size());
        }
        std::vector<double> values(
            static_cast<std::size_t>(std::min<std::uint64_t>(ch.sampleCount, 4096)));
        ch.ReadValues(ch.sampleCount - values.size(), values.size(), values.data());
        (void)ch.Value(0);
        return;
    }
    NEREID_FUZZ_CHECK(ch.firstSample != nullptr);
    const std::uint8_t* begin = nullptr;
    std::size_t length = 0;
    if (ch.mapping) {
        begin = ch.mapping->Data();
        length = ch.mapping->Size();
    } else {
        NEREID_FUZZ_CHECK(ch.privateBlock != nullptr);
        begin = ch.privateBlock->data();
        length = ch.privateBlock->size();
    }
    NEREID_FUZZ_CHECK(ch.firstSample >= begin);
    const std::size_t offset = static_cast<std::size_t>(ch.firstSample - begin);
    NEREID_FUZZ_CHECK(offset <= length);
    NEREID_FUZZ_CHECK(ch.sampleCount <= (length - offset) / static_cast<std::size_t>(sampleSize));
    // The first and last sample read without a sanitizer report.
    (void)ch.Value(0);
    (void)ch.IntValue(ch.sampleCount - 1);
}

void CheckAll(const std::vector<FileChannel>& channels) {
    for (const FileChannel& ch : channels)
        CheckInside(ch);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes = nereid::fuzz::ExactCopy(data, size);

    DadispHeaderInfo dadisp;
    if (ParseDadispHeader(bytes.data(), bytes.size(), dadisp) == kDadispOk)
        NEREID_FUZZ_CHECK(dadisp.dataOffset <= bytes.size());
    if (bytes.size() >= kWfdiscSize) {
        const std::vector<std::uint8_t> record(bytes.begin(), bytes.begin() + kWfdiscSize);
        WfdiscInfo info;
        (void)ParseWfdisc(record.data(), record.size(), info);
    }
    using Reader =
        int (*)(const std::uint8_t*, std::size_t, std::vector<FileChannel>&, const CMappedFile*);
    for (Reader reader :
         {Reader(ReadSeisanText), Reader(ReadSeisanBinary), Reader(ReadSeisanFile)}) {
        std::vector<FileChannel> found;
        const int r = reader(bytes.data(), bytes.size(), found, nullptr);
        if (r == kSeisanOk) {
            NEREID_FUZZ_CHECK(!found.empty());
            for (const FileChannel& ch : found) {
                NEREID_FUZZ_CHECK(ch.privateBlock != nullptr || ch.sampleCount == 0);
                CheckInside(ch);
            }
        }
    }

    // Through the file system: the name chooses the reader, as when a user opens the file.
    static const char* const kNames[] = {
        "DD1042_153000.123",             // DADiSP, long name
        "D1451234.093",                  // DADiSP, short name
        "CD3042_153000.093",             // CSS data file; its header is the same bytes
        "CH3042_153000.093",             // CSS header naming the data file
        "2003-04-03-1530-00S.NRD___003", // SEISAN by contents
        "D1451530.093.mseed",            // miniSEED by contents
    };
    nereid::fuzz::ClearScratchFolder();
    const std::string& folder = nereid::fuzz::ScratchFolder();
    for (const char* name : kNames) {
        nereid::fuzz::WriteFileBytes(folder + "/" + name, bytes.data(), bytes.size());
    }
    for (const char* name : kNames) {
        std::vector<FileChannel> channels;
        ReaderMessage m;
        const int r = OpenDataFile(folder + "/" + name, channels, m);
        if (r == kOpenAdded) {
            NEREID_FUZZ_CHECK(!channels.empty());
            CheckAll(channels);
        } else {
            NEREID_FUZZ_CHECK(channels.empty());
            NEREID_FUZZ_CHECK(!m.text.empty());
        }
    }
    return 0;
}
