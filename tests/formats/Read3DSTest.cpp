// The 3D Studio reader on files built byte by byte, and on the corpus.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "engine/CLight.h"
#include "formats/ModelFormats.h"
#include "formats/Read3DS.h"
#include "platform/Paths.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

// --- building files ---------------------------------------------------------------

std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
std::string U16(uint16_t v) { return U8(v & 0xFF) + U8(v >> 8); }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string F32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return U32(bits);
}
std::string Str(const std::string& s) { return s + std::string(1, '\0'); }
std::string Ch(uint16_t id, const std::string& body) {
  return U16(id) + U32(static_cast<uint32_t>(body.size() + 6)) + body;
}

// A file in the usual order: the version chunk opens the main chunk, and
// the mesh version of the editor data has its first byte at offset 28.
std::string File(const std::string& editor, int version = 3, const std::string& after = "") {
  return Ch(0x4D4D, Ch(0x0002, U32(static_cast<uint32_t>(version))) + Ch(0x3D3D, Ch(0x3D3E, U32(static_cast<uint32_t>(version))) + editor) +
                        after);
}

std::string Vertices(const std::vector<D3DVECTOR>& v) {
  std::string b = U16(static_cast<uint16_t>(v.size()));
  for (const D3DVECTOR& p : v) b += F32(p.x) + F32(p.y) + F32(p.z);
  return Ch(0x4110, b);
}

std::string Faces(const std::vector<std::array<uint16_t, 3>>& f, const std::string& sub = "") {
  std::string b = U16(static_cast<uint16_t>(f.size()));
  for (const auto& t : f) b += U16(t[0]) + U16(t[1]) + U16(t[2]) + U16(7);
  return Ch(0x4120, b + sub);
}

std::string Group(const std::string& material, const std::vector<uint16_t>& faces) {
  std::string b = Str(material) + U16(static_cast<uint16_t>(faces.size()));
  for (uint16_t f : faces) b += U16(f);
  return Ch(0x4130, b);
}

std::string Object(const std::string& name, const std::string& mesh) { return Ch(0x4000, Str(name) + Ch(0x4100, mesh)); }

std::vector<D3DVECTOR> BoxVertices(float x = 0) {
  std::vector<D3DVECTOR> v;
  for (int i = 0; i < 8; ++i) v.emplace_back(x + (i & 1), (i >> 1) & 1, (i >> 2) & 1);
  return v;
}

std::vector<std::array<uint16_t, 3>> BoxFaces() {
  return {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
          {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
}

std::string Box(const std::string& name = "Box", const std::string& groups = "", const std::string& more = "") {
  return Object(name, Vertices(BoxVertices()) + Faces(BoxFaces(), groups) + more);
}

std::string Material(const std::string& name, const std::string& body) {
  return Ch(0xAFFF, Ch(0xA000, Str(name)) + body);
}
std::string ColorBytes(uint16_t id, uint8_t r, uint8_t g, uint8_t b) { return Ch(id, Ch(0x0011, U8(r) + U8(g) + U8(b))); }

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Read3DSTest : public EngineTest {
 protected:
  Read3DSTest() {
    Attach();
    dir = fs::temp_directory_path() / ("orv_3ds_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  ~Read3DSTest() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // Loads `bytes` as a .3ds file through the mesh's load dispatch.
  CMeshObject* Load(const std::string& bytes, LONG* result = nullptr, const char* name = "model.3ds") {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    CMeshObject* root = engine->CreateObject();
    const LONG r = root->Load(path.string());
    if (result) *result = r;
    return root;
  }
  static std::vector<CMeshObject*> Children(CMeshObject* m) { return Items(m->ChildList()); }
  static D3DVECTOR World(CMeshObject* m, long i) {
    D3DVECTOR v;
    m->GetVertexCoordinates(i, &v);
    return v;
  }
  bool Shown(const std::string& text) const {
    for (const auto& m : host.messages)
      if (m.text == text) return true;
    return false;
  }
  fs::path dir;
};

// --- the Part's checks ------------------------------------------------------------------

TEST_F(Read3DSTest, AMinimalBoxBecomesOneChildWithItsVerticesAndFacesInFileOrder) {
  host.acceptUndo = true;
  LONG result = -1;
  std::string matrix;
  for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f}) matrix += F32(v);
  CMeshObject* root = Load(File(Box("Box", "", Ch(0x4160, matrix))), &result);
  EXPECT_EQ(result, 0);
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 1u);
  CMeshObject* box = kids[0];
  EXPECT_EQ(box->GetName(), "Box");
  ASSERT_EQ(box->GetVertexCount(), 8);
  ASSERT_EQ(box->GetFaceCount(), 12);
  const auto faces = BoxFaces();
  for (long f = 0; f < 12; ++f) {
    long a, b, c;
    box->GetFaceIndices(f, &a, &b, &c);
    EXPECT_EQ(a, faces[f][0]);
    EXPECT_EQ(b, faces[f][1]);
    EXPECT_EQ(c, faces[f][2]);
  }
  const D3DVECTOR v7 = World(box, 7);
  EXPECT_FLOAT_EQ(v7.x, 1);
  EXPECT_FLOAT_EQ(v7.y, 1);
  EXPECT_FLOAT_EQ(v7.z, 1);
  EXPECT_NE(root->GetRemark().find("Reading 3DS object Version = 3."), CString::npos);
  EXPECT_TRUE(host.messages.empty());
  // The import showed its progress and recorded nothing for undo.
  EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), "message Box: Reading Object Faces."),
            host.progress.end());
  EXPECT_TRUE(host.undoActions.empty());
}

TEST_F(Read3DSTest, ObjectNamesKeepElevenCharactersAndLongNamesKeepAll) {
  const std::string mat = "A material name longer than eleven";
  CMeshObject* root =
      Load(File(Material(mat, ColorBytes(0xA020, 255, 0, 0)) + Box("ABCDEFGHIJKLMN", Group(mat, {0}))));
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->GetName(), "ABCDEFGHIJK");
  CMaterial* m = kids[0]->GetFaceMaterial(0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->GetName(), "A_material_name_longer_than_eleven");
}

TEST_F(Read3DSTest, TheVersionPromptAsksBelowVersionThreeAndNoLeavesTheSceneAlone) {
  const CString question =
      "Orvane is only certified for 3D Studio Version 3+ objects.\nThis object is version 2. For some object "
      "loading might work.\nContinue loading this object?";
  const struct {
    int version;
    int answer;
    size_t children;
    bool asked;
  } cases[] = {{2, IDNO, 0, true}, {2, IDYES, 1, true}, {3, IDNO, 1, false}};
  for (const auto& k : cases) {
    host.messages.clear();
    host.answers = {k.answer};
    const long objects = engine->ObjectList().Count(), materials = engine->MaterialList().Count(),
               lights = engine->LightList().Count();
    LONG result = -1;
    CMeshObject* root = Load(File(Material("Red", "") + Box(), k.version), &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Children(root).size(), k.children) << k.version << " " << k.answer;
    ASSERT_EQ(host.messages.size(), k.asked ? 1u : 0u);
    if (k.asked) {
      EXPECT_EQ(host.messages[0].text, question);
      EXPECT_EQ(host.messages[0].type & MB_TYPEMASK, MB_YESNO);
    }
    if (k.answer == IDNO && k.asked) {
      EXPECT_EQ(engine->ObjectList().Count(), objects + 1);  // the root alone
      EXPECT_EQ(engine->MaterialList().Count(), materials);
      EXPECT_EQ(engine->LightList().Count(), lights);
    }
    host.answers.clear();
  }
}

TEST_F(Read3DSTest, ATextureMaterialGivesATextureWithItsCompanionFoundInAnyLetterCase) {
  std::ofstream(dir / "wood.bmp") << "BM";
  const std::string groups = Group("Wood", {0, 1, 2, 3});
  CMeshObject* root = Load(File(Material("Wood", Ch(0xA200, Ch(0x0030, U16(100)) + Ch(0xA300, Str("WOOD.BMP")))) +
                                Box("Box", groups)));
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 1u);
  CMeshObject* box = kids[0];
  ASSERT_EQ(box->GetTextureCount(), 1);
  CTexture* t = box->GetTexture(0);
  EXPECT_EQ(t->GetName(), "Wood");
  EXPECT_EQ(fs::path(t->GetFileName()), dir / "wood.bmp");
  CMaterial* companion = box->GetFaceMaterial(0);
  ASSERT_NE(companion, nullptr);
  EXPECT_EQ(companion->GetName(), "iMat_Wood");
  for (CMaterial* m : {static_cast<CMaterial*>(t), companion}) {
    const D3DVECTOR d = m->GetDiffuse();
    EXPECT_EQ(d.x + d.y + d.z, 3.0f) << m->GetName();
  }
  for (long f = 0; f < 12; ++f) {
    const bool grouped = f < 4;
    EXPECT_EQ(box->GetFaceTextureIndex(f), grouped ? 0 : -1) << f;
    EXPECT_EQ(box->IsTexturedFace(f) != 0, grouped) << f;
    EXPECT_EQ(box->GetFaceMaterial(f) == companion, grouped) << f;
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Read3DSTest, GroupsBindToTheMaterialOfTheSameFileAndObjectsShareATextureByCopies) {
  CMaterial* older = engine->CreateMaterial();
  older->SetName("Red");
  const std::string file =
      File(Material("Red", ColorBytes(0xA020, 255, 0, 0)) + Material("Tex", Ch(0xA300, Str("none.png"))) +
           Box("One", Group("Red", {0, 1}) + Group("Tex", {2})) + Box("Two", Group("Tex", {0})) +
           Box("Three", Group("Missing", {0})));
  CMeshObject* root = Load(file);
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 3u);
  CMaterial* red = kids[0]->GetFaceMaterial(0);
  ASSERT_NE(red, nullptr);
  EXPECT_NE(red, older);
  EXPECT_FLOAT_EQ(red->GetDiffuse().x, 1);
  EXPECT_FLOAT_EQ(red->GetDiffuse().y, 0);
  // Each mesh holds a texture of its own; both draw the same file.
  ASSERT_EQ(kids[0]->GetTextureCount(), 1);
  ASSERT_EQ(kids[1]->GetTextureCount(), 1);
  EXPECT_NE(kids[0]->GetTexture(0), kids[1]->GetTexture(0));
  EXPECT_EQ(kids[1]->GetTexture(0)->GetOwner(), kids[1]);
  EXPECT_EQ(kids[0]->GetTexture(0)->GetFileName(), kids[1]->GetTexture(0)->GetFileName());
  EXPECT_EQ(kids[1]->GetFaceTextureIndex(0), 0);
  // A group whose material the file does not have is reported and left out.
  EXPECT_EQ(kids[2]->GetFaceMaterialIndex(0), 0);
  EXPECT_EQ(kids[2]->GetTextureCount(), 0);
}

TEST_F(Read3DSTest, MasterScaleMovesFramesAndLightsWhileVerticesKeepTheirPlace) {
  std::string matrix;
  for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 2.f, 0.f, 0.f}) matrix += F32(v);
  const std::string light = Ch(0x4000, Str("Lamp") + Ch(0x4600, F32(4) + F32(2) + F32(0) +
                                                         Ch(0x0010, F32(1) + F32(0.5f) + F32(0)) +
                                                         Ch(0x465A, F32(25))));
  CMeshObject* root = Load(File(Ch(0x0100, F32(0.5f)) +
                                Object("Box", Vertices(BoxVertices(2)) + Faces(BoxFaces()) + Ch(0x4160, matrix)) + light));
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 1u);
  CMeshObject* box = kids[0];
  const D3DVECTOR p = box->GetPosition();
  EXPECT_NEAR(p.x, 1, 1e-6);
  EXPECT_NEAR(p.y, 0, 1e-6);
  const auto corners = BoxVertices(2);
  for (long i = 0; i < 8; ++i) {
    const D3DVECTOR w = World(box, i);
    EXPECT_NEAR(w.x, corners[i].x, 1e-6) << i;
    EXPECT_NEAR(w.y, corners[i].y, 1e-6) << i;
    EXPECT_NEAR(w.z, corners[i].z, 1e-6) << i;
  }
  EXPECT_FLOAT_EQ(root->GetScale().x, 0.5f);
  CLight* lamp = nullptr;
  for (CLight* l : Items(engine->LightList()))
    if (l->GetName() == "Lamp") lamp = l;
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->GetLightType(), D3DLIGHT_POINT);
  EXPECT_FLOAT_EQ(lamp->GetPosition().x, 2);
  EXPECT_FLOAT_EQ(lamp->GetPosition().y, 1);
  EXPECT_FLOAT_EQ(lamp->GetColor().g, 0.5f);
  EXPECT_FLOAT_EQ(lamp->GetRange(), 25);
}

TEST_F(Read3DSTest, SkippedChunksLeaveARemarkAndTheChunksAfterThemAreRead) {
  CMeshObject* root = Load(File(Box("First") + Ch(0x1234, "junk") + Box("Second") + Ch(0x3000, "") ,
                                3, Ch(0xB000, Ch(0xB002, "x"))));
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(kids[1]->GetName(), "Second");
  EXPECT_EQ(kids[1]->GetFaceCount(), 12);
  EXPECT_NE(kids[0]->GetRemark().find("Skipping unknown chunk."), CString::npos);
  EXPECT_NE(kids[1]->GetRemark().find("Skipping default view chunk."), CString::npos);
  EXPECT_NE(kids[1]->GetRemark().find("Skipping keyframe chunk."), CString::npos);
}

TEST_F(Read3DSTest, HiddenAndNoShadowFlagsMakeNoMeshOfTheirOwn) {
  CMeshObject* root = Load(File(Ch(0x4000, Str("Flagged") + Ch(0x4010, "") + Ch(0x4012, "") +
                                               Ch(0x4100, Vertices(BoxVertices()) + Faces(BoxFaces())))));
  const auto kids = Children(root);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->GetFaceCount(), 12);
  EXPECT_EQ(kids[0]->GetVisible(), 0);
}

TEST_F(Read3DSTest, FogAndBackgroundReachTheEngine) {
  const std::string fog = Ch(0x2200, F32(1) + F32(10) + F32(100) + F32(60) + Ch(0x0010, F32(1) + F32(0.5f) + F32(0)) +
                                         Ch(0x2210, U8(0)));
  Load(File(fog + Ch(0x1200, Ch(0x0011, U8(0) + U8(0) + U8(255)))));
  EXPECT_FLOAT_EQ(engine->GetFogStart(), 1);
  EXPECT_FLOAT_EQ(engine->GetFogEnd(), 100);
  EXPECT_FLOAT_EQ(engine->GetFogDensity(), 0.5f);
  EXPECT_EQ(engine->GetFogColor() & 0xFFFFFF, 0xFF7F00u);
  EXPECT_EQ(engine->GetFogEnable(), 1);
  ASSERT_NE(engine->GetBackGround(), nullptr);
  EXPECT_FLOAT_EQ(engine->GetBackGround()->GetDiffuse().z, 1);
}

TEST_F(Read3DSTest, TextureInformationPlacesTheTextureOfAGroupAndChoosesItsWrap) {
  std::string info = U16(1) + F32(1) + F32(1) + F32(0) + F32(0) + F32(0);
  for (float v : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 3.f, 4.f, 5.f}) info += F32(v);
  info += F32(2) + F32(1) + F32(1) + F32(1);
  CMeshObject* root = Load(File(Material("Wood", Ch(0xA300, Str("wood.bmp"))) +
                                Object("Box", Vertices(BoxVertices()) + Ch(0x4170, info) +
                                                  Faces(BoxFaces(), Group("Wood", {0})))));
  CMeshObject* box = Children(root).at(0);
  ASSERT_EQ(box->GetTextureCount(), 1);
  CTexture* t = box->GetTexture(0);
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_CYLINDER);
  EXPECT_FLOAT_EQ(t->GetPosition().x, 3);
  EXPECT_FLOAT_EQ(t->GetPosition().z, 5);
  EXPECT_FLOAT_EQ(t->GetScale().y, 2);
}

TEST_F(Read3DSTest, WithoutAVersionChunkFirstTheVersionIsTheByteWhereTheUsualLayoutHasIt) {
  // The main chunk opens with the editor data: offset 28 then falls on the
  // identifier of the box's vertex chunk (0x10, above 3): no question.
  host.answers = {IDNO};
  const std::string file = Ch(0x4D4D, Ch(0x3D3D, Box()));
  CMeshObject* root = Load(file);
  EXPECT_TRUE(host.messages.empty()) << host.messages.front().text;
  EXPECT_EQ(Children(root).size(), 1u);
  host.answers.clear();
}

// --- damaged files ----------------------------------------------------------------------

TEST_F(Read3DSTest, DamagedFilesEndTheirContainerOrTheImportAndKeepWhatWasRead) {
  const std::string box = File(Box());
  const size_t facesAt = box.find(std::string("\x20\x41", 2));  // the 4120 header
  ASSERT_NE(facesAt, std::string::npos);
  // A box whose faces name a vertex it does not have, grouped after it.
  auto badFaces = BoxFaces();
  badFaces[1] = {0, 9, 2};
  const struct {
    const char* what;
    std::string bytes;
    size_t children;
    long vertices, faces;  // of the first child
  } cases[] = {
      {"cut inside the faces", box.substr(0, facesAt + 20), 1, 8, 1},
      {"cut inside the vertices", box.substr(0, facesAt - 20), 1, 6, 0},
      {"a zero-length chunk", File(Box("Before") + U16(0x1234) + U32(0) + Box("After")), 1, 8, 12},
      {"a chunk running past its parent",
       File(Object("Long", Ch(0x4110, U16(1) + F32(0) + F32(0) + F32(0)).substr(0, 2) + U32(1000) + "abc") + Box("Next")),
       2, 0, 0},
      {"faces past the vertices", File(Object("Bad", Vertices(BoxVertices()) + Faces(badFaces))), 1, 8, 11},
      {"vertex count past the chunk", File(Object("Big", Ch(0x4110, U16(60000) + F32(1) + F32(2) + F32(3)))), 1, 1, 0},
  };
  for (const auto& k : cases) {
    host.messages.clear();
    LONG result = -1;
    CMeshObject* root = Load(k.bytes, &result);
    EXPECT_EQ(result, 0) << k.what;
    const auto kids = Children(root);
    ASSERT_EQ(kids.size(), k.children) << k.what;
    EXPECT_EQ(kids[0]->GetVertexCount(), k.vertices) << k.what;
    EXPECT_EQ(kids[0]->GetFaceCount(), k.faces) << k.what;
    for (CMeshObject* m : kids)
      for (long f = 0; f < m->GetFaceCount(); ++f) {
        long a, b, c;
        m->GetFaceIndices(f, &a, &b, &c);
        EXPECT_LT(std::max({a, b, c}), m->GetVertexCount()) << k.what;
      }
  }
}

TEST_F(Read3DSTest, AGroupAfterASkippedFaceStillNamesTheRightFaces) {
  auto faces = BoxFaces();
  faces[0] = {0, 99, 1};
  CMeshObject* root = Load(File(Material("Red", ColorBytes(0xA020, 255, 0, 0)) +
                                Object("Box", Vertices(BoxVertices()) + Faces(faces, Group("Red", {0, 2})))));
  CMeshObject* box = Children(root).at(0);
  ASSERT_EQ(box->GetFaceCount(), 11);
  // File face 2 is mesh face 1; file face 0 was left out.
  EXPECT_NE(box->GetFaceMaterialIndex(1), 0);
  EXPECT_EQ(box->GetFaceMaterialIndex(0), 0);
}

TEST_F(Read3DSTest, FilesThatAreNoThreeDStudioFilesAreRefused) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"text", "invalid 3ds file\n"},
      {"empty", ""},
      {"another chunk first", Ch(0x3D3D, std::string(40, '\0'))},
  };
  for (const auto& k : cases) {
    host.messages.clear();
    LONG result = 0;
    CMeshObject* root = Load(k.bytes, &result);
    EXPECT_EQ(result, E_FAIL) << k.what;
    EXPECT_TRUE(Shown("Can't open file as 3D Studio File.")) << k.what;
    EXPECT_TRUE(Children(root).empty());
  }
  host.messages.clear();
  CMeshObject* root = engine->CreateObject();
  EXPECT_EQ(root->Load((dir / "missing.3ds").string()), E_FAIL);
  EXPECT_TRUE(Shown("Can't open file as 3D Studio File."));
}

// --- real files -----------------------------------------------------------------------------

// The vertices a file's own vertex chunks hold: every 4110 count, found by
// walking the chunk tree independently of the reader.
long FileVertexCount(const std::string& b, size_t at, size_t end) {
  long n = 0;
  while (at + 6 <= end) {
    const uint16_t id = static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
    uint32_t len;
    std::memcpy(&len, b.data() + at + 2, 4);
    if (len < 6 || at + len > end) break;
    if (id == 0x4110) n += static_cast<uint8_t>(b[at + 6]) | (static_cast<uint8_t>(b[at + 7]) << 8);
    size_t body = at + 6;
    if (id == 0x4000) body = b.find('\0', body) + 1;
    if (id == 0x4D4D || id == 0x3D3D || id == 0x4000 || id == 0x4100) n += FileVertexCount(b, body, at + len);
    at += len;
  }
  return n;
}

TEST_F(Read3DSTest, EveryCorpusFileLoadsWithTheFacesAssimpFinds) {
  // The "Faces:" line of `assimp info -r FILE` (assimp-utils of Debian 12;
  // -r: the raw import, without the post-processing that merges identical
  // objects into one instanced mesh) for each file; assimp refuses
  // wrong.3ds ("Chunk is too large"). The keyframe instances of the
  // online3dviewer cubes are not counted there nor read here.
  const std::map<std::string, long> assimpFaces = {
      {"assimp/CameraRollAnim.3ds", 12},
      {"assimp/CameraRollAnimWithChildObject.3ds", 24},
      {"assimp/RotatingCube.3DS", 12},
      {"assimp/TargetCameraAnim.3ds", 12},
      {"assimp/cube_with_diffuse_texture.3DS", 12},
      {"assimp/cube_with_specular_texture.3DS", 12},
      {"assimp/cubes_with_alpha.3DS", 60},
      {"assimp/fels.3ds", 768},
      {"assimp/test1.3ds", 108},
      {"assimp-nonbsd/cart_wheel.3DS", 1400},
      {"assimp-nonbsd/jeep1.3ds", 2032},
      {"assimp-nonbsd/mar_rifle.3ds", 572},
      {"assimp-nonbsd/mp5_sil.3ds", 366},
      {"online3dviewer/cube_four_instances.3ds", 12},
      {"online3dviewer/cube_hierarchy.3ds", 12},
      {"online3dviewer/cube_instance_scale_rotation.3ds", 12},
      {"online3dviewer/cube_two_instances.3ds", 12},
      {"online3dviewer/cube_with_materials.3ds", 12},
      {"online3dviewer/cube_with_texture_transformations.3ds", 12},
      {"online3dviewer/wrong.3ds", -1},
  };
  const fs::path corpus = fs::path(ORV_CORPUS_DIR) / "3ds";
  size_t seen = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus)) {
    if (StrUpper(e.path().extension().string()) != ".3DS") continue;
    const std::string rel = fs::relative(e.path(), corpus).string();
    const auto expected = assimpFaces.find(rel);
    ASSERT_NE(expected, assimpFaces.end()) << rel << " has no figure from assimp";
    ++seen;
    host.messages.clear();
    CMeshObject* root = engine->CreateObject();
    const LONG result = root->Load(e.path().string());
    if (expected->second < 0) {
      EXPECT_EQ(result, E_FAIL) << rel;
      EXPECT_TRUE(Shown("Can't open file as 3D Studio File.")) << rel;
      continue;
    }
    ASSERT_EQ(result, 0) << rel;
    EXPECT_EQ(root->CountFaces(0), expected->second) << rel;
    const std::string bytes = Bytes(e.path());
    EXPECT_EQ(root->CountVertices(0), FileVertexCount(bytes, 0, bytes.size())) << rel;
    // Textures named in the file and lying beside it are found, whatever
    // the letter case the file gives them.
    for (SimpleNode<CMeshObject>* n = root->ChildList().Head(); n; n = n->Next())
      for (long t = 0; t < n->Node()->GetTextureCount(); ++t) {
        const CString file = n->Node()->GetTexture(t)->GetFileName();
        const CString beside = FindFileCaseInsensitive((e.path().parent_path() / PathFileName(file)).string());
        if (!beside.empty()) {
          EXPECT_TRUE(fs::exists(file)) << rel << " " << file;
        }
      }
    for (const auto& m : host.messages) EXPECT_EQ(m.type & 0xF0, MB_ICONWARNING) << rel << ": " << m.text;
  }
  EXPECT_EQ(seen, assimpFaces.size());
}

TEST_F(Read3DSTest, TexturesOfCorpusModelsAreFoundBesideThem) {
  const struct {
    const char* file;
    const char* image;
  } cases[] = {
      {"assimp/cube_with_diffuse_texture.3DS", "test.png"},  // the file says TEST.PNG
      {"assimp-nonbsd/mar_rifle.3ds", "m_rifl.bmp"},
  };
  const fs::path corpus = fs::path(ORV_CORPUS_DIR) / "3ds";
  for (const auto& k : cases) {
    CMeshObject* root = engine->CreateObject();
    ASSERT_EQ(root->Load((corpus / k.file).string()), 0);
    bool found = false;
    for (CMeshObject* m : Children(root))
      for (long t = 0; t < m->GetTextureCount(); ++t)
        found |= fs::path(m->GetTexture(t)->GetFileName()) == corpus / fs::path(k.file).parent_path() / k.image;
    EXPECT_TRUE(found) << k.file;
  }
}

// --- the table of formats ---------------------------------------------------------------------

TEST(ModelFormats, TheTableChoosesByExtensionAndListsWhatIsBuilt) {
  ASSERT_NE(FindModelFormat("scene.X"), nullptr);
  EXPECT_EQ(FindModelFormat("scene.X")->exportType, 1);
  EXPECT_EQ(CString(FindModelFormat("C:\\models\\Car.3DS")->name), "3D Studio");
  EXPECT_EQ(FindModelFormat("x"), nullptr);
  EXPECT_EQ(FindModelFormat("model.unknown"), nullptr);
  EXPECT_EQ(FindModelFormatByExportType(1), FindModelFormat("a.x"));
  EXPECT_EQ(ReadableModelExtensions(), ".x, .3ds and .sps");
  EXPECT_EQ(WritableModelExtensions(), ".x");
  EXPECT_EQ(OpenModelFileFilter(),
            "Model Files (*.x *.X *.3ds *.3DS *.sps *.SPS);;DirectX Files (*.x *.X);;3D Studio Files (*.3ds *.3DS);;"
            "3Dfx Files (*.sps *.SPS);;All Files (*)");
  EXPECT_EQ(SaveModelFileFilter(), "DirectX Files (*.x *.X)");
  EXPECT_EQ(SaveFilterExportType(0), 1);
  EXPECT_EQ(SaveFilterExportType(1), 0);
}

}  // namespace
