// JPEG images through libjpeg: the standard error manager with its fatal
// routine replaced by a jump back to the reader, scanline decoding straight
// into the ARGB rows.
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/ImageFile.h"
#include "imaging/Texus.h"
#include "platform/Host.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Fatal errors come back to the reader instead of ending the program.
void ErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

// Warnings stay quiet, except that data ending early fails the read: the
// library would fill the rest of the picture with grey.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorExit(cinfo);
  if (level < 0) cinfo->err->num_warnings++;
}

void OutputMessage(j_common_ptr) {}

// A progressive file may hold any number of scans; a crafted one with
// thousands of tiny scans takes minutes. Real files have a few dozen.
void Progress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->is_decompressor && d->input_scan_number > 1000) {
    cinfo->err->msg_code = JERR_BAD_PROGRESSION;
    std::strcpy(reinterpret_cast<ErrorManager*>(cinfo->err)->message, "too many scans in a progressive JPEG");
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

// Everything that must survive the jump lives here, outside the frame that
// calls setjmp, and holds no C++ objects with destructors.
struct JpegRead {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  FILE* file = nullptr;
};

// Decodes into `image`; 0 on success, 1 after a library error (message in
// r.err.message), 2 for an image the reader refuses (message in `why`).
int Decode(JpegRead& r, TextureImage& image, const char*& why) {
  if (setjmp(r.err.jump)) return 1;
  jpeg_read_header(&r.cinfo, TRUE);
  const J_COLOR_SPACE in = r.cinfo.jpeg_color_space;
  if (r.cinfo.num_components != 1 && r.cinfo.num_components != 3) {
    why = "JPEG images with other than 1 or 3 colour components are not supported";
    return 2;
  }
  if (static_cast<int64_t>(r.cinfo.image_width) * r.cinfo.image_height > TX_MAX_TEXELS ||
      r.cinfo.image_width > TX_MAX_SIDE || r.cinfo.image_height > TX_MAX_SIDE) {
    why = "JPEG image is too large";
    return 2;
  }
  (void)in;
  // The library writes blue, green, red, alpha bytes: ARGB words on this
  // little-endian machine.
  r.cinfo.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&r.cinfo);
  if (!image.ResetArgb(r.cinfo.output_width, r.cinfo.output_height)) {
    why = "JpegFile :\nOut of memory";
    return 2;
  }
  while (r.cinfo.output_scanline < r.cinfo.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(image.ArgbRow(r.cinfo.output_scanline));
    jpeg_read_scanlines(&r.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&r.cinfo);
  return 0;
}

}  // namespace

bool ReadJpegFile(const CString& path, TextureImage& image, CString& error) {
  static_assert(std::endian::native == std::endian::little, "ARGB words are read as B, G, R, A bytes");
  JpegRead r;
  r.file = std::fopen(path.c_str(), "rb");
  if (!r.file) {
    error = "the file cannot be opened";
    return false;
  }
  r.cinfo.err = jpeg_std_error(&r.err.pub);
  r.err.pub.error_exit = ErrorExit;
  r.err.pub.emit_message = EmitMessage;
  r.err.pub.output_message = OutputMessage;
  r.err.message[0] = 0;
  jpeg_create_decompress(&r.cinfo);
  r.progress.progress_monitor = Progress;
  r.cinfo.progress = &r.progress;
  jpeg_stdio_src(&r.cinfo, r.file);
  const char* why = nullptr;
  const int result = Decode(r, image, why);
  jpeg_destroy_decompress(&r.cinfo);
  std::fclose(r.file);
  if (result == 0) return true;
  image = TextureImage();
  if (result == 1) {
    error = CString("JPEG: ") + r.err.message;
    HostMessageBox(r.err.message, "JPEG Fatal Error", MB_OK | MB_ICONERROR);
  } else {
    error = why;
    if (std::strstr(why, "Out of memory")) HostMessageBox(why, "Orvane", MB_OK | MB_ICONERROR);
  }
  return false;
}
