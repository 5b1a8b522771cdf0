// Functures: textures whose image is produced by an image transform.
#pragma once

#include "engine/CTexture.h"
#include "platform/Guid.h"

class CFuncture : public CTexture {
 public:
  explicit CFuncture(CRenderEngine* engine);
  CFuncture(const CFuncture& other) = default;

  // --- what the model files keep of a functure -----------------------------------
  // The chosen transform. Until the transform framework is present,
  // SetTransform only records the identifier and succeeds.
  const GUID& GetActive() const { return m_Active; }
  virtual LONG SetTransform(const GUID& transform) {
    m_Active = transform;
    return 0;
  }
  // Number of inputs the transform takes.
  DWORD GetInputCount() const { return m_InputCount; }
  // Paths of the images of input 0 and input 1.
  const CString& GetBitmapOne() const { return m_BitmapOne; }
  void SetBitmapOne(const CString& path) { m_BitmapOne = path; }
  const CString& GetBitmapTwo() const { return m_BitmapTwo; }
  void SetBitmapTwo(const CString& path) { m_BitmapTwo = path; }
  // Maximum time (steps of one pass) and current time.
  float GetAnimTimer() const { return m_AnimTimer; }
  void SetAnimTimer(float t) { m_AnimTimer = t; }
  float GetCurrentAnimTime() const { return m_CurrentAnimTime; }
  void SetCurrentAnimTime(float t) { m_CurrentAnimTime = t; }
  // 0 once, 1 and 2 back and forth.
  int GetLoopMode() const { return m_LoopMode; }
  void SetLoopMode(int mode) { m_LoopMode = mode; }

 protected:
  GUID m_Active;
  DWORD m_InputCount = 0;
  CString m_BitmapOne;
  CString m_BitmapTwo;
  float m_AnimTimer = 60.0f;
  float m_CurrentAnimTime = 0.0f;
  int m_LoopMode = 2;
};
