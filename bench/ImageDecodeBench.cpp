// Decoding a 4096 × 4096 JPEG, TIFF and TGA into ARGB, each beside the bare
// library decode of the same file (libjpeg to RGB scanlines, libtiff's
// strips, and for Targa, which has no library, reading the file and turning
// its BGR pixels into ARGB words in one plain loop). The images are made
// when the program starts, in TMPDIR, and removed when it ends. Every decode,
// ours and the bare ones, writes into a buffer of its own, as a new image
// needs one.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ImageFile.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSide = 4096;
fs::path g_Dir;
std::string g_Jpeg, g_Tiff, g_Tga;

// A picture with gradients and some texture, so that JPEG has work to do.
std::vector<unsigned char> Picture() {
  std::vector<unsigned char> rgb(static_cast<size_t>(kSide) * kSide * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      seed = seed * 1664525u + 1013904223u;
      unsigned char* p = &rgb[(static_cast<size_t>(y) * kSide + x) * 3];
      p[0] = static_cast<unsigned char>((x >> 4) + (seed >> 29));
      p[1] = static_cast<unsigned char>((y >> 4) ^ (x >> 6));
      p[2] = static_cast<unsigned char>(((x + y) >> 5) + (seed >> 30));
    }
  return rgb;
}

void WriteJpeg(const std::string& path, const std::vector<unsigned char>& rgb) {
  FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = c.image_height = kSide;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<size_t>(c.next_scanline) * kSide * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void WriteTiff(const std::string& path, const std::vector<unsigned char>& rgb) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kSide);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kSide);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
  for (int y = 0; y < kSide; ++y)
    TIFFWriteScanline(t, const_cast<unsigned char*>(&rgb[static_cast<size_t>(y) * kSide * 3]), y, 0);
  TIFFClose(t);
}

void WriteTga(const std::string& path, const std::vector<unsigned char>& rgb) {
  unsigned char h[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, kSide & 0xFF, kSide >> 8, kSide & 0xFF, kSide >> 8, 24, 0};
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(h, 1, sizeof h, f);
  std::vector<unsigned char> row(static_cast<size_t>(kSide) * 3);
  for (int y = kSide - 1; y >= 0; --y) {  // bottom row first
    const unsigned char* p = &rgb[static_cast<size_t>(y) * kSide * 3];
    for (int x = 0; x < kSide; ++x) row[3 * x] = p[3 * x + 2], row[3 * x + 1] = p[3 * x + 1], row[3 * x + 2] = p[3 * x];
    std::fwrite(row.data(), 1, row.size(), f);
  }
  std::fclose(f);
}

void Ours(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    TextureImage image;
    CString error;
    if (!ReadImageFile(path, image, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(image.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Jpeg_Orvane(benchmark::State& s) { Ours(s, g_Jpeg); }
void BM_Tiff_Orvane(benchmark::State& s) { Ours(s, g_Tiff); }
void BM_Tga_Orvane(benchmark::State& s) { Ours(s, g_Tga); }

std::unique_ptr<unsigned char[]> Buffer(size_t bytes) { return std::unique_ptr<unsigned char[]>(new unsigned char[bytes]); }

void BM_Jpeg_BareLibjpeg(benchmark::State& state) {
  for (auto _ : state) {
    auto out = Buffer(static_cast<size_t>(kSide) * kSide * 3);
    FILE* f = std::fopen(g_Jpeg.c_str(), "rb");
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_stdio_src(&c, f);
    jpeg_read_header(&c, TRUE);
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
      JSAMPROW row = out.get() + static_cast<size_t>(c.output_scanline) * kSide * 3;
      jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    std::fclose(f);
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Tiff_BareLibtiff(benchmark::State& state) {
  for (auto _ : state) {
    auto out = Buffer(static_cast<size_t>(kSide) * kSide * 3);
    TIFF* t = TIFFOpen(g_Tiff.c_str(), "r");
    const tmsize_t strip = TIFFStripSize(t);
    size_t at = 0;
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
      const tmsize_t n = TIFFReadEncodedStrip(t, s, out.get() + at, strip);
      at += static_cast<size_t>(n > 0 ? n : 0);
    }
    TIFFClose(t);
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Tga_BareReadAndConvert(benchmark::State& state) {
  const size_t size = static_cast<size_t>(kSide) * kSide * 3 + 18;
  for (auto _ : state) {
    auto file = Buffer(size);
    std::unique_ptr<uint32_t[]> out(new uint32_t[static_cast<size_t>(kSide) * kSide]);
    FILE* f = std::fopen(g_Tga.c_str(), "rb");
    const size_t n = std::fread(file.get(), 1, size, f);
    std::fclose(f);
    benchmark::DoNotOptimize(n);
    const unsigned char* p = file.get() + 18;
    for (int y = kSide - 1; y >= 0; --y) {
      uint32_t* o = out.get() + static_cast<size_t>(y) * kSide;
      for (int x = 0; x < kSide; ++x, p += 3) o[x] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    }
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

BENCHMARK(BM_Jpeg_Orvane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg_BareLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff_Orvane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tiff_BareLibtiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga_Orvane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tga_BareReadAndConvert)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  g_Dir = fs::temp_directory_path() / ("orv_bench_images_" + std::to_string(::getpid()));
  fs::create_directories(g_Dir);
  g_Jpeg = (g_Dir / "big.jpg").string();
  g_Tiff = (g_Dir / "big.tif").string();
  g_Tga = (g_Dir / "big.tga").string();
  {
    const std::vector<unsigned char> rgb = Picture();
    WriteJpeg(g_Jpeg, rgb);
    WriteTiff(g_Tiff, rgb);
    WriteTga(g_Tga, rgb);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_Dir, ec);
  return 0;
}
