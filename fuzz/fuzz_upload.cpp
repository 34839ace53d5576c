// The transfer engine behind the real link, fed listing ('X') and file ('Y') frames with
// states and sequence numbers in any order, duplicated or missing, while the clock moves.
// The operation always ends (reported once), listed names are no longer than the listing
// allows, a file never counts more bytes than arrived, and every file it writes lies in the
// destination folder.
#include "fuzz/fuzz_support.h"
#include "instrument/upload/model/upload_engine.h"
#include "instrument/upload/model/upload_entry.h"
#include "tests/link/memory_link.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <filesystem>

using namespace nereid;
using namespace nereid::instrument;

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    nereid::fuzz::ClearScratchFolder();
    const std::string& folder = nereid::fuzz::ScratchFolder();

    test::MemoryLink link;
    CUploadEngine engine(link);
    std::int64_t now = 1000;
    engine.SetClock([&now] { return now; });
    int finishedCalls = 0;
    std::uint64_t fileBytesSent = 0;
    std::vector<UploadFileOutcome> outcomes;
    CUploadEngine::Hooks hooks;
    hooks.entry = [](const RecorderEntry& e) {
        // Nine name and four extension bytes at most, cut at a space or NUL. (A slash may be
        // listed; the written-file check below covers where a fetch puts it.)
        NEREID_FUZZ_CHECK(e.name.size() <= 9 + 1 + 4);
        NEREID_FUZZ_CHECK(e.name.find_first_of(std::string(" \0", 2)) == std::string::npos);
        NEREID_FUZZ_CHECK(e.sizeK == (std::uint64_t{e.size} + 999) / 1000);
    };
    hooks.fileDone = [&](const UploadFileOutcome& o) { outcomes.push_back(o); };
    hooks.finished = [&](int, int) { ++finishedCalls; };
    engine.SetHooks(hooks);

    const bool retrieve = in.ConsumeBool();
    int started = 0;
    if (retrieve) {
        std::vector<UploadItem> items;
        const int count = in.ConsumeIntegralInRange<int>(1, 3);
        for (int i = 0; i < count; ++i) {
            static const char* const kNames[] = {"D1234001.093", "E1234001.093", "R1234001.093",
                                                 "C1234.HLC"};
            items.push_back({"A:", kNames[in.ConsumeIntegralInRange<int>(0, 3)],
                             in.ConsumeIntegralInRange<std::uint32_t>(0, 5000)});
        }
        started = engine.StartRetrieve(items, in.ConsumeIntegralInRange<int>(0, 4), folder);
    } else {
        started = engine.StartListing("A:\\*.*");
    }
    if (started != 1)
        return 0;

    while (in.remaining_bytes() > 0) {
        const int what = in.ConsumeIntegralInRange<int>(0, 7);
        if (what == 0) {
            now += in.ConsumeIntegralInRange<int>(0, 40000);
        } else if (what == 1) {
            link.Feed(in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<int>(0, 40)));
        } else {
            std::vector<std::uint8_t> payload;
            PutU16(payload, 0);
            payload.push_back(in.ConsumeIntegralInRange<std::uint8_t>(0, 3)); // state
            PutU16(payload, in.ConsumeIntegralInRange<std::uint16_t>(0, 6));  // sequence
            const bool listing = !retrieve ^ (what == 2);
            if (listing) {
                const std::vector<std::uint8_t> entries = in.ConsumeBytes<std::uint8_t>(8 * 23);
                payload.insert(payload.end(), entries.begin(), entries.end());
                link.FeedFrame(link::kDirectoryListingType, payload);
            } else {
                const std::uint16_t length = in.ConsumeIntegralInRange<std::uint16_t>(0, 700);
                PutU16(payload, length);
                const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(length);
                payload.insert(payload.end(), bytes.begin(), bytes.end());
                fileBytesSent += bytes.size();
                link.FeedFrame(link::kFileDataType, payload);
            }
        }
        engine.Service();
        now += 5;
    }
    // Silence: the engine gives up within its no-frame limit.
    for (int i = 0; i < 8 && engine.Operation() != kUploadIdle; ++i) {
        now += CUploadEngine::kNoFrameLimitMs;
        engine.Service();
    }
    NEREID_FUZZ_CHECK(engine.Operation() == kUploadIdle);
    NEREID_FUZZ_CHECK(finishedCalls == 1);
    std::uint64_t counted = 0;
    for (const UploadFileOutcome& o : outcomes) {
        counted += o.bytes;
        for (const std::string& path : o.written) {
            NEREID_FUZZ_CHECK(std::filesystem::path(path).parent_path() ==
                              std::filesystem::path(folder));
            NEREID_FUZZ_CHECK(std::filesystem::is_regular_file(path));
        }
    }
    NEREID_FUZZ_CHECK(counted <= fileBytesSent);
    return 0;
}
