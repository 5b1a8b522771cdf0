#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/CMeshObject.h"
#include "engine/Matrix.h"
#include "engine/MeshNormals.h"

namespace {

MeshFace F(unsigned short a, unsigned short b, unsigned short c) {
  MeshFace f;
  f.v[0] = a, f.v[1] = b, f.v[2] = c;
  return f;
}

void ExpectNear(const D3DVECTOR& got, const D3DVECTOR& want) {
  EXPECT_NEAR(got.x, want.x, 1e-5f);
  EXPECT_NEAR(got.y, want.y, 1e-5f);
  EXPECT_NEAR(got.z, want.z, 1e-5f);
}

// A unit cube with its eight corners shared by twelve triangles, each wound
// so that (B - A) x (C - A) points out of the cube.
std::vector<MeshFace> CubeFaces(const std::vector<D3DVECTOR>& corners) {
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  const D3DVECTOR centre(0.5f, 0.5f, 0.5f);
  std::vector<MeshFace> faces;
  for (const auto& q : quads) {
    const unsigned short t[2][3] = {{(unsigned short)q[0], (unsigned short)q[1], (unsigned short)q[2]},
                                    {(unsigned short)q[0], (unsigned short)q[2], (unsigned short)q[3]}};
    for (const auto& tri : t) {
      const D3DVECTOR n =
          d3dmath::Cross(corners[tri[1]] - corners[tri[0]], corners[tri[2]] - corners[tri[0]]);
      const bool out = d3dmath::Dot(n, corners[tri[0]] - centre) > 0;
      faces.push_back(out ? F(tri[0], tri[1], tri[2]) : F(tri[0], tri[2], tri[1]));
    }
  }
  return faces;
}

TEST(MeshNormals, CubeCornersPointAwayFromTheCentre) {
  std::vector<D3DVECTOR> corners;
  for (int i = 0; i < 8; ++i) corners.emplace_back(float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1));
  const std::vector<MeshFace> faces = CubeFaces(corners);
  ASSERT_EQ(faces.size(), 12u);
  const std::vector<D3DVECTOR> normals = ComputeVertexNormals(corners, faces);
  for (int i = 0; i < 8; ++i) {
    // Some corners carry two triangles of one side and one of another; the
    // angle weighting still gives the exact diagonal.
    ExpectNear(normals[i], d3dmath::Unit(corners[i] - D3DVECTOR(0.5f, 0.5f, 0.5f)));
    EXPECT_NEAR(d3dmath::Length(normals[i]), 1.0f, 1e-6f);
  }
}

TEST(MeshNormals, AFlatGridFacesOneWayEverywhere) {
  const int n = 5;
  std::vector<D3DVECTOR> points;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) points.emplace_back(float(x), float(y) * 0.5f, 2.0f);
  std::vector<MeshFace> up, down;
  for (int y = 0; y + 1 < n; ++y)
    for (int x = 0; x + 1 < n; ++x) {
      const unsigned short a = y * n + x, b = a + 1, c = a + n, d = c + 1;
      // Alternate the diagonal: the cut must not matter.
      if ((x + y) % 2) {
        up.push_back(F(a, b, d)), up.push_back(F(a, d, c));
      } else {
        up.push_back(F(a, b, c)), up.push_back(F(b, d, c));
      }
    }
  for (const MeshFace& f : up) down.push_back(F(f.v[0], f.v[2], f.v[1]));
  for (const D3DVECTOR& normal : ComputeVertexNormals(points, up)) ExpectNear(normal, D3DVECTOR(0, 0, 1));
  for (const D3DVECTOR& normal : ComputeVertexNormals(points, down)) ExpectNear(normal, D3DVECTOR(0, 0, -1));
}

TEST(MeshNormals, UnusedVerticesAndDegenerateFacesGiveNothing) {
  const std::vector<D3DVECTOR> points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {5, 5, 5}, {3, 0, 0}};
  // Face 2 lies on a line (zero area) and tilts nothing; vertex 4 is unused;
  // vertex 5 appears only in a zero-area face; the last face names a vertex
  // that does not exist.
  const std::vector<MeshFace> faces = {F(0, 1, 2), F(0, 3, 1), F(1, 3, 5), F(0, 1, 9)};
  const std::vector<D3DVECTOR> normals = ComputeVertexNormals(points, faces);
  ExpectNear(normals[0], D3DVECTOR(0, 0, 1));
  ExpectNear(normals[1], D3DVECTOR(0, 0, 1));
  EXPECT_EQ(normals[3], D3DVECTOR(0, 0, 0));  // only in the flat face (0,3,1)
  EXPECT_EQ(normals[4], D3DVECTOR(0, 0, 0));
  EXPECT_EQ(normals[5], D3DVECTOR(0, 0, 0));
  for (const D3DVECTOR& v : normals) EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z));
}

}  // namespace

// Large meshes share the work between threads, a block of faces at a time;
// the sums must still come out bit for bit as on one thread. Separate random
// grids, each small enough to be done on one thread, are done again as one
// mesh large enough for several blocks.
TEST(MeshNormals, LargeMeshesGiveTheSameBitsAsSmallOnes) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> height(-0.5f, 0.5f);
  constexpr int kSide = 72;  // 72 x 72 vertices: 10,082 triangles per grid, 80,656 in all
  std::vector<D3DVECTOR> whole;
  std::vector<MeshFace> allFaces;
  std::vector<D3DVECTOR> expected;
  for (int g = 0; g < 8; ++g) {
    std::vector<D3DVECTOR> points;
    std::vector<MeshFace> faces;
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) points.emplace_back(float(x + 100 * g), float(y), height(random));
    for (int y = 0; y + 1 < kSide; ++y)
      for (int x = 0; x + 1 < kSide; ++x) {
        const auto a = static_cast<unsigned short>(y * kSide + x);
        faces.push_back(F(a, a + 1, a + kSide + 1));
        faces.push_back(F(a, a + kSide + 1, a + kSide));
      }
    const std::vector<D3DVECTOR> alone = ComputeVertexNormals(points, faces);
    expected.insert(expected.end(), alone.begin(), alone.end());
    const auto base = static_cast<unsigned short>(whole.size());
    whole.insert(whole.end(), points.begin(), points.end());
    for (MeshFace f : faces) {
      for (unsigned short& v : f.v) v = static_cast<unsigned short>(v + base);
      allFaces.push_back(f);
    }
  }
  const std::vector<D3DVECTOR> together = ComputeVertexNormals(whole, allFaces);
  ASSERT_EQ(together.size(), expected.size());
  for (size_t i = 0; i < together.size(); ++i)
    ASSERT_EQ(std::memcmp(&together[i], &expected[i], sizeof expected[i]), 0) << "vertex " << i;
}

// One corner angle is taken as what the other two leave of pi. Thin faces,
// with their widest corner first, second or third, must still give every
// corner its weight: a vertex in one face only takes that face's normal, and
// a vertex shared with a face at right angles mixes the two by corner angle.
TEST(MeshNormals, ThinFacesWeighEveryCorner) {
  const D3DVECTOR needle[3] = {D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0.5f, 1e-5f, 0)};
  const D3DVECTOR cap[3] = {D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0.5f, 0.01f, 0)};
  for (const D3DVECTOR* shape : {needle, cap})
    for (int turn = 0; turn < 3; ++turn) {
      // Corner k of the face is shape[(k + turn) % 3]; vertex 3 and 4 add a
      // face in the plane y = 0 at corner 0 of the thin face, at right angles.
      std::vector<D3DVECTOR> points = {shape[turn % 3], shape[(turn + 1) % 3], shape[(turn + 2) % 3]};
      const D3DVECTOR at = points[0];
      points.push_back(at + D3DVECTOR(0, 0, 1));
      points.push_back(at + D3DVECTOR(-1, 0, 0));
      const std::vector<MeshFace> faces = {F(0, 1, 2), F(0, 3, 4)};
      const std::vector<D3DVECTOR> normals = ComputeVertexNormals(points, faces);
      SCOPED_TRACE(turn);
      ExpectNear(normals[1], D3DVECTOR(0, 0, 1));
      ExpectNear(normals[2], D3DVECTOR(0, 0, 1));
      // Corner 0's angle in the thin face, from its two edges.
      const D3DVECTOR a = points[1] - at, b = points[2] - at;
      const double angle = std::atan2(d3dmath::Length(d3dmath::Cross(a, b)), d3dmath::Dot(a, b));
      const double right = 1.57079632679489661923;  // the other face's corner at vertex 0, normal (0, -1, 0)
      const double length = std::hypot(angle, right);
      ExpectNear(normals[0], D3DVECTOR(0, static_cast<float>(-right / length), static_cast<float>(angle / length)));
    }
}

TEST(MeshNormals, CornerAnglesMatchTheLibraryArcTangent) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-8, 8);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double y = std::fabs(unit(random)) * std::pow(10.0, exponent(random));
    const double x = unit(random) * std::pow(10.0, exponent(random));
    const double want = std::atan2(y, x);
    worst = std::max(worst, std::fabs(PositiveAtan2(y, x) - want) / want);
  }
  EXPECT_LT(worst, 5e-16);
  for (double x : {1.0, 0.0, -0.0, -1.0, 1e300, -1e-300})
    EXPECT_EQ(PositiveAtan2(0.0, x), std::atan2(0.0, x)) << x;
  EXPECT_EQ(PositiveAtan2(2.0, 0.0), std::atan2(2.0, 0.0));
  EXPECT_TRUE(std::isnan(PositiveAtan2(std::nan(""), 1.0)));
  EXPECT_EQ(PositiveAtan2(-1.0, -1.0), std::atan2(-1.0, -1.0));
  EXPECT_EQ(PositiveAtan2(INFINITY, 1.0), std::atan2(INFINITY, 1.0));
}
