#include "engine/CFrameObject.h"

#include <cmath>

#include "engine/RenderEngine.h"
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

void CFrameObject::SetName(const CString& name) {
  CUnknown::SetName(name);
  if (m_Engine) m_Engine->CheckNames();
}

CString& CFrameObject::GetDisplayName() {
  SetDisplayName();
  return m_DisplayName;
}

void CFrameObject::SetDisplayName() { m_DisplayName = m_ChangeCount != 0 ? m_Name + " *" : m_Name; }

LONG CFrameObject::SetPosition(const D3DVECTOR& position, int /*flag*/) {
  m_Position = position;
  return 0;
}

void CFrameObject::GetPosition(float* x, float* y, float* z) {
  if (x) *x = m_Position.x;
  if (y) *y = m_Position.y;
  if (z) *z = m_Position.z;
}

void CFrameObject::SetScale(const D3DVECTOR& scale) { m_Scale = scale; }
void CFrameObject::SetScale(float x, float y, float z) { SetScale(D3DVECTOR(x, y, z)); }
void CFrameObject::SetScale_X(float x) { m_Scale.x = x; }
void CFrameObject::SetScale_Y(float y) { m_Scale.y = y; }
void CFrameObject::SetScale_Z(float z) { m_Scale.z = z; }

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
