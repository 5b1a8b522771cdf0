#include "engine/RenderEngine.h"

#include <cmath>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/ErrorTable.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"

// ---------------------------------------------------------------------------
// Progress_Window

Progress_Window::Progress_Window() {
  if (IHost* host = GetHost()) host->ProgressSetRange(0, 100);
  ShowWindow(SW_SHOW);
}

void Progress_Window::ShowWindow(int command) {
  m_Visible = command == SW_SHOW;
  if (IHost* host = GetHost()) host->ProgressShow(m_Visible);
}

void Progress_Window::SetMax(LONG max) {
  if (IHost* host = GetHost()) host->ProgressSetRange(0, max);
}

void Progress_Window::SetCurrent(LONG current) {
  if (IHost* host = GetHost()) host->ProgressSetPos(current);
}

void Progress_Window::Reset() { SetCurrent(0); }

void Progress_Window::Clear() {
  SetCurrent(0);
  if (IHost* host = GetHost()) host->ProgressSetMessage(CString());
}

void Progress_Window::SetMessage(const CString& text, CFrameObject* item) {
  if (IHost* host = GetHost()) host->ProgressSetMessage(item ? item->GetName() + ": " + text : text);
}

// ---------------------------------------------------------------------------
// Construction and teardown

CRenderEngine::CRenderEngine(DWORD flags, std::unique_ptr<IDisplaySystem> display)
    : m_Flags(flags), m_Display(display ? std::move(display) : std::make_unique<NullDisplaySystem>()) {
  AddSearchPath("..");
  m_VideoDriverCount = 0;
  // The isometric projections do not depend on a window; compute them now so
  // that the editing views work before (or without) a render window.
  ComputeIsometricMatrices();

  EnumD3DDevices();
  // No device with the primary display's identifier, or none with a
  // driver: the engine runs without display objects.
  if (FAILED(ChooseDevice()) || !m_CurrentDevice) return;
  HRESULT hr = m_Display->Open(m_CurrentDevice->GetDesc());
  if (FAILED(hr)) {
    ReportError(hr, "");
    return;
  }
  m_DisplayOpen = true;
}

CRenderEngine::~CRenderEngine() {
  m_Progress.reset();
  m_ProgressNesting = 0;

  ReleaseAllObjects();
  ReleaseAllMaterials();
  ReleaseAllTextures();
  ReleaseAllFunctures();
  m_Devices.Clean();
  ReleaseAllAnimations();
  ReleaseAllLights();
  ReleaseAllPaths();
  CleanSearchPathList();
  ReleaseWindows();
  if (m_DisplayOpen) {
    m_Display->Close();
    m_DisplayOpen = false;
  }
}

void CRenderEngine::ReleaseWindows() {
  while (CWindowDirectXDevice* w = m_Windows) {
    m_Windows = w->m_Next;
    w->m_Cameras.Clean();
    w->m_CurrentCamera = -1;
    ReleaseWindowOutput(w);
    delete w;
  }
  m_Primary.reset();
  m_Clipper.reset();
}

// ---------------------------------------------------------------------------
// Creation

namespace {
// Allocates an item; an allocation failure gives null.
template <class T, class... Args>
T* NewItem(Args&&... args) {
  try {
    return new T(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
}  // namespace

CMeshObject* CRenderEngine::CreateObject() {
  CMeshObject* mesh = NewItem<CMeshObject>(this);
  if (!mesh) {
    HostMessageBox("Can not create Object.");
    return nullptr;
  }
  m_Objects.AddBottom(mesh);
  return mesh;
}

CMeshObject* CRenderEngine::CreateObject(CMeshObject& source) {
  CMeshObject* mesh = NewItem<CMeshObject>(source);
  if (!mesh) {
    HostMessageBox("Can not create Object.");
    return nullptr;
  }
  m_Objects.AddBottom(mesh);
  return mesh;
}

CMeshObject* CRenderEngine::CreateObject(const CString& file) {
  CMeshObject* mesh = CreateObject();
  if (mesh) mesh->Load(file);  // a file that cannot be read leaves an empty mesh
  return mesh;
}

CLight* CRenderEngine::CreateLight(D3DLIGHTTYPE type) {
  CLight* light = nullptr;
  switch (type) {
    case D3DLIGHT_POINT: light = NewItem<CPointLight>(this); break;
    case D3DLIGHT_SPOT: light = NewItem<CSpotLight>(this); break;
    case D3DLIGHT_DIRECTIONAL: light = NewItem<CDirectionalLight>(this); break;
    case D3DLIGHT_PARALLELPOINT: light = NewItem<CParallelPointLight>(this); break;
    default: break;
  }
  if (!light) {
    HostMessageBox("Can not create light.");
    return nullptr;
  }
  m_Lights.AddBottom(light);
  return light;
}

CPath* CRenderEngine::CreatePath() {
  CPath* path = NewItem<CPath>(this);
  if (!path) {
    HostMessageBox("Can not create Path.");
    return nullptr;
  }
  m_Paths.AddBottom(path);
  return path;
}

CMaterial* CRenderEngine::CreateMaterial() {
  CMaterial* material = NewItem<CMaterial>(this);
  if (!material) {
    HostMessageBox("Can not create material.");
    return nullptr;
  }
  m_Materials.AddBottom(material);
  return material;
}

CTexture* CRenderEngine::CreateTexture() {
  CTexture* texture = NewItem<CTexture>(this);
  if (!texture) {
    HostMessageBox("Can not create texture.");
    return nullptr;
  }
  m_Textures.AddBottom(texture);
  return texture;
}

CTexture* CRenderEngine::CreateTexture(CTexture& source) {
  CTexture* texture = NewItem<CTexture>(source);
  if (!texture) {
    HostMessageBox("Can not create texture.");
    return nullptr;
  }
  m_Textures.AddBottom(texture);
  return texture;
}

CTexture* CRenderEngine::CreateTexture(const CString& file) {
  CTexture* texture = CreateTexture();
  if (texture) texture->LoadBitMap(file);  // an unreadable file leaves an empty texture
  return texture;
}

CFuncture* CRenderEngine::CreateFuncture() {
  CFuncture* functure = NewItem<CFuncture>(this);
  if (!functure) {
    HostMessageBox("Can not create functure.");
    return nullptr;
  }
  m_Functures.AddBottom(functure);
  return functure;
}

CFuncture* CRenderEngine::CreateFuncture(const CString& file) {
  CFuncture* functure = CreateFuncture();
  if (functure) functure->LoadBitMap(file);
  return functure;
}

CAnimation* CRenderEngine::CreateAnimation(CMeshObject* mesh) {
  CAnimation* animation = NewItem<CAnimation>(this, mesh);
  if (!animation) {
    HostMessageBox("Can not create animation.");
    return nullptr;
  }
  m_Animations.AddBottom(animation);
  return animation;
}

// ---------------------------------------------------------------------------
// Release

// The shared pattern: a node with two or more references gives one back and
// stays; otherwise it is unlinked and released. Returns the first item left.
template <class T>
T* CRenderEngine::ReleaseFromList(SimpleList<T>& list, T* item) {
  list.GoTop();
  if (SimpleNode<T>* node = list.Find(item)) list.Remove(node);
  SimpleNode<T>* head = list.GoTop();
  return head ? head->Node() : nullptr;
}

CLight* CRenderEngine::ReleaseLight(CLight* light) { return ReleaseFromList(m_Lights, light); }
CPath* CRenderEngine::ReleasePath(CPath* path) { return ReleaseFromList(m_Paths, path); }
CAnimation* CRenderEngine::ReleaseAnimation(CAnimation* a) { return ReleaseFromList(m_Animations, a); }

// The default material survives its list link through the engine's own
// reference, which only ReleaseAllMaterials gives back.
CMaterial* CRenderEngine::ReleaseMaterial(CMaterial* material) { return ReleaseFromList(m_Materials, material); }

void CRenderEngine::RemoveStageLinks(CTexture* texture) {
  for (SimpleNode<CTexture>* n = m_Textures.GoTop(); n; n = n->Next())
    if (n->Node()) n->Node()->UnlinkStageTexture(texture);
  for (SimpleNode<CFuncture>* n = m_Functures.GoTop(); n; n = n->Next())
    if (n->Node()) n->Node()->UnlinkStageTexture(texture);
}

CTexture* CRenderEngine::ReleaseTexture(CTexture& texture) {
  if (m_Textures.Find(&texture)) RemoveStageLinks(&texture);
  if (&texture == m_Background) {
    // The engine holds no reference of its own on the background: forget it
    // when this release is its last.
    SimpleNode<CTexture>* node = m_Textures.Find(&texture);
    if (node && node->RefCount() < 2 && texture.RefCount() <= 1) m_Background = nullptr;
  }
  return ReleaseFromList(m_Textures, &texture);
}

CTexture* CRenderEngine::GetTexture(unsigned long index) {
  if (index > static_cast<unsigned long>(m_Textures.Count())) return nullptr;
  SimpleNode<CTexture>* node = m_Textures.GetAt(static_cast<long>(index));
  return node ? node->Node() : nullptr;
}

CTexture* CRenderEngine::ReleaseTexture(unsigned long index) {
  CTexture* texture = GetTexture(index);
  if (!texture) return nullptr;
  return ReleaseTexture(*texture);
}

CFuncture* CRenderEngine::ReleaseFuncture(CFuncture& functure) {
  // A functure is a texture and could sit in a stage slot; do not leave a
  // dangling stage link behind.
  if (m_Functures.Find(&functure)) RemoveStageLinks(&functure);
  return ReleaseFromList(m_Functures, &functure);
}

CFuncture* CRenderEngine::GetFuncture(unsigned long index) {
  if (index > static_cast<unsigned long>(m_Functures.Count())) return nullptr;
  SimpleNode<CFuncture>* node = m_Functures.GetAt(static_cast<long>(index));
  return node ? node->Node() : nullptr;
}

CFuncture* CRenderEngine::ReleaseFuncture(unsigned long index) {
  CFuncture* functure = GetFuncture(index);
  if (!functure) return nullptr;
  return ReleaseFuncture(*functure);
}

CMeshObject* CRenderEngine::ReleaseObject(CMeshObject* object, int unlinkFromParents) {
  m_Objects.GoTop();
  SimpleNode<CMeshObject>* node = m_Objects.Find(object);
  if (!node) {
    SimpleNode<CMeshObject>* head = m_Objects.GoTop();
    return head ? head->Node() : nullptr;
  }

  // Keep the object alive while we work on it.
  object->AddRef();

  if (unlinkFromParents == 1) {
    bool removed = true;
    while (removed) {
      removed = false;
      for (SimpleNode<CMeshObject>* n = m_Objects.GoTop(); n; n = n->Next()) {
        CMeshObject* parent = n->Node();
        if (parent && parent != object && parent->ChildList().Find(object)) {
          parent->ChildList().Remove(object);
          removed = true;
          break;  // start again from the head
        }
      }
    }
  }

  // The subtree leaves the scene only when the object itself is unlinked; a
  // mesh that survives this release keeps its children registered.
  node = m_Objects.Find(object);
  if (node && node->RefCount() < 2) {
    std::vector<CMeshObject*> children;
    for (SimpleNode<CMeshObject>* c = object->ChildList().GoTop(); c; c = c->Next())
      if (c->Node()) children.push_back(c->Node());
    for (CMeshObject* child : children) ReleaseObject(child, 0);
  }

  node = m_Objects.Find(object);
  if (node && node->RefCount() < 2) ForgetTrackedMesh(object);
  CMeshObject* first = ReleaseFromList(m_Objects, object);
  object->Release();
  return first;
}

void CRenderEngine::ReleaseAllObjects() {
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next)
    for (SimpleNode<Camera>* n = w->m_Cameras.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->SetTrackObject(nullptr);
  m_Objects.Clean();
}
void CRenderEngine::ReleaseAllLights() { m_Lights.Clean(); }
void CRenderEngine::ReleaseAllPaths() { m_Paths.Clean(); }
void CRenderEngine::ReleaseAllAnimations() { m_Animations.Clean(); }
void CRenderEngine::ReleaseAllFunctures() { m_Functures.Clean(); }

void CRenderEngine::ReleaseAllMaterials() {
  if (CMaterial* m = m_DefaultObjectMaterial) {
    m_DefaultObjectMaterial = nullptr;
    m->Release();
  }
  m_Materials.Clean();
}

void CRenderEngine::ReleaseAllTextures() {
  m_Background = nullptr;
  m_Textures.Clean();
}

// ---------------------------------------------------------------------------
// Search paths

HRESULT CRenderEngine::AddSearchPath(const CString& path) {
  CString p = ToNativeSeparators(path);
  if (p != "..") {
    if (p.empty() || p.back() != '/') p += '/';
  }
  if (p.empty() || p[0] != '.') {
    size_t last = p.rfind('/');
    if (last != CString::npos) p = p.substr(0, last + 1);
  }
  for (SimpleNode<CSearchFilePath>* n = m_SearchPaths.GoTop(); n; n = n->Next())
    if (n->Node() && n->Node()->GetPath() == p) return 0;
  CSearchFilePath* entry = NewItem<CSearchFilePath>(p);
  if (!entry) return D3DRMERR_BADALLOC;
  m_SearchPaths.AddBottom(entry);
  return 0;
}

HRESULT CRenderEngine::RemSearchPath(const CString& path) {
  for (SimpleNode<CSearchFilePath>* n = m_SearchPaths.GoTop(); n; n = n->Next())
    if (n->Node() && n->Node()->GetPath() == path) {
      m_SearchPaths.Remove(n);
      return 0;
    }
  return E_FAIL;
}

HRESULT CRenderEngine::CleanSearchPathList() {
  m_SearchPaths.Clean();
  return 0;
}

// ---------------------------------------------------------------------------
// Names

CString CRenderEngine::CheckFrameObjectName(const CString& name) {
  CString r = name;
  for (char& c : r)
    if (c == ' ' || c == '-' || c == '=' || c == '+') c = '_';
  return r;
}

namespace {
template <class T, class F>
bool AnyOther(SimpleList<T>& list, const CFrameObject* self, F&& matches) {
  for (SimpleNode<T>* n = list.Head(); n; n = n->Next())
    if (n->Node() && n->Node() != self && matches(n->Node())) return true;
  return false;
}
}  // namespace

int CRenderEngine::IsUniqueName(const CString& name, CFrameObject* self) {
  auto same = [&](CFrameObject* item) { return item->GetName() == name; };
  if (AnyOther(m_Textures, self, same) || AnyOther(m_Materials, self, same) || AnyOther(m_Lights, self, same) ||
      AnyOther(m_Paths, self, same) || AnyOther(m_Functures, self, same) || AnyOther(m_Objects, self, same))
    return 0;
  return 1;
}

CString CRenderEngine::GenerateUniqueName() { return GuidHexName(NewGuid()); }

namespace {
// How many distinct items carry each name; kept up to date while a name pass
// renames items, so that each uniqueness test costs one lookup.
class NameCounts {
 public:
  void Add(CFrameObject* item) {
    if (m_Seen.insert(item).second) ++m_Counts[item->GetName()];
  }
  void Rename(const CString& from, const CString& to) {
    if (from == to) return;
    if (--m_Counts[from] == 0) m_Counts.erase(from);
    ++m_Counts[to];
  }
  bool Unique(const CString& name) const {
    auto it = m_Counts.find(name);
    return it == m_Counts.end() || it->second <= 1;
  }

 private:
  std::unordered_set<const CFrameObject*> m_Seen;
  std::unordered_map<CString, int> m_Counts;
};

template <class T>
void CountNames(SimpleList<T>& list, NameCounts& counts) {
  for (SimpleNode<T>* n = list.Head(); n; n = n->Next())
    if (n->Node()) counts.Add(n->Node());
}

// Walks one list from the most recent item to the oldest.
template <class T>
void CheckListNames(CRenderEngine& engine, SimpleList<T>& list, NameCounts& counts) {
  for (SimpleNode<T>* n = list.Tail(); n; n = n->Prev()) {
    CFrameObject* item = n->Node();
    if (!item) continue;
    item->SetLogUndoAction(FALSE);
    CString before = item->GetName();
    item->SetName(engine.CheckFrameObjectName(before));
    counts.Rename(before, item->GetName());
    n->SetNodeName(item->GetName());
    item->SetLogUndoAction(FALSE);
    if (!counts.Unique(item->GetName())) {
      CString plain = item->GetName();
      item->SetName(plain + engine.GenerateUniqueName());
      counts.Rename(plain, item->GetName());
      item->SetLogUndoAction(TRUE);
    }
  }
}

bool g_CheckingNames = false;
}  // namespace

void CRenderEngine::CheckNames() {
  if (g_CheckingNames) return;
  g_CheckingNames = true;
  NameCounts counts;
  CountNames(m_Textures, counts);
  CountNames(m_Materials, counts);
  CountNames(m_Lights, counts);
  CountNames(m_Paths, counts);
  CountNames(m_Functures, counts);
  CountNames(m_Objects, counts);
  CheckListNames(*this, m_Textures, counts);
  CheckListNames(*this, m_Materials, counts);
  CheckListNames(*this, m_Lights, counts);
  CheckListNames(*this, m_Paths, counts);
  CheckListNames(*this, m_Functures, counts);
  CheckListNames(*this, m_Objects, counts);
  g_CheckingNames = false;
}

// ---------------------------------------------------------------------------
// Render windows

// ---------------------------------------------------------------------------
// Progress and errors

Progress_Window* CRenderEngine::CreateProgressWindow() {
  if (!m_Progress) m_Progress = std::make_unique<Progress_Window>();
  ++m_ProgressNesting;
  m_Progress->ShowWindow(SW_SHOW);
  return m_Progress.get();
}

void CRenderEngine::ReleaseProgressWindow() {
  if (!m_Progress) return;
  if (m_ProgressNesting > 0) --m_ProgressNesting;
  if (m_ProgressNesting == 0)
    m_Progress->ShowWindow(SW_HIDE);
  else
    m_Progress->Reset();
}

namespace {
bool ErrorsShown() {
  IHost* host = GetHost();
  if (!host) return false;
  if (host->IsBatchConversion() && host->GetProfileInt("ACTIONS", "BATCH_CONVERSION_SHOW_ERRORS", 1) == 0)
    return false;
  return true;
}
}  // namespace

void CRenderEngine::ReportError(const CString& text) {
  if (!ErrorsShown()) return;
  HostMessageBox(text, "Orvane", MB_OK | MB_ICONERROR);
}

void CRenderEngine::ReportWarning(const CString& text) {
  if (!ErrorsShown()) return;
  HostMessageBox(text, "Orvane", MB_OK | MB_ICONWARNING);
}

void CRenderEngine::ReportError(HRESULT code, const CString& /*text*/) {
  if (!ErrorsShown()) return;
  HostMessageBox(DirectXErrorText(code), "Orvane", MB_OK | MB_ICONERROR);
}

// ---------------------------------------------------------------------------
// Settings

void CRenderEngine::GetAmbientLight(float* r, float* g, float* b) const {
  if (r) *r = m_Ambient[0];
  if (g) *g = m_Ambient[1];
  if (b) *b = m_Ambient[2];
}

void CRenderEngine::SetAmbientLight(float r, float g, float b) {
  m_Ambient[0] = r;
  m_Ambient[1] = g;
  m_Ambient[2] = b;
}

CRect CRenderEngine::GetViewRect(int view) const { return (view >= 0 && view < 4) ? m_ViewRects[view] : CRect(); }

void CRenderEngine::SetViewRect(int view, const CRect& rect) {
  if (view >= 0 && view < 4) m_ViewRects[view] = rect;
}

void CRenderEngine::GetViewCenter(int view, LONG* x, LONG* y) const {
  LONG cx = 0, cy = 0;
  if (view >= 0 && view < 4) {
    cx = m_ViewCenters[view][0];
    cy = m_ViewCenters[view][1];
  }
  if (x) *x = cx;
  if (y) *y = cy;
}

void CRenderEngine::SetViewCenter(int view, LONG x, LONG y) {
  if (view < 0 || view >= 4) return;
  m_ViewCenters[view][0] = x;
  m_ViewCenters[view][1] = y;
}

// ---------------------------------------------------------------------------
// Pane view state

void CRenderEngine::SetZoom(float zoom) {
  if (zoom > 32768.0f) zoom = 32768.0f;
  if (!(zoom >= 0.0001f)) zoom = 0.0001f;  // also catches NaN
  // Store first: the view centres below are computed with the new zoom.
  m_Zoom = zoom > 0.0005f ? zoom : 1.0f;
  SetScrollPos(m_ScrollPos);
}

namespace {
float ClampScroll(float v) {
  if (!(v == v)) return 0.0f;  // NaN
  return v < -1024.0f ? -1024.0f : (v > 1024.0f ? 1024.0f : v);
}

LONG TruncatedProduct(float zoom, float value) {
  double p = std::trunc(static_cast<double>(zoom) * static_cast<double>(value));
  if (p > 2147483647.0) return 2147483647;
  if (p < -2147483648.0) return -2147483647 - 1;
  return static_cast<LONG>(p);
}
}  // namespace

void CRenderEngine::SetScrollPos(const D3DVECTOR& p) {
  m_ScrollPos = D3DVECTOR(ClampScroll(p.x), ClampScroll(p.y), ClampScroll(p.z));
  const D3DVECTOR& s = m_ScrollPos;
  IHost* host = GetHost();
  for (int pane = 0; pane < 3 && host; ++pane) {
    int type = host->GetPaneViewType(pane);
    if (type < 0) continue;
    const CRect& rect = m_ViewRects[pane];
    LONG cx = rect.Width() / 2, cy = rect.Height() / 2;
    bool shifted = true;
    float a = 0, b = 0;
    switch (type) {
      case 0: a = s.x; b = s.y; break;
      case 1: a = s.x; b = s.z; break;
      case 2: a = s.y; b = s.z; break;
      case 4: {
        D3DVECTOR t = PerspectiveTransformVectorXY(s);
        a = t.x; b = t.y;
        break;
      }
      case 5: {
        D3DVECTOR t = PerspectiveTransformVectorXZ(s);
        a = t.x; b = t.z;
        break;
      }
      case 6: {
        D3DVECTOR t = PerspectiveTransformVectorYZ(s);
        a = t.y; b = t.z;
        break;
      }
      default: shifted = false; break;
    }
    if (shifted) {
      cx -= TruncatedProduct(m_Zoom, a);
      cy += TruncatedProduct(m_Zoom, b);
    }
    SetViewCenter(pane, cx, cy);
  }
  // The windows between the first and the last show the scroll position
  // through their first camera.
  if (m_Windows)
    for (CWindowDirectXDevice* w = m_Windows->m_Next; w && w->m_Next; w = w->m_Next)
      if (SimpleNode<Camera>* n = w->m_Cameras.Head())
        if (n->Node()) n->Node()->SetPosition(s.x, s.y, s.z);
}

// ---------------------------------------------------------------------------
// Render windows and their cameras

IDisplayDevice* CRenderEngine::ViewPort(int index) {
  int i = 0;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next, ++i)
    if (i == index) return w->m_Viewport ? w->m_Device.get() : nullptr;
  return nullptr;
}

IDisplayDevice* CRenderEngine::RenderDevice(int index) {
  int i = 0;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next, ++i)
    if (i == index) return w->m_Device.get();
  return nullptr;
}

CWnd* CRenderEngine::GetWindow(int index) {
  int i = 0;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next, ++i)
    if (i == index) return w->m_Window;
  return nullptr;
}

CWindowDirectXDevice* CRenderEngine::FindWindowRecord(CWnd* window) {
  if (!window) return nullptr;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next)
    if (w->m_Window == window) return w;
  return nullptr;
}

void CRenderEngine::RecreateLights() {
  for (SimpleNode<CLight>* n = m_Lights.Head(); n; n = n->Next())
    if (n->Node()) n->Node()->Create();
}

Camera* CRenderEngine::CameraAt(CWindowDirectXDevice* record, int index) {
  if (!record) return nullptr;
  int count = record->m_Cameras.Count();
  if (count == 0) return nullptr;
  if (index < 0 || index >= count) index = 0;
  SimpleNode<Camera>* node = record->m_Cameras.GetAt(index);
  return node ? node->Node() : nullptr;
}

Camera* CRenderEngine::CreateCamera(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return nullptr;
  Camera* camera = NewItem<Camera>(this);
  if (!camera) {
    HostMessageBox("Can not create camera.");
    return nullptr;
  }
  record->m_Cameras.AddBottom(camera);
  if (record->m_CurrentCamera < 0 || !CameraAt(record, record->m_CurrentCamera)) SetCurrentCamera(camera, window);
  return camera;
}
Camera* CRenderEngine::CreateCamera(int window) { return CreateCamera(GetWindow(window)); }

Camera* CRenderEngine::ReleaseCamera(Camera* camera, CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return nullptr;
  if (camera) record->m_Cameras.Remove(camera);
  record->m_CurrentCamera = record->m_Cameras.Count() > 0 ? 0 : -1;
  return CameraAt(record, record->m_CurrentCamera);
}
Camera* CRenderEngine::ReleaseCamera(Camera* camera, int window) { return ReleaseCamera(camera, GetWindow(window)); }

Camera* CRenderEngine::ReleaseCamera(CWnd* window, int index) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return nullptr;
  Camera* camera = CameraAt(record, index);
  if (!camera) return nullptr;
  return ReleaseCamera(camera, window);
}
Camera* CRenderEngine::ReleaseCamera(int window, int index) { return ReleaseCamera(GetWindow(window), index); }

void CRenderEngine::ReleaseAllCameras(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return;
  record->m_Cameras.Clean();
  record->m_CurrentCamera = -1;
}
void CRenderEngine::ReleaseAllCameras(int window) { ReleaseAllCameras(GetWindow(window)); }

SimpleList<Camera>* CRenderEngine::CameraList(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  return record ? &record->m_Cameras : nullptr;
}
SimpleList<Camera>* CRenderEngine::CameraList(int window) { return CameraList(GetWindow(window)); }

int CRenderEngine::GetCameraCount(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  return record ? record->m_Cameras.Count() : -1;
}
int CRenderEngine::GetCameraCount(int window) { return GetCameraCount(GetWindow(window)); }

Camera* CRenderEngine::GetCamera(CWnd* window, int index) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record || index < 0 || index >= record->m_Cameras.Count()) return nullptr;
  return CameraAt(record, index);
}
Camera* CRenderEngine::GetCamera(int window, int index) { return GetCamera(GetWindow(window), index); }

HRESULT CRenderEngine::SetCurrentCamera(Camera* camera, CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return E_FAIL;
  record->m_CurrentCamera = static_cast<int>(record->m_Cameras.Index(camera));
  if (record->m_CurrentCamera < 0) return E_FAIL;
  return camera->SetAsCurrent();
}
HRESULT CRenderEngine::SetCurrentCamera(Camera* camera, int window) {
  return SetCurrentCamera(camera, GetWindow(window));
}

Camera* CRenderEngine::SetCurrentCamera(CWnd* window, int index) {
  Camera* camera = GetCamera(window, index);
  if (!camera) return nullptr;
  SetCurrentCamera(camera, window);
  return camera;
}
Camera* CRenderEngine::SetCurrentCamera(int window, int index) { return SetCurrentCamera(GetWindow(window), index); }

Camera* CRenderEngine::GetCurrentCamera(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record || record->m_CurrentCamera < 0 || record->m_CurrentCamera >= record->m_Cameras.Count()) return nullptr;
  return CameraAt(record, record->m_CurrentCamera);
}
Camera* CRenderEngine::GetCurrentCamera(int window) { return GetCurrentCamera(GetWindow(window)); }

int CRenderEngine::GetCurrentCameraIndex(CWnd* window) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  return record ? record->m_CurrentCamera : 0;
}
int CRenderEngine::GetCurrentCameraIndex(int window) { return GetCurrentCameraIndex(GetWindow(window)); }

HRESULT CRenderEngine::Camera_SetPosition(const D3DVECTOR& position, CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  if (!camera) return E_FAIL;
  camera->SetPosition(position);
  return 0;
}
HRESULT CRenderEngine::Camera_SetPosition(const D3DVECTOR& position, int window, int index) {
  return Camera_SetPosition(position, GetWindow(window), index);
}

HRESULT CRenderEngine::Camera_GetPosition(D3DVECTOR& position, CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  if (!camera) return E_FAIL;
  position = camera->GetPosition();
  return 0;
}
HRESULT CRenderEngine::Camera_GetPosition(D3DVECTOR& position, int window, int index) {
  return Camera_GetPosition(position, GetWindow(window), index);
}

HRESULT CRenderEngine::Camera_SetZoom(float zoom, CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  if (!camera) return E_FAIL;
  SetZoom(zoom);
  return camera->Zoom(m_Zoom);
}
HRESULT CRenderEngine::Camera_SetZoom(float zoom, int window, int index) {
  return Camera_SetZoom(zoom, GetWindow(window), index);
}

CMeshObject* CRenderEngine::GetCameraTrackObject(CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  return camera ? camera->GetTrackObject() : nullptr;
}
CMeshObject* CRenderEngine::GetCameraTrackObject(int window, int index) {
  return GetCameraTrackObject(GetWindow(window), index);
}

HRESULT CRenderEngine::SetCameraScrollPosUp(float degrees, CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  if (!camera) return E_FAIL;
  if (degrees < -180.0f) degrees = -180.0f;
  if (degrees > 180.0f) degrees = 180.0f;
  camera->SetScrollPosUp(degrees);
  return Camera_Scroll(0, 0);
}
HRESULT CRenderEngine::SetCameraScrollPosUp(float degrees, int window, int index) {
  return SetCameraScrollPosUp(degrees, GetWindow(window), index);
}

HRESULT CRenderEngine::SetCameraScrollPosDir(float degrees, CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  if (!camera) return E_FAIL;
  camera->SetScrollPosDir(degrees);
  return Camera_Scroll(0, 0);
}
HRESULT CRenderEngine::SetCameraScrollPosDir(float degrees, int window, int index) {
  return SetCameraScrollPosDir(degrees, GetWindow(window), index);
}

float CRenderEngine::GetCameraScrollPosUp(CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  return camera ? camera->GetScrollPosUp() : 0.0f;
}
float CRenderEngine::GetCameraScrollPosUp(int window, int index) {
  CWnd* w = GetWindow(window);
  return w ? GetCameraScrollPosUp(w, index) : -1.0f;
}

float CRenderEngine::GetCameraScrollPosDir(CWnd* window, int index) {
  Camera* camera = CameraAt(FindWindowRecord(window), index);
  return camera ? camera->GetScrollPosDir() : 0.0f;
}
float CRenderEngine::GetCameraScrollPosDir(int window, int index) {
  CWnd* w = GetWindow(window);
  return w ? GetCameraScrollPosDir(w, index) : 0.0f;
}

HRESULT CRenderEngine::Camera_Scroll(CWnd* window, int index) {
  CWindowDirectXDevice* record = FindWindowRecord(window);
  if (!record) return E_FAIL;
  Camera* camera = CameraAt(record, index);
  if (!camera) return E_FAIL;
  HRESULT hr = camera->Scroll();
  if (m_Windows) HostRequestRefresh(REFRESH_RENDER);
  return hr;
}
HRESULT CRenderEngine::Camera_Scroll(int window, int index) { return Camera_Scroll(GetWindow(window), index); }

void CRenderEngine::ForgetTrackedMesh(CMeshObject* mesh) {
  if (!mesh) return;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next)
    for (SimpleNode<Camera>* n = w->m_Cameras.Head(); n; n = n->Next())
      if (n->Node() && n->Node()->GetTrackObject() == mesh) n->Node()->SetTrackObject(nullptr);
}

void CRenderEngine::TrackedMeshMoved(CMeshObject* mesh) {
  if (!mesh) return;
  for (CWindowDirectXDevice* w = m_Windows; w; w = w->m_Next)
    for (SimpleNode<Camera>* n = w->m_Cameras.Head(); n; n = n->Next())
      if (n->Node() && n->Node()->GetTrackObject() == mesh) {
        n->Node()->Scroll();
        n->Node()->Calculate_ViewMatrix();
      }
}
