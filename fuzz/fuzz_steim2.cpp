// The project's Steim-2 records against libmseed's: samples made from the input (differences
// of every width, up to beyond 30 bits), fed in pieces as the packer feeds them, must give
// msr_pack's records byte for byte (or its refusal), and every record must decode with
// libmseed to the samples in order.
#include "fuzz/fuzz_support.h"
#include "recording/steim2_encoders.h"
#include "recording/steim2_records.h"

#include <libmseed.h>

#include <cstring>
#include <string>
#include <vector>

using namespace nereid::recording;

namespace {

struct Packed {
    std::vector<std::string> records;
    int result = 0;
};

void Collect(char* record, int length, void* self) {
    static_cast<Packed*>(self)->records.emplace_back(record, static_cast<std::size_t>(length));
}

Packed Pack(bool own, const std::vector<std::int32_t>& samples, std::size_t piece, double rate,
            hptime_t start, int reclen) {
    Packed out;
    MSRecord* m = msr_init(nullptr);
    std::strcpy(m->network, "XX");
    std::strcpy(m->station, "NRD");
    std::strcpy(m->channel, "HHZ");
    m->dataquality = 'D';
    m->reclen = reclen;
    m->encoding = DE_STEIM2;
    m->byteorder = 1;
    m->samprate = rate;
    m->sampletype = 'i';
    std::vector<std::int32_t> buffer;
    std::size_t fed = 0, total = 0;
    while (fed < samples.size()) {
        const std::size_t n = std::min(piece, samples.size() - fed);
        buffer.insert(buffer.end(), samples.begin() + static_cast<long>(fed),
                      samples.begin() + static_cast<long>(fed + n));
        fed += n;
        const bool flush = fed == samples.size();
        m->starttime = start + static_cast<hptime_t>(static_cast<double>(total) / rate * 1e6 + 0.5);
        m->datasamples = buffer.data();
        m->numsamples = static_cast<std::int64_t>(buffer.size());
        std::int64_t packed = 0;
        const int r = own ? PackSteim2Records(m, &Collect, &out, &packed, flush)
                          : msr_pack(m, &Collect, &out, &packed, flush ? 1 : 0, 0);
        m->datasamples = nullptr;
        m->numsamples = 0;
        if (r < 0) {
            out.result = -1;
            break;
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(packed));
        total += static_cast<std::size_t>(packed);
    }
    msr_free(&m);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    static const double kRates[] = {100, 1, 0.1, 60, 125, 1000, 20, 2.5};
    const double rate = kRates[data[0] % 8];
    const std::size_t piece = 1 + data[1] * 4u;
    const int reclen = data[2] % 4 == 0 ? 4096 : 512;
    const hptime_t start = 1049383800LL * HPTMODULUS + (data[3] % 2 == 0 ? 0 : data[3] * 3917);
    // Each sample is the previous one plus a difference whose width the input chooses.
    std::vector<std::int32_t> samples;
    std::uint32_t x = 0;
    for (std::size_t i = 4; i + 1 < size && samples.size() < 20000; i += 2) {
        const int width = data[i] % 33;
        const std::uint32_t raw = static_cast<std::uint32_t>(data[i + 1]) * 0x01010101u;
        const std::int32_t step = width == 0 ? 0 : static_cast<std::int32_t>(raw) >> (32 - width);
        x += static_cast<std::uint32_t>(step);
        samples.push_back(static_cast<std::int32_t>(x));
        // Flat runs, as a quiet recorder gives.
        for (int k = 0; k < (data[i] >> 6); ++k) {
            samples.push_back(static_cast<std::int32_t>(x));
        }
    }
    if (samples.empty()) {
        return 0;
    }
    const Packed theirs = Pack(false, samples, piece, rate, start, reclen);
    const Packed ours = Pack(true, samples, piece, rate, start, reclen);
    NEREID_FUZZ_CHECK(ours.result == theirs.result);
    NEREID_FUZZ_CHECK(ours.records == theirs.records);
    if (ours.result < 0) {
        return 0;
    }
    std::size_t at = 0;
    for (const std::string& r : ours.records) {
        std::vector<char> copy(r.begin(), r.end());
        MSRecord* m = nullptr;
        NEREID_FUZZ_CHECK(msr_unpack(copy.data(), static_cast<int>(copy.size()), &m, 1, 0) ==
                          MS_NOERROR);
        const auto* v = static_cast<const std::int32_t*>(m->datasamples);
        for (std::int64_t i = 0; i < m->numsamples; ++i, ++at) {
            NEREID_FUZZ_CHECK(at < samples.size() && v[i] == samples[at]);
        }
        msr_free(&m);
    }
    NEREID_FUZZ_CHECK(at == samples.size());
#if defined(NEREID_STEIM2_AVX2)
    // The encoder's builds give the same frames from every starting point of the input.
    if (Steim2Avx2Available()) {
        const int frames = reclen / 64 - 1;
        std::vector<std::uint8_t> baseline(static_cast<std::size_t>(frames) * 64);
        std::vector<std::uint8_t> wide(baseline.size());
        const int count = static_cast<int>(samples.size());
        for (int from = 0; from < count; from += 1 + data[from % size] % 97) {
            const std::int32_t diff0 =
                from == 0
                    ? 0
                    : static_cast<std::int32_t>(static_cast<std::uint32_t>(samples[from]) -
                                                static_cast<std::uint32_t>(samples[from - 1]));
            const int a = EncodeSteim2Baseline(samples.data() + from, count - from, frames, diff0,
                                               baseline.data());
            const int b =
                EncodeSteim2Avx2(samples.data() + from, count - from, frames, diff0, wide.data());
            NEREID_FUZZ_CHECK(a == b);
            NEREID_FUZZ_CHECK(a < 0 || baseline == wide);
        }
    }
#endif
    return 0;
}
