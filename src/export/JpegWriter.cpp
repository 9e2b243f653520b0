// libjpeg ends the program in its default error handler. Ours jumps back to
// the writer, which cleans up and raises the library's message: no C++
// exception ever passes through the library's frames, and nothing with a
// destructor lives between the jump and its target.
#include "export/BitmapWriters.h"
#include "export/Picture.h"

#include "foundation/Exceptions.h"

#include <csetjmp>
#include <string>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace bw {

namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  error->Manager.format_message(info, error->Message);
  std::longjmp(error->Jump, 1);
}

// Warnings are not errors and go nowhere.
void OutputMessage(j_common_ptr) {}

} // namespace

void WriteJpeg(std::FILE* out, const TRgbImageView& image, int quality) {
  CheckPictureSize(TPictureFormat::Jpeg, image.Width, image.Height);
  jpeg_compress_struct info{};
  TJpegError error{};
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = ErrorExit;
  error.Manager.output_message = OutputMessage;
  if (setjmp(error.Jump) != 0) {
    jpeg_destroy_compress(&info);
    throw Exception(std::string("JPEG error: ") + error.Message);
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(image.Width);
  info.image_height = static_cast<JDIMENSION>(image.Height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.dct_method = JDCT_ISLOW;
  info.optimize_coding = FALSE;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto* row = const_cast<JSAMPROW>(image.Row(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
}

} // namespace bw
