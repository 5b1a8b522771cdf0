// Fuzzes the .x file reader: template blocks and data files in every
// encoding. An input that starts with "xof " is a whole file, header
// included, and is also offered as a template block; so every .x file is a
// seed as it stands. Any other input is a file body: its first byte picks
// binary (bit 1 set) or text, and the rest is wrapped in a valid MSZIP
// container, so the parser behind the decompressor sees mutated bodies too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/DirectXFile.h"
#include "platform/XFileModel.h"
#include "fuzz/FuzzSupport.h"
#include "tests/platform/XFileFixtures.h"

namespace {

void Walk(IDirectXFileData* d, int depth) {
  if (depth > 64) return;
  const GUID* type = nullptr;
  d->GetType(&type);
  DWORD size = 0;
  void* data = nullptr;
  d->GetData(nullptr, &size, &data);
  for (const char* member : {"vertices", "faces", "filename", "m_Info", "nFaceIndexes"}) d->GetData(member, &size, &data);
  DWORD len = 0;
  d->GetName(nullptr, &len);
  std::string name(len + 1, '\0');
  len = static_cast<DWORD>(name.size());
  d->GetName(name.data(), &len);
  GUID id;
  d->GetId(&id);
  IDirectXFileObject* child = nullptr;
  while (SUCCEEDED(d->GetNextObject(&child))) {
    IDirectXFileData* cd = nullptr;
    IDirectXFileDataReference* ref = nullptr;
    IDirectXFileBinary* bin = nullptr;
    if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&cd)))) {
      Walk(cd, depth + 1);
      cd->Release();
    } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&ref)))) {
      IDirectXFileData* target = nullptr;
      if (SUCCEEDED(ref->Resolve(&target))) {
        target->GetData(nullptr, &size, &data);
        target->Release();
      }
      ref->Release();
    } else if (SUCCEEDED(child->QueryInterface(IID_IDirectXFileBinary, reinterpret_cast<void**>(&bin)))) {
      bin->Release();
    }
    child->Release();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 1) return 0;
  const bool whole = size >= 4 && std::memcmp(input, "xof ", 4) == 0;
  std::string file;
  if (whole) {
    file.assign(reinterpret_cast<const char*>(input), size);
  } else {
    file = (input[0] & 2) ? "xof 0303bzip0032" : "xof 0303tzip0032";
    if (FAILED(xfile::MsZipCompress(input + 1, size - 1, file))) return 0;
  }

  // A whole file behind a leading byte is a seed in the wrong form: its
  // header would be parsed as body text.
  xfile::FileHeader header;
  if (FAILED(xfile::ReadHeader(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &header)) ||
      (!whole && size >= 5 && std::memcmp(input + 1, "xof ", 4) == 0))
    fuzzsupport::HeaderRejected(size);

  IDirectXFile* f = nullptr;
  if (FAILED(DirectXFileCreate(&f))) return 0;
  f->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  f->RegisterTemplates(xfixtures::kCustomBlock1, sizeof xfixtures::kCustomBlock1 - 1);
  f->RegisterTemplates(xfixtures::kCustomBlock2, sizeof xfixtures::kCustomBlock2 - 1);
  if (whole) f->RegisterTemplates(file.data(), static_cast<DWORD>(file.size()));

  DXFILELOADMEMORY mem{file.data(), static_cast<DWORD>(file.size())};
  IDirectXFileEnumObject* e = nullptr;
  if (SUCCEEDED(f->CreateEnumObject(&mem, DXFILELOAD_FROMMEMORY, &e))) {
    IDirectXFileData* d = nullptr;
    while (SUCCEEDED(e->GetNextDataObject(&d))) {
      Walk(d, 0);
      d->Release();
    }
    if (SUCCEEDED(e->GetDataObjectByName("Box", &d))) d->Release();
    e->Release();
  }
  f->Release();
  return 0;
}
