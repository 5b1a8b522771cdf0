// Mesh operations on full-size meshes: merge, slice and extrude at 16,384
// and 65,536 vertices, to show the cost grows with the size and not with
// its square.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "engine/RenderEngine.h"

namespace {

struct Scene {
  Scene() : engine(std::make_unique<CRenderEngine>(8)) {}
  std::unique_ptr<CRenderEngine> engine;
};

// A wavy sheet of width × height vertices in the XY plane, two triangles per
// grid square.
CMeshObject* Sheet(CRenderEngine& engine, int width, int height) {
  CMeshObject* mesh = engine.CreateObject();
  mesh->ReserveSpace(long(width) * height, 2L * width * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) mesh->AddVertex(float(x), float(y), float((x * 7 + y * 3) % 5) * 0.1f);
  for (int y = 0; y + 1 < height; ++y)
    for (int x = 0; x + 1 < width; ++x) {
      const long a = long(y) * width + x, b = a + 1, c = a + width, d = c + 1;
      mesh->AddFace(a, b, d);
      mesh->AddFace(a, d, c);
    }
  mesh->ReCalcAll();
  return mesh;
}

int Side(long vertices) { return static_cast<int>(std::lround(std::sqrt(double(vertices)))); }

// The whole of one sheet into an empty mesh (the emptied sheet is released).
void BM_Merge(benchmark::State& state) {
  Scene scene;
  const int side = Side(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    CMeshObject* destination = scene.engine->CreateObject();
    CMeshObject* source = Sheet(*scene.engine, side, side);
    state.ResumeTiming();
    scene.engine->Merge(destination, source, MESH_COMPONENT_OBJECT);
    benchmark::DoNotOptimize(destination->GetVertexCount());
    state.PauseTiming();
    scene.engine->ReleaseObject(destination, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Merge)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

// A sheet cut by a standing sheet of the same size: every edge of the
// slicer is tested.
void BM_Slice(benchmark::State& state) {
  Scene scene;
  const int side = Side(state.range(0));
  CMeshObject* mesh = Sheet(*scene.engine, side, side);
  // The slicer stands across the middle of the sheet, in the plane y = const.
  CMeshObject* slicer = scene.engine->CreateObject();
  slicer->ReserveSpace(long(side) * side, 2L * side * side);
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) slicer->AddVertex(x + 0.25f, side / 2.0f + 0.5f, (z - side / 2) * 0.01f + 0.2f);
  for (int z = 0; z + 1 < side; ++z)
    for (int x = 0; x + 1 < side; ++x) {
      const long a = long(z) * side + x, b = a + 1, c = a + side, d = c + 1;
      slicer->AddFace(a, b, d);
      slicer->AddFace(a, d, c);
    }
  long points = 0;
  for (auto _ : state) {
    CMeshObject* result = scene.engine->Slice(mesh, slicer);
    points = result->GetVertexCount();
    state.PauseTiming();
    scene.engine->ReleaseObject(result, 1);
    state.ResumeTiming();
  }
  state.counters["points"] = double(points);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Slice)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

// Every face of a sheet of half the size: the result has the full size
// (a moved copy of every vertex).
void BM_Extrude(benchmark::State& state) {
  Scene scene;
  const int side = Side(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    CMeshObject* mesh = Sheet(*scene.engine, side, side / 2);
    state.ResumeTiming();
    scene.engine->Extrude(mesh, 1.0f);
    benchmark::DoNotOptimize(mesh->GetFaceCount());
    state.PauseTiming();
    scene.engine->ReleaseObject(mesh, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Extrude)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

// Skin of a ring of vertices, all selected: the outline is sorted and
// clipped into n - 2 triangles.
void BM_Skin(benchmark::State& state) {
  Scene scene;
  const long n = state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    CMeshObject* mesh = scene.engine->CreateObject();
    mesh->ReserveSpace(n, n);
    for (long i = 0; i < n; ++i) {
      const double a = 2 * M_PI * double((i * 7919) % n) / double(n);  // scattered order
      mesh->AddVertex(float(100 * std::cos(a)), float(100 * std::sin(a)), 0);
    }
    mesh->SelectAllVertices();
    state.ResumeTiming();
    scene.engine->Skin(mesh, 0);
    benchmark::DoNotOptimize(mesh->GetFaceCount());
    state.PauseTiming();
    scene.engine->ReleaseObject(mesh, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Skin)->Arg(16384)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
