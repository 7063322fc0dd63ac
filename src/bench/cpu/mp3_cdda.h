// MP3 2 CDDA: the timed conversion loop, exposed for tests.
#pragma once

#include <cstdint>

#include "platform/mpega.h"

namespace kr {

// Decodes the stream frame by frame into left and right (kMpegaPcmSize
// samples each) and interleaves each frame's samples into out (left, right,
// left, right, ...; 2 x kMpegaPcmSize samples), until the decoder returns a
// negative value. Returns the frames decoded. No allocation, no output.
uint32_t Mp3ConvertStream(Mpega& lib, MpegaStream* stream, int16_t* left, int16_t* right, int16_t* out);

}  // namespace kr
