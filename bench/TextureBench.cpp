// Texture coordinates of a full mesh: 65,536 vertices on a 256 x 256 grid,
// every face textured, under one texture per wrap type.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/RenderEngine.h"

namespace {

constexpr int kSide = 256;

void BM_CalculateTextures(benchmark::State& state) {
  auto engine = std::make_unique<CRenderEngine>(8);
  CMeshObject* mesh = engine->CreateObject();
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) mesh->AddVertex(float(x), float(y), float((x * 7 + y * 3) % 5) * 0.1f);
  for (int y = 0; y + 1 < kSide; ++y)
    for (int x = 0; x + 1 < kSide; ++x) {
      const long a = y * kSide + x, b = a + 1, c = a + kSide, d = c + 1;
      mesh->TextureFace(mesh->AddFace(a, b, d));
      mesh->TextureFace(mesh->AddFace(a, d, c));
    }
  CTexture* texture = mesh->AddTexture();
  texture->SetScale(D3DVECTOR(kSide, kSide, kSide), 1);
  texture->SetWrapType(static_cast<D3DRMWRAPTYPE>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(mesh->CalculateTextures());
  state.SetItemsProcessed(state.iterations() * mesh->GetVertexCount());
}
BENCHMARK(BM_CalculateTextures)->Arg(D3DRMWRAP_FLAT)->Arg(D3DRMWRAP_CYLINDER)->Arg(D3DRMWRAP_SPHERE)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
