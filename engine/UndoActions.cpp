#include <algorithm>

#include "engine/CFrameObject.h"
#include "engine/CMaterial.h"
#include "engine/CMeshObject.h"
#include "platform/Host.h"
#include "engine/UndoTypeActions.h"

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

void CStateAction::Forget(CFrameObject* item) {
  for (size_t i = 0; i < m_States.size();)
    if (m_States[i].item == item)
      m_States.erase(m_States.begin() + static_cast<long>(i));
    else
      ++i;
}

void CStateAction::ExchangeStates() {
  ItemStates current;
  current.reserve(m_States.size());
  for (const ItemState& s : m_States) s.item->CaptureState(current, 0, s.geometry.empty() ? 0 : 1);
  for (const ItemState& s : m_States) {
    const int log = s.item->GetLogUndoAction();
    s.item->SetLogUndoAction(0);
    s.item->RestoreState(s);
    s.item->SetLogUndoAction(log);
  }
  m_States = std::move(current);
}

CUndoActionMove::CUndoActionMove(const D3DVECTOR& /*unused*/, int flag, CFrameObject* object,
                                 const Callback& callback)
    : CStateAction(object, callback) {
  m_Data.m_Position = object->GetPosition();
  m_Data.m_Flag = flag;
  object->CaptureState(m_States, flag, 0);
  SetName("Move Object: " + object->GetName());
}

CUndoActionScale::CUndoActionScale(const D3DVECTOR& factor, ItemStates&& before, CFrameObject* object,
                                   const Callback& callback)
    : CStateAction(object, callback) {
  // The factor just applied: for a whole-vector SetScale this is the item's
  // new scale; for a one-axis SetScale_X/Y/Z it is 1 on the other axes.
  m_Data.m_Scale = factor;
  m_States = std::move(before);
  SetName("Scale Object: " + object->GetName());
}

D3DVECTOR CUndoActionScale::Reciprocal(const D3DVECTOR& f) {
  auto inv = [](float v) { return v == 0.0f ? 1.0f : 1.0f / v; };
  return D3DVECTOR(inv(f.x), inv(f.y), inv(f.z));
}

void CUndoActionScale::Reverse() { m_Data.m_Scale = Reciprocal(m_Data.m_Scale); }

CUndoActionState::CUndoActionState(const CString& prefix, ItemStates&& before, CFrameObject* object)
    : CStateAction(object, Callback()) {
  m_States = std::move(before);
  SetName(prefix + object->GetName());
}

void CUndoActionState::Exchange() {
  ExchangeStates();
  if (IHost* host = GetHost()) host->RecalcLoadedMeshViews();
  HostRequestRefresh(REFRESH_VIEWS | REFRESH_RENDER);
}

void CUndoActionState::Undo() {
  Exchange();
  if (m_Object) m_Object->Changed(0);
}

void CUndoActionState::Redo() {
  Exchange();
  if (m_Object) m_Object->Changed(1);
}

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

CUndoActionObjectMaterialList::CUndoActionObjectMaterialList(CMeshObject* mesh) : CAction(mesh, Callback()) {
  const LONG* list = mesh->GetMaterialFaceList();
  m_List.assign(list, list + mesh->GetFaceCount());
  m_MaterialCount = mesh->MaterialList().Count();
  SetName("Set Face Material: " + mesh->GetName());
}

void CUndoActionObjectMaterialList::Undo() {
  auto* mesh = static_cast<CMeshObject*>(m_Object);
  if (!mesh || mesh->GetFaceCount() != Count() || mesh->MaterialList().Count() != m_MaterialCount) return;
  LONG* list = mesh->GetMaterialFaceList();
  std::swap_ranges(m_List.begin(), m_List.end(), list);
  mesh->RebuildFaceMaterials();
  mesh->SetNeedUpdate(1);
  HostRequestRefresh(REFRESH_VIEWS | REFRESH_RENDER);
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
