#include "engine/CFrameObject.h"

#include <cmath>

#include "engine/RenderEngine.h"
#include "engine/UndoTypeActions.h"
#include "platform/Host.h"

namespace {
D3DMATRIX Identity() {
  D3DMATRIX m;
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}
}  // namespace

CFrameObject::CFrameObject(CRenderEngine* engine)
    : m_Axes(Identity()), m_RenderOrientation(Identity()), m_Engine(engine) {
  m_Name = "FrameObject";
}

CFrameObject::CFrameObject(const CFrameObject& o)
    : CUnknown(o),
      m_Visible(o.m_Visible),
      m_Axes(o.m_Axes),
      m_ObjectBox(o.m_ObjectBox),
      m_Position(o.m_Position),
      m_Scale(o.m_Scale),
      m_RenderOrientation(o.m_RenderOrientation),
      m_RenderPosition(o.m_RenderPosition),
      m_DrawBox(o.m_DrawBox),
      m_Engine(o.m_Engine),
      m_UserData(o.m_UserData) {}

CFrameObject& CFrameObject::operator=(const CFrameObject& o) {
  if (this == &o) return *this;
  CUnknown::operator=(o);
  m_ObjectBox = o.m_ObjectBox;
  m_DrawBox = o.m_DrawBox;
  m_Position = o.m_Position;
  m_Scale = o.m_Scale;
  m_Axes = o.m_Axes;
  m_UserData = o.m_UserData;
  m_RenderOrientation = o.m_RenderOrientation;
  m_RenderPosition = o.m_RenderPosition;
  return *this;
}

CFrameObject::~CFrameObject() {
  if (IHost* host = GetHost()) host->CheckUndoList(this);
}

bool CFrameObject::operator==(const CFrameObject& o) const {
  return CUnknown::operator==(o) && m_Position == o.m_Position && m_Scale == o.m_Scale;
}

void CFrameObject::RecordAction(CAction* action) {
  IHost* host = GetHost();
  if (!host || FAILED(host->AddUndoAction(action))) {
    delete action;
    return;
  }
  Changed(1);
}

void CFrameObject::RecordMove(const D3DVECTOR& position, int flag) {
  if (m_LogUndoAction != 1) return;
  RecordAction(new CUndoActionMove(position, flag, this,
                                   Callback::Make(this, &CFrameObject::SetPositionUndoRedoCallBack)));
}

void CFrameObject::RecordStateChange(const CString& prefix, ItemStates&& before) {
  if (m_LogUndoAction != 1 || before.empty()) return;
  RecordAction(new CUndoActionState(prefix, std::move(before), this));
}

ItemStates CFrameObject::CaptureBeforeScale() {
  ItemStates before;
  if (m_LogUndoAction == 1) CaptureState(before, 1, 1);
  return before;
}

void CFrameObject::RecordScale(const D3DVECTOR& factor, ItemStates&& before) {
  if (m_LogUndoAction != 1) return;
  RecordAction(new CUndoActionScale(factor, std::move(before), this,
                                    Callback::Make(this, &CFrameObject::SetScaleUndoRedoCallBack)));
}

void CFrameObject::CaptureState(ItemStates& out, int /*subtree*/, int /*geometry*/) {
  ItemState s;
  s.item = this;
  s.position = m_Position;
  s.scale = m_Scale;
  s.axes = m_Axes;
  s.hasAxes = true;
  out.push_back(std::move(s));
}

void CFrameObject::RestoreState(const ItemState& state) {
  // The axes as they were (already unit columns), then position and scale
  // through the item's own setters, so that derived items (a light's device
  // record, a texture's stages) follow.
  if (state.hasAxes) m_Axes = state.axes;
  SetPosition(state.position, 0);
  SetScale(state.scale);
}

void CFrameObject::SetName(const CString& name) {
  // A blank name changes nothing, so it records nothing either.
  if (StrTrim(name).empty()) return;
  if (m_LogUndoAction == 1)
    RecordAction(new CUndoActionName(this, Callback::Make(this, &CFrameObject::SetNameUndoRedoCallback)));
  CUnknown::SetName(name);
  if (m_Engine) m_Engine->CheckNames();
}

LONG CFrameObject::SetNameUndoRedoCallback(void* argument) {
  auto* action = static_cast<CUndoActionName*>(argument);
  CString current = m_Name;
  SetLogUndoAction(0);
  SetName(action->Data().m_Name);
  SetLogUndoAction(1);
  action->Data().m_Name = current;
  return 0;
}

LONG CFrameObject::SetPositionUndoRedoCallBack(void* argument) {
  auto* action = static_cast<CUndoActionMove*>(argument);
  SetLogUndoAction(0);
  D3DVECTOR current = m_Position;
  action->ExchangeStates();
  if (IHost* host = GetHost()) host->RecalcLoadedMeshViews();
  HostRequestRefresh(REFRESH_VIEWS | REFRESH_RENDER);
  SetLogUndoAction(1);
  action->Data().m_Position = current;
  return 0;
}

LONG CFrameObject::SetPositionUndoRedo(const D3DVECTOR& position, int flag) {
  RecordMove(position, flag);
  return 0;
}

LONG CFrameObject::SetScaleUndoRedoCallBack(void* argument) {
  auto* action = static_cast<CUndoActionScale*>(argument);
  SetLogUndoAction(0);
  action->ExchangeStates();
  if (IHost* host = GetHost()) host->RecalcLoadedMeshViews();
  HostRequestRefresh(REFRESH_VIEWS | REFRESH_RENDER);
  SetLogUndoAction(1);
  return 0;
}

LONG CFrameObject::SetScaleUndoRedo(const D3DVECTOR& factor) {
  if (m_LogUndoAction != 1) return 0;
  // The caller has already scaled by `factor`: the state to return to is the
  // current one divided by it (exact up to rounding; a zero factor leaves
  // that axis as it is). Callers that can should rather record through
  // SetScale itself, which captures the state before the change.
  auto back = [](float v, float f) { return f == 0.0f ? v : v / f; };
  ItemStates before;
  CaptureState(before, 1, 1);
  for (ItemState& s : before) {
    s.scale = D3DVECTOR(back(s.scale.x, factor.x), back(s.scale.y, factor.y), back(s.scale.z, factor.z));
    for (size_t i = 0; i + 5 < s.geometry.size(); i += 6) {
      s.geometry[i] = back(s.geometry[i], factor.x);
      s.geometry[i + 1] = back(s.geometry[i + 1], factor.y);
      s.geometry[i + 2] = back(s.geometry[i + 2], factor.z);
    }
  }
  RecordScale(factor, std::move(before));
  return 0;
}

CString& CFrameObject::GetDisplayName() {
  SetDisplayName();
  return m_DisplayName;
}

void CFrameObject::SetDisplayName() { m_DisplayName = m_ChangeCount != 0 ? m_Name + " *" : m_Name; }

LONG CFrameObject::SetPosition(const D3DVECTOR& position, int flag) {
  RecordMove(position, flag);
  m_Position = position;
  return 0;
}

void CFrameObject::GetPosition(float* x, float* y, float* z) {
  if (x) *x = m_Position.x;
  if (y) *y = m_Position.y;
  if (z) *z = m_Position.z;
}

void CFrameObject::SetScale(const D3DVECTOR& scale) {
  ItemStates before = CaptureBeforeScale();
  m_Scale = scale;
  RecordScale(scale, std::move(before));
}
void CFrameObject::SetScale(float x, float y, float z) { SetScale(D3DVECTOR(x, y, z)); }
void CFrameObject::SetScale_X(float x) {
  ItemStates before = CaptureBeforeScale();
  m_Scale.x = x;
  RecordScale(D3DVECTOR(x, 1, 1), std::move(before));
}
void CFrameObject::SetScale_Y(float y) {
  ItemStates before = CaptureBeforeScale();
  m_Scale.y = y;
  RecordScale(D3DVECTOR(1, y, 1), std::move(before));
}
void CFrameObject::SetScale_Z(float z) {
  ItemStates before = CaptureBeforeScale();
  m_Scale.z = z;
  RecordScale(D3DVECTOR(1, 1, z), std::move(before));
}

void CFrameObject::SetAxes(D3DMATRIX& m) {
  D3DMATRIX r = Identity();
  for (int c = 0; c < 3; ++c) {
    double x = m(0, c), y = m(1, c), z = m(2, c);
    double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0) {
      r(0, c) = r(1, c) = r(2, c) = 0.0f;
    } else {
      r(0, c) = static_cast<float>(x / len);
      r(1, c) = static_cast<float>(y / len);
      r(2, c) = static_cast<float>(z / len);
    }
  }
  m_Axes = r;
}

LONG CFrameObject::SetObjectBox(D3DVECTOR mn, D3DVECTOR mx) {
  m_ObjectBox.m_Min = mn;
  m_ObjectBox.m_Max = mx;
  return 0;
}

LONG CFrameObject::SetOrientation(D3DVECTOR& dir, D3DVECTOR& up) {
  m_Axes._13 = dir.x;
  m_Axes._23 = dir.y;
  m_Axes._33 = dir.z;
  m_Axes._12 = up.x;
  m_Axes._22 = up.y;
  m_Axes._32 = up.z;
  m_Axes._11 = dir.y * up.z - dir.z * up.y;
  m_Axes._21 = dir.z * up.x - dir.x * up.z;
  m_Axes._31 = dir.x * up.y - dir.y * up.x;
  return 0;
}

LONG CFrameObject::GetOrientation(D3DVECTOR& dir, D3DVECTOR& up) {
  dir = D3DVECTOR(m_Axes._13, m_Axes._23, m_Axes._33);
  up = D3DVECTOR(m_Axes._12, m_Axes._22, m_Axes._32);
  return 0;
}

LONG CFrameObject::SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz) {
  D3DVECTOR dir(dx, dy, dz), up(ux, uy, uz);
  return SetOrientation(dir, up);
}

void CFrameObject::Changed(int increment) {
  m_ChangeCount += increment ? 1 : -1;
  SetDisplayName();
}

void CFrameObject::SetSaved(int saved) {
  m_Saved = saved;
  if (saved == 1) m_ChangeCount = 0;
  SetDisplayName();
}
