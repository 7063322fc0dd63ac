// LibJPEG functions: five colour spaces written to and read back from
// a scratch file in the RAM folder with libjpeg, ten timed methods.
#pragma once

#include <cstdint>

#include "engine/context.h"
#include "engine/test_result.h"

namespace kr {

// The test with an image of width x height pixels instead of 1600 x 1200
// (the buffer is width x height x 4 bytes, zero-filled). The figures do not
// depend on the size: 56 / t MBits/s and 1 / t MPixel/s per method.
// RunLibJpeg is RunLibJpegSized(ctx, cacheOn, multitaskingOn, 1600, 1200).
TestResult RunLibJpegSized(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, int width, int height);

}  // namespace kr
