#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/TextureWrap.h"

namespace {

struct WrapCase {
  const char* what;
  D3DRMWRAPTYPE type;
  D3DVECTOR l;  // the point in the wrap's frame
  float su, sv;
  float u, v;
};

TEST(TextureWrap, KnownPoints) {
  const WrapCase cases[] = {
      // Flat: u along x, v along y, both from the origin.
      {"flat origin", D3DRMWRAP_FLAT, {0, 0, 0}, 0.5f, 0.25f, 0, 0},
      {"flat on the u axis", D3DRMWRAP_FLAT, {2, 0, 0}, 0.5f, 0.25f, 1, 0},
      {"flat on the v axis", D3DRMWRAP_FLAT, {0, 4, 0}, 0.5f, 0.25f, 0, 1},
      {"flat ignores depth", D3DRMWRAP_FLAT, {1, 2, 7}, 0.5f, 0.25f, 0.5f, 0.5f},
      // Cylinder on the up axis, seam on the direction axis.
      {"cylinder origin", D3DRMWRAP_CYLINDER, {0, 0, 0}, 1, 0.5f, 0, 0},
      {"cylinder on the seam", D3DRMWRAP_CYLINDER, {0, 0, 3}, 1, 0.5f, 0, 0},
      {"cylinder quarter turn (+x)", D3DRMWRAP_CYLINDER, {3, 0, 0}, 1, 0.5f, 0.25f, 0},
      {"cylinder half turn", D3DRMWRAP_CYLINDER, {0, 0, -3}, 1, 0.5f, 0.5f, 0},
      {"cylinder three quarters (-x)", D3DRMWRAP_CYLINDER, {-3, 0, 0}, 1, 0.5f, 0.75f, 0},
      {"cylinder height gives v", D3DRMWRAP_CYLINDER, {3, 2, 0}, 2, 0.5f, 0.5f, 1},
      // Sphere: v from the bottom pole to the top.
      {"sphere origin", D3DRMWRAP_SPHERE, {0, 0, 0}, 1, 1, 0, 0},
      {"sphere bottom pole", D3DRMWRAP_SPHERE, {0, -2, 0}, 1, 1, 0, 0},
      {"sphere top pole", D3DRMWRAP_SPHERE, {0, 2, 0}, 1, 1, 0, 1},
      {"sphere equator on the seam", D3DRMWRAP_SPHERE, {0, 0, 2}, 1, 1, 0, 0.5f},
      {"sphere equator at +x", D3DRMWRAP_SPHERE, {2, 0, 0}, 1, 1, 0.25f, 0.5f},
      {"chrome is a sphere", D3DRMWRAP_CHROME, {2, 0, 0}, 2, 2, 0.5f, 1},
      {"no wrap above chrome", static_cast<D3DRMWRAPTYPE>(4), {2, 3, 4}, 1, 1, 0, 0},
  };
  for (const WrapCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TexCoord t = WrapPoint(c.type, c.l, c.su, c.sv);
    EXPECT_NEAR(t.u, c.u, 1e-6f);
    EXPECT_NEAR(t.v, c.v, 1e-6f);
  }
}

TEST(TextureWrap, TheSeamJumpsFromOneEdgeToTheOther) {
  // Just right of the seam u starts at 0; just left of it u ends near su.
  const float su = 2;
  const TexCoord right = WrapPoint(D3DRMWRAP_CYLINDER, D3DVECTOR(1e-3f, 0, 1), su, 1);
  const TexCoord left = WrapPoint(D3DRMWRAP_CYLINDER, D3DVECTOR(-1e-3f, 0, 1), su, 1);
  EXPECT_NEAR(right.u, 0.0f, 1e-3f);
  EXPECT_NEAR(left.u, su, 1e-3f);
  EXPECT_LT(left.u, su);
}

TEST(TextureWrap, ResultsAreAlwaysFinite) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (D3DRMWRAPTYPE type : {D3DRMWRAP_FLAT, D3DRMWRAP_CYLINDER, D3DRMWRAP_SPHERE}) {
    for (const D3DVECTOR& l : {D3DVECTOR(0, 0, 0), D3DVECTOR(nan, 1, 1), D3DVECTOR(inf, inf, 0)}) {
      const TexCoord t = WrapPoint(type, l, inf, inf);
      EXPECT_TRUE(std::isfinite(t.u)) << type;
      EXPECT_TRUE(std::isfinite(t.v)) << type;
    }
  }
  EXPECT_EQ(WrapExtent(0.0f), 1.0f);
  EXPECT_EQ(WrapExtent(nan), 1.0f);
  EXPECT_EQ(WrapExtent(-2.0f), -2.0f);
}

}  // namespace
