// Loading 3D Studio files: the largest file of the sample corpus, and a
// synthetic one at the vertex limit of a mesh (one object of a 256 x 256
// grid: 65,536 vertices and 130,050 faces, with two material groups and
// texture coordinates) beside a quarter of it (128 x 128). Each is timed through the reader alone and through
// CMeshObject::Load (reader plus normals, views and render data).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/RenderEngine.h"
#include "formats/Read3DS.h"
#include "platform/Host.h"

namespace {

namespace fs = std::filesystem;


class BenchWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
};
BenchWindow g_Window;

std::string U16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string F32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return U32(bits);
}
std::string Ch(uint16_t id, const std::string& body) { return U16(id) + U32(static_cast<uint32_t>(body.size() + 6)) + body; }

// One 4110 chunk holds at most 65,535 vertices and one 4120 chunk as many
// faces: the grid comes in two of each.
std::string SyntheticFile(int side) {
  std::vector<std::string> vertexChunks, uvChunks;
  const int total = side * side;
  for (int first = 0; first < total; first += 65535) {
    const int n = std::min(65535, total - first);
    std::string v = U16(static_cast<uint16_t>(n)), uv = U16(static_cast<uint16_t>(n));
    for (int i = first; i < first + n; ++i) {
      const int x = i % side, y = i / side;
      v += F32(x * 0.01f) + F32(y * 0.01f) + F32(static_cast<float>((x * 7 + y * 13) % 17) * 0.001f);
      uv += F32(x / 255.0f) + F32(y / 255.0f);
    }
    vertexChunks.push_back(Ch(0x4110, v));
    uvChunks.push_back(Ch(0x4140, uv));
  }
  std::vector<std::array<int, 3>> faces;
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      const int a = y * side + x;
      faces.push_back({a, a + 1, a + side + 1});
      faces.push_back({a, a + side + 1, a + side});
    }
  std::string mesh;
  for (const std::string& c : vertexChunks) mesh += c;
  mesh += uvChunks[0];
  for (size_t first = 0; first < faces.size(); first += 65025) {
    const size_t n = std::min<size_t>(65025, faces.size() - first);
    std::string f = U16(static_cast<uint16_t>(n));
    for (size_t i = first; i < first + n; ++i)
      f += U16(static_cast<uint16_t>(faces[i][0])) + U16(static_cast<uint16_t>(faces[i][1])) +
           U16(static_cast<uint16_t>(faces[i][2])) + U16(7);
    std::string group = std::string(first == 0 && faces.size() > 65025 ? "Red" : "Wood") + '\0' + U16(static_cast<uint16_t>(n));
    for (size_t i = 0; i < n; ++i) group += U16(static_cast<uint16_t>(i));
    mesh += Ch(0x4120, f + Ch(0x4130, group));
  }
  const std::string red = Ch(0xAFFF, Ch(0xA000, std::string("Red") + '\0') + Ch(0xA020, Ch(0x0011, "\xff\x00\x00")));
  const std::string wood =
      Ch(0xAFFF, Ch(0xA000, std::string("Wood") + '\0') + Ch(0xA200, Ch(0xA300, std::string("wood.bmp") + '\0')));
  const std::string editor = Ch(0x3D3E, U32(3)) + red + wood + Ch(0x4000, std::string("Grid") + '\0' + Ch(0x4100, mesh));
  return Ch(0x4D4D, Ch(0x0002, U32(3)) + Ch(0x3D3D, editor));
}

// The largest .3ds file of the corpus beside the project, or "".
std::string LargestCorpusFile() {
  const fs::path corpus = fs::path(ORV_SOURCE_DIR) / ".." / "shared" / "corpus" / "3ds";
  std::string best;
  uintmax_t size = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(corpus, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string ext = it->path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".3ds" && it->file_size() > size) {
      size = it->file_size();
      best = it->path().string();
    }
  }
  return best;
}

// 0: the largest corpus file; 1 and 2: grids of 128 x 128 and 256 x 256
// vertices (a quarter of the work and all of it, to show the growth).
struct Files {
  std::string corpus, grids[2];
  ~Files() {
    for (const std::string& g : grids)
      if (!g.empty()) fs::remove(g);
  }
};

const std::string& FileFor(int which) {
  static Files files;
  if (files.grids[0].empty()) {
    for (int g = 0; g < 2; ++g) {
      files.grids[g] =
          (fs::temp_directory_path() / ("orv_3ds_bench_" + std::to_string(::getpid()) + "_" + std::to_string(g) + ".3ds"))
              .string();
      std::ofstream(files.grids[g], std::ios::binary) << SyntheticFile(g == 0 ? 128 : 256);
    }
    files.corpus = LargestCorpusFile();
  }
  return which == 0 ? files.corpus : files.grids[which - 1];
}

template <class Read>
void TimeReads(benchmark::State& state, Read read) {
  ScopedHost host(nullptr);
  const std::string& file = FileFor(static_cast<int>(state.range(0)));
  if (file.empty()) {
    state.SkipWithError("no corpus file");
    return;
  }
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  long vertices = 0, faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto engine = std::make_unique<CRenderEngine>(8);
    engine->Init_RenderEngine(&g_Window);
    CMeshObject* root = engine->CreateObject();
    state.ResumeTiming();
    if (!read(root, file, bytes)) state.SkipWithError("reading failed");
    state.PauseTiming();
    vertices = root->CountVertices(0);
    faces = root->CountFaces(0);
    engine.reset();
    state.ResumeTiming();
  }
  state.counters["vertices"] = static_cast<double>(vertices);
  state.counters["faces"] = static_cast<double>(faces);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  const char* const labels[] = {"", "16,384-vertex grid", "65,536-vertex grid"};
  state.SetLabel(state.range(0) == 0 ? fs::path(file).filename().string() : labels[state.range(0)]);
}

void Both(benchmark::internal::Benchmark* b) {
  b->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
}

void BM_Read3DS(benchmark::State& state) {
  TimeReads(state, [](CMeshObject* root, const std::string&, const std::vector<uint8_t>& bytes) {
    return Load3DStudio_Memory(bytes.data(), bytes.size(), "", root) == 0;
  });
}
BENCHMARK(BM_Read3DS)->Apply(Both);

void BM_Load3DS(benchmark::State& state) {
  TimeReads(state, [](CMeshObject* root, const std::string& file, const std::vector<uint8_t>&) {
    return root->Load(file) == 0;
  });
}
BENCHMARK(BM_Load3DS)->Apply(Both);

}  // namespace

BENCHMARK_MAIN();
