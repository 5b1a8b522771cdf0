#include "engine/RenderEngine.h"

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

  std::vector<DisplayDeviceDesc> devices;
  HRESULT hr = m_Display->EnumerateDevices(devices);
  if (FAILED(hr) || devices.empty()) return;  // no device to choose: no display objects
  for (const DisplayDeviceDesc& d : devices) m_Devices.AddBottom(new CDeviceInfo(d.driverName, d.description, d.hardware));

  // Full-screen operation (flag bit 0) prefers a hardware device; windowed
  // operation takes the first device.
  const DisplayDeviceDesc* chosen = &devices.front();
  if (m_Flags & 0x1)
    for (const DisplayDeviceDesc& d : devices)
      if (d.hardware) {
        chosen = &d;
        break;
      }
  hr = m_Display->Open(*chosen);
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
    w->m_Device.reset();
    delete w;
  }
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

  CMeshObject* first = ReleaseFromList(m_Objects, object);
  object->Release();
  return first;
}

void CRenderEngine::ReleaseAllObjects() { m_Objects.Clean(); }
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

HRESULT CRenderEngine::Init_RenderEngine(CWnd* window) {
  if (!window || !m_DisplayOpen) return E_FAIL;
  std::unique_ptr<IDisplayDevice> device;
  HRESULT hr = m_Display->CreateDevice(window, device);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  auto* record = new CWindowDirectXDevice;
  record->m_Window = window;
  record->m_Device = std::move(device);
  bool first = m_Windows == nullptr;
  CWindowDirectXDevice** tail = &m_Windows;
  while (*tail) tail = &(*tail)->m_Next;
  *tail = record;
  ComputeIsometricMatrices();

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
  return S_OK;
}

HRESULT CRenderEngine::Release_RenderEngine(CWnd* window) {
  for (CWindowDirectXDevice** link = &m_Windows; *link; link = &(*link)->m_Next) {
    if ((*link)->m_Window != window) continue;
    CWindowDirectXDevice* record = *link;
    *link = record->m_Next;
    record->m_Cameras.Clean();
    record->m_Device.reset();
    delete record;
    return S_OK;
  }
  return E_FAIL;
}

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
