#pragma once

#include <cstdint>

namespace nereid::recording {

// The Steim-2 frame encoder (EncodeSteim2 in recording/steim2_records.h) as built for the
// baseline processor and, where the compiler can, for AVX2; EncodeSteim2 calls the best one
// the machine runs. Declared here for the tests, which hold every build to the same bytes.
int EncodeSteim2Baseline(const std::int32_t* samples, int count, int frames, std::int32_t diff0,
                         std::uint8_t* out);
#if defined(NEREID_STEIM2_AVX2)
int EncodeSteim2Avx2(const std::int32_t* samples, int count, int frames, std::int32_t diff0,
                     std::uint8_t* out);
#endif
// Whether this machine runs the AVX2 build (false where there is none).
bool Steim2Avx2Available();

} // namespace nereid::recording
