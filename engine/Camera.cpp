#include "engine/Camera.h"

#include <cmath>
#include <istream>
#include <numbers>
#include <ostream>

#include "engine/CMeshObject.h"
#include "engine/Matrix.h"
#include "engine/RenderEngine.h"

namespace {
constexpr double kDegrees = std::numbers::pi / 180.0;

// Restores an item's undo logging when it leaves scope.
class LoggingOff {
 public:
  explicit LoggingOff(CFrameObject& item) : m_Item(item), m_Previous(item.GetLogUndoAction()) {
    item.SetLogUndoAction(0);
  }
  ~LoggingOff() { m_Item.SetLogUndoAction(m_Previous); }
  LoggingOff(const LoggingOff&) = delete;
  LoggingOff& operator=(const LoggingOff&) = delete;

 private:
  CFrameObject& m_Item;
  int m_Previous;
};

// One line without its line end; false at the end of the stream.
bool ReadLine(std::istream& in, CString& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// Far beyond any scene, and small enough that the view matrix made from it
// stays finite.
constexpr float kMaxCoordinate = 1e15f;

bool ScanVector(const CString& line, D3DVECTOR& v) {
  float x = 0, y = 0, z = 0;
  if (StrScan(line.c_str(), "%f %f %f", &x, &y, &z) != 3) return false;
  for (float c : {x, y, z})
    if (!std::isfinite(c) || std::fabs(c) > kMaxCoordinate) return false;
  v = D3DVECTOR(x, y, z);
  return true;
}

// Direction and up must both have a length and must not be parallel.
bool UsableOrientation(const D3DVECTOR& dir, const D3DVECTOR& up) {
  double ld = d3dmath::Length(dir), lu = d3dmath::Length(up);
  if (!(ld > 1e-12) || !(lu > 1e-12) || !std::isfinite(ld) || !std::isfinite(lu)) return false;
  return d3dmath::Length(d3dmath::Cross(dir, up)) > 1e-6 * ld * lu;
}
}  // namespace

Camera::Camera(CRenderEngine* engine) : CFrameObject(engine) {
  m_ViewMatrix = d3dmath::IdentityMatrix();
  d3dmath::ProjectionMatrix(m_FrontPlane, m_BackPlane, static_cast<float>(m_Frustum * kDegrees), m_ProjectionMatrix);
  LoggingOff off(*this);
  m_Name = "Camera";
  m_Position = D3DVECTOR(0, 0, -5);
  Zoom(1.0f);
}

Camera::~Camera() { SetTrackObject(nullptr); }

bool Camera::HasViewport() const { return m_Engine && m_Engine->ViewPort(0); }

LONG Camera::SetPosition(const D3DVECTOR& position, int flag) {
  LONG hr = CFrameObject::SetPosition(position, flag);
  if (FAILED(hr)) return hr;
  Scroll();
  return Calculate_ViewMatrix();
}

LONG Camera::SetScrollPosUp(float degrees) {
  m_ScrollUp = degrees;
  Scroll();
  return Calculate_ViewMatrix();
}

LONG Camera::SetScrollPosDir(float degrees) {
  m_ScrollDir = degrees;
  Scroll();
  return Calculate_ViewMatrix();
}

LONG Camera::SetFrustrum(float degrees) {
  if (!std::isfinite(degrees)) return E_FAIL;
  m_Frustum = degrees;
  return Calculate_ProjectionMatrix();
}

LONG Camera::SetFrontPlane(float front) {
  if (!std::isfinite(front) || front == m_BackPlane) return E_FAIL;
  m_FrontPlane = front;
  return Calculate_ProjectionMatrix();
}

LONG Camera::SetBackPlane(float back) {
  if (!std::isfinite(back) || back == 0.0f || back == m_FrontPlane) return E_FAIL;
  m_BackPlane = back;
  return Calculate_ProjectionMatrix();
}

LONG Camera::SetTrackObject(CMeshObject* mesh) {
  if (mesh == m_TrackObject) return 0;
  if (mesh) mesh->AddRef();
  CMeshObject* previous = m_TrackObject;
  m_TrackObject = mesh;
  if (previous) previous->Release();
  return 0;
}

LONG Camera::Zoom(float factor) {
  if (!HasViewport()) return E_FAIL;
  if (factor == 0.0f) factor = 1.0f;
  const D3DVECTOR p = m_Position;
  D3DVECTOR to;
  if (m_TrackObject) {
    D3DVECTOR d = m_TrackObject->GetPosition() - p;
    to = factor != 2.0f ? p - d : p + d * 0.5f;
  } else if (factor != 2.0f) {
    to = p * (p.z >= 0 ? 0.5f : 1.5f);
  } else {
    to = p * (p.z >= 0 ? 1.5f : 0.5f);
  }
  LoggingOff off(*this);
  LONG hr = SetPosition(to, 1);
  if (FAILED(hr)) m_Engine->ReportError(hr, "");
  Scroll();
  Calculate_ViewMatrix();
  Calculate_ProjectionMatrix();
  return hr;
}

LONG Camera::Scroll() {
  if (!HasViewport()) return E_FAIL;
  D3DVECTOR dir, up;
  if (m_TrackObject) {
    D3DVECTOR towards = m_TrackObject->GetPosition() - m_Position;
    double length = d3dmath::Length(towards);
    // At the mesh itself (or with no usable position) there is no direction
    // to look in: keep the last orientation.
    if (!(length > 1e-6) || !std::isfinite(length)) return 0;
    dir = d3dmath::Unit(towards);
    up = D3DVECTOR(0, dir.z, -dir.y);
    // Looking along x the rule gives no up vector: take +y, which is then
    // perpendicular to the direction.
    if (d3dmath::Length(up) < 1e-3) up = D3DVECTOR(0, 1, 0);
  } else {
    double u = m_ScrollUp * kDegrees, d = m_ScrollDir * kDegrees;
    dir = d3dmath::Unit(D3DVECTOR(static_cast<float>(std::cos(u) * std::sin(d)), static_cast<float>(-std::sin(u)),
                                  static_cast<float>(std::cos(u) * std::cos(d))));
    up = d3dmath::Unit(D3DVECTOR(static_cast<float>(std::sin(u) * std::sin(d)), static_cast<float>(std::cos(u)),
                                 static_cast<float>(std::sin(u) * std::cos(d))));
  }
  LONG hr = SetOrientation(dir, up);
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  return 0;
}

LONG Camera::Calculate_ViewMatrix() {
  if (m_TrackObject) Scroll();
  D3DMATRIX m = d3dmath::IdentityMatrix();
  const D3DVECTOR p = m_Position;
  D3DVECTOR dir, up;
  LONG hr = GetOrientation(dir, up);
  if (FAILED(hr)) return hr;
  const D3DVECTOR right = d3dmath::Unit(d3dmath::Cross(up, dir));
  dir = d3dmath::Unit(dir);
  up = d3dmath::Unit(up);
  m._11 = right.x;
  m._21 = right.y;
  m._31 = right.z;
  m._12 = up.x;
  m._22 = up.y;
  m._32 = up.z;
  m._13 = dir.x;
  m._23 = dir.y;
  m._33 = dir.z;
  m._41 = -d3dmath::Dot(right, p);
  m._42 = -d3dmath::Dot(up, p);
  m._43 = -d3dmath::Dot(dir, p);
  m_ViewMatrix = m;
  return 0;
}

LONG Camera::Calculate_ProjectionMatrix() {
  if (!HasViewport()) return E_FAIL;
  D3DMATRIX m;
  HRESULT hr = d3dmath::ProjectionMatrix(m_FrontPlane, m_BackPlane, static_cast<float>(m_Frustum * kDegrees), m);
  if (FAILED(hr)) return hr;
  m_ProjectionMatrix = m;
  return 0;
}

LONG Camera::SaveCamera(std::ostream& out) {
  D3DVECTOR dir, up;
  GetOrientation(dir, up);
  const D3DVECTOR& p = m_Position;
  out << StrFormat("%f %f %f\r\n", p.x, p.y, p.z) << StrFormat("%f %f %f\r\n", dir.x, dir.y, dir.z)
      << StrFormat("%f %f %f\r\n", up.x, up.y, up.z) << m_Name << "\r\n";
  return out ? 0 : E_FAIL;
}

LONG Camera::LoadCamera(std::istream& in) {
  LoggingOff off(*this);
  bool complete = true;
  CString line;
  D3DVECTOR position = m_Position;
  if (ReadLine(in, line) && ScanVector(line, position))
    SetPosition(position, 1);
  else
    complete = false;

  D3DVECTOR dir, up;
  GetOrientation(dir, up);
  bool haveDir = ReadLine(in, line) && ScanVector(line, dir);
  bool haveUp = ReadLine(in, line) && ScanVector(line, up);
  if (haveDir && haveUp && UsableOrientation(dir, up))
    SetOrientation(dir, up);
  else
    complete = false;

  if (ReadLine(in, line) && !StrTrim(line).empty())
    SetName(line);
  else
    complete = false;  // a blank name leaves the name as it was
  Calculate_ViewMatrix();
  return complete ? 0 : E_FAIL;
}
