#include "recording/steim2_records.h"

#include "recording/steim2_encoders.h"

namespace nereid::recording {

namespace {

using Encoder = int (*)(const std::int32_t*, int, int, std::int32_t, std::uint8_t*);

Encoder ChooseEncoder() {
#if defined(NEREID_STEIM2_AVX2)
    if (Steim2Avx2Available()) {
        return &EncodeSteim2Avx2;
    }
#endif
    return &EncodeSteim2Baseline;
}

} // namespace

bool Steim2Avx2Available() {
#if defined(NEREID_STEIM2_AVX2)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

int EncodeSteim2(const std::int32_t* x, int count, int frames, std::int32_t diff0,
                 std::uint8_t* out) {
    static const Encoder encode = ChooseEncoder();
    return encode(x, count, frames, diff0, out);
}

} // namespace nereid::recording
