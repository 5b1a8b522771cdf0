#include "engine/CFrameObject.h"
#include "engine/UndoTypeActions.h"
#include "platform/Host.h"

CAction::CAction(CFrameObject* object, const Callback& callback) : m_Callback(callback), m_Object(object) {
  m_Name = "Undo";
}

void CAction::Undo() {
  m_Callback.Call(this);
  if (m_Object) m_Object->Changed(0);
}

void CAction::Redo() {
  m_Callback.Call(this);
  if (m_Object) m_Object->Changed(1);
}

CUndoActionMove::CUndoActionMove(const D3DVECTOR& /*unused*/, int flag, CFrameObject* object,
                                 const Callback& callback)
    : CAction(object, callback) {
  m_Data.m_Position = object->GetPosition();
  m_Data.m_Flag = flag;
  SetName("Move Object: " + object->GetName());
}

CUndoActionScale::CUndoActionScale(const D3DVECTOR& factor, const D3DVECTOR& previous, CFrameObject* object,
                                   const Callback& callback)
    : CAction(object, callback) {
  // The factor just applied: for a whole-vector SetScale this is the item's
  // new scale; for a one-axis SetScale_X/Y/Z it is 1 on the other axes.
  m_Data.m_Scale = factor;
  m_Data.m_Absolute = previous;
  SetName("Scale Object: " + object->GetName());
}

D3DVECTOR CUndoActionScale::Reciprocal(const D3DVECTOR& f) {
  auto inv = [](float v) { return v == 0.0f ? 1.0f : 1.0f / v; };
  return D3DVECTOR(inv(f.x), inv(f.y), inv(f.z));
}

void CUndoActionScale::Reverse() { m_Data.m_Scale = Reciprocal(m_Data.m_Scale); }

CUndoActionName::CUndoActionName(CFrameObject* object, const Callback& callback) : CAction(object, callback) {
  m_Data.m_Name = object->GetName();
  SetName("Change Name: " + object->GetName());
}

CUndoActionMaterial::CUndoActionMaterial(CMaterial* material) : CAction(material, Callback()) {
  m_Data = material->GetMaterial();
  SetName("Change Material: " + material->GetName());
}

void CUndoActionMaterial::Undo() {
  auto* material = static_cast<CMaterial*>(m_Object);
  if (!material) return;
  const D3DMATERIAL current = material->GetMaterial();
  material->SetMaterial(m_Data);
  material->Set();
  m_Data = current;
  HostRequestRefresh(REFRESH_RENDER | REFRESH_MATERIALS);
}

CUndoActionMaterialAlpha::CUndoActionMaterialAlpha(CMaterial* material) : CAction(material, Callback()) {
  m_Data = material->GetAlphaSettings();
  SetName("Change Alpha: " + material->GetName());
}

void CUndoActionMaterialAlpha::Undo() {
  auto* material = static_cast<CMaterial*>(m_Object);
  if (!material) return;
  const SMaterialAlpha current = material->GetAlphaSettings();
  material->SetAlphaSettings(m_Data);
  m_Data = current;
  HostRequestRefresh(REFRESH_RENDER | REFRESH_MATERIALS);
}
