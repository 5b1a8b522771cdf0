#include "formats/ReadSPS.h"

#include <cfloat>
#include <cmath>
#include <fstream>
#include <iterator>

#include "engine/CMeshObject.h"
#include "platform/Host.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Hands out the white-space separated fields of the text one by one.
class Fields {
 public:
  explicit Fields(const CString& text) : m_Text(text) {}

  bool Next(CString& field) {
    while (m_Pos < m_Text.size() && IsBlank(m_Text[m_Pos])) ++m_Pos;
    if (m_Pos >= m_Text.size()) return false;
    size_t start = m_Pos;
    while (m_Pos < m_Text.size() && !IsBlank(m_Text[m_Pos])) ++m_Pos;
    field.assign(m_Text, start, m_Pos - start);
    return true;
  }

  // The next field as a finite number, read in the C locale; the whole field
  // must be the number.
  bool Number(double& value) {
    CString field;
    if (!Next(field)) return false;
    const char* end = nullptr;
    value = StrToDouble(field.c_str(), &end);
    return end == field.c_str() + field.size() && std::isfinite(value);
  }

 private:
  const CString& m_Text;
  size_t m_Pos = 0;
};

// A count or an index: the number truncated towards zero. Values that do
// not fit a 32-bit integer are refused before the conversion.
bool Whole(Fields& fields, long& value) {
  double d = 0;
  if (!fields.Number(d) || std::fabs(d) >= 2147483647.0) return false;
  value = static_cast<long>(d);
  return true;
}

LONG ReadError() {
  HostMessageBox("Error reading file!");
  return E_FAIL;
}

}  // namespace

LONG LoadSPS_Object(const CString& path, CMeshObject* mesh) {
  if (!mesh) return E_FAIL;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    HostMessageBox("Can't open file as 3Dfx file.");
    return E_FAIL;
  }
  const CString text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    HostMessageBox("Can't open file as 3Dfx file.");
    return E_FAIL;
  }
  file.close();

  Fields fields(text);
  CString word;
  long vertexCount = 0;
  long faceCount = 0;
  if (!fields.Next(word) || !Whole(fields, vertexCount) || !Whole(fields, faceCount)) return ReadError();

  // Vertex indices in the file count from the first vertex of this file.
  const long base = mesh->GetVertexCount();
  for (long i = 0; i < vertexCount; ++i) {
    double v[8];
    for (double& value : v)
      if (!fields.Number(value) || std::fabs(value) > FLT_MAX) return ReadError();
    long index = mesh->AddVertex(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
    if (index < 0) return ReadError();
    mesh->SetVertexTextureCoordinates(index, 0, static_cast<float>(v[3]), static_cast<float>(v[4]), 0);
  }
  for (long f = 0; f < faceCount; ++f) {
    long a = 0, b = 0, c = 0;
    if (!Whole(fields, a) || !Whole(fields, b) || !Whole(fields, c)) return ReadError();
    if (a < 0 || b < 0 || c < 0 || mesh->AddFace(base + a, base + b, base + c) < 0) return ReadError();
  }
  return 0;
}
