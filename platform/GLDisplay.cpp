#define GL_GLEXT_PROTOTYPES 1
#include "platform/GLDisplay.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/TextureImage.h"
#include "platform/DxErrors.h"

namespace {

constexpr DWORD kFogNone = 0, kFogExp = 1, kFogExp2 = 2, kFogLinear = 3;

float DwordFloat(DWORD v) {
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

void ColourFloats(D3DCOLOR c, float out[4]) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = (c >> 24) / 255.0f;
}

// Column-major GL matrix from the rows of a D3D matrix used as columns: the
// transpose, which turns the row-vector convention into GL's.
void ToGL(const D3DMATRIX& m, float out[16]) { std::memcpy(out, &m._11, sizeof(float) * 16); }

GLenum BlendFactor(DWORD f) {
  switch (f) {
    case 1: return GL_ZERO;
    case 2: return GL_ONE;
    case 3: return GL_SRC_COLOR;
    case 4: return GL_ONE_MINUS_SRC_COLOR;
    case 5: return GL_SRC_ALPHA;
    case 6: return GL_ONE_MINUS_SRC_ALPHA;
    case 7: return GL_DST_ALPHA;
    case 8: return GL_ONE_MINUS_DST_ALPHA;
    case 9: return GL_DST_COLOR;
    case 10: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

// A stage argument as a combine source and operand.
void StageSource(DWORD arg, bool alpha, GLint* source, GLint* operand) {
  switch (arg & 0xF) {
    case 1: *source = GL_PREVIOUS; break;
    case 2: *source = GL_TEXTURE; break;
    case 3: *source = GL_CONSTANT; break;
    default: *source = GL_PRIMARY_COLOR; break;  // diffuse, specular
  }
  const bool complement = (arg & 0x10) != 0;
  const bool replicate = alpha || (arg & 0x20) != 0;
  if (replicate)
    *operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  else
    *operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// Sets the combiner of the active unit for one stage operation (colour or
// alpha part).
void StageCombine(DWORD op, DWORD arg1, DWORD arg2, bool alpha) {
  const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
  const GLenum source0 = alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB, source1 = alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB,
               source2 = alpha ? GL_SRC2_ALPHA : GL_SRC2_RGB;
  const GLenum operand0 = alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB,
               operand1 = alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB,
               operand2 = alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB;
  GLint s1, o1, s2, o2;
  StageSource(arg1, alpha, &s1, &o1);
  StageSource(arg2, alpha, &s2, &o2);
  GLint mode = GL_MODULATE;
  float scale = 1.0f;
  GLint s3 = GL_PRIMARY_COLOR, o3 = GL_SRC_ALPHA;
  switch (op) {
    case 2: mode = GL_REPLACE; break;
    case 3: mode = GL_REPLACE; s1 = s2; o1 = o2; break;
    case 4: break;
    case 5: scale = 2.0f; break;
    case 6: scale = 4.0f; break;
    case 7: case 11: mode = GL_ADD; break;
    case 8: mode = GL_ADD_SIGNED; break;
    case 9: mode = GL_ADD_SIGNED; scale = 2.0f; break;
    case 10: mode = GL_SUBTRACT; break;
    case 12: mode = GL_INTERPOLATE; s3 = GL_PRIMARY_COLOR; break;
    case 13: case 15: mode = GL_INTERPOLATE; s3 = GL_TEXTURE; break;
    case 14: mode = GL_INTERPOLATE; s3 = GL_CONSTANT; break;
    case 16: mode = GL_INTERPOLATE; s3 = GL_PREVIOUS; break;
    case 22: case 23: mode = GL_REPLACE; s1 = GL_PREVIOUS; o1 = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR; break;
    case 24: if (!alpha) mode = GL_DOT3_RGBA; break;
    default: break;  // the remaining operations modulate
  }
  glTexEnvi(GL_TEXTURE_ENV, combine, mode);
  glTexEnvi(GL_TEXTURE_ENV, source0, s1);
  glTexEnvi(GL_TEXTURE_ENV, operand0, o1);
  glTexEnvi(GL_TEXTURE_ENV, source1, s2);
  glTexEnvi(GL_TEXTURE_ENV, operand1, o2);
  glTexEnvi(GL_TEXTURE_ENV, source2, s3);
  glTexEnvi(GL_TEXTURE_ENV, operand2, o3);
  glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
}

uint64_t ImageHash(const TextureImage& image) {
  uint64_t h = 1469598103934665603ull ^ (uint64_t(image.width) << 32 | image.height);
  h = (h ^ image.pitch) * 1099511628211ull;
  h = (h ^ image.bitsPerPixel ^ (uint64_t(image.pixelFlags) << 8)) * 1099511628211ull;
  const BYTE* p = image.pixels.data();
  const size_t n = image.pixels.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    h = (h ^ w) * 1099511628211ull;
  }
  for (; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

}  // namespace

// ---------------------------------------------------------------------------

void GLShared::Collect() {
  if (!deadBuffers.empty()) glDeleteBuffers(static_cast<GLsizei>(deadBuffers.size()), deadBuffers.data());
  if (!deadTextures.empty()) glDeleteTextures(static_cast<GLsizei>(deadTextures.size()), deadTextures.data());
  if (!deadFramebuffers.empty())
    glDeleteFramebuffers(static_cast<GLsizei>(deadFramebuffers.size()), deadFramebuffers.data());
  if (!deadRenderbuffers.empty())
    glDeleteRenderbuffers(static_cast<GLsizei>(deadRenderbuffers.size()), deadRenderbuffers.data());
  deadBuffers.clear();
  deadTextures.clear();
  deadFramebuffers.clear();
  deadRenderbuffers.clear();
}

// ---------------------------------------------------------------------------
// Surfaces

GLDisplaySurface::GLDisplaySurface(std::shared_ptr<GLShared> shared, const DisplaySurfaceDesc& desc)
    : m_Shared(std::move(shared)), m_Desc(desc) {}

GLDisplaySurface::~GLDisplaySurface() { GiveUp(); }

void GLDisplaySurface::GiveUp() {
  // Names of a context that still exists are deleted the next time it is
  // current; those of a replaced context went with it.
  if (m_Made && m_Generation == m_Shared->Generation()) {
    if (m_Framebuffer) m_Shared->deadFramebuffers.push_back(m_Framebuffer);
    if (m_Renderbuffer) m_Shared->deadRenderbuffers.push_back(m_Renderbuffer);
  }
  Forget();
}

void GLDisplaySurface::Forget() {
  m_Framebuffer = m_Renderbuffer = 0;
  m_Made = false;
}

bool GLDisplaySurface::IsLost() const { return m_Made && m_Generation != m_Shared->Generation(); }

HRESULT GLDisplaySurface::Restore() {
  if (IsLost()) Forget();
  if (auto* z = dynamic_cast<GLDisplaySurface*>(m_Attached.get()))
    if (z->IsLost()) z->Forget();
  return S_OK;
}

HRESULT GLDisplaySurface::ColorFill(D3DCOLOR colour) {
  // Only render targets hold pixels of their own; the primary surface is the
  // window, which the next frame covers.
  if (!(m_Desc.caps & DDSCAPS_3DDEVICE) || !m_Shared->host || !m_Shared->host->MakeCurrent()) return S_OK;
  if (!Bind()) return DDERR_SURFACELOST;
  float c[4];
  ColourFloats(colour, c);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClear(GL_COLOR_BUFFER_BIT);
  return S_OK;
}

HRESULT GLDisplaySurface::AddAttachedSurface(const std::shared_ptr<IDisplaySurface>& surface) {
  if (!surface || m_Attached || !(surface->GetSurfaceDesc().caps & DDSCAPS_ZBUFFER)) return E_INVALIDARG;
  m_Attached = surface;
  GiveUp();  // the framebuffer is made again with its depth buffer
  return S_OK;
}

HRESULT GLDisplaySurface::DeleteAttachedSurface(const IDisplaySurface* surface) {
  if (!surface || m_Attached.get() != surface) return E_INVALIDARG;
  m_Attached.reset();
  GiveUp();
  return S_OK;
}

HRESULT GLDisplaySurface::SetClipper(const std::shared_ptr<IDisplayClipper>& clipper) {
  m_Clipper = clipper;
  return S_OK;
}

bool GLDisplaySurface::Bind() {
  if (IsLost()) return false;
  if (!m_Made) {
    m_Generation = m_Shared->Generation();
    const GLsizei w = static_cast<GLsizei>(std::max<DWORD>(1, m_Desc.width));
    const GLsizei h = static_cast<GLsizei>(std::max<DWORD>(1, m_Desc.height));
    glGenFramebuffers(1, &m_Framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
    glGenRenderbuffers(1, &m_Renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, m_Renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_Renderbuffer);
    if (auto* z = dynamic_cast<GLDisplaySurface*>(m_Attached.get())) {
      if (z->m_Made && z->m_Generation == m_Generation && z->m_Renderbuffer)
        m_Shared->deadRenderbuffers.push_back(z->m_Renderbuffer);
      z->Forget();
      const DWORD bits = z->m_Desc.pixelFormat.dwRGBBitCount;
      const GLenum format = bits >= 32 ? GL_DEPTH_COMPONENT32 : bits >= 24 ? GL_DEPTH_COMPONENT24 : GL_DEPTH_COMPONENT16;
      glGenRenderbuffers(1, &z->m_Renderbuffer);
      glBindRenderbuffer(GL_RENDERBUFFER, z->m_Renderbuffer);
      glRenderbufferStorage(GL_RENDERBUFFER, format, w, h);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, z->m_Renderbuffer);
      z->m_Made = true;
      z->m_Generation = m_Generation;
    }
    m_Made = true;
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      GiveUp();
      return false;
    }
    return true;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, m_Framebuffer);
  return true;
}

// ---------------------------------------------------------------------------
// Vertex buffers

GLDisplayVertexBuffer::GLDisplayVertexBuffer(std::shared_ptr<GLShared> shared, const D3DVERTEXBUFFERDESC& desc)
    : m_Shared(std::move(shared)), m_Desc(desc) {
  m_Data.assign(static_cast<size_t>(desc.dwNumVertices) * FVFVertexSize(desc.dwFVF), 0);
}

GLDisplayVertexBuffer::~GLDisplayVertexBuffer() {
  if (m_Buffer && m_Generation == m_Shared->Generation()) m_Shared->deadBuffers.push_back(m_Buffer);
}

HRESULT GLDisplayVertexBuffer::Lock(DWORD, void** data, DWORD* size) {
  if (!data || m_Locked) return E_INVALIDARG;
  m_Locked = true;
  m_Dirty = true;
  *data = m_Data.data();
  if (size) *size = static_cast<DWORD>(m_Data.size());
  return S_OK;
}

HRESULT GLDisplayVertexBuffer::Unlock() {
  if (!m_Locked) return E_INVALIDARG;
  m_Locked = false;
  return S_OK;
}

void GLDisplayVertexBuffer::Bind() {
  const unsigned generation = m_Shared->Generation();
  if (m_Buffer && m_Generation != generation) m_Buffer = 0;  // went with the old context
  if (!m_Buffer) {
    glGenBuffers(1, &m_Buffer);
    m_Generation = generation;
    m_Dirty = true;
  }
  glBindBuffer(GL_ARRAY_BUFFER, m_Buffer);
  if (m_Dirty) {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_Data.size()), m_Data.data(), GL_STATIC_DRAW);
    m_Dirty = false;
  }
}

// ---------------------------------------------------------------------------
// The device

GLDisplayDevice::GLDisplayDevice(std::shared_ptr<GLShared> shared, std::shared_ptr<GLDisplaySurface> target,
                                 CWnd* window)
    : m_Shared(std::move(shared)), m_Target(std::move(target)), m_Window(window) {
  m_World = m_View = m_Projection = D3DMATRIX();
  for (int i = 0; i < 4; ++i) (&m_World._11)[i * 5] = (&m_View._11)[i * 5] = (&m_Projection._11)[i * 5] = 1.0f;
  // The stage defaults of the original device.
  for (DWORD s = 0; s < D3DDP_MAXTEXCOORD; ++s) {
    m_StageStates[s][D3DTSS_COLOROP] = s == 0 ? 4 : 1;
    m_StageStates[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    m_StageStates[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
    m_StageStates[s][D3DTSS_ALPHAOP] = s == 0 ? 2 : 1;
    m_StageStates[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    m_StageStates[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    m_StageStates[s][D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
    m_StageStates[s][D3DTSS_MAGFILTER] = 1;
    m_StageStates[s][D3DTSS_MINFILTER] = 1;
  }
  m_RenderStates[D3DRENDERSTATE_ZENABLE] = 1;
  m_RenderStates[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  m_RenderStates[D3DRENDERSTATE_FILLMODE] = 3;
  m_RenderStates[D3DRENDERSTATE_SHADEMODE] = 2;
  m_RenderStates[D3DRENDERSTATE_CULLMODE] = 3;
  m_RenderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  m_RenderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
}

GLDisplayDevice::~GLDisplayDevice() {
  const unsigned generation = m_Shared->Generation();
  for (auto& [image, entry] : m_TextureCache)
    if (entry.name && entry.generation == generation) m_Shared->deadTextures.push_back(entry.name);
  for (auto& [list, entry] : m_IndexCache)
    if (entry.name && entry.generation == generation) m_Shared->deadBuffers.push_back(entry.name);
}

HRESULT GLDisplayDevice::Clear(D3DCOLOR colour) {
  if (!m_Target) return E_FAIL;
  return Clear2(CRect(0, 0, static_cast<LONG>(m_Target->Width()), static_cast<LONG>(m_Target->Height())),
                D3DCLEAR_TARGET, colour, 1.0f, 0);
}

HRESULT GLDisplayDevice::BeginScene() {
  m_Drawing = false;
  if (!m_Target) return E_FAIL;
  // No context yet (the window was never shown): there is nothing to draw
  // into and nothing is drawn.
  if (!m_Shared->host || !m_Shared->host->MakeCurrent()) return S_OK;
  if (m_Target->IsLost()) return DDERR_SURFACELOST;
  m_Shared->Collect();
  // Index lists not drawn for a while belong to meshes that changed or went.
  ++m_Frame;
  const unsigned generation = m_Shared->Generation();
  for (auto it = m_IndexCache.begin(); it != m_IndexCache.end();) {
    if (m_Frame - it->second.lastFrame > 120) {
      if (it->second.name && it->second.generation == generation) glDeleteBuffers(1, &it->second.name);
      it = m_IndexCache.erase(it);
    } else {
      ++it;
    }
  }
  if (!m_Target->Bind()) return DDERR_SURFACELOST;
  glViewport(0, 0, static_cast<GLsizei>(m_Target->Width()), static_cast<GLsizei>(m_Target->Height()));
  m_Drawing = true;
  return S_OK;
}

HRESULT GLDisplayDevice::EndScene() {
  if (m_Drawing) glFlush();
  m_Drawing = false;
  return S_OK;
}

HRESULT GLDisplayDevice::Present() {
  if (!m_Target || !m_Shared->host || !m_Shared->host->MakeCurrent()) return S_OK;
  if (m_Target->IsLost()) return DDERR_SURFACELOST;
  if (m_Window && m_Window->TakesFrames()) {
    std::vector<uint32_t> pixels;
    DWORD w = 0, h = 0;
    if (!m_Target->Framebuffer() || FAILED(ReadPixels(pixels, &w, &h))) return S_OK;
    m_Window->ShowFrame(pixels.data(), static_cast<int>(w), static_cast<int>(h));
    return S_OK;
  }
  unsigned framebuffer = 0;
  int width = 0, height = 0;
  if (!m_Shared->host->GetTarget(&framebuffer, &width, &height)) return S_OK;
  if (!m_Target->Framebuffer()) return S_OK;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_Target->Framebuffer());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
  glDisable(GL_SCISSOR_TEST);
  glBlitFramebuffer(0, 0, static_cast<GLint>(m_Target->Width()), static_cast<GLint>(m_Target->Height()), 0, 0, width,
                    height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  m_Shared->host->FramePresented();
  return S_OK;
}

HRESULT GLDisplayDevice::SetViewport2(const D3DVIEWPORT2& viewport) {
  if (viewport.dvClipWidth == 0.0f || viewport.dvClipHeight == 0.0f) return E_INVALIDARG;
  m_Viewport = viewport;
  return S_OK;
}

HRESULT GLDisplayDevice::Clear2(const CRect& rect, DWORD flags, D3DCOLOR colour, float z, DWORD) {
  if (!m_Drawing) return S_OK;
  const LONG h = static_cast<LONG>(m_Target->Height());
  glEnable(GL_SCISSOR_TEST);
  glScissor(rect.left, h - rect.bottom, rect.Width(), rect.Height());
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    ColourFloats(colour, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(z);
    glDepthMask(GL_TRUE);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
  return S_OK;
}

HRESULT GLDisplayDevice::AddLight(const std::shared_ptr<IDisplayLight>& light) {
  auto& lights = m_Shared->lights;
  if (!light || std::find(lights.begin(), lights.end(), light) != lights.end()) return E_INVALIDARG;
  lights.push_back(light);
  return S_OK;
}

HRESULT GLDisplayDevice::DeleteLight(const IDisplayLight* light) {
  auto& lights = m_Shared->lights;
  auto it = std::find_if(lights.begin(), lights.end(), [&](const auto& l) { return l.get() == light; });
  if (it == lights.end()) return E_INVALIDARG;
  lights.erase(it);
  return S_OK;
}

HRESULT GLDisplayDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) {
  switch (state) {
    case D3DTRANSFORMSTATE_WORLD: m_World = matrix; return S_OK;
    case D3DTRANSFORMSTATE_VIEW: m_View = matrix; return S_OK;
    case D3DTRANSFORMSTATE_PROJECTION: m_Projection = matrix; return S_OK;
    default: return E_INVALIDARG;
  }
}

HRESULT GLDisplayDevice::CreateMaterial(DWORD* material) {
  if (!material) return E_POINTER;
  *material = m_Shared->nextMaterial++;
  m_Shared->materials[*material] = D3DMATERIAL();
  return S_OK;
}

HRESULT GLDisplayDevice::ReleaseMaterial(DWORD material) {
  return m_Shared->materials.erase(material) ? S_OK : E_INVALIDARG;
}

HRESULT GLDisplayDevice::SetMaterial(DWORD material, const D3DMATERIAL& record) {
  auto it = m_Shared->materials.find(material);
  if (it == m_Shared->materials.end()) return E_INVALIDARG;
  it->second = record;
  return S_OK;
}

HRESULT GLDisplayDevice::GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) {
  if (!handle) return E_POINTER;
  if (!m_Shared->materials.count(material)) return E_INVALIDARG;
  *handle = material;
  return S_OK;
}

HRESULT GLDisplayDevice::SetLightState(DWORD state, DWORD value) {
  m_LightStates[state] = value;
  return S_OK;
}

HRESULT GLDisplayDevice::SetBackground(D3DMATERIALHANDLE handle) {
  m_Background = handle;
  return S_OK;
}

HRESULT GLDisplayDevice::CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD,
                                            std::unique_ptr<IDisplayVertexBuffer>& buffer) {
  if (desc.dwSize != sizeof(D3DVERTEXBUFFERDESC) || desc.dwNumVertices == 0 || FVFVertexSize(desc.dwFVF) == 0)
    return E_INVALIDARG;
  buffer = std::make_unique<GLDisplayVertexBuffer>(m_Shared, desc);
  return S_OK;
}

HRESULT GLDisplayDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  m_RenderStates[static_cast<int>(state)] = value;
  return S_OK;
}

HRESULT GLDisplayDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
  if (stage >= D3DDP_MAXTEXCOORD || static_cast<int>(state) < 0 || static_cast<int>(state) >= 32) return E_INVALIDARG;
  m_StageStates[stage][state] = value;
  return S_OK;
}

HRESULT GLDisplayDevice::SetTexture(DWORD stage, const TextureImage* image) {
  if (stage >= D3DDP_MAXTEXCOORD) return E_INVALIDARG;
  m_Textures[stage] = image;
  return S_OK;
}

unsigned GLDisplayDevice::TextureName(const TextureImage* image) {
  if (!image || !image->IsConsistent() || image->width == 0 || image->height == 0) return 0;
  GLenum format = 0, type = 0;
  GLint internal = GL_RGB8;
  const bool alpha = (image->pixelFlags & DDPF_ALPHAPIXELS) != 0;
  int bytes = 0;
  switch (image->bitsPerPixel) {
    case 32:
      format = GL_BGRA;
      type = GL_UNSIGNED_BYTE;
      internal = alpha ? GL_RGBA8 : GL_RGB8;
      bytes = 4;
      break;
    case 24:
      format = GL_BGR;
      type = GL_UNSIGNED_BYTE;
      bytes = 3;
      break;
    case 16:
      bytes = 2;
      if (image->greenMask == 0x07E0) {
        format = GL_RGB;
        type = GL_UNSIGNED_SHORT_5_6_5;
      } else if (image->greenMask == 0x03E0) {
        format = GL_BGRA;
        type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
        internal = alpha ? GL_RGB5_A1 : GL_RGB5;
      } else if (image->greenMask == 0x00F0) {
        format = GL_BGRA;
        type = GL_UNSIGNED_SHORT_4_4_4_4_REV;
        internal = alpha ? GL_RGBA4 : GL_RGB4;
      } else {
        return 0;
      }
      break;
    default: return 0;  // bump and palette images have no colours to show
  }
  if (image->pitch % bytes) return 0;
  TextureEntry& entry = m_TextureCache[image];
  const unsigned generation = m_Shared->Generation();
  if (entry.name && entry.generation != generation) entry.name = 0;  // gone with the old context
  const uint64_t hash = ImageHash(*image);
  if (entry.name && entry.hash == hash) return entry.name;
  if (!entry.name) glGenTextures(1, &entry.name);
  entry.generation = generation;
  entry.hash = hash;
  entry.alpha = alpha;
  glBindTexture(GL_TEXTURE_2D, entry.name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image->pitch / bytes));
  // The image's first row is its top; texture coordinate v = 0 is the top.
  glTexImage2D(GL_TEXTURE_2D, 0, internal, static_cast<GLsizei>(image->width), static_cast<GLsizei>(image->height), 0,
               format, type, image->pixels.data());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  ++m_TextureUploads;
  return entry.name;
}

void GLDisplayDevice::ApplyFrameState() {
  auto state = [&](int s) {
    auto it = m_RenderStates.find(s);
    return it == m_RenderStates.end() ? 0u : it->second;
  };
  auto light = [&](DWORD s) {
    auto it = m_LightStates.find(s);
    return it == m_LightStates.end() ? 0u : it->second;
  };

  // Projection: the viewport's clip volume, then D3D's depth 0..1 folded
  // onto GL's -1..1, after the camera's projection; S = diag(1, 1, -1, 1)
  // turns the camera's +z-forward eye space into GL's -z-forward one.
  float p[16];
  ToGL(m_Projection, p);  // column-major: p[c * 4 + r]
  for (int r = 0; r < 4; ++r) p[2 * 4 + r] = -p[2 * 4 + r];  // · S: negate the z column
  const float cw = m_Viewport.dvClipWidth, ch = m_Viewport.dvClipHeight;
  const float sx = 2.0f / cw, tx = -2.0f * m_Viewport.dvClipX / cw - 1.0f;
  const float sy = 2.0f / ch, ty = -2.0f * (m_Viewport.dvClipY - ch) / ch - 1.0f;
  for (int c = 0; c < 4; ++c) {
    float* col = p + c * 4;
    const float w = col[3];
    col[0] = sx * col[0] + tx * w;
    col[1] = sy * col[1] + ty * w;
    col[2] = 2.0f * col[2] - w;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(p);

  float v[16];
  ToGL(m_View, v);
  for (int c = 0; c < 4; ++c) v[c * 4 + 2] = -v[c * 4 + 2];  // S ·: negate the z row
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(v);

  // Lights, placed in the camera's space.
  glEnable(GL_LIGHTING);
  glEnable(GL_NORMALIZE);
  float ambient[4];
  ColourFloats(light(D3DLIGHTSTATE_AMBIENT) | 0xFF000000u, ambient);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  const bool specular = state(D3DRENDERSTATE_SPECULARENABLE) != 0;
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
  int used = 0;
  for (const auto& l : m_Shared->lights) {
    if (used >= 8) break;
    D3DLIGHT2 r;
    l->GetLight(r);
    if (!(r.dwFlags & D3DLIGHT_ACTIVE)) continue;
    const GLenum id = GL_LIGHT0 + used++;
    glEnable(id);
    const float colour[4] = {r.dcvColor.r, r.dcvColor.g, r.dcvColor.b, 1.0f};
    const float black[4] = {0, 0, 0, 1};
    glLightfv(id, GL_AMBIENT, black);
    glLightfv(id, GL_DIFFUSE, colour);
    glLightfv(id, GL_SPECULAR, (r.dwFlags & D3DLIGHT_NO_SPECULAR) ? black : colour);
    // The light's strength at the object: a0 + a1 n + a2 n^2 with n the
    // normalised distance (1 at the light, 0 at its range) from the light to
    // the origin of the object drawn; none beyond the range. Directional
    // lights do not fall off.
    float strength = 1.0f;
    if (r.dltType != D3DLIGHT_DIRECTIONAL) {
      const float dx = r.dvPosition.x - m_World._41, dy = r.dvPosition.y - m_World._42, dz = r.dvPosition.z - m_World._43;
      const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
      const float n = r.dvRange > 0.0f ? 1.0f - d / r.dvRange : 0.0f;
      strength = n < 0.0f ? 0.0f : r.dvAttenuation0 + r.dvAttenuation1 * n + r.dvAttenuation2 * n * n;
      if (!(r.dvAttenuation0 > 0.0f || r.dvAttenuation1 > 0.0f || r.dvAttenuation2 > 0.0f)) strength = n >= 0.0f ? 1.0f : 0.0f;
    }
    if (!(strength > 0.0f)) {
      glDisable(id);
      continue;
    }
    glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f / strength);
    glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
    if (r.dltType == D3DLIGHT_DIRECTIONAL) {
      const float towards[4] = {-r.dvDirection.x, -r.dvDirection.y, -r.dvDirection.z, 0.0f};
      glLightfv(id, GL_POSITION, towards);
      glLightf(id, GL_SPOT_CUTOFF, 180.0f);
    } else {
      const float at[4] = {r.dvPosition.x, r.dvPosition.y, r.dvPosition.z, 1.0f};
      glLightfv(id, GL_POSITION, at);
      if (r.dltType == D3DLIGHT_SPOT) {
        const float direction[3] = {r.dvDirection.x, r.dvDirection.y, r.dvDirection.z};
        glLightfv(id, GL_SPOT_DIRECTION, direction);
        const float cutoff = std::clamp(r.dvPhi * 0.5f * 57.29578f, 0.0f, 90.0f);
        glLightf(id, GL_SPOT_CUTOFF, cutoff);
        glLightf(id, GL_SPOT_EXPONENT, std::clamp(r.dvFalloff, 0.0f, 128.0f));
      } else {
        glLightf(id, GL_SPOT_CUTOFF, 180.0f);
      }
    }
  }
  for (int i = used; i < 8; ++i) glDisable(GL_LIGHT0 + i);

  // The world matrix of the draw.
  float w[16];
  ToGL(m_World, w);
  glMultMatrixf(w);

  // Material.
  auto m = m_Shared->materials.find(light(D3DLIGHTSTATE_MATERIAL));
  const D3DMATERIAL record = m != m_Shared->materials.end() ? m->second : D3DMATERIAL();
  const float diffuse[4] = {record.diffuse.r, record.diffuse.g, record.diffuse.b, record.diffuse.a};
  const float amb[4] = {record.ambient.r, record.ambient.g, record.ambient.b, record.ambient.a};
  const float spec[4] = {specular ? record.specular.r : 0.0f, specular ? record.specular.g : 0.0f,
                         specular ? record.specular.b : 0.0f, 1.0f};
  const float emissive[4] = {record.emissive.r, record.emissive.g, record.emissive.b, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, amb);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, spec);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emissive);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(record.power, 0.0f, 128.0f));

  // Depth, culling, fill, shading, dithering.
  if (state(D3DRENDERSTATE_ZENABLE)) {
    glEnable(GL_DEPTH_TEST);
    const DWORD f = state(D3DRENDERSTATE_ZFUNC);
    glDepthFunc(f >= 1 && f <= 8 ? GL_NEVER + (f - 1) : GL_LEQUAL);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(GL_TRUE);
  switch (state(D3DRENDERSTATE_CULLMODE)) {
    case 1: glDisable(GL_CULL_FACE); break;
    case 2:  // clockwise faces are culled
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CCW);
      glCullFace(GL_BACK);
      break;
    default:  // counter-clockwise faces are culled
      glEnable(GL_CULL_FACE);
      glFrontFace(GL_CW);
      glCullFace(GL_BACK);
      break;
  }
  switch (state(D3DRENDERSTATE_FILLMODE)) {
    case 1: glPolygonMode(GL_FRONT_AND_BACK, GL_POINT); break;
    case 2: glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); break;
    default: glPolygonMode(GL_FRONT_AND_BACK, GL_FILL); break;
  }
  if (state(D3DRENDERSTATE_SHADEMODE) == 1) {
    glShadeModel(GL_FLAT);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  } else {
    glShadeModel(GL_SMOOTH);
  }
  if (state(D3DRENDERSTATE_DITHERENABLE))
    glEnable(GL_DITHER);
  else
    glDisable(GL_DITHER);
  glDisable(GL_ALPHA_TEST);
  if (state(D3DRENDERSTATE_ALPHABLENDENABLE)) {
    glEnable(GL_BLEND);
    const DWORD s = state(D3DRENDERSTATE_SRCBLEND);
    if (s == D3DBLEND_BOTHSRCALPHA)
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    else if (s == D3DBLEND_BOTHINVSRCALPHA)
      glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
    else
      glBlendFunc(BlendFactor(s), BlendFactor(state(D3DRENDERSTATE_DESTBLEND)));
  } else {
    glDisable(GL_BLEND);
  }

  // Fog.
  const DWORD fogMode = light(D3DLIGHTSTATE_FOGMODE);
  if (state(D3DRENDERSTATE_FOGENABLE) && fogMode != kFogNone) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, fogMode == kFogExp ? GL_EXP : fogMode == kFogExp2 ? GL_EXP2 : GL_LINEAR);
    if (fogMode == kFogLinear) {
      glFogf(GL_FOG_START, DwordFloat(light(D3DLIGHTSTATE_FOGSTART)));
      glFogf(GL_FOG_END, DwordFloat(light(D3DLIGHTSTATE_FOGEND)));
    }
    glFogf(GL_FOG_DENSITY, DwordFloat(light(D3DLIGHTSTATE_FOGDENSITY)));
    float colour[4];
    ColourFloats(state(D3DRENDERSTATE_FOGCOLOR), colour);
    glFogfv(GL_FOG_COLOR, colour);
  } else {
    glDisable(GL_FOG);
  }
}

void GLDisplayDevice::ApplyTextureStages(GLDisplayVertexBuffer*) {
  const GLsizei stride = static_cast<GLsizei>(88);
  bool ended = false;
  for (DWORD s = 0; s < D3DDP_MAXTEXCOORD; ++s) {
    glActiveTexture(GL_TEXTURE0 + s);
    glClientActiveTexture(GL_TEXTURE0 + s);
    const DWORD* st = m_StageStates[s];
    if (!ended && st[D3DTSS_COLOROP] == 1) ended = true;  // DISABLE ends the cascade
    const unsigned name = ended ? 0 : TextureName(m_Textures[s]);
    if (!name) {
      // No image: the stage hands the colour on unchanged.
      glDisable(GL_TEXTURE_2D);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      continue;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    const DWORD address = st[D3DTSS_ADDRESS];
    const GLint wrap = address == 2 ? GL_MIRRORED_REPEAT : address == 3 ? GL_CLAMP_TO_EDGE
                                                         : address == 4 ? GL_CLAMP_TO_BORDER
                                                                        : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, st[D3DTSS_MAGFILTER] >= 2 ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, st[D3DTSS_MINFILTER] >= 2 ? GL_LINEAR : GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    const float white[4] = {1, 1, 1, 1};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
    StageCombine(st[D3DTSS_COLOROP], st[D3DTSS_COLORARG1], st[D3DTSS_COLORARG2], false);
    const DWORD alphaOp = st[D3DTSS_ALPHAOP] == 1 ? 3 : st[D3DTSS_ALPHAOP];  // alpha off: pass the alpha on
    StageCombine(alphaOp, st[D3DTSS_ALPHAARG1], alphaOp == 3 ? D3DTA_CURRENT : st[D3DTSS_ALPHAARG2], true);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    // Every stage reads the first coordinate pair of the vertex.
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(24));
  }
  glActiveTexture(GL_TEXTURE0);
  glClientActiveTexture(GL_TEXTURE0);
}

HRESULT GLDisplayDevice::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDisplayVertexBuffer* buffer,
                                                const unsigned short* indices, DWORD count, DWORD) {
  auto* vb = dynamic_cast<GLDisplayVertexBuffer*>(buffer);
  if (!vb || (count && !indices)) return E_INVALIDARG;
  const DWORD fvf = vb->GetDesc().dwFVF;
  if (!(fvf & D3DFVF_XYZ)) return E_INVALIDARG;
  GLenum mode = GL_TRIANGLES;
  switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; break;
    case D3DPT_LINELIST: mode = GL_LINES; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; break;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; break;
    default: return E_INVALIDARG;
  }
  // Indices past the end of the buffer would read outside it. The same pass
  // gives the checksum that tells whether an uploaded copy is still good.
  const DWORD vertices = vb->GetDesc().dwNumVertices;
  unsigned short highest = 0;
  uint64_t hash = 1469598103934665603ull ^ count;
  DWORD i = 0;
  for (; i + 4 <= count; i += 4) {
    const unsigned short a = indices[i], b = indices[i + 1], c = indices[i + 2], d = indices[i + 3];
    highest = std::max({highest, a, b, c, d});
    hash = (hash ^ (uint64_t(a) | uint64_t(b) << 16 | uint64_t(c) << 32 | uint64_t(d) << 48)) * 1099511628211ull;
  }
  for (; i < count; ++i) {
    highest = std::max(highest, indices[i]);
    hash = (hash ^ indices[i]) * 1099511628211ull;
  }
  if (highest >= vertices) return E_INVALIDARG;
  if (!m_Drawing || count == 0) return S_OK;

  ApplyFrameState();
  vb->Bind();
  const GLsizei stride = static_cast<GLsizei>(FVFVertexSize(fvf));
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, stride, nullptr);
  if (fvf & D3DFVF_NORMAL) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(12));
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
  if (((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) > 0)
    ApplyTextureStages(vb);
  else
    for (DWORD s = 0; s < D3DDP_MAXTEXCOORD; ++s) {
      glActiveTexture(GL_TEXTURE0 + s);
      glDisable(GL_TEXTURE_2D);
    }
  IndexEntry& entry = m_IndexCache[indices];
  const unsigned generation = m_Shared->Generation();
  if (entry.name && entry.generation != generation) entry.name = 0;  // gone with the old context
  if (!entry.name) {
    glGenBuffers(1, &entry.name);
    entry.generation = generation;
    entry.count = 0;
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, entry.name);
  if (entry.count != count || entry.hash != hash) {
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * 2, indices, GL_STATIC_DRAW);
    entry.count = count;
    entry.hash = hash;
  }
  entry.lastFrame = m_Frame;
  glDrawRangeElements(mode, 0, highest, static_cast<GLsizei>(count), GL_UNSIGNED_SHORT, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return S_OK;
}

HRESULT GLDisplayDevice::ReadPixels(std::vector<uint32_t>& pixels, DWORD* width, DWORD* height) {
  if (!m_Target || !m_Shared->host || !m_Shared->host->MakeCurrent() || !m_Target->Bind()) return E_FAIL;
  const DWORD w = m_Target->Width(), h = m_Target->Height();
  std::vector<uint32_t> rows(static_cast<size_t>(w) * h);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               rows.data());
  pixels.resize(rows.size());
  for (DWORD y = 0; y < h; ++y)
    std::memcpy(&pixels[static_cast<size_t>(y) * w], &rows[static_cast<size_t>(h - 1 - y) * w], w * sizeof(uint32_t));
  if (width) *width = w;
  if (height) *height = h;
  return S_OK;
}

// ---------------------------------------------------------------------------
// The system

GLDisplaySystem::GLDisplaySystem(IGLContextHost* host) { m_Shared->host = host; }

HRESULT GLDisplaySystem::EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) {
  DisplayDeviceDesc d;
  d.driverName = "display";
  d.description = "Primary Display Driver";
  d.hardware = true;
  devices.push_back(d);
  return S_OK;
}

HRESULT GLDisplaySystem::EnumerateDrivers(const DisplayDeviceDesc&, std::vector<DisplayDriverDesc>& drivers) {
  std::vector<DDPIXELFORMAT> depths;
  for (DWORD bits : {16u, 24u, 32u}) {
    DDPIXELFORMAT f;
    f.dwFlags = DDPF_ZBUFFER;
    f.dwRGBBitCount = bits;
    depths.push_back(f);
  }
  DisplayDriverDesc hal;
  hal.guid = IID_IDirect3DHALDevice;
  hal.name = "OpenGL HAL";
  hal.hardwareColorModel = D3DCOLOR_RGB;
  hal.depthFormats = depths;
  DisplayDriverDesc rgb;
  rgb.guid = IID_IDirect3DRGBDevice;
  rgb.name = "OpenGL RGB Emulation";
  rgb.emulationColorModel = D3DCOLOR_RGB;
  rgb.depthFormats = depths;
  drivers = {hal, rgb};
  return S_OK;
}

HRESULT GLDisplaySystem::EnumerateModes(const DisplayDeviceDesc&, std::vector<DisplayModeDesc>& modes) {
  modes.push_back({static_cast<DWORD>(m_Width), static_cast<DWORD>(m_Height), 32, 60});
  return S_OK;
}

HRESULT GLDisplaySystem::EnumerateTextureFormats(std::vector<DDPIXELFORMAT>& formats) {
  auto make = [](DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f;
    f.dwFlags = flags;
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
  };
  formats = {make(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0), make(DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0),
             make(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000),
             make(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000),
             make(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)};
  return S_OK;
}

void GLDisplaySystem::GetDisplayMetrics(int* bitsPerPixel, int* width, int* height) {
  *bitsPerPixel = m_Bits;
  *width = m_Width;
  *height = m_Height;
}

HRESULT GLDisplaySystem::CreateSurface(const DisplaySurfaceDesc& desc, std::shared_ptr<IDisplaySurface>& surface) {
  if ((desc.caps & (DDSCAPS_3DDEVICE | DDSCAPS_ZBUFFER)) && (desc.width == 0 || desc.height == 0)) return E_INVALIDARG;
  surface = std::make_shared<GLDisplaySurface>(m_Shared, desc);
  return S_OK;
}

HRESULT GLDisplaySystem::CreateClipper(std::shared_ptr<IDisplayClipper>& clipper) {
  clipper = std::make_shared<GLDisplayClipper>();
  return S_OK;
}

HRESULT GLDisplaySystem::CreateRenderDevice(CWnd* window, const GUID& driver,
                                            const std::shared_ptr<IDisplaySurface>& renderTarget,
                                            std::unique_ptr<IDisplayDevice>& device) {
  auto target = std::dynamic_pointer_cast<GLDisplaySurface>(renderTarget);
  if (!window || !target || !(target->GetSurfaceDesc().caps & DDSCAPS_3DDEVICE)) return E_INVALIDARG;
  if (driver != IID_IDirect3DHALDevice && driver != IID_IDirect3DRGBDevice) return DDERR_NOTFOUND;
  device = std::make_unique<GLDisplayDevice>(m_Shared, std::move(target), window);
  return S_OK;
}

HRESULT GLDisplaySystem::CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) {
  if (!window) return E_INVALIDARG;
  const CRect r = window->GetClientRect();
  DisplaySurfaceDesc desc;
  desc.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  desc.width = static_cast<DWORD>(std::max<LONG>(1, r.Width()));
  desc.height = static_cast<DWORD>(std::max<LONG>(1, r.Height()));
  std::shared_ptr<IDisplaySurface> target;
  HRESULT hr = CreateSurface(desc, target);
  if (FAILED(hr)) return hr;
  return CreateRenderDevice(window, IID_IDirect3DHALDevice, target, device);
}

HRESULT GLDisplaySystem::CreateLight(std::shared_ptr<IDisplayLight>& light) {
  light = std::make_shared<GLDisplayLight>();
  return S_OK;
}
