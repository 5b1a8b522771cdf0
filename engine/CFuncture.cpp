#include "engine/CFuncture.h"

#include <ctime>

CFuncture::CFuncture(CRenderEngine* engine) : CTexture(engine) {
  m_RTIType = RTI_FUNCTURE;
  m_Name = StrFormat("Functure_%d", static_cast<int>(std::time(nullptr)));
}
