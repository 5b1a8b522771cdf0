// Hot paths of a full mesh: 65,536 vertices on a 256 x 256 grid, two
// triangles per grid square.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/MeshNormals.h"
#include "engine/RenderEngine.h"

namespace {

constexpr int kSide = 256;  // kSide * kSide = 65,536 vertices

struct Scene {
  Scene() : engine(std::make_unique<CRenderEngine>(8)) {}
  std::unique_ptr<CRenderEngine> engine;
};

// A wavy sheet, so that normals differ from vertex to vertex.
void FillGrid(CMeshObject& mesh, int copies = 1) {
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide / copies; ++x)
      for (int c = 0; c < copies; ++c) mesh.AddVertex(float(x), float(y), float((x * 7 + y * 3) % 5) * 0.1f);
  const int width = kSide / copies;
  for (int y = 0; y + 1 < kSide; ++y)
    for (int x = 0; x + 1 < width; ++x) {
      const long a = (y * width + x) * copies, b = a + copies, c = a + width * copies, d = c + copies;
      mesh.AddFace(a, b, d);
      mesh.AddFace(a, d, c);
    }
}

void BM_AddVerticesAndFaces(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    CMeshObject* mesh = scene.engine->CreateObject();
    FillGrid(*mesh);
    benchmark::DoNotOptimize(mesh->GetFaceCount());
    state.PauseTiming();
    scene.engine->ReleaseObject(mesh, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_AddVerticesAndFaces)->Unit(benchmark::kMillisecond);

void BM_ReCalcAll(benchmark::State& state) {
  Scene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  for (auto _ : state) {
    mesh->SetNeedUpdate(1);
    mesh->ReCalcAll(1);
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_ReCalcAll)->Unit(benchmark::kMillisecond);

void BM_VertexNormals(benchmark::State& state) {
  Scene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  std::vector<D3DVECTOR> positions, normals(static_cast<size_t>(mesh->GetVertexCount()));
  std::vector<MeshFace> faces;
  for (long i = 0; i < mesh->GetVertexCount(); ++i) {
    const MeshVertex* v = mesh->GetVertex(i);
    positions.emplace_back(v->x, v->y, v->z);
  }
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    long a, b, c;
    mesh->GetFaceIndices(f, &a, &b, &c);
    MeshFace face;
    face.v[0] = static_cast<unsigned short>(a), face.v[1] = static_cast<unsigned short>(b),
    face.v[2] = static_cast<unsigned short>(c);
    faces.push_back(face);
  }
  for (auto _ : state) {
    ComputeVertexNormals(positions.data(), static_cast<long>(positions.size()), faces.data(),
                         static_cast<long>(faces.size()), normals.data());
    benchmark::DoNotOptimize(normals.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(faces.size()));
}
BENCHMARK(BM_VertexNormals)->Unit(benchmark::kMillisecond);

// Every grid point stored twice (65,536 vertices, 32,768 distinct points):
// half the vertices merge away.
void BM_MergeVertices(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    state.PauseTiming();
    CMeshObject* mesh = scene.engine->CreateObject();
    FillGrid(*mesh, 2);
    state.ResumeTiming();
    mesh->MergeVertices(0.01f);
    benchmark::DoNotOptimize(mesh->GetVertexCount());
    state.PauseTiming();
    scene.engine->ReleaseObject(mesh, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_MergeVertices)->Unit(benchmark::kMillisecond);

// Nothing within reach: every vertex survives, the worst case for the
// neighbour search that is not a degenerate input.
void BM_MergeVerticesNothingToMerge(benchmark::State& state) {
  Scene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  for (auto _ : state) benchmark::DoNotOptimize(mesh->MergeVertices(0.5f));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_MergeVerticesNothingToMerge)->Unit(benchmark::kMillisecond);

// Generators near the 16-bit index limit: a globe of detail 181 (65,524
// vertices, 131,044 faces) and a 256 x 256 torus (65,536 vertices), each
// including the recalculation the generator ends with.
void BM_CreateGlobe(benchmark::State& state) {
  Scene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  for (auto _ : state) benchmark::DoNotOptimize(mesh->CreateGlobe(1, 1, 181));
  state.SetItemsProcessed(state.iterations() * mesh->GetVertexCount());
}
BENCHMARK(BM_CreateGlobe)->Unit(benchmark::kMillisecond);

void BM_CreateTorus(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    // The torus appends, so every round starts on an empty mesh.
    state.PauseTiming();
    CMeshObject* mesh = scene.engine->CreateObject();
    state.ResumeTiming();
    benchmark::DoNotOptimize(mesh->CreateTorus(0.5f, 2, 256, 256));
    state.PauseTiming();
    scene.engine->ReleaseObject(mesh, 1);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_CreateTorus)->Unit(benchmark::kMillisecond);
// A scene with a render window on the null device, so meshes get the
// default material, render groups and a vertex buffer.
class BenchWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 640, 480); }
};

struct RenderScene {
  RenderScene() : engine(std::make_unique<CRenderEngine>(8)) { engine->Init_RenderEngine(&window); }
  BenchWindow window;
  std::unique_ptr<CRenderEngine> engine;
};

// All twelve view values of every vertex (three isometric transforms each).
void BM_RecalcViews(benchmark::State& state) {
  Scene scene;
  scene.engine->SetZoom(37.5f);
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  for (auto _ : state) benchmark::DoNotOptimize(mesh->RecalcViews(1, 1, 1, 1));
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_RecalcViews)->Unit(benchmark::kMillisecond);

// Render groups of a full mesh whose faces use four materials and two
// textures in a scattered pattern (12 groups), then the vertex buffer.
void BM_CalculateVBS(benchmark::State& state) {
  RenderScene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  CMaterial* materials[4] = {mesh->GetMaterial(0), mesh->AddMaterial(), mesh->AddMaterial(), mesh->AddMaterial()};
  CTexture* textures[2] = {mesh->AddTexture(), mesh->AddTexture()};
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    mesh->SetFaceMaterial(f, *materials[(f * 7) % 4]);
    if (f % 3) mesh->SetFaceTexture(f, *textures[(f / 3) % 2]);
  }
  for (auto _ : state) {
    state.PauseTiming();
    mesh->FreeVBS();
    mesh->SetNeedUpdate(1);
    state.ResumeTiming();
    benchmark::DoNotOptimize(mesh->CalculateVBS());
  }
  state.SetItemsProcessed(state.iterations() * mesh->GetFaceCount());
}
BENCHMARK(BM_CalculateVBS)->Unit(benchmark::kMillisecond);

// Making the vertex buffer: 65,536 records of 88 bytes copied in.
void BM_FreeVBS(benchmark::State& state) {
  RenderScene scene;
  CMeshObject* mesh = scene.engine->CreateObject();
  FillGrid(*mesh);
  for (auto _ : state) benchmark::DoNotOptimize(mesh->FreeVBS());
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_FreeVBS)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
