// MP3 2 CDDA: the timed conversion loop, exposed for tests, and the test.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"
#include "platform/mpega.h"

namespace kr {

// Decodes the stream frame by frame into left and right (kMpegaPcmSize
// samples each) and interleaves each frame's samples into out (left, right,
// left, right, ...; 2 x kMpegaPcmSize samples), until the decoder returns a
// negative value. Returns the frames decoded. No allocation, no output.
uint32_t Mp3ConvertStream(Mpega& lib, MpegaStream* stream, int16_t* left, int16_t* right, int16_t* out);

// The whole test, its card as a value (RunMp3ToCdda runs it for the table).
TestResult MeasureMp3ToCdda(Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

}  // namespace kr
