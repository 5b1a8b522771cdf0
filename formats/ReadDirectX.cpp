#include "formats/ReadDirectX.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "engine/CFuncture.h"
#include "engine/CMaterial.h"
#include "engine/CMeshObject.h"
#include "engine/CTexture.h"
#include "engine/ErrorTable.h"
#include "engine/RenderEngine.h"
#include "formats/XTemplates.h"
#include "platform/DirectXFile.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace {

// Runs `change` with the item's undo logging off: what a load sets up is not
// an editing step.
template <class F>
void Unlogged(CFrameObject& item, F&& change) {
  const int log = item.GetLogUndoAction();
  item.SetLogUndoAction(0);
  change();
  item.SetLogUndoAction(log);
}

// Bounds-checked little-endian reads from a record.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
  bool Has(uint64_t bytes) const { return bytes <= m_Size - m_At; }
  uint32_t U32() {
    uint32_t v = 0;
    if (Has(4)) std::memcpy(&v, m_Data + m_At, 4), m_At += 4;
    else m_Ok = false;
    return v;
  }
  float F32() {
    float v = 0;
    if (Has(4)) std::memcpy(&v, m_Data + m_At, 4), m_At += 4;
    else m_Ok = false;
    return v;
  }
  const uint8_t* Here() const { return m_Data + m_At; }
  size_t Left() const { return m_Size - m_At; }
  void Skip(size_t n) { m_At += n; }
  bool Ok() const { return m_Ok; }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
  size_t m_At = 0;
  bool m_Ok = true;
};

uint32_t U32At(const uint8_t* p, size_t offset) {
  uint32_t v;
  std::memcpy(&v, p + offset, 4);
  return v;
}
float F32At(const uint8_t* p, size_t offset) {
  float v;
  std::memcpy(&v, p + offset, 4);
  return v;
}

constexpr size_t kMatrixBytes = 64;

// Polygons up to this many corners that are not convex are cut into ears;
// larger ones (never met in practice) become fans.
constexpr uint32_t kMaxEarClipCorners = 256;

struct Vec3 {
  double x, y, z;
};

// Cuts polygon `idx` (n corners, positions in `pos`, three floats per
// vertex) into n - 2 triangles that cover it exactly once: a fan when the
// polygon is convex, ear clipping in its own plane otherwise.
void Triangulate(const uint32_t* idx, uint32_t n, const std::vector<float>& pos,
                 std::vector<std::array<uint32_t, 3>>& out) {
  out.clear();
  if (n < 3) return;
  if (n == 3) {
    out.push_back({idx[0], idx[1], idx[2]});
    return;
  }
  auto p = [&](uint32_t k) {
    const float* v = &pos[static_cast<size_t>(idx[k]) * 3];
    return Vec3{v[0], v[1], v[2]};
  };
  // Newell normal of the polygon.
  Vec3 nrm{0, 0, 0};
  for (uint32_t i = 0; i < n; ++i) {
    const Vec3 a = p(i), b = p((i + 1) % n);
    nrm.x += (a.y - b.y) * (a.z + b.z);
    nrm.y += (a.z - b.z) * (a.x + b.x);
    nrm.z += (a.x - b.x) * (a.y + b.y);
  }
  // Work in the plane that drops the normal's largest axis.
  const double ax = std::fabs(nrm.x), ay = std::fabs(nrm.y), az = std::fabs(nrm.z);
  int drop = az >= ax && az >= ay ? 2 : (ay >= ax ? 1 : 0);
  std::vector<std::array<double, 2>> q(n);
  for (uint32_t i = 0; i < n; ++i) {
    const Vec3 v = p(i);
    if (drop == 0) q[i] = {v.y, v.z};
    else if (drop == 1) q[i] = {v.z, v.x};
    else q[i] = {v.x, v.y};
  }
  const double sign = (drop == 0 ? nrm.x : drop == 1 ? nrm.y : nrm.z) >= 0 ? 1.0 : -1.0;
  auto cross = [&](uint32_t a, uint32_t b, uint32_t c) {
    return ((q[b][0] - q[a][0]) * (q[c][1] - q[a][1]) - (q[b][1] - q[a][1]) * (q[c][0] - q[a][0])) * sign;
  };
  bool convex = true;
  for (uint32_t i = 0; i < n && convex; ++i)
    if (cross(i, (i + 1) % n, (i + 2) % n) < 0) convex = false;
  auto fan = [&](const std::vector<uint32_t>& ring) {
    for (size_t i = 1; i + 1 < ring.size(); ++i) out.push_back({idx[ring[0]], idx[ring[i]], idx[ring[i + 1]]});
  };
  std::vector<uint32_t> ring(n);
  for (uint32_t i = 0; i < n; ++i) ring[i] = i;
  if (convex || n > kMaxEarClipCorners) {
    fan(ring);
    return;
  }
  auto inside = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t t) {
    // Strictly inside or on an edge of triangle abc (counter-clockwise in
    // the working orientation).
    return cross(a, b, t) >= 0 && cross(b, c, t) >= 0 && cross(c, a, t) >= 0;
  };
  size_t i = 0;
  size_t misses = 0;
  while (ring.size() > 3) {
    const size_t m = ring.size();
    const uint32_t a = ring[(i + m - 1) % m], b = ring[i % m], c = ring[(i + 1) % m];
    bool ear = cross(a, b, c) > 0;
    for (size_t k = 0; ear && k < m; ++k) {
      const uint32_t t = ring[k];
      if (t == a || t == b || t == c) continue;
      // Corners that coincide with the ear's corners do not block it.
      if ((q[t] == q[a]) || (q[t] == q[b]) || (q[t] == q[c])) continue;
      if (inside(a, b, c, t)) ear = false;
    }
    if (ear) {
      out.push_back({idx[a], idx[b], idx[c]});
      ring.erase(ring.begin() + static_cast<long>(i % m));
      i = (i % m) == 0 ? 0 : (i % m) - 1;
      misses = 0;
    } else {
      i = (i + 1) % m;
      if (++misses > m) {
        // Self-intersecting or degenerate: the rest as a fan.
        std::rotate(ring.begin(), ring.begin() + static_cast<long>(i % m), ring.end());
        fan(ring);
        return;
      }
    }
  }
  out.push_back({idx[ring[0]], idx[ring[1]], idx[ring[2]]});
}

bool Near(float a, float b) { return std::fabs(a - b) <= 1e-6f * std::max({1.0f, std::fabs(a), std::fabs(b)}); }

}  // namespace

// One Material object of a material list: what the file said, and the item
// it became.
struct CReadDirectX::Slot {
  CString name;
  XMaterialRecord record{};
  bool hasAlpha = false;
  SMaterialAlpha alpha;
  int kind = 0;                  // 0 material, 1 texture, 2 functure
  CMaterial* material = nullptr;  // kind 0, once finished
  CTexture* texture = nullptr;    // kinds 1 and 2
};

// The mesh whose children are being read: where its file vertices and faces
// went, and its material list.
struct CReadDirectX::MeshState {
  CMeshObject* mesh = nullptr;
  long vertexBase = 0;  // mesh index of the file's vertex 0
  uint32_t nVertices = 0;
  long faceBase = 0;    // mesh index of the first triangle
  std::vector<uint32_t> triangleFace;  // file face of each triangle
  std::vector<uint32_t> faceStart;     // file faces' corners, for the normals
  std::vector<uint32_t> corners;
  std::vector<float> normalMatrix;     // the frame transform (empty: none)
  bool inList = false;
  std::vector<uint32_t> faceIndexes;
  std::vector<Slot> slots;
};

namespace {

// Name, colours and alpha settings of a slot onto a new material or texture.
void SetColours(CMaterial& m, const CReadDirectX::Slot& s) {
  Unlogged(m, [&] {
    if (!s.name.empty()) m.SetName(s.name);
    ApplyMaterialRecord(s.record, m);
    if (s.hasAlpha) m.SetAlphaSettings(s.alpha);
  });
}

// Whether an existing material is exactly what the slot describes (to the
// precision the text encoding keeps).
bool SameMaterial(CMaterial& m, const CReadDirectX::Slot& s) {
  const XMaterialRecord& r = s.record;
  const D3DVECTOR d = m.GetDiffuse(), sp = m.GetSpecular(), e = m.GetEmissive();
  const float have[] = {d.x, d.y, d.z, m.GetAlpha(), m.GetPower(), sp.x, sp.y, sp.z, e.x, e.y, e.z};
  const float want[] = {r.faceColor[0], r.faceColor[1], r.faceColor[2], r.faceColor[3], r.power,
                        r.specularColor[0], r.specularColor[1], r.specularColor[2],
                        r.emissiveColor[0], r.emissiveColor[1], r.emissiveColor[2]};
  for (size_t i = 0; i < std::size(have); ++i)
    if (!Near(have[i], want[i])) return false;
  if (s.hasAlpha) {
    const SMaterialAlpha& a = m.GetAlphaSettings();
    if (a.m_AlphaOnOff != s.alpha.m_AlphaOnOff || a.m_SourceAlpha != s.alpha.m_SourceAlpha ||
        a.m_DestinationAlpha != s.alpha.m_DestinationAlpha || a.m_AlphaCompare != s.alpha.m_AlphaCompare ||
        CompareValueToRecord(a.m_AlphaCompareValue) != CompareValueToRecord(s.alpha.m_AlphaCompareValue) ||
        a.m_StippledAlpha != s.alpha.m_StippledAlpha)
      return false;
  }
  return true;
}

}  // namespace

CReadDirectX::CReadDirectX(CRenderEngine* engine) : m_Engine(engine) {
  if (m_Engine) m_Progress = m_Engine->CreateProgressWindow();
}

CReadDirectX::~CReadDirectX() {
  if (m_Engine && m_Progress) m_Engine->ReleaseProgressWindow();
}

namespace {

// Where a parse stopped, for the end of a reason: "line 3", "byte 120" or
// "byte 120 of the decompressed data".
CString StopPlace(const DXFILEERRORINFO& e) {
  if (!e.binary && e.line > 0) return StrFormat("line %u", static_cast<unsigned>(e.line));
  return StrFormat("byte %llu%s", static_cast<unsigned long long>(e.offset),
                   e.compressed ? " of the decompressed data" : "");
}

CString SystemReason(int err, HRESULT fallback) {
  return err != 0 ? SystemErrorDescription(err) : CString(DirectXErrorDescription(fallback));
}

// Why a file could not be enumerated, in words a user can act on.
CString StopReason(HRESULT code, const DXFILEERRORINFO& e) {
  switch (e.stop) {
    case DXFILESTOP_OPEN: return SystemReason(e.systemError, code);
    case DXFILESTOP_EMPTY: return "The file is empty.";
    case DXFILESTOP_HEADER:
      if (code == DXFILEERR_BADFILEVERSION) return "Its DirectX version is not one the program reads (0302 or 0303).";
      if (code == DXFILEERR_BADFILEFLOATSIZE) return "Its floating-point size is neither 0032 nor 0064.";
      return "It is not a DirectX file (its header is wrong).";
    case DXFILESTOP_COMPRESSION:
      if (code == E_OUTOFMEMORY) break;
      return "Its compressed data is damaged.";
    case DXFILESTOP_ENDOFDATA: return "The file ends too early (" + StopPlace(e) + ").";
    case DXFILESTOP_NOTANUMBER:
      if (e.found[0] && !e.binary) return StrFormat("\"%s\" is not a number (%s).", e.found, StopPlace(e).c_str());
      return "A number was expected (" + StopPlace(e) + ").";
    case DXFILESTOP_COUNTPASTEND:
      return StrFormat("The count %llu runs past the end of the file (%s).", static_cast<unsigned long long>(e.count),
                       StopPlace(e).c_str());
    case DXFILESTOP_SYNTAX: return "The file could not be parsed (" + StopPlace(e) + ").";
    case DXFILESTOP_NONE: break;
  }
  return DirectXErrorDescription(code);
}

}  // namespace

void CReadDirectX::ReportLoadFailure(const CString& reason) {
  m_FailureReported = true;
  if (m_FileName.empty()) m_Engine->ReportError("Cannot load the model: " + reason);
  else m_Engine->ReportError("Cannot load \"" + m_FileName + "\": " + reason);
}

void CReadDirectX::WarnTexture(const CString& file, const CString& stored, LONG hr) {
  const int err = file.empty() ? ENOENT : FileReadError(file);
  // A name of no supported image format: the texture has said so itself.
  if (hr == E_FAIL) return;
  if (!m_TexturesWarned.insert(file).second) return;
  CString what;
  if (err == ENOENT || err == ENOTDIR) what = "was not found";
  else if (err == EISDIR) what = "is a directory";
  else if (err == EACCES || err == EPERM) what = "cannot be read (permission denied)";
  else if (err != 0) what = StrFormat("cannot be read (%s)", std::strerror(err));
  else what = "is not an image the program can read";
  const CString model = m_FileName.empty() ? CString("the model") : "\"" + m_FileName + "\"";
  m_Engine->ReportWarning("The texture file \"" + DecodeTexturePath(stored) + "\" of " + model + " " + what +
                          "; the faces that use it are drawn without it.");
}

void CReadDirectX::Message(const char* text) {
  if (m_Progress) m_Progress->SetMessage(text, m_Current ? static_cast<CFrameObject*>(m_Current) : m_Object);
}

LONG CReadDirectX::ReadObject(CMeshObject* object, const CString& file) {
  m_Directory = PathDirectory(file);
  m_FileName = file;
  return Read(object, file.c_str(), DXFILELOAD_FROMFILE);
}

LONG CReadDirectX::ReadObjectFromMemory(CMeshObject* object, const void* data, size_t size,
                                        const CString& directory) {
  m_Directory = directory;
  if (size > 0xFFFFFFFFu) return E_FAIL;
  DXFILELOADMEMORY mem{data, static_cast<DWORD>(size)};
  return Read(object, &mem, DXFILELOAD_FROMMEMORY);
}

LONG CReadDirectX::Read(CMeshObject* object, const void* source, DWORD options) {
  if (!object || !m_Engine) return E_FAIL;
  m_Object = object;
  m_Current = object;
  m_Stack.assign(1, object);
  m_Level = 0;
  m_FirstMesh = true;
  m_FramesSeen = false;
  object->SetLastSaveMethode(0);
  Message("Reading object ...");

  DxFilePtr<IDirectXFile> api;
  HRESULT hr = DirectXFileCreate(&api);
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  hr = RegisterOrvaneTemplates(api.get());
  if (FAILED(hr)) {
    m_Engine->ReportError(TemplateRegistrationMessage(hr));
    return hr;
  }
  DxFilePtr<IDirectXFileEnumObject> objects;
  m_FailureReported = false;
  m_TexturesWarned.clear();
  hr = api->CreateEnumObject(source, options, &objects);
  DXFILEERRORINFO stopped;
  api->GetErrorInfo(&stopped);
  if (FAILED(hr)) {
    ReportLoadFailure(StopReason(hr, stopped));
    return hr;
  }

  LONG result = 0;
  std::vector<IDirectXFileData*> top;
  for (;;) {
    IDirectXFileData* data = nullptr;
    hr = objects->GetNextDataObject(&data);
    if (hr == DXFILEERR_NOMOREOBJECTS) break;
    if (FAILED(hr) || !data) {
      // The file stopped parsing here: what came before is still loaded,
      // but the load fails.
      result = FAILED(hr) ? hr : E_FAIL;
      ReportLoadFailure(stopped.code == result ? StopReason(result, stopped) : DirectXErrorDescription(result));
      break;
    }
    top.push_back(data);
  }
  // Several meshes at the top of a file load as children of the object
  // being loaded, as the meshes of a frame file do.
  size_t topMeshes = 0;
  for (IDirectXFileData* data : top) {
    const GUID* type = nullptr;
    if (SUCCEEDED(data->GetType(&type)) && type && *type == TID_D3DRMMesh) ++topMeshes;
  }
  const bool meshesAsChildren = topMeshes > 1;
  if (meshesAsChildren) {
    m_FirstMesh = false;
    m_FramesSeen = true;
    m_Stack.resize(2, nullptr);
  }
  for (IDirectXFileData* data : top) {
    m_CurrentName.clear();
    DWORD length = 0;
    if (SUCCEEDED(data->GetName(nullptr, &length)) && length > 0) {
      std::string name(length + 1, '\0');
      DWORD size = length + 1;
      if (SUCCEEDED(data->GetName(name.data(), &size))) m_CurrentName = StrTrim(CString(name.c_str()));
    }
    const GUID* type = nullptr;
    hr = data->GetType(&type);
    if (FAILED(hr) || !type) {
      m_Engine->ReportError(hr, "");
      if (result == 0) result = FAILED(hr) ? hr : E_FAIL;
      continue;
    }
    const GUID t = *type;
    m_Level = meshesAsChildren && t == TID_D3DRMMesh ? 1 : 0;
    hr = Decode(data, t);
    if (SUCCEEDED(hr)) {
      WalkChildren(data, t);
    } else if (result == 0) {
      result = hr;
    }
    m_Level = 0;
  }
  for (IDirectXFileData* data : top) data->Release();
  if (m_FramesSeen) object->SetLastSaveMethode(1);
  // Materials made by this load live on in the meshes that use them.
  for (CMaterial* m : m_Created) m_Engine->ReleaseMaterial(m);
  m_Created.clear();
  m_CreatedByName.clear();
  if (FAILED(result) && !m_FailureReported) ReportLoadFailure(DirectXErrorDescription(result));
  return result;
}

LONG CReadDirectX::WalkChildren(IDirectXFileData* parent, const GUID& parentType) {
  // Children first collected, so that a frame's transform applies to its
  // mesh wherever it stands among the frame's children.
  std::vector<IDirectXFileObject*> children;
  for (;;) {
    IDirectXFileObject* child = nullptr;
    if (FAILED(parent->GetNextObject(&child)) || !child) break;
    children.push_back(child);
  }
  const bool frame = parentType == TID_D3DRMFrame;
  if (frame) {
    std::vector<float> local;
    for (IDirectXFileObject* child : children) {
      IDirectXFileData* d = nullptr;
      if (FAILED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&d)))) continue;
      const GUID* type = nullptr;
      DWORD size = 0;
      void* bytes = nullptr;
      if (SUCCEEDED(d->GetType(&type)) && type && *type == TID_D3DRMFrameTransformMatrix &&
          SUCCEEDED(d->GetData(nullptr, &size, &bytes)) && size >= kMatrixBytes && local.empty()) {
        local.resize(16);
        std::memcpy(local.data(), bytes, kMatrixBytes);
      }
      d->Release();
    }
    if (local.empty()) {
      m_FrameMatrices.push_back(m_FrameMatrices.empty() ? std::vector<float>() : m_FrameMatrices.back());
    } else if (m_FrameMatrices.empty() || m_FrameMatrices.back().empty()) {
      m_FrameMatrices.push_back(local);
    } else {
      // Row vectors: the frame's own transform first, then its parent's.
      const std::vector<float>& p = m_FrameMatrices.back();
      std::vector<float> c(16, 0.0f);
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) {
          double s = 0;
          for (int j = 0; j < 4; ++j) s += static_cast<double>(local[r * 4 + j]) * p[j * 4 + k];
          c[r * 4 + k] = static_cast<float>(s);
        }
      m_FrameMatrices.push_back(std::move(c));
    }
  }

  MeshState* own = parentType == TID_D3DRMMesh ? m_Mesh.get() : nullptr;
  const int level = m_Level;
  bool meshSeen = false;
  LONG result = 0;
  size_t next = 0;
  for (; next < children.size(); ++next) {
    IDirectXFileObject* child = children[next];
    // The children of a mesh belong to it even when a nested mesh came in
    // between.
    if (own && m_Mesh.get() != own) break;
    m_CurrentName.clear();
    DWORD length = 0;
    if (SUCCEEDED(child->GetName(nullptr, &length)) && length > 0) {
      std::string name(length + 1, '\0');
      DWORD size = length + 1;
      if (SUCCEEDED(child->GetName(name.data(), &size))) m_CurrentName = StrTrim(CString(name.c_str()));
    }
    IDirectXFileDataReference* ref = nullptr;
    IDirectXFileData* data = nullptr;
    if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)))) {
      IDirectXFileData* target = nullptr;
      if (m_InReference == 0 && SUCCEEDED(ref->Resolve(&target)) && target) {
        const GUID* type = nullptr;
        if (SUCCEEDED(target->GetType(&type)) && type &&
            (*type == TID_D3DRMMaterial || *type == TID_D3DRMTextureFilename)) {
          const GUID t = *type;
          // The referenced object's own name is the one that counts.
          DWORD n = 0;
          if (SUCCEEDED(target->GetName(nullptr, &n)) && n > 0) {
            std::string name(n + 1, '\0');
            DWORD size = n + 1;
            if (SUCCEEDED(target->GetName(name.data(), &size))) m_CurrentName = StrTrim(CString(name.c_str()));
          }
          // A referenced object's own references are not followed: a
          // material may refer to itself, directly or round a circle.
          ++m_InReference;
          if (SUCCEEDED(Decode(target, t))) WalkChildren(target, t);
          --m_InReference;
        }
        target->Release();
      }
      ref->Release();
    } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&data)))) {
      const GUID* type = nullptr;
      HRESULT hr = data->GetType(&type);
      if (FAILED(hr) || !type) {
        m_Engine->ReportError(hr, "");
        data->Release();
        result = FAILED(hr) ? hr : E_FAIL;
        break;
      }
      const GUID t = *type;
      if (t == TID_D3DRMMesh && !meshSeen) {
        meshSeen = true;
        ++m_Level;
        if (static_cast<size_t>(m_Level) >= m_Stack.size()) m_Stack.resize(static_cast<size_t>(m_Level) + 1, nullptr);
      }
      hr = Decode(data, t);
      if (SUCCEEDED(hr)) {
        WalkChildren(data, t);
      } else if (t == TID_D3DRMMesh && result == 0) {
        result = hr;
      }
      data->Release();
    }
    // Binary objects are skipped.
  }
  for (IDirectXFileObject* child : children) child->Release();
  m_Level = level;
  if (frame) m_FrameMatrices.pop_back();

  if (parentType == TID_D3DRMMaterial && m_Mesh && m_Mesh->inList && m_SlotIndex >= 0) {
    FinishSlot(m_Mesh->slots[static_cast<size_t>(m_SlotIndex)]);
    m_SlotIndex = -1;
    m_StagesExpected = 0;
    m_StageTexture = nullptr;
  } else if (parentType == TID_D3DRMMeshMaterialList && m_Mesh && m_Mesh->inList) {
    ApplySlots();
    m_Mesh->inList = false;
  }
  return result;
}

LONG CReadDirectX::GetRecord(IDirectXFileData* data, const uint8_t** bytes, size_t* size) {
  DWORD n = 0;
  void* p = nullptr;
  const HRESULT hr = data->GetData(nullptr, &n, &p);
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  *bytes = static_cast<const uint8_t*>(p);
  *size = n;
  return 0;
}

LONG CReadDirectX::Decode(IDirectXFileData* data, const GUID& type) {
  if (type == TID_D3DRMFrame) {
    m_FirstMesh = false;
    m_FramesSeen = true;
    m_Mesh.reset();
    m_SlotIndex = -1;
    return 0;
  }
  if (type == TID_D3DRMMesh) return DecodeMesh(data);
  if (type == TID_D3DRMMeshMaterialList) return DecodeMaterialList(data);
  if (type == TID_D3DRMMaterial) return DecodeMaterial(data);
  if (type == TID_D3DRMMeshTextureCoords) return DecodeTextureCoords(data);
  if (type == TID_D3DRMMeshNormals) return DecodeNormals(data);
  if (type == TID_D3DRMMatrix4x4) return DecodePlacement(data);
  if (type == TID_D3DRMTextureFilename) return DecodeTextureFile(data);
  if (type == XFILEORVANE_FunctureInfo) return DecodeFuncture(data);
  if (type == XFILEORVANE_TextureInfo) return DecodeTextureInfo(data);
  if (type == XFILEORVANE_FunctureInputInfo) return DecodeFunctureInput(data);
  if (type == XFILEORVANE_AlphaInfo) return DecodeAlpha(data);
  if (type == XFILEORVANE_TextureStage) return DecodeStage(data);
  if (type == XFILEORVANE_TextureStageEntry) return DecodeStageEntry(data);
  if (type == XFILEORVANE_Info) return DecodeRemark(data);
  return 0;
}

// --- meshes --------------------------------------------------------------------------

LONG CReadDirectX::DecodeMesh(IDirectXFileData* data) {
  Message("Reading VertexData ...");
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;

  CMeshObject* mesh = nullptr;
  // Meshes under the loaded object get their views and face visibility from
  // the ReCalcAll that ends every load, all at once.
  bool underObject = false;
  if (m_FirstMesh) {
    mesh = m_Object;
    underObject = true;
  } else {
    mesh = m_Engine->CreateObject();
    if (!mesh) return E_FAIL;
    // A mesh in a frame is a child of the mesh one level up; a further
    // top-level mesh stands on its own in the scene. The stack holds only the
    // loaded object and meshes below it.
    if (m_Level >= 1) {
      if (CMeshObject* parent = m_Stack[static_cast<size_t>(m_Level) - 1]) {
        parent->AddChild(mesh);
        underObject = true;
      }
    }
  }
  if (underObject) mesh->DeferViewUpdates();
  if (m_Level >= 1) m_Stack[static_cast<size_t>(m_Level)] = mesh;
  m_Current = mesh;
  mesh->SetUserData(0);
  if (!m_CurrentName.empty()) Unlogged(*mesh, [&] { mesh->SetName(m_CurrentName); });
  m_FirstMesh = false;
  m_Mesh = std::make_unique<MeshState>();
  m_SlotIndex = -1;
  MeshState& st = *m_Mesh;
  st.mesh = mesh;
  st.vertexBase = mesh->GetVertexCount();
  st.faceBase = mesh->GetFaceCount();

  Cursor c(bytes, size);
  const uint32_t nVertices = c.U32();
  if (!c.Ok() || !c.Has(12ull * nVertices)) {
    ReportLoadFailure(StrFormat("The mesh \"%s\" holds fewer values than its counts ask for.", mesh->GetName().c_str()));
    return DXFILEERR_BADVALUE;
  }
  if (static_cast<uint64_t>(nVertices) + static_cast<uint64_t>(st.vertexBase) > MESH_MAX_VERTICES) {
    ReportLoadFailure(StrFormat("The mesh %s has %u vertices; a mesh holds at most %d.", mesh->GetName().c_str(),
                                    nVertices, static_cast<int>(MESH_MAX_VERTICES)));
    return E_FAIL;
  }
  if (!mesh->ReserveSpace(st.vertexBase + static_cast<long>(nVertices), mesh->GetFaceCount())) return E_OUTOFMEMORY;
  const std::vector<float>* matrix =
      !m_FrameMatrices.empty() && !m_FrameMatrices.back().empty() ? &m_FrameMatrices.back() : nullptr;
  if (matrix) st.normalMatrix = *matrix;
  std::vector<float> pos(static_cast<size_t>(nVertices) * 3);
  if (!pos.empty()) std::memcpy(pos.data(), c.Here(), pos.size() * sizeof(float));
  c.Skip(pos.size() * sizeof(float));
  if (matrix) {
    const std::vector<float>& m = *matrix;
    for (size_t i = 0; i < nVertices; ++i) {
      float* v = &pos[i * 3];
      const double x = v[0], y = v[1], z = v[2];
      v[0] = static_cast<float>(x * m[0] + y * m[4] + z * m[8] + m[12]);
      v[1] = static_cast<float>(x * m[1] + y * m[5] + z * m[9] + m[13]);
      v[2] = static_cast<float>(x * m[2] + y * m[6] + z * m[10] + m[14]);
    }
  }
  if (mesh->AddVertices(pos.data(), static_cast<long>(nVertices)) < 0) return E_OUTOFMEMORY;
  st.nVertices = nVertices;

  const uint32_t nFaces = c.U32();
  if (!c.Ok()) {
    ReportLoadFailure(StrFormat("The mesh \"%s\" holds fewer values than its counts ask for.", mesh->GetName().c_str()));
    return DXFILEERR_BADVALUE;
  }
  // Every face takes at least 16 bytes of the record, which bounds what the
  // count may reserve.
  const long faceRoom = static_cast<long>(std::min<uint64_t>(nFaces, c.Left() / 16));
  if (!mesh->ReserveSpace(mesh->GetVertexCount(), st.faceBase + faceRoom)) return E_OUTOFMEMORY;
  st.faceStart.reserve(std::min<uint64_t>(nFaces, size / 4) + 1);
  std::vector<std::array<uint32_t, 3>> triangles;
  st.corners.reserve(c.Left() / 4);
  st.triangleFace.reserve(static_cast<size_t>(faceRoom));
  uint32_t skipped = 0;
  for (uint32_t f = 0; f < nFaces; ++f) {
    const uint32_t n = c.U32();
    if (!c.Ok() || !c.Has(4ull * n)) {
      ReportLoadFailure(StrFormat("The mesh \"%s\" holds fewer values than its counts ask for.", mesh->GetName().c_str()));
      return DXFILEERR_BADVALUE;
    }
    st.faceStart.push_back(static_cast<uint32_t>(st.corners.size()));
    const size_t at = st.corners.size();
    st.corners.resize(at + n);
    if (n) std::memcpy(&st.corners[at], c.Here(), 4ull * n);
    c.Skip(4ull * n);
    const uint32_t* corners = n ? &st.corners[at] : nullptr;
    bool valid = n >= 3;
    for (uint32_t k = 0; k < n && valid; ++k)
      if (corners[k] >= nVertices) valid = false;
    if (!valid) {
      ++skipped;
      continue;
    }
    if (n == 3) {
      if (mesh->AddFace(st.vertexBase + corners[0], st.vertexBase + corners[1], st.vertexBase + corners[2]) < 0)
        return E_OUTOFMEMORY;
      st.triangleFace.push_back(f);
      continue;
    }
    Triangulate(corners, n, pos, triangles);
    for (const auto& t : triangles) {
      if (mesh->AddFace(st.vertexBase + t[0], st.vertexBase + t[1], st.vertexBase + t[2]) < 0) return E_OUTOFMEMORY;
      st.triangleFace.push_back(f);
    }
  }
  st.faceStart.push_back(static_cast<uint32_t>(st.corners.size()));
  if (skipped)
    m_Engine->ReportError(StrFormat("The mesh %s has %u faces with fewer than three corners or with vertex indices "
                                    "beyond its %u vertices; they were left out.",
                                    mesh->GetName().c_str(), skipped, nVertices));
  return 0;
}

LONG CReadDirectX::DecodeTextureCoords(IDirectXFileData* data) {
  Message("Reading texture indices...");
  if (!m_Mesh || m_FirstMesh) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  Cursor c(bytes, size);
  const uint32_t n = c.U32();
  if (!c.Ok() || !c.Has(8ull * n)) return DXFILEERR_BADVALUE;
  const uint32_t count = std::min(n, m_Mesh->nVertices);
  for (uint32_t i = 0; i < count; ++i) {
    const float u = F32At(c.Here(), 8ull * i), v = F32At(c.Here(), 8ull * i + 4);
    const LONG hr = m_Mesh->mesh->SetVertexTextureCoordinates(m_Mesh->vertexBase + i, 0, u, v);
    if (hr != 0) return hr;
  }
  return 0;
}

LONG CReadDirectX::DecodeNormals(IDirectXFileData* data) {
  if (!m_Mesh || m_FirstMesh) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  Cursor c(bytes, size);
  const uint32_t nNormals = c.U32();
  if (!c.Ok() || !c.Has(12ull * nNormals)) return DXFILEERR_BADVALUE;
  const uint8_t* normals = c.Here();
  c.Skip(12ull * nNormals);
  const uint32_t nFaceNormals = c.U32();
  if (!c.Ok()) return DXFILEERR_BADVALUE;
  MeshState& st = *m_Mesh;
  const uint32_t nFaces = static_cast<uint32_t>(st.faceStart.size()) - 1;
  const std::vector<float>& m = st.normalMatrix;
  for (uint32_t f = 0; f < nFaceNormals; ++f) {
    const uint32_t n = c.U32();
    if (!c.Ok() || !c.Has(4ull * n)) return DXFILEERR_BADVALUE;
    const uint8_t* list = c.Here();
    c.Skip(4ull * n);
    if (f >= nFaces || n != st.faceStart[f + 1] - st.faceStart[f]) continue;
    for (uint32_t k = 0; k < n; ++k) {
      const uint32_t ni = U32At(list, 4ull * k);
      const uint32_t vi = st.corners[st.faceStart[f] + k];
      if (ni >= nNormals || vi >= st.nVertices) continue;
      double x = F32At(normals, 12ull * ni), y = F32At(normals, 12ull * ni + 4), z = F32At(normals, 12ull * ni + 8);
      if (!m.empty()) {
        const double tx = x * m[0] + y * m[4] + z * m[8];
        const double ty = x * m[1] + y * m[5] + z * m[9];
        const double tz = x * m[2] + y * m[6] + z * m[10];
        const double len = std::sqrt(tx * tx + ty * ty + tz * tz);
        if (len > 0) x = tx / len, y = ty / len, z = tz / len;
      }
      st.mesh->SetVertexNormal(st.vertexBase + vi, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    }
  }
  return 0;
}

LONG CReadDirectX::DecodeRemark(IDirectXFileData* data) {
  Message("Reading information...");
  if (m_FirstMesh || !m_Mesh) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  if (size < sizeof(char*)) return DXFILEERR_BADVALUE;
  m_Mesh->mesh->SetRemark(RecordString(bytes));
  return 0;
}

// --- material lists --------------------------------------------------------------------

LONG CReadDirectX::DecodeMaterialList(IDirectXFileData* data) {
  Message("Reading MaterialData ...");
  if (!m_Mesh || m_FirstMesh) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  Cursor c(bytes, size);
  c.U32();  // nMaterials: the Material objects that follow are what counts
  const uint32_t nIndexes = c.U32();
  if (!c.Ok() || !c.Has(4ull * nIndexes)) return DXFILEERR_BADVALUE;
  m_Mesh->faceIndexes.resize(nIndexes);
  if (nIndexes) std::memcpy(m_Mesh->faceIndexes.data(), c.Here(), 4ull * nIndexes);
  m_Mesh->slots.clear();
  m_Mesh->inList = true;
  return 0;
}

LONG CReadDirectX::DecodeMaterial(IDirectXFileData* data) {
  Message("Reading Material...");
  // Materials count only inside a mesh's material list.
  if (!m_Mesh || !m_Mesh->inList || m_SlotIndex >= 0) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  Slot s;
  if (!ReadRecord(bytes, static_cast<DWORD>(size), &s.record)) return DXFILEERR_BADVALUE;
  s.name = m_CurrentName;
  m_Mesh->slots.push_back(s);
  m_SlotIndex = static_cast<int>(m_Mesh->slots.size()) - 1;
  m_StagesExpected = 0;
  m_StageTexture = nullptr;
  return 0;
}

void CReadDirectX::FinishSlot(Slot& slot) {
  if (slot.kind != 0 || slot.material) return;
  // A material of the same name that the file describes exactly is shared;
  // any other gets a material of its own, so that loading never changes
  // what other meshes show.
  if (!slot.name.empty()) {
    auto range = m_CreatedByName.equal_range(slot.name);
    for (auto it = range.first; it != range.second; ++it)
      if (SameMaterial(*it->second, slot)) {
        slot.material = it->second;
        return;
      }
    for (SimpleNode<CMaterial>* n = m_Engine->MaterialList().Head(); n; n = n->Next()) {
      CMaterial* m = n->Node();
      if (m && m->GetRTIType() == RTI_MATERIAL && m->GetName() == slot.name && SameMaterial(*m, slot)) {
        slot.material = m;
        return;
      }
    }
  }
  CMaterial* m = m_Engine->CreateMaterial();
  if (!m) return;
  SetColours(*m, slot);
  m_Created.push_back(m);
  m_CreatedByName.emplace(slot.name, m);
  slot.material = m;
}

void CReadDirectX::ApplySlots() {
  MeshState& st = *m_Mesh;
  CMeshObject* mesh = st.mesh;
  // Each slot's place in the mesh's lists, found once.
  std::vector<long> materialIndex(st.slots.size(), -1), textureIndex(st.slots.size(), -1);
  for (size_t i = 0; i < st.slots.size(); ++i) {
    Slot& s = st.slots[i];
    if (s.kind == 0) {
      FinishSlot(s);
      if (s.material && mesh->AddMaterial(*s.material)) materialIndex[i] = mesh->GetMaterialIndex(*s.material);
    } else if (s.texture) {
      textureIndex[i] = mesh->GetTextureIndex(*s.texture);
    }
  }
  if (st.faceIndexes.empty()) return;
  const size_t nIndexes = st.faceIndexes.size();
  // The file's faces (kept or not), and those of them whose material index
  // is past the list.
  const size_t nFaces = st.faceStart.empty() ? 0 : st.faceStart.size() - 1;
  size_t beyond = 0;
  for (size_t f = 0; f < nFaces; ++f)
    if (st.faceIndexes[std::min(f, nIndexes - 1)] >= st.slots.size()) ++beyond;
  if (beyond)
    m_Engine->ReportError(StrFormat("The mesh %s has %zu faces with material indexes beyond its %zu materials; they "
                                    "keep the material they had.",
                                    mesh->GetName().c_str(), beyond, st.slots.size()));
  if (nIndexes > nFaces)
    m_Engine->ReportError(StrFormat("The mesh %s has a material list of %zu face indexes for its %zu faces; the "
                                    "indexes past its faces were ignored.",
                                    mesh->GetName().c_str(), nIndexes, nFaces));
  if (st.slots.empty()) return;
  for (size_t t = 0; t < st.triangleFace.size(); ++t) {
    const uint32_t f = st.triangleFace[t];
    // Files that list fewer indexes than faces mean the last one for the rest.
    const uint32_t slot = st.faceIndexes[std::min<size_t>(f, nIndexes - 1)];
    if (slot >= st.slots.size()) continue;
    const long face = st.faceBase + static_cast<long>(t);
    if (materialIndex[slot] >= 0) {
      mesh->SetFaceMaterialIndex(face, static_cast<int>(materialIndex[slot]));
    } else if (textureIndex[slot] >= 0) {
      mesh->SetFaceMaterialIndex(face, 0);
      mesh->SetFaceTexture(face, textureIndex[slot]);
      mesh->TextureFace(face);
    }
  }
}

void CReadDirectX::LockTextureIndices() {
  if (m_Mesh) m_Mesh->mesh->SetTextureIndicesLocked(1);
}

CTexture* CReadDirectX::MakeSlotTexture(bool functure) {
  Slot& s = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)];
  if (s.texture) return s.texture;
  CTexture* t = functure ? static_cast<CTexture*>(m_Engine->CreateFuncture()) : m_Engine->CreateTexture();
  if (!t) return nullptr;
  SetColours(*t, s);
  CMeshObject* mesh = m_Mesh->mesh;
  t->SetOwner(mesh);
  mesh->TextureList().AddBottom(t);
  s.kind = functure ? 2 : 1;
  s.texture = t;
  t->SetUserData(s.kind);
  return t;
}

CString CReadDirectX::FindTextureFile(const CString& stored) const {
  // Paths come with doubled backslashes and from Windows.
  CString path;
  for (char ch : DecodeTexturePath(stored))
    if (ch != '/' || path.empty() || path.back() != '/') path += ch;
  if (path.empty()) return {};
  const CString name = PathFileName(path);
  const CString here = m_Directory.empty() ? CString(".") : m_Directory;
  std::vector<CString> candidates;
  const bool absolute = path[0] == '/' || (path.size() > 1 && path[1] == ':');
  candidates.push_back(absolute ? path : PathJoin(here, path));
  candidates.push_back(PathJoin(here, name));
  for (SimpleNode<CSearchFilePath>* n = m_Engine->SearchPathList().Head(); n; n = n->Next())
    if (n->Node()) {
      if (!absolute) candidates.push_back(PathJoin(n->Node()->GetPath(), path));
      candidates.push_back(PathJoin(n->Node()->GetPath(), name));
    }
  if (!absolute) candidates.push_back(path);
  for (const CString& c : candidates) {
    const CString found = FindFileCaseInsensitive(c);
    if (!found.empty()) return found;
  }
  return path;
}

void CReadDirectX::LoadTextureImage(CTexture& texture, const CString& stored) {
  const CString file = FindTextureFile(stored);
  Unlogged(texture, [&] {
    texture.SetFileName(file);
    const LONG hr = texture.LoadBitMap(file);
    if (FAILED(hr)) WarnTexture(file, stored, hr);
  });
}

LONG CReadDirectX::DecodeTextureFile(IDirectXFileData* data) {
  Message("Reading Texture...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  XTextureFilenameRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  const CString stored = RecordString(&record.filename);
  const CString fileName = PathFileName(DecodeTexturePath(stored));
  if (m_StagesExpected > 0) {
    --m_StagesExpected;
    if (CTexture* stage = m_StageTexture) {
      LoadTextureImage(*stage, stored);
      // Stage textures have no name in the file: they go by their image.
      if (!fileName.empty()) Unlogged(*stage, [&] { stage->SetName(fileName); });
      m_StageTexture = nullptr;
    }
    return 0;
  }
  LockTextureIndices();
  Slot& s = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)];
  if (s.texture) return 0;  // one image per texture
  CTexture* t = MakeSlotTexture(false);
  if (!t) return E_FAIL;
  m_StageTexture = t;
  LoadTextureImage(*t, stored);
  if (s.name.empty() && !fileName.empty()) Unlogged(*t, [&] { t->SetName(fileName); });
  return 0;
}

LONG CReadDirectX::DecodeFuncture(IDirectXFileData* data) {
  Message("Reading Functure...");
  m_FunctureInputs = 0;
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  XFunctureInfoRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  LockTextureIndices();
  if (m_Mesh->slots[static_cast<size_t>(m_SlotIndex)].kind == 1) return 0;
  auto* f = static_cast<CFuncture*>(MakeSlotTexture(true));
  if (!f) return E_FAIL;
  XFunctureValues values;
  const bool guid = DecodeFunctureInfoRecord(record, &values);
  Unlogged(*f, [&] {
    if (guid) f->SetTransform(values.transform);
    f->SetLoopMode(values.loopMode);
    f->SetAnimTimer(values.maxTime);
    f->SetCurrentAnimTime(values.currentTime);
  });
  return 0;
}

LONG CReadDirectX::DecodeFunctureInput(IDirectXFileData* data) {
  Message("Reading Functure...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  LockTextureIndices();
  const Slot& s = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)];
  if (s.kind != 2 || !s.texture) return 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
  if (size < sizeof(char*)) return DXFILEERR_BADVALUE;
  auto* f = static_cast<CFuncture*>(s.texture);
  const CString file = FindTextureFile(RecordString(bytes));
  const int input = m_FunctureInputs++;
  Unlogged(*f, [&] {
    if (input == 0) f->SetBitmapOne(file);
    else if (input == 1) f->SetBitmapTwo(file);
  });
  return 0;
}

LONG CReadDirectX::DecodeAlpha(IDirectXFileData* data) {
  Message("Reading alpha information...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  XMaterialAlphaRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  Slot& s = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)];
  s.hasAlpha = true;
  ApplyAlphaRecord(record, s.alpha);
  if (s.texture) Unlogged(*s.texture, [&] { s.texture->SetAlphaSettings(s.alpha); });
  return 0;
}

LONG CReadDirectX::DecodeTextureInfo(IDirectXFileData* data) {
  Message("Reading texture indices...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  CTexture* t = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)].texture;
  if (!t) return 0;
  XTextureInfoRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  Unlogged(*t, [&] { ApplyTextureInfoRecord(record, *t); });
  return 0;
}

LONG CReadDirectX::DecodePlacement(IDirectXFileData* data) {
  Message("Reading Axis...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  CTexture* t = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)].texture;
  if (!t) return 0;
  XMatrixRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  Unlogged(*t, [&] { ApplyPlacementRecord(record, *t); });
  return 0;
}

LONG CReadDirectX::DecodeStage(IDirectXFileData* data) {
  Message("Reading texture stage information...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  if (!m_Mesh->slots[static_cast<size_t>(m_SlotIndex)].texture) return 0;
  XTextureStageRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  m_StagesExpected = std::min<DWORD>(record.m_Count, MAX_TEXTURE_STAGES - 1);
  m_StageTexture = nullptr;
  return 0;
}

LONG CReadDirectX::DecodeStageEntry(IDirectXFileData* data) {
  Message("Reading texture stage...");
  if (m_FirstMesh || !m_Mesh || m_SlotIndex < 0) return 0;
  CTexture* base = m_Mesh->slots[static_cast<size_t>(m_SlotIndex)].texture;
  if (!base) return 0;
  XTextureStageEntryRecord record;
  if (LONG hr = GetTypedRecord(data, record)) return hr;
  CTexture* target = base;
  if (m_StagesExpected > 0) {
    m_StageTexture = nullptr;
    if (record.m_Index < 1 || record.m_Index >= MAX_TEXTURE_STAGES) return 0;
    target = m_Mesh->mesh->AddTexture();
    if (!target) return E_FAIL;
    m_StageTexture = target;
    Unlogged(*base, [&] { base->SetLinkedStageTexture(target, static_cast<int>(record.m_Index)); });
  }
  Unlogged(*target, [&] { ApplyStageEntryRecord(record, *target); });
  return 0;
}

// ---------------------------------------------------------------------------
// Material files

namespace {

bool ParseColour(const CString& line, D3DVECTOR* out) {
  CString t = line;
  for (char& ch : t)
    if (ch == ';') ch = ' ';
  float r = 0, g = 0, b = 0;
  if (StrScan(t.c_str(), "%f %f %f", &r, &g, &b) != 3) return false;
  *out = D3DVECTOR(r, g, b);
  return true;
}

bool StartsWith(const CString& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

LONG ReadMaterialText(CMaterial* material, const CString& text) {
  if (!material) return E_FAIL;
  std::vector<CString> lines;
  {
    std::istringstream in(text);
    CString line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  const CString first = lines.empty() ? CString() : lines[0];
  if (!StartsWith(first, "xof")) {
    HostMessageBox("This is not a DirectX file!");
    return E_FAIL;
  }
  CString rest = StrTrimLeft(first.substr(3));
  if (!StartsWith(rest, "0302")) {
    HostMessageBox("Incorrect DirectX version file!");
    return E_FAIL;
  }
  rest = StrTrimLeft(rest.substr(4));
  if (!StartsWith(rest, "txt")) {
    HostMessageBox("Can only read text material files!");
    return E_FAIL;
  }
  size_t i = 1;
  auto next = [&](CString* line) {
    if (i >= lines.size()) return false;
    *line = lines[i++];
    return true;
  };
  CString line;
  while (next(&line)) {
    const CString trimmed = StrTrim(line);
    if (!StartsWith(trimmed, "Material")) continue;
    // Values are taken only when the whole object is there.
    CString after = StrTrim(trimmed.substr(8));
    CString name;
    if (!after.empty() && after[0] != '{' && after.size() > 1) {
      const size_t brace = after.find('{');
      name = StrTrimRight(after.substr(0, brace));
    }
    D3DVECTOR diffuse, specular, emissive, ambient;
    bool haveAmbient = false;
    float power = 0;
    CString l1, l2, l3, l4;
    if (!next(&l1) || !next(&l2) || !next(&l3) || !next(&l4)) break;
    bool ok = ParseColour(l1, &diffuse) && StrScan(l2.c_str(), "%f", &power) == 1 && ParseColour(l3, &specular) &&
              ParseColour(l4, &emissive);
    CString l;
    bool closed = false;
    while (next(&l)) {
      const CString lt = StrTrimLeft(l);
      if (StartsWith(lt, "}")) {
        closed = true;
        break;
      }
      if (StartsWith(lt, "ColorAmbient")) {
        CString a, skip;
        if (next(&a) && ParseColour(a, &ambient)) haveAmbient = true;
        next(&skip);
      }
    }
    if (!ok || !closed) continue;
    Unlogged(*material, [&] {
      if (!name.empty()) material->SetName(name);
      material->SetDiffuse(diffuse);
      material->SetPower(power);
      material->SetSpecular(specular);
      material->SetEmissive(emissive);
      if (haveAmbient) material->SetAmbient(ambient);
    });
  }
  return 0;
}

LONG ReadMaterialFile(CMaterial* material, const CString& file) {
  const CString found = FindFileCaseInsensitive(file);
  std::ifstream in(found.empty() ? file : found, std::ios::binary);
  if (!in) return E_FAIL;
  const CString text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ReadMaterialText(material, text);
}

LONG ReadDirectXFile(const CString& file, const CString& /*directory*/, CMeshObject* object) {
  if (!object || !object->Engine()) return E_FAIL;
  CReadDirectX reader(object->Engine());
  return reader.ReadObject(object, file);
}
