#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "formats/ReadDirectX.h"
#include "formats/XTemplates.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

class ReadDirectXTest : public EngineTest {
 protected:
  ReadDirectXTest() {
    Attach();
    static int serial = 0;
    dir = fs::temp_directory_path() / ("orv_readx_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    fs::create_directories(dir);
  }
  ~ReadDirectXTest() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  CString Write(const char* name, const std::string& text) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  CMeshObject* Load(const std::string& text, LONG* result = nullptr) {
    CMeshObject* mesh = engine->CreateObject();
    const LONG r = mesh->Load(Write("model.x", text));
    if (result) *result = r;
    else EXPECT_EQ(r, 0);
    return mesh;
  }
  static CMeshObject* Child(CMeshObject* m, long i) {
    SimpleNode<CMeshObject>* n = m->ChildList().GetAt(i);
    return n ? n->Node() : nullptr;
  }
  // Area of the mesh's triangles projected on z = 0 (absolute per triangle).
  static double Area(CMeshObject* m) {
    double sum = 0;
    for (long f = 0; f < m->GetFaceCount(); ++f) {
      long a, b, c;
      m->GetFaceIndices(f, &a, &b, &c);
      D3DVECTOR p, q, r;
      m->GetVertexCoordinates(a, &p);
      m->GetVertexCoordinates(b, &q);
      m->GetVertexCoordinates(c, &r);
      sum += std::fabs((q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x)) / 2;
    }
    return sum;
  }
  fs::path dir;
};

const char kHeader[] = "xof 0303txt 0032\n";

// A file as another tool writes it: comments, a top-level material used by
// reference, a frame transform, normals, a quad, a pentagon, an unknown
// object.
const char kOtherTool[] = R"(
// written by hand
Material Red { 1.0; 0.0; 0.0; 1.0;; 5.0; 0.1; 0.1; 0.1;; 0.0; 0.0; 0.0;; }
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,20,30,1;; }
  Mesh Shape {
    9;
    0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;,
    3;0;0;, 4;0;0;, 4;1;0;, 3.5;2;0;, 3;1;0;;
    2;
    4;0,1,2,3;,
    5;4,5,6,7,8;;
    MeshNormals { 1; 0;0;1;; 2; 4;0,0,0,0;, 5;0,0,0,0,0;; }
    MeshMaterialList { 1; 2; 0, 0;; { Red } }
    MeshTextureCoords { 9; 0;0;, 1;0;, 1;1;, 0;1;, 0;0;, 1;0;, 1;1;, 0.5;1;, 0;1;; }
    SomethingElse { 42; }
  }
}
)";

}  // namespace

TEST_F(ReadDirectXTest, FileOfAnotherToolLoadsWithFrameTransformPolygonsAndReferencedMaterial) {
  host.messages.clear();
  CMeshObject* root = Load(std::string(kHeader) + kOtherTool);
  EXPECT_EQ(root->GetVertexCount(), 0);
  EXPECT_EQ(root->GetLastSaveMethode(), 1);
  ASSERT_EQ(root->ChildList().Count(), 1);
  CMeshObject* shape = Child(root, 0);
  EXPECT_EQ(shape->GetName(), "Shape");
  ASSERT_EQ(shape->GetVertexCount(), 9);
  D3DVECTOR v;
  shape->GetVertexCoordinates(2, &v);
  EXPECT_FLOAT_EQ(v.x, 11);
  EXPECT_FLOAT_EQ(v.y, 21);
  EXPECT_FLOAT_EQ(v.z, 30);
  // Quad: (0,1,2), (0,2,3); pentagon: 3 triangles covering it once.
  ASSERT_EQ(shape->GetFaceCount(), 5);
  long a, b, c;
  shape->GetFaceIndices(0, &a, &b, &c);
  EXPECT_EQ((std::array<long, 3>{a, b, c}), (std::array<long, 3>{0, 1, 2}));
  shape->GetFaceIndices(1, &a, &b, &c);
  EXPECT_EQ((std::array<long, 3>{a, b, c}), (std::array<long, 3>{0, 2, 3}));
  EXPECT_NEAR(Area(shape), 1.0 + 1.5, 1e-5);
  CMaterial* red = shape->GetFaceMaterial(4);
  ASSERT_TRUE(red);
  EXPECT_EQ(red->GetName(), "Red");
  EXPECT_FLOAT_EQ(red->GetPower(), 5.0f);
  EXPECT_EQ(shape->GetFaceMaterial(0), red);
  float tu, tv;
  shape->GetVertexTextureCoordinates(7, 0, &tu, &tv);
  EXPECT_FLOAT_EQ(tu, 0.5f);
}

TEST_F(ReadDirectXTest, ConcavePolygonsAreCoveredExactlyOnce) {
  // An arrow-like hexagon and an L-shaped hexagon; fans from corner 0 would
  // overlap or leave the notch.
  const struct {
    const char* vertices;
    double area;
  } cases[] = {
      {"0;0;0;, 4;0;0;, 4;4;0;, 2;1;0;, 0;4;0;, -1;2;0;;", 16 - 6 + 2},
      {"0;0;0;, 2;0;0;, 2;1;0;, 1;1;0;, 1;2;0;, 0;2;0;;", 3},
      {"1;1;0;, 1;2;0;, 0;2;0;, 0;0;0;, 2;0;0;, 2;1;0;;", 3},
  };
  for (const auto& k : cases) {
    CMeshObject* m = Load(std::string(kHeader) + "Mesh P { 6; " + k.vertices + " 1; 6;0,1,2,3,4,5;; }");
    EXPECT_EQ(m->GetFaceCount(), 4) << k.vertices;
    EXPECT_NEAR(Area(m), k.area, 1e-5) << k.vertices;
  }
}

TEST_F(ReadDirectXTest, FlatFileFillsTheObjectAndFurtherTopLevelMeshesBecomeChildren) {
  CMeshObject* one = Load(std::string(kHeader) + "Mesh A { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }");
  EXPECT_EQ(one->GetName(), "A");
  EXPECT_EQ(one->GetVertexCount(), 3);
  EXPECT_EQ(one->GetLastSaveMethode(), 0);

  const long before = engine->ObjectList().Count();
  CMeshObject* several = Load(std::string(kHeader) +
                              "Mesh A { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"
                              "Mesh B { 3; 0;0;1;, 1;0;1;, 0;1;1;; 1; 3;0,1,2;; }\n"
                              "Mesh C { 3; 0;0;2;, 1;0;2;, 0;1;2;; 1; 3;0,1,2;; }\n");
  EXPECT_EQ(several->GetVertexCount(), 0);
  ASSERT_EQ(several->ChildList().Count(), 3);
  EXPECT_EQ(Child(several, 2)->GetName(), "C");
  EXPECT_EQ(engine->ObjectList().Count(), before + 4);
}

TEST_F(ReadDirectXTest, HostileCountsAndIndexesAreRejectedWithoutHarm) {
  // Vertex index beyond the vertices, a face of two corners, a material
  // index beyond the materials, 300 materials, frames nested 300 deep.
  std::string materials;
  for (int i = 0; i < 300; ++i) materials += "Material { 0;1;0;1;; 1; 0;0;0;; 0;0;0;; }\n";
  host.messages.clear();
  CMeshObject* m = Load(std::string(kHeader) +
                        "Mesh M { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 4; 3;0,1,2;, 3;0,1,70000;, 2;0,1;, 3;1,3,2;;"
                        " MeshMaterialList { 300; 4; 299, 0, 0, 300;; " + materials + " } }");
  EXPECT_EQ(m->GetFaceCount(), 2);
  EXPECT_FALSE(host.messages.empty());
  EXPECT_EQ(m->GetFaceMaterialIndex(1), 0);  // index 300: no material
  EXPECT_NE(m->GetFaceMaterial(0), engine->GetDefaultObjectMaterial());

  std::string deep = std::string(kHeader);
  for (int i = 0; i < 300; ++i) deep += "Frame F" + std::to_string(i) + " { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
  deep += std::string(300, '}');
  CMeshObject* d = Load(deep);
  long depth = 0;
  for (CMeshObject* c = d; c->ChildList().Count() == 1; c = Child(c, 0)) ++depth;
  EXPECT_EQ(depth, 300);

  LONG result = 0;
  Load(std::string(kHeader) + "Mesh T { 70000; 0;0;0;;", &result);
  EXPECT_NE(result, 0);
}

TEST_F(ReadDirectXTest, MaterialIndexesThatDoNotFitTheMeshAreReported) {
  const char* beyond = "faces with material indexes beyond";
  const char* extra = "face indexes for its";
  const struct {
    const char* list;  // of a mesh of two faces
    const char* shown;
  } cases[] = {
      {"1; 2; 0, 0;;", nullptr},
      {"1; 1; 0;;", nullptr},  // the last index goes on for the rest
      {"1; 2; 0, 1;;", beyond},
      {"1; 3; 0, 0, 0;;", extra},
      {"0; 2; 0, 0;;", beyond},
  };
  const std::string mat = " Material { 1;0;0;1;; 1; 0;0;0;; 0;0;0;; }";
  for (const auto& c : cases) {
    host.messages.clear();
    CMeshObject* m = Load(std::string(kHeader) +
                          "Mesh Shape { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 2; 3;0,1,2;, 3;1,3,2;; MeshMaterialList { " +
                          c.list + (c.list[0] == '1' ? mat : "") + " } }");
    EXPECT_EQ(m->GetFaceCount(), 2) << c.list;
    std::string shown;
    for (const auto& msg : host.messages) shown += msg.text + "\n";
    for (const char* text : {beyond, extra}) {
      const bool expected = c.shown == text;
      EXPECT_EQ(shown.find(text) != std::string::npos, expected) << c.list << ": " << shown;
      if (expected) {
        EXPECT_NE(shown.find("The mesh Shape"), std::string::npos) << shown;
      }
    }
  }
}

TEST_F(ReadDirectXTest, LoadingNeverRecoloursMaterialsOfTheScene) {
  CMaterial* def = engine->GetDefaultObjectMaterial();
  const D3DVECTOR defColour = def->GetDiffuse();
  CMaterial* red = engine->CreateMaterial();
  red->SetName("Red");
  red->SetDiffuse(0.5f, 0.5f, 0.5f);
  const long materials = engine->MaterialList().Count();
  const std::string file = std::string(kHeader) +
                           "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;"
                           " MeshMaterialList { 1; 1; 0;; Material Red { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; } } }";
  CMeshObject* m = Load(file);
  EXPECT_FLOAT_EQ(red->GetDiffuse().x, 0.5f);
  EXPECT_EQ(def->GetDiffuse().x, defColour.x);
  CMaterial* used = m->GetFaceMaterial(0);
  ASSERT_TRUE(used);
  EXPECT_NE(used, red);
  EXPECT_FLOAT_EQ(used->GetDiffuse().x, 1.0f);
  EXPECT_EQ(engine->MaterialList().Count(), materials + 1);

  // A material exactly as the file describes it is shared.
  red->SetDiffuse(1, 0, 0);
  red->SetPower(5);
  red->SetSpecular(D3DVECTOR(0, 0, 0));
  red->SetEmissive(D3DVECTOR(0, 0, 0));
  const long now = engine->MaterialList().Count();
  CMeshObject* again = Load(file);
  EXPECT_EQ(again->GetFaceMaterial(0), red);
  EXPECT_EQ(engine->MaterialList().Count(), now);
}

TEST_F(ReadDirectXTest, TexturesSettingsAndStagesFromTheApplicationsObjects) {
  fs::create_directories(dir / "maps");
  std::ofstream(dir / "maps" / "wood.bmp") << "x";
  std::ofstream(dir / "stage.bmp") << "x";
  // Found along the search paths, whatever the case and the Windows folders.
  engine->AddSearchPath((dir / "maps").string());
  host.messages.clear();
  CMeshObject* m = Load(std::string(kHeader) + (XFILEORVANE_TEMPLATES_1 + 16) + (XFILEORVANE_TEMPLATES_2 + 16) + R"(
Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
  MeshMaterialList { 1; 1; 0;;
    Material { 1;1;1;1;; 2; 0;0;0;; 0;0;0;;
      TextureFilename { "C:\\Models\\Textures\\Wood.BMP"; }
      MaterialAlphaInfo { 1; 5; 6; 8; 127; 0; }
      XFILEORVANE_TextureStageEntry { 0; 1;2;3;4;5;6;7;8;9;10; }
      TextureInfo { <3F4CDBA2-4372-11D2-ACB2-006097AE4198> 1;128;2;1.0;1.0;2;2;0;0;0;1;1;16711935;16711935;0;0;0;1;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0; }
      XFILEORVANE_TextureStage { 1;
        XFILEORVANE_TextureStageEntry { 1; 11;12;13;14;15;16;17;18;19;20; }
        TextureFilename { "stage.bmp"; }
      }
    }
  }
  MeshTextureCoords { 3; 0.25;0.5;, 1;0;, 0;1;; }
}
)");
  ASSERT_EQ(m->GetTextureCount(), 2);
  CTexture* t = m->GetFaceTexture(0);
  ASSERT_TRUE(t);
  EXPECT_TRUE(m->IsTexturedFace(0));
  EXPECT_EQ(t->GetName(), "Wood.BMP");
  EXPECT_EQ(fs::path(t->GetFileName()), dir / "maps" / "wood.bmp");
  EXPECT_NEAR(t->GetAlphaCompareValue(), 127.0f / 255.0f, 1e-6);
  EXPECT_EQ(t->GetAlphaOnOff(), 1);
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_SPHERE);
  unsigned long lo, hi;
  t->GetSourceColorKey(&lo, &hi);
  EXPECT_EQ(lo, 0x00FF00FFu);
  EXPECT_EQ(t->GetColorArgOne(), 1u);
  CTexture* stage = t->GetLinkedStageTexture(1);
  ASSERT_TRUE(stage);
  EXPECT_EQ(stage->GetColorArgOne(), 11u);
  EXPECT_EQ(stage->GetName(), "stage.bmp");
  EXPECT_EQ(m->GetTextureIndicesLocked(), 1);
  float tu, tv;
  m->GetVertexTextureCoordinates(0, 0, &tu, &tv);
  EXPECT_FLOAT_EQ(tu, 0.25f);
}

TEST(ReadDirectXCorpus, EveryFileOfOtherToolsLoadsOrFailsCleanly) {
  RecordingHost host;
  ScopedHost scope(&host);
  FixedWindow window;
  CRenderEngine engine(8);
  ASSERT_EQ(engine.Init_RenderEngine(&window), S_OK);
  const fs::path root = fs::path(ORV_CORPUS_DIR) / "x";
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const CString ext = StrUpper(e.path().extension().string());
    const bool broken = e.path().filename() == "OV_GetNextToken";
    if (ext != ".X" && !broken) continue;
    ++files;
    host.messages.clear();
    CMeshObject* mesh = engine.CreateObject();
    CReadDirectX reader(&engine);
    const LONG r = reader.ReadObject(mesh, e.path().string());
    if (broken) {
      EXPECT_NE(r, 0) << e.path();
    } else {
      EXPECT_EQ(r, 0) << e.path();
    }
  }
  EXPECT_GE(files, 30);
}

TEST_F(ReadDirectXTest, KnownCorpusModelsKeepTheirCounts) {
  const struct {
    const char* file;
    long vertices, faces, textures;
  } cases[] = {
      {"dxsdk-legacy/tiger.x", 303, 602, 1},
      {"dxsdk-legacy/mslogo.x", 1334, 2668, 0},  // binary
      {"assimp/test_cube_compressed.x", 24, 12, 0},
  };
  for (const auto& k : cases) {
    CMeshObject* m = engine->CreateObject();
    ASSERT_EQ(m->Load(CString(ORV_CORPUS_DIR) + "/x/" + k.file), 0) << k.file;
    CMeshObject* shape = m->GetVertexCount() ? m : Child(m, 0);
    ASSERT_TRUE(shape) << k.file;
    EXPECT_EQ(shape->GetVertexCount(), k.vertices) << k.file;
    EXPECT_EQ(shape->GetFaceCount(), k.faces) << k.file;
    EXPECT_EQ(shape->GetTextureCount(), k.textures) << k.file;
  }
  // The tiger names "tiger.bmp" beside it: found and recorded.
  CMeshObject* tiger = engine->CreateObject();
  tiger->Load(CString(ORV_CORPUS_DIR) + "/x/dxsdk-legacy/tiger.x");
  ASSERT_TRUE(tiger->GetTexture(0));
  EXPECT_TRUE(fs::exists(tiger->GetTexture(0)->GetFileName()));
}

TEST_F(ReadDirectXTest, MaterialFileHeaderChecksAndValues) {
  const struct {
    const char* first;
    const char* message;
  } bad[] = {{"xof 0302bin 0064", "Can only read text material files!"},
             {"xof 0303txt 0032", "Incorrect DirectX version file!"},
             {"abc", "This is not a DirectX file!"}};
  CMaterial* m = engine->CreateMaterial();
  m->SetDiffuse(0.25f, 0.25f, 0.25f);
  for (const auto& k : bad) {
    host.messages.clear();
    EXPECT_EQ(ReadMaterialFile(m, Write("bad.x", std::string(k.first) + "\r\n")), E_FAIL);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, k.message);
    EXPECT_FLOAT_EQ(m->GetDiffuse().x, 0.25f);
  }
  EXPECT_EQ(ReadMaterialFile(m, (dir / "missing.x").string()), E_FAIL);
  const char good[] =
      "xof 0302txt 0064\r\n\r\nMaterial my_mat {\r\n0.500000;0.250000;1.000000;1.000000;;\r\n12.000000;\r\n"
      "0.100000;0.200000;0.300000;;\r\n0.000000;0.000000;0.500000;;\r\nColorAmbient {\r\n0.700000;0.700000;0.700000;;\r\n"
      "}\r\n}\r\n";
  EXPECT_EQ(ReadMaterialFile(m, Write("good.x", good)), 0);
  EXPECT_EQ(m->GetName(), "my_mat");
  EXPECT_FLOAT_EQ(m->GetDiffuse().y, 0.25f);
  EXPECT_FLOAT_EQ(m->GetPower(), 12.0f);
  EXPECT_FLOAT_EQ(m->GetEmissive().z, 0.5f);
  EXPECT_FLOAT_EQ(m->GetAmbient().x, 0.7f);
  // Cut short: nothing taken, no endless reading.
  m->SetPower(1);
  EXPECT_EQ(ReadMaterialFile(m, Write("short.x", "xof 0302txt 0064\nMaterial x {\n1;1;1;;\n")), 0);
  EXPECT_FLOAT_EQ(m->GetPower(), 1.0f);
}

TEST_F(ReadDirectXTest, ScenesComeBackFromEveryEncoding) {
  CMeshObject* root = engine->CreateObject();
  root->SetName("Root");
  ASSERT_EQ(root->CreateCube(1, 1, 1), 0);
  CMeshObject* child = engine->CreateObject();
  child->SetName("Child");
  ASSERT_EQ(child->CreateCube(2, 2, 2), 0);
  root->AddChild(child);
  root->SetRemark("remark text");
  CMaterial* blue = child->AddMaterial();
  blue->SetName("Blue");
  blue->SetDiffuse(0, 0, 1);
  blue->SetAlphaOnOff(1);
  blue->SetAlphaCompareValue(1.0f);
  child->SetFaceMaterial(0, *blue);
  std::ofstream(dir / "wood.bmp") << "x";
  std::ofstream(dir / "detail.bmp") << "x";
  CTexture* wood = root->AddTexture();
  wood->SetName("Wood");
  wood->SetFileName((dir / "wood.bmp").string());
  wood->SetWrapType(D3DRMWRAP_CYLINDER);
  wood->SetColorArgOne(7);
  CTexture* detail = root->AddTexture();
  detail->SetFileName((dir / "detail.bmp").string());
  detail->SetColorArgOne(9);
  wood->SetLinkedStageTexture(detail, 1);
  for (long f = 0; f < 4; ++f) {
    root->SetFaceTexture(f, *wood);
    root->TextureFace(f);
  }
  CFuncture* fun = root->AddFuncture();
  fun->SetName("Fun");
  fun->SetLoopMode(1);
  root->SetFaceTexture(5, *fun);
  root->TextureFace(5);

  for (const int format : {0, 1})
    for (const int compress : {0, 1}) {
      host.SetInt("ACTIONS", "SAVECOMPRESSDIRECTX", compress);
      root->SetLastSaveFormat(format);
      const CString file = (dir / "scene.x").string();
      ASSERT_EQ(root->Save(file, 1), 0);
      CMeshObject* back = engine->CreateObject();
      ASSERT_EQ(back->Load(file), 0);
      ASSERT_EQ(back->ChildList().Count(), 1);
      CMeshObject* r = Child(back, 0);
      // Names stay unique in the scene: the copies get a suffix.
      EXPECT_EQ(r->GetName().rfind("Root", 0), 0u) << r->GetName();
      EXPECT_EQ(r->GetRemark(), "remark text");
      EXPECT_EQ(r->GetFaceCount(), root->GetFaceCount());
      ASSERT_EQ(r->ChildList().Count(), 1);
      CMeshObject* c = Child(r, 0);
      EXPECT_EQ(c->GetName().rfind("Child", 0), 0u) << c->GetName();
      CMaterial* m = c->GetFaceMaterial(0);
      ASSERT_TRUE(m);
      EXPECT_EQ(m, blue) << "the same material, described exactly, is shared";
      EXPECT_EQ(c->GetFaceMaterial(1), engine->GetDefaultObjectMaterial());
      CTexture* t = r->GetFaceTexture(0);
      ASSERT_TRUE(t);
      EXPECT_EQ(t->GetName().rfind("Wood", 0), 0u) << t->GetName();
      EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_CYLINDER);
      EXPECT_EQ(t->GetColorArgOne(), 7u);
      ASSERT_TRUE(t->GetLinkedStageTexture(1));
      EXPECT_EQ(t->GetLinkedStageTexture(1)->GetColorArgOne(), detail->GetColorArgOne());
      EXPECT_EQ(t->GetLinkedStageTexture(1)->GetColorOpp(), detail->GetColorOpp());
      CTexture* f = r->GetFaceTexture(5);
      ASSERT_TRUE(f);
      EXPECT_EQ(f->GetRTIType(), RTI_FUNCTURE);
      EXPECT_EQ(static_cast<CFuncture*>(f)->GetLoopMode(), 1);
      EXPECT_EQ(r->GetFaceTexture(6), nullptr);
    }
}

TEST_F(ReadDirectXTest, MaterialsThatReferToThemselvesEndTheWalk) {
  // Found by the fuzzer: a top-level material holding a reference to
  // itself recursed without end.
  CMeshObject* m = Load(std::string(kHeader) +
                        "Material Red { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; { Red } { Red } }\n"
                        "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { Red } } }");
  ASSERT_TRUE(m->GetFaceMaterial(0));
  EXPECT_EQ(m->GetFaceMaterial(0)->GetName(), "Red");
}

TEST_F(ReadDirectXTest, EmptyListsLoadAsEmpty) {
  // Found by the fuzzer: empty vertex, corner and index lists.
  CMeshObject* m = Load(std::string(kHeader) + "Mesh E { 0;; 1; 0;; MeshMaterialList { 1; 0;; } }");
  EXPECT_EQ(m->GetVertexCount(), 0);
  EXPECT_EQ(m->GetFaceCount(), 0);
}
