// The engine's render windows: attaching, rebuilding and releasing their
// surfaces and devices, and drawing a frame into them.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "engine/RenderEngine.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"

namespace {
// Clears the render guard on every way out of Render.
struct GuardScope {
  int& guard;
  explicit GuardScope(int& g) : guard(g) { guard = 1; }
  ~GuardScope() { guard = 0; }
};

// An ambient component on the 0 to 255 scale as a byte: truncated, and held
// within the byte so that it never spills into the next channel.
DWORD AmbientByte(float v) {
  if (!(v > 0.0f)) return 0;
  return v >= 255.0f ? 255u : static_cast<DWORD>(v);
}
}  // namespace

HRESULT CRenderEngine::Init_RenderEngine(CWnd* window) {
  if (!m_DisplayOpen || !m_CurrentDevice) return E_FAIL;
  // There is no stand-alone output window here: the application always
  // gives the window to render into.
  if (!window) return E_FAIL;
  auto* record = new CWindowDirectXDevice;
  record->m_Window = window;
  const bool first = m_Windows == nullptr;
  if (first) {
    m_Primary.reset();
    m_Clipper.reset();
  }
  CWindowDirectXDevice** tail = &m_Windows;
  while (*tail) tail = &(*tail)->m_Next;
  *tail = record;

  if (first) {
    const DWORD extra = (m_Flags & DDSCL_FULLSCREEN) ? DDSCL_ALLOWREBOOT : DDSCL_FPUSETUP;
    HRESULT hr = m_Display->SetCooperativeLevel(window, m_Flags | extra);
    if (FAILED(hr)) {
      ReportError(hr, "");
      return hr;
    }
    CreateWindowIndependantStuff();
    record->m_FogWindow = 1;
    record->m_RenderEnabled = 1;
  }
  HRESULT hr = RebuildRenderOutputWindow(window, first ? 1 : 0);
  if (FAILED(hr)) return hr;
  // The first camera comes once the viewport exists, so it takes its zoom.
  if (!CreateCamera(window)) return E_FAIL;

  if (first && !m_DefaultObjectMaterial) {
    CMaterial* material = CreateMaterial();
    if (!material) return E_FAIL;
    material->SetLogUndoAction(FALSE);
    material->SetName("Object_Default");
    material->SetPower(10.0f);
    material->SetLogUndoAction(TRUE);
    material->AddRef();  // the engine's own reference
    m_DefaultObjectMaterial = material;
  }
  if (first && !m_Background) {
    CTexture* background = CreateTexture();
    if (!background) return E_FAIL;
    background->SetLogUndoAction(FALSE);
    background->SetDiffuse(0, 0, 0);
    background->SetName("Background");
    background->SetLogUndoAction(TRUE);
    m_Background = background;
  }
  ComputeIsometricMatrices();
  return S_OK;
}

void CRenderEngine::ReleaseWindowOutput(CWindowDirectXDevice* record) {
  record->m_Viewport = false;
  record->m_Device.reset();
  if (record->m_ZBuffer) {
    if (record->m_RenderTarget) record->m_RenderTarget->DeleteAttachedSurface(record->m_ZBuffer.get());
    record->m_ZBuffer.reset();
  }
  // The old render target goes too: every rebuild makes a new one.
  record->m_RenderTarget.reset();
}

HRESULT CRenderEngine::Release_RenderEngine(CWnd* window) {
  for (CWindowDirectXDevice** link = &m_Windows; *link; link = &(*link)->m_Next) {
    if ((*link)->m_Window != window) continue;
    CWindowDirectXDevice* record = *link;
    const bool first = record == m_Windows;
    // The lights hang on the first viewport: take them off before it goes.
    if (first)
      for (SimpleNode<CLight>* n = m_Lights.Head(); n; n = n->Next())
        if (n->Node()) n->Node()->RemoveFromViewport();
    ReleaseAllCameras(window);
    ReleaseWindowOutput(record);
    *link = record->m_Next;
    delete record;
    // The primary surface and the clipper serve every window: they go with
    // the last one. The clipper has one owner, the engine; dropping it here
    // is its only release.
    if (!m_Windows) {
      ReleaseWindowIndependantStuff();
      m_Clipper.reset();
    }
    if (first && m_Windows) RecreateLights();
    return S_OK;
  }
  return E_FAIL;
}

HRESULT CRenderEngine::CreateWindowIndependantStuff() {
  DisplaySurfaceDesc desc;
  desc.caps = DDSCAPS_PRIMARYSURFACE;
  HRESULT hr = m_Display->CreateSurface(desc, m_Primary);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  hr = m_Display->CreateClipper(m_Clipper);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  hr = m_Clipper->SetHWnd(m_RenderParent ? m_RenderParent : (m_Windows ? m_Windows->m_Window : nullptr));
  if (SUCCEEDED(hr)) hr = m_Primary->SetClipper(m_Clipper);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  return S_OK;
}

HRESULT CRenderEngine::ReleaseWindowIndependantStuff() {
  m_Primary.reset();
  return S_OK;
}

HRESULT CRenderEngine::RebuildRenderOutputWindow(CWnd* window, int rebuildAll) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!window || !record) return E_FAIL;
  // A device without a driver (or none at all) has nothing to build with.
  CDeviceInfo* device = m_CurrentDevice;
  if (!device || !device->Get_CurrentDriver()) return E_FAIL;
  if (m_Flags & DDSCL_FULLSCREEN) return E_NOTIMPL;  // full-screen operation is not offered

  ReleaseWindowIndependantStuff();
  CreateWindowIndependantStuff();
  if (rebuildAll)
    for (SimpleNode<CLight>* n = m_Lights.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->RemoveFromViewport();
  ReleaseWindowOutput(record);

  CRect rect = window->GetClientRect();
  if (rect.Width() == 0) rect.right = rect.left + 10;
  if (rect.Height() == 0) rect.bottom = rect.top + 10;
  record->m_OutputRect = rect;
  if (record == m_Windows) m_OutputRect = rect;
  const DWORD width = static_cast<DWORD>(std::abs(rect.Width()));
  const DWORD height = static_cast<DWORD>(std::abs(rect.Height()));
  const bool hardware = device->Get_CurrentDriver()->Is_Hardware();
  const DWORD memory = hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;

  DisplaySurfaceDesc target;
  target.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | memory;
  target.width = width;
  target.height = height;
  HRESULT hr = m_Display->CreateSurface(target, record->m_RenderTarget);
  if (FAILED(hr)) {
    target.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    hr = m_Display->CreateSurface(target, record->m_RenderTarget);
    if (FAILED(hr)) {
      ReportError(hr, "");
      return hr;
    }
  }

  CZBufferInfo* z = device->GetZBufferFormat();
  if (z && !(device->Get_CurrentDriver()->GetTriangleRasterCaps() & D3DPRASTERCAPS_ZBUFFERLESSHSR)) {
    DisplaySurfaceDesc depth;
    depth.caps = DDSCAPS_ZBUFFER | memory;
    depth.width = width;
    depth.height = height;
    depth.pixelFormat = z->GetPixelFormat();
    depth.pixelFormat.dwSize = 32;
    hr = m_Display->CreateSurface(depth, record->m_ZBuffer);
    if (FAILED(hr)) {
      depth.caps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
      hr = m_Display->CreateSurface(depth, record->m_ZBuffer);
      if (FAILED(hr)) ReportError(hr, "");
    }
    if (record->m_ZBuffer) {
      hr = record->m_RenderTarget->AddAttachedSurface(record->m_ZBuffer);
      if (FAILED(hr)) {
        ReportError(hr, "");
        return hr;
      }
    }
  }

  hr = ClearSurfaces();
  if (FAILED(hr)) return hr;

  hr = m_Display->CreateRenderDevice(window, device->Get_CurrentDriver()->Get_GUID(), record->m_RenderTarget,
                                     record->m_Device);
  if (FAILED(hr) && device->GetSoftwareDriver()) {
    hr = m_Display->CreateRenderDevice(window, device->GetSoftwareDriver()->Get_GUID(), record->m_RenderTarget,
                                       record->m_Device);
    if (SUCCEEDED(hr)) device->Set_CurrentDriver(device->GetSoftwareDriver());
  }
  if (FAILED(hr) || !record->m_Device) {
    record->m_Device.reset();
    ReportError("Can not create D3DDevice");
    return FAILED(hr) ? hr : E_FAIL;
  }
  hr = record->m_Device->AddViewport();
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  record->m_Viewport = true;

  hr = UpdateViewport(window);
  if (FAILED(hr)) return hr;
  hr = record->m_Device->BeginScene();
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  if (rebuildAll) {
    for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->Create();
    for (SimpleNode<CFuncture>* n = m_Functures.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->Create();
    for (SimpleNode<CMaterial>* n = m_Materials.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->Create();
    if (record == m_Windows) RecreateLights();
  }
  hr = RestoreSurfaces();
  if (FAILED(hr)) {
    record->m_Device->EndScene();
    return hr;
  }
  hr = record->m_Device->EndScene();
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  return S_OK;
}

HRESULT CRenderEngine::UpdateViewport(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record || !record->m_Device || !record->m_Viewport) {
    ReportError(CO_E_NOTINITIALIZED, "");
    return CO_E_NOTINITIALIZED;
  }
  const float w = static_cast<float>(std::abs(record->m_OutputRect.Width()));
  const float h = static_cast<float>(std::abs(record->m_OutputRect.Height()));
  const float a = w != 0.0f ? h / w : 1.0f;
  D3DVIEWPORT2 v;
  v.dwX = 0;
  v.dwY = 0;
  v.dwWidth = static_cast<DWORD>(w);
  v.dwHeight = static_cast<DWORD>(h);
  v.dvClipX = -1.0f;
  v.dvClipY = a;
  v.dvClipWidth = 2.0f;
  v.dvClipHeight = 2.0f * a;
  v.dvMinZ = 0.0f;
  v.dvMaxZ = 1.0f;
  HRESULT hr = record->m_Device->SetViewport2(v);
  if (SUCCEEDED(hr)) hr = record->m_Device->SetCurrentViewport();
  if (FAILED(hr)) ReportError(hr, "");
  return hr;
}

HRESULT CRenderEngine::ClearSurfaces() {
  // Only the program's own render targets are filled. In windowed operation
  // the primary surface is the whole desktop, which is not ours to clear.
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next) {
    if (!w->m_RenderTarget) continue;
    HRESULT hr = w->m_RenderTarget->ColorFill(0);
    if (FAILED(hr)) {
      ReportError(hr, "");
      return hr;
    }
  }
  return S_OK;
}

HRESULT CRenderEngine::RestoreSurfaces() {
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next) {
    if (!m_Primary) return E_FAIL;
    for (IDisplaySurface* s : {m_Primary.get(), w->m_RenderTarget.get(), w->m_ZBuffer.get()}) {
      if (!s || !s->IsLost()) continue;
      HRESULT hr = s->Restore();
      if (FAILED(hr)) {
        ReportError(hr, "");
        return hr;
      }
    }
  }
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next())
    if (n->Node()) n->Node()->RestoreSurfaces();
  for (SimpleNode<CFuncture>* n = m_Functures.Head(); n; n = n->Next())
    if (n->Node()) n->Node()->RestoreSurfaces();
  return S_OK;
}

void CRenderEngine::StopRenderTimer() {
  if (m_RenderView) m_RenderView->StopTimer();
}

void CRenderEngine::RenderPass(int alphaPass) {
  std::vector<CFrameObject*> items;
  IHost* host = GetHost();
  if (!host || !host->GetLoadedObjects(items)) {
    // No application list: the engine's own top-level meshes.
    std::unordered_set<const CMeshObject*> children;
    for (SimpleNode<CMeshObject>* n = m_Objects.Head(); n; n = n->Next())
      if (n->Node())
        for (SimpleNode<CMeshObject>* c = n->Node()->ChildList().Head(); c; c = c->Next()) children.insert(c->Node());
    for (SimpleNode<CMeshObject>* n = m_Objects.Head(); n; n = n->Next())
      if (n->Node() && !children.count(n->Node())) items.push_back(n->Node());
  }
  for (CFrameObject* item : items) {
    auto* mesh = dynamic_cast<CMeshObject*>(item);
    if (!mesh) continue;
    try {
      if (mesh->Render(alphaPass) < 0) break;
    } catch (...) {
      // One mesh's failure does not end the pass.
    }
  }
}

HRESULT CRenderEngine::RenderWindow(CWindowDirectXDevice* record) {
  IDisplayDevice* device = record->m_Device.get();
  Camera* camera = GetCurrentCamera(record->m_Window);
  if (!camera) return S_OK;  // nothing to look through: the window is skipped
  HRESULT hr = camera->Calculate_ProjectionMatrix();
  if (hr >= 0) hr = camera->Calculate_ViewMatrix();
  if (hr < 0) return hr;

  hr = device->SetTransform(D3DTRANSFORMSTATE_VIEW, camera->GetViewMatrix());
  if (SUCCEEDED(hr)) hr = device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, camera->GetProjectionMatrix());
  if (FAILED(hr)) {
    ReportError(hr, "");
    StopRenderTimer();
    return hr;
  }
  if (m_Background) {
    hr = m_Background->SetAsBackground();
    if (FAILED(hr)) {
      StopRenderTimer();
      ReportError(hr, "");
    }
  }
  const DWORD ambient = m_AmbientOn ? 0xFF000000u | AmbientByte(m_Ambient[0]) << 16 | AmbientByte(m_Ambient[1]) << 8 |
                                          AmbientByte(m_Ambient[2])
                                    : 0u;
  device->SetLightState(D3DLIGHTSTATE_AMBIENT, ambient);
  if (m_FogEnable && record->m_FogWindow == 1) {
    device->SetLightState(D3DLIGHTSTATE_AMBIENT, 0);
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    device->SetLightState(D3DLIGHTSTATE_FOGMODE, static_cast<DWORD>(m_FogType));
    device->SetLightState(D3DLIGHTSTATE_FOGSTART, FLOATtoDWORD(std::trunc(m_FogStart)));
    device->SetLightState(D3DLIGHTSTATE_FOGEND, FLOATtoDWORD(std::trunc(m_FogEnd)));
    device->SetLightState(D3DLIGHTSTATE_FOGDENSITY, FLOATtoDWORD(m_FogDensity));
    device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, m_FogColor);
  } else {
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
  }
  const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {{D3DRENDERSTATE_SPECULARENABLE, 1},
                                                         {D3DRENDERSTATE_DITHERENABLE, 1},
                                                         {D3DRENDERSTATE_ZFUNC, D3DCMP_LESS},
                                                         {D3DRENDERSTATE_ZENABLE, 1}};
  for (const auto& [state, value] : states) {
    hr = device->SetRenderState(state, value);
    if (FAILED(hr)) ReportError(hr, "");
  }

  hr = device->BeginScene();
  if (hr == DDERR_SURFACELOST) {
    RestoreSurfaces();
  } else if (FAILED(hr)) {
    ReportError(hr, "");
    StopRenderTimer();
    return hr;
  }
  hr = device->Clear2(record->m_OutputRect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  if (FAILED(hr)) {
    device->EndScene();
    ReportError(hr, "");
    StopRenderTimer();
    return hr;
  }
  RenderPass(0);
  RenderPass(1);
  hr = device->EndScene();
  if (hr == DDERR_SURFACELOST) {
    RestoreSurfaces();
  } else if (FAILED(hr)) {
    ReportError(hr, "");
    StopRenderTimer();
    return hr;
  }

  if (m_Clipper) {
    hr = m_Clipper->SetHWnd(record->m_Window);
    if (FAILED(hr)) {
      ReportError(hr, "");
      return hr;
    }
  }
  hr = device->Present();
  if (hr == DDERR_SURFACELOST) {
    RestoreSurfaces();
    return S_OK;
  }
  if (FAILED(hr)) {
    ReportError(hr, "");
    StopRenderTimer();
    return hr;
  }
  return S_OK;
}

HRESULT CRenderEngine::Render() {
  if (!IsRunning() || m_RenderGuard) return 0;
  GuardScope guard(m_RenderGuard);
  // Functures step on timer frames and draw on every frame once they can
  // (their image transforms are not run here yet).
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next) {
    if (w->m_RenderEnabled != 1) continue;
    // A window whose rebuild failed has no device or viewport: it is
    // skipped, and the next resize tries the rebuild again.
    if (!w->m_Device || !w->m_Viewport) continue;
    m_DrawingWindow = w;
    HRESULT hr = RenderWindow(w);
    m_DrawingWindow = nullptr;
    if (FAILED(hr)) return hr;
  }
  return 0;
}
