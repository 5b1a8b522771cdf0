#include "engine/Polygon3D.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"

namespace {

// Planar cross product of (b - a) and (c - a), in double.
double Cross(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c) {
  return (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
}

double Length(const D3DVECTOR& v) { return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z); }

// The unit vector of v, or false (out untouched) when v has no direction.
bool Unit(const D3DVECTOR& v, D3DVECTOR* out) {
  const double l = Length(v);
  if (!(l > 1e-12) || !std::isfinite(l)) return false;
  *out = D3DVECTOR(float(v.x / l), float(v.y / l), float(v.z / l));
  return true;
}

}  // namespace

Polygon3D::Polygon3D(CRenderEngine* engine) : m_Engine(engine) {}

Polygon3D::~Polygon3D() { FreeVertexList(); }

void Polygon3D::FreeVertexList() {
  delete[] m_Vertices;
  delete[] m_Materials;
  m_Vertices = nullptr;
  m_Materials = nullptr;
  m_VertexCount = 0;
}

void Polygon3D::CreateVertexList(long count) {
  FreeVertexList();
  if (count <= 0) return;
  m_Vertices = new (std::nothrow) D3DVECTOR[static_cast<size_t>(count)];
  m_Materials = new (std::nothrow) int32_t[static_cast<size_t>(count)];
  if (!m_Vertices || !m_Materials) {
    FreeVertexList();
    return;
  }
  std::fill(m_Materials, m_Materials + count, -1);
  m_VertexCount = count;
}

void Polygon3D::SetVertex(const D3DVECTOR& point, long index) {
  if (index >= 0 && index < m_VertexCount) m_Vertices[index] = point;
}

void Polygon3D::SetMaterial(int material, long index) {
  if (index >= 0 && index < m_VertexCount) m_Materials[index] = material;
}

Polygon3D& Polygon3D::operator=(const Polygon3D& other) {
  if (this == &other) return *this;
  if (m_VertexCount < other.m_VertexCount) {
    CreateVertexList(other.m_VertexCount);
    if (m_VertexCount < other.m_VertexCount) return *this;  // out of memory: stays empty
  }
  m_VertexCount = other.m_VertexCount;
  std::copy(other.m_Vertices, other.m_Vertices + other.m_VertexCount, m_Vertices);
  std::copy(other.m_Materials, other.m_Materials + other.m_VertexCount, m_Materials);
  FindCenter();
  return *this;
}

int Polygon3D::FindOrientation() const {
  const long n = m_VertexCount;
  if (n <= 0) return POLYGON_COUNTERCLOCKWISE;
  const D3DVECTOR* p = m_Vertices;
  double s = double(p[n - 1].x) * p[0].y - double(p[n - 1].y) * p[0].x;
  for (long k = 0; k + 1 < n; ++k) s += double(p[k].x) * p[k + 1].y - double(p[k + 1].x) * p[k].y;
  return s >= 0 ? POLYGON_COUNTERCLOCKWISE : POLYGON_CLOCKWISE;
}

int Polygon3D::FindCenter() {
  const long n = m_VertexCount;
  if (n <= 0) return 0;
  double sx = 0, sy = 0, sz = 0;
  const D3DVECTOR& o = m_Vertices[0];
  for (long k = 1; k < n; ++k) {
    sx += double(m_Vertices[k].x) - o.x;
    sy += double(m_Vertices[k].y) - o.y;
    sz += double(m_Vertices[k].z) - o.z;
  }
  m_Center = D3DVECTOR(float(o.x + sx / n), float(o.y + sy / n), float(o.z + sz / n));
  return 0;
}

bool Polygon3D::Same(long i, long j) const { return m_Vertices[i] == m_Vertices[j]; }

int Polygon3D::FindDeterminant(long i, long j, long k) const {
  const double c = Cross(m_Vertices[i], m_Vertices[j], m_Vertices[k]);
  if (c > 0) return POLYGON_COUNTERCLOCKWISE;
  if (c == 0 && !Same(i, j) && !Same(j, k) && !Same(i, k)) return POLYGON_COUNTERCLOCKWISE;
  return POLYGON_CLOCKWISE;
}

int Polygon3D::NoneInside(long a, long b, long c, long count, const long* list) const {
  // Inside or on the border, on the side the polygon turns to, for all
  // three edges, and not on a corner: a reflex corner touching the ear's
  // diagonal blocks it (else the face would cover the notch), whichever way
  // the polygon winds and whether or not its edges run along the axes.
  const double side = m_Orientation == POLYGON_COUNTERCLOCKWISE ? 1.0 : -1.0;
  const D3DVECTOR& A = m_Vertices[a];
  const D3DVECTOR& B = m_Vertices[b];
  const D3DVECTOR& C = m_Vertices[c];
  auto samePlace = [](const D3DVECTOR& p, const D3DVECTOR& q) { return p.x == q.x && p.y == q.y; };
  for (long k = 0; k < count; ++k) {
    const long d = list[k];
    if (d == a || d == b || d == c) continue;
    const D3DVECTOR& D = m_Vertices[d];
    if (samePlace(D, A) || samePlace(D, B) || samePlace(D, C)) continue;
    if (side * Cross(A, B, D) >= 0 && side * Cross(B, C, D) >= 0 && side * Cross(C, A, D) >= 0) return 0;
  }
  return 1;
}

void Polygon3D::Correct() {
  long i = 0;
  while (i < m_VertexCount - 1) {
    if (m_Vertices[i] == m_Vertices[i + 1]) {
      std::copy(m_Vertices + i + 1, m_Vertices + m_VertexCount, m_Vertices + i);
      std::copy(m_Materials + i + 1, m_Materials + m_VertexCount, m_Materials + i);
      --m_VertexCount;
    } else {
      ++i;
    }
  }
}

void Polygon3D::Sort() {
  const long n = m_VertexCount;
  if (n <= 0) return;
  Progress_Window* progress = nullptr;
  if (m_Engine) {
    progress = m_Engine->CreateProgressWindow();
    if (progress) {
      progress->SetMessage("Sorting ...", nullptr);
      progress->SetMax(3 * (n - 1));
    }
  }
  // The box starts from the first point, so any coordinates give the right
  // centre.
  D3DVECTOR lo = m_Vertices[0], hi = m_Vertices[0];
  for (long k = 1; k < n; ++k) {
    const D3DVECTOR& p = m_Vertices[k];
    lo = D3DVECTOR(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = D3DVECTOR(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  }
  if (progress) progress->SetCurrent(n);
  const double cx = (double(lo.x) + hi.x) / 2, cy = (double(lo.y) + hi.y) / 2;
  // Angle about the centre, counter-clockwise from the first point; a point
  // on the centre has no angle and goes last. Ties keep their order.
  auto angle = [&](long k) {
    const double dx = m_Vertices[k].x - cx, dy = m_Vertices[k].y - cy;
    if (dx == 0 && dy == 0) return 10.0;
    return std::atan2(dy, dx);
  };
  const double start = angle(0) == 10.0 ? 0.0 : angle(0);
  std::vector<std::pair<double, long>> keys(static_cast<size_t>(n));
  for (long k = 0; k < n; ++k) {
    double a = angle(k);
    if (a != 10.0) {
      a -= start;
      while (a < 0) a += 2 * M_PI;
      while (a >= 2 * M_PI) a -= 2 * M_PI;
    }
    keys[k] = {k == 0 ? -1.0 : a, k};
  }
  std::stable_sort(keys.begin(), keys.end(), [](const auto& l, const auto& r) { return l.first < r.first; });
  std::vector<D3DVECTOR> points(static_cast<size_t>(n));
  std::vector<int32_t> materials(static_cast<size_t>(n));
  for (long k = 0; k < n; ++k) {
    points[k] = m_Vertices[keys[k].second];
    materials[k] = m_Materials[keys[k].second];
  }
  std::copy(points.begin(), points.end(), m_Vertices);
  std::copy(materials.begin(), materials.end(), m_Materials);
  if (progress) {
    progress->SetCurrent(3 * (n - 1));
    m_Engine->ReleaseProgressWindow();
  }
}

int Polygon3D::Clip(CMeshObject* mesh, bool turnTest, int winding) {
  const long n = m_VertexCount;
  if (!mesh || !m_Vertices || n < 3) return -1;
  if (n > MESH_MAX_VERTICES - mesh->GetVertexCount()) return -1;
  // The remaining entries as a ring in list order (so removing one costs
  // nothing), and the same entries as a plain list for NoneInside.
  std::vector<long> next, prev, alive;
  try {
    next.resize(static_cast<size_t>(n));
    prev.resize(static_cast<size_t>(n));
    alive.reserve(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  for (long i = 0; i < n; ++i) {
    next[i] = i + 1 == n ? 0 : i + 1;
    prev[i] = i == 0 ? n - 1 : i - 1;
  }
  long head = 0;
  const long base = mesh->GetVertexCount();
  for (long i = 0; i < n; ++i)
    if (mesh->AddVertex(m_Vertices[i]) < 0) return -1;
  auto face = [&](long p, long j, long q) {
    if (!turnTest || winding)
      mesh->AddFace(base + p, base + j, base + q);
    else
      mesh->AddFace(base + p, base + q, base + j);
  };
  auto unlink = [&](long j) {
    next[prev[j]] = next[j];
    prev[next[j]] = prev[j];
    if (j == head) head = next[j];
  };
  // NoneInside over the remaining entries, skipping the scan where no entry
  // can be inside: a triangle that turns against the orientation holds no
  // point on the orientation's side of all three edges.
  const double side = m_Orientation == POLYGON_COUNTERCLOCKWISE ? 1.0 : -1.0;
  auto noneInside = [&](long p, long j, long q) {
    if (side * Cross(m_Vertices[p], m_Vertices[j], m_Vertices[q]) < 0) return 1;
    alive.clear();
    long k = head;
    do {
      alive.push_back(k);
      k = next[k];
    } while (k != head);
    return NoneInside(p, j, q, static_cast<long>(alive.size()), alive.data());
  };
  long m = n;
  while (m > 3) {
    long ear = -1;
    long j = head;
    for (long scanned = 0; scanned < m; ++scanned, j = next[j]) {
      if (turnTest && FindDeterminant(prev[j], j, next[j]) != m_Orientation) continue;
      if (noneInside(prev[j], j, next[j])) {
        ear = j;
        break;
      }
    }
    if (ear >= 0) {
      face(prev[ear], ear, next[ear]);
      unlink(ear);
    } else {
      unlink(prev[head]);  // without an ear the last entry goes, with no face
    }
    --m;
  }
  face(head, next[head], next[next[head]]);
  return 0;
}

int Polygon3D::Triangulate(CMeshObject* mesh, int winding) {
  if (!m_Vertices) return 0;
  return Clip(mesh, true, winding);
}

int Polygon3D::TriangulateRaw(CMeshObject* mesh) {
  if (!m_Vertices) return 0;
  return Clip(mesh, false, 1);
}

int Polygon3D::isInside(const Polygon3D& other) const {
  if (m_VertexCount <= 0 || other.m_VertexCount <= 0) return 0;
  const double x = m_Vertices[0].x, y = m_Vertices[0].y;
  int inside = 0;
  const long m = other.m_VertexCount;
  for (long k = 0; k < m; ++k) {
    const D3DVECTOR& a = other.m_Vertices[k == 0 ? m - 1 : k - 1];
    const D3DVECTOR& b = other.m_Vertices[k];
    if ((a.y <= y && y < b.y) || (b.y <= y && y < a.y)) {
      const double xc = b.x + (y - b.y) * (double(a.x) - b.x) / (double(a.y) - b.y);
      if (x < xc) inside ^= 1;
    }
  }
  return inside;
}

int Polygon3D::Combine(const Polygon3D& hole) {
  const long n = m_VertexCount, m = hole.m_VertexCount;
  if (n <= 0 || m <= 0) return -1;
  const long total = n + m + 2;
  D3DVECTOR* points = new (std::nothrow) D3DVECTOR[static_cast<size_t>(total)];
  int32_t* materials = new (std::nothrow) int32_t[static_cast<size_t>(total)];
  if (!points || !materials) {
    delete[] points;
    delete[] materials;
    return -1;
  }
  const D3DVECTOR* P = m_Vertices;
  const D3DVECTOR* H = hole.m_Vertices;
  // Unit vectors from outer point i to its neighbours; zero when a neighbour
  // coincides with it.
  auto neighbours = [&](long i, D3DVECTOR* prev, D3DVECTOR* next) {
    *prev = *next = D3DVECTOR(0, 0, 0);
    Unit(P[i == 0 ? n - 1 : i - 1] - P[i], prev);
    Unit(P[i == n - 1 ? 0 : i + 1] - P[i], next);
  };
  double best = 1.0e20;
  long d = 0, e = 0;
  for (long i = 0; i < n; ++i)
    for (long j = 0; j < m; ++j) {
      const D3DVECTOR E = H[j] - P[i];
      const double dist = Length(E);
      if (dist == best) {
        D3DVECTOR a1, a2, b1, b2;
        neighbours(i, &a1, &a2);
        neighbours(d, &b1, &b2);
        if (Length(E - b2) + Length(E - b1) > Length(E - a2) + Length(E - a1)) d = i, e = j;
      } else if (dist < best) {
        best = dist;
        d = i;
        e = j;
      }
    }
  long k = 0;
  for (long i = 0; i <= d; ++i) points[k++] = P[i];
  for (long j = e; j < m; ++j) points[k++] = H[j];
  for (long j = 0; j <= e; ++j) points[k++] = H[j];
  for (long i = d; i < n; ++i) points[k++] = P[i];
  std::fill(materials, materials + total, -1);
  delete[] m_Vertices;
  delete[] m_Materials;
  m_Vertices = points;
  m_Materials = materials;
  m_VertexCount = total;
  return 0;
}

void Polygon3D::Shrink(float distance) {
  const long n = m_VertexCount;
  if (distance == 0 || n <= 0) return;
  std::vector<D3DVECTOR> moved(m_Vertices, m_Vertices + n);
  for (long k = 0; k < n; ++k) {
    const D3DVECTOR& P = m_Vertices[k];
    D3DVECTOR u1, u2, b;
    if (!Unit(m_Vertices[k == 0 ? n - 1 : k - 1] - P, &u1) || !Unit(m_Vertices[k == n - 1 ? 0 : k + 1] - P, &u2))
      continue;
    // Z × u1 + u2 × Z, with Z = (0, 0, 1).
    const D3DVECTOR s(-u1.y + u2.y, u1.x - u2.x, 0);
    if (!Unit(s, &b)) continue;
    const double c = std::clamp(double(u1.x) * u2.x + double(u1.y) * u2.y + double(u1.z) * u2.z, -1.0, 1.0);
    const double half = std::max(std::acos(c) / 2, 0.15);
    moved[k] = P + b * float(distance / std::sin(half));
  }
  std::copy(moved.begin(), moved.end(), m_Vertices);
}

void Polygon3D::SetDepth(float z) {
  for (long k = 0; k < m_VertexCount; ++k) m_Vertices[k].z = z;
}

void Polygon3D::Translate(const D3DVECTOR& offset) {
  for (long k = 0; k < m_VertexCount; ++k) m_Vertices[k] = m_Vertices[k] + offset;
  m_Center = m_Center + offset;
}

D3DVECTOR ApproximateQuadraticSpline(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2, float t) {
  const float s = 1 - t;
  return D3DVECTOR(s * s * p0.x + 2 * t * s * p1.x + t * t * p2.x, s * s * p0.y + 2 * t * s * p1.y + t * t * p2.y, p0.z);
}
