// Camera records of the workspace file: LoadCamera on arbitrary bytes, record
// after record, must never leave a value that is not finite.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "engine/RenderEngine.h"

namespace {
class FuzzWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
};

bool Finite(const D3DMATRIX& m) {
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite((&m._11)[i])) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzWindow window;
  static CRenderEngine* engine = [] {
    auto* e = new CRenderEngine(8);
    e->Init_RenderEngine(&window);
    return e;
  }();
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  engine->ReleaseAllCameras(&window);
  for (int record = 0; record < 64 && in; ++record) {
    Camera* camera = engine->CreateCamera(&window);
    if (!camera) __builtin_trap();
    camera->LoadCamera(in);
    camera->Calculate_ProjectionMatrix();
    const D3DVECTOR& p = camera->GetPosition();
    D3DVECTOR dir, up;
    camera->GetOrientation(dir, up);
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || !std::isfinite(dir.x) ||
        !std::isfinite(up.y) || !Finite(camera->GetViewMatrix()) || !Finite(camera->GetProjectionMatrix()))
      __builtin_trap();
    std::ostringstream out;
    camera->SaveCamera(out);
  }
  return 0;
}
