#include "engine/Polygon3D.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/EngineFixture.h"

namespace {

struct P2 {
  float x, y, z = 0;
};

void Fill(Polygon3D& poly, const std::vector<P2>& points) {
  poly.CreateVertexList(static_cast<long>(points.size()));
  for (size_t i = 0; i < points.size(); ++i)
    poly.SetVertex(D3DVECTOR(points[i].x, points[i].y, points[i].z), static_cast<long>(i));
}

std::vector<P2> Points(const Polygon3D& poly) {
  std::vector<P2> out;
  for (long i = 0; i < poly.GetVertexCount(); ++i) out.push_back({poly.GetVertex(i).x, poly.GetVertex(i).y});
  return out;
}

MATCHER_P(PlanarPoints, expected, "") {
  if (arg.size() != expected.size()) return false;
  for (size_t i = 0; i < arg.size(); ++i)
    if (std::fabs(arg[i].x - expected[i].x) > 1e-5 || std::fabs(arg[i].y - expected[i].y) > 1e-5) return false;
  return true;
}

const std::vector<P2> kSquareCCW = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const std::vector<P2> kSquareCW = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};

std::vector<std::vector<long>> Faces(CMeshObject* mesh) {
  std::vector<std::vector<long>> out;
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    long a, b, c;
    mesh->GetFaceIndices(f, &a, &b, &c);
    out.push_back({a, b, c});
  }
  return out;
}

// Signed planar area of a mesh face (positive counter-clockwise).
double FaceArea(CMeshObject* mesh, long f) {
  long i[3];
  mesh->GetFaceIndices(f, &i[0], &i[1], &i[2]);
  D3DVECTOR p[3];
  for (int k = 0; k < 3; ++k) mesh->GetVertexCoordinates(i[k], &p[k]);
  return ((double(p[1].x) - p[0].x) * (double(p[2].y) - p[0].y) - (double(p[2].x) - p[0].x) * (double(p[1].y) - p[0].y)) /
         2;
}

TEST(Polygon3DTest, OrientationCentreAndDeterminant) {
  Polygon3D poly;
  EXPECT_EQ(poly.FindOrientation(), POLYGON_COUNTERCLOCKWISE);  // empty
  EXPECT_EQ(poly.GetOrientation(), POLYGON_CLOCKWISE);
  Fill(poly, kSquareCCW);
  EXPECT_EQ(poly.FindOrientation(), POLYGON_COUNTERCLOCKWISE);
  poly.FindCenter();
  EXPECT_FLOAT_EQ(poly.GetCenter().x, 0.5f);
  EXPECT_FLOAT_EQ(poly.GetCenter().y, 0.5f);
  EXPECT_EQ(poly.FindDeterminant(0, 1, 2), POLYGON_COUNTERCLOCKWISE);
  EXPECT_EQ(poly.FindDeterminant(0, 2, 1), POLYGON_CLOCKWISE);
  Fill(poly, kSquareCW);
  EXPECT_EQ(poly.FindOrientation(), POLYGON_CLOCKWISE);

  // Collinear: distinct points turn counter-clockwise, a repeated point not.
  Fill(poly, {{0, 0}, {1, 0}, {2, 0}, {1, 0}});
  EXPECT_EQ(poly.FindDeterminant(0, 1, 2), POLYGON_COUNTERCLOCKWISE);
  EXPECT_EQ(poly.FindDeterminant(0, 1, 3), POLYGON_CLOCKWISE);
}

TEST(Polygon3DTest, ListsStayConsistentWithTheirCount) {
  Polygon3D poly;
  Fill(poly, kSquareCCW);
  poly.SetMaterial(5, 3);
  poly.SetMaterial(9, 4);  // past the end: ignored
  poly.SetVertex(D3DVECTOR(7, 7, 7), 4);
  EXPECT_EQ(poly.GetMaterial(3), 5);
  EXPECT_EQ(poly.GetMaterial(0), -1);
  poly.FreeVertexList();
  EXPECT_EQ(poly.GetVertexCount(), 0);  // no count without points
  poly.CreateVertexList(0);
  EXPECT_EQ(poly.GetVertexCount(), 0);
  poly.Sort();
  poly.Shrink(1);
  poly.Translate(D3DVECTOR(1, 1, 1));
  EXPECT_EQ(poly.FindCenter(), 0);

  // Assignment grows the smaller polygon and keeps its own orientation.
  Polygon3D a, b;
  Fill(a, kSquareCCW);
  a.SetMaterial(4, 2);
  b.SetOrientation(POLYGON_COUNTERCLOCKWISE);
  b = a;
  EXPECT_THAT(Points(b), PlanarPoints(kSquareCCW));
  EXPECT_EQ(b.GetMaterial(2), 4);
  EXPECT_EQ(b.GetOrientation(), POLYGON_COUNTERCLOCKWISE);
  EXPECT_FLOAT_EQ(b.GetCenter().x, 0.5f);
}

TEST(Polygon3DTest, CorrectRemovesConsecutiveDuplicatesWithTheirMaterials) {
  Polygon3D poly;
  Fill(poly, {{0, 0}, {0, 0}, {1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 0}});
  for (long i = 0; i < 7; ++i) poly.SetMaterial(7 + static_cast<int>(i), i);
  poly.Correct();
  EXPECT_THAT(Points(poly), PlanarPoints(std::vector<P2>{{0, 0}, {1, 0}, {1, 1}, {0, 0}}));  // last/first kept
  std::vector<int> materials;
  for (long i = 0; i < poly.GetVertexCount(); ++i) materials.push_back(poly.GetMaterial(i));
  EXPECT_EQ(materials, (std::vector<int>{8, 9, 12, 13}));
}

class Polygon3DMeshTest : public EngineTest {};

TEST_F(Polygon3DMeshTest, TriangulateSquareInBothWindingsAndWrongOrientation) {
  struct Case {
    int orientation;
    int flag;
    std::vector<std::vector<long>> faces;
  };
  const Case cases[] = {
      {POLYGON_COUNTERCLOCKWISE, 1, {{3, 0, 1}, {1, 2, 3}}},
      {POLYGON_COUNTERCLOCKWISE, 0, {{3, 1, 0}, {1, 3, 2}}},
      // No ear turns clockwise: the last entry goes without a face.
      {POLYGON_CLOCKWISE, 1, {{0, 1, 2}}},
  };
  for (const Case& c : cases) {
    CMeshObject* mesh = engine->CreateObject();
    Polygon3D poly;
    Fill(poly, kSquareCCW);
    poly.SetOrientation(c.orientation);
    EXPECT_EQ(poly.Triangulate(mesh, c.flag), 0);
    EXPECT_EQ(mesh->GetVertexCount(), 4);
    EXPECT_EQ(Faces(mesh), c.faces) << c.orientation << " " << c.flag;
  }
}

TEST_F(Polygon3DMeshTest, ConcavePolygonsAreCoveredExactly) {
  // Axis-parallel L and an arrow: every face turns with the polygon and the
  // faces cover exactly its area (none spans the notch).
  struct Case {
    std::vector<P2> points;
    double area;
  };
  const Case cases[] = {
      {{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 3.0},
      {{{1, 1}, {2, 1}, {2, 2}, {0, 2}, {0, 0}, {1, 0}}, 3.0},  // same L, starting at the reflex corner
      {{{0, 0}, {4, 2}, {0, 4}, {1, 2}}, 6.0},
      {{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}, 7.0},  // U
  };
  for (const Case& c : cases) {
    CMeshObject* mesh = engine->CreateObject();
    Polygon3D poly;
    Fill(poly, c.points);
    poly.SetOrientation(poly.FindOrientation());
    ASSERT_EQ(poly.Triangulate(mesh, 1), 0);
    EXPECT_EQ(mesh->GetFaceCount(), static_cast<long>(c.points.size()) - 2);
    double sum = 0;
    for (long f = 0; f < mesh->GetFaceCount(); ++f) {
      const double a = FaceArea(mesh, f);
      EXPECT_GT(a, 0) << "case " << (&c - cases) << " face " << f;
      sum += a;
    }
    EXPECT_NEAR(sum, c.area, 1e-6);
  }
}

TEST_F(Polygon3DMeshTest, TooFewPointsAreRefusedWithTheMeshUntouched) {
  CMeshObject* mesh = engine->CreateObject();
  Polygon3D empty;
  EXPECT_EQ(empty.Triangulate(mesh, 1), 0);
  for (long n = 1; n <= 2; ++n) {
    Polygon3D poly;
    Fill(poly, std::vector<P2>(kSquareCCW.begin(), kSquareCCW.begin() + n));
    EXPECT_EQ(poly.Triangulate(mesh, 1), -1);
    EXPECT_EQ(poly.TriangulateRaw(mesh), -1);
  }
  EXPECT_EQ(mesh->GetVertexCount(), 0);
  EXPECT_EQ(mesh->GetFaceCount(), 0);
}

TEST_F(Polygon3DMeshTest, SortGivesAnAngularOutlineAnywhere) {
  struct Case {
    std::vector<P2> in, out;
  };
  const Case cases[] = {
      {{{0, 0}, {1, 1}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
      // Far from the origin, where a fixed ±5000 start box would put the
      // centre in the wrong place.
      {{{9000, 9000}, {9001, 9001}, {9001, 9000}, {9000, 9001}},
       {{9000, 9000}, {9001, 9000}, {9001, 9001}, {9000, 9001}}},
      {{{2, 0}, {-2, 0}, {0, 2}, {0, -2}, {1.5f, 1.5f}}, {{2, 0}, {1.5f, 1.5f}, {0, 2}, {-2, 0}, {0, -2}}},
  };
  for (const Case& c : cases) {
    Polygon3D poly(engine.get());
    Fill(poly, c.in);
    host.progress.clear();
    poly.Sort();
    EXPECT_THAT(Points(poly), PlanarPoints(c.out));
  }
  EXPECT_EQ(engine->GetProgressNesting(), 0);  // released again
  bool sawSorting = false;
  for (const CString& p : host.progress) sawSorting = sawSorting || p == "message Sorting ...";
  EXPECT_TRUE(sawSorting);

  // A point on the centre has no direction: it is kept, not turned into NaN.
  Polygon3D poly;
  Fill(poly, {{0, 0}, {2, 0}, {1, 1}, {2, 2}, {0, 2}});
  poly.Sort();
  for (const P2& p : Points(poly)) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  EXPECT_EQ(poly.GetVertexCount(), 5);
}

TEST(Polygon3DTest, CombineBridgesTheHoleAtTheClosestCorner) {
  Polygon3D outer, hole;
  Fill(outer, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
  Fill(hole, {{1, 1}, {1, 3}, {3, 3}, {3, 1}});
  outer.SetMaterial(3, 0);
  ASSERT_EQ(outer.Combine(hole), 0);
  EXPECT_THAT(Points(outer), PlanarPoints(std::vector<P2>{
                                 {0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 3}, {3, 3}, {3, 1}, {1, 1}, {1, 3}, {0, 4}}));
  // The material list grew with the points: every entry is there, and none.
  for (long i = 0; i < outer.GetVertexCount(); ++i) EXPECT_EQ(outer.GetMaterial(i), -1);
  outer.SetMaterial(6, 9);
  EXPECT_EQ(outer.GetMaterial(9), 6);
  Polygon3D copy;
  copy = outer;
  copy.Correct();
  EXPECT_EQ(copy.GetVertexCount(), 10);

  Polygon3D empty;
  EXPECT_EQ(outer.Combine(empty), -1);
  EXPECT_EQ(outer.GetVertexCount(), 10);
  EXPECT_EQ(empty.Combine(hole), -1);
}

TEST(Polygon3DTest, ShrinkOffsetsAlongTheBisectors) {
  struct Case {
    std::vector<P2> in;
    float distance;
    std::vector<P2> out;
  };
  const Case cases[] = {
      {kSquareCCW, 0.1f, {{-0.1f, -0.1f}, {1.1f, -0.1f}, {1.1f, 1.1f}, {-0.1f, 1.1f}}},
      {kSquareCW, 0.1f, {{0.1f, 0.1f}, {0.1f, 0.9f}, {0.9f, 0.9f}, {0.9f, 0.1f}}},
      {kSquareCCW, 0.0f, kSquareCCW},
  };
  for (const Case& c : cases) {
    Polygon3D poly;
    Fill(poly, c.in);
    poly.Shrink(c.distance);
    EXPECT_THAT(Points(poly), PlanarPoints(c.out));
  }
  // Coincident neighbours and a fold-back have no bisector: no NaN points.
  Polygon3D poly;
  Fill(poly, {{0, 0}, {0, 0}, {1, 0}, {2, 0}, {1, 0}});
  poly.Shrink(0.5f);
  for (const P2& p : Points(poly)) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(Polygon3DTest, IsInsideEvenOdd) {
  Polygon3D square;
  Fill(square, {{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  struct Case {
    P2 point;
    int inside;
  };
  const Case cases[] = {
      {{1, 1}, 1}, {{3, 1}, 0}, {{-1, 1}, 0},
      {{1, 0}, 1},   // level with the bottom edge: counted by the sides starting there
      {{1, 2}, 0},   // level with the top: the sides end there
      {{-1, 0}, 0},  // level with a corner, outside
  };
  for (const Case& c : cases) {
    Polygon3D point;
    Fill(point, {c.point});
    EXPECT_EQ(point.isInside(square), c.inside) << c.point.x << "," << c.point.y;
  }
  Polygon3D empty;
  EXPECT_EQ(empty.isInside(square), 0);
  EXPECT_EQ(square.isInside(empty), 0);
}

TEST(Polygon3DTest, DepthTranslateAndSpline) {
  Polygon3D poly;
  Fill(poly, kSquareCCW);
  poly.FindCenter();
  poly.SetDepth(3);
  poly.Translate(D3DVECTOR(1, 2, 1));
  EXPECT_EQ(poly.GetVertex(2), D3DVECTOR(2, 3, 4));
  EXPECT_EQ(poly.GetCenter(), D3DVECTOR(1.5f, 2.5f, 1));
  EXPECT_EQ(ApproximateQuadraticSpline(D3DVECTOR(0, 0, 5), D3DVECTOR(1, 2, 9), D3DVECTOR(2, 0, 7), 0.5f),
            D3DVECTOR(1, 1, 5));
}

}  // namespace
