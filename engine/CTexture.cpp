#include "engine/CTexture.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

#include "engine/CMeshObject.h"
#include "engine/Matrix.h"
#include "engine/RenderEngine.h"
#include "engine/TextureWrap.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"

CTexture::CTexture(CRenderEngine* engine) : CMaterial(engine) {
  m_LogUndoAction = 0;
  m_RTIType = RTI_TEXTURE;
  m_Name = StrFormat("Texture_%d", static_cast<int>(std::time(nullptr)));
  m_Position = D3DVECTOR(0, 0, 0);
  m_Scale = D3DVECTOR(1, 1, 1);
  m_LogUndoAction = 1;
}

CTexture::CTexture(const CTexture& o) : CMaterial(o) { CopyTextureSettings(o); }

CTexture& CTexture::operator=(const CTexture& o) {
  if (this == &o) return *this;
  CMaterial::operator=(o);
  CopyTextureSettings(o);
  return *this;
}

void CTexture::CopyTextureSettings(const CTexture& o) {
  m_RTIType = o.m_RTIType;
  m_FileName = o.m_FileName;
  m_BitMapWidth = o.m_BitMapWidth;
  m_BitMapHeight = o.m_BitMapHeight;
  m_Owner = o.m_Owner;
  m_WrapType = o.m_WrapType;
  m_MagnificationMin = o.m_MagnificationMin;
  m_MagnificationMax = o.m_MagnificationMax;
  m_Correction = o.m_Correction;
  m_SourceColorKey[0] = o.m_SourceColorKey[0];
  m_SourceColorKey[1] = o.m_SourceColorKey[1];
  m_UseSourceColorKey = o.m_UseSourceColorKey;
  m_DestinationColorKey[0] = o.m_DestinationColorKey[0];
  m_DestinationColorKey[1] = o.m_DestinationColorKey[1];
  m_UseDestinationColorKey = o.m_UseDestinationColorKey;
  m_ColorArgOne = o.m_ColorArgOne;
  m_ColorArgTwo = o.m_ColorArgTwo;
  m_ColorArgOneFlags = o.m_ColorArgOneFlags;
  m_ColorArgTwoFlags = o.m_ColorArgTwoFlags;
  m_ColorOpp = o.m_ColorOpp;
  m_AlphaArgOne = o.m_AlphaArgOne;
  m_AlphaArgTwo = o.m_AlphaArgTwo;
  m_AlphaArgOneFlags = o.m_AlphaArgOneFlags;
  m_AlphaArgTwoFlags = o.m_AlphaArgTwoFlags;
  m_AlphaOpp = o.m_AlphaOpp;
  m_ClampMode = o.m_ClampMode;
  m_RepeatX = o.m_RepeatX;
  m_RepeatY = o.m_RepeatY;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) m_BumpMapMatrix[r][c] = o.m_BumpMapMatrix[r][c];
  m_BumpMapLuminanceScale = o.m_BumpMapLuminanceScale;
  m_BumpMapLuminanceOffset = o.m_BumpMapLuminanceOffset;
  m_BumpMapSurfaceFormat = o.m_BumpMapSurfaceFormat;
  // A copy is never a bump map and has no image until it is loaded again.
  m_IsBumpMap = 0;
  m_ValidTextureMap = 0;
  ReleaseTexture();
  for (CTexture*& stage : m_LinkedStageTextures) stage = nullptr;
  if (!m_FileName.empty()) LoadBitMap(m_FileName);
}

CTexture::~CTexture() { ReleaseTexture(); }

int CTexture::operator==(CTexture& o) {
  return CFrameObject::operator==(o) && m_FileName == o.m_FileName && m_RTIType == o.m_RTIType ? 1 : 0;
}

LONG CTexture::ReportedFailure(HRESULT code) const {
  if (m_Engine) m_Engine->ReportError(code, "");
  return code;
}

// ---------------------------------------------------------------------------
// Device and image

LONG CTexture::Create() {
  LONG hr = CMaterial::Create();
  if (FAILED(hr)) return hr;
  if (!m_DeviceSurface) return 0;  // no image: a plain material on the device
  hr = RestoreSurfaces();
  if (FAILED(hr)) return hr;
  if (m_IsBumpMap) CreateBumpMap();  // a texture without its bump surface still draws
  return CalculateObjectBox();
}

void CTexture::ReleaseTexture() {
  m_ImageFileWidth = m_ImageFileHeight = 0;
  m_SystemSurface.reset();
  m_DeviceSurface.reset();
  m_BumpSurface.reset();
  m_RMTextureFile.clear();
}

void CTexture::AttachImage(std::shared_ptr<TextureImage> system, std::shared_ptr<TextureImage> device) {
  ReleaseTexture();
  m_SystemSurface = std::move(system);
  m_DeviceSurface = device ? std::move(device) : m_SystemSurface;
  m_BitMapWidth = m_SystemSurface ? m_SystemSurface->width : 0;
  m_BitMapHeight = m_SystemSurface ? m_SystemSurface->height : 0;
  m_ValidTextureMap = m_SystemSurface ? 1 : 0;
  if (m_DeviceSurface) {
    ApplyColorKey(DDCKEY_SRCBLT);
    ApplyColorKey(DDCKEY_DESTBLT);
  }
}

LONG CTexture::CreateBumpMap() {
  if (!m_SystemSurface || !m_IsBumpMap) return E_FAIL;
  auto bump = std::make_shared<TextureImage>();
  // Images of a depth the bump surface cannot be read from are refused
  // rather than read past their end.
  HRESULT hr = MakeBumpSurface(*m_SystemSurface, m_BumpMapSurfaceFormat, *bump);
  if (FAILED(hr)) return hr;
  m_BumpSurface = std::move(bump);
  return 0;
}

int CTexture::IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0 ? 1 : 0; }

int CTexture::FindNearestPowerOf2(int n) {
  if (n <= 1) return 1;
  int p = 1;
  while (p <= n / 2) p *= 2;
  return p;
}

void CTexture::FitBitmapDimensions(DWORD* width, DWORD* height) {
  if (!width || !height) return;
  const int w = static_cast<int>(std::min<DWORD>(*width, 0x7FFFFFFF));
  const int h = static_cast<int>(std::min<DWORD>(*height, 0x7FFFFFFF));
  if (IsPowerOfTwo(w) && IsPowerOfTwo(h)) return;
  if (HostGetProfileInt("ACTIONS", "CONFIRM_BITMAP_DIMENSIONS", 0) == 0) {
    if (IHost* host = GetHost()) host->ShowBitmapWarning(m_FileName);
  }
  // Read after the warning: the choice made in it applies at once.
  if (HostGetProfileInt("ACTIONS", "CONFIRM_BITMAP_ACTION", 0) == 0) {
    *width = static_cast<DWORD>(IsPowerOfTwo(w) ? w : FindNearestPowerOf2(w));
    *height = static_cast<DWORD>(IsPowerOfTwo(h) ? h : FindNearestPowerOf2(h));
  }
}

LONG CTexture::CreateTextureRetainedMode() {
  m_RMTextureFile.clear();
  if (m_FileName.empty()) return D3DRMERR_FILENOTFOUND;
  const CString found = FindFileCaseInsensitive(m_FileName);
  if (found.empty() || !FileExists(found)) return D3DRMERR_FILENOTFOUND;
  m_RMTextureFile = found;
  return 0;
}

LONG CTexture::CreateTextureRetainedMode(const CString& path) {
  m_RMTextureFile.clear();
  const CString found = path.empty() ? CString() : FindFileCaseInsensitive(path);
  if (found.empty() || !FileExists(found)) return ReportedFailure(D3DRMERR_FILENOTFOUND);
  m_RMTextureFile = found;
  return 0;
}

// ---------------------------------------------------------------------------
// Texture coordinates

LONG CTexture::Update(int /*unused*/) { return Update(m_Owner, m_WrapType, 1); }

LONG CTexture::Update(CMeshObject* mesh, D3DRMWRAPTYPE type, int /*unused*/) {
  if (!mesh) return E_FAIL;
  if (mesh->m_TextureIndicesLocked == 1) return 0;
  m_Owner = mesh;
  m_WrapType = type;
  const long idx = mesh->m_Textures.Index(this);
  if (idx < 0) {
    ReportedFailure(0);
    return E_FAIL;
  }

  // The volume test and the wrap both work in the texture's frame.
  const D3DMATRIX M = d3dmath::PivotMatrix(d3dmath::IdentityMatrix(), m_Axes);
  const float sx = m_Scale.x, sy = m_Scale.y, sz = m_Scale.z;
  const D3DVECTOR P = m_Position;
  const long vertexCount = mesh->m_VertexCount;
  std::vector<TexCoord> coords(static_cast<size_t>(vertexCount));

  float su = 0, sv = 0;
  if (type <= D3DRMWRAP_CHROME) {
    const D3DVECTOR s = d3dmath::TransformVector(m_Scale, M);
    const float syPrime = std::fabs(s.y);
    switch (type) {
      case D3DRMWRAP_FLAT:
        su = m_RepeatX / WrapExtent(sx);
        sv = m_RepeatY / WrapExtent(sy);
        break;
      case D3DRMWRAP_CYLINDER:
        su = m_RepeatX;
        sv = m_RepeatY / WrapExtent(syPrime);
        break;
      default:
        su = m_RepeatX;
        sv = m_RepeatY;
        break;
    }
  }

  for (long i = 0; i < vertexCount; ++i) {
    unsigned short& flags = mesh->m_VertexFlags[i];
    flags &= static_cast<unsigned short>(~VERTEX_TEMPLOCKED);
    if (type > D3DRMWRAP_CHROME || type < D3DRMWRAP_FLAT) continue;
    const MeshVertex& v = mesh->m_Vertices[i];
    const D3DVECTOR world(v.x + mesh->m_Position.x, v.y + mesh->m_Position.y, v.z + mesh->m_Position.z);
    const D3DVECTOR l = d3dmath::TransformVector(world - P, M);
    bool inside = false;
    switch (type) {
      case D3DRMWRAP_FLAT:
        inside = 0 <= l.x && l.x <= sx && 0 <= l.y && l.y <= sy && 0 <= l.z && l.z <= sz;
        break;
      case D3DRMWRAP_CYLINDER: inside = 0 <= l.y && l.y <= sy && d3dmath::Length(l) <= sz; break;
      default: inside = d3dmath::Length(l) < sz; break;
    }
    if (inside) flags |= VERTEX_TEMPLOCKED;
    coords[static_cast<size_t>(i)] = WrapPoint(type, l, su, sv);
  }

  // Hand out the faces.
  mesh->m_SameTexture = 1;
  long assigned = 0;
  for (long f = 0; f < mesh->m_FaceCount; ++f) {
    unsigned short& faceFlags = mesh->m_FaceFlags[f];
    LONG& faceTexture = mesh->m_FaceTextures[f];
    faceFlags &= static_cast<unsigned short>(~FACE_POSSIBLETEXTURED);
    if (faceTexture == idx) faceTexture = -1;
    const MeshFace& face = mesh->m_Faces[f];
    const bool allInside = (mesh->m_VertexFlags[face.v[0]] & VERTEX_TEMPLOCKED) &&
                           (mesh->m_VertexFlags[face.v[1]] & VERTEX_TEMPLOCKED) &&
                           (mesh->m_VertexFlags[face.v[2]] & VERTEX_TEMPLOCKED);
    if (allInside && faceTexture == -1 && (faceFlags & FACE_TEXTURED)) {
      for (unsigned short vi : face.v) {
        const TexCoord& c = coords[vi];
        mesh->SetVertexTextureCoordinates(vi, 0, c.u, c.v, 0);
      }
      faceTexture = static_cast<LONG>(idx);
      ++assigned;
    }
    if (allInside) faceFlags |= FACE_POSSIBLETEXTURED;
  }
  if (assigned != mesh->m_FaceCount) mesh->m_SameTexture = 0;
  mesh->m_SameTextureDirty = false;
  return 0;
}

LONG CTexture::GetTextureExtent() {
  CMeshObject* mesh = m_Owner;
  if (!mesh || mesh->GetVertexCount() == 0) return E_FAIL;
  const long n = mesh->GetVertexCount();
  long minU = -1, minV = -1, minCorner = -1, maxU = -1, maxV = -1, maxCorner = -1;
  float lowU = 1.1f, lowV = 1.1f, cornerLowU = 1.1f, cornerLowV = 1.1f;
  float highU = 0.0f, highV = 0.0f, cornerHighU = 0.0f, cornerHighV = 0.0f;
  for (long i = 0; i < n; ++i) {
    const MeshVertex& v = mesh->m_Vertices[i];
    const float u = v.tu, w = v.tv;
    if (u <= lowU) lowU = u, minU = i;
    if (w <= lowV) lowV = w, minV = i;
    if (u <= cornerLowU && w <= cornerLowV) cornerLowU = u, cornerLowV = w, minCorner = i;
    if (u >= highU) highU = u, maxU = i;
    if (w >= highV) highV = w, maxV = i;
    if (u >= cornerHighU && w >= cornerHighV) cornerHighU = u, cornerHighV = w, maxCorner = i;
  }
  auto at = [&](long i) -> const MeshVertex& { return mesh->m_Vertices[i < 0 ? 0 : i]; };
  const D3DVECTOR position(at(minU).x, at(minV).y, at(minCorner).z);
  const D3DVECTOR scale(maxU < 0 ? 1.0f : at(maxU).x - at(minU).x, maxV < 0 ? 1.0f : at(maxV).y - at(minV).y,
                        maxCorner < 0 ? 1.0f : at(maxCorner).z - at(minCorner).z);
  SetPosition(position, 0);
  SetScale(scale, 1);
  return 0;
}

// ---------------------------------------------------------------------------
// Placement

void CTexture::PassOnToStages() {
  for (int i = 1; i < MAX_TEXTURE_STAGES && m_LinkedStageTextures[i]; ++i)
    m_LinkedStageTextures[i]->CopyBumpTexture(this);
}

LONG CTexture::SetPosition(const D3DVECTOR& position, int flag) {
  const LONG result = CFrameObject::SetPosition(position, flag);
  PassOnToStages();
  CalculateObjectBox();
  return result;
}

void CTexture::SetAxes(D3DMATRIX& axes) {
  CFrameObject::SetAxes(axes);
  PassOnToStages();
}

void CTexture::SetScale(const D3DVECTOR& scale, int updateBox) {
  CFrameObject::SetScale(scale);
  PassOnToStages();
  if (updateBox) CalculateObjectBox();
}

void CTexture::SetScale(float x, float y, float z, int updateBox) { SetScale(D3DVECTOR(x, y, z), updateBox); }
void CTexture::SetScale_X(float x, int updateBox) { SetScale(D3DVECTOR(x, m_Scale.y, m_Scale.z), updateBox); }
void CTexture::SetScale_Y(float y, int updateBox) { SetScale(D3DVECTOR(m_Scale.x, y, m_Scale.z), updateBox); }
void CTexture::SetScale_Z(float z, int updateBox) { SetScale(D3DVECTOR(m_Scale.x, m_Scale.y, z), updateBox); }

LONG CTexture::CalculateObjectBox() {
  const D3DVECTOR a = m_Position;
  const D3DVECTOR b = m_Position + m_Scale;
  m_ObjectBox.m_Min = D3DVECTOR(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z));
  m_ObjectBox.m_Max = D3DVECTOR(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z));
  return 0;
}

// ---------------------------------------------------------------------------
// Settings

void CTexture::SetWrapType(D3DRMWRAPTYPE type) {
  m_WrapType = type;
  PassOnToStages();
}
void CTexture::SetClampMode(D3DTEXTUREADDRESS mode) {
  m_ClampMode = mode;
  PassOnToStages();
}
void CTexture::SetCorrection(int on) {
  m_Correction = on;
  PassOnToStages();
}
void CTexture::SetMagnificationMin(D3DTEXTUREMINFILTER filter) {
  m_MagnificationMin = filter;
  PassOnToStages();
}
void CTexture::SetMagnificationMax(D3DTEXTUREMAGFILTER filter) {
  m_MagnificationMax = filter;
  PassOnToStages();
}

void CTexture::SetIsBumpMap(int on) {
  m_IsBumpMap = on;
  if (on) Create();
}

float CTexture::GetBumpMapMatrix(int row, int column) const {
  if (row < 0 || row > 1 || column < 0 || column > 1) return 0.0f;
  return m_BumpMapMatrix[row][column];
}

void CTexture::SetBumpMapMatrix(int row, int column, float value) {
  if (row < 0 || row > 1 || column < 0 || column > 1) return;
  m_BumpMapMatrix[row][column] = value;
}

void CTexture::SetBumpMapSurfaceFormat(BUMPMAPFORMAT format) {
  m_BumpMapSurfaceFormat = format;
  Create();
}

// ---------------------------------------------------------------------------
// Colour keys

LONG CTexture::ApplyColorKey(DWORD kind) {
  if (!m_DeviceSurface) return 0;
  const bool source = kind == DDCKEY_SRCBLT;
  const DWORD* words = source ? m_SourceColorKey : m_DestinationColorKey;
  const int inUse = source ? m_UseSourceColorKey : m_UseDestinationColorKey;
  DDCOLORKEY key;
  key.dwColorSpaceLowValue = words[0];
  key.dwColorSpaceHighValue = words[1];
  const HRESULT hr = m_DeviceSurface->SetColorKey(kind, inUse == 1 ? &key : nullptr);
  return FAILED(hr) ? ReportedFailure(hr) : 0;
}

void CTexture::SetSourceColorKey(unsigned long low, unsigned long high) {
  m_SourceColorKey[0] = static_cast<DWORD>(low);
  m_SourceColorKey[1] = static_cast<DWORD>(high);
  ApplyColorKey(DDCKEY_SRCBLT);
}

void CTexture::GetSourceColorKey(unsigned long* low, unsigned long* high) const {
  if (low) *low = m_SourceColorKey[0];
  if (high) *high = m_SourceColorKey[1];
}

void CTexture::SetUseSourceColorKey(int on) {
  m_UseSourceColorKey = on;
  ApplyColorKey(DDCKEY_SRCBLT);
}

void CTexture::SetDestinationColorKey(unsigned long low, unsigned long high) {
  m_DestinationColorKey[0] = static_cast<DWORD>(low);
  m_DestinationColorKey[1] = static_cast<DWORD>(high);
  ApplyColorKey(DDCKEY_DESTBLT);
}

void CTexture::GetDestinationColorKey(unsigned long* low, unsigned long* high) const {
  if (low) *low = m_DestinationColorKey[0];
  if (high) *high = m_DestinationColorKey[1];
}

void CTexture::SetUseDestinationColorKey(int on) {
  m_UseDestinationColorKey = on;
  ApplyColorKey(DDCKEY_DESTBLT);
}

// ---------------------------------------------------------------------------
// Stages

void CTexture::SetLinkedStageTexture(CTexture* texture, int index) {
  if (index < 0 || index >= MAX_TEXTURE_STAGES) return;
  m_LinkedStageTextures[index] = texture;
  if (!texture) return;
  texture->SetStageTexture(1);
  texture->SetStageTextureInUse(1);
  texture->SetColorArgOne(D3DTA_TEXTURE);
  texture->SetAlphaArgOne(D3DTA_TEXTURE);
  texture->SetColorArgTwo(D3DTA_CURRENT);
  texture->SetAlphaArgTwo(D3DTA_CURRENT);
  texture->CopyBumpTexture(this);
}

CTexture* CTexture::GetLinkedStageTexture(int index) {
  if (index < 0 || index >= MAX_TEXTURE_STAGES) return nullptr;
  return m_LinkedStageTextures[index];
}

void CTexture::UnlinkStageTexture(const CTexture* texture) {
  if (!texture) return;
  for (int i = 0; i < MAX_TEXTURE_STAGES;) {
    if (m_LinkedStageTextures[i] != texture) {
      ++i;
      continue;
    }
    for (int j = i; j < MAX_TEXTURE_STAGES - 1; ++j) m_LinkedStageTextures[j] = m_LinkedStageTextures[j + 1];
    m_LinkedStageTextures[MAX_TEXTURE_STAGES - 1] = nullptr;
  }
}

LONG CTexture::CopyBumpTexture(CTexture* source) {
  if (!source) return E_FAIL;
  if (source == this) return 0;
  m_WrapType = source->m_WrapType;
  m_ClampMode = source->m_ClampMode;
  m_RepeatX = source->m_RepeatX;
  m_RepeatY = source->m_RepeatY;
  m_MagnificationMin = source->m_MagnificationMin;
  m_MagnificationMax = source->m_MagnificationMax;
  m_Correction = source->m_Correction;
  m_SourceColorKey[0] = source->m_SourceColorKey[0];
  m_SourceColorKey[1] = source->m_SourceColorKey[1];
  m_UseSourceColorKey = source->m_UseSourceColorKey;
  m_DestinationColorKey[0] = source->m_DestinationColorKey[0];
  m_DestinationColorKey[1] = source->m_DestinationColorKey[1];
  m_UseDestinationColorKey = source->m_UseDestinationColorKey;
  m_Position = source->m_Position;
  m_Axes = source->m_Axes;
  m_Scale = source->m_Scale;
  return 0;
}
