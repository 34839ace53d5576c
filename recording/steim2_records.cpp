#include "recording/steim2_records.h"

#include <libmseed.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nereid::recording {

namespace {

constexpr int kFrameWords = 16;
constexpr int kSamplesPerFrame = 105; // 15 words of 7 differences at most
constexpr int kDataOffset = 64;       // fixed header 48, blockette 1000 8, 8 bytes of zeros

inline void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

inline void PutBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

// The magnitude class of a difference: a value fits in n signed bits when this is below
// 2^(n-1). The OR of several is below 2^(n-1) exactly when each is.
inline std::uint32_t Magnitude(std::int32_t d) {
    return static_cast<std::uint32_t>(d ^ (d >> 31));
}

} // namespace

int EncodeSteim2(const std::int32_t* x, int count, int frames, std::int32_t diff0,
                 std::uint8_t* out) {
    std::memset(out, 0, static_cast<std::size_t>(frames) * 64);
    if (count <= 0) {
        return 0;
    }
    // Difference k relates sample k to the one before it; wrapping as the C encoder does.
    const auto diff = [&](int k) {
        return k == 0 ? diff0
                      : static_cast<std::int32_t>(static_cast<std::uint32_t>(x[k]) -
                                                  static_cast<std::uint32_t>(x[k - 1]));
    };
    int done = 0;
    std::uint32_t words[kFrameWords];
    for (int frame = 0; frame < frames && done < count; ++frame) {
        std::memset(words, 0, sizeof words);
        int w = 1;
        if (frame == 0) {
            words[1] = static_cast<std::uint32_t>(x[0]);
            w = 3; // X0 and Xn
        }
        for (; w < kFrameWords && done < count; ++w) {
            const int avail = count - done < 7 ? count - done : 7;
            std::int32_t d[7];
            std::uint32_t m[7]; // OR of the magnitudes of the first k+1 differences
            std::uint32_t acc = 0;
            for (int k = 0; k < avail; ++k) {
                d[k] = diff(done + k);
                acc |= Magnitude(d[k]);
                m[k] = acc;
            }
            std::uint32_t word = 0, nibble = 0;
            int take = 0;
            if (avail == 7 && m[6] < 8) {
                for (int k = 0; k < 7; ++k) {
                    word |= (static_cast<std::uint32_t>(d[k]) & 0xFu) << (24 - 4 * k);
                }
                word |= 0x2u << 30;
                nibble = 3;
                take = 7;
            } else if (avail >= 6 && m[5] < 16) {
                for (int k = 0; k < 6; ++k) {
                    word |= (static_cast<std::uint32_t>(d[k]) & 0x1Fu) << (25 - 5 * k);
                }
                word |= 0x1u << 30;
                nibble = 3;
                take = 6;
            } else if (avail >= 5 && m[4] < 32) {
                for (int k = 0; k < 5; ++k) {
                    word |= (static_cast<std::uint32_t>(d[k]) & 0x3Fu) << (24 - 6 * k);
                }
                nibble = 3;
                take = 5;
            } else if (avail >= 4 && m[3] < 128) {
                for (int k = 0; k < 4; ++k) {
                    word |= (static_cast<std::uint32_t>(d[k]) & 0xFFu) << (24 - 8 * k);
                }
                nibble = 1;
                take = 4;
            } else if (avail >= 3 && m[2] < 512) {
                for (int k = 0; k < 3; ++k) {
                    word |= (static_cast<std::uint32_t>(d[k]) & 0x3FFu) << (20 - 10 * k);
                }
                word |= 0x3u << 30;
                nibble = 2;
                take = 3;
            } else if (avail >= 2 && m[1] < 16384) {
                word = (static_cast<std::uint32_t>(d[0]) & 0x7FFFu) << 15 |
                       (static_cast<std::uint32_t>(d[1]) & 0x7FFFu) | 0x2u << 30;
                nibble = 2;
                take = 2;
            } else if (m[0] < (1u << 29)) {
                word = (static_cast<std::uint32_t>(d[0]) & 0x3FFFFFFFu) | 0x1u << 30;
                nibble = 2;
                take = 1;
            } else {
                return -1;
            }
            words[w] = word;
            words[0] |= nibble << (30 - 2 * w);
            done += take;
        }
        std::uint8_t* f = out + static_cast<std::size_t>(frame) * 64;
        for (int k = 0; k < kFrameWords; ++k) {
            PutBe32(f + 4 * k, words[k]);
        }
    }
    PutBe32(out + 8, static_cast<std::uint32_t>(x[done - 1])); // Xn
    return done;
}

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

void SetRecordFields(std::uint8_t* h, std::int32_t sequence, hptime_t start, int samples) {
    char seq[16];
    std::snprintf(seq, sizeof seq, "%06d", static_cast<int>(sequence));
    std::memcpy(h, seq, 6);
    hptime_t toTenths = 0;
    std::int8_t usec = 0;
    ms_hptime2tomsusecoffset(start, &toTenths, &usec);
    BTime t{};
    ms_hptime2btime(toTenths, &t);
    PutBe16(h + 20, t.year);
    PutBe16(h + 22, t.day);
    h[24] = t.hour;
    h[25] = t.min;
    h[26] = t.sec;
    h[27] = 0;
    PutBe16(h + 28, t.fract);
    PutBe16(h + 30, static_cast<std::uint16_t>(samples));
}

} // namespace

int PackSteim2Records(MSRecord* msr, void (*recordHandler)(char*, int, void*), void* handlerData,
                      std::int64_t* packedSamples, bool flush) {
    int exponent = 0;
    while (exponent < 21 && (1 << exponent) < msr->reclen) {
        ++exponent;
    }
    if (msr == nullptr || msr->encoding != DE_STEIM2 || msr->byteorder != 1 ||
        msr->sampletype != 'i' || (1 << exponent) != msr->reclen || msr->reclen < 128 ||
        msr->reclen > 4096 || msr->dataquality == 0 || !MS_ISDATAINDICATOR(msr->dataquality) ||
        msr->samprate <= 0 || recordHandler == nullptr) {
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
        SetRecordFields(record, msr->sequence_number, msr->starttime, n);
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
