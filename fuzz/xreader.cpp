// The model reader on arbitrary .x file images (whole files, header
// included), and the material-file reader on the same bytes as text.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/RenderEngine.h"
#include "formats/ReadDirectX.h"
#include "fuzz/FuzzSupport.h"
#include "platform/XFileModel.h"

namespace {
class FuzzWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xfile::FileHeader header;
  if (FAILED(xfile::ReadHeader(data, size, &header))) fuzzsupport::HeaderRejected(size);
  FuzzWindow window;
  CRenderEngine engine(8);
  engine.Init_RenderEngine(&window);
  CMeshObject* mesh = engine.CreateObject();
  {
    CReadDirectX reader(&engine);
    reader.ReadObjectFromMemory(mesh, data, size, "/nonexistent");
  }
  mesh->ReCalcAll(1);
  if (CMaterial* m = engine.CreateMaterial())
    ReadMaterialText(m, CString(reinterpret_cast<const char*>(data), size));
  return 0;
}
