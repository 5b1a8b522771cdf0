// Texture images: finding the file along the search paths, the load modes,
// the power-of-two surfaces, writing the image as BMP, and the models of the
// corpus whose textures sit beside them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "engine/CMeshObject.h"
#include "engine/CTexture.h"
#include "imaging/ImageFile.h"
#include "platform/DxErrors.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

class WarningHost : public RecordingHost {
 public:
  void ShowBitmapWarning(const CString& file) override { warnings.push_back(file); }
  std::vector<CString> warnings;
};

class TextureImageTest : public ::testing::Test {
 protected:
  TextureImageTest() : m_Scope(&host) {
    auto display = std::make_unique<NullDisplaySystem>();
    engine = std::make_unique<CRenderEngine>(8, std::move(display));
    engine->Init_RenderEngine(&window);
    engine->SetTextureLoadMode(0);
    static int serial = 0;
    root = fs::temp_directory_path() / ("orv_teximg_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    fs::create_directories(root);
  }
  ~TextureImageTest() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // A w × h BMP whose pixel (x, y) is 0xFF000000 | colour(x, y).
  std::string WriteBmp(const fs::path& path, DWORD w, DWORD h, DWORD colour = 0xFF0000) {
    fs::create_directories(path.parent_path());
    TextureImage image;
    EXPECT_TRUE(image.ResetArgb(w, h));
    for (DWORD y = 0; y < h; ++y)
      for (DWORD x = 0; x < w; ++x) image.ArgbRow(y)[x] = 0xFF000000u | colour;
    CString error;
    EXPECT_TRUE(WriteBmpFile(path.string(), image, error)) << error;
    return path.string();
  }
  CTexture* NewTexture() { return engine->CreateTexture(); }

  WarningHost host;
  ScopedHost m_Scope;
  FixedWindow window;
  std::unique_ptr<CRenderEngine> engine;
  fs::path root;
};

TEST_F(TextureImageTest, LoadsFromTheNamedFolderAndFindsNamesOfAnotherCase) {
  const std::string file = WriteBmp(root / "tex" / "brick.bmp", 4, 2);
  CTexture* t = NewTexture();
  ASSERT_EQ(t->LoadBitMap((root / "TEX" / "Brick.BMP").string()), 0);
  EXPECT_EQ(t->GetFileName(), file);
  EXPECT_EQ(t->GetValidTextureMap(), 1);
  ASSERT_TRUE(t->GetDeviceSurface());
  EXPECT_EQ(t->GetDeviceSurface().get(), t->GetSystemSurface().get());
  EXPECT_EQ(t->GetBitMapWidth(), 4u);
  EXPECT_EQ(t->GetSystemSurface()->ArgbPixel(3, 1), 0xFFFF0000u);
  // The folder it was found in is a search path from now on.
  std::set<CString> paths;
  for (auto* n = engine->SearchPathList().GoTop(); n; n = n->Next()) paths.insert(n->Node()->GetPath());
  EXPECT_TRUE(paths.count((root / "tex").string() + "/"));
}

TEST_F(TextureImageTest, LaterSearchPathsAreTriedInOrder) {
  engine->AddSearchPath((root / "lib").string());
  const std::string file = WriteBmp(root / "lib" / "brick.bmp", 2, 2);
  CTexture* t = NewTexture();
  // Missing beside its own name, present in the second entry.
  ASSERT_EQ(t->LoadBitMap((root / "tex" / "brick.bmp").string()), 0);
  EXPECT_EQ(t->GetFileName(), file);
  // A name without a folder is looked for in the working folder first.
  const fs::path cwd = fs::current_path();
  fs::current_path(root);
  WriteBmp(root / "here.bmp", 2, 2, 0x00FF00);
  CTexture* u = NewTexture();
  const LONG hr = u->LoadBitMap("here.bmp");
  fs::current_path(cwd);
  ASSERT_EQ(hr, 0);
  EXPECT_EQ(u->GetSystemSurface()->ArgbPixel(0, 0), 0xFF00FF00u);
}

TEST_F(TextureImageTest, AMissingFileIsNotFoundQuietly) {
  CTexture* t = NewTexture();
  const std::string name = (root / "nowhere.bmp").string();
  EXPECT_EQ(t->LoadBitMap(name), DDERR_NOTFOUND);
  EXPECT_EQ(t->GetFileName(), name);
  EXPECT_EQ(t->GetValidTextureMap(), 0);
  EXPECT_FALSE(t->GetSystemSurface());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(t->GetImageError().empty());
}

TEST_F(TextureImageTest, UnsupportedFormatsAreReported) {
  CTexture* t = NewTexture();
  EXPECT_EQ(t->LoadBitMap("brick.gif"), E_FAIL);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            "The texture brick.gif has an unsupported format.\nPlease save it in a supported format (BMP, JPG, TIFF, "
            "IFF, 3DF, PPM, TGA).");
  // Not during a batch conversion that hides its errors.
  host.batch = true;
  host.SetInt("ACTIONS", "BATCH_CONVERSION_SHOW_ERRORS", 0);
  EXPECT_EQ(t->LoadBitMap("brick.gif"), E_FAIL);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(TextureImageTest, LoadModesForceTheExtensionOfTheFileNameOnly) {
  // A BMP saved under a .JPG name: mode 0 reads it as JPEG (and fails), mode
  // 1 looks for the .bmp beside it.
  WriteBmp(root / "maps.old" / "brick.bmp", 2, 2);
  fs::copy_file(root / "maps.old" / "brick.bmp", root / "maps.old" / "brick.JPG");
  CTexture* t = NewTexture();
  EXPECT_EQ(t->LoadBitMap((root / "maps.old" / "brick.JPG").string()), DDERR_NOTFOUND);
  EXPECT_NE(t->GetImageError().find("JPEG"), CString::npos) << t->GetImageError();
  engine->SetTextureLoadMode(1);
  ASSERT_EQ(t->LoadBitMap((root / "maps.old" / "brick.JPG").string()), 0);
  EXPECT_EQ(t->GetFileName(), (root / "maps.old" / "brick.bmp").string());
  // The dot of the folder name stays: mode 2 asks for maps.old/brick.jpg.
  engine->SetTextureLoadMode(2);
  EXPECT_EQ(t->LoadBitMap((root / "maps.old" / "brick.bmp").string()), DDERR_NOTFOUND);
  EXPECT_NE(t->GetImageError().find("JPEG"), CString::npos);
}

TEST_F(TextureImageTest, SidesThatAreNoPowerOfTwoAreScaledDownAfterAWarning) {
  const std::string file = WriteBmp(root / "odd.bmp", 300, 200);
  CTexture* t = NewTexture();
  ASSERT_EQ(t->LoadBitMap(file), 0);
  ASSERT_EQ(host.warnings.size(), 1u);
  EXPECT_EQ(t->GetBitMapWidth(), 256u);
  EXPECT_EQ(t->GetBitMapHeight(), 128u);
  EXPECT_EQ(t->GetImageFileWidth(), 300u);
  EXPECT_EQ(t->GetSystemSurface()->width, 256u);
  EXPECT_EQ(t->GetSystemSurface()->ArgbPixel(200, 100), 0xFFFF0000u);
  host.SetInt("ACTIONS", "CONFIRM_BITMAP_ACTION", 1);
  host.SetInt("ACTIONS", "CONFIRM_BITMAP_DIMENSIONS", 1);
  ASSERT_EQ(t->LoadBitMap(file), 0);
  EXPECT_EQ(host.warnings.size(), 1u);
  EXPECT_EQ(t->GetSystemSurface()->width, 300u);
  EXPECT_EQ(t->GetSystemSurface()->height, 200u);
}

TEST_F(TextureImageTest, SavingWritesA24BitBmpOfTheSurfaceBesideTheTarget) {
  const std::string file = WriteBmp(root / "in" / "brick.bmp", 256, 128, 0x102030);
  CTexture* t = NewTexture();
  ASSERT_EQ(t->LoadBitMap(file), 0);
  fs::create_directories(root / "out.d");
  const std::string target = (root / "out.d" / "brick.jpg").string();
  const CString written = t->SaveBitMap(target);
  EXPECT_EQ(written, (root / "out.d" / "brick.bmp").string());
  EXPECT_EQ(t->GetSavedFileName(), written);
  std::ifstream in(written, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(b.size(), 98358u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[10], 54);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b[54], 0x30);  // blue, green, red
  EXPECT_EQ(b[56], 0x10);

  // A .bmp target gets the source file; one that holds another image is
  // replaced, so the saved model names the right picture.
  const std::string other = WriteBmp(root / "out.d" / "copy.bmp", 1, 1, 0xFFFFFF);
  EXPECT_EQ(t->SaveBitMap(other), other);
  TextureImage back;
  CString error;
  ASSERT_TRUE(ReadImageFile(other, back, error));
  EXPECT_EQ(back.width, 256u);
  // A folder that does not exist: nothing written, nothing claimed.
  EXPECT_EQ(t->SaveBitMap((root / "missing" / "brick.jpg").string()), "");
  EXPECT_EQ(t->GetSavedFileName(), "");
  // Without an image there is nothing to save.
  EXPECT_EQ(NewTexture()->SaveBitMap(target), "");
}

// The texture path decodes the pixels the readers give: a red PPM pixel is
// red on the surface.
TEST_F(TextureImageTest, ThePixelsOfTheFileReachTheSurface) {
  std::string ppm = "P6\n1 2\n255\n";
  ppm += std::string("\xFF\x00\x00\x00\x00\xFF", 6);
  const std::string path = (root / "red.ppm").string();
  std::ofstream(path, std::ios::binary) << ppm;
  TextureImage direct;
  CString error;
  ASSERT_TRUE(ReadImageFile(path, direct, error));
  CTexture* t = NewTexture();
  host.SetInt("ACTIONS", "CONFIRM_BITMAP_DIMENSIONS", 1);
  ASSERT_EQ(t->LoadBitMap(path), 0);
  EXPECT_EQ(direct.ArgbPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(t->GetSystemSurface()->ArgbPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(t->GetSystemSurface()->ArgbPixel(0, 1), 0xFF0000FFu);
}

TEST_F(TextureImageTest, TheSourceColourKeyMarksItsPixels) {
  const std::string file = WriteBmp(root / "key.bmp", 2, 2, 0x00FF00);
  CTexture* t = NewTexture();
  t->SetSourceColorKey(0x00F000, 0x00FF10);
  t->SetUseSourceColorKey(1);
  ASSERT_EQ(t->LoadBitMap(file), 0);
  const auto& s = t->GetDeviceSurface();
  EXPECT_TRUE(s->IsSourceKeyed(s->ArgbPixel(0, 0)));
  EXPECT_FALSE(s->IsSourceKeyed(0xFFFF0000u));
  t->SetUseSourceColorKey(0);
  EXPECT_FALSE(s->IsSourceKeyed(s->ArgbPixel(0, 0)));
}

// A model naming an image of no supported format gives the texture's one
// message; a file the reader refuses gives the model reader's warning.
TEST_F(TextureImageTest, ModelsTellWhyATextureHasNoImage) {
  std::ofstream(root / "bad.bmp") << "not a bitmap";
  for (const char* image : {"wood.gif", "bad.bmp"}) {
    SCOPED_TRACE(image);
    host.messages.clear();
    const fs::path p = root / "textured.x";
    std::ofstream(p) << "xof 0302txt 0032\n"
                        "Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n"
                        " MeshMaterialList { 1; 1; 0;;\n"
                        "  Material { 1;1;1;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { \""
                     << image
                     << "\"; } }\n"
                        " }\n"
                        " MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }\n"
                        "}\n";
    CMeshObject* mesh = engine->CreateObject();
    ASSERT_EQ(mesh->Load(p.string()), 0);
    ASSERT_EQ(host.messages.size(), 1u);
    const CString expected = CString(image) == "wood.gif" ? "has an unsupported format" : "is not an image the program can read";
    EXPECT_NE(host.messages[0].text.find(expected), CString::npos) << host.messages[0].text;
  }
}

// The textures of the corpus models sit beside them (some named in another
// letter case or with Windows folders): they decode when the model loads.
TEST_F(TextureImageTest, CorpusModelsLoadTheirTextures) {
  host.SetInt("ACTIONS", "CONFIRM_BITMAP_DIMENSIONS", 1);
  const std::string corpus = ORV_CORPUS_DIR;
  int textures = 0, decoded = 0;
  for (const char* model : {"x/assimp/test.x", "x/assimp/kwxport_test_cubewithvcolors.x", "x/dxsdk-legacy/airplane 2.x",
                            "x/dxsdk-legacy/lobby_skybox.x", "x/dxsdk-legacy/cell.x", "x/dxsdk-legacy/tiger.x",
                            "x/dxsdk-legacy/room.x", "x/dxsdk-legacy/seafloor.x", "x/dxsdk-legacy/spotlight.x"}) {
    SCOPED_TRACE(model);
    CMeshObject* mesh = engine->CreateObject();
    ASSERT_EQ(mesh->Load(corpus + "/" + model), 0);
    for (auto* n = engine->TextureList().GoTop(); n; n = n->Next()) {
      CTexture* t = n->Node();
      if (!t || t->GetFileName().empty()) continue;
      ++textures;
      if (t->GetValidTextureMap()) {
        ++decoded;
        EXPECT_GT(t->GetImageFileWidth(), 0u);
      } else {
        ADD_FAILURE() << t->GetFileName() << ": " << t->GetImageError();
      }
    }
  }
  EXPECT_GT(textures, 0);
  EXPECT_EQ(decoded, textures);
}

}  // namespace
