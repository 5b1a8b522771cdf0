#include "engine/Matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace d3dmath;

namespace {

constexpr double kTol = 1e-6;
constexpr float kHalfPi = std::numbers::pi_v<float> / 2.0f;

D3DMATRIX Rows(std::initializer_list<float> values) {
  D3DMATRIX m;
  int i = 0;
  for (float v : values) (&m._11)[i++] = v;
  return m;
}

::testing::AssertionResult MatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, double tol = kTol) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (!(std::fabs(static_cast<double>(actual(r, c)) - expected(r, c)) <= tol)) {
        std::ostringstream out;
        out << "entry _" << r + 1 << c + 1 << " is " << actual(r, c) << ", expected " << expected(r, c);
        return ::testing::AssertionFailure() << out.str();
      }
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult VectorNear(const D3DVECTOR& actual, const D3DVECTOR& expected, double tol = kTol) {
  if (std::fabs(actual.x - expected.x) <= tol && std::fabs(actual.y - expected.y) <= tol &&
      std::fabs(actual.z - expected.z) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << "), expected ("
                                       << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

bool AllFinite(const D3DMATRIX& m) {
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite((&m._11)[i])) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Rotations, translation and scale.

TEST(MatrixRotate, SingleAxisRotationsTurnRowVectors) {
  struct Case {
    const char* name;
    D3DMATRIX m;
    D3DVECTOR in;
    D3DVECTOR out;
  };
  const Case cases[] = {
      {"Z", RotateZMatrix(kHalfPi), {1, 0, 0}, {0, -1, 0}},
      {"X", RotateXMatrix(kHalfPi), {0, 1, 0}, {0, 0, -1}},
      {"Y", RotateYMatrix(kHalfPi), {0, 0, 1}, {-1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(VectorNear(TransformVector(c.in, c.m), c.out));
  }
}

TEST(MatrixRotate, TwoArgumentFormRotatesFirstAndLeavesItsMatrixAlone) {
  const D3DMATRIX move = TranslateMatrix(5, 0, 0);
  const D3DMATRIX moved = move;
  const D3DMATRIX r = RotateZMatrix(kHalfPi, move);  // Rz · move
  EXPECT_EQ(move, moved);
  EXPECT_TRUE(VectorNear(TransformVector({1, 0, 0}, r), {5, -1, 0}));
  EXPECT_TRUE(MatrixNear(RotateXMatrix(0.3f, move), MatrixMult(move, RotateXMatrix(0.3f))));
  EXPECT_TRUE(MatrixNear(RotateYMatrix(0.3f, move), MatrixMult(move, RotateYMatrix(0.3f))));
}

TEST(MatrixBuild, InPlaceTranslateAndScaleTouchOnlyTheirEntries) {
  D3DMATRIX m = RotateXMatrix(0.7f);
  m._14 = 9.0f;
  D3DMATRIX expected = m;
  expected._41 = 1;
  expected._42 = 2;
  expected._43 = 3;
  D3DMATRIX& same = TranslateMatrix(m, {1, 2, 3});
  EXPECT_EQ(&same, &m);
  EXPECT_EQ(m, expected);

  expected._11 = 4;
  expected._22 = 5;
  expected._33 = 6;
  EXPECT_EQ(&ScaleMatrix(m, {4, 5, 6}), &m);
  EXPECT_EQ(m, expected);

  EXPECT_EQ(TranslateMatrix(D3DVECTOR{1, 2, 3}), TranslateMatrix(1, 2, 3));
  EXPECT_EQ(ScaleMatrix(2.0f), ScaleMatrix(D3DVECTOR{2, 2, 2}));
  EXPECT_EQ(TransformVector({1, 1, 1}, ScaleMatrix(2, 3, 4)), (D3DVECTOR{2, 3, 4}));

  D3DMATRIX cleared = Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  ClearMatrix(cleared);
  EXPECT_EQ(cleared, IdentityMatrix());
}

// ---------------------------------------------------------------------------
// Products.

TEST(MatrixMult, SecondArgumentIsAppliedFirst) {
  const D3DMATRIX t = TranslateMatrix(1, 0, 0);
  const D3DMATRIX s = ScaleMatrix(2.0f);
  const D3DMATRIX ts = MatrixMult(t, s);
  EXPECT_TRUE(VectorNear(TransformVector({0, 0, 0}, ts), {1, 0, 0}));
  EXPECT_TRUE(VectorNear(TransformVector({1, 0, 0}, ts), {3, 0, 0}));
  // The other order translates first.
  EXPECT_TRUE(VectorNear(TransformVector({1, 0, 0}, MatrixMult(s, t)), {4, 0, 0}));
}

TEST(MatrixMult, ThreeArgumentFormAddsIntoOut) {
  const D3DMATRIX t = TranslateMatrix(1, 0, 0);
  const D3DMATRIX s = ScaleMatrix(2.0f);
  D3DMATRIX out = IdentityMatrix();
  D3DMATRIX& same = MatrixMult(t, s, out);
  EXPECT_EQ(&same, &out);
  // I + S·T
  EXPECT_EQ(out, Rows({3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 1, 0, 0, 2}));

  D3DMATRIX cleared = ZeroMatrix();
  EXPECT_EQ(MatrixMult(t, s, cleared), MatrixMult(t, s));

  // out may be one of the operands: the product is taken from the old values.
  const D3DMATRIX full = Rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  const D3DMATRIX other = MatrixMult(RotateXMatrix(0.5f), TranslateMatrix(1, 2, 3));
  D3DMATRIX expected = full;
  MatrixMult(full, other, expected);
  D3DMATRIX a = full;
  MatrixMult(a, other, a);
  EXPECT_EQ(a, expected);
  expected = other;
  MatrixMult(full, other, expected);
  D3DMATRIX b = other;
  MatrixMult(full, b, b);
  EXPECT_EQ(b, expected);
}

// ---------------------------------------------------------------------------
// Inverses.

TEST(MatrixInverse, ExactCases) {
  EXPECT_EQ(MatrixInverse(IdentityMatrix()), IdentityMatrix());

  // A row permutation: every diagonal entry is zero, yet the inverse (the
  // transpose) comes out exactly.
  const D3DMATRIX perm = Rows({0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0});
  EXPECT_EQ(MatrixInverse(perm), MatrixTranspose(perm));

  EXPECT_EQ(MatrixInverse(ScaleMatrix(2, 4, 8)), ScaleMatrix(0.5f, 0.25f, 0.125f));
}

TEST(MatrixInverse, RandomWellConditionedMatricesInvert) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> entry(-1.0f, 1.0f);
  for (int trial = 0; trial < 50; ++trial) {
    // Dominant entries on a shuffled permutation force real pivoting.
    int cols[4] = {0, 1, 2, 3};
    std::shuffle(cols, cols + 4, rng);
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) (&m._11)[i] = entry(rng);
    for (int r = 0; r < 4; ++r) m(r, cols[r]) += 4.0f;
    SCOPED_TRACE(trial);
    const D3DMATRIX inv = MatrixInverse(m);
    EXPECT_TRUE(MatrixNear(MatrixMult(m, inv), IdentityMatrix(), 1e-5));
    EXPECT_TRUE(MatrixNear(MatrixMult(inv, m), IdentityMatrix(), 1e-5));
  }
}

TEST(MatrixInverse, AffineInverseCarriesPointsBack) {
  const D3DMATRIX m = MatrixMult(TranslateMatrix(3, -2, 7), MatrixMult(RotateYMatrix(0.4f), ScaleMatrix(2, 1, 0.5f)));
  const D3DVECTOR p{1.5f, -4.0f, 2.25f};
  EXPECT_TRUE(VectorNear(TransformVector(TransformVector(p, m), MatrixInverse(m)), p, 1e-5));
}

TEST(MatrixInverse, SingularInputStillReturns) {
  // The result means nothing; the call must simply finish without faulting.
  (void)MatrixInverse(ZeroMatrix());
  (void)MatrixInverse(Rows({1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 1}));
  (void)MatrixInverse(Rows({1, 2, 3, 0, 2, 4, 6, 0, 1, 1, 1, 0, 0, 0, 0, 1}));
}

TEST(TransformNormal, UsesTheInverseTranspose) {
  // Stretching x by 2 tilts a slanted surface's normal towards y.
  const D3DMATRIX m = ScaleMatrix(2, 1, 1);
  EXPECT_TRUE(VectorNear(TransformNormal({1, 1, 0}, m), {0.5f, 1, 0}));
  // Under a rotation a normal turns with the points.
  EXPECT_TRUE(VectorNear(TransformNormal({1, 0, 0}, RotateZMatrix(0.5f)), TransformVector({1, 0, 0}, RotateZMatrix(0.5f))));
}

// ---------------------------------------------------------------------------
// PivotMatrix.

TEST(PivotMatrix, OrthonormalFrameAgainstItselfIsIdentity) {
  D3DMATRIX a = MatrixMult(RotateXMatrix(0.3f), MatrixMult(RotateYMatrix(1.1f), RotateZMatrix(-0.7f)));
  TranslateMatrix(a, {4, -5, 6});
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(MatrixNear(PivotMatrix(a, a, &hr), IdentityMatrix(), 1e-5));
  EXPECT_EQ(hr, S_OK);
}

TEST(PivotMatrix, NormalisesRotationColumnsBeforeInverting) {
  D3DMATRIX rotation = MatrixMult(RotateZMatrix(0.8f), RotateXMatrix(-0.2f));
  TranslateMatrix(rotation, {1, 2, 3});
  // Columns of the rotation scaled by 2, 3 and 4: R·S puts the scale on columns.
  D3DMATRIX scaled = MatrixMult(ScaleMatrix(2, 3, 4), rotation);
  TranslateMatrix(scaled, {1, 2, 3});
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(MatrixNear(PivotMatrix(scaled, IdentityMatrix(), &hr), MatrixInverse(rotation), 1e-5));
  EXPECT_EQ(hr, S_OK);
  // Row vectors: a point goes through a′⁻¹ first, then b′.
  const D3DMATRIX b = TranslateMatrix(10, 0, 0);
  const D3DVECTOR p{0.5f, -1, 2};
  EXPECT_TRUE(VectorNear(TransformVector(p, PivotMatrix(scaled, b)),
                         TransformVector(TransformVector(p, MatrixInverse(rotation)), b), 1e-5));
}

TEST(PivotMatrix, ZeroColumnInTheTargetStaysZero) {
  HRESULT hr = E_FAIL;
  const D3DMATRIX r = PivotMatrix(IdentityMatrix(), ScaleMatrix(0, 2, 1), &hr);
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(AllFinite(r));
  EXPECT_TRUE(MatrixNear(r, ScaleMatrix(0, 1, 1)));
}

TEST(PivotMatrix, SingularFrameFailsWithIdentity) {
  const std::pair<const char*, D3DMATRIX> cases[] = {
      {"zero column", ScaleMatrix(1, 0, 1)},
      {"equal columns", Rows({1, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 0, 1})},
      {"zero matrix", ZeroMatrix()},
  };
  for (const auto& [name, a] : cases) {
    SCOPED_TRACE(name);
    HRESULT hr = S_OK;
    EXPECT_EQ(PivotMatrix(a, RotateZMatrix(0.5f), &hr), IdentityMatrix());
    EXPECT_EQ(hr, E_FAIL);
  }
  // The result pointer is optional.
  EXPECT_EQ(PivotMatrix(ZeroMatrix(), IdentityMatrix()), IdentityMatrix());
}

// ---------------------------------------------------------------------------
// TransformVector.

TEST(TransformVector, DividesByWUnlessItIsZero) {
  D3DMATRIX noW = Rows({1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0});
  EXPECT_EQ(TransformVector({1, 1, 1}, noW), (D3DVECTOR{22, 26, 30}));

  D3DMATRIX halve = IdentityMatrix();
  halve._44 = 2.0f;
  EXPECT_EQ(TransformVector({2, 4, 6}, halve), (D3DVECTOR{1, 2, 3}));
  halve._14 = 1.0f;  // w = x + 2
  EXPECT_EQ(TransformVector({2, 4, 6}, halve), (D3DVECTOR{0.5f, 1, 1.5f}));
}

// ---------------------------------------------------------------------------
// Projections and views.

TEST(TransformVector, PointTransformGivesTheSameBits) {
  const d3dmath::IsometricProjections iso = d3dmath::MakeIsometricProjections();
  D3DMATRIX projective = iso.xy;
  projective._14 = 0.25f;  // w depends on the point: the full rule applies
  std::mt19937 random(3);
  std::uniform_real_distribution<float> any(-1e4f, 1e4f);
  std::vector<D3DVECTOR> points;
  for (int i = 0; i < 200; ++i) points.emplace_back(any(random), any(random), any(random));
  const float inf = std::numeric_limits<float>::infinity();
  points.emplace_back(inf, 0.0f, 1.0f);
  points.emplace_back(0.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f);
  points.emplace_back(-0.0f, 3e38f, -3e38f);
  auto bits = [](const D3DVECTOR& v) {
    return std::array<uint32_t, 3>{std::bit_cast<uint32_t>(v.x), std::bit_cast<uint32_t>(v.y),
                                   std::bit_cast<uint32_t>(v.z)};
  };
  for (const D3DMATRIX* m : {&iso.xy, &iso.xz, &iso.yz, static_cast<const D3DMATRIX*>(&projective)}) {
    const d3dmath::PointTransform transform(*m);
    for (const D3DVECTOR& p : points)
      EXPECT_EQ(bits(transform(p)), bits(d3dmath::TransformVector(p, *m))) << p.x << " " << p.y << " " << p.z;
  }
}

TEST(ProjectionMatrix, NinetyDegreeFieldOfView) {
  const D3DMATRIX expected = Rows({0.707107f, 0, 0, 0,  //
                                   0, 0.707107f, 0, 0,  //
                                   0, 0, 0.714249f, 0.707107f,  //
                                   0, 0, -0.714249f, 0});
  EXPECT_TRUE(MatrixNear(ProjectionMatrix(1, 100, std::numbers::pi_v<float> / 2), expected));
  D3DMATRIX out = IdentityMatrix();
  EXPECT_EQ(ProjectionMatrix(1, 100, std::numbers::pi_v<float> / 2, out), S_OK);
  EXPECT_EQ(out, ProjectionMatrix(1, 100, std::numbers::pi_v<float> / 2));
}

TEST(ProjectionMatrix, DegeneratePlanesGiveZeroMatrix) {
  const float planes[][2] = {{5, 5}, {1, 0}, {0, 0}};
  for (const auto& p : planes) {
    SCOPED_TRACE(::testing::Message() << "near " << p[0] << " far " << p[1]);
    EXPECT_EQ(ProjectionMatrix(p[0], p[1], 1.0f), ZeroMatrix());
    D3DMATRIX out = IdentityMatrix();
    EXPECT_EQ(ProjectionMatrix(p[0], p[1], 1.0f, out), E_FAIL);
    EXPECT_EQ(out, ZeroMatrix());
  }
}

TEST(ViewMatrix, LookingDownZFromBehindIsATranslation) {
  D3DMATRIX expected = IdentityMatrix();
  expected._43 = 5;
  const D3DMATRIX view = ViewMatrix({0, 0, -5}, {0, 0, 0}, {0, 1, 0}, 0);
  EXPECT_TRUE(MatrixNear(view, expected));
}

TEST(ViewMatrix, EyeGoesToOriginAndTargetOntoPositiveZ) {
  const D3DVECTOR from{1, 2, 3};
  const D3DVECTOR at{4, 6, 3};  // 5 units away
  const D3DMATRIX view = ViewMatrix(from, at, {0, 0, 1}, 0);
  EXPECT_TRUE(VectorNear(TransformVector(from, view), {0, 0, 0}, 1e-5));
  EXPECT_TRUE(VectorNear(TransformVector(at, view), {0, 0, 5}, 1e-5));
  // The requested up direction becomes the view's y.
  EXPECT_TRUE(VectorNear(TransformVector(from + D3DVECTOR{0, 0, 1}, view), {0, 1, 0}, 1e-5));

  // Roll turns the picture about the view axis: view · Rz(−roll).
  const D3DMATRIX rolled = ViewMatrix(from, at, {0, 0, 1}, 0.6f);
  EXPECT_TRUE(MatrixNear(rolled, MatrixMult(RotateZMatrix(-0.6f), view)));
  EXPECT_TRUE(VectorNear(TransformVector(from + D3DVECTOR{0, 0, 1}, rolled),
                         {-std::sin(0.6f), std::cos(0.6f), 0}, 1e-5));
}

TEST(ViewMatrix, DegenerateDirectionsStayFinite) {
  EXPECT_TRUE(AllFinite(ViewMatrix({1, 1, 1}, {1, 1, 1}, {0, 1, 0}, 0)));
  EXPECT_TRUE(AllFinite(ViewMatrix({0, 0, 0}, {0, 5, 0}, {0, 1, 0}, 0.3f)));
}

TEST(IsometricProjections, MatchTheirRotations) {
  const IsometricProjections p = MakeIsometricProjections();
  const std::pair<const char*, std::pair<D3DMATRIX, D3DMATRIX>> cases[] = {
      {"xy", {p.xy, Rows({0.5f, 0.433013f, 0.75f, 0,  //
                          0, 0.866025f, -0.5f, 0,  //
                          -0.866025f, 0.25f, 0.433013f, 0,  //
                          0, 0, 0, 1})}},
      {"xz", {p.xz, Rows({0.5f, -0.75f, 0.433013f, 0,  //
                          0.866025f, 0.433013f, -0.25f, 0,  //
                          0, 0.5f, 0.866025f, 0,  //
                          0, 0, 0, 1})}},
      {"yz", {p.yz, Rows({0.433013f, -0.866025f, 0.25f, 0,  //
                          0.75f, 0.5f, 0.433013f, 0,  //
                          -0.5f, 0, 0.866025f, 0,  //
                          0, 0, 0, 1})}},
  };
  for (const auto& [name, m] : cases) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(MatrixNear(m.first, m.second));
  }
  EXPECT_TRUE(VectorNear(PerspectiveTransformVector({1, 0, 0}, p.xy), {0.5f, 0.433013f, 0.75f}));
}

// ---------------------------------------------------------------------------
// Vector helpers and bit patterns.

TEST(VectorHelpers, CrossDotLengthUnit) {
  EXPECT_EQ(Cross({0, 0, 1}, {0, 1, 0}), (D3DVECTOR{-1, 0, 0}));
  EXPECT_EQ(Cross({1, 0, 0}, {0, 1, 0}), (D3DVECTOR{0, 0, 1}));
  EXPECT_FLOAT_EQ(Dot({1, 2, 3}, {4, -5, 6}), 12.0f);
  EXPECT_FLOAT_EQ(Length({3, 4, 12}), 13.0f);
  EXPECT_TRUE(VectorNear(Unit({0, 3, 4}), {0, 0.6f, 0.8f}));
  EXPECT_EQ(Unit({0, 0, 0}), (D3DVECTOR{0, 0, 0}));
  // Tiny but non-zero vectors still normalise.
  EXPECT_TRUE(VectorNear(Unit({1e-30f, 0, 0}), {1, 0, 0}));
}

TEST(FLOATtoDWORD, ReturnsTheBitPattern) {
  EXPECT_EQ(FLOATtoDWORD(1.0f), 0x3F800000u);
  EXPECT_EQ(FLOATtoDWORD(-2.0f), 0xC0000000u);
  EXPECT_EQ(FLOATtoDWORD(1.0e-20f), 0x1E3CE508u);
}

// ---------------------------------------------------------------------------
// File-name helpers.

TEST(FileNameHelpers, SplitOnEitherSeparator) {
  struct Case {
    const char* path;
    const char* dir;       // GetFullPathFromPath
    const char* file;      // GetFileNameFromPath
    const char* baseName;  // GetFileNameFromFilename
  };
  const Case cases[] = {
      {"C:\\models\\box.old.x", "C:\\models\\", "box.old.x", "box"},
      {"/models/box.old.x", "/models/", "box.old.x", "box"},
      {"models/sub\\box.x", "models/sub\\", "box.x", "box"},
      {"models\\sub/box.x", "models\\sub/", "box.x", "box"},
      {"box.x", "box.x", "box.x", "box"},
      // A separator at position 0 means the whole text.
      {"\\box.x", "\\box.x", "\\box.x", "\\box"},
      {"/box.x", "/box.x", "/box.x", "/box"},
      // No full stop, or a leading one: the whole file name.
      {"dir/readme", "dir/", "readme", "readme"},
      {"dir/.hidden.x", "dir/", ".hidden.x", ".hidden.x"},
      {"dir/", "dir/", "", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(GetFullPathFromPath(c.path), c.dir);
    EXPECT_EQ(GetFileNameFromPath(c.path), c.file);
    EXPECT_EQ(GetFileNameFromFilename(c.path), c.baseName);
  }
}
