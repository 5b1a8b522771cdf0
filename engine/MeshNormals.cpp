#include "engine/MeshNormals.h"

#include <algorithm>
#include <cmath>

#include "engine/CMeshObject.h"
#include "platform/Parallel.h"

namespace {

struct Vec {
  double x = 0, y = 0, z = 0;
};

Vec Sub(const D3DVECTOR& a, const D3DVECTOR& b) { return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z}; }
Vec Cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const Vec& a) { return std::sqrt(Dot(a, a)); }

// atan(y / x) for finite y >= 0 and x > 0: the argument is brought into
// [-0.66, 0.66] and a rational approximation of degree 9/10 finishes it (the
// Cephes method), within an ulp of the library's atan. The reduction works on
// y and x themselves, so each call divides twice.
double AtanOfRatio(double y, double x) {
  constexpr double kP[5] = {-8.750608600031904122785E-1, -1.615753718733365076637E1, -7.500855792314704667340E1,
                            -1.228866684490136173410E2, -6.485021904942025371773E1};
  constexpr double kQ[5] = {2.485846490142306297962E1, 1.650270098316988542046E2, 4.328810604912902668951E2,
                            4.853903996359136964868E2, 1.945506571482613964425E2};
  constexpr double kMoreBits = 6.123233995736765886130E-17;  // pi/2 beyond double precision
  double base = 0.0;
  double extra = 0.0;
  double t;
  if (y > 2.41421356237309504880 * x) {  // tan(3 pi / 8)
    base = 1.57079632679489661923;
    extra = kMoreBits;
    t = -x / y;
  } else if (y > 0.66 * x) {
    base = 0.78539816339744830962;
    extra = 0.5 * kMoreBits;
    t = (y - x) / (y + x);
  } else {
    t = y / x;
  }
  const double z = t * t;
  const double p = (((kP[0] * z + kP[1]) * z + kP[2]) * z + kP[3]) * z + kP[4];
  const double q = ((((z + kQ[0]) * z + kQ[1]) * z + kQ[2]) * z + kQ[3]) * z + kQ[4];
  return base + (t * (z * p / q) + t + extra);
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

double PositiveAtan2(double y, double x) {
  if (!(y >= 0.0) || !std::isfinite(y) || !std::isfinite(x)) return std::atan2(y, x);
  if (x > 0.0) return AtanOfRatio(y, x);
  if (x < 0.0) return kPi - AtanOfRatio(y, -x);
  return y > 0.0 ? 1.57079632679489661923 : std::atan2(y, x);
}

namespace {

// What one face adds to each of its corners: its unit normal times the
// corner's angle. Faces that are degenerate (or broken) add nothing.
struct FaceTerm {
  Vec normal;
  double angle[3];
  bool valid;
};

FaceTerm TermOf(const D3DVECTOR* positions, long vertexCount, const MeshFace& face) {
  FaceTerm term{};
  const long i[3] = {face.v[0], face.v[1], face.v[2]};
  if (i[0] >= vertexCount || i[1] >= vertexCount || i[2] >= vertexCount) return term;
  const D3DVECTOR& p0 = positions[i[0]];
  const D3DVECTOR& p1 = positions[i[1]];
  const D3DVECTOR& p2 = positions[i[2]];
  const Vec e01 = Sub(p1, p0);
  const Vec e02 = Sub(p2, p0);
  const Vec e12 = Sub(p2, p1);
  const Vec n = Cross(e01, e02);
  const double area2 = Length(n);
  if (!(area2 > 0.0) || !std::isfinite(area2)) return term;
  term.normal = {n.x / area2, n.y / area2, n.z / area2};
  // The angle at each corner from |e1 x e2| (twice the face's area, the same
  // at every corner) and e1 . e2; an arc tangent stays accurate for angles
  // near 0 and near pi, where acos of the cosine does not. The third angle is
  // what the first two leave of pi: within a few units of pi's last place,
  // which is far below any weight that changes a float normal.
  term.angle[0] = PositiveAtan2(area2, Dot(e01, e02));
  term.angle[1] = PositiveAtan2(area2, -Dot(e01, e12));
  term.angle[2] = std::max(0.0, kPi - term.angle[0] - term.angle[1]);
  term.valid = true;
  return term;
}

// Adds the terms of faces [0, count) to the sums of the vertices in
// [from, to), in face order.
void AddTerms(Vec* sums, const MeshFace* faces, const FaceTerm* terms, long count, long from, long to) {
  for (long f = 0; f < count; ++f) {
    const FaceTerm& term = terms[f];
    if (!term.valid) continue;
    for (int k = 0; k < 3; ++k) {
      const long v = faces[f].v[k];
      if (v < from || v >= to) continue;
      Vec& s = sums[v];
      s.x += term.normal.x * term.angle[k];
      s.y += term.normal.y * term.angle[k];
      s.z += term.normal.z * term.angle[k];
    }
  }
}

// Below this many faces the work is not worth a second thread.
constexpr long kParallelFaces = 16384;

}  // namespace

void ComputeVertexNormals(const D3DVECTOR* positions, long vertexCount, const MeshFace* faces, long faceCount,
                          D3DVECTOR* normals) {
  if (vertexCount <= 0) return;
  std::vector<Vec> sums(static_cast<size_t>(vertexCount));
  // A block of faces at a time, the terms are worked out on all cores, then
  // each core adds them to its own range of vertices, in face order: every
  // sum comes out as on one core.
  constexpr long kBlock = 4 * kParallelFaces;
  std::vector<FaceTerm> terms(static_cast<size_t>(std::clamp(faceCount, 0L, kBlock)));
  for (long first = 0; first < faceCount; first += kBlock) {
    const long count = std::min(kBlock, faceCount - first);
    ParallelFor(count, kParallelFaces / 2, [&](long from, long to) {
      for (long k = from; k < to; ++k) terms[static_cast<size_t>(k)] = TermOf(positions, vertexCount, faces[first + k]);
    });
    const long vertexGrain = count >= kParallelFaces ? 1 : vertexCount;
    ParallelFor(vertexCount, vertexGrain, [&](long from, long to) {
      AddTerms(sums.data(), faces + first, terms.data(), count, from, to);
    });
  }
  ParallelFor(vertexCount, kParallelFaces, [&](long from, long to) {
    for (long v = from; v < to; ++v) {
      const Vec& s = sums[static_cast<size_t>(v)];
      const double len = Length(s);
      D3DVECTOR& out = normals[v];
      // Opposite faces sharing a vertex can cancel out; such a vertex has no
      // direction and gets the zero vector like an unused one.
      if (len > 1e-12 && std::isfinite(len))
        out = D3DVECTOR(static_cast<float>(s.x / len), static_cast<float>(s.y / len), static_cast<float>(s.z / len));
      else
        out = D3DVECTOR(0, 0, 0);
    }
  });
}

std::vector<D3DVECTOR> ComputeVertexNormals(const std::vector<D3DVECTOR>& positions,
                                            const std::vector<MeshFace>& faces) {
  std::vector<D3DVECTOR> normals(positions.size());
  ComputeVertexNormals(positions.data(), static_cast<long>(positions.size()), faces.data(),
                       static_cast<long>(faces.size()), normals.data());
  return normals;
}
