// The image side of textures: finding the file along the search paths,
// decoding it, making the surfaces, and writing the image back as BMP.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/CTexture.h"
#include "engine/RenderEngine.h"
#include "imaging/ImageFile.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// `name` with the extension of its file-name part replaced by `ext` (or
// `ext` appended when it has none). Dots in directory names stay.
CString ReplaceExtension(const CString& name, const char* ext) {
  const size_t slash = LastPathSeparator(name);
  const size_t start = slash == CString::npos ? 0 : slash + 1;
  size_t dot = name.rfind('.');
  if (dot == CString::npos || dot < start || dot == start) dot = name.size();
  return name.substr(0, dot) + "." + ext;
}

CString CurrentDirectory() {
  std::error_code ec;
  CString cwd = fs::current_path(ec).string();
  if (ec || cwd.empty()) cwd = ".";
  if (!IsPathSeparator(cwd.back())) cwd += '/';
  return cwd;
}

bool SameFileContents(const CString& a, const CString& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

}  // namespace

LONG CTexture::LoadBitMap(const CString& name) {
  ReleaseTexture();
  m_ValidTextureMap = 0;
  m_FileName = name;
  m_ImageError.clear();
  m_ImageFileFound = 0;

  CString n = name;
  if (m_Engine)
    if (const char* ext = ImageLoadModeExtension(m_Engine->GetTextureLoadMode())) n = ReplaceExtension(name, ext);
  const int code = ImageFormatFromName(n);
  if (code == IMAGE_FILE_NONE) {
    m_ImageError = "the image format is not supported";
    const CString text = "The texture " + name +
                         " has an unsupported format.\nPlease save it in a supported format (BMP, JPG, TIFF, IFF, "
                         "3DF, PPM, TGA).";
    if (m_Engine) m_Engine->ReportError(text);
    else HostMessageBox(text, "Orvane", MB_OK | MB_ICONERROR);
    return E_FAIL;
  }

  const size_t slash = LastPathSeparator(n);
  const CString dir = slash == CString::npos ? CString() : n.substr(0, slash + 1);
  const CString file = slash == CString::npos ? n : n.substr(slash + 1);
  std::vector<CString> bases;
  if (m_Engine) {
    for (SimpleNode<CSearchFilePath>* e = m_Engine->SearchPathList().GoTop(); e; e = e->Next())
      if (e->Node()) bases.push_back(e->Node()->GetPath());
  } else {
    bases.push_back("..");
  }

  TextureImage image;
  CString found;
  for (CString base : bases) {
    if (base == "..") base = slash != CString::npos ? dir : CurrentDirectory();
    if (!base.empty() && !IsPathSeparator(base.back())) base += '/';
    const CString candidate = FindFileCaseInsensitive(base + file);
    if (candidate.empty()) continue;
    m_ImageFileFound = 1;
    CString error;
    if (ReadImageFile(candidate, code, image, error)) {
      found = candidate;
      break;
    }
    m_ImageError = error;  // the reason stays if no later path yields the image
  }
  if (found.empty()) {
    if (m_ImageError.empty()) m_ImageError = "the file was not found";
    return DDERR_NOTFOUND;
  }
  m_FileName = found;
  // Later lookups also try the folder the image was found in.
  if (m_Engine) m_Engine->AddSearchPath(PathDirectory(found));
  return CreateFromImage(std::move(image));
}

LONG CTexture::CreateFromImage(TextureImage&& image) {
  if (!image.IsArgb() || !image.IsConsistent()) return E_FAIL;
  ReleaseTexture();
  m_ValidTextureMap = 0;
  const DWORD fileWidth = image.width, fileHeight = image.height;
  DWORD w = fileWidth, h = fileHeight;
  m_BitMapWidth = w;
  m_BitMapHeight = h;
  FitBitmapDimensions(&w, &h);
  auto surface = std::make_shared<TextureImage>();
  if (w == image.width && h == image.height) {
    *surface = std::move(image);
  } else if (!ResampleImage(image, w, h, *surface)) {
    return ReportedFailure(E_OUTOFMEMORY);
  }
  // Images live in memory, so the device textures from the system copy
  // itself, as a device without 3-D hardware does.
  AttachImage(surface);
  m_ImageFileWidth = fileWidth;
  m_ImageFileHeight = fileHeight;
  return Create();
}

CString CTexture::SaveBitMap(const CString& target) {
  m_SavedFileName.clear();
  if (!m_SystemSurface || !m_SystemSurface->IsArgb() || target.empty()) return CString();
  CString error;
  if (StrUpper(PathExtension(target)) == "BMP") {
    const CString source = FindFileCaseInsensitive(m_FileName);
    if (!source.empty() && StrUpper(PathExtension(source)) == "BMP") {
      // The source file itself, unless the target already holds it.
      std::error_code ec;
      if (!(fs::exists(target, ec) && SameFileContents(source, target))) {
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
        if (ec) return CString();
      }
    } else if (!WriteBmpFile(target, *m_SystemSurface, error)) {
      return CString();
    }
    m_SavedFileName = target;
    return target;
  }
  const CString output = ReplaceExtension(target, "bmp");
  if (!WriteBmpFile(output, *m_SystemSurface, error)) return CString();
  m_SavedFileName = output;
  return output;
}
