// Functures: textures whose image is produced by an image transform.
#pragma once

#include "engine/CTexture.h"

class CFuncture : public CTexture {
 public:
  explicit CFuncture(CRenderEngine* engine);
  CFuncture(const CFuncture& other) = default;
};
