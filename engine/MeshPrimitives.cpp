// Parametric solids and surfaces: plane, globe, box, cone, torus, pyramid,
// disk and cylinder.
//
// Every generator first builds its shape in a scratch buffer, checks it, and
// only then touches the mesh, so a refused request leaves the mesh as it was.
// Counts are worked out in 64 bits before anything is allocated: the pages
// accept details up to 32768, and 4 * 32768^2 does not fit a 32-bit count.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "engine/CMeshObject.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"

namespace {

// A coordinate beyond float's range becomes an infinity, which the shape's
// check then refuses.
float ToFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace

// A generated shape in the mesh's own frame.
struct PrimitiveShape {
  std::vector<MeshVertex> vertices;
  std::vector<MeshFace> faces;

  // Position, normal and stage-0 texture coordinates; the other stages stay 0.
  void Vertex(double x, double y, double z, double nx = 0, double ny = 0, double nz = 0, double tu = 0,
              double tv = 0) {
    MeshVertex v;
    v.x = ToFloat(x);
    v.y = ToFloat(y);
    v.z = ToFloat(z);
    v.nx = ToFloat(nx);
    v.ny = ToFloat(ny);
    v.nz = ToFloat(nz);
    v.tu = ToFloat(tu);
    v.tv = ToFloat(tv);
    vertices.push_back(v);
  }

  void Face(int64_t a, int64_t b, int64_t c) {
    MeshFace f;
    f.v[0] = static_cast<unsigned short>(a);
    f.v[1] = static_cast<unsigned short>(b);
    f.v[2] = static_cast<unsigned short>(c);
    faces.push_back(f);
  }

  // (B - A) x (C - A) of a face, in double.
  D3DVECTOR Normal(const MeshFace& f, double* length) const {
    const MeshVertex& a = vertices[f.v[0]];
    const MeshVertex& b = vertices[f.v[1]];
    const MeshVertex& c = vertices[f.v[2]];
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length) *length = len;
    if (!(len > 0.0) || !std::isfinite(len)) return D3DVECTOR(0, 0, 0);
    return D3DVECTOR(static_cast<float>(nx / len), static_cast<float>(ny / len), static_cast<float>(nz / len));
  }

  // Finite coordinates and no face without area, which would leave the
  // normal calculation without a direction.
  bool Sound() const {
    for (const MeshVertex& v : vertices)
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
    for (const MeshFace& f : faces) {
      double length = 0;
      Normal(f, &length);
      if (!(length > 0.0) || !std::isfinite(length)) return false;
    }
    return true;
  }
};

namespace {

constexpr double kPi = 3.14159265358979323846;
// Details beyond this are far past the vertex limit; holding them here keeps
// the 64-bit count arithmetic clear of overflow.
constexpr int64_t kCountCeiling = int64_t{1} << 20;

// The whole part of a detail or count, raised to `minimum`; false for NaN.
bool WholeCount(float value, int64_t minimum, int64_t* out) {
  if (std::isnan(value)) return false;
  const double whole = std::trunc(static_cast<double>(value));
  *out = static_cast<int64_t>(std::clamp(whole, static_cast<double>(minimum), static_cast<double>(kCountCeiling)));
  return true;
}

// The magnitude of a size, or false when it is zero or not a finite number.
bool Extent(float value, double* out) {
  if (!std::isfinite(value) || value == 0.0f) return false;
  *out = std::fabs(static_cast<double>(value));
  return true;
}

bool FitsIndices(int64_t vertexCount) { return vertexCount >= 0 && vertexCount <= MESH_MAX_VERTICES; }

// A point on the circle of the given radius in z = 0, i of n around from +x.
double RingX(double radius, int64_t i, int64_t n) { return radius * std::cos(2.0 * kPi * double(i) / double(n)); }
double RingY(double radius, int64_t i, int64_t n) { return radius * std::sin(2.0 * kPi * double(i) / double(n)); }

bool Reserve(PrimitiveShape& shape, int64_t vertexCount, int64_t faceCount) {
  try {
    shape.vertices.reserve(static_cast<size_t>(vertexCount));
    shape.faces.reserve(static_cast<size_t>(faceCount));
    return true;
  } catch (const std::bad_alloc&) {
    HostMessageBox("Out of memory!");
    return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Arrays

int CMeshObject::CreateVertexBuffer(long vertexCount, long faceCount) {
  if (vertexCount < 0 || faceCount < 0) return 0;
  try {
    std::vector<MeshVertex> vertices(static_cast<size_t>(vertexCount));
    std::vector<unsigned short> vertexFlags(static_cast<size_t>(vertexCount), 0);
    std::vector<MeshFace> faces(static_cast<size_t>(faceCount));
    std::vector<unsigned short> faceFlags(static_cast<size_t>(faceCount), 0);
    std::vector<LONG> faceMaterials(static_cast<size_t>(faceCount), 0);
    std::vector<LONG> faceTextures(static_cast<size_t>(faceCount), -1);
    // The view values follow the vertex slots.
    std::vector<int32_t> viewX[MESH_VIEW_KINDS], viewY[MESH_VIEW_KINDS];
    for (int kind = 0; kind < MESH_VIEW_KINDS; ++kind)
      if (!m_ViewX[kind].empty()) {
        viewX[kind].assign(static_cast<size_t>(vertexCount), 0);
        viewY[kind].assign(static_cast<size_t>(vertexCount), 0);
      }
    for (int kind = 0; kind < MESH_VIEW_KINDS; ++kind) {
      m_ViewX[kind].swap(viewX[kind]);
      m_ViewY[kind].swap(viewY[kind]);
    }
    m_Vertices.swap(vertices);
    m_VertexFlags.swap(vertexFlags);
    m_Faces.swap(faces);
    m_FaceFlags.swap(faceFlags);
    m_FaceMaterials.swap(faceMaterials);
    m_FaceTextures.swap(faceTextures);
  } catch (const std::bad_alloc&) {
    HostMessageBox("Out of memory!");
    return 0;
  }
  m_VertexCapacity = vertexCount;
  m_FaceCapacity = faceCount;
  m_VertexCount = 0;
  m_FaceCount = 0;
  m_SelectedVertexCount = 0;
  m_SelectedFaceCount = 0;
  m_SameMaterial = 1;
  m_SameMaterialDirty = false;
  m_SameTexture = 1;
  m_SameTextureDirty = false;
  return 1;
}

LONG CMeshObject::StorePrimitive(PrimitiveShape& shape) {
  const long vertexCount = static_cast<long>(shape.vertices.size());
  const long faceCount = static_cast<long>(shape.faces.size());
  if (!CreateVertexBuffer(vertexCount, faceCount)) return E_FAIL;
  std::copy(shape.vertices.begin(), shape.vertices.end(), m_Vertices.begin());
  std::copy(shape.faces.begin(), shape.faces.end(), m_Faces.begin());
  m_VertexCount = vertexCount;
  m_FaceCount = faceCount;
  ++m_NeedUpdate;
  ReCalcAll(1);
  return 0;
}

// ---------------------------------------------------------------------------
// Generators

LONG CMeshObject::CreateSquare(float columns, float rows, float size) {
  if (!(columns >= 1.0f) || !(rows >= 1.0f)) return E_FAIL;
  double side = 0;
  if (!Extent(size, &side)) return E_FAIL;
  int64_t c = 0, r = 0;
  WholeCount(columns, 1, &c);
  WholeCount(rows, 1, &r);
  const int64_t vertexCount = (c + 1) * (r + 1);
  if (!FitsIndices(vertexCount)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, vertexCount, 2 * c * r)) return E_FAIL;
  for (int64_t i = 0; i <= r; ++i)
    for (int64_t j = 0; j <= c; ++j) shape.Vertex(side * (double(j) - double(c) / 2), side * (double(i) - double(r) / 2), 0);
  for (int64_t i = 0; i < r; ++i)
    for (int64_t j = 0; j < c; ++j) {
      const int64_t a = i * (c + 1) + j, b = a + c + 1;
      shape.Face(a, b, a + 1);
      shape.Face(b, b + 1, a + 1);
    }
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateGlobe(float width, float height, float detail) {
  if (!std::isfinite(width) || !std::isfinite(height)) return E_FAIL;
  const double halfWidth = double(width) / 2, halfHeight = double(height) / 2;
  const double radius = std::sqrt(halfWidth * halfWidth + halfHeight * halfHeight);
  if (!(radius > 0.0)) return E_FAIL;
  int64_t n = 0;
  if (!WholeCount(detail, 2, &n)) return E_FAIL;
  const int64_t ring = 2 * n;  // vertices per latitude ring
  const int64_t vertexCount = 2 + 2 * n * n;
  if (!FitsIndices(vertexCount)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, vertexCount, 4 * n * n)) return E_FAIL;
  // The poles stand a little further out than the rings.
  shape.Vertex(0, 1.025 * radius, 0, 0, 1, 0, 0, 0);
  shape.Vertex(0, -1.025 * radius, 0, 0, -1, 0, 1, 1);
  for (int64_t i = 0; i < n; ++i) {
    const double theta = kPi * double(i + 1) / double(n + 1);
    const double tv = 1.0 - double(i) / double(n);
    for (int64_t u = 0; u < ring; ++u) {
      const double phi = double(u) * kPi / double(n);
      const double nx = std::sin(theta) * std::sin(phi), ny = std::cos(theta), nz = std::sin(theta) * std::cos(phi);
      // The texture wraps twice around the globe.
      double f = double(u) / double(n);
      if (f > 1.0) f -= 1.0;
      shape.Vertex(radius * nx, radius * ny, radius * nz, nx, ny, nz, 1.0 - f, tv);
    }
  }
  auto next = [ring](int64_t u) { return u + 1 < ring ? u + 1 : 0; };
  for (int64_t u = 0; u < ring; ++u) shape.Face(0, 2 + u, 2 + next(u));
  for (int64_t i = 0; i + 1 < n; ++i) {
    const int64_t a = 2 + i * ring, b = a + ring;
    for (int64_t u = 0; u < ring; ++u) {
      shape.Face(a + u, b + u, a + next(u));
      shape.Face(b + u, b + next(u), a + next(u));
    }
  }
  const int64_t last = 2 + (n - 1) * ring;
  for (int64_t u = 0; u < ring; ++u) shape.Face(1, last + next(u), last + u);
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateCube(float width, float height, float depth) {
  double a = 0, b = 0, c = 0;
  if (!Extent(width, &a) || !Extent(height, &b) || !Extent(depth, &c)) return E_FAIL;
  a /= 2, b /= 2, c /= 2;
  PrimitiveShape shape;
  const double corners[8][3] = {{a, b, -c},  {-a, b, -c},  {-a, b, c},  {a, b, c},
                                {a, -b, -c}, {-a, -b, -c}, {-a, -b, c}, {a, -b, c}};
  for (const auto& p : corners) shape.Vertex(p[0], p[1], p[2], 0, 0, 0, 1, 1);
  const int faces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                            {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
  for (const auto& f : faces) shape.Face(f[0], f[1], f[2]);
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateCone(float radius, float height, float detail) {
  double r = 0, h = 0;
  int64_t n = 0;
  if (!Extent(radius, &r) || !Extent(height, &h) || !WholeCount(detail, 3, &n)) return E_FAIL;
  if (!FitsIndices(n + 2)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, n + 2, 2 * n)) return E_FAIL;
  shape.Vertex(0, 0, 0);
  shape.Vertex(0, 0, h);
  for (int64_t i = 0; i < n; ++i) shape.Vertex(RingX(r, i, n), RingY(r, i, n), 0);
  auto next = [n](int64_t i) { return i + 1 < n ? i + 1 : 0; };
  for (int64_t i = 0; i < n; ++i) shape.Face(0, 2 + next(i), 2 + i);
  for (int64_t i = 0; i < n; ++i) shape.Face(1, 2 + i, 2 + next(i));
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateDisk(float radius, float detail) {
  double r = 0;
  int64_t n = 0;
  if (!Extent(radius, &r) || !WholeCount(detail, 3, &n)) return E_FAIL;
  if (!FitsIndices(n + 1)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, n + 1, n)) return E_FAIL;
  shape.Vertex(0, 0, 0);
  for (int64_t i = 0; i < n; ++i) shape.Vertex(RingX(r, i, n), RingY(r, i, n), 0);
  auto next = [n](int64_t i) { return i + 1 < n ? i + 1 : 0; };
  for (int64_t i = 0; i < n; ++i) shape.Face(0, 1 + next(i), 1 + i);
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateCilinder(float radius, float height, float detail) {
  double r = 0, h = 0;
  int64_t n = 0;
  if (!Extent(radius, &r) || !Extent(height, &h) || !WholeCount(detail, 3, &n)) return E_FAIL;
  const int64_t vertexCount = 2 * n + 2;
  if (!FitsIndices(vertexCount)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, vertexCount, 4 * n)) return E_FAIL;
  shape.Vertex(0, 0, 0);
  for (int64_t i = 0; i < n; ++i) shape.Vertex(RingX(r, i, n), RingY(r, i, n), 0);
  shape.Vertex(0, 0, h);
  for (int64_t i = 0; i < n; ++i) shape.Vertex(RingX(r, i, n), RingY(r, i, n), h);
  auto next = [n](int64_t i) { return i + 1 < n ? i + 1 : 0; };
  auto bottom = [](int64_t i) { return 1 + i; };
  auto top = [n](int64_t i) { return n + 2 + i; };
  for (int64_t i = 0; i < n; ++i) shape.Face(0, bottom(next(i)), bottom(i));
  for (int64_t i = 0; i < n; ++i) shape.Face(n + 1, top(i), top(next(i)));
  for (int64_t i = 0; i < n; ++i) shape.Face(bottom(i), top(next(i)), top(i));
  for (int64_t i = 0; i < n; ++i) shape.Face(bottom(i), bottom(next(i)), top(next(i)));
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreatePyramide(float a, float b, float height) {
  double x = 0, y = 0, h = 0;
  if (!Extent(a, &x) || !Extent(b, &y) || !Extent(height, &h)) return E_FAIL;
  PrimitiveShape shape;
  shape.Vertex(0, 0, 0);
  shape.Vertex(0, 0, h);
  const double base[4][2] = {{x, y}, {-x, y}, {-x, -y}, {x, -y}};
  for (const auto& p : base) shape.Vertex(p[0], p[1], 0, 0, 0, 0, 1, 1);
  const int faces[8][3] = {{0, 3, 2}, {0, 4, 3}, {0, 5, 4}, {0, 2, 5}, {1, 2, 3}, {1, 3, 4}, {1, 4, 5}, {1, 5, 2}};
  for (const auto& f : faces) shape.Face(f[0], f[1], f[2]);
  if (!shape.Sound()) return E_FAIL;
  return StorePrimitive(shape);
}

LONG CMeshObject::CreateTorus(float tubeRadius, float ringRadius, float tubeDetail, float segmentCount) {
  double tube = 0, ringR = 0;
  int64_t d = 0, s = 0;
  if (!Extent(tubeRadius, &tube) || !std::isfinite(ringRadius) || !WholeCount(tubeDetail, 3, &d) ||
      !WholeCount(segmentCount, 3, &s))
    return E_FAIL;
  ringR = std::fabs(static_cast<double>(ringRadius));
  const int64_t vertexCount = d * s;
  // The torus adds to what the mesh holds: its faces count from the first
  // vertex it adds.
  const long base = m_VertexCount;
  if (!FitsIndices(vertexCount) || !FitsIndices(base + vertexCount)) return E_FAIL;

  PrimitiveShape shape;
  if (!Reserve(shape, vertexCount, 2 * vertexCount)) return E_FAIL;
  for (int64_t seg = 0; seg < s; ++seg) {
    const double theta = double(seg) * 2.0 * kPi / double(s);
    for (int64_t k = 0; k < d; ++k) {
      const double phi = double(k) * 2.0 * kPi / double(d);
      const double p = ringR + tube * std::cos(phi);
      shape.Vertex(p * std::cos(theta), tube * std::sin(phi), p * std::sin(theta));
    }
  }
  // Faces between the tube rings starting at a and b; each faces away from
  // the tube's centre line, which a tube wider than the ring needs.
  auto band = [&](int64_t a, int64_t b, double theta) {
    for (int64_t k = 0; k < d; ++k) {
      const int64_t k2 = k + 1 < d ? k + 1 : 0;
      const double phi = double(k) * 2.0 * kPi / double(d);
      const double ox = std::cos(phi) * std::cos(theta), oy = std::sin(phi), oz = std::cos(phi) * std::sin(theta);
      const int64_t corners[2][3] = {{a + k, b + k2, b + k}, {a + k, a + k2, b + k2}};
      for (const auto& c : corners) {
        shape.Face(c[0], c[1], c[2]);
        MeshFace& f = shape.faces.back();
        const D3DVECTOR n = shape.Normal(f, nullptr);
        if (!(n.x * ox + n.y * oy + n.z * oz > 0.0)) std::swap(f.v[1], f.v[2]);
      }
    }
  };
  for (int64_t seg = 1; seg < s; ++seg) band((seg - 1) * d, seg * d, double(seg) * 2.0 * kPi / double(s));
  band((s - 1) * d, 0, 2.0 * kPi);
  if (!shape.Sound()) return E_FAIL;

  // Append, growing the arrays once.
  if (!ResizeArrays(std::max(m_VertexCapacity, static_cast<long>(base + vertexCount)),
                    std::max(m_FaceCapacity, static_cast<long>(m_FaceCount + 2 * vertexCount))))
    return E_FAIL;
  for (const MeshVertex& v : shape.vertices) {
    const long i = m_VertexCount++;
    m_Vertices[i] = v;
    m_VertexFlags[i] = 0;
    CalcView(i, 1, 1, 1, 1);
  }
  for (const MeshFace& face : shape.faces) {
    const long f = m_FaceCount++;
    for (int k = 0; k < 3; ++k) m_Faces[f].v[k] = static_cast<unsigned short>(face.v[k] + base);
    m_FaceFlags[f] = 0;
    m_FaceMaterials[f] = 0;
    m_FaceTextures[f] = -1;
    CalculateFaceVisibility(f);
  }
  m_SameMaterialDirty = true;
  m_SameTextureDirty = true;
  ++m_NeedUpdate;
  ReCalcAll(1);
  return 0;
}
