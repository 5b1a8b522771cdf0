// The image readers on the real files of the shared corpus and on small
// hand-made files whose headers lie.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <jpeglib.h>

#include "imaging/ImageFile.h"
#include "imaging/Texus.h"
#include "support/RecordingHost.h"

namespace fs = std::filesystem;

namespace {

const std::string kCorpus = ORV_CORPUS_DIR;

class Scratch {
 public:
  Scratch() {
    static int serial = 0;
    m_Path = fs::temp_directory_path() / ("orv_images_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    fs::create_directories(m_Path);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(m_Path, ec);
  }
  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    const std::string path = (m_Path / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::string Path(const std::string& name) const { return (m_Path / name).string(); }

 private:
  fs::path m_Path;
};

std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

struct Pixel {
  DWORD x, y, argb;
};
struct CorpusImage {
  const char* file;  // under the corpus
  DWORD width, height;
  std::vector<Pixel> pixels;
  int tolerance;  // per channel
};

// Expected values: ImageMagick 6.9.11 (`convert FILE -auto-orient -alpha off
// -depth 8 -format '%[hex:u.p{X,Y}]' info:`; alpha is 255 for these files, their
// TGA/BMP/TIFF/PNG/JPEG/PPM readers are independent of ours), and for 3DF,
// which ImageMagick does not read, a Python script that takes the texel at
// header end + (y × width + x) × bytes big-endian and widens its channels by
// bit repetition.
const std::vector<CorpusImage>& Corpus() {
  static const std::vector<CorpusImage> images = {
      {"x/assimp/top.tga", 256, 256, {{0, 0, 0xFFFFFFFF}, {149, 245, 0xFFF0F0F0}, {107, 234, 0xFF000000}}, 0},
      {"x/dxsdk-legacy/tiger.bmp", 256, 256, {{0, 0, 0xFFDEAD84}, {128, 85, 0xFF846B5A}, {255, 255, 0xFFDEAD84}}, 0},
      {"x/dxsdk-legacy/env2.bmp", 256, 256, {{0, 0, 0xFF593A2F}, {128, 85, 0xFF85726B}, {255, 255, 0xFF4F2B23}}, 0},
      {"x/dxsdk-legacy/ground2.bmp", 256, 256, {{0, 0, 0xFF3A3A3A}, {128, 85, 0xFF2E2E2E}, {255, 255, 0xFF171717}}, 0},
      {"x/dxsdk-legacy/spotlight.bmp", 256, 214, {{0, 0, 0xFF935428}, {128, 71, 0xFF96462B}, {255, 213, 0xFFFFFFFF}}, 0},
      {"3ds/assimp-nonbsd/m_rifl.bmp", 256, 256, {{0, 0, 0xFF929292}, {128, 85, 0xFF2B3625}}, 0},
      // libjpeg versions may round a few samples differently.
      {"3ds/assimp/IMAGE1.jpg", 400, 300, {{0, 0, 0xFFBAA381}, {200, 100, 0xFFBEA98C}, {399, 299, 0xFFB19A7B}}, 2},
      {"3ds/assimp-nonbsd/jeep1.jpg", 512, 512, {{0, 0, 0xFF565F4A}, {256, 170, 0xFF4B4F41}, {511, 511, 0xFF000000}}, 2},
      {"x/dxsdk-legacy/lobbyxneg.JPG", 512, 512, {{0, 0, 0xFF364A63}, {256, 170, 0xFF3F3221}, {511, 511, 0xFF474A53}}, 2},
      {"3ds/assimp/test.png", 512, 512, {{0, 0, 0xFFFBBC31}, {256, 170, 0xFF7DFC31}, {511, 511, 0xFFFFFFFF}}, 0},
      {"3ds/online3dviewer/cube.png", 256, 64, {{0, 0, 0xFF0094FF}, {255, 63, 0xFF0094FF}}, 0},
      {"ppm/glide-texus/stone2.ppm", 256, 128, {{0, 0, 0xFFEFCD0D}, {255, 127, 0xFF3F3752}}, 0},
      {"tiff/libtiff/rgb-3c-8b.tiff", 157, 151, {{0, 0, 0xFFA23435}, {78, 50, 0xFFB02A24}, {156, 150, 0xFFB2CAA0}}, 0},
      {"tiff/libtiff/palette-1c-8b.tiff", 157, 151, {{0, 0, 0xFFAA3528}, {156, 150, 0xFFAACFA9}}, 0},
      // 16-bit samples and colour maps: libtiff keeps the high byte where
      // ImageMagick rounds (v / 257), so the two may differ by one.
      {"tiff/libtiff/palette-1c-4b.tiff", 157, 151, {{0, 0, 0xFFA42120}, {78, 50, 0xFFC93029}, {156, 150, 0xFFABD09C}}, 1},
      {"tiff/libtiff/minisblack-1c-8b.tiff", 157, 151, {{0, 0, 0xFF555555}, {78, 50, 0xFF515151}, {156, 150, 0xFFBEBEBE}}, 0},
      {"tiff/libtiff/rgb-3c-16b.tiff", 157, 151, {{0, 0, 0xFFA23435}, {78, 50, 0xFFB02A24}, {156, 150, 0xFFB2CAA0}}, 1},
      {"tiff/libtiff/miniswhite-1c-1b.tiff", 157, 151, {{0, 0, 0xFF000000}, {156, 150, 0xFFFFFFFF}}, 0},
      {"3df/glide/rgb565.3df", 256, 256, {{0, 0, 0xFF52515A}, {128, 85, 0xFF522829}, {255, 255, 0xFF391C31}}, 0},
      {"3df/glide/argb1555.3df", 256, 256, {{0, 0, 0x0052525A}, {128, 85, 0x00522929}, {255, 255, 0x00392131}}, 0},
      {"3df/glide/argb4444.3df", 256, 256, {{0, 0, 0x00555555}, {128, 85, 0x00553322}, {255, 255, 0x00331133}}, 0},
      {"3df/glide/rgb332.3df", 256, 256, {{0, 0, 0xFF494955}, {128, 85, 0xFF6D2400}, {255, 255, 0xFF490000}}, 0},
      {"3df/glide/argb8332.3df", 256, 256, {{0, 0, 0x00494955}, {128, 85, 0x006D2400}}, 0},
      {"3df/glide/alpha.3df", 256, 256, {{0, 0, 0x00FFFFFF}, {128, 85, 0x63FFFFFF}, {255, 255, 0x05FFFFFF}}, 0},
      {"3df/glide/argb8888.3df", 256, 256, {{0, 0, 0x0051515A}, {128, 85, 0x00512A2A}, {255, 255, 0x00381E31}}, 0},
      {"3df/glide-texus/stone2.3df", 256, 128, {{0, 0, 0xFFEFCF08}, {255, 127, 0xFF393452}}, 0},
  };
  return images;
}

bool Near(DWORD a, DWORD b, int tolerance) {
  for (int s = 0; s < 32; s += 8)
    if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > tolerance) return false;
  return true;
}

TEST(ImageReaders, CorpusFilesDecodeToTheirSizesAndPixels) {
  for (const CorpusImage& c : Corpus()) {
    SCOPED_TRACE(c.file);
    TextureImage image;
    CString error;
    ASSERT_TRUE(ReadImageFile(kCorpus + "/" + c.file, image, error)) << error;
    EXPECT_TRUE(image.IsArgb());
    EXPECT_TRUE(image.IsConsistent());
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    for (const Pixel& p : c.pixels)
      EXPECT_TRUE(Near(image.ArgbPixel(p.x, p.y), p.argb, c.tolerance))
          << StrFormat("(%u,%u) is %08X, expected %08X", p.x, p.y, image.ArgbPixel(p.x, p.y), p.argb);
  }
}

// Every image file of the corpus decodes or is refused with a message.
TEST(ImageReaders, EveryCorpusImageDecodesOrIsRefusedWithAMessage) {
  int decoded = 0, refused = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kCorpus)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    const int code = ImageFormatFromName(path);
    if (code == IMAGE_FILE_NONE) continue;
    SCOPED_TRACE(path);
    TextureImage image;
    CString error;
    if (ReadImageFile(path, code, image, error)) {
      ++decoded;
      EXPECT_TRUE(image.IsConsistent());
      EXPECT_TRUE(error.empty());
    } else {
      ++refused;
      EXPECT_FALSE(error.empty());
      EXPECT_TRUE(image.pixels.empty());
    }
  }
  EXPECT_GT(decoded, 40);
  EXPECT_GT(refused, 0);  // 16-bit PPM, truncated 3DF files, ...
}

TEST(ImageReaders, RefusedCorpusFilesSayWhy) {
  const struct {
    const char* file;
    const char* words;
  } cases[] = {
      {"ppm/libtiff/rgb-3c-16b.ppm", "Unsupported PPM format: max != 255"},
      {"3df/glide/yiq.3df", "Bad 8 bit data"},        // ends 190 bytes early
      {"3df/glide/ayiq.3df", "Bad 16 bit data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TextureImage image;
    CString error;
    EXPECT_FALSE(ReadImageFile(kCorpus + "/" + c.file, image, error));
    EXPECT_NE(error.find(c.words), CString::npos) << error;
  }
}

// --- the texel-file library ---------------------------------------------------

TEST(TexelFiles, PpmPixelsKeepTheirPlacesAndColours) {
  Scratch dir;
  std::vector<unsigned char> ppm = Bytes("P6\n# a comment\n2 2\n255\n");
  for (int v : {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}) ppm.push_back(static_cast<unsigned char>(v));
  TextureImage image;
  CString error;
  ASSERT_TRUE(ReadImageFile(dir.Write("four.ppm", ppm), image, error)) << error;
  EXPECT_EQ(image.ArgbPixel(0, 0), 0xFFFF0000u);  // top row: red, green
  EXPECT_EQ(image.ArgbPixel(1, 0), 0xFF00FF00u);
  EXPECT_EQ(image.ArgbPixel(0, 1), 0xFF0000FFu);
  EXPECT_EQ(image.ArgbPixel(1, 1), 0xFFFFFFFFu);
}

std::vector<unsigned char> TgaHeader(int type, int w, int h, int bits, int descriptor, int mapType = 0, int mapLength = 0,
                                     int mapBits = 0) {
  return {0, static_cast<unsigned char>(mapType), static_cast<unsigned char>(type), 0, 0,
          static_cast<unsigned char>(mapLength), static_cast<unsigned char>(mapLength >> 8),
          static_cast<unsigned char>(mapBits), 0, 0, 0, 0, static_cast<unsigned char>(w),
          static_cast<unsigned char>(w >> 8), static_cast<unsigned char>(h), static_cast<unsigned char>(h >> 8),
          static_cast<unsigned char>(bits), static_cast<unsigned char>(descriptor)};
}

TEST(TexelFiles, TgaRowOrderAndRunLengthCodingGiveTheSamePicture) {
  // 3 × 2 picture, top row red green blue, bottom row white black grey (BGR).
  const std::vector<std::vector<unsigned char>> top = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
  const std::vector<std::vector<unsigned char>> bottom = {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}};
  auto rows = [](std::vector<unsigned char> f, const auto& a, const auto& b) {
    for (const auto& p : a) f.insert(f.end(), p.begin(), p.end());
    for (const auto& p : b) f.insert(f.end(), p.begin(), p.end());
    return f;
  };
  Scratch dir;
  const auto upsideDown = rows(TgaHeader(2, 3, 2, 24, 0), bottom, top);
  const auto upright = rows(TgaHeader(2, 3, 2, 24, 0x20), top, bottom);
  // Coded: a raw packet of 4 pixels crossing the row end, then a run of 1
  // and a raw packet of 1; the last packet claims 100 pixels more than the
  // image holds and must be cut at its end.
  std::vector<unsigned char> coded = TgaHeader(10, 3, 2, 24, 0x20);
  coded.push_back(3);
  for (const auto& p : top) coded.insert(coded.end(), p.begin(), p.end());
  coded.insert(coded.end(), bottom[0].begin(), bottom[0].end());
  coded.push_back(0x80);
  coded.insert(coded.end(), bottom[1].begin(), bottom[1].end());
  coded.push_back(0x80 | 100);
  coded.insert(coded.end(), bottom[2].begin(), bottom[2].end());

  TextureImage a, b, c;
  CString error;
  ASSERT_TRUE(ReadImageFile(dir.Write("a.tga", upsideDown), a, error)) << error;
  ASSERT_TRUE(ReadImageFile(dir.Write("b.tga", upright), b, error)) << error;
  ASSERT_TRUE(ReadImageFile(dir.Write("c.tga", coded), c, error)) << error;
  EXPECT_EQ(a.ArgbPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(a.ArgbPixel(2, 1), 0xFF808080u);
  EXPECT_EQ(a.pixels, b.pixels);
  EXPECT_EQ(a.pixels, c.pixels);
}

TEST(TexelFiles, Tga16BitPixelWithoutItsTopBitIsTransparentWhite) {
  Scratch dir;
  auto f = TgaHeader(2, 1, 1, 16, 0);
  f.push_back(0xFF);
  f.push_back(0x7F);
  TextureImage image;
  CString error;
  ASSERT_TRUE(ReadImageFile(dir.Write("w.tga", f), image, error)) << error;
  EXPECT_EQ(image.ArgbPixel(0, 0), 0x00FFFFFFu);
}

TEST(TexelFiles, LyingHeadersAreRefusedWithAMessage) {
  Scratch dir;
  auto colourMapped16 = TgaHeader(1, 2, 2, 16, 0, 1, 2, 24);
  colourMapped16.resize(colourMapped16.size() + 6 + 8, 0);
  auto hugeTga = TgaHeader(2, 65535, 65535, 32, 0);
  hugeTga.resize(hugeTga.size() + 64, 0);
  auto shortRle = TgaHeader(10, 4000, 4000, 24, 0);
  shortRle.resize(shortRle.size() + 40, 0);
  auto mapTooLong = TgaHeader(1, 1, 1, 8, 0, 1, 300, 24);
  std::vector<unsigned char> ppmHuge = Bytes("P6\n99999999 99999999\n255\n");
  std::vector<unsigned char> ppmShort = Bytes("P6\n64 64\n255\nabc");
  std::vector<unsigned char> ppmFourth = Bytes("P6\n2 2 255 7\n");
  std::vector<unsigned char> rgtHuge = {0xDA, 0x01, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 2, 3, 4};
  const struct {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* words;
  } cases[] = {
      {"cm16.tga", colourMapped16, "not 8 bits/pixel"},
      {"huge.tga", hugeTga, "Unexpected End of File"},
      {"short.tga", shortRle, "Unexpected End of File"},
      {"map.tga", mapTooLong, "> 256 colors"},
      {"huge.ppm", ppmHuge, "out of range"},
      {"short.ppm", ppmShort, "Unexpected End of File"},
      {"fourth.ppm", ppmFourth, "parse error"},
      {"huge.rgt", rgtHuge, "too large"},
      {"one.tga", {0x00}, "Unexpected end of file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextureImage image;
    CString error;
    EXPECT_FALSE(ReadImageFile(dir.Write(c.name, c.bytes), image, error));
    EXPECT_NE(error.find(c.words), CString::npos) << error;
  }
}

// A file named .iff or .raw is read as what its bytes are.
TEST(TexelFiles, IffAndRawNamesReadTheTargaTheyHold) {
  Scratch dir;
  auto tga = TgaHeader(3, 1, 1, 8, 0);
  tga.push_back(0x40);
  for (const char* name : {"grey.IFF", "grey.raw"}) {
    TextureImage image;
    CString error;
    ASSERT_TRUE(ReadImageFile(dir.Write(name, tga), image, error)) << name << error;
    EXPECT_EQ(image.ArgbPixel(0, 0), 0xFF404040u);
  }
  TextureImage image;
  CString error;
  EXPECT_FALSE(ReadImageFile(dir.Write("real.iff", Bytes("FORM\0\0\0\x10ILBMBMHD")), image, error));
}

MipImage ReadHeader(const std::string& text, bool* ok) {
  std::vector<unsigned char> bytes = Bytes(text);
  bytes.resize(bytes.size() + 200000, 0);
  MipImage mip;
  std::string error;
  *ok = txMipReadFromMemory(&mip, bytes.data(), bytes.size(), TX_KEEP_FORMAT, &error) == 1;
  return mip;
}

TEST(TexelFiles, ThreeDfHeaders) {
  bool ok = false;
  MipImage mip = ReadHeader("3df v1.1\nargb1555\nlod range: 1 256\naspect ratio: 2 1\n", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(mip.width, 256);
  EXPECT_EQ(mip.height, 128);
  EXPECT_EQ(mip.depth, 9);
  EXPECT_EQ(mip.format, GR_TEXFMT_ARGB_1555);
  EXPECT_EQ(mip.size, 2u * (32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 2 + 1));
  txMipFree(&mip);
  for (const char* bad : {"3df v1.1\nARGB1555\nlod range: 1 256\naspect ratio: 1 1\n",
                          "3df v1.1\nargb1555\nlod range: 1 256\naspect ratio: 3 1\n",
                          "3df v1.1\nargb1555\nlod range: 1 512\naspect ratio: 1 1\n",
                          "3df v1.1\nargb1555\nlod range: 64 8\naspect ratio: 1 1\n"}) {
    ReadHeader(bad, &ok);
    EXPECT_FALSE(ok) << bad;
  }
  // Reserved formats pass the header but have no conversion: refused.
  std::vector<unsigned char> rsvd = Bytes("3df v1.1\nrsvd1\nlod range: 1 1\naspect ratio: 1 1\n");
  rsvd.push_back(7);
  MipImage m;
  std::string error;
  EXPECT_EQ(txMipReadFromMemory(&m, rsvd.data(), rsvd.size(), GR_TEXFMT_ARGB_8888, &error), 0);
  EXPECT_FALSE(error.empty());
}

TEST(TexelFiles, DequantisationOfEachFormat) {
  const struct {
    int format;
    uint32_t texel;
    uint32_t argb;
  } cases[] = {
      {GR_TEXFMT_RGB_565, 0xF800, 0xFFFF0000},      {GR_TEXFMT_RGB_565, 0x0010, 0xFF000084},
      {GR_TEXFMT_RGB_332, 0xB5, 0xFFB6B655},        {GR_TEXFMT_ARGB_4444, 0x8421, 0x88442211},
      {GR_TEXFMT_INTENSITY_8, 0x40, 0xFF404040},    {GR_TEXFMT_ALPHA_8, 0x40, 0x40FFFFFF},
      {GR_TEXFMT_ALPHA_INTENSITY_44, 0x3C, 0x33CCCCCC}, {GR_TEXFMT_ARGB_1555, 0x7FFF, 0x00FFFFFF},
      {GR_TEXFMT_ARGB_1555, 0x8000, 0xFF000000},    {GR_TEXFMT_ALPHA_INTENSITY_88, 0x80C0, 0x80C0C0C0},
      {GR_TEXFMT_ARGB_8332, 0x12E0, 0x12FF0000},    {GR_TEXFMT_P_8, 0x02, 0xFF123456},
      {GR_TEXFMT_AP_88, 0x7702, 0x77123456},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    MipImage in;
    in.format = c.format;
    in.width = in.height = in.depth = 1;
    ASSERT_TRUE(txMipAlloc(&in));
    in.pal[2] = 0xAB123456;  // the palette's alpha byte is not used
    std::memcpy(in.data[0], &c.texel, static_cast<size_t>(TexelFormatBytes(c.format)));
    MipImage out = in;
    out.format = GR_TEXFMT_ARGB_8888;
    ASSERT_TRUE(txMipAlloc(&out));
    ASSERT_TRUE(txMipDequantize(&out, &in));
    EXPECT_EQ(*static_cast<uint32_t*>(out.data[0]), c.argb);
    txMipFree(&in);
    txMipFree(&out);
  }
}

TEST(TexelFiles, NccColoursAreClampedToTheByteRange) {
  uint32_t ncc[256] = {};
  ncc[0] = 10;                                  // Y[0]
  ncc[16] = static_cast<uint32_t>(-40);         // I[0].red
  ncc[28] = 10;                                 // Q[0].red: 10 - 40 + 10 = -20
  ncc[1] = 250;                                 // Y[1]
  ncc[16 + 3] = 40;                             // I[1].red
  ncc[28 + 3] = 10;                             // Q[1].red: 250 + 40 + 10 = 300
  uint32_t pal[256];
  txYABtoPal256(pal, ncc);
  EXPECT_EQ((pal[0x00] >> 16) & 0xFF, 0u);
  EXPECT_EQ((pal[0x15] >> 16) & 0xFF, 255u);
}

TEST(TexelFiles, RgtInBothByteOrders) {
  // 2 × 1 image, rows bottom first; pixels b0 b1 b2 b3 = red, green, blue, alpha.
  std::vector<unsigned char> little = {0xDA, 0x01, 0, 0, 0, 0, 2, 0, 1, 0, 0, 0,
                                       0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  std::vector<unsigned char> big = {0x01, 0xDA, 0, 0, 0, 0, 0, 2, 0, 1, 0, 0,
                                    0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  Scratch dir;
  TextureImage a, b;
  CString error;
  ASSERT_TRUE(ReadImageFile(dir.Write("a.raw", little), a, error)) << error;
  ASSERT_TRUE(ReadImageFile(dir.Write("b.raw", big), b, error)) << error;
  EXPECT_EQ(a.ArgbPixel(0, 0), 0x44112233u);
  EXPECT_EQ(a.ArgbPixel(1, 0), 0x88556677u);
  // High-byte-first files swap red and blue; green and alpha stay.
  EXPECT_EQ(b.ArgbPixel(0, 0), 0x44332211u);
  // An NCC-flagged header is refused.
  little[3] = 0x2;
  EXPECT_FALSE(ReadImageFile(dir.Write("c.raw", little), a, error));
  EXPECT_NE(error.find("NCC"), CString::npos);
}

TEST(TexelFiles, MessagesGoToTheCallbackWhenNotCollected) {
  static std::string seen;
  seen.clear();
  TexusErrorCallback previous = txErrorSetCallback([](const char* m, int) { seen += m; });
  Scratch dir;
  const std::string path = dir.Write("max.ppm", Bytes("P6\n1 1\n65535\n\0\0\0\0\0\0"));
  MipImage mip;
  EXPECT_EQ(txMipRead(&mip, path.c_str(), GR_TEXFMT_ARGB_8888), 0);
  txErrorSetCallback(previous);
  EXPECT_NE(seen.find("Unsupported PPM format: max != 255\n"), std::string::npos);
}

// --- BMP, JPEG, TIFF, PNG ------------------------------------------------------

TEST(BmpFiles, WrittenImagesReadBackAndHaveTheStandardLayout) {
  TextureImage image;
  ASSERT_TRUE(image.ResetArgb(5, 3));
  for (DWORD y = 0; y < 3; ++y)
    for (DWORD x = 0; x < 5; ++x) image.ArgbRow(y)[x] = 0xFF000000u | (x * 40) << 16 | (y * 100) << 8 | 7;
  Scratch dir;
  CString error;
  const std::string path = dir.Path("out.bmp");
  ASSERT_TRUE(WriteBmpFile(path, image, error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(b.size(), 54u + 16 * 3);  // rows of 15 bytes padded to 16
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[10], 54);
  EXPECT_EQ(b[28], 24);
  // The first stored row is the bottom one: blue, green, red.
  EXPECT_EQ(b[54], 7);
  EXPECT_EQ(b[55], 200);
  EXPECT_EQ(b[56], 0);
  TextureImage back;
  ASSERT_TRUE(ReadImageFile(path, back, error)) << error;
  EXPECT_EQ(back.pixels, image.pixels);
  EXPECT_FALSE(WriteBmpFile(dir.Path("missing/dir/out.bmp"), image, error));
}

TEST(BmpFiles, LyingHeadersAreRefused) {
  auto header = [](int32_t w, int32_t h, int bits, uint32_t offset, uint32_t compression = 0, uint32_t colours = 0) {
    std::vector<unsigned char> b(54, 0);
    auto put = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put(10, offset);
    put(14, 40);
    put(18, static_cast<uint32_t>(w));
    put(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = static_cast<unsigned char>(bits);
    put(30, compression);
    put(46, colours);
    return b;
  };
  auto truncated = header(1000, 1000, 24, 54);
  truncated.resize(100, 0);
  auto offsetOutside = header(1, 1, 24, 999999);
  offsetOutside.resize(60, 0);
  auto hugeSize = header(0x7FFFFFFF, 0x7FFFFFFF, 32, 54);
  auto paletteShort = header(1, 1, 8, 54 + 1024, 0, 256);
  auto badRle = header(4, 4, 24, 54, 1);
  const struct {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* words;
  } cases[] = {
      {"truncated", truncated, "truncated"},   {"offset", offsetOutside, "outside"},
      {"huge", hugeSize, "out of range"},      {"palette", paletteShort, "colour table"},
      {"rle", badRle, "run-length"},           {"tiny", {'B', 'M', 0}, "not a BMP"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextureImage image;
    CString error;
    EXPECT_FALSE(ReadBmpMemory(c.bytes.data(), c.bytes.size(), image, error));
    EXPECT_NE(error.find(c.words), CString::npos) << error;
  }
}

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Library errors come back as failures with the library's message; nothing
// reaches the standard error stream and the program goes on.
TEST(LibraryReaders, CorruptFilesFailWithTheLibrarysMessage) {
  Scratch dir;
  RecordingHost host;
  ScopedHost scope(&host);
  auto jpeg = FileBytes(kCorpus + "/3ds/assimp/IMAGE1.jpg");
  jpeg.resize(jpeg.size() / 2);
  auto tiff = FileBytes(kCorpus + "/tiff/libtiff/rgb-3c-8b.tiff");
  tiff.resize(tiff.size() / 2);
  auto png = FileBytes(kCorpus + "/3ds/assimp/test.png");
  png.resize(png.size() / 2);
  const struct {
    const char* name;
    std::vector<unsigned char> bytes;
    const char* words;
  } cases[] = {
      {"half.jpg", jpeg, "JPEG"},
      {"half.tif", tiff, "TIFF"},
      {"half.png", png, "PNG"},
      {"text.jpg", Bytes("not a jpeg at all"), "JPEG"},
      {"text.tif", Bytes("II*\0garbage"), "TIFF"},
      {"text.png", Bytes("\x89PNG\r\n\x1a\n garbage"), "PNG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextureImage image;
    CString error;
    testing::internal::CaptureStderr();
    const bool ok = ReadImageFile(dir.Write(c.name, c.bytes), image, error);
    const std::string spilled = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(c.words), CString::npos) << error;
    EXPECT_EQ(spilled, "");
    EXPECT_TRUE(image.pixels.empty());
  }
  // Each JPEG failure shows libjpeg's message once, under its title.
  int boxes = 0;
  for (const auto& m : host.messages) boxes += m.caption == "JPEG Fatal Error";
  EXPECT_EQ(boxes, 2);
}

TEST(LibraryReaders, GreyJpegGivesEqualChannels) {
  // A 1-component JPEG of a 37 × 5 ramp, written by libjpeg itself.
  Scratch dir;
  const std::string grey = dir.Path("grey.jpg");
  FILE* f = std::fopen(grey.c_str(), "wb");
  ASSERT_TRUE(f);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = 37;
  c.image_height = 5;
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  unsigned char row[37];
  for (int x = 0; x < 37; ++x) row[x] = static_cast<unsigned char>(x * 7);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  TextureImage image;
  CString error;
  ASSERT_TRUE(ReadImageFile(grey, image, error)) << error;
  ASSERT_EQ(image.width, 37u);
  ASSERT_EQ(image.height, 5u);
  for (DWORD y = 0; y < image.height; ++y)
    for (DWORD x = 0; x < image.width; ++x) {
      const DWORD p = image.ArgbPixel(x, y);
      EXPECT_EQ(p >> 24, 0xFFu);
      EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF);
      EXPECT_EQ(p & 0xFF, (p >> 16) & 0xFF);
      EXPECT_NEAR(static_cast<int>(p & 0xFF), static_cast<int>(x * 7), 8);
    }
}

// --- the table -------------------------------------------------------------------

TEST(ImageTable, FormatsFollowTheExtension) {
  const struct {
    const char* name;
    int code;
  } cases[] = {
      {"brick.BMP", IMAGE_FILE_BMP},  {"brick.jpg", IMAGE_FILE_JPG},    {"a.b/brick.JPEG", IMAGE_FILE_JPG},
      {"x.ppm", IMAGE_FILE_PPM},      {"x.3DF", IMAGE_FILE_3DF},        {"x.tif", IMAGE_FILE_TIF},
      {"x.tiff", IMAGE_FILE_TIF},     {"x.Tga", IMAGE_FILE_TGA},        {"x.iff", IMAGE_FILE_IFF},
      {"x.raw", IMAGE_FILE_RAW},      {"x.png", IMAGE_FILE_PNG},        {"brick.gif", IMAGE_FILE_NONE},
      {"maps.bmp\\brick", IMAGE_FILE_NONE}, {"bmp", IMAGE_FILE_NONE},   {"", IMAGE_FILE_NONE},
  };
  for (const auto& c : cases) EXPECT_EQ(ImageFormatFromName(c.name), c.code) << c.name;
}

TEST(ImageTable, ResamplingAveragesWhenShrinking) {
  TextureImage image;
  ASSERT_TRUE(image.ResetArgb(4, 2));
  for (DWORD x = 0; x < 4; ++x) image.ArgbRow(0)[x] = image.ArgbRow(1)[x] = x < 2 ? 0xFF000000u : 0xFFFFFFFFu;
  TextureImage half;
  ASSERT_TRUE(ResampleImage(image, 2, 1, half));
  EXPECT_EQ(half.ArgbPixel(0, 0), 0xFF000000u);
  EXPECT_EQ(half.ArgbPixel(1, 0), 0xFFFFFFFFu);
  TextureImage one;
  ASSERT_TRUE(ResampleImage(image, 1, 1, one));
  EXPECT_EQ(one.ArgbPixel(0, 0), 0xFF808080u);
}

}  // namespace
