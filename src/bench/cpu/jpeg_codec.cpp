#include "bench/cpu/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace kr {
namespace {

// libjpeg's error manager with an exit that jumps back into the function
// that set it up, and no message output (warnings included), so that
// nothing is printed inside a timed span.
struct JumpError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JumpError*>(cinfo->err);
  longjmp(e->jump, 1);
}

void NoMessage(j_common_ptr) {}

J_COLOR_SPACE ToLibjpeg(JpegColor c) {
  switch (c) {
    case JpegColor::Rgb: return JCS_RGB;
    case JpegColor::YCbCr: return JCS_YCbCr;
    case JpegColor::Cmyk: return JCS_CMYK;
    case JpegColor::Ycck: return JCS_YCCK;
    case JpegColor::Gray: return JCS_GRAYSCALE;
  }
  return JCS_UNKNOWN;
}

}  // namespace

JpegStatus JpegWriteFile(const char* path, const uint8_t* image, int width, int height, int components,
                         JpegColor color) {
  jpeg_compress_struct cinfo;
  JumpError jerr;
  FILE* volatile file = nullptr;
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = JumpBack;
  jerr.pub.output_message = NoMessage;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&cinfo);
    if (file) std::fclose(file);
    return JpegStatus::Failed;
  }
  jpeg_create_compress(&cinfo);
  file = std::fopen(path, "wb");
  if (!file) {
    jpeg_destroy_compress(&cinfo);
    return JpegStatus::CannotOpen;
  }
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = components;
  cinfo.in_color_space = ToLibjpeg(color);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const size_t rowBytes = size_t(components) * size_t(width);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row[1] = {const_cast<JSAMPLE*>(image + size_t(cinfo.next_scanline) * rowBytes)};
    jpeg_write_scanlines(&cinfo, row, 1);
  }
  jpeg_finish_compress(&cinfo);
  FILE* f = file;
  file = nullptr;
  bool written = std::ferror(f) == 0;
  written = std::fclose(f) == 0 && written;
  jpeg_destroy_compress(&cinfo);
  return written ? JpegStatus::Ok : JpegStatus::Failed;
}

JpegStatus JpegReadFile(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return JpegStatus::CannotOpen;
  jpeg_decompress_struct cinfo;
  JumpError jerr;
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = JumpBack;
  jerr.pub.output_message = NoMessage;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return JpegStatus::Failed;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               cinfo.output_width * JDIMENSION(cinfo.output_components), 1);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, rows, 1);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return JpegStatus::Ok;
}

}  // namespace kr
