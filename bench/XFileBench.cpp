// Raw throughput of the .x file reader: parsing a large generated mesh file
// in the text and the binary encoding (header check, tokenizing, records,
// object tree), from memory. Bytes per second are the file's bytes.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/DirectXFile.h"

namespace {

// A Frame holding a Mesh of n vertices and 2n triangles, with normals,
// texture coordinates and a material list, as an exporter writes them.
std::string MakeFile(DWORD format, uint32_t n) {
  IDirectXFile* f = nullptr;
  DirectXFileCreate(&f);
  f->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  const std::string path = "/tmp/orv_xfile_bench_" + std::to_string(::getpid()) + ".x";
  IDirectXFileSaveObject* save = nullptr;
  f->CreateSaveObject(path.c_str(), format, &save);

  std::vector<uint8_t> mesh;
  auto put = [](std::vector<uint8_t>& r, const void* p, size_t size) {
    r.insert(r.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
  };
  put(mesh, &n, 4);
  for (uint32_t i = 0; i < n; ++i) {
    const float v[3] = {static_cast<float>(i % 1000) * 0.013f - 6.5f, static_cast<float>(i / 1000) * 0.021f,
                        static_cast<float>((i * 7919) % 1013) * -0.0071f};
    put(mesh, v, sizeof v);
  }
  const uint32_t faces = 2 * n;
  put(mesh, &faces, 4);
  for (uint32_t i = 0; i < faces; ++i) {
    const uint32_t face[4] = {3, i % n, (i + 1) % n, (i + 1000) % n};
    put(mesh, face, sizeof face);
  }
  std::vector<uint8_t> normals = mesh;  // same layout: vectors then faces
  std::vector<uint8_t> uv;
  put(uv, &n, 4);
  for (uint32_t i = 0; i < n; ++i) {
    const float t[2] = {static_cast<float>(i % 97) / 97.0f, static_cast<float>(i % 89) / 89.0f};
    put(uv, t, sizeof t);
  }
  std::vector<uint8_t> list;
  const uint32_t head[2] = {1, faces};
  put(list, head, sizeof head);
  for (uint32_t i = 0; i < faces; ++i) {
    const uint32_t zero = 0;
    put(list, &zero, 4);
  }
  const float material[11] = {0.8f, 0.7f, 0.6f, 1.0f, 10.0f, 0.1f, 0.1f, 0.1f, 0.0f, 0.0f, 0.0f};

  IDirectXFileData *frame, *m, *nrm, *tex, *mat, *matList;
  save->CreateDataObject(TID_D3DRMFrame, "Frame_Big", nullptr, 0, nullptr, &frame);
  save->CreateDataObject(TID_D3DRMMesh, "Big", nullptr, static_cast<DWORD>(mesh.size()), mesh.data(), &m);
  save->CreateDataObject(TID_D3DRMMeshNormals, nullptr, nullptr, static_cast<DWORD>(normals.size()), normals.data(),
                         &nrm);
  save->CreateDataObject(TID_D3DRMMeshTextureCoords, nullptr, nullptr, static_cast<DWORD>(uv.size()), uv.data(), &tex);
  save->CreateDataObject(TID_D3DRMMeshMaterialList, nullptr, nullptr, static_cast<DWORD>(list.size()), list.data(),
                         &matList);
  save->CreateDataObject(TID_D3DRMMaterial, "Paint", nullptr, sizeof material, material, &mat);
  matList->AddDataObject(mat);
  m->AddDataObject(nrm);
  m->AddDataObject(tex);
  m->AddDataObject(matList);
  frame->AddDataObject(m);
  save->SaveData(frame);
  for (IDirectXFileData* d : {frame, m, nrm, tex, mat, matList}) d->Release();
  save->Release();
  f->Release();

  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  return bytes;
}

void Parse(benchmark::State& state, DWORD format) {
  const std::string file = MakeFile(format, static_cast<uint32_t>(state.range(0)));
  IDirectXFile* f = nullptr;
  DirectXFileCreate(&f);
  f->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  for (auto _ : state) {
    DXFILELOADMEMORY mem{file.data(), static_cast<DWORD>(file.size())};
    IDirectXFileEnumObject* e = nullptr;
    if (FAILED(f->CreateEnumObject(&mem, DXFILELOAD_FROMMEMORY, &e))) {
      state.SkipWithError("parse failed");
      break;
    }
    IDirectXFileData* d = nullptr;
    while (SUCCEEDED(e->GetNextDataObject(&d))) {
      DWORD size = 0;
      void* data = nullptr;
      d->GetData(nullptr, &size, &data);
      benchmark::DoNotOptimize(data);
      d->Release();
    }
    e->Release();
  }
  f->Release();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

void BM_XFileParseText(benchmark::State& state) { Parse(state, DXFILEFORMAT_TEXT); }
void BM_XFileParseBinary(benchmark::State& state) { Parse(state, DXFILEFORMAT_BINARY); }
void BM_XFileParseCompressedText(benchmark::State& state) {
  Parse(state, DXFILEFORMAT_TEXT | DXFILEFORMAT_COMPRESSED);
}

}  // namespace

BENCHMARK(BM_XFileParseText)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileParseBinary)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XFileParseCompressedText)->Arg(200000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
