#include "formats/Read3DS.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "engine/CLight.h"
#include "engine/CMaterial.h"
#include "engine/CMeshObject.h"
#include "engine/CTexture.h"
#include "engine/RenderEngine.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace {

// Chunk identifiers.
enum : uint16_t {
  kColorFloat = 0x0010,
  kColorBytes = 0x0011,
  kColorBytesLinear = 0x0012,
  kColorFloatLinear = 0x0013,
  kPercentInt = 0x0030,
  kPercentFloat = 0x0031,
  kMasterScale = 0x0100,
  kBackground = 0x1200,
  kAmbientLight = 0x2100,
  kFog = 0x2200,
  kFogBackground = 0x2210,
  kUseFog = 0x2201,
  kLayeredFog = 0x2302,
  kDefaultView = 0x3000,
  kCameraView = 0x3100,
  kEditor = 0x3D3D,
  kMeshVersion = 0x3D3E,
  kNamedObject = 0x4000,
  kHidden = 0x4010,
  kNoShadow = 0x4012,
  kTriangleObject = 0x4100,
  kVertices = 0x4110,
  kVertexFlags = 0x4111,
  kFaces = 0x4120,
  kMaterialGroup = 0x4130,
  kTextureVertices = 0x4140,
  kSmoothing = 0x4150,
  kMeshMatrix = 0x4160,
  kMeshColor = 0x4165,
  kTextureInfo = 0x4170,
  kLight = 0x4600,
  kSpotLight = 0x4610,
  kOuterRange = 0x465A,
  kCamera = 0x4700,
  kMain = 0x4D4D,
  kViewportLayout = 0x7001,
  kViewportSize = 0x7011,
  kViewportData = 0x7012,
  kViewportData3 = 0x7020,
  kMaterialName = 0xA000,
  kAmbient = 0xA010,
  kDiffuse = 0xA020,
  kSpecular = 0xA030,
  kShininess = 0xA040,
  kTextureMap = 0xA200,
  kMapFile = 0xA300,
  kMaterial = 0xAFFF,
  kKeyframes = 0xB000,
};

constexpr size_t kHeader = 6;
// Offset of the version byte in a file laid out in the usual order.
constexpr size_t kVersionOffset = 28;
// Offset of the value of a version chunk (0002) that opens the main chunk.
constexpr size_t kVersionChunkValue = 12;
constexpr int kMaxViewports = 4;

CString Key(const CString& name) { return StrUpper(name); }

bool IsBlack(const D3DVECTOR& c) { return c.x == 0 && c.y == 0 && c.z == 0; }

// The file's bytes; false when it cannot be read.
bool ReadWholeFile(const CString& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes->resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes->data()), size);
  // A file that shrank meanwhile keeps what could be read.
  bytes->resize(static_cast<size_t>(in.gcount()));
  return !in.bad();
}

}  // namespace

CRead3DS::CRead3DS(CMeshObject* root) : m_Root(root), m_Engine(root ? root->Engine() : nullptr), m_Current(root) {
  if (m_Engine) m_Progress = m_Engine->CreateProgressWindow();
}

CRead3DS::~CRead3DS() {
  for (CFrameObject* item : m_Created) item->SetLogUndoAction(1);
  if (m_Engine && m_Progress) m_Engine->ReleaseProgressWindow();
}

template <class T>
T* CRead3DS::Created(T* item) {
  if (item) {
    item->SetLogUndoAction(0);
    m_Created.push_back(item);
  }
  return item;
}

// ---------------------------------------------------------------------------
// Primitive readers

uint8_t CRead3DS::ReadChar() {
  if (m_Pos >= m_Size) throw CReadException();
  return m_Data[m_Pos++];
}

uint16_t CRead3DS::ReadShort() {
  if (m_Pos + 2 > m_Size) throw CReadException();
  const uint16_t v = static_cast<uint16_t>(m_Data[m_Pos] | (m_Data[m_Pos + 1] << 8));
  m_Pos += 2;
  return v;
}

uint32_t CRead3DS::ReadLong() {
  if (m_Pos + 4 > m_Size) throw CReadException();
  const uint8_t* p = m_Data + m_Pos;
  m_Pos += 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

float CRead3DS::ReadFloat() {
  const uint32_t bits = ReadLong();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

D3DVECTOR CRead3DS::ReadVector() {
  const float x = ReadFloat();
  const float y = ReadFloat();
  const float z = ReadFloat();
  return D3DVECTOR(x, y, z);
}

bool CRead3DS::NextChunk(const Chunk& parent, Chunk* chunk) {
  if (m_Pos + kHeader > parent.end) return false;
  const uint64_t start = m_Pos;
  const uint16_t id = ReadShort();
  const uint32_t length = ReadLong();
  // A length that could not hold its own header, or that runs past the
  // parent, is damage: nothing after it in the parent can be trusted.
  if (length < kHeader || start + length > parent.end) return false;
  chunk->id = id;
  chunk->start = start;
  chunk->end = start + length;
  if (m_Progress && static_cast<long>(start >> 12) != m_LastProgress) {
    m_LastProgress = static_cast<long>(start >> 12);
    m_Progress->SetCurrent(static_cast<LONG>(std::min<uint64_t>(start, 0x7FFFFFFF)));
  }
  return true;
}

CString CRead3DS::ReadName(const Chunk& within) {
  CString name;
  // A name runs to its zero byte, or to the end of its chunk.
  const uint64_t end = std::min(within.end, m_Size);
  if (m_Pos >= end) ReadChar();  // raises at the end of the file
  uint8_t c = m_Pos < end ? m_Data[m_Pos++] : 0;
  if (c == 0) return m_Engine->CheckFrameObjectName("Default_name");
  while (c != 0) {
    if (name.size() < 11) name += static_cast<char>(c);
    c = m_Pos < end ? m_Data[m_Pos++] : 0;
  }
  return m_Engine->CheckFrameObjectName(name);
}

CString CRead3DS::ReadLongName(const Chunk& within) {
  CString name;
  const uint64_t end = std::min(within.end, m_Size);
  while (m_Pos < end) {
    const char c = static_cast<char>(m_Data[m_Pos++]);
    if (c == 0) break;
    name += c;
  }
  if (name.empty()) name = "Default name";
  return m_Engine->CheckFrameObjectName(name);
}

void CRead3DS::Message(const char* text) {
  if (m_Progress) m_Progress->SetMessage(text, m_Current);
}

void CRead3DS::AddCommentToObject(const CString& text) {
  if (m_Current) m_Current->AddRemark(text);
}

// ---------------------------------------------------------------------------
// The file

int CRead3DS::Read(const uint8_t* data, size_t size, const CString& directory) {
  if (!m_Root || !m_Engine) return -1;
  m_Data = data;
  m_Size = size;
  m_Pos = 0;
  m_Directory = directory;
  // Nothing but a main chunk header makes a 3D Studio file.
  if (size < kHeader || (data[0] | (data[1] << 8)) != kMain) return -1;
  if (m_Progress) m_Progress->SetMax(static_cast<LONG>(std::min<uint64_t>(size, 0x7FFFFFFF)));
  const int rootLog = m_Root->GetLogUndoAction();
  m_Root->SetLogUndoAction(0);
  try {
    // The file's version chunk when the main chunk opens with it, as files
    // of every version do; otherwise the mesh version where the usual
    // layout puts it.
    m_Pos = size >= kVersionChunkValue + 1 && data[kHeader] == 0x02 && data[kHeader + 1] == 0x00 ? kVersionChunkValue
                                                                                                : kVersionOffset;
    m_Version = ReadChar();
    if (m_Version < 3) {
      const CString question = StrFormat(
          "Orvane is only certified for 3D Studio Version 3+ objects.\nThis object is version %d. For some object "
          "loading might work.\nContinue loading this object?",
          m_Version);
      if (HostMessageBox(question, "Orvane", MB_YESNO | MB_ICONQUESTION) == IDNO) {
        m_Root->SetLogUndoAction(rootLog);
        return 0;
      }
    }
    m_Pos = 2;
    Chunk main;
    main.id = kMain;
    main.start = 0;
    main.end = static_cast<uint64_t>(ReadLong());
    // The main chunk's length may promise more than the file holds: the
    // read past the end then ends the import. A length below its header's
    // reads nothing.
    if (main.end >= kHeader) ReadMain(main);
  } catch (const CReadException&) {
    // The file ends early: what was read stays.
  }
  // The objects of the file are children of the root: saving keeps them
  // apart, as frames, instead of flattening them into one mesh.
  if (m_Root->ChildList().Count() > 0) m_Root->SetLastSaveMethode(1);
  m_Root->SetLogUndoAction(rootLog);
  return 0;
}

void CRead3DS::ReadMain(const Chunk& main) {
  Chunk c;
  while (NextChunk(main, &c)) {
    if (c.id == kEditor) ReadEditor(c);
    else if (c.id == kKeyframes) ReadKeyframes(c);
    Seek(c.end);
  }
}

void CRead3DS::ReadEditor(const Chunk& editor) {
  Message("Reading Edit.");
  Chunk c;
  while (NextChunk(editor, &c)) {
    switch (c.id) {
      case kMasterScale: m_MasterScale = ReadFloat(); break;
      case 0x1100: case 0x1300: case 0x1400: case 0x1410: case 0x1420: case 0x1430: case 0x1440: case 0x1450:
      case 0x1460: case 0x1500: break;
      case kBackground: ReadBackground(c); break;
      case kAmbientLight: {
        D3DVECTOR unused;
        ReadColorIn(c, &unused);
        break;
      }
      case kFog: ReadFog(c); break;
      case kUseFog: AddCommentToObject("Skipping fog chunk."); break;
      case kLayeredFog:
        Message("Reading Fog Layer.");
        ReadFloat(), ReadFloat(), ReadFloat(), ReadShort();
        break;
      case kDefaultView: AddCommentToObject("Skipping default view chunk."); break;
      case kCameraView:
        Message("Reading Camera View.");
        ReadName(c);
        AddCommentToObject("Skipping camera view chunk.");
        break;
      case kMeshVersion:
        Message("Reading Mesh Version Chunk");
        AddCommentToObject(StrFormat("Reading 3DS object Version = %d.", ReadChar()));
        break;
      case kNamedObject: ReadNamedObject(c); break;
      case kViewportLayout: ReadViewports(c); break;
      case kMaterial: ReadMaterial(c); break;
      default: AddCommentToObject("Skipping unknown chunk."); break;
    }
    Seek(c.end);
  }
  if (m_MasterScale != 1.0f && std::isfinite(m_MasterScale) && m_MasterScale != 0.0f) {
    const float s = m_MasterScale;
    m_Root->CFrameObject::SetScale(D3DVECTOR(s, s, s));
    Message("Moving Objects");
    ApplyMasterScale(m_Root);
    for (CLight* light : m_Lights) {
      const D3DVECTOR p = light->GetPosition();
      light->SetPosition(D3DVECTOR(p.x * s, p.y * s, p.z * s), 0);
    }
  }
}

// Each object keeps its vertices where they are in the world and moves its
// frame by the scale.
void CRead3DS::ApplyMasterScale(CMeshObject* object) {
  const float s = m_MasterScale;
  const D3DVECTOR old = object->GetPosition();
  const D3DVECTOR p(old.x * s, old.y * s, old.z * s);
  const D3DVECTOR shift(p.x - old.x, p.y - old.y, p.z - old.z);
  for (long i = 0; i < object->GetVertexCount(); ++i) {
    MeshVertex* v = object->GetVertex(i);
    v->x -= shift.x;
    v->y -= shift.y;
    v->z -= shift.z;
  }
  object->CFrameObject::SetPosition(p, 0);
  for (SimpleNode<CMeshObject>* n = object->ChildList().Head(); n; n = n->Next())
    if (n->Node()) ApplyMasterScale(n->Node());
}

// ---------------------------------------------------------------------------
// Objects

void CRead3DS::ReadNamedObject(const Chunk& object) {
  Message("Reading Object.");
  m_ObjectName = ReadName(object);
  m_Hidden = false;
  std::vector<CMeshObject*> meshes;
  Chunk c;
  while (NextChunk(object, &c)) {
    switch (c.id) {
      case kTriangleObject: {
        CMeshObject* mesh = Created(m_Engine->CreateObject());
        if (!mesh) {
          m_Engine->ReportError(E_OUTOFMEMORY, "");
          return;
        }
        m_Root->AddChild(mesh);
        mesh->DeferViewUpdates();
        mesh->SetName(m_ObjectName);
        m_Current = mesh;
        meshes.push_back(mesh);
        ReadTriangleObject(c);
        break;
      }
      // Flags of the object: they make no mesh of their own.
      case kHidden: m_Hidden = true; break;
      case kNoShadow: break;
      case kLight: ReadLight(c); break;
      case kCamera: ReadCamera(c); break;
      default: break;
    }
    Seek(c.end);
  }
  if (m_Hidden)
    for (CMeshObject* mesh : meshes) mesh->SetVisible(0);
}

void CRead3DS::ReadTriangleObject(const Chunk& mesh) {
  Message("Reading Object.");
  m_TextureInfo = TextureInfo();
  Chunk c;
  while (NextChunk(mesh, &c)) {
    switch (c.id) {
      case kVertices: ReadVertices(c); break;
      case kFaces: ReadFaces(c); break;
      case kTextureVertices: ReadTextureVertices(c); break;
      case kMeshMatrix: ReadMeshMatrix(); break;
      case kTextureInfo: ReadTextureInfo(); break;
      case kVertexFlags: case kMeshColor: default: break;
    }
    Seek(c.end);
  }
}

void CRead3DS::ReadVertices(const Chunk& chunk) {
  Message("Reading Object Vertices.");
  CMeshObject* mesh = m_Current;
  uint64_t count = ReadShort();
  // A count the chunk cannot hold is cut to what it holds; a file that
  // ends inside the chunk ends the import at the missing value.
  count = std::min<uint64_t>(count, (chunk.end - m_Pos) / 12);
  count = std::min<uint64_t>(count, static_cast<uint64_t>(MESH_MAX_VERTICES - mesh->GetVertexCount()));
  mesh->ReserveSpace(mesh->GetVertexCount() + static_cast<long>(count), mesh->GetFaceCount());
  for (uint64_t i = 0; i < count; ++i) {
    const D3DVECTOR v = ReadVector();
    if (mesh->AddVertex(v) < 0) break;
  }
}

void CRead3DS::ReadFaces(const Chunk& chunk) {
  Message("Reading Object Faces.");
  CMeshObject* mesh = m_Current;
  const uint64_t count = std::min<uint64_t>(ReadShort(), (chunk.end - m_Pos) / 8);
  const long vertices = mesh->GetVertexCount();
  mesh->ReserveSpace(vertices, mesh->GetFaceCount() + static_cast<long>(count));
  // Groups number the faces of their own face chunk.
  m_FaceMap.clear();
  m_FaceMap.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const long a = ReadShort(), b = ReadShort(), c = ReadShort();
    ReadShort();  // edge flags
    // Faces naming vertices the object does not have are left out.
    long f = -1;
    if (a < vertices && b < vertices && c < vertices) f = mesh->AddFace(a, b, c);
    m_FaceMap.push_back(f);
  }
  Chunk c;
  while (NextChunk(chunk, &c)) {
    if (c.id == kMaterialGroup) ReadMaterialGroup(c);
    else if (c.id == kSmoothing) Message("Reading Object Smooth.");
    Seek(c.end);
  }
}

CRead3DS::TextureEntry CRead3DS::TextureForMesh(const CString& key, CMeshObject* mesh) {
  const auto own = m_MeshTextures.find({key, mesh});
  if (own != m_MeshTextures.end()) return own->second;
  TextureEntry entry = m_Textures[key];
  // A texture belongs to one mesh: the first mesh takes the material's,
  // each further one a copy of it.
  if (entry.texture && !m_TakenTextures.insert(entry.texture).second) {
    CTexture* copy = Created(m_Engine->CreateTexture(*entry.texture));
    if (!copy) return {};
    entry.texture = copy;
  }
  m_MeshTextures[{key, mesh}] = entry;
  return entry;
}

void CRead3DS::ReadMaterialGroup(const Chunk& chunk) {
  Message("Reading Object Materials.");
  CMeshObject* mesh = m_Current;
  const CString name = ReadLongName(chunk);
  const uint64_t count = std::min<uint64_t>(ReadShort(), (chunk.end - m_Pos) / 2);
  const CString key = Key(name);
  CMaterial* material = nullptr;
  TextureEntry texture;
  if (const auto m = m_Materials.find(key); m != m_Materials.end()) material = m->second;
  else if (m_Textures.count(key)) texture = TextureForMesh(key, mesh);
  if (!material && !texture.texture) {
    m_Engine->ReportError(E_FAIL, "");
    return;
  }
  long materialIndex = 0;
  long textureIndex = -1;
  if (material) {
    mesh->AddMaterial(*material);
    materialIndex = mesh->GetMaterialIndex(*material);
  } else {
    if (texture.companion) {
      mesh->AddMaterial(*texture.companion);
      materialIndex = std::max(0L, mesh->GetMaterialIndex(*texture.companion));
    }
  }
  for (uint64_t i = 0; i < count; ++i) {
    const uint16_t index = ReadShort();
    if (index >= m_FaceMap.size() || m_FaceMap[index] < 0) continue;
    const long f = m_FaceMap[index];
    if (texture.texture) {
      if (textureIndex < 0) {
        if (mesh->SetFaceTexture(f, *texture.texture) != 0) continue;
        textureIndex = mesh->GetTextureIndex(*texture.texture);
      } else {
        mesh->SetFaceTexture(f, textureIndex);
      }
      mesh->TextureFace(f);
    }
    if (materialIndex >= 0) mesh->SetFaceMaterialIndex(f, static_cast<int>(materialIndex));
  }
  if (m_TextureInfo.read) {
    const TextureInfo& t = m_TextureInfo;
    D3DVECTOR position(t.matrix[3][0], t.matrix[3][1], t.matrix[3][2]);
    D3DVECTOR dir(t.matrix[2][0], t.matrix[2][1], t.matrix[2][2]);
    D3DVECTOR up(t.matrix[1][0], t.matrix[1][1], t.matrix[1][2]);
    const D3DVECTOR scale(t.scaling, t.scaling, t.scaling);
    auto place = [&](CFrameObject* item) {
      item->CFrameObject::SetPosition(position, 0);
      item->SetOrientation(dir, up);
    };
    if (material) {
      place(material);
      material->CFrameObject::SetScale(scale);
    }
    if (texture.texture) {
      place(texture.companion);
      texture.companion->CFrameObject::SetScale(scale);
      place(texture.texture);
      texture.texture->SetScale(scale, 1);
      if (t.mapType == 0) texture.texture->SetWrapType(D3DRMWRAP_FLAT);
      else if (t.mapType == 1) texture.texture->SetWrapType(D3DRMWRAP_CYLINDER);
      else if (t.mapType == 2) texture.texture->SetWrapType(D3DRMWRAP_SPHERE);
    }
  }
}

void CRead3DS::ReadTextureVertices(const Chunk& chunk) {
  Message("Reading Object Vertices Texture.");
  CMeshObject* mesh = m_Current;
  mesh->SetTextureIndicesLocked(1);
  const uint64_t count = std::min<uint64_t>(ReadShort(), (chunk.end - m_Pos) / 8);
  for (uint64_t i = 0; i < count; ++i) {
    const float u = ReadFloat();
    const float v = ReadFloat();
    if (mesh->SetVertexTextureCoordinates(static_cast<long>(i), 0, u, v, 0) != 0) break;
  }
}

void CRead3DS::ReadMeshMatrix() {
  Message("Reading Matrix.");
  float m[4][3];
  for (auto& row : m)
    for (float& v : row) v = ReadFloat();
  CMeshObject* mesh = m_Current;
  // The vertices are in world coordinates: they stay where they are while
  // the object's frame moves to the matrix's origin.
  const D3DVECTOR old = mesh->GetPosition();
  const D3DVECTOR p(m[3][0], m[3][1], m[3][2]);
  if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
    const D3DVECTOR shift(p.x - old.x, p.y - old.y, p.z - old.z);
    for (long i = 0; i < mesh->GetVertexCount(); ++i) {
      MeshVertex* v = mesh->GetVertex(i);
      v->x -= shift.x;
      v->y -= shift.y;
      v->z -= shift.z;
    }
    mesh->CFrameObject::SetPosition(p, 0);
  }
  D3DVECTOR dir(m[2][0], m[2][1], m[2][2]);
  D3DVECTOR up(m[1][0], m[1][1], m[1][2]);
  mesh->SetOrientation(dir, up);
}

void CRead3DS::ReadTextureInfo() {
  Message("Reading Object Texture.");
  TextureInfo& t = m_TextureInfo;
  t.read = true;
  t.mapType = ReadShort();
  t.tileX = ReadFloat();
  t.tileY = ReadFloat();
  t.icon = ReadVector();
  for (auto& row : t.matrix)
    for (float& v : row) v = ReadFloat();
  t.scaling = ReadFloat();
  t.planarWidth = ReadFloat();
  t.planarHeight = ReadFloat();
  t.cylinderHeight = ReadFloat();
}

void CRead3DS::ReadLight(const Chunk& light) {
  CLight* l = Created(m_Engine->CreateLight(D3DLIGHT_POINT));
  if (!l) {
    m_Engine->ReportError(E_OUTOFMEMORY, "");
    return;
  }
  m_Lights.push_back(l);
  l->SetName(m_ObjectName);
  Message("Reading Light.");
  l->SetPosition(ReadVector(), 0);
  Chunk c;
  while (NextChunk(light, &c)) {
    D3DVECTOR colour;
    if (ReadColor(c, &colour)) l->SetColor(colour.x, colour.y, colour.z);
    else if (c.id == kSpotLight) Message("Reading Spot Light.");
    else if (c.id == kOuterRange) l->SetRange(ReadFloat());
    Seek(c.end);
  }
}

void CRead3DS::ReadCamera(const Chunk&) {
  Message("Reading Camera.");
  for (int i = 0; i < 8; ++i) ReadFloat();
}

// ---------------------------------------------------------------------------
// Materials

bool CRead3DS::ReadColor(const Chunk& chunk, D3DVECTOR* colour) {
  switch (chunk.id) {
    case kColorFloat:
    case kColorFloatLinear:
      if (chunk.end - chunk.start > 18) return false;
      *colour = ReadVector();
      return true;
    case kColorBytes:
    case kColorBytesLinear: {
      const float r = ReadChar() / 255.0f;
      const float g = ReadChar() / 255.0f;
      const float b = ReadChar() / 255.0f;
      *colour = D3DVECTOR(r, g, b);
      return true;
    }
    default: return false;
  }
}

bool CRead3DS::ReadColorIn(const Chunk& parent, D3DVECTOR* colour) {
  Message("Reading Color.");
  Chunk c;
  bool found = false;
  while (!found && NextChunk(parent, &c)) {
    found = ReadColor(c, colour);
    Seek(c.end);
  }
  return found;
}

void CRead3DS::ReadMaterial(const Chunk& material) {
  Message("Reading Material.");
  Message("Checking Material.");
  // Whether the material carries a texture map decides what it becomes.
  bool textured = false;
  Chunk c;
  while (!textured && NextChunk(material, &c)) {
    textured = c.id == kTextureMap || c.id == kMapFile;
    Seek(c.end);
  }
  Seek(material.start + kHeader);
  CMaterial* plain = nullptr;
  TextureEntry entry;
  if (textured) {
    entry.texture = Created(m_Engine->CreateTexture());
    entry.companion = Created(m_Engine->CreateMaterial());
    if (!entry.texture || !entry.companion) return;
  } else {
    plain = Created(m_Engine->CreateMaterial());
    if (!plain) return;
  }
  CString name = "Default name";
  auto colour = [&](void (CMaterial::*set)(const D3DVECTOR&), const Chunk& parent) {
    D3DVECTOR value;
    if (!ReadColorIn(parent, &value)) return;
    if (plain) (plain->*set)(value);
    if (entry.texture) {
      (entry.texture->*set)(value);
      (entry.companion->*set)(value);
    }
  };
  auto loadMap = [&](const Chunk& chunk) {
    const CString file = ReadLongName(chunk);
    if (entry.texture && entry.texture->GetFileName().empty()) {
      const CString found = FindTextureFile(file);
      entry.texture->SetFileName(found);
      entry.texture->LoadBitMap(found);
    }
  };
  while (NextChunk(material, &c)) {
    switch (c.id) {
      case kMaterialName:
        Message("Checking Material Name.");
        name = ReadLongName(c);
        break;
      case kAmbient: colour(&CMaterial::SetAmbient, c); break;
      case kDiffuse: colour(&CMaterial::SetDiffuse, c); break;
      case kSpecular: colour(&CMaterial::SetSpecular, c); break;
      case kShininess: {
        Chunk p;
        if (NextChunk(c, &p)) {
          float power = -1;
          if (p.id == kPercentInt) power = static_cast<float>(ReadShort());
          else if (p.id == kPercentFloat) power = ReadFloat();
          if (power >= 0 && std::isfinite(power)) {
            if (plain) plain->SetPower(power);
            if (entry.texture) {
              entry.texture->SetPower(power);
              entry.companion->SetPower(power);
            }
          }
        }
        break;
      }
      case kMapFile: loadMap(c); break;
      case kTextureMap: {
        // The map's file name sits inside the texture map.
        Chunk m;
        while (NextChunk(c, &m)) {
          if (m.id == kMapFile) loadMap(m);
          Seek(m.end);
        }
        break;
      }
      default: break;
    }
    Seek(c.end);
  }
  const CString key = Key(name);
  if (plain) {
    plain->SetName(name);
    m_Materials.emplace(key, plain);
    return;
  }
  entry.texture->SetName(name);
  entry.companion->SetName(m_Engine->CheckFrameObjectName("iMat_" + name));
  CMaterial& companion = *entry.companion;
  if (IsBlack(companion.GetAmbient()) && IsBlack(companion.GetDiffuse()) && IsBlack(companion.GetEmissive())) {
    companion.SetDiffuse(1, 1, 1);
    entry.texture->SetDiffuse(1, 1, 1);
  }
  m_Textures.emplace(key, entry);
}

CString CRead3DS::FindTextureFile(const CString& stored) const {
  // Names come from Windows: any separator, any letter case.
  const CString path = ToNativeSeparators(stored);
  if (path.empty()) return {};
  const CString name = PathFileName(path);
  std::vector<CString> candidates;
  const CString here = m_Directory.empty() ? CString(".") : m_Directory;
  const bool absolute = path[0] == '/' || (path.size() > 1 && path[1] == ':');
  if (!absolute) candidates.push_back(PathJoin(here, path));
  candidates.push_back(PathJoin(here, name));
  for (SimpleNode<CSearchFilePath>* n = m_Engine->SearchPathList().Head(); n; n = n->Next())
    if (n->Node()) candidates.push_back(PathJoin(n->Node()->GetPath(), name));
  if (absolute) candidates.push_back(path);
  for (const CString& c : candidates) {
    const CString found = FindFileCaseInsensitive(c);
    if (!found.empty()) return found;
  }
  m_Engine->ReportWarning("The texture file \"" + stored + "\" was not found; the faces that use it are drawn without it.");
  return path;
}

// ---------------------------------------------------------------------------
// Scene settings

void CRead3DS::ReadFog(const Chunk& fog) {
  Message("Reading Fog.");
  const float nearPlane = ReadFloat();
  const float nearDensity = ReadFloat();
  const float farPlane = ReadFloat();
  const float farDensity = ReadFloat();
  m_Engine->SetFogStart(nearPlane);
  m_Engine->SetFogEnd(farPlane);
  m_Engine->SetFogDensity((farDensity - nearDensity) * 0.01f);
  Chunk c;
  while (NextChunk(fog, &c)) {
    D3DVECTOR colour;
    if (ReadColor(c, &colour)) {
      auto byte = [](float v) {
        const float scaled = v * 255.0f;
        return static_cast<DWORD>(scaled >= 255.0f ? 255 : scaled > 0.0f ? static_cast<int>(scaled) : 0);
      };
      m_Engine->SetFogColor((byte(colour.x) << 16) | (byte(colour.y) << 8) | byte(colour.z));
    } else if (c.id == kFogBackground) {
      m_Engine->SetFogEnable(1);
    }
    Seek(c.end);
  }
}

void CRead3DS::ReadBackground(const Chunk& background) {
  Message("Reading Background.");
  Chunk c;
  while (NextChunk(background, &c)) {
    D3DVECTOR colour;
    if (ReadColor(c, &colour))
      if (CTexture* b = m_Engine->GetBackGround()) b->SetDiffuse(colour);
    Seek(c.end);
  }
}

void CRead3DS::ReadViewports(const Chunk& layout) {
  Message("Reading Views.");
  AddCommentToObject("Skipping viewport chunk.");
  int viewports = 0;
  Chunk c;
  while (viewports < kMaxViewports && NextChunk(layout, &c)) {
    if (c.id == kViewportData || c.id == kViewportData3) {
      Message("Reading Viewport.");
      ++viewports;
      uint16_t last = 0;
      for (int i = 0; i < 7; ++i) last = ReadShort();
      if (last == 0 || last == 0xFFFF) {
        for (int i = 0; i < 12; ++i) ReadShort();
        Message("Reading Camera Name.");
        ReadName(c);
      }
    }
    Seek(c.end);
  }
}

void CRead3DS::ReadKeyframes(const Chunk& keyframes) {
  Message("Reading KeyFrames.");
  AddCommentToObject("Skipping keyframe chunk.");
  Chunk c;
  while (NextChunk(keyframes, &c)) {
    if (c.id == kViewportLayout) ReadViewports(c);
    Seek(c.end);
  }
}

// ---------------------------------------------------------------------------
// Entries

int Load3DStudio_Memory(const uint8_t* data, size_t size, const CString& directory, CMeshObject* root) {
  if (!root || !root->Engine() || (!data && size)) return -1;
  if (!directory.empty()) root->Engine()->AddSearchPath(directory);
  CRead3DS reader(root);
  return reader.Read(data, size, directory);
}

int Load3DStudio_Object(const CString& file, const CString& directory, CMeshObject* root) {
  if (!root || file.empty()) return -1;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(file, &bytes)) return -1;
  return Load3DStudio_Memory(bytes.data(), bytes.size(), directory, root);
}
