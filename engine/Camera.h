// Cameras of the render windows.
#pragma once

#include "engine/CFrameObject.h"

class Camera : public CFrameObject {
 public:
  explicit Camera(CRenderEngine* engine) : CFrameObject(engine) {
    m_Name = "Camera";
    m_Position = D3DVECTOR(0, 0, -5);
  }
};
