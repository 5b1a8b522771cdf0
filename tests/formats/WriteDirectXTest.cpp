#include "formats/WriteDirectX.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "engine/CFuncture.h"
#include "engine/CMeshObject.h"
#include "formats/XTemplates.h"
#include "platform/SaveFiles.h"
#include "platform/XFileModel.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One data object as read back through the file API.
struct XObj {
  std::string type;  // template name
  std::string name;
  bool hasId = false;
  GUID id;
  std::vector<uint8_t> data;
  std::vector<XObj> children;

  template <class T>
  T Record() const {
    T r{};
    EXPECT_GE(data.size(), sizeof(T)) << type;
    std::memcpy(&r, data.data(), std::min(sizeof(T), data.size()));
    return r;
  }
  DWORD Dword(size_t at) const {
    DWORD v = 0;
    std::memcpy(&v, data.data() + at, 4);
    return v;
  }
  float Float(size_t at) const {
    float v = 0;
    std::memcpy(&v, data.data() + at, 4);
    return v;
  }
  std::string text;  // the leading STRING member, copied while the file is open
  const std::string& String() const { return text; }
  std::vector<std::string> ChildTypes() const {
    std::vector<std::string> t;
    for (const XObj& c : children) t.push_back(c.type);
    return t;
  }
  std::vector<const XObj*> All(const std::string& t) const {
    std::vector<const XObj*> out;
    for (const XObj& c : children)
      if (c.type == t) out.push_back(&c);
    return out;
  }
  const XObj* First(const std::string& t) const {
    auto all = All(t);
    return all.empty() ? nullptr : all.front();
  }
};

std::string TypeName(const GUID& g) {
  static const std::map<std::string, std::string> names = [] {
    std::map<std::string, std::string> m;
    auto add = [&](const GUID& id, const char* n) { m[xfile::GuidText(id)] = n; };
    add(TID_D3DRMMesh, "Mesh");
    add(TID_D3DRMFrame, "Frame");
    add(TID_D3DRMMaterial, "Material");
    add(TID_D3DRMMeshMaterialList, "MeshMaterialList");
    add(TID_D3DRMMeshTextureCoords, "MeshTextureCoords");
    add(TID_D3DRMMatrix4x4, "Matrix4x4");
    add(TID_D3DRMTextureFilename, "TextureFilename");
    add(TID_D3DRMFrameTransformMatrix, "FrameTransformMatrix");
    add(XFILEORVANE_TextureInfo, "TextureInfo");
    add(XFILEORVANE_FunctureInfo, "FunctureInfo");
    add(XFILEORVANE_FunctureInputInfo, "FunctureInputInfo");
    add(XFILEORVANE_AlphaInfo, "MaterialAlphaInfo");
    add(XFILEORVANE_TextureStageEntry, "XFILEORVANE_TextureStageEntry");
    add(XFILEORVANE_TextureStage, "XFILEORVANE_TextureStage");
    add(XFILEORVANE_Info, "XFILEORVANE_Info");
    return m;
  }();
  auto it = names.find(xfile::GuidText(g));
  return it == names.end() ? xfile::GuidText(g) : it->second;
}

XObj Convert(IDirectXFileData* d) {
  XObj o;
  const GUID* type = nullptr;
  EXPECT_EQ(d->GetType(&type), S_OK);
  o.type = TypeName(*type);
  DWORD len = 0;
  d->GetName(nullptr, &len);
  if (len) {
    std::string s(len, '\0');
    d->GetName(s.data(), &len);
    o.name = s.c_str();
  }
  o.hasId = SUCCEEDED(d->GetId(&o.id));
  DWORD size = 0;
  void* data = nullptr;
  EXPECT_EQ(d->GetData(nullptr, &size, &data), S_OK);
  o.data.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  if (o.type == "TextureFilename" || o.type == "FunctureInfo" || o.type == "FunctureInputInfo" ||
      o.type == "XFILEORVANE_Info")
    o.text = RecordString(data);
  for (;;) {
    IDirectXFileObject* child = nullptr;
    if (d->GetNextObject(&child) != S_OK) break;
    IDirectXFileData* cd = nullptr;
    if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&cd)))) {
      o.children.push_back(Convert(cd));
      cd->Release();
    }
    child->Release();
  }
  return o;
}

// The top-level objects of a file. The file API object stays alive while
// the tree is built, so strings are copied out as they come.
std::vector<XObj> ReadTop(const std::string& path) {
  DxFilePtr<IDirectXFile> file;
  EXPECT_EQ(DirectXFileCreate(&file), S_OK);
  EXPECT_EQ(RegisterOrvaneTemplates(file.get()), S_OK);
  DxFilePtr<IDirectXFileEnumObject> e;
  EXPECT_EQ(file->CreateEnumObject(path.c_str(), DXFILELOAD_FROMFILE, &e), S_OK);
  std::vector<XObj> top;
  if (!e) return top;
  for (;;) {
    DxFilePtr<IDirectXFileData> d;
    if (e->GetNextDataObject(&d) != S_OK) break;
    top.push_back(Convert(d.get()));
  }
  return top;
}

// Mesh record as numbers.
struct MeshData {
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::array<DWORD, 3>> faces;
};
MeshData DecodeMesh(const XObj& m) {
  MeshData out;
  size_t at = 0;
  const DWORD nv = m.Dword(at);
  at += 4;
  for (DWORD i = 0; i < nv; ++i, at += 12) out.vertices.push_back({m.Float(at), m.Float(at + 4), m.Float(at + 8)});
  const DWORD nf = m.Dword(at);
  at += 4;
  for (DWORD i = 0; i < nf; ++i, at += 16) {
    EXPECT_EQ(m.Dword(at), 3u);
    out.faces.push_back({m.Dword(at + 4), m.Dword(at + 8), m.Dword(at + 12)});
  }
  EXPECT_EQ(at, m.data.size());
  return out;
}

std::vector<DWORD> FaceIndexes(const XObj& list, DWORD* nMaterials) {
  *nMaterials = list.Dword(0);
  std::vector<DWORD> v;
  for (DWORD i = 0; i < list.Dword(4); ++i) v.push_back(list.Dword(8 + 4 * i));
  return v;
}

class WriteDirectXTest : public EngineTest {
 protected:
  WriteDirectXTest() {
    static int serial = 0;
    dir = fs::temp_directory_path() / ("orv_writex_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
    fs::create_directories(dir);
  }
  ~WriteDirectXTest() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string File(const std::string& name) const { return (dir / name).string(); }

  // A mesh with `quads` unit squares side by side, each two triangles.
  CMeshObject* Mesh(const char* name, int quads = 1, float x0 = 0) {
    CMeshObject* m = engine->CreateObject();
    m->SetLogUndoAction(0);
    m->SetName(name);
    for (int q = 0; q < quads; ++q) {
      const long a = m->AddVertex(x0 + q, 0, 0), b = m->AddVertex(x0 + q + 1, 0, 0);
      const long c = m->AddVertex(x0 + q + 1, 1, 0), d = m->AddVertex(x0 + q, 1, 0);
      m->AddFace(a, b, c);
      m->AddFace(a, c, d);
    }
    return m;
  }
  CMaterial* Material(CMeshObject* m, const char* name, float r, float g, float b) {
    CMaterial* mat = m->AddMaterial();
    mat->SetLogUndoAction(0);
    mat->SetName(name);
    mat->SetDiffuse(r, g, b);
    for (long f = 0; f < m->GetFaceCount(); ++f) m->SetFaceMaterial(f, *mat);
    return mat;
  }
  void TextureAll(CMeshObject* m, CTexture* t) {
    for (long f = 0; f < m->GetFaceCount(); ++f) {
      m->SetFaceTexture(f, *t);
      m->TextureFace(f);
    }
  }
  LONG Save(CMeshObject* m, const std::string& name, int methode, DWORD format = DXFILEFORMAT_TEXT) {
    CWriteDirectX writer(methode);
    return writer.WriteObject(m, File(name), format);
  }

  fs::path dir;
};

TEST_F(WriteDirectXTest, SingleObjectAsMeshAndAsFrameHierarchy) {
  CMeshObject* m = Mesh("Box", 1);
  m->SetPosition(D3DVECTOR(1, 2, 3), 1);
  Material(m, "Red", 1, 0, 0);
  ASSERT_EQ(Save(m, "flat.x", 0), 0);
  ASSERT_EQ(Save(m, "frame.x", 1), 0);
  ASSERT_EQ(Save(m, "frame2.x", 2), 0);

  // The seven definitions lead the file, in their table order.
  const std::string text = Slurp(dir / "flat.x");
  ASSERT_EQ(text.rfind("xof 0302txt 0032", 0), 0u);
  size_t at = 0;
  for (const char* t : {"TextureInfo", "FunctureInfo", "FunctureInputInfo", "MaterialAlphaInfo",
                        "XFILEORVANE_TextureStageEntry", "XFILEORVANE_TextureStage", "XFILEORVANE_Info"}) {
    const size_t found = text.find(std::string("template ") + t + " ", at);
    ASSERT_NE(found, std::string::npos) << t;
    at = found;
  }
  EXPECT_LT(at, text.find("Mesh Box"));

  const auto flat = ReadTop(File("flat.x"));
  ASSERT_EQ(flat.size(), 1u);
  EXPECT_EQ(flat[0].type, "Mesh");
  EXPECT_EQ(flat[0].name, "Box");
  EXPECT_EQ(flat[0].ChildTypes(), std::vector<std::string>{"MeshMaterialList"});
  const MeshData md = DecodeMesh(flat[0]);
  ASSERT_EQ(md.vertices.size(), 4u);
  // Stored position plus the object's position.
  EXPECT_EQ(md.vertices[2], (std::array<float, 3>{2, 3, 3}));
  EXPECT_EQ(md.faces[1], (std::array<DWORD, 3>{0, 2, 3}));

  const auto frame = ReadTop(File("frame.x"));
  ASSERT_EQ(frame.size(), 1u);
  EXPECT_EQ(frame[0].type, "Frame");
  EXPECT_EQ(frame[0].name, "Frame_Box");
  ASSERT_EQ(frame[0].ChildTypes(), std::vector<std::string>{"Mesh"});
  EXPECT_EQ(frame[0].children[0].name, "Box");
  EXPECT_EQ(frame[0].children[0].data, flat[0].data);
  EXPECT_EQ(Slurp(dir / "frame.x"), Slurp(dir / "frame2.x"));
  EXPECT_EQ(Slurp(dir / "frame.x").find("FrameTransformMatrix {"), std::string::npos);
}

TEST_F(WriteDirectXTest, HierarchyOffsetsAndSharedMaterials) {
  CMeshObject* top = Mesh("Top", 1);
  CMeshObject* a = Mesh("A", 2, 10);
  CMeshObject* b = Mesh("B", 1, 20);
  CMeshObject* empty = engine->CreateObject();
  empty->SetName("Empty");
  CMeshObject* grandchild = Mesh("G", 1, 30);
  ASSERT_EQ(top->AddChild(a), 0);
  ASSERT_EQ(top->AddChild(b), 0);
  ASSERT_EQ(b->AddChild(empty), 0);
  ASSERT_EQ(empty->AddChild(grandchild), 0);
  CMaterial* shared = Material(a, "Shared", 0, 1, 0);
  ASSERT_EQ(b->AddMaterial(*shared), shared);
  for (long f = 0; f < b->GetFaceCount(); ++f) b->SetFaceMaterial(f, *shared);
  Material(top, "TopMat", 0, 0, 1);

  ASSERT_EQ(Save(top, "flat.x", 0), 0);
  const auto flat = ReadTop(File("flat.x"));
  ASSERT_EQ(flat.size(), 1u);
  const MeshData md = DecodeMesh(flat[0]);
  // Depth first: Top (4 vertices), A (8), B (4), Empty (0), G (4).
  ASSERT_EQ(md.vertices.size(), 20u);
  ASSERT_EQ(md.faces.size(), 10u);
  EXPECT_EQ(md.faces[2], (std::array<DWORD, 3>{4, 5, 6}));    // A's first face
  EXPECT_EQ(md.faces[6], (std::array<DWORD, 3>{12, 13, 14})); // B's first face
  EXPECT_EQ(md.faces[8], (std::array<DWORD, 3>{16, 17, 18})); // G's first face
  EXPECT_EQ(md.vertices[16][0], 30.0f);
  DWORD n = 0;
  const auto* list = flat[0].First("MeshMaterialList");
  ASSERT_TRUE(list);
  const auto idx = FaceIndexes(*list, &n);
  // Each distinct material once (every mesh also lists its own default one).
  EXPECT_EQ(n, list->All("Material").size());
  std::map<std::string, int> seen;
  DWORD topMat = n, sharedAt = n;
  for (DWORD i = 0; i < list->children.size(); ++i) {
    ++seen[list->children[i].name];
    if (list->children[i].name == "TopMat") topMat = i;
    if (list->children[i].name == "Shared") sharedAt = i;
  }
  EXPECT_EQ(seen["Shared"], 1);
  EXPECT_EQ(idx[0], topMat);
  for (int f = 2; f < 8; ++f) EXPECT_EQ(idx[f], sharedAt) << f;  // A and B share one entry

  ASSERT_EQ(Save(top, "frame.x", 1), 0);
  const auto frame = ReadTop(File("frame.x"));
  ASSERT_EQ(frame.size(), 1u);
  const XObj& f0 = frame[0];
  EXPECT_EQ(f0.ChildTypes(), (std::vector<std::string>{"Mesh", "Frame", "Frame"}));
  EXPECT_EQ(f0.children[1].name, "Frame_A");
  const XObj& fb = f0.children[2];
  EXPECT_EQ(fb.ChildTypes(), (std::vector<std::string>{"Mesh", "Frame"}));
  // An object without vertices is a Frame without a Mesh.
  const XObj& fe = fb.children[1];
  EXPECT_EQ(fe.name, "Frame_Empty");
  ASSERT_EQ(fe.ChildTypes(), std::vector<std::string>{"Frame"});
  const MeshData gd = DecodeMesh(fe.children[0].children[0]);
  EXPECT_EQ(gd.faces[0], (std::array<DWORD, 3>{0, 1, 2}));  // indices as stored
  EXPECT_EQ(gd.vertices[0][0], 30.0f);
}

TEST_F(WriteDirectXTest, MaterialListIndexesAndPlaceholders) {
  // One material and one texture, every face textured.
  CMeshObject* m = Mesh("M", 1);
  Material(m, "Base", 0.5f, 0.5f, 0.5f);
  CTexture* t = m->AddTexture("/maps/wood.bmp");
  t->SetName("Wood");
  TextureAll(m, t);
  ASSERT_EQ(Save(m, "tex.x", 0), 0);
  auto top = ReadTop(File("tex.x"));
  const XObj* list = top[0].First("MeshMaterialList");
  DWORD n = 0;
  auto idx = FaceIndexes(*list, &n);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(idx, (std::vector<DWORD>{1, 1}));
  EXPECT_EQ(top[0].ChildTypes(), (std::vector<std::string>{"MeshMaterialList", "MeshTextureCoords"}));

  // No materials at all: one plain Material, every face index 0.
  CMeshObject* bare = Mesh("Bare", 2);
  while (bare->GetMaterialCount() > 0) bare->ReleaseMaterial(*bare->GetMaterial(0));
  for (int methode : {0, 1}) {
    ASSERT_EQ(Save(bare, "bare.x", methode), 0);
    top = ReadTop(File("bare.x"));
    const XObj& mesh = methode == 0 ? top[0] : top[0].children[0];
    list = mesh.First("MeshMaterialList");
    idx = FaceIndexes(*list, &n);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(list->All("Material").size(), 1u);
    EXPECT_EQ(idx, (std::vector<DWORD>(4, 0)));
  }

  // Frame mode: a stage texture listed directly and a functure without the
  // extra objects still write one Material each, so the counts agree.
  host.SetInt("ACTIONS", "SAVEEXTRAINFO", 0);
  CMeshObject* s = Mesh("S", 1);
  CTexture* base = s->AddTexture("/maps/base.bmp");
  CTexture* stage = s->AddTexture("/maps/stage.bmp");
  base->SetLinkedStageTexture(stage, 1);
  CFuncture* fx = s->AddFuncture();
  fx->SetName("Fx");
  s->SetFaceTexture(1, *fx);
  s->TextureFace(1);
  ASSERT_EQ(Save(s, "stage.x", 1), 0);
  top = ReadTop(File("stage.x"));
  list = top[0].children[0].First("MeshMaterialList");
  idx = FaceIndexes(*list, &n);
  EXPECT_EQ(n, static_cast<DWORD>(s->GetMaterialCount() + 3));
  EXPECT_EQ(list->All("Material").size(), n);
  EXPECT_EQ(idx[1], n - 1);
  EXPECT_TRUE(list->children.back().children.empty());  // the functure: a Material only
}

TEST_F(WriteDirectXTest, TextureFunctureAndRemarkObjects) {
  CMeshObject* m = Mesh("M", 1);
  m->SetRemark("made by \"hand\"");
  CTexture* t = m->AddTexture("C:\\maps\\wood.bmp");
  t->SetName("Wood");
  t->SetBumpMapMatrix(0, 1, -1.5f);
  t->SetColorOpp(D3DTOP_MODULATE);
  t->SetScale(2, 3, 4, 0);
  CTexture* s1 = m->AddTexture("/maps/detail.bmp");
  CTexture* s2 = m->AddTexture("/maps/light.bmp");
  s2->SetAlphaOpp(D3DTOP_MODULATE);
  t->SetLinkedStageTexture(s1, 1);
  t->SetLinkedStageTexture(s2, 2);
  CFuncture* fx = m->AddFuncture();
  fx->SetName("Fx");
  fx->SetBitmapOne("/maps/in0.bmp");
  fx->SetBitmapTwo("/maps/in1.bmp");
  fx->SetAnimTimer(90);
  TextureAll(m, t);

  ASSERT_EQ(Save(m, "t.x", 0), 0);
  auto top = ReadTop(File("t.x"));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].ChildTypes(),
            (std::vector<std::string>{"MeshMaterialList", "MeshTextureCoords", "XFILEORVANE_Info"}));
  // '"' cannot stand in a text file's string.
  EXPECT_EQ(top[0].First("XFILEORVANE_Info")->String(), "made by 'hand'");
  const XObj* list = top[0].First("MeshMaterialList");
  // Materials (the default one), then Wood and Fx; stages write under Wood.
  const auto mats = list->All("Material");
  DWORD n = 0;
  FaceIndexes(*list, &n);
  ASSERT_EQ(n, mats.size());
  const XObj* wood = mats[mats.size() - 2];
  const XObj* fxo = mats.back();
  EXPECT_EQ(wood->name, "Wood");
  EXPECT_EQ(wood->Record<XMaterialRecord>().faceColor[3], 1.0f);
  EXPECT_EQ(wood->ChildTypes(),
            (std::vector<std::string>{"TextureFilename", "MaterialAlphaInfo", "XFILEORVANE_TextureStageEntry",
                                      "Matrix4x4", "TextureInfo", "XFILEORVANE_TextureStage"}));
  EXPECT_EQ(wood->children[0].String(), "wood.bmp");
  EXPECT_EQ(wood->children[1].name, "Wood");
  EXPECT_EQ(wood->children[2].Record<XTextureStageEntryRecord>().m_Index, 0u);
  EXPECT_EQ(wood->children[2].Record<XTextureStageEntryRecord>().m_Values[4], static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(wood->children[3].Record<XMatrixRecord>().matrix[5], 3.0f);
  const XObj& info = wood->children[4];
  EXPECT_EQ(info.name, "Wood");
  ASSERT_TRUE(info.hasId);
  EXPECT_TRUE(info.id == XFILEORVANE_TextureInfo);
  EXPECT_EQ(DecodeBumpValues(info.Record<XTextureInfoRecord>()).matrix[0][1], -1.5f);
  const XObj& stages = wood->children[5];
  EXPECT_EQ(stages.Record<XTextureStageRecord>().m_Count, 2u);
  ASSERT_EQ(stages.ChildTypes(),
            (std::vector<std::string>{"XFILEORVANE_TextureStageEntry", "TextureFilename",
                                      "XFILEORVANE_TextureStageEntry", "TextureFilename"}));
  EXPECT_EQ(stages.children[2].Record<XTextureStageEntryRecord>().m_Index, 2u);
  EXPECT_EQ(stages.children[2].Record<XTextureStageEntryRecord>().m_Values[9], static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(stages.children[3].String(), "light.bmp");

  EXPECT_EQ(fxo->ChildTypes(), (std::vector<std::string>{"MaterialAlphaInfo", "FunctureInfo", "Matrix4x4",
                                                         "TextureInfo"}));
  const XObj& fi = fxo->children[1];
  EXPECT_TRUE(fi.hasId && fi.id == XFILEORVANE_FunctureInfo);
  EXPECT_EQ(fi.String().size(), 38u);
  EXPECT_EQ(fi.Record<XFunctureInfoRecord>().m_MaxTime, 90u);
  ASSERT_EQ(fi.ChildTypes(), (std::vector<std::string>{"FunctureInputInfo", "FunctureInputInfo"}));
  EXPECT_EQ(fi.children[1].String(), "in1.bmp");
  EXPECT_EQ(fi.children[1].Dword(sizeof(char*)), 1u);

  // Full paths: each backslash doubled in the file, single once read.
  host.SetInt("ACTIONS", "SAVEFULLPATHTEXTURES", 0);
  ASSERT_EQ(Save(m, "full.x", 0), 0);
  EXPECT_NE(Slurp(dir / "full.x").find("\"C:\\\\maps\\\\wood.bmp\""), std::string::npos);

  // Without the extra objects: the file name and the stages only; the
  // functure keeps its place with a plain Material.
  host.SetInt("ACTIONS", "SAVEEXTRAINFO", 0);
  m->SetRemark("");
  ASSERT_EQ(Save(m, "plain.x", 0), 0);
  top = ReadTop(File("plain.x"));
  EXPECT_EQ(top[0].ChildTypes(), (std::vector<std::string>{"MeshMaterialList", "MeshTextureCoords"}));
  const auto plainMats = top[0].First("MeshMaterialList")->All("Material");
  EXPECT_EQ(plainMats[plainMats.size() - 2]->ChildTypes(),
            (std::vector<std::string>{"TextureFilename", "XFILEORVANE_TextureStage"}));
  EXPECT_TRUE(plainMats.back()->children.empty());
}

TEST_F(WriteDirectXTest, TextureImagesGoBesideTheSavedModel) {
  const fs::path maps = dir / "maps";
  const fs::path out = dir / "out";
  fs::create_directories(maps);
  fs::create_directories(out);
  std::ofstream(maps / "child.bmp", std::ios::binary) << "BM-child";
  std::ofstream(maps / "noimage.bmp", std::ios::binary) << "BM-none";

  CMeshObject* top = Mesh("Top", 1);
  CMeshObject* child = Mesh("Child", 1);
  ASSERT_EQ(top->AddChild(child), 0);
  // The child was loaded from somewhere else before.
  child->SetFullPath((maps / "old.x").string());
  CTexture* t = child->AddTexture((maps / "child.bmp").string());
  auto image = std::make_shared<TextureImage>();
  image->width = image->height = 1;
  t->AttachImage(image);
  child->AddTexture((maps / "noimage.bmp").string());  // no image held: nothing written

  for (int methode : {0, 1}) {
    fs::remove(out / "child.bmp");
    CWriteDirectX writer(methode);
    ASSERT_EQ(writer.WriteObject(top, (out / "model.x").string(), DXFILEFORMAT_TEXT), 0);
    EXPECT_EQ(Slurp(out / "child.bmp"), "BM-child") << methode;
    EXPECT_FALSE(fs::exists(out / "noimage.bmp"));
  }
  // An image already there is left alone.
  std::ofstream(out / "child.bmp", std::ios::binary | std::ios::trunc) << "mine";
  CWriteDirectX writer(0);
  ASSERT_EQ(writer.WriteObject(top, (out / "model.x").string(), DXFILEFORMAT_TEXT), 0);
  EXPECT_EQ(Slurp(out / "child.bmp"), "mine");
}

TEST_F(WriteDirectXTest, FailuresAreReturnedAndKeepThePreviousFile) {
  CMeshObject* m = Mesh("M", 1);
  EXPECT_EQ(CWriteDirectX(0).WriteObject(nullptr, File("x.x"), DXFILEFORMAT_TEXT), E_FAIL);
  // A folder that does not exist.
  EXPECT_LT(Save(m, "missing/m.x", 0), 0);
  // The target is a folder: the rename fails and the folder stays.
  fs::create_directories(dir / "taken.x");
  EXPECT_LT(Save(m, "taken.x", 0), 0);
  EXPECT_TRUE(fs::is_directory(dir / "taken.x"));

  // A write that fails part-way (the file size limit) leaves the earlier
  // file untouched and no temporary file behind.
  ASSERT_EQ(Save(m, "keep.x", 0), 0);
  const std::string before = Slurp(dir / "keep.x");
  CMeshObject* big = Mesh("Big", 400);
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 16 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const LONG hr = Save(big, "keep.x", 0);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_LT(hr, 0);
  EXPECT_EQ(Slurp(dir / "keep.x"), before);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

// A host that kills the process the moment a save reports progress, after
// the save's temporary file is made and before it is complete.
class KillingHost : public RecordingHost {
 public:
  void ProgressSetPos(LONG) override { ::raise(SIGKILL); }
};

TEST_F(WriteDirectXTest, TheNextSaveRemovesTheTemporaryOfAKilledSave) {
  CMeshObject* m = Mesh("M", 50);
  auto temps = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
      if (IsSaveTempOf(e.path().filename().string(), "scene.x", nullptr)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EXIT(
      {
        KillingHost killing;
        ScopedHost scope(&killing);
        Save(m, "scene.x", 1);
      },
      ::testing::KilledBySignal(SIGKILL), "");
  ASSERT_EQ(temps().size(), 1u);
  EXPECT_FALSE(fs::exists(dir / "scene.x"));
  int dead = 0;
  ASSERT_TRUE(IsSaveTempOf(temps()[0], "scene.x", &dead));
  EXPECT_NE(dead, ::getpid());

  // The command line's temporaries of the same target, from the same dead
  // process, go too. That of a save still running (this process's) stays,
  // and so do those of other targets.
  const std::string dead_ = std::to_string(dead);
  for (const std::string& name : {".orvane-" + dead_ + "-scene.x", "..orvane-" + dead_ + "-scene.x.Ab12Cd",
                                  "..orvane-" + dead_ + "-scene.x." + dead_ + ".Ab12Cd"})
    std::ofstream(dir / name) << "partial";
  const std::string live = ".scene.x." + std::to_string(::getpid()) + ".Live00";
  const std::string other = ".other.x." + dead_ + ".Other0";
  std::ofstream(dir / live) << "partial";
  std::ofstream(dir / other) << "partial";
  ASSERT_EQ(temps().size(), 5u);
  ASSERT_EQ(Save(m, "scene.x", 1), 0);
  EXPECT_EQ(temps(), std::vector<std::string>{live});
  EXPECT_TRUE(fs::exists(dir / other));
  EXPECT_NE(Slurp(dir / "scene.x").find("Mesh"), std::string::npos);
}

TEST_F(WriteDirectXTest, SaveEntryFormatFlags) {
  EXPECT_EQ(DirectXSaveFormat(0), DXFILEFORMAT_TEXT);
  EXPECT_EQ(DirectXSaveFormat(1), DXFILEFORMAT_BINARY);
  host.SetInt("ACTIONS", "SAVECOMPRESSDIRECTX", 1);
  EXPECT_EQ(DirectXSaveFormat(0), DXFILEFORMAT_TEXT | DXFILEFORMAT_COMPRESSED);
  EXPECT_EQ(DirectXSaveFormat(1), DXFILEFORMAT_BINARY | DXFILEFORMAT_COMPRESSED);

  // Through the mesh object's save entry.
  CMeshObject* m = Mesh("M", 1);
  m->SetExportType(1);
  m->SetLastSaveFormat(1);
  ASSERT_EQ(m->Save(File("entry.x"), 2), 0);
  EXPECT_EQ(Slurp(dir / "entry.x").substr(0, 16), "xof 0302bzip0032");
  EXPECT_EQ(m->GetLastSaveMethode(), 2);
  EXPECT_EQ(m->GetSaved(), 1);
}

// --- material files ------------------------------------------------------------

class MaterialFileTest : public WriteDirectXTest {
 protected:
  CMaterial* Sample() {
    CMaterial* mat = engine->CreateMaterial();
    mat->SetLogUndoAction(0);
    mat->SetName("Shiny red metal");
    mat->SetDiffuse(0.5f, 0.25f, 1.0f);
    mat->SetPower(-1.0f);
    mat->SetSpecular(D3DVECTOR(0.1f, 0.2f, 0.3f));
    mat->SetEmissive(D3DVECTOR(0, 0, 0));
    mat->SetAmbient(D3DVECTOR(0.75f, 0.5f, 0.125f));
    return mat;
  }
  static std::string Expected() {
    return "xof 0302txt 0064\r\n\r\n"
           "template Header {\r\n <3D82AB43-62DA-11cf-AB39-0020AF71E433>\r\n WORD major;\r\n WORD minor;\r\n"
           " DWORD flags;\r\n}\r\n\r\n"
           "template ColorRGB {\r\n <D3E16E81-7835-11cf-8F52-0040333594A3>\r\n FLOAT red;\r\n FLOAT green;\r\n"
           " FLOAT blue;\r\n}\r\n\r\n"
           "template ColorRGBA {\r\n <35FF44E0-6C7C-11cf-8F52-0040333594A3>\r\n FLOAT red;\r\n FLOAT green;\r\n"
           " FLOAT blue;\r\n FLOAT alpha;\r\n}\r\n\r\n";
  }
  static std::string ExpectedMaterial() {
    return "template Material {\r\n <3D82AB4D-62DA-11cf-AB39-0020AF71E433>\r\n ColorRGBA faceColor;\r\n"
           " FLOAT power;\r\n ColorRGB specularColor;\r\n ColorRGB emissiveColor;\r\n [...]\r\n}\r\n\r\n"
           "Material Shiny_red_metal {\r\n"
           "0.500000;0.250000;1.000000;1.000000;;\r\n"
           "-1.000000;\r\n"
           "0.100000;0.200000;0.300000;;\r\n"
           "0.000000;0.000000;0.000000;;\r\n"
           "ColorAmbient {\r\n"
           "0.750000;0.500000;0.125000;;\r\n"
           "}\r\n}\r\n\r\n";
  }
  void Check(const std::string& text) {
    EXPECT_EQ(text.substr(0, Expected().size()), Expected());
    const size_t ambient = text.find(" // ");
    ASSERT_NE(ambient, std::string::npos);
    const std::string rest = text.substr(ambient);
    EXPECT_NE(rest.find("01/05/1998"), std::string::npos);
    EXPECT_NE(rest.find("ambient colors for materials."), std::string::npos);
    EXPECT_NE(rest.find("\r\ntemplate ColorAmbient {\r\n <B88AAA81-E100-11d1-B97E-00C02631B15B>\r\n"
                        " ColorRGB ambientColor;\r\n}\r\n\r\n"),
              std::string::npos);
    ASSERT_GE(text.size(), ExpectedMaterial().size());
    EXPECT_EQ(text.substr(text.size() - ExpectedMaterial().size()), ExpectedMaterial());
    // Every line ends with CR LF.
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << i;
      }
    }
  }
};

TEST_F(MaterialFileTest, BytesOfAMaterialFile) {
  ASSERT_EQ(WriteMaterialFile(Sample(), File("m.x")), 0);
  Check(Slurp(dir / "m.x"));
  EXPECT_LT(WriteMaterialFile(Sample(), File("missing/m.x")), 0);
  EXPECT_EQ(WriteMaterialFile(nullptr, File("n.x")), E_FAIL);
}

TEST_F(MaterialFileTest, NumbersStayInTheCLocaleUnderADecimalComma) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const LONG hr = WriteMaterialFile(Sample(), File("de.x"));
  CMeshObject* m = Mesh("M", 1);
  m->SetPosition(D3DVECTOR(0.5f, 0, 0), 1);
  const LONG mesh = Save(m, "de_mesh.x", 0);
  std::setlocale(LC_ALL, previous.c_str());
  ASSERT_EQ(hr, 0);
  Check(Slurp(dir / "de.x"));
  ASSERT_EQ(mesh, 0);
  EXPECT_NE(Slurp(dir / "de_mesh.x").find("1.500000"), std::string::npos);
}

}  // namespace

namespace {

// --- an independent reader --------------------------------------------------------
// assimp (Debian's assimp-utils, test-only) reads every file the writer
// makes. assimp splits each Mesh by material and gives every face corner a
// vertex of its own, so it reports, per .x Mesh, one mesh per material in
// use, and three vertices per triangle.

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  ::pclose(p);
  return out;
}

long Count(const std::string& info, const char* label) {
  std::smatch m;
  const std::regex re(std::string("(^|\n)") + label + ":[ \t]+([0-9]+)");
  return std::regex_search(info, m, re) ? std::stol(m[2]) : -1;
}

// newmtl name -> Kd of an exported .mtl.
std::map<std::string, std::array<float, 3>> Diffuse(const std::string& mtl) {
  std::map<std::string, std::array<float, 3>> out;
  std::istringstream in(mtl);
  std::string line, current;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "newmtl") {
      words >> current;
    } else if (key == "Kd") {
      std::array<float, 3> c{};
      words >> c[0] >> c[1] >> c[2];
      out[current] = c;
    }
  }
  return out;
}

// What the file holds, by our own reading: meshes as assimp counts them,
// faces, Material objects and each named material's diffuse colour.
struct Expect {
  long meshes = 0, faces = 0, materials = 0;
  std::map<std::string, std::array<float, 3>> diffuse;
};
void Gather(const XObj& o, Expect& e) {
  if (o.type == "Mesh") {
    const MeshData md = DecodeMesh(o);
    e.faces += static_cast<long>(md.faces.size());
    if (const XObj* list = o.First("MeshMaterialList")) {
      DWORD n = 0;
      const auto idx = FaceIndexes(*list, &n);
      e.meshes += static_cast<long>(std::set<DWORD>(idx.begin(), idx.end()).size());
      for (const XObj* m : list->All("Material")) {
        ++e.materials;
        const auto r = m->Record<XMaterialRecord>();
        if (!m->name.empty()) e.diffuse[m->name] = {r.faceColor[0], r.faceColor[1], r.faceColor[2]};
      }
    }
  }
  for (const XObj& c : o.children) Gather(c, e);
}

TEST_F(WriteDirectXTest, AssimpReadsEveryEncodingAndLayout) {
  if (RunCommand("command -v assimp").empty()) GTEST_SKIP() << "the assimp program (assimp-utils) is not installed";

  CMeshObject* top = Mesh("Top", 2);
  CMeshObject* child = Mesh("Child", 1, 5);
  CMeshObject* bare = Mesh("Bare", 1, 9);
  ASSERT_EQ(top->AddChild(child), 0);
  ASSERT_EQ(child->AddChild(bare), 0);
  while (bare->GetMaterialCount() > 0) bare->ReleaseMaterial(*bare->GetMaterial(0));
  Material(top, "Red", 1, 0, 0);
  Material(child, "Blue", 0, 0.25f, 1);
  CTexture* wood = top->AddTexture("/maps/wood.bmp");
  wood->SetName("Wood");
  wood->SetDiffuse(0.5f, 0.75f, 1.0f);
  CTexture* detail = top->AddTexture("/maps/detail.bmp");
  wood->SetLinkedStageTexture(detail, 1);
  top->SetFaceTexture(0, *wood);
  top->TextureFace(0);
  CFuncture* fx = child->AddFuncture();
  fx->SetName("Fx");
  fx->SetBitmapOne("/maps/in0.bmp");
  child->SetFaceTexture(1, *fx);
  child->TextureFace(1);
  top->SetRemark("a remark");

  for (int methode : {0, 1})
    for (DWORD format : {DXFILEFORMAT_TEXT, DXFILEFORMAT_BINARY, DXFILEFORMAT_TEXT | DXFILEFORMAT_COMPRESSED,
                         DXFILEFORMAT_BINARY | DXFILEFORMAT_COMPRESSED}) {
      SCOPED_TRACE(StrFormat("method %d format %u", methode, format));
      const std::string name = StrFormat("a%d_%u.x", methode, format);
      ASSERT_EQ(Save(top, name, methode, format), 0);
      Expect want;
      for (const XObj& o : ReadTop(File(name))) Gather(o, want);
      ASSERT_EQ(want.faces, 8);

      const std::string info = RunCommand("assimp info '" + File(name) + "' -r 2>&1");
      ASSERT_NE(info.find("Importing file ...                   OK"), std::string::npos) << info;
      EXPECT_EQ(Count(info, "Meshes"), want.meshes) << info;
      EXPECT_EQ(Count(info, "Faces"), want.faces) << info;
      EXPECT_EQ(Count(info, "Vertices"), 3 * want.faces) << info;
      EXPECT_EQ(Count(info, "Materials"), want.materials) << info;

      const std::string obj = (dir / StrFormat("a%d_%u.obj", methode, format)).string();
      RunCommand("assimp export '" + File(name) + "' '" + obj + "' 2>&1");
      const auto got = Diffuse(Slurp(obj.substr(0, obj.size() - 4) + ".mtl"));
      for (const auto& [material, colour] : want.diffuse) {
        auto it = got.find(material);
        ASSERT_NE(it, got.end()) << material;
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(it->second[i], colour[i], 1e-5) << material << " " << i;
      }
    }
}

}  // namespace
