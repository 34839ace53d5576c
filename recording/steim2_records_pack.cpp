// Data records around the Steim-2 frames: the fixed header and blockette 1000 as msr_pack
// writes them, and whole records packed the way msr_pack packs them.
#include "recording/steim2_records.h"

#include <libmseed.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace nereid::recording {

namespace {

constexpr int kSamplesPerFrame = 105; // 15 words of 7 differences at most
constexpr int kDataOffset = 64;       // fixed header 48, blockette 1000 8, 8 bytes of zeros

inline void PutBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

} // namespace

namespace {

// Fills the fixed header and blockette 1000 as msr_pack's normalisation does; the start time,
// sequence number and sample count are set per record.
void FixedHeader(const MSRecord* msr, std::uint8_t* h, int reclenExponent) {
    std::memset(h, 0, kDataOffset);
    h[6] = static_cast<std::uint8_t>(msr->dataquality);
    h[7] = ' ';
    ms_strncpopen(reinterpret_cast<char*>(h + 8), msr->station, 5);
    ms_strncpopen(reinterpret_cast<char*>(h + 13), msr->location, 2);
    ms_strncpopen(reinterpret_cast<char*>(h + 15), msr->channel, 3);
    ms_strncpopen(reinterpret_cast<char*>(h + 18), msr->network, 2);
    std::int16_t factor = 0, multiplier = 0;
    if (ms_genfactmult(msr->samprate, &factor, &multiplier) != 0) {
        factor = 0;
        multiplier = 0;
    }
    PutBe16(h + 32, static_cast<std::uint16_t>(factor));
    PutBe16(h + 34, static_cast<std::uint16_t>(multiplier));
    h[39] = 1; // one blockette
    PutBe16(h + 44, kDataOffset);
    PutBe16(h + 46, 48);
    PutBe16(h + 48, 1000);
    h[52] = DE_STEIM2;
    h[53] = 1; // big-endian
    h[54] = static_cast<std::uint8_t>(reclenExponent);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return q * b > a ? q - 1 : q;
}

int ReclenExponent(int reclen) {
    int exponent = 0;
    while (exponent < 21 && (1 << exponent) < reclen) {
        ++exponent;
    }
    return exponent;
}

} // namespace

bool Steim2RecordTemplate(const MSRecord* msr, std::uint8_t* header) {
    const int exponent = ReclenExponent(msr->reclen);
    if ((1 << exponent) != msr->reclen || msr->reclen < 128 || msr->reclen > 4096) {
        return false;
    }
    FixedHeader(msr, header, exponent);
    return true;
}

void SetRecordSequence(std::uint8_t* h, std::int32_t sequence) {
    for (int i = 5; i >= 0; --i) {
        h[i] = static_cast<std::uint8_t>('0' + sequence % 10);
        sequence /= 10;
    }
}

void SetSteim2RecordFields(std::uint8_t* h, std::int32_t sequence, std::int64_t startUs,
                           int samples, SRecordDay& day) {
    SetRecordSequence(h, sequence);
    SetSteim2RecordTime(h, startUs, samples, day);
}

void NextRecordSequence(char* digits) {
    for (int i = 5; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits[5] = '1'; // 999999 wraps to 1, as msr_pack's sequence numbers do
}

void SetSteim2RecordTime(std::uint8_t* h, std::int64_t startUs, int samples, SRecordDay& day) {
    // The header holds 100 us; the rest (-50..49 us) would go to a blockette 1001, which these
    // records do not carry.
    const std::int64_t tenths = FloorDiv(startUs + 50, 100);
    const std::int64_t second = FloorDiv(tenths, 10000);
    const std::int64_t days = FloorDiv(second, 86400);
    if (days != day.day) {
        using namespace std::chrono;
        const sys_days date{std::chrono::days{days}};
        const year_month_day ymd{date};
        day.day = days;
        day.year = static_cast<std::uint16_t>(static_cast<int>(ymd.year()));
        day.dayOfYear =
            static_cast<std::uint16_t>((date - sys_days{ymd.year() / January / 1}).count() + 1);
    }
    const auto ofDay = static_cast<int>(second - days * 86400);
    PutBe16(h + 20, day.year);
    PutBe16(h + 22, day.dayOfYear);
    h[24] = static_cast<std::uint8_t>(ofDay / 3600);
    h[25] = static_cast<std::uint8_t>(ofDay / 60 % 60);
    h[26] = static_cast<std::uint8_t>(ofDay % 60);
    h[27] = 0;
    PutBe16(h + 28, static_cast<std::uint16_t>(tenths - second * 10000));
    PutBe16(h + 30, static_cast<std::uint16_t>(samples));
}

int PackSteim2Records(MSRecord* msr, void (*recordHandler)(char*, int, void*), void* handlerData,
                      std::int64_t* packedSamples, bool flush) {
    if (msr == nullptr) {
        return -1;
    }
    const int exponent = ReclenExponent(msr->reclen);
    if (msr->encoding != DE_STEIM2 || msr->byteorder != 1 || msr->sampletype != 'i' ||
        (1 << exponent) != msr->reclen || msr->reclen < 128 || msr->reclen > 4096 ||
        msr->dataquality == 0 || !MS_ISDATAINDICATOR(msr->dataquality) || msr->samprate <= 0 ||
        recordHandler == nullptr) {
        return msr_pack(msr, recordHandler, handlerData, packedSamples, flush ? 1 : 0, 0);
    }
    if (packedSamples != nullptr) {
        *packedSamples = 0;
    }
    if (msr->numsamples <= 0 || msr->datasamples == nullptr) {
        return -1;
    }
    if (msr->ststate == nullptr) {
        // The same state msr_pack keeps (and msr_free releases).
        msr->ststate = static_cast<StreamState*>(std::calloc(1, sizeof(StreamState)));
        if (msr->ststate == nullptr) {
            return -1;
        }
    }
    if (msr->sequence_number <= 0 || msr->sequence_number > 999999) {
        msr->sequence_number = 1;
    }
    const int frames = (msr->reclen - kDataOffset) / 64;
    const std::int64_t maxSamples = static_cast<std::int64_t>(frames) * kSamplesPerFrame;
    const auto* samples = static_cast<const std::int32_t*>(msr->datasamples);
    const hptime_t segmentStart = msr->starttime;
    // 512 bytes for the project's records; anything up to 2^20 on the heap.
    std::uint8_t local[512];
    std::uint8_t* record =
        msr->reclen <= 512
            ? local
            : static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(msr->reclen)));
    if (record == nullptr) {
        return -1;
    }
    FixedHeader(msr, record, exponent);
    SRecordDay day;
    int records = 0;
    std::int64_t total = 0;
    while (msr->numsamples - total > maxSamples || flush) {
        const std::int32_t* x = samples + total;
        const std::int32_t d0 =
            msr->ststate->comphistory != 0
                ? static_cast<std::int32_t>(static_cast<std::uint32_t>(x[0]) -
                                            static_cast<std::uint32_t>(msr->ststate->lastintsample))
                : 0;
        const std::int64_t left = msr->numsamples - total;
        const int n = EncodeSteim2(x, static_cast<int>(left < maxSamples ? left : maxSamples),
                                   frames, d0, record + kDataOffset);
        if (n < 0) {
            if (record != local) {
                std::free(record);
            }
            return -1;
        }
        msr->ststate->lastintsample = x[n - 1];
        SetSteim2RecordFields(record, msr->sequence_number, msr->starttime, n, day);
        recordHandler(reinterpret_cast<char*>(record), msr->reclen, handlerData);
        total += n;
        if (packedSamples != nullptr) {
            *packedSamples = total;
        }
        msr->ststate->packedsamples += n;
        msr->ststate->packedrecords++;
        msr->ststate->comphistory = 1;
        ++records;
        msr->sequence_number = msr->sequence_number >= 999999 ? 1 : msr->sequence_number + 1;
        // As msr_pack: the next record's start from the call's start and the samples packed.
        msr->starttime =
            segmentStart +
            static_cast<hptime_t>(static_cast<double>(total) / msr->samprate * HPTMODULUS + 0.5);
        if (total >= msr->numsamples) {
            break;
        }
    }
    if (record != local) {
        std::free(record);
    }
    return records;
}

} // namespace nereid::recording
