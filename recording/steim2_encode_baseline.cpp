// The Steim-2 frame encoder for every x86-64 (SSE2) or other processor.
#include "recording/steim2_encoders.h"

#define NEREID_STEIM2_ENCODER EncodeSteim2Baseline
#include "recording/steim2_encode_body.h"
