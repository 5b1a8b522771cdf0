// Named point lists.
#pragma once

#include "engine/CFrameObject.h"

class CPath : public CFrameObject {
 public:
  explicit CPath(CRenderEngine* engine) : CFrameObject(engine) { m_Name = "Path"; }
};
