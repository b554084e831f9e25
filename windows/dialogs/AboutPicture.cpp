#include "windows/dialogs/AboutPicture.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace vorta {

namespace {

// A picture larger than this is taken for a damaged header rather than
// allocated.
constexpr JDIMENSION kMaxSide = 4096;

struct TJpegError {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
};

// libjpeg's own handler ends the program; ours returns to DecodeJpeg.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  std::longjmp(err->Jump, 1);
}

void Silent(j_common_ptr /*cinfo*/) {}

// Runs after setjmp: any libjpeg error jumps back out of here, so this frame
// holds nothing that needs a destructor.
bool Decode(jpeg_decompress_struct* cinfo, const QByteArray& data, QImage* out) {
  jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > kMaxSide ||
      cinfo->image_height > kMaxSide) {
    return false;
  }
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 3) return false;
  *out = QImage(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height),
                QImage::Format_RGB888);
  if (out->isNull()) return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = out->scanLine(static_cast<int>(cinfo->output_scanline));
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(cinfo);
  return cinfo->err->num_warnings == 0;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) return {};
  QImage image;
  jpeg_decompress_struct cinfo{};
  TJpegError err{};
  cinfo.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrorExit;
  err.Pub.output_message = Silent;
  jpeg_create_decompress(&cinfo);
  if (setjmp(err.Jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return {};
  }
  const bool ok = Decode(&cinfo, data, &image);
  jpeg_destroy_decompress(&cinfo);
  return ok ? image : QImage();
}

}  // namespace vorta
