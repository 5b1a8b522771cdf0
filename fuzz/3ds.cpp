// The 3D Studio reader on arbitrary file images (whole files, main chunk
// included).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/RenderEngine.h"
#include "formats/Read3DS.h"
#include "fuzz/FuzzSupport.h"

namespace {
class FuzzWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || data[0] != 0x4D || data[1] != 0x4D) fuzzsupport::HeaderRejected(size);
  FuzzWindow window;
  CRenderEngine engine(8);
  engine.Init_RenderEngine(&window);
  CMeshObject* root = engine.CreateObject();
  Load3DStudio_Memory(data, size, "/nonexistent", root);
  root->ReCalcAll(1);
  // Whatever was read must make consistent meshes.
  for (SimpleNode<CMeshObject>* n = root->ChildList().Head(); n; n = n->Next()) {
    CMeshObject* m = n->Node();
    for (long f = 0; f < m->GetFaceCount(); ++f) {
      long a, b, c;
      m->GetFaceIndices(f, &a, &b, &c);
      if (a >= m->GetVertexCount() || b >= m->GetVertexCount() || c >= m->GetVertexCount()) std::abort();
      if (m->GetFaceMaterialIndex(f) >= m->GetMaterialCount()) std::abort();
      if (m->GetFaceTextureIndex(f) >= m->GetTextureCount()) std::abort();
    }
  }
  return 0;
}
