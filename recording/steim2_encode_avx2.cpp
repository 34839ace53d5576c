// The Steim-2 frame encoder for processors with AVX2, built with -mavx2: runs of words are
// checked and packed eight differences a step, straight from the samples.
#include "recording/steim2_encoders.h"

#if !defined(__AVX2__)
#error "this file is built with -mavx2"
#endif

#define NEREID_STEIM2_ENCODER EncodeSteim2Avx2
#include "recording/steim2_encode_body.h"
