#pragma once

// miniSEED files read back with libmseed's own reader, for the tests of the writers.
#include <libmseed.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::recording::test {

// One continuous run of samples as libmseed joins the records (gaps of half a sample or
// more split runs).
struct MseedSegment {
    std::string network, station, location, channel;
    std::int64_t startUs = 0; // microseconds since 1970
    double rate = 0;
    std::vector<std::int32_t> samples;
};

struct MseedFile {
    int result = -1;    // MS_NOERROR when every record read
    int records = 0;    // records in the file
    bool all512 = true; // every record 512 bytes
    bool allSteim2 = true;
    std::vector<MseedSegment> segments; // in time order
};

inline MseedFile ReadMseedFile(const std::string& path) {
    MseedFile file;
    MSFileParam* fp = nullptr;
    MSRecord* msr = nullptr;
    int r;
    while ((r = ms_readmsr_r(&fp, &msr, path.c_str(), 0, nullptr, nullptr, 1, 0, 0)) ==
           MS_NOERROR) {
        ++file.records;
        file.all512 = file.all512 && msr->reclen == 512;
        file.allSteim2 = file.allSteim2 && msr->encoding == DE_STEIM2;
    }
    file.result = r == MS_ENDOFFILE ? MS_NOERROR : r;
    ms_readmsr_r(&fp, &msr, nullptr, 0, nullptr, nullptr, 0, 0, 0);

    MSTraceGroup* group = nullptr;
    const int t = ms_readtraces(&group, path.c_str(), 0, -1.0, -1.0, 0, 1, 1, 0);
    if (t != MS_NOERROR && t != MS_ENDOFFILE) {
        file.result = t;
    }
    if (group != nullptr) {
        mst_groupsort(group, 1);
        for (MSTrace* tr = group->traces; tr != nullptr; tr = tr->next) {
            MseedSegment s;
            s.network = tr->network;
            s.station = tr->station;
            s.location = tr->location;
            s.channel = tr->channel;
            s.startUs = tr->starttime;
            s.rate = tr->samprate;
            if (tr->sampletype == 'i') {
                const auto* d = static_cast<const std::int32_t*>(tr->datasamples);
                s.samples.assign(d, d + tr->numsamples);
            }
            file.segments.push_back(std::move(s));
        }
        mst_freegroup(&group);
    }
    return file;
}

} // namespace nereid::recording::test
