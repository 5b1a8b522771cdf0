// Time counters bound to a mesh.
#pragma once

#include "engine/CUnknown.h"

class CMeshObject;
class CRenderEngine;

class CAnimation : public CUnknown {
 public:
  CAnimation(CRenderEngine* engine, CMeshObject* mesh) : m_Mesh(mesh), m_Engine(engine) {}
  CMeshObject* GetMesh() const { return m_Mesh; }

 private:
  float m_Time = 0.0f;
  float m_TimeStep = 1.0f;
  float m_Period = 0.0f;
  CMeshObject* m_Mesh = nullptr;
  CRenderEngine* m_Engine = nullptr;
};
