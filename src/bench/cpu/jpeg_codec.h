// The libjpeg calls of the LibJPEG functions test behind a plain C-style
// boundary: no exception and no longjmp leaves these two functions.
#pragma once

#include <cstdint>

namespace kr {

enum class JpegColor : uint8_t { Rgb, YCbCr, Cmyk, Ycck, Gray };

enum class JpegStatus : uint8_t {
  Ok,
  CannotOpen,  // the file could not be opened ("can't open %s" is the caller's to print)
  Failed,      // libjpeg reported an error, or the file could not be completed
};

// Compresses width x height rows of `components` bytes per pixel, read from
// the start of `image` (row r at image + r x components x width), at quality
// 100 with baseline tables into the file at path (stdio, "wb"). libjpeg
// errors end the write through the jumping error handler; nothing is
// printed.
JpegStatus JpegWriteFile(const char* path, const uint8_t* image, int width, int height, int components,
                         JpegColor color);

// Decompresses the file at path (stdio, "rb") in its default output colour
// space, one row at a time into a one-row array from the image pool; the
// rows are discarded. A libjpeg error ends the read early (Failed).
JpegStatus JpegReadFile(const char* path);

}  // namespace kr
