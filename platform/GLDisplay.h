// The OpenGL back end of the display layer (OpenGL 2.1 with the
// compatibility functions, framebuffer objects and the fixed-function
// pipeline). It never makes or owns a context: the window that shows the
// frames (or an off-screen test context) supplies one through
// IGLContextHost.
//
// Everything a device is told is kept on the CPU; GL objects (the
// framebuffer, textures, vertex buffers) are made when a scene is drawn,
// under the host's context. When the host's context is replaced, every GL
// object made under the old one counts as lost: surfaces say so through
// IsLost and are made again after Restore; textures and vertex buffers are
// uploaded again from their CPU copies.
//
// Approximations of the fixed-function mapping:
//   - lights: at most eight; parallel-point lights are point lights; a
//     light's attenuation a0 + a1 n + a2 n^2 (n the normalised distance, 1 at
//     the light and 0 at its range) is taken once per draw, at the origin of
//     the object drawn, not per vertex; a spot's cone is its outer angle with
//     a falloff exponent (no inner cone);
//   - texture stages: every stage reads coordinate set 0; ADDSMOOTH is ADD,
//     the BLEND*ALPHA operations interpolate by the alpha named, PREMODULATE
//     and the MODULATEALPHA/MODULATECOLOR operations are MODULATE,
//     BUMPENVMAP and BUMPENVMAPLUMINANCE pass the previous colour on, and the
//     SPECULAR argument reads the primary colour;
//   - WRAPn (cylindrical interpolation across the seam) is kept but has no
//     effect; TEXTUREPERSPECTIVE is always on.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/Display.h"

// What the back end needs of the context's owner.
class IGLContextHost {
 public:
  virtual ~IGLContextHost() = default;
  // Makes the drawing context current; false while there is none.
  virtual bool MakeCurrent() = 0;
  // Changes whenever the context is replaced; GL objects made under another
  // number are gone.
  virtual unsigned ContextGeneration() const = 0;
  // The framebuffer that shows the window, and its size in pixels. False
  // when frames are only drawn off-screen.
  virtual bool GetTarget(unsigned* framebuffer, int* width, int* height) = 0;
  // A frame has been copied into the target.
  virtual void FramePresented() {}
};

// What the back end and its objects share: the host and the GL names that
// are to be deleted the next time the context is current.
struct GLShared {
  IGLContextHost* host = nullptr;
  std::vector<unsigned> deadBuffers;
  std::vector<unsigned> deadTextures;
  std::vector<unsigned> deadFramebuffers;
  std::vector<unsigned> deadRenderbuffers;
  std::map<DWORD, D3DMATERIAL> materials;
  // The lights of the first viewport light every window drawn.
  std::vector<std::shared_ptr<IDisplayLight>> lights;
  DWORD nextMaterial = 1;
  unsigned Generation() const { return host ? host->ContextGeneration() : 0; }
  // Deletes what was given up under the current context (call with it
  // current).
  void Collect();
};

class GLDisplaySurface : public IDisplaySurface {
 public:
  GLDisplaySurface(std::shared_ptr<GLShared> shared, const DisplaySurfaceDesc& desc);
  ~GLDisplaySurface() override;
  const DisplaySurfaceDesc& GetSurfaceDesc() const override { return m_Desc; }
  bool IsLost() const override;
  HRESULT Restore() override;
  HRESULT ColorFill(D3DCOLOR colour) override;
  HRESULT AddAttachedSurface(const std::shared_ptr<IDisplaySurface>& surface) override;
  HRESULT DeleteAttachedSurface(const IDisplaySurface* surface) override;
  std::shared_ptr<IDisplaySurface> GetAttachedSurface() const override { return m_Attached; }
  HRESULT SetClipper(const std::shared_ptr<IDisplayClipper>& clipper) override;

  // Render targets: makes the framebuffer (with the attached depth buffer)
  // when it does not exist yet and binds it. Needs the context current.
  bool Bind();
  unsigned Framebuffer() const { return m_Framebuffer; }
  DWORD Width() const { return m_Desc.width; }
  DWORD Height() const { return m_Desc.height; }
  unsigned Renderbuffer() const { return m_Renderbuffer; }

 private:
  void Forget();
  void GiveUp();

  std::shared_ptr<GLShared> m_Shared;
  DisplaySurfaceDesc m_Desc;
  unsigned m_Framebuffer = 0;
  unsigned m_Renderbuffer = 0;
  unsigned m_Generation = 0;
  bool m_Made = false;
  std::shared_ptr<IDisplaySurface> m_Attached;
  std::shared_ptr<IDisplayClipper> m_Clipper;
};

class GLDisplayClipper : public IDisplayClipper {
 public:
  HRESULT SetHWnd(CWnd* window) override {
    m_Window = window;
    return S_OK;
  }
  CWnd* GetHWnd() const override { return m_Window; }

 private:
  CWnd* m_Window = nullptr;
};

class GLDisplayLight : public IDisplayLight {
 public:
  HRESULT SetLight(const D3DLIGHT2& light) override {
    m_Record = light;
    return S_OK;
  }
  HRESULT GetLight(D3DLIGHT2& light) const override {
    light = m_Record;
    return S_OK;
  }

 private:
  D3DLIGHT2 m_Record;
};

class GLDisplayVertexBuffer : public IDisplayVertexBuffer {
 public:
  GLDisplayVertexBuffer(std::shared_ptr<GLShared> shared, const D3DVERTEXBUFFERDESC& desc);
  ~GLDisplayVertexBuffer() override;
  HRESULT Lock(DWORD flags, void** data, DWORD* size) override;
  HRESULT Unlock() override;
  const D3DVERTEXBUFFERDESC& GetDesc() const override { return m_Desc; }
  // Binds the GL buffer, uploading the vertices when they changed or the
  // context is new. Needs the context current.
  void Bind();

 private:
  std::shared_ptr<GLShared> m_Shared;
  D3DVERTEXBUFFERDESC m_Desc;
  std::vector<BYTE> m_Data;
  unsigned m_Buffer = 0;
  unsigned m_Generation = 0;
  bool m_Dirty = true;
  bool m_Locked = false;
};

class GLDisplayDevice : public IDisplayDevice {
 public:
  GLDisplayDevice(std::shared_ptr<GLShared> shared, std::shared_ptr<GLDisplaySurface> target, CWnd* window = nullptr);
  ~GLDisplayDevice() override;
  HRESULT Clear(D3DCOLOR colour) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  HRESULT AddViewport() override { return S_OK; }
  HRESULT SetViewport2(const D3DVIEWPORT2& viewport) override;
  HRESULT SetCurrentViewport() override { return S_OK; }
  HRESULT Clear2(const CRect& rect, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override;
  HRESULT AddLight(const std::shared_ptr<IDisplayLight>& light) override;
  HRESULT DeleteLight(const IDisplayLight* light) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;
  HRESULT CreateMaterial(DWORD* material) override;
  HRESULT ReleaseMaterial(DWORD material) override;
  HRESULT SetMaterial(DWORD material, const D3DMATERIAL& record) override;
  HRESULT GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) override;
  HRESULT SetLightState(DWORD state, DWORD value) override;
  HRESULT SetBackground(D3DMATERIALHANDLE handle) override;
  HRESULT CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD flags,
                             std::unique_ptr<IDisplayVertexBuffer>& buffer) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
  HRESULT SetTexture(DWORD stage, const TextureImage* image) override;
  HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDisplayVertexBuffer* buffer, const unsigned short* indices,
                                 DWORD count, DWORD flags) override;

  // The render target's pixels as 0xAARRGGBB, top row first (for tests and
  // off-screen use). Needs the context.
  HRESULT ReadPixels(std::vector<uint32_t>& pixels, DWORD* width, DWORD* height);
  // How many textures were uploaded to GL so far.
  int TextureUploads() const { return m_TextureUploads; }

 private:
  struct TextureEntry {
    unsigned name = 0;
    uint64_t hash = 0;
    unsigned generation = 0;
    bool alpha = false;
  };
  void ApplyFrameState();
  void ApplyTextureStages(GLDisplayVertexBuffer* buffer);
  // The GL texture of an image, uploaded when new or changed; 0 when the
  // image cannot be used.
  unsigned TextureName(const TextureImage* image);

  std::shared_ptr<GLShared> m_Shared;
  std::shared_ptr<GLDisplaySurface> m_Target;
  CWnd* m_Window;
  D3DVIEWPORT2 m_Viewport;
  bool m_Drawing = false;  // inside a scene with the context current
  D3DMATRIX m_World, m_View, m_Projection;
  std::map<int, DWORD> m_RenderStates;
  std::map<DWORD, DWORD> m_LightStates;
  DWORD m_StageStates[D3DDP_MAXTEXCOORD][32] = {};
  const TextureImage* m_Textures[D3DDP_MAXTEXCOORD] = {};
  std::map<const TextureImage*, TextureEntry> m_TextureCache;
  // Index lists uploaded into element buffers, by the address the caller
  // passes them from, checked against their contents on every draw;
  // entries unused for a while are given up.
  struct IndexEntry {
    unsigned name = 0;
    DWORD count = 0;
    uint64_t hash = 0;
    unsigned generation = 0;
    uint64_t lastFrame = 0;
  };
  std::map<const unsigned short*, IndexEntry> m_IndexCache;
  uint64_t m_Frame = 0;
  D3DMATERIALHANDLE m_Background = 0;
  int m_TextureUploads = 0;
};

// One device (the display), with a hardware and a software driver that
// both draw through the host's context.
class GLDisplaySystem : public IDisplaySystem {
 public:
  explicit GLDisplaySystem(IGLContextHost* host = nullptr);
  // The window that provides the context, once it exists.
  void SetContextHost(IGLContextHost* host) { m_Shared->host = host; }
  IGLContextHost* ContextHost() const { return m_Shared->host; }
  // The desktop's depth and size, as the windowing system tells them.
  void SetDisplayMetrics(int bitsPerPixel, int width, int height) {
    m_Bits = bitsPerPixel;
    m_Width = width;
    m_Height = height;
  }

  HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) override;
  HRESULT Open(const DisplayDeviceDesc& device) override { return S_OK; }
  void Close() override {}
  HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) override;
  HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) override;
  HRESULT EnumerateDrivers(const DisplayDeviceDesc& device, std::vector<DisplayDriverDesc>& drivers) override;
  HRESULT EnumerateModes(const DisplayDeviceDesc& device, std::vector<DisplayModeDesc>& modes) override;
  HRESULT EnumerateTextureFormats(std::vector<DDPIXELFORMAT>& formats) override;
  void GetDisplayMetrics(int* bitsPerPixel, int* width, int* height) override;
  HRESULT CreateSurface(const DisplaySurfaceDesc& desc, std::shared_ptr<IDisplaySurface>& surface) override;
  HRESULT CreateClipper(std::shared_ptr<IDisplayClipper>& clipper) override;
  HRESULT CreateRenderDevice(CWnd* window, const GUID& driver, const std::shared_ptr<IDisplaySurface>& renderTarget,
                             std::unique_ptr<IDisplayDevice>& device) override;

 private:
  std::shared_ptr<GLShared> m_Shared = std::make_shared<GLShared>();
  int m_Bits = 32;
  int m_Width = 1024;
  int m_Height = 768;
};
