#pragma once

#include <libmseed.h>

#include <cstring>

namespace nereid::recording::test {

// A libmseed record set up as the project's Steim-2 records are (XX.NRD..HHZ, quality D,
// 512 bytes, big-endian 32-bit integers), for packing the same samples with msr_pack.
// `sequence` 0 leaves msr_init's. msr_free releases it.
inline MSRecord* NewSteim2TestRecord(double rate, int sequence = 0) {
    MSRecord* m = msr_init(nullptr);
    std::strcpy(m->network, "XX");
    std::strcpy(m->station, "NRD");
    std::strcpy(m->channel, "HHZ");
    m->dataquality = 'D';
    m->reclen = 512;
    m->encoding = DE_STEIM2;
    m->byteorder = 1;
    m->samprate = rate;
    m->sampletype = 'i';
    m->sequence_number = sequence;
    return m;
}

} // namespace nereid::recording::test
