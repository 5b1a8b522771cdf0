// Time counters bound to a mesh.
#pragma once

#include "engine/CUnknown.h"

class CMeshObject;
class CRenderEngine;

class CAnimation : public CUnknown {
 public:
  CAnimation(CRenderEngine* engine, CMeshObject* mesh) : m_Mesh(mesh), m_Engine(engine) {}
  CMeshObject* GetMesh() const { return m_Mesh; }
  CRenderEngine* Engine() const { return m_Engine; }

  float GetTime() const { return m_Time; }
  void SetTime(float t) { m_Time = t; }
  float GetTimeStep() const { return m_TimeStep; }
  void SetTimeStep(float step) { m_TimeStep = step; }
  float GetPeriod() const { return m_Period; }
  void SetPeriod(float period) { m_Period = period; }

  // Accepted and ignored.
  LONG Add_Path_Ellipse() { return 0; }
  LONG Load(const CString& /*name*/) { return 0; }

  // Frame callback: advances the time by one step, wrapping to 0 at the
  // period, then lets the mesh react. `frame` and `delta` are not used.
  static void Anim_AnimationCallBack(void* frame, void* animation, float delta);

 private:
  [[maybe_unused]] DWORD m_Word1 = 0;
  [[maybe_unused]] DWORD m_Word2 = 0;
  float m_Time = 0.0f;
  float m_TimeStep = 1.0f;
  float m_Period = 0.0f;
  CMeshObject* m_Mesh = nullptr;
  [[maybe_unused]] DWORD m_Word3 = 0;
  CRenderEngine* m_Engine = nullptr;
};
