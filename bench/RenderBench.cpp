// The frame loop through the OpenGL back end on the context at hand (Mesa's
// software rasteriser, llvmpipe, without a display): a scene of 1,040,400
// faces, eight meshes of 65,536 vertices and 130,050 faces each, lit by one
// point light, drawn into a 640 x 480 target. Beside it the rasteriser's own
// figure: the same triangles drawn by a bare fixed-function GL loop.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/RenderEngine.h"
#include "platform/EglContext.h"

namespace {

constexpr int kSide = 256;   // vertices per grid side: 65,536 per mesh
constexpr int kMeshes = 8;   // 8 x 130,050 = 1,040,400 faces
constexpr int kWidth = 640, kHeight = 480;

class BenchWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, kWidth, kHeight); }
};

EglContext& Context() {
  static EglContext context;
  return context;
}

// A wavy sheet two units wide, facing the camera, slightly apart per copy.
void FillGrid(CMeshObject& mesh, int copy) {
  const float step = 2.0f / (kSide - 1);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      mesh.AddVertex(-1.0f + x * step, 1.0f - y * step, 0.05f * std::sin(x * 0.2f) * std::cos(y * 0.2f) + 0.1f * copy);
  for (int y = 0; y + 1 < kSide; ++y)
    for (int x = 0; x + 1 < kSide; ++x) {
      const long a = y * kSide + x, b = a + 1, c = a + kSide, d = c + 1;
      mesh.AddFace(a, b, d);
      mesh.AddFace(a, d, c);
    }
}

struct Scene {
  BenchWindow window;
  std::unique_ptr<CRenderEngine> engine;
  long faces = 0;
  Scene() {
    engine = std::make_unique<CRenderEngine>(8, std::make_unique<GLDisplaySystem>(&Context()));
    engine->Init_RenderEngine(&window);
    engine->Start();
    for (int i = 0; i < kMeshes; ++i) {
      CMeshObject* mesh = engine->CreateObject();
      FillGrid(*mesh, i);
      mesh->ReCalcAll(1);
      faces += mesh->GetFaceCount();
    }
    CLight* light = engine->CreateLight(D3DLIGHT_POINT);
    light->SetPosition(D3DVECTOR(0, 4, -4));
  }
};

void BM_EngineFrame(benchmark::State& state) {
  if (!Context().IsValid()) {
    state.SkipWithError(Context().Problem().c_str());
    return;
  }
  Scene scene;
  scene.engine->Render();  // uploads the vertex buffers once
  glFinish();
  for (auto _ : state) {
    if (scene.engine->Render() != 0) state.SkipWithError("the frame failed");
    glFinish();
  }
  state.counters["faces"] = static_cast<double>(scene.faces);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(Context().Renderer());
}
BENCHMARK(BM_EngineFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The same vertices (88-byte records, normals) and triangles drawn straight,
// under the states an engine frame set: one buffer per mesh and 16-bit
// indices in element buffers, nothing set per draw.
void BM_BareGLFrame(benchmark::State& state) {
  if (!Context().IsValid()) {
    state.SkipWithError(Context().Problem().c_str());
    return;
  }
  Context().MakeCurrent();
  Scene scene;  // the same vertices, and the engine's states
  GLuint fbo = 0, colour = 0, depth = 0;
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kWidth, kHeight);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);

  struct Mesh {
    GLuint vertices, indices;
    GLsizei count;
  };
  std::vector<Mesh> meshes;
  for (SimpleNode<CMeshObject>* n = scene.engine->ObjectList().Head(); n; n = n->Next()) {
    CMeshObject* m = n->Node();
    Mesh g{};
    glGenBuffers(1, &g.vertices);
    glBindBuffer(GL_ARRAY_BUFFER, g.vertices);
    glBufferData(GL_ARRAY_BUFFER, m->GetVertexCount() * sizeof(MeshVertex), m->GetVertex(0), GL_STATIC_DRAW);
    std::vector<unsigned short> indices;
    for (long f = 0; f < m->GetFaceCount(); ++f)
      for (int k = 0; k < 3; ++k) indices.push_back(m->FaceData()[f].v[k]);
    glGenBuffers(1, &g.indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * 2, indices.data(), GL_STATIC_DRAW);
    g.count = static_cast<GLsizei>(indices.size());
    meshes.push_back(g);
  }
  // Every state the engine's frame leaves behind (matrices, lights,
  // material, culling, depth test) stays: only the drawing differs.
  scene.engine->Render();
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glViewport(0, 0, kWidth, kHeight);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  auto frame = [&] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const Mesh& g : meshes) {
      glBindBuffer(GL_ARRAY_BUFFER, g.vertices);
      glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), nullptr);
      glNormalPointer(GL_FLOAT, sizeof(MeshVertex), reinterpret_cast<const void*>(12));
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indices);
      glDrawElements(GL_TRIANGLES, g.count, GL_UNSIGNED_SHORT, nullptr);
    }
    glFinish();
  };
  frame();
  for (auto _ : state) frame();
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  for (const Mesh& g : meshes) {
    glDeleteBuffers(1, &g.vertices);
    glDeleteBuffers(1, &g.indices);
  }
  glDeleteRenderbuffers(1, &colour);
  glDeleteRenderbuffers(1, &depth);
  glDeleteFramebuffers(1, &fbo);
  state.counters["faces"] = static_cast<double>(scene.faces);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(Context().Renderer());
}
BENCHMARK(BM_BareGLFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
