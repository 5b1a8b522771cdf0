#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/EngineFixture.h"

namespace {

using Generator = std::function<LONG(CMeshObject*)>;

struct Call {
  std::string name;
  Generator make;
};

// Factories named after the call they make, so a failing row says which.
#define GEN(expr) \
  Call { #expr, [](CMeshObject* m) { return m->expr; } }

std::vector<long> Face(CMeshObject* mesh, long f) {
  long a = -1, b = -1, c = -1;
  mesh->GetFaceIndices(f, &a, &b, &c);
  return {a, b, c};
}

D3DVECTOR Position(CMeshObject* mesh, long i) {
  const MeshVertex* v = mesh->GetVertex(i);
  return v ? D3DVECTOR(v->x, v->y, v->z) : D3DVECTOR(NAN, NAN, NAN);
}

D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b) { return D3DVECTOR(a.x - b.x, a.y - b.y, a.z - b.z); }
double Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }
D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
  return D3DVECTOR(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// (B - A) x (C - A) and the centroid of a face.
D3DVECTOR AreaVector(CMeshObject* mesh, long f) {
  const std::vector<long> i = Face(mesh, f);
  const D3DVECTOR a = Position(mesh, i[0]);
  return Cross(Sub(Position(mesh, i[1]), a), Sub(Position(mesh, i[2]), a));
}
D3DVECTOR Centroid(CMeshObject* mesh, long f) {
  const std::vector<long> i = Face(mesh, f);
  const D3DVECTOR a = Position(mesh, i[0]), b = Position(mesh, i[1]), c = Position(mesh, i[2]);
  return D3DVECTOR((a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3);
}

class PrimitiveTest : public EngineTest {
 protected:
  void SetUp() override { Attach(); }

  CMeshObject* Make(const Call& call) {
    CMeshObject* m = engine->CreateObject();
    m->SetLogUndoAction(0);
    EXPECT_EQ(call.make(m), 0) << call.name;
    return m;
  }
};

// --- counts, order and coordinates -------------------------------------------------

TEST_F(PrimitiveTest, CountsFollowTheDetailTruncatedAndRaisedToAClosedShape) {
  struct Row {
    Call call;
    long vertices, faces;
  };
  const Row rows[] = {
      {GEN(CreateGlobe(1, 1, 10)), 202, 400},
      {GEN(CreateGlobe(2, 4, 3)), 20, 36},
      {GEN(CreateGlobe(1, 1, 4.7f)), 34, 64},
      {GEN(CreateSquare(3, 2, 0.5f)), 12, 12},
      {GEN(CreateSquare(2.5f, 1, 1)), 6, 4},
      {GEN(CreateCube(2, 2, 2)), 8, 12},
      {GEN(CreateCone(1, 2, 4)), 6, 8},
      {GEN(CreateCone(1, 2, 4.7f)), 6, 8},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 12, 24},
      {GEN(CreateTorus(0.5f, 2, 4.7f, 3.9f)), 12, 24},
      {GEN(CreateTorus(0.5f, 2, 1, 1)), 9, 18},
      {GEN(CreatePyramide(1, 1, 1)), 6, 8},
      {GEN(CreateDisk(1, 4.7f)), 5, 4},
      {GEN(CreateCilinder(1, 2, 4)), 10, 16},
      {GEN(CreateCilinder(1, 2, 4.7f)), 10, 16},
      // Too little detail for a closed shape is raised to the least that
      // makes one: three around for the round solids, two rings for the globe.
      {GEN(CreateCone(1, 1, 1)), 5, 6},
      {GEN(CreateCone(1, 1, -7)), 5, 6},
      {GEN(CreateDisk(1, 0)), 4, 3},
      {GEN(CreateCilinder(1, 1, 2)), 8, 12},
      {GEN(CreateGlobe(1, 1, 0)), 10, 16},
      {GEN(CreateGlobe(1, 1, 1)), 10, 16},
      // Right at the 16-bit index limit.
      {GEN(CreateGlobe(1, 1, 181)), 65524, 131044},
      {GEN(CreateSquare(255, 255, 1)), 65536, 130050},
      {GEN(CreateTorus(0.5f, 2, 256, 256)), 65536, 131072},
      {GEN(CreateCone(1, 1, 65534)), 65536, 131068},
      {GEN(CreateDisk(1, 65535)), 65536, 65535},
      {GEN(CreateCilinder(1, 1, 32767)), 65536, 131068},
  };
  for (const Row& row : rows) {
    CMeshObject* m = Make(row.call);
    EXPECT_EQ(m->GetVertexCount(), row.vertices) << row.call.name;
    EXPECT_EQ(m->GetFaceCount(), row.faces) << row.call.name;
    engine->ReleaseObject(m, 1);
  }
}

TEST_F(PrimitiveTest, FacesComeInTheDocumentedOrder) {
  struct Row {
    Call call;
    long face;  // negative counts from the end
    std::vector<long> corners;
  };
  const Row rows[] = {
      {GEN(CreateGlobe(2, 4, 3)), 0, {0, 2, 3}},
      {GEN(CreateGlobe(2, 4, 3)), 1, {0, 3, 4}},
      {GEN(CreateGlobe(2, 4, 3)), 5, {0, 7, 2}},
      {GEN(CreateGlobe(2, 4, 3)), 6, {2, 8, 3}},
      {GEN(CreateGlobe(2, 4, 3)), 7, {8, 9, 3}},
      {GEN(CreateGlobe(2, 4, 3)), 16, {7, 13, 2}},
      {GEN(CreateGlobe(2, 4, 3)), 17, {13, 8, 2}},
      {GEN(CreateGlobe(2, 4, 3)), 30, {1, 15, 14}},
      {GEN(CreateGlobe(2, 4, 3)), -1, {1, 14, 19}},
      {GEN(CreateSquare(3, 2, 0.5f)), 0, {0, 4, 1}},
      {GEN(CreateSquare(3, 2, 0.5f)), 1, {4, 5, 1}},
      {GEN(CreateSquare(3, 2, 0.5f)), 2, {1, 5, 2}},
      {GEN(CreateSquare(3, 2, 0.5f)), 6, {4, 8, 5}},
      {GEN(CreateSquare(3, 2, 0.5f)), -1, {10, 11, 7}},
      {GEN(CreateCube(2, 2, 2)), 0, {0, 1, 2}},
      {GEN(CreateCube(2, 2, 2)), 3, {0, 5, 1}},
      {GEN(CreateCube(2, 2, 2)), 9, {3, 4, 0}},
      {GEN(CreateCube(2, 2, 2)), -1, {4, 6, 5}},
      {GEN(CreateCone(1, 2, 4)), 0, {0, 3, 2}},
      {GEN(CreateCone(1, 2, 4)), 1, {0, 4, 3}},
      {GEN(CreateCone(1, 2, 4)), 2, {0, 5, 4}},
      {GEN(CreateCone(1, 2, 4)), 3, {0, 2, 5}},
      {GEN(CreateCone(1, 2, 4)), 4, {1, 2, 3}},
      {GEN(CreateCone(1, 2, 4)), 5, {1, 3, 4}},
      {GEN(CreateCone(1, 2, 4)), 6, {1, 4, 5}},
      {GEN(CreateCone(1, 2, 4)), 7, {1, 5, 2}},
      {GEN(CreateCilinder(1, 2, 4)), 0, {0, 2, 1}},
      {GEN(CreateCilinder(1, 2, 4)), 4, {5, 6, 7}},
      {GEN(CreateCilinder(1, 2, 4)), 8, {1, 7, 6}},
      {GEN(CreateCilinder(1, 2, 4)), -1, {4, 1, 6}},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 0, {0, 5, 4}},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 1, {0, 1, 5}},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), -2, {11, 0, 3}},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), -1, {11, 8, 0}},
      {GEN(CreatePyramide(1, 2, 3)), 0, {0, 3, 2}},
      {GEN(CreatePyramide(1, 2, 3)), 3, {0, 2, 5}},
      {GEN(CreatePyramide(1, 2, 3)), 4, {1, 2, 3}},
      {GEN(CreatePyramide(1, 2, 3)), -1, {1, 5, 2}},
      {GEN(CreateDisk(1, 4)), 0, {0, 2, 1}},
      {GEN(CreateDisk(1, 4)), -1, {0, 1, 4}},
  };
  for (const Row& row : rows) {
    CMeshObject* m = Make(row.call);
    const long f = row.face < 0 ? m->GetFaceCount() + row.face : row.face;
    EXPECT_EQ(Face(m, f), row.corners) << row.call.name << " face " << f;
    engine->ReleaseObject(m, 1);
  }
}

TEST_F(PrimitiveTest, VerticesSitWhereTheFormulasPutThem) {
  struct Row {
    Call call;
    long vertex;
    D3DVECTOR position;
    float tu, tv;
  };
  const Row rows[] = {
      // Poles 2.5 % beyond the ring radius sqrt(0.5).
      {GEN(CreateGlobe(1, 1, 10)), 0, {0, 0.72478f, 0}, 0, 0},
      {GEN(CreateGlobe(1, 1, 10)), 1, {0, -0.72478f, 0}, 1, 1},
      // Ring 4 (theta = 5 pi / 11), vertex 5 (phi = pi / 2) and vertex 10
      // (phi = pi, where the texture starts its second turn).
      {GEN(CreateGlobe(1, 1, 10)), 2 + 4 * 20 + 5, {0.70711f * 0.98982144f, 0.70711f * 0.14231484f, 0}, 0.5f, 0.6f},
      {GEN(CreateGlobe(1, 1, 10)), 2 + 4 * 20 + 10, {0, 0.70711f * 0.14231484f, -0.70711f * 0.98982144f}, 0, 0.6f},
      {GEN(CreateGlobe(1, 1, 10)), 2 + 4 * 20 + 15, {-0.70711f * 0.98982144f, 0.70711f * 0.14231484f, 0}, 0.5f, 0.6f},
      {GEN(CreateGlobe(2, 4, 3)), 3, {2.2360680f * 0.70710678f * 0.8660254f, 2.2360680f * 0.70710678f,
                                      2.2360680f * 0.70710678f * 0.5f}, 0.6667f, 1},
      {GEN(CreateGlobe(2, 4, 3)), 8, {0, 0, 2.2360680f}, 1, 0.6667f},
      {GEN(CreateSquare(3, 2, 0.5f)), 0, {-0.75f, -0.5f, 0}, 0, 0},
      {GEN(CreateSquare(3, 2, 0.5f)), 5, {-0.25f, 0, 0}, 0, 0},
      {GEN(CreateSquare(3, 2, 0.5f)), 11, {0.75f, 0.5f, 0}, 0, 0},
      {GEN(CreateCube(2, 4, 6)), 0, {1, 2, -3}, 1, 1},
      {GEN(CreateCube(2, 4, 6)), 2, {-1, 2, 3}, 1, 1},
      {GEN(CreateCube(2, 4, 6)), 7, {1, -2, 3}, 1, 1},
      {GEN(CreateCone(1, 2, 4)), 1, {0, 0, 2}, 0, 0},
      {GEN(CreateCone(1, 2, 4)), 3, {0, 1, 0}, 0, 0},
      {GEN(CreateCilinder(1, 2, 4)), 5, {0, 0, 2}, 0, 0},
      {GEN(CreateCilinder(1, 2, 4)), 8, {-1, 0, 2}, 0, 0},
      {GEN(CreateDisk(2, 4)), 4, {0, -2, 0}, 0, 0},
      {GEN(CreatePyramide(1, 2, 3)), 1, {0, 0, 3}, 0, 0},
      {GEN(CreatePyramide(1, 2, 3)), 4, {-1, -2, 0}, 1, 1},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 1, {2, 0.5f, 0}, 0, 0},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 4, {-1.25f, 0, 2.1651f}, 0, 0},
      {GEN(CreateTorus(0.5f, 2, 4, 3)), 11, {-1, -0.5f, -1.7321f}, 0, 0},
  };
  for (const Row& row : rows) {
    CMeshObject* m = Make(row.call);
    const MeshVertex* v = m->GetVertex(row.vertex);
    ASSERT_NE(v, nullptr) << row.call.name;
    EXPECT_NEAR(v->x, row.position.x, 1e-4) << row.call.name << " vertex " << row.vertex;
    EXPECT_NEAR(v->y, row.position.y, 1e-4) << row.call.name << " vertex " << row.vertex;
    EXPECT_NEAR(v->z, row.position.z, 1e-4) << row.call.name << " vertex " << row.vertex;
    EXPECT_NEAR(v->tu, row.tu, 1e-4) << row.call.name << " vertex " << row.vertex;
    EXPECT_NEAR(v->tv, row.tv, 1e-4) << row.call.name << " vertex " << row.vertex;
    engine->ReleaseObject(m, 1);
  }
}

// --- what every generator leaves --------------------------------------------------

const Call kAll[] = {
    GEN(CreateSquare(3, 2, 0.5f)),   GEN(CreateSquare(1, 1, -2)),      GEN(CreateGlobe(1, 1, 10)),
    GEN(CreateGlobe(2, 4, 3)),       GEN(CreateGlobe(1, 0, 0)),        GEN(CreateCube(2, 2, 2)),
    GEN(CreateCube(-1, 3, 0.5f)),    GEN(CreateCone(1, 2, 4)),         GEN(CreateCone(1, -2, 1)),
    GEN(CreateTorus(0.5f, 2, 4, 3)), GEN(CreateTorus(0.5f, 2, 1, 1)),  GEN(CreateTorus(2, 1, 5, 7)),
    GEN(CreateTorus(-0.5f, -2, 6, 12)), GEN(CreatePyramide(1, 1, 1)), GEN(CreatePyramide(-1, 2, -3)),
    GEN(CreateDisk(1, 6)),           GEN(CreateDisk(1, 2)),            GEN(CreateCilinder(1, 6, 6)),
    GEN(CreateCilinder(-1, 2, 0)),   GEN(CreateGlobe(1, 1, 181)),      GEN(CreateTorus(0.25f, 4, 64, 1000)),
};

TEST_F(PrimitiveTest, EveryFaceHasAreaAndEveryVertexAUnitNormal) {
  for (const Call& call : kAll) {
    CMeshObject* m = Make(call);
    ASSERT_GT(m->GetFaceCount(), 0) << call.name;
    long flat = 0, badNormals = 0, badRecords = 0;
    for (long f = 0; f < m->GetFaceCount(); ++f) {
      const D3DVECTOR n = AreaVector(m, f);
      if (!(Dot(n, n) > 0)) ++flat;
      // Only the visibility bits, which follow the views, may be set.
      if ((m->GetFaceFlags(f) & ~FACE_VISIBLE_ALL) != 0 || m->GetFaceMaterialIndex(f) != 0 || m->GetFaceTextureIndex(f) != -1) ++badRecords;
    }
    for (long i = 0; i < m->GetVertexCount(); ++i) {
      const MeshVertex* v = m->GetVertex(i);
      const double length = std::sqrt(double(v->nx) * v->nx + double(v->ny) * v->ny + double(v->nz) * v->nz);
      if (!(std::fabs(length - 1.0) < 1e-4)) ++badNormals;
      for (int s = 0; s < 7; ++s)
        if (v->stageTu[s] != 0 || v->stageTv[s] != 0) ++badRecords;
      if (m->GetVertexFlags(i) != 0) ++badRecords;
    }
    EXPECT_EQ(flat, 0) << call.name;
    EXPECT_EQ(badNormals, 0) << call.name;
    EXPECT_EQ(badRecords, 0) << call.name;
    EXPECT_EQ(m->GetUpdateCount(), 0) << call.name;
    engine->ReleaseObject(m, 1);
  }
}

// Closed solids face out of their centre (the torus out of its tube's centre
// line); the plane and the disk face -z.
TEST_F(PrimitiveTest, FacesWindOutward) {
  enum Kind { kAboutOrigin, kAboutMidHeight, kTorus, kFlat };
  struct Row {
    Call call;
    Kind kind;
    int tubeDetail = 0, segments = 0;
  };
  const Row rows[] = {
      {GEN(CreateGlobe(2, 4, 3)), kAboutOrigin},         {GEN(CreateGlobe(1, 1, 10)), kAboutOrigin},
      {GEN(CreateCube(1, 2, 3)), kAboutOrigin},          {GEN(CreateCube(-1, 2, -3)), kAboutOrigin},
      {GEN(CreateCone(1, 2, 7)), kAboutMidHeight},       {GEN(CreateCone(-1, -2, 3)), kAboutMidHeight},
      {GEN(CreateCilinder(1, 2, 5)), kAboutMidHeight},   {GEN(CreateCilinder(1, -2, 5)), kAboutMidHeight},
      {GEN(CreatePyramide(1, 2, 1)), kAboutMidHeight},   {GEN(CreatePyramide(1, -2, 1)), kAboutMidHeight},
      {GEN(CreateTorus(0.5f, 2, 6, 12)), kTorus, 6, 12}, {GEN(CreateTorus(-0.5f, -2, 5, 7)), kTorus, 5, 7},
      // A tube wider than the ring crosses the axis; its faces still face
      // away from the tube's centre line.
      {GEN(CreateTorus(2, 1, 5, 7)), kTorus, 5, 7},      {GEN(CreateTorus(3, 1, 8, 9)), kTorus, 8, 9},
      {GEN(CreateSquare(3, 2, 0.5f)), kFlat},            {GEN(CreateSquare(3, 2, -0.5f)), kFlat},
      {GEN(CreateDisk(1, 8)), kFlat},                    {GEN(CreateDisk(-1, 8)), kFlat},
  };
  for (const Row& row : rows) {
    CMeshObject* m = Make(row.call);
    // Cone, cylinder and pyramid stand on z = 0: their inside holds a point
    // just above the base centre.
    D3DVECTOR inside(0, 0, 0);
    if (row.kind == kAboutMidHeight) inside.z = 0.25f;
    long inward = 0;
    for (long f = 0; f < m->GetFaceCount(); ++f) {
      const D3DVECTOR n = AreaVector(m, f);
      const D3DVECTOR c = Centroid(m, f);
      D3DVECTOR out;
      if (row.kind == kFlat) {
        out = D3DVECTOR(0, 0, -1);
      } else if (row.kind == kTorus) {
        // The sum of the directions from the tube's centre line to the
        // face's corners: vertex s * D + k sits at tube angle k and ring
        // angle s.
        out = D3DVECTOR(0, 0, 0);
        for (long i : Face(m, f)) {
          const double theta = 2 * M_PI * double(i / row.tubeDetail) / row.segments;
          const double phi = 2 * M_PI * double(i % row.tubeDetail) / row.tubeDetail;
          out.x += float(std::cos(phi) * std::cos(theta));
          out.y += float(std::sin(phi));
          out.z += float(std::cos(phi) * std::sin(theta));
        }
      } else {
        out = Sub(c, inside);
      }
      if (!(Dot(n, out) > 0)) ++inward;
    }
    EXPECT_EQ(inward, 0) << row.call.name;
    if (row.kind == kAboutOrigin && row.call.name.find("Globe") != std::string::npos)
      for (long i = 0; i < m->GetVertexCount(); ++i) {
        const MeshVertex* v = m->GetVertex(i);
        ASSERT_GT(Dot(D3DVECTOR(v->nx, v->ny, v->nz), D3DVECTOR(v->x, v->y, v->z)), 0) << row.call.name << " " << i;
      }
    engine->ReleaseObject(m, 1);
  }
}

// --- refusals ---------------------------------------------------------------------

TEST_F(PrimitiveTest, RefusedRequestsLeaveTheMeshAsItWas) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Call refused[] = {
      // fewer than one column or row
      {"CreateSquare(0.5, 3, 1)", [](CMeshObject* m) { return m->CreateSquare(0.5f, 3, 1); }},
      {"CreateSquare(3, 0, 1)", [](CMeshObject* m) { return m->CreateSquare(3, 0, 1); }},
      {"CreateSquare(NaN, 3, 1)", [nan](CMeshObject* m) { return m->CreateSquare(nan, 3, 1); }},
      // past 65,536 vertices, including counts that overflow 32 bits
      {"CreateSquare(256, 255, 1)", [](CMeshObject* m) { return m->CreateSquare(256, 255, 1); }},
      {"CreateSquare(32768, 32768, 1)", [](CMeshObject* m) { return m->CreateSquare(32768, 32768, 1); }},
      {"CreateSquare(inf, inf, 1)", [inf](CMeshObject* m) { return m->CreateSquare(inf, inf, 1); }},
      {"CreateGlobe(1, 1, 182)", [](CMeshObject* m) { return m->CreateGlobe(1, 1, 182); }},
      {"CreateGlobe(1, 1, 23171)", [](CMeshObject* m) { return m->CreateGlobe(1, 1, 23171); }},
      {"CreateGlobe(1, 1, 32768)", [](CMeshObject* m) { return m->CreateGlobe(1, 1, 32768); }},
      {"CreateGlobe(1, 1, 1e30)", [](CMeshObject* m) { return m->CreateGlobe(1, 1, 1e30f); }},
      {"CreateCone(1, 1, 65535)", [](CMeshObject* m) { return m->CreateCone(1, 1, 65535); }},
      {"CreateDisk(1, 65536)", [](CMeshObject* m) { return m->CreateDisk(1, 65536); }},
      {"CreateCilinder(1, 1, 32768)", [](CMeshObject* m) { return m->CreateCilinder(1, 1, 32768); }},
      {"CreateTorus(0.5, 2, 257, 256)", [](CMeshObject* m) { return m->CreateTorus(0.5f, 2, 257, 256); }},
      {"CreateTorus(0.5, 2, 32768, 32768)", [](CMeshObject* m) { return m->CreateTorus(0.5f, 2, 32768, 32768); }},
      // NaN details
      {"CreateGlobe(1, 1, NaN)", [nan](CMeshObject* m) { return m->CreateGlobe(1, 1, nan); }},
      {"CreateCone(1, 1, NaN)", [nan](CMeshObject* m) { return m->CreateCone(1, 1, nan); }},
      {"CreateTorus(0.5, 2, 6, NaN)", [nan](CMeshObject* m) { return m->CreateTorus(0.5f, 2, 6, nan); }},
      // sizes that leave no area, or no finite coordinates
      {"CreateSquare(3, 3, 0)", [](CMeshObject* m) { return m->CreateSquare(3, 3, 0); }},
      {"CreateSquare(3, 3, 3e38)", [](CMeshObject* m) { return m->CreateSquare(3, 3, 3e38f); }},
      {"CreateGlobe(0, 0, 10)", [](CMeshObject* m) { return m->CreateGlobe(0, 0, 10); }},
      {"CreateGlobe(inf, 1, 10)", [inf](CMeshObject* m) { return m->CreateGlobe(inf, 1, 10); }},
      {"CreateCube(0, 1, 1)", [](CMeshObject* m) { return m->CreateCube(0, 1, 1); }},
      {"CreateCube(1, NaN, 1)", [nan](CMeshObject* m) { return m->CreateCube(1, nan, 1); }},
      {"CreateCone(0, 1, 6)", [](CMeshObject* m) { return m->CreateCone(0, 1, 6); }},
      {"CreateCone(1, 0, 6)", [](CMeshObject* m) { return m->CreateCone(1, 0, 6); }},
      {"CreateDisk(0, 6)", [](CMeshObject* m) { return m->CreateDisk(0, 6); }},
      {"CreateCilinder(1, 0, 6)", [](CMeshObject* m) { return m->CreateCilinder(1, 0, 6); }},
      {"CreatePyramide(1, 1, 0)", [](CMeshObject* m) { return m->CreatePyramide(1, 1, 0); }},
      {"CreateTorus(0, 2, 6, 12)", [](CMeshObject* m) { return m->CreateTorus(0, 2, 6, 12); }},
      // a tube that reaches the axis at a vertex pinches faces to lines
      {"CreateTorus(2, 2, 4, 12)", [](CMeshObject* m) { return m->CreateTorus(2, 2, 4, 12); }},
  };
  CMeshObject* m = engine->CreateObject();
  m->SetLogUndoAction(0);
  ASSERT_EQ(m->CreateCube(2, 2, 2), 0);
  m->SelectVertex(3);
  const MeshVertex before = *m->GetVertex(3);
  for (const Call& call : refused) {
    EXPECT_EQ(call.make(m), E_FAIL) << call.name;
    ASSERT_EQ(m->GetVertexCount(), 8) << call.name;
    ASSERT_EQ(m->GetFaceCount(), 12) << call.name;
    EXPECT_EQ(m->GetVertex(3)->x, before.x) << call.name;
    EXPECT_EQ(m->GetVertex(3)->nz, before.nz) << call.name;
    EXPECT_EQ(Face(m, 11), (std::vector<long>{4, 6, 5})) << call.name;
    EXPECT_EQ(m->GetSelectedVertexCount(), 1) << call.name;
  }
  EXPECT_TRUE(host.messages.empty());
}

// --- replacing and appending -------------------------------------------------------

TEST_F(PrimitiveTest, ArrayGeneratorsReplaceTheGeometryWithExactlySizedArrays) {
  CMeshObject* m = engine->CreateObject();
  m->SetLogUndoAction(0);
  CMaterial* extra = m->AddMaterial();
  ASSERT_EQ(m->CreateSquare(4, 4, 1), 0);
  m->SelectAllVertices();
  m->SelectFace(3);
  m->SetFaceMaterialIndex(3, 1);

  ASSERT_EQ(m->CreateCone(1, 2, 10), 0);
  EXPECT_EQ(m->GetVertexCount(), 12);
  EXPECT_EQ(m->GetVertexCapacity(), 12);
  EXPECT_EQ(m->GetFaceCapacity(), 20);
  EXPECT_EQ(m->GetSelectedVertexCount(), 0);
  EXPECT_EQ(m->GetSelectedFaceCount(), 0);
  EXPECT_EQ(m->GetFaceMaterialIndex(3), 0);
  // The material list is the mesh's own business.
  ASSERT_EQ(m->GetMaterialCount(), 2);
  EXPECT_EQ(m->GetMaterial(1), extra);
  // Later additions grow the exact arrays as usual.
  EXPECT_EQ(m->AddVertex(5, 5, 5), 12);
  EXPECT_EQ(m->AddFace(0, 1, 12), 20);
}

TEST_F(PrimitiveTest, TheTorusAppendsAndNumbersItsFacesFromItsOwnFirstVertex) {
  CMeshObject* m = engine->CreateObject();
  m->SetLogUndoAction(0);
  ASSERT_EQ(m->CreateCube(2, 2, 2), 0);
  ASSERT_EQ(m->CreateTorus(0.5f, 2, 4, 3), 0);
  EXPECT_EQ(m->GetVertexCount(), 20);
  EXPECT_EQ(m->GetFaceCount(), 36);
  EXPECT_EQ(Face(m, 11), (std::vector<long>{4, 6, 5}));
  EXPECT_EQ(Face(m, 12), (std::vector<long>{8, 13, 12}));
  EXPECT_EQ(Face(m, 35), (std::vector<long>{19, 16, 8}));

  // The limit counts what the mesh already holds.
  CMeshObject* full = engine->CreateObject();
  full->SetLogUndoAction(0);
  ASSERT_EQ(full->CreateSquare(255, 254, 1), 0);  // 65,280 vertices
  EXPECT_EQ(full->CreateTorus(0.5f, 2, 16, 17), E_FAIL);
  EXPECT_EQ(full->GetVertexCount(), 65280);
  EXPECT_EQ(full->CreateTorus(0.5f, 2, 16, 16), 0);
  EXPECT_EQ(full->GetVertexCount(), 65536);
  EXPECT_EQ(Face(full, full->GetFaceCount() - 1)[0], 65535);
}

}  // namespace
