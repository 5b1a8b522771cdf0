// Feeds arbitrary bytes to the .sps reader through a mesh of a real engine.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/RenderEngine.h"
#include "formats/ReadSPS.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzsupport::MemoryFile file;
  static std::unique_ptr<CRenderEngine> engine = std::make_unique<CRenderEngine>(8);
  if (!file.Write(data, size)) return 0;
  CMeshObject* mesh = engine->CreateObject();
  if (!mesh) return 0;
  LoadSPS_Object(file.Path(), mesh);
  // Whatever was read must make a consistent mesh.
  mesh->ReCalcAll(1);
  mesh->MergeVertices(0.01f);
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    long a, b, c;
    mesh->GetFaceIndices(f, &a, &b, &c);
    if (a >= mesh->GetVertexCount() || b >= mesh->GetVertexCount() || c >= mesh->GetVertexCount()) std::abort();
  }
  engine->ReleaseObject(mesh, 1);
  return 0;
}
