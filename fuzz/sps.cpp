// Feeds arbitrary bytes to the .sps reader through a mesh of a real engine.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/RenderEngine.h"
#include "formats/ReadSPS.h"

namespace {

CString TempFile() {
  const char* dir = std::getenv("TMPDIR");
  return StrFormat("%s/orv_fuzz_sps_%d.sps", dir && *dir ? dir : "/tmp", static_cast<int>(::getpid()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CString path = TempFile();
  static std::unique_ptr<CRenderEngine> engine = std::make_unique<CRenderEngine>(8);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  CMeshObject* mesh = engine->CreateObject();
  if (!mesh) return 0;
  LoadSPS_Object(path, mesh);
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
