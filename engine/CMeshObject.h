// Polygon meshes of the scene.
#pragma once

#include "engine/CFrameObject.h"
#include "engine/CMaterial.h"
#include "engine/CTexture.h"
#include "engine/SimpleList.h"

class CMeshObject : public CFrameObject {
 public:
  explicit CMeshObject(CRenderEngine* engine);
  CMeshObject(CRenderEngine* engine, const CString& name);
  CMeshObject(const CMeshObject& other);
  ~CMeshObject() override;

  SimpleList<CMaterial>& MaterialList() { return m_Materials; }
  SimpleList<CTexture>& TextureList() { return m_Textures; }
  SimpleList<CMeshObject>& ChildList() { return m_Children; }

  // Links a child mesh (one reference).
  LONG AddChild(CMeshObject* child);

  // Reads a model file chosen by extension.
  virtual LONG Load(const CString& file);

 private:
  void Initialise();

  SimpleList<CTexture> m_Textures;
  SimpleList<CMaterial> m_Materials;
  SimpleList<CMeshObject> m_Children;
};
