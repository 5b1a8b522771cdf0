// Loading and saving large models through the DirectX file reader and
// writer, in the text, binary and compressed encodings, with assimp's import
// of the same files measured beside them when assimp is there. Bytes per
// second are the file's bytes, over wall-clock time (the engine spreads
// large meshes over the cores).
//
// The scene: 16 meshes of a 256 x 256 vertex grid (65,536 vertices and
// 130,050 triangles each): 1,048,576 vertices and 2,080,800 faces.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/RenderEngine.h"
#include "formats/ReadDirectX.h"
#include "platform/Host.h"

#ifdef ORV_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

constexpr int kMeshes = 16;
constexpr int kSide = 256;

class BenchWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
};

// Settings the writer reads: compression on or off.
class BenchHost : public IHost {
 public:
  int MessageBox(const CString&, const CString&, UINT) override { return IDOK; }
  void ProgressShow(bool) override {}
  void ProgressSetRange(LONG, LONG) override {}
  void ProgressSetPos(LONG) override {}
  void ProgressSetMessage(const CString&) override {}
  int GetProfileInt(const CString&, const CString& entry, int d) override {
    return StrUpper(entry) == "SAVECOMPRESSDIRECTX" ? compress : d;
  }
  CString GetProfileString(const CString&, const CString&, const CString& d) override { return d; }
  bool IsBatchConversion() const override { return false; }
  void RequestRefresh(DWORD) override {}
  HRESULT AddUndoAction(CAction*) override { return E_FAIL; }
  void CheckUndoList(CFrameObject*) override {}
  void RecalcLoadedMeshViews() override {}
  int compress = 0;
};

BenchHost g_Host;
BenchWindow g_Window;

struct Scene {
  std::unique_ptr<CRenderEngine> engine;
  CMeshObject* root = nullptr;
};

Scene MakeScene() {
  Scene s;
  s.engine = std::make_unique<CRenderEngine>(8);
  s.engine->Init_RenderEngine(&g_Window);
  s.root = s.engine->CreateObject();
  s.root->SetName("Root");
  for (int m = 0; m < kMeshes; ++m) {
    CMeshObject* mesh = s.engine->CreateObject();
    mesh->SetName("Part" + std::to_string(m));
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x)
        mesh->AddVertex(x * 0.01f + m, y * 0.01f, static_cast<float>((x * 7 + y * 13) % 17) * 0.001f);
    for (int y = 0; y + 1 < kSide; ++y)
      for (int x = 0; x + 1 < kSide; ++x) {
        const long a = y * kSide + x;
        mesh->AddFace(a, a + 1, a + kSide + 1);
        mesh->AddFace(a, a + kSide + 1, a + kSide);
      }
    s.root->AddChild(mesh);
  }
  return s;
}

const char* const kEncodings[] = {"text", "binary", "compressed-text", "compressed-binary"};

std::string FileFor(int encoding) {
  return "/tmp/orv_xread_bench_" + std::to_string(::getpid()) + "_" + kEncodings[encoding] + ".x";
}

LONG Save(CMeshObject* root, int encoding, const std::string& file) {
  g_Host.compress = encoding >= 2 ? 1 : 0;
  root->SetLastSaveFormat(encoding % 2);
  return root->Save(file, 1);
}

// The files, written once and removed when the program ends.
struct PreparedFiles {
  std::string names[4];
  ~PreparedFiles() {
    for (const std::string& name : names)
      if (!name.empty()) std::filesystem::remove(name);
  }
};

// All four are written before the first measurement and flushed to disk, so
// that no measurement shares the machine with writing them back.
const std::string& Prepared(int encoding) {
  static PreparedFiles files;
  if (files.names[0].empty()) {
    Scene s = MakeScene();
    for (int e = 0; e < 4; ++e) {
      files.names[e] = FileFor(e);
      Save(s.root, e, files.names[e]);
    }
    ::sync();
  }
  return files.names[encoding];
}

// The four encodings, two seconds each, over wall-clock time.
void PerEncoding(benchmark::internal::Benchmark* b) {
  b->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
}

// Times `read(engine, mesh, file)` on a fresh engine for the encoding in
// range(0). Only the reading is timed: making the engine beforehand and
// tearing the scene down afterwards are not (nor are they for assimp).
template <class Read>
void TimeReads(benchmark::State& state, Read read) {
  ScopedHost host(&g_Host);
  const std::string& file = Prepared(static_cast<int>(state.range(0)));
  const auto bytes = static_cast<int64_t>(std::filesystem::file_size(file));
  long faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto engine = std::make_unique<CRenderEngine>(8);
    engine->Init_RenderEngine(&g_Window);
    CMeshObject* mesh = engine->CreateObject();
    state.ResumeTiming();
    if (!read(*engine, mesh, file)) state.SkipWithError("reading failed");
    state.PauseTiming();
    faces = 0;
    for (SimpleNode<CMeshObject>* n = engine->ObjectList().Head(); n; n = n->Next()) faces += n->Node()->GetFaceCount();
    engine.reset();
    state.ResumeTiming();
  }
  state.counters["faces"] = static_cast<double>(faces);
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetLabel(kEncodings[state.range(0)]);
}

void BM_Load(benchmark::State& state) {
  TimeReads(state, [](CRenderEngine&, CMeshObject* mesh, const std::string& file) { return mesh->Load(file) == 0; });
}
BENCHMARK(BM_Load)->Apply(PerEncoding);

// The reader alone: the file's meshes, materials and textures made through
// the engine, without the display preparation (normals, view values, face
// visibility, render groups) that CMeshObject::Load runs afterwards.
void BM_Read(benchmark::State& state) {
  TimeReads(state, [](CRenderEngine& engine, CMeshObject* mesh, const std::string& file) {
    CReadDirectX reader(&engine);
    return reader.ReadObject(mesh, file) == 0;
  });
}
BENCHMARK(BM_Read)->Apply(PerEncoding);

void BM_Save(benchmark::State& state) {
  ScopedHost host(&g_Host);
  Scene s = MakeScene();
  const int encoding = static_cast<int>(state.range(0));
  const std::string file = FileFor(encoding) + ".out.x";
  for (auto _ : state)
    if (Save(s.root, encoding, file) != 0) state.SkipWithError("save failed");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(file)));
  state.SetLabel(kEncodings[encoding]);
  std::filesystem::remove(file);
}
BENCHMARK(BM_Save)->Apply(PerEncoding);

#ifdef ORV_HAVE_ASSIMP
void BM_AssimpLoad(benchmark::State& state) {
  const std::string& file = Prepared(static_cast<int>(state.range(0)));
  const auto bytes = static_cast<int64_t>(std::filesystem::file_size(file));
  for (auto _ : state) {
    state.PauseTiming();
    auto importer = std::make_unique<Assimp::Importer>();
    state.ResumeTiming();
    const aiScene* scene = importer->ReadFile(file, 0);
    if (!scene) state.SkipWithError(importer->GetErrorString());
    benchmark::DoNotOptimize(scene);
    state.PauseTiming();
    importer.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetLabel(kEncodings[state.range(0)]);
}
BENCHMARK(BM_AssimpLoad)->Apply(PerEncoding);
#endif

}  // namespace

BENCHMARK_MAIN();
