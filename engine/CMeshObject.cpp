#include "engine/CMeshObject.h"

#include <ctime>

#include "engine/RenderEngine.h"

CMeshObject::CMeshObject(CRenderEngine* engine) : CFrameObject(engine) { Initialise(); }

CMeshObject::CMeshObject(CRenderEngine* engine, const CString& /*name*/) : CFrameObject(engine) { Initialise(); }

CMeshObject::CMeshObject(const CMeshObject& other) : CFrameObject(other) { Initialise(); }

void CMeshObject::Initialise() {
  m_LogUndoAction = 0;
  m_Name = StrFormat("Object_%d", static_cast<int>(std::time(nullptr)));
  // The default material keeps position 0 of every mesh's material list. It
  // exists once a render window (or the null device) has been attached.
  if (m_Engine && m_Engine->GetDefaultObjectMaterial()) m_Materials.AddBottom(m_Engine->GetDefaultObjectMaterial());
  m_LogUndoAction = 1;
}

CMeshObject::~CMeshObject() {
  // Detach the lists before their items go, children first.
  m_Children.Clean();
  m_Textures.Clean();
  m_Materials.Clean();
}

LONG CMeshObject::AddChild(CMeshObject* child) {
  if (!child || child == this) return E_FAIL;
  m_Children.AddBottom(child);
  return 0;
}

LONG CMeshObject::Load(const CString& /*file*/) { return E_FAIL; }
