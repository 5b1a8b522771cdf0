// Texture image files: every reader, reached by the file's extension through
// one table, and the BMP writer.
//
// Every reader takes a full path and fills a 32-bit ARGB image (rows top
// first, see TextureImage), or fails with a message in `error` naming what is
// wrong with the file. Readers never end the program and never write to the
// standard streams; the libraries' own errors and warnings come back as that
// message.
#pragma once

#include "engine/TextureImage.h"
#include "platform/CString.h"

// Image format codes.
enum ImageFileFormat : int {
  IMAGE_FILE_NONE = 0,
  IMAGE_FILE_BMP = 1,
  IMAGE_FILE_JPG = 2,
  IMAGE_FILE_PPM = 3,
  IMAGE_FILE_3DF = 4,
  IMAGE_FILE_TIF = 5,
  IMAGE_FILE_TGA = 6,
  IMAGE_FILE_IFF = 7,
  IMAGE_FILE_RAW = 8,
  IMAGE_FILE_PNG = 9,
};

using ImageReadFunction = bool (*)(const CString& path, TextureImage& image, CString& error);

struct ImageFileEntry {
  int code;
  const char* extension;  // upper case, without the dot
  ImageReadFunction read;
};

// The table: one entry per extension ("JPEG" and "TIFF" stand beside "JPG"
// and "TIF"). Ends with an entry whose extension is null.
const ImageFileEntry* ImageFileTable();

// The format code of a file name by its extension (after the last "." of
// the name's last part, either separator, case ignored); IMAGE_FILE_NONE
// when there is no extension or none the table knows.
int ImageFormatFromName(const CString& name);
// The lower-case extension the texture load modes 1 to 6 force ("bmp",
// "jpg", "ppm", "3df", "tif", "tga"), or null.
const char* ImageLoadModeExtension(int mode);

// Reads `path` with the reader of `code` (from the table); false with a
// message for an unknown code or a file the reader refuses.
bool ReadImageFile(const CString& path, int code, TextureImage& image, CString& error);
// The same with the code taken from the name.
bool ReadImageFile(const CString& path, TextureImage& image, CString& error);

// --- the readers -----------------------------------------------------------------
// Targa, PPM, 3DF and RGT files, recognised by their first bytes (the
// texel-file library), level 0 converted to ARGB.
bool ReadTexelFile(const CString& path, TextureImage& image, CString& error);
bool ReadBmpFile(const CString& path, TextureImage& image, CString& error);
bool ReadBmpMemory(const unsigned char* bytes, size_t size, TextureImage& image, CString& error);
bool ReadJpegFile(const CString& path, TextureImage& image, CString& error);
bool ReadTiffFile(const CString& path, TextureImage& image, CString& error);
bool ReadPngFile(const CString& path, TextureImage& image, CString& error);

// Writes an ARGB image as a 24-bit BMP (rows bottom-up, blue, green, red,
// each row padded to a multiple of 4 bytes; pixel data at offset 54).
// False with a message when the file cannot be written completely.
bool WriteBmpFile(const CString& path, const TextureImage& image, CString& error);

// The image scaled to `w` × `h` (box-filtered when shrinking, bilinear when
// growing); an image already of that size is copied as it is.
bool ResampleImage(const TextureImage& source, DWORD w, DWORD h, TextureImage& out);
