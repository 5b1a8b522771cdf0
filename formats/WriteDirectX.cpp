#include "formats/WriteDirectX.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "engine/CFuncture.h"
#include "engine/CMaterial.h"
#include "engine/CMeshObject.h"
#include "engine/CTexture.h"
#include "engine/ErrorTable.h"
#include "engine/RenderEngine.h"
#include "formats/XTemplates.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "platform/SaveFiles.h"

namespace fs = std::filesystem;

namespace {

// A file could not be created, written or renamed (ERROR_WRITE_FAULT).
constexpr HRESULT kWriteFault = HRESULT_WRITE_FAULT;

// Why a file could not be created or renamed into place: a missing folder
// is "path not found" when saving.
HRESULT SaveErrorFromErrno(int err) {
  return err == ENOENT ? HRESULT_PATH_NOT_FOUND : ResultFromErrno(err, kWriteFault);
}

// A file written under a temporary name in the target's folder and renamed
// over the target when complete; dropped unless committed. Temporaries that
// killed saves of the same target left behind go first.
class TempTarget {
 public:
  explicit TempTarget(const CString& target) : m_Target(target) {
    RemoveStaleSaveTemps(target);
    std::string pattern = SaveTempPattern(target);
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      m_Error = SaveErrorFromErrno(errno);
      return;
    }
    // The new file gets the permissions the target had, or those a newly
    // created file gets.
    struct stat st {};
    mode_t mode;
    if (::stat(target.c_str(), &st) == 0) {
      mode = st.st_mode & 07777;
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);
    m_Temp = pattern;
  }
  ~TempTarget() {
    if (!m_Temp.empty() && !m_Committed) ::unlink(m_Temp.c_str());
  }
  TempTarget(const TempTarget&) = delete;
  TempTarget& operator=(const TempTarget&) = delete;

  bool Valid() const { return !m_Temp.empty(); }
  HRESULT Error() const { return m_Error; }
  const CString& Path() const { return m_Temp; }
  // Reported done only once the new file and its name are on disk.
  HRESULT Commit() {
    if (!SyncFile(m_Temp)) return kWriteFault;
    if (::rename(m_Temp.c_str(), m_Target.c_str()) != 0) return SaveErrorFromErrno(errno);
    m_Committed = true;
    if (!SyncFolderOf(m_Target)) return kWriteFault;
    return S_OK;
  }

 private:
  CString m_Target;
  CString m_Temp;
  bool m_Committed = false;
  HRESULT m_Error = kWriteFault;
};

// Progress of a save on the engine's progress bar.
class SaveProgress {
 public:
  SaveProgress(CRenderEngine* engine, CFrameObject* item, long objects) : m_Engine(engine) {
    if (!m_Engine) return;
    m_Window = m_Engine->CreateProgressWindow();
    if (!m_Window) return;
    m_Window->SetMessage("Writing object ...", item);
    m_Window->SetMax(objects);
    m_Window->SetCurrent(0);
  }
  ~SaveProgress() {
    if (m_Engine && m_Window) m_Engine->ReleaseProgressWindow();
  }
  SaveProgress(const SaveProgress&) = delete;
  SaveProgress& operator=(const SaveProgress&) = delete;
  void Step() {
    if (m_Window) m_Window->SetCurrent(++m_Done);
  }

 private:
  CRenderEngine* m_Engine;
  Progress_Window* m_Window = nullptr;
  long m_Done = 0;
};

void CollectDepthFirst(CMeshObject* object, std::vector<CMeshObject*>& out) {
  out.push_back(object);
  for (SimpleNode<CMeshObject>* n = object->ChildList().Head(); n; n = n->Next())
    if (n->Node()) CollectDepthFirst(n->Node(), out);
}

void PutDword(std::vector<uint8_t>& b, DWORD v) {
  const size_t at = b.size();
  b.resize(at + 4);
  std::memcpy(&b[at], &v, 4);
}

void PutFloat(std::vector<uint8_t>& b, float v) {
  const size_t at = b.size();
  b.resize(at + 4);
  std::memcpy(&b[at], &v, 4);
}

// The Mesh record of `objects`: vertices at their stored position plus their
// own object's position, faces offset by the vertices written before.
void BuildMeshRecord(const std::vector<CMeshObject*>& objects, std::vector<uint8_t>& record) {
  size_t vertices = 0, faces = 0;
  for (CMeshObject* o : objects) {
    vertices += static_cast<size_t>(o->GetVertexCount());
    faces += static_cast<size_t>(o->GetFaceCount());
  }
  record.clear();
  record.reserve(8 + 12 * vertices + 16 * faces);
  PutDword(record, static_cast<DWORD>(vertices));
  for (CMeshObject* o : objects)
    for (long i = 0; i < o->GetVertexCount(); ++i) {
      float x = 0, y = 0, z = 0;
      o->GetVertexCoordinates(i, &x, &y, &z);
      PutFloat(record, x);
      PutFloat(record, y);
      PutFloat(record, z);
    }
  PutDword(record, static_cast<DWORD>(faces));
  DWORD offset = 0;
  for (CMeshObject* o : objects) {
    for (long f = 0; f < o->GetFaceCount(); ++f) {
      long a = 0, b = 0, c = 0;
      o->GetFaceIndices(f, &a, &b, &c);
      PutDword(record, 3);
      PutDword(record, static_cast<DWORD>(a) + offset);
      PutDword(record, static_cast<DWORD>(b) + offset);
      PutDword(record, static_cast<DWORD>(c) + offset);
    }
    offset += static_cast<DWORD>(o->GetVertexCount());
  }
}

}  // namespace

CWriteDirectX::CWriteDirectX(int methode) : m_Methode(methode) {}

CWriteDirectX::~CWriteDirectX() {
  if (m_Save) m_Save->Release();
  if (m_File) m_File->Release();
}

const char* CWriteDirectX::Keep(std::string text) {
  m_Strings.push_back(std::move(text));
  return m_Strings.back().c_str();
}

// The first failure of a save is shown once, naming the file and the reason.
HRESULT CWriteDirectX::Report(HRESULT hr) {
  if (FAILED(hr) && !m_FailureReported && m_Object && m_Object->Engine()) {
    m_FailureReported = true;
    m_Object->Engine()->ReportError("Cannot save \"" + m_FileName + "\": " + DirectXErrorDescription(hr));
  }
  return hr;
}

HRESULT CWriteDirectX::Create(const GUID& type, const char* name, const GUID* id, DWORD size, const void* data,
                              IDirectXFileData** out) {
  return Report(m_Save->CreateDataObject(type, name, id, size, data, out));
}

HRESULT CWriteDirectX::AddAndRelease(IDirectXFileData* parent, IDirectXFileData* child) {
  const HRESULT hr = parent->AddDataObject(child);
  child->Release();
  return Report(hr);
}

HRESULT CWriteDirectX::AddRecord(IDirectXFileData* parent, const GUID& type, const char* name, const GUID* id,
                                 DWORD size, const void* data, IDirectXFileData** out) {
  IDirectXFileData* child = nullptr;
  HRESULT hr = Create(type, name, id, size, data, &child);
  if (FAILED(hr)) return hr;
  if (out) {
    // The caller adds children to it; the parent keeps its own reference.
    child->AddRef();
    *out = child;
  }
  hr = AddAndRelease(parent, child);
  if (FAILED(hr) && out) {
    (*out)->Release();
    *out = nullptr;
  }
  return hr;
}

// ---------------------------------------------------------------------------

LONG CWriteDirectX::WriteObject(CMeshObject* object, const CString& file, DWORD format) {
  if (!object) return E_FAIL;
  m_Object = object;
  m_FileName = file;
  m_FailureReported = false;
  m_ModelDirectory = PathDirectory(file);
  m_SaveExtraInfo = HostGetProfileInt("ACTIONS", "SAVEEXTRAINFO", 1) == 1;
  m_SaveFullPaths = SaveFullTexturePaths();
  m_Strings.clear();
  m_ImagesWritten.clear();

  TempTarget temp(file);
  HRESULT hr = S_OK;
  if (!temp.Valid()) return Report(temp.Error());

  hr = DirectXFileCreate(&m_File);
  if (FAILED(hr)) {
    m_File = nullptr;
    return Report(hr);
  }
  hr = m_File->CreateSaveObject(temp.Path().c_str(), format, &m_Save);
  if (FAILED(hr)) {
    m_Save = nullptr;
    Report(hr);
  }
  if (SUCCEEDED(hr)) {
    hr = RegisterOrvaneTemplates(m_File);
    if (FAILED(hr) && object->Engine()) object->Engine()->ReportError(TemplateRegistrationMessage(hr));
  }
  if (SUCCEEDED(hr)) hr = Report(m_Save->SaveTemplates(XFILEORVANE_TEMPLATE_COUNT, OrvaneTemplateSaveOrder()));
  if (SUCCEEDED(hr)) {
    std::vector<CMeshObject*> objects;
    CollectDepthFirst(object, objects);
    SaveProgress progress(object->Engine(), object, static_cast<long>(objects.size()));
    IDirectXFileData* top = nullptr;
    try {
      hr = m_Methode == 0 ? WriteFlattened(&top) : WriteFrame(object, nullptr, &top);
    } catch (const std::bad_alloc&) {
      hr = Report(E_OUTOFMEMORY);
    }
    if (SUCCEEDED(hr) && top) hr = Report(m_Save->SaveData(top));
    if (top) top->Release();
  }
  // The save object closes the file when it goes.
  if (m_Save) m_Save->Release();
  m_Save = nullptr;
  m_File->Release();
  m_File = nullptr;
  if (SUCCEEDED(hr)) hr = Report(temp.Commit());
  return hr;
}

// ---------------------------------------------------------------------------
// Flattened mesh

HRESULT CWriteDirectX::WriteFlattened(IDirectXFileData** top) {
  std::vector<CMeshObject*> objects;
  CollectDepthFirst(m_Object, objects);

  std::vector<uint8_t> record;
  BuildMeshRecord(objects, record);
  IDirectXFileData* mesh = nullptr;
  HRESULT hr = Create(TID_D3DRMMesh, m_Object->GetName().c_str(), nullptr, static_cast<DWORD>(record.size()),
                      record.data(), &mesh);
  if (FAILED(hr)) return hr;
  *top = mesh;

  // Number the distinct materials, then the distinct textures, depth first.
  // A stage texture listed by an object takes the number of the next
  // texture; it is written under the texture it is a stage of.
  std::unordered_map<const CMaterial*, DWORD> materialNumber;
  std::unordered_map<const CTexture*, DWORD> textureNumber;
  std::vector<CMaterial*> materials;
  std::vector<CMaterial*> textures;
  std::vector<const CTexture*> pendingStages;
  for (CMeshObject* o : objects) {
    for (SimpleNode<CMaterial>* n = o->MaterialList().Head(); n; n = n->Next()) {
      CMaterial* m = n->Node();
      if (m && materialNumber.emplace(m, static_cast<DWORD>(materials.size() + 1)).second) materials.push_back(m);
    }
    for (SimpleNode<CTexture>* n = o->TextureList().Head(); n; n = n->Next()) {
      CTexture* t = n->Node();
      if (!t || textureNumber.count(t)) continue;
      hr = WriteTextureImage(t);
      if (FAILED(hr)) return hr;
      if (t->GetStageTexture()) {
        pendingStages.push_back(t);
        continue;
      }
      const DWORD number = static_cast<DWORD>(textures.size() + 1);
      textureNumber.emplace(t, number);
      for (const CTexture* s : pendingStages) textureNumber.emplace(s, number);
      pendingStages.clear();
      textures.push_back(t);
    }
  }
  const DWORD nMat = static_cast<DWORD>(materials.size());

  std::vector<DWORD> faceMaterials;
  for (CMeshObject* o : objects)
    for (long f = 0; f < o->GetFaceCount(); ++f) {
      DWORD index = 0;
      if (o->GetFaceTextureIndex(f) != -1) {
        CTexture* t = o->GetFaceTexture(f);
        auto it = t ? textureNumber.find(t) : textureNumber.end();
        if (it != textureNumber.end()) index = it->second + nMat - 1;
      } else if (o->GetFaceMaterialIndex(f) != -1) {
        CMaterial* m = o->GetFaceMaterial(f);
        auto it = m ? materialNumber.find(m) : materialNumber.end();
        if (it != materialNumber.end()) index = it->second - 1;
      }
      faceMaterials.push_back(index);
    }

  std::vector<CMaterial*> slots = materials;
  slots.insert(slots.end(), textures.begin(), textures.end());
  return WriteMeshChildren(mesh, m_Object, objects, faceMaterials, slots, !textures.empty());
}

// MeshMaterialList with one Material per slot (a mesh without any gets one
// plain Material, so every face keeps a valid index), the texture
// coordinates when asked, then the remark.
HRESULT CWriteDirectX::WriteMeshChildren(IDirectXFileData* mesh, CMeshObject* object,
                                         const std::vector<CMeshObject*>& objects,
                                         const std::vector<DWORD>& faceMaterials,
                                         const std::vector<CMaterial*>& slots, bool textureCoords) {
  std::vector<CMaterial*> written = slots;
  if (written.empty()) written.push_back(nullptr);
  std::vector<uint8_t> record;
  record.reserve(8 + 4 * faceMaterials.size());
  PutDword(record, static_cast<DWORD>(written.size()));
  PutDword(record, static_cast<DWORD>(faceMaterials.size()));
  for (DWORD index : faceMaterials) PutDword(record, index < written.size() ? index : 0);
  IDirectXFileData* list = nullptr;
  HRESULT hr = AddRecord(mesh, TID_D3DRMMeshMaterialList, nullptr, nullptr, static_cast<DWORD>(record.size()),
                         record.data(), &list);
  if (FAILED(hr)) return hr;
  for (CMaterial* item : written) {
    hr = WriteSlot(list, item);
    if (FAILED(hr)) break;
  }
  list->Release();
  if (FAILED(hr)) return hr;

  if (textureCoords) {
    record.clear();
    size_t vertices = 0;
    for (CMeshObject* o : objects) vertices += static_cast<size_t>(o->GetVertexCount());
    record.reserve(4 + 8 * vertices);
    PutDword(record, static_cast<DWORD>(vertices));
    for (CMeshObject* o : objects)
      for (long i = 0; i < o->GetVertexCount(); ++i) {
        float u = 0, v = 0;
        o->GetVertexTextureCoordinates(i, 0, &u, &v);
        PutFloat(record, u);
        PutFloat(record, v);
      }
    hr = AddRecord(mesh, TID_D3DRMMeshTextureCoords, nullptr, nullptr, static_cast<DWORD>(record.size()),
                   record.data());
    if (FAILED(hr)) return hr;
  }
  return WriteRemark(mesh, object);
}

// ---------------------------------------------------------------------------
// Frame hierarchy

HRESULT CWriteDirectX::WriteFrame(CMeshObject* object, IDirectXFileData* parent, IDirectXFileData** top) {
  const std::string frameName = "Frame_" + object->GetName();
  IDirectXFileData* frame = nullptr;
  HRESULT hr = Create(TID_D3DRMFrame, frameName.c_str(), nullptr, 0, nullptr, &frame);
  if (FAILED(hr)) return hr;
  if (parent) {
    frame->AddRef();  // kept while the children go in
    hr = AddAndRelease(parent, frame);
    if (FAILED(hr)) {
      frame->Release();
      return hr;
    }
  } else {
    *top = frame;
    frame->AddRef();
  }

  if (object->GetVertexCount() > 0) {
    const std::vector<CMeshObject*> self{object};
    std::vector<uint8_t> record;
    BuildMeshRecord(self, record);
    IDirectXFileData* mesh = nullptr;
    hr = Create(TID_D3DRMMesh, object->GetName().c_str(), nullptr, static_cast<DWORD>(record.size()), record.data(),
                &mesh);
    if (SUCCEEDED(hr)) {
      for (long i = 0; i < object->GetTextureCount() && SUCCEEDED(hr); ++i)
        if (CTexture* t = object->GetTexture(i)) hr = WriteTextureImage(t);
      const long materialCount = object->GetMaterialCount();
      std::vector<CMaterial*> slots;
      for (long i = 0; i < materialCount; ++i) slots.push_back(object->GetMaterial(i));
      for (long i = 0; i < object->GetTextureCount(); ++i) slots.push_back(object->GetTexture(i));
      std::vector<DWORD> faceMaterials;
      faceMaterials.reserve(static_cast<size_t>(object->GetFaceCount()));
      for (long f = 0; f < object->GetFaceCount(); ++f) {
        long index = object->GetFaceMaterialIndex(f);
        if (index < 0) index = 0;
        const long texture = object->GetFaceTextureIndex(f);
        if (texture >= 0) index = texture + materialCount;
        faceMaterials.push_back(static_cast<DWORD>(index));
      }
      if (SUCCEEDED(hr))
        hr = WriteMeshChildren(mesh, object, self, faceMaterials, slots, object->GetTextureCount() >= 1);
      if (SUCCEEDED(hr)) {
        hr = AddAndRelease(frame, mesh);
      } else {
        mesh->Release();
      }
    }
  }
  for (SimpleNode<CMeshObject>* n = object->ChildList().Head(); n && SUCCEEDED(hr); n = n->Next())
    if (n->Node()) hr = WriteFrame(n->Node(), frame, top);
  frame->Release();
  return hr;
}

// ---------------------------------------------------------------------------
// Materials, textures and functures

HRESULT CWriteDirectX::WriteSlot(IDirectXFileData* list, CMaterial* item) {
  if (!item) return WritePlaceholder(list, nullptr);
  switch (item->GetRTIType()) {
    case RTI_FUNCTURE:
      if (!m_SaveExtraInfo) return WritePlaceholder(list, item);
      return WriteFunctureObject(list, static_cast<CFuncture*>(item));
    case RTI_TEXTURE: {
      auto* t = static_cast<CTexture*>(item);
      if (t->GetStageTexture()) return WritePlaceholder(list, item);
      return WriteTextureObject(list, t);
    }
    default:
      return WriteMaterialObject(list, item);
  }
}

HRESULT CWriteDirectX::WritePlaceholder(IDirectXFileData* list, CMaterial* item) {
  XMaterialRecord r{};
  if (item) {
    r = MakeMaterialRecord(*item, true);
  } else {
    r.faceColor[0] = r.faceColor[1] = r.faceColor[2] = r.faceColor[3] = 1.0f;
  }
  return AddRecord(list, TID_D3DRMMaterial, item ? item->GetName().c_str() : nullptr, nullptr, sizeof r, &r);
}

HRESULT CWriteDirectX::WriteMaterialObject(IDirectXFileData* list, CMaterial* material) {
  const XMaterialRecord r = MakeMaterialRecord(*material, false);
  const char* name = material->GetName().c_str();
  IDirectXFileData* object = nullptr;
  HRESULT hr = AddRecord(list, TID_D3DRMMaterial, name, nullptr, sizeof r, &r, &object);
  if (FAILED(hr)) return hr;
  const XMaterialAlphaRecord alpha = MakeAlphaRecord(material->GetAlphaSettings());
  hr = AddRecord(object, XFILEORVANE_AlphaInfo, name, nullptr, sizeof alpha, &alpha);
  object->Release();
  return hr;
}

HRESULT CWriteDirectX::WriteTextureExtras(IDirectXFileData* material, CTexture* texture) {
  const XMatrixRecord placement = MakePlacementRecord(*texture);
  HRESULT hr = AddRecord(material, TID_D3DRMMatrix4x4, nullptr, nullptr, sizeof placement, &placement);
  if (FAILED(hr)) return hr;
  const XTextureInfoRecord info = MakeTextureInfoRecord(*texture);
  return AddRecord(material, XFILEORVANE_TextureInfo, texture->GetName().c_str(), &XFILEORVANE_TextureInfo,
                   sizeof info, &info);
}

HRESULT CWriteDirectX::WriteTextureObject(IDirectXFileData* list, CTexture* texture) {
  const XMaterialRecord r = MakeMaterialRecord(*texture, true);
  const char* name = texture->GetName().c_str();
  IDirectXFileData* object = nullptr;
  HRESULT hr = AddRecord(list, TID_D3DRMMaterial, name, nullptr, sizeof r, &r, &object);
  if (FAILED(hr)) return hr;

  XTextureFilenameRecord file{Keep(EncodeTexturePath(texture->GetFileName(), m_SaveFullPaths))};
  hr = AddRecord(object, TID_D3DRMTextureFilename, nullptr, nullptr, sizeof file, &file);
  if (SUCCEEDED(hr) && m_SaveExtraInfo) {
    const XMaterialAlphaRecord alpha = MakeAlphaRecord(texture->GetAlphaSettings());
    hr = AddRecord(object, XFILEORVANE_AlphaInfo, name, nullptr, sizeof alpha, &alpha);
    if (SUCCEEDED(hr)) {
      const XTextureStageEntryRecord own = MakeStageEntryRecord(*texture, 0);
      hr = AddRecord(object, XFILEORVANE_TextureStageEntry, nullptr, nullptr, sizeof own, &own);
    }
    if (SUCCEEDED(hr)) hr = WriteTextureExtras(object, texture);
  }
  if (SUCCEEDED(hr) && texture->GetLinkedStageTexture(1)) {
    DWORD count = 0;
    while (count < MAX_TEXTURE_STAGES - 1 && texture->GetLinkedStageTexture(static_cast<int>(count) + 1)) ++count;
    const XTextureStageRecord stage{count};
    IDirectXFileData* stages = nullptr;
    hr = AddRecord(object, XFILEORVANE_TextureStage, nullptr, nullptr, sizeof stage, &stage, &stages);
    for (DWORD i = 1; i <= count && SUCCEEDED(hr); ++i) {
      CTexture* s = texture->GetLinkedStageTexture(static_cast<int>(i));
      const XTextureStageEntryRecord entry = MakeStageEntryRecord(*s, i);
      hr = AddRecord(stages, XFILEORVANE_TextureStageEntry, nullptr, nullptr, sizeof entry, &entry);
      if (SUCCEEDED(hr)) hr = WriteTextureImage(s);
      if (SUCCEEDED(hr)) {
        XTextureFilenameRecord stageFile{Keep(EncodeTexturePath(s->GetFileName(), m_SaveFullPaths))};
        hr = AddRecord(stages, TID_D3DRMTextureFilename, nullptr, nullptr, sizeof stageFile, &stageFile);
      }
    }
    if (stages) stages->Release();
  }
  object->Release();
  return hr;
}

HRESULT CWriteDirectX::WriteFunctureObject(IDirectXFileData* list, CFuncture* functure) {
  const XMaterialRecord r = MakeMaterialRecord(*functure, true);
  const char* name = functure->GetName().c_str();
  IDirectXFileData* object = nullptr;
  HRESULT hr = AddRecord(list, TID_D3DRMMaterial, name, nullptr, sizeof r, &r, &object);
  if (FAILED(hr)) return hr;
  const XMaterialAlphaRecord alpha = MakeAlphaRecord(functure->GetAlphaSettings());
  hr = AddRecord(object, XFILEORVANE_AlphaInfo, name, nullptr, sizeof alpha, &alpha);
  if (SUCCEEDED(hr)) {
    XFunctureValues values;
    values.transform = functure->GetActive();
    values.inputCount = functure->GetInputCount();
    values.loopMode = functure->GetLoopMode();
    values.maxTime = functure->GetAnimTimer();
    values.currentTime = functure->GetCurrentAnimTime();
    const XFunctureInfoRecord info = MakeFunctureInfoRecord(values, Keep(GuidToRegistryText(values.transform)));
    IDirectXFileData* infoObject = nullptr;
    hr = AddRecord(object, XFILEORVANE_FunctureInfo, name, &XFILEORVANE_FunctureInfo, sizeof info, &info,
                   &infoObject);
    for (const CString* input : {&functure->GetBitmapOne(), &functure->GetBitmapTwo()}) {
      if (FAILED(hr) || input->empty()) continue;
      XFunctureInputInfoRecord in{Keep(EncodeTexturePath(*input, m_SaveFullPaths)), 1, {0}};
      hr = AddRecord(infoObject, XFILEORVANE_FunctureInputInfo, nullptr, nullptr, sizeof in, &in);
    }
    if (infoObject) infoObject->Release();
  }
  if (SUCCEEDED(hr)) hr = WriteTextureExtras(object, functure);
  object->Release();
  return hr;
}

HRESULT CWriteDirectX::WriteRemark(IDirectXFileData* mesh, CMeshObject* object) {
  const CString& remark = object->GetRemark();
  if (remark.empty()) return S_OK;
  const XInfoRecord info{Keep(remark)};
  return AddRecord(mesh, XFILEORVANE_Info, nullptr, nullptr, sizeof info, &info);
}

// The image of a plain texture that holds one goes beside the model file,
// under the file name of its source. Until images can be encoded here, the
// source file is copied; an existing file of that name is left alone.
HRESULT CWriteDirectX::WriteTextureImage(CTexture* texture) {
  if (!texture || texture->GetRTIType() != RTI_TEXTURE || !texture->GetValidTextureMap()) return S_OK;
  if (!m_ImagesWritten.emplace(texture, true).second) return S_OK;
  const CString& source = texture->GetFileName();
  if (source.empty()) return S_OK;
  const CString found = FindFileCaseInsensitive(source);
  if (found.empty()) return S_OK;  // nothing on disk to take the image from
  const CString target = PathJoin(m_ModelDirectory.empty() ? "." : m_ModelDirectory, PathFileName(source));
  std::error_code ec;
  if (fs::exists(target, ec)) return S_OK;
  fs::copy_file(found, target, ec);
  return ec ? Report(kWriteFault) : S_OK;
}

// ---------------------------------------------------------------------------

DWORD DirectXSaveFormat(int lastSaveFormat) {
  DWORD format = lastSaveFormat == 1 ? DXFILEFORMAT_BINARY : DXFILEFORMAT_TEXT;
  if (HostGetProfileInt("ACTIONS", "SAVECOMPRESSDIRECTX", 0) == 1) format |= DXFILEFORMAT_COMPRESSED;
  return format;
}

LONG WriteDirectXFile(CMeshObject* object, const CString& file, int methode) {
  if (!object) return E_FAIL;
  CWriteDirectX writer(methode);
  return writer.WriteObject(object, file, DirectXSaveFormat(object->GetLastSaveFormat()));
}

// ---------------------------------------------------------------------------
// Material files

LONG WriteMaterialFile(CMaterial* material, const CString& file) {
  if (!material) return E_FAIL;
  auto colour = [](const D3DVECTOR& c) {
    return StrFormat("%6f;%6f;%6f;;", static_cast<double>(c.x), static_cast<double>(c.y), static_cast<double>(c.z));
  };
  CString name = material->GetName();
  for (char& c : name)
    if (c == ' ') c = '_';
  const D3DVECTOR d = material->GetDiffuse();
  const char* lines[] = {
      "xof 0302txt 0064", "",
      "template Header {", " <3D82AB43-62DA-11cf-AB39-0020AF71E433>", " WORD major;", " WORD minor;",
      " DWORD flags;", "}", "",
      "template ColorRGB {", " <D3E16E81-7835-11cf-8F52-0040333594A3>", " FLOAT red;", " FLOAT green;",
      " FLOAT blue;", "}", "",
      "template ColorRGBA {", " <35FF44E0-6C7C-11cf-8F52-0040333594A3>", " FLOAT red;", " FLOAT green;",
      " FLOAT blue;", " FLOAT alpha;", "}", "",
      " // ColorAmbient by the Orvane developers, 01/05/1998: ambient colors for materials.",
      "template ColorAmbient {", " <B88AAA81-E100-11d1-B97E-00C02631B15B>", " ColorRGB ambientColor;", "}", "",
      "template Material {", " <3D82AB4D-62DA-11cf-AB39-0020AF71E433>", " ColorRGBA faceColor;", " FLOAT power;",
      " ColorRGB specularColor;", " ColorRGB emissiveColor;", " [...]", "}", "",
  };
  std::string out;
  for (const char* line : lines) out += std::string(line) + "\r\n";
  out += "Material " + name + " {\r\n";
  out += StrFormat("%6f;%6f;%6f;%6f;;", static_cast<double>(d.x), static_cast<double>(d.y),
                   static_cast<double>(d.z), 1.0) +
         "\r\n";
  out += StrFormat("%6f;", static_cast<double>(material->GetPower())) + "\r\n";
  out += colour(material->GetSpecular()) + "\r\n";
  out += colour(material->GetEmissive()) + "\r\n";
  out += "ColorAmbient {\r\n";
  out += colour(material->GetAmbient()) + "\r\n";
  out += "}\r\n}\r\n\r\n";

  TempTarget temp(file);
  if (!temp.Valid()) return kWriteFault;
  std::FILE* f = std::fopen(temp.Path().c_str(), "wb");
  if (!f) return kWriteFault;
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) return kWriteFault;
  return temp.Commit();
}
