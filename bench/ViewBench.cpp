// One full redraw of an XY editing pane of 1280 × 1024 into its back
// buffer: grid, axes and meshes with every vertex selected and its normal
// shown (the densest drawing a pane does).
//   Pane/OneMesh:  one mesh of 65,536 vertices and 130,050 faces.
//   Pane/Scene:    eight such meshes, 1,040,400 faces.
// And one mouse move of a drag of all 65,536 vertices of that mesh: the
// preview, which puts the snapshot back and draws the moved part over it
// (vertex squares, face edges, or the whole object).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <memory>
#include <vector>

#include "app/MemorySettingsStore.h"
#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "engine/UndoManager.h"
#include "views/CRenderVieuw.h"

namespace {

class BenchWnd : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 1280, 1024); }
};

class BenchFrame : public IAppFrame, public IPaneFrame {
 public:
  CWnd* RenderViewWindow() override { return &window; }
  int PaneViewType(int pane) override { return pane == 0 && view ? view->GetViewType() : -1; }
  void SetView(int index, ViewWindow* v) override {
    if (index == 0) view = v;
  }
  BenchWnd window;
  ViewWindow* view = nullptr;
};

// A wavy sheet of 256 × 256 vertices centred on (cx, cy), `size` across.
void AddSheet(CSceneApp& app, float cx, float cy, float size) {
  constexpr int n = 256;
  CMeshObject* mesh = app.AddObject();
  std::vector<float> xyz;
  xyz.reserve(n * n * 3);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const float u = static_cast<float>(i) / (n - 1) - 0.5f, v = static_cast<float>(j) / (n - 1) - 0.5f;
      xyz.push_back(cx + u * size);
      xyz.push_back(cy + v * size);
      xyz.push_back(0.1f * size * std::sin(12 * u) * std::cos(9 * v));
    }
  mesh->AddVertices(xyz.data(), n * n);
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const long a = j * n + i;
      mesh->AddFace(a, a + 1, a + n + 1);
      mesh->AddFace(a, a + n + 1, a + n);
    }
  mesh->ReCalcAll();
  mesh->SelectAllVertices();
}

struct Scene {
  explicit Scene(int meshes) {
    app = std::make_unique<CSceneApp>(store);
    app->InitInstance({}, [this]() -> IAppFrame* { return &frame; });
    pane = std::make_unique<CRenderVieuw>(&frame, 0);
    CRenderEngine* engine = app->Engine();
    engine->SetViewRect(0, CRect(0, 0, 1280, 1024));
    engine->SetScrollPos(D3DVECTOR(0, 0, 0));
    if (meshes == 1) {
      engine->SetZoom(450);
      AddSheet(*app, 0, 0, 2);
    } else {
      engine->SetZoom(150);
      for (int k = 0; k < meshes; ++k) AddSheet(*app, -6 + 2.1f * (k % 4) + 1, (k / 4) ? 1.3f : -1.3f, 2);
    }
    app->SetShowNormals(1);
    app->GridSize(1);
    ViewWindow::CreateDrawPens();
    pane->OnSize(1280, 1024);
  }
  ~Scene() {
    pane.reset();
    app->ExitInstance();
  }
  MemorySettingsStore store;
  BenchFrame frame;
  std::unique_ptr<CSceneApp> app;
  std::unique_ptr<CRenderVieuw> pane;
};

void Redraw(benchmark::State& state, int meshes) {
  Scene scene(meshes);
  long faces = 0;
  for (SimpleNode<CMeshObject>* n = scene.app->GetLoadedObjectList().Head(); n; n = n->Next())
    faces += n->Node()->GetFaceCount();
  for (auto _ : state) {
    scene.pane->Update(nullptr);
    benchmark::DoNotOptimize(scene.pane->BackBuffer().constBits());
  }
  state.counters["faces"] = static_cast<double>(faces);
  state.counters["faces/s"] = benchmark::Counter(static_cast<double>(faces), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PaneOneMesh(benchmark::State& state) { Redraw(state, 1); }
void BM_PaneScene(benchmark::State& state) { Redraw(state, 8); }

// One mouse move of a move drag in vertex, face or object mode.
void Drag(benchmark::State& state, int mode) {
  Scene scene(1);
  CSceneApp& app = *scene.app;
  CMeshObject* mesh = app.GetLoadedObjectList().Head()->Node();
  app.SetActiveObject(mesh);
  mesh->SelectAllVertices();
  for (long f = 0; f < mesh->GetFaceCount(); ++f) mesh->SelectFace(f);
  scene.pane->Update(nullptr);
  app.CurrentObjectAction(ID_TOOL_MOVE);
  app.CurrentObjectSimplex(mode);
  ViewWindow& pane = *scene.pane;
  pane.OnLButtonDown(MK_LBUTTON_FLAG, CPoint(640, 512));
  int step = 0;
  for (auto _ : state) {
    ++step;
    pane.OnMouseMove(MK_LBUTTON_FLAG, CPoint(640 + (step % 40), 512 - (step % 25)));
    benchmark::DoNotOptimize(pane.BackBuffer().constBits());
  }
  // Released where it began: the drag changes nothing.
  pane.OnLButtonUp(MK_LBUTTON_FLAG, CPoint(640, 512));
  state.counters["vertices"] = static_cast<double>(mesh->GetVertexCount());
}

// A whole drag of all 65,536 vertices: press, one move, release (the move
// applied and recorded), then its undo.
void BM_DragReleaseUndoVertices(benchmark::State& state) {
  Scene scene(1);
  CSceneApp& app = *scene.app;
  CMeshObject* mesh = app.GetLoadedObjectList().Head()->Node();
  app.SetActiveObject(mesh);
  mesh->SelectAllVertices();
  scene.pane->Update(nullptr);
  app.CurrentObjectAction(ID_TOOL_MOVE);
  app.CurrentObjectSimplex(ID_MODE_VERTICES);
  ViewWindow& pane = *scene.pane;
  for (auto _ : state) {
    pane.OnLButtonDown(MK_LBUTTON_FLAG, CPoint(640, 512));
    pane.OnMouseMove(MK_LBUTTON_FLAG, CPoint(660, 500));
    pane.OnLButtonUp(MK_LBUTTON_FLAG, CPoint(660, 500));
    app.UndoManager()->Undo();
  }
  state.counters["vertices"] = static_cast<double>(mesh->GetVertexCount());
}

void BM_DragVertices(benchmark::State& state) { Drag(state, ID_MODE_VERTICES); }
void BM_DragFaces(benchmark::State& state) { Drag(state, ID_MODE_FACES); }
void BM_DragObject(benchmark::State& state) { Drag(state, ID_MODE_OBJECTS); }

BENCHMARK(BM_PaneOneMesh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragVertices)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragFaces)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragObject)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragReleaseUndoVertices)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PaneScene)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Text needs a GUI application; no display is needed.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qargc = 1;
  char name[] = "orv_bench_view";
  char* qargv[] = {name, nullptr};
  QGuiApplication qapp(qargc, qargv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
