#include "engine/MeshNormals.h"

#include <cmath>

#include "engine/CMeshObject.h"

namespace {

struct Vec {
  double x = 0, y = 0, z = 0;
};

Vec Sub(const D3DVECTOR& a, const D3DVECTOR& b) { return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z}; }
Vec Cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const Vec& a) { return std::sqrt(Dot(a, a)); }

// The angle between two edges leaving a corner; atan2 stays accurate for
// angles near 0 and near pi, where acos of the cosine does not.
double CornerAngle(const Vec& e1, const Vec& e2) { return std::atan2(Length(Cross(e1, e2)), Dot(e1, e2)); }

}  // namespace

void ComputeVertexNormals(const D3DVECTOR* positions, long vertexCount, const MeshFace* faces, long faceCount,
                          D3DVECTOR* normals) {
  if (vertexCount <= 0) return;
  std::vector<Vec> sums(static_cast<size_t>(vertexCount));
  for (long f = 0; f < faceCount; ++f) {
    const long i[3] = {faces[f].v[0], faces[f].v[1], faces[f].v[2]};
    if (i[0] >= vertexCount || i[1] >= vertexCount || i[2] >= vertexCount) continue;
    const D3DVECTOR* p[3] = {&positions[i[0]], &positions[i[1]], &positions[i[2]]};
    Vec n = Cross(Sub(*p[1], *p[0]), Sub(*p[2], *p[0]));
    const double area2 = Length(n);
    if (!(area2 > 0.0) || !std::isfinite(area2)) continue;  // degenerate (or broken) face
    n = {n.x / area2, n.y / area2, n.z / area2};
    for (int k = 0; k < 3; ++k) {
      const double angle = CornerAngle(Sub(*p[(k + 1) % 3], *p[k]), Sub(*p[(k + 2) % 3], *p[k]));
      Vec& s = sums[static_cast<size_t>(i[k])];
      s.x += n.x * angle;
      s.y += n.y * angle;
      s.z += n.z * angle;
    }
  }
  for (long v = 0; v < vertexCount; ++v) {
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
}

std::vector<D3DVECTOR> ComputeVertexNormals(const std::vector<D3DVECTOR>& positions,
                                            const std::vector<MeshFace>& faces) {
  std::vector<D3DVECTOR> normals(positions.size());
  ComputeVertexNormals(positions.data(), static_cast<long>(positions.size()), faces.data(),
                       static_cast<long>(faces.size()), normals.data());
  return normals;
}
