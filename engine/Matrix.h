// Matrix and vector arithmetic of the engine, and the file-name helpers that
// live beside it.
//
// Conventions, relied on everywhere in the engine:
//   - points are row vectors multiplied from the left: (x, y, z, 1) · M;
//   - the translation of a matrix is its fourth row (_41, _42, _43);
//   - angles are in radians.
// All arithmetic runs in double and is rounded to float only when a value is
// stored into a D3DVECTOR or D3DMATRIX. Nothing here allocates, except the
// string helpers, which build their results.
#pragma once

#include <cmath>

#include <string>

#include "platform/D3DTypes.h"
#include "platform/WinTypes.h"

namespace d3dmath {

// ---------------------------------------------------------------------------
// Vector helpers.

// a × b, with the products in double; inline, as face visibility calls it
// for every face.
[[nodiscard]] inline D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
  const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
  return D3DVECTOR(static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
                   static_cast<float>(ax * by - ay * bx));
}
[[nodiscard]] float Dot(const D3DVECTOR& a, const D3DVECTOR& b);
[[nodiscard]] float Length(const D3DVECTOR& v);
// v divided by its length; a zero-length vector gives (0, 0, 0), never NaN.
[[nodiscard]] D3DVECTOR Unit(const D3DVECTOR& v);

// ---------------------------------------------------------------------------
// Generated matrices.

[[nodiscard]] D3DMATRIX ZeroMatrix();
[[nodiscard]] D3DMATRIX IdentityMatrix();

// Single-axis rotations. RotateZMatrix(π/2) maps the point (1, 0, 0) to
// (0, −1, 0): the point is a row vector.
[[nodiscard]] D3DMATRIX RotateXMatrix(float angle);
[[nodiscard]] D3DMATRIX RotateYMatrix(float angle);
[[nodiscard]] D3DMATRIX RotateZMatrix(float angle);
// R · m, with R the single-axis rotation: a point is rotated first, then
// carried by m. m itself is NOT changed; use the return value.
[[nodiscard]] D3DMATRIX RotateXMatrix(float angle, const D3DMATRIX& m);
[[nodiscard]] D3DMATRIX RotateYMatrix(float angle, const D3DMATRIX& m);
[[nodiscard]] D3DMATRIX RotateZMatrix(float angle, const D3DMATRIX& m);

[[nodiscard]] D3DMATRIX TranslateMatrix(float x, float y, float z);
[[nodiscard]] D3DMATRIX TranslateMatrix(const D3DVECTOR& v);
// In place: overwrites _41, _42, _43 of m with v, leaves the rest, returns m.
D3DMATRIX& TranslateMatrix(D3DMATRIX& m, const D3DVECTOR& v);

[[nodiscard]] D3DMATRIX ScaleMatrix(float s);
[[nodiscard]] D3DMATRIX ScaleMatrix(float x, float y, float z);
[[nodiscard]] D3DMATRIX ScaleMatrix(const D3DVECTOR& v);
// In place: overwrites _11, _22, _33 of m with v, leaves the rest, returns m.
D3DMATRIX& ScaleMatrix(D3DMATRIX& m, const D3DVECTOR& v);

// ---------------------------------------------------------------------------
// Products and inverses.

// CAUTION, order: returns b · a, NOT a · b. A point transformed by the result
// goes through b first and a second, so MatrixMult(T, S) scales, then
// translates.
[[nodiscard]] D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b);
// CAUTION, accumulates: ADDS b · a to whatever out already holds and returns
// out. Clear out first (ZeroMatrix) for the plain product. out may be a or b.
D3DMATRIX& MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX& out);

[[nodiscard]] D3DMATRIX MatrixTranspose(const D3DMATRIX& m);

// m⁻¹ by LU decomposition with implicit scaling and partial pivoting. A zero
// pivot is replaced by 1e-20, so a singular matrix gives huge or non-finite
// entries rather than an error: callers must not rely on that result.
[[nodiscard]] D3DMATRIX MatrixInverse(const D3DMATRIX& m);

// a′⁻¹ · b′ by Gauss-Jordan elimination with full pivoting, where a′ and b′ are
// a and b with each of their three rotation columns (rows 1 to 3 only) scaled
// to unit length; a zero-length column stays zero. A point transformed by the
// result goes through a′⁻¹ first and b′ second, so PivotMatrix(axes,
// IdentityMatrix()) carries points into the frame of axes. When a′ is
// singular the result is the identity and *result (if given) is E_FAIL;
// otherwise *result is S_OK.
[[nodiscard]] D3DMATRIX PivotMatrix(const D3DMATRIX& a, const D3DMATRIX& b, HRESULT* result = nullptr);

// ---------------------------------------------------------------------------
// Transforming vectors.

// (x, y, z, w) = (v, 1) · m; divided by w unless w is 0, in which case the
// sums are returned as they are.
[[nodiscard]] D3DVECTOR TransformVector(const D3DVECTOR& v, const D3DMATRIX& m);
// TransformVector with the inverse transpose of m (including its w divide).
[[nodiscard]] D3DVECTOR TransformNormal(const D3DVECTOR& v, const D3DMATRIX& m);

// The x, y and z sums of (v, 1) · m, in double; TransformVector divides
// them by w.
inline void PointSums(const D3DVECTOR& v, const D3DMATRIX& m, double& x, double& y, double& z) {
  x = static_cast<double>(v.x) * m._11 + static_cast<double>(v.y) * m._21 + static_cast<double>(v.z) * m._31 + m._41;
  y = static_cast<double>(v.x) * m._12 + static_cast<double>(v.y) * m._22 + static_cast<double>(v.z) * m._32 + m._42;
  z = static_cast<double>(v.x) * m._13 + static_cast<double>(v.y) * m._23 + static_cast<double>(v.z) * m._33 + m._43;
}

// TransformVector of many points with one matrix, giving the same values.
// When the matrix leaves w at 1 (last column 0, 0, 0, 1), finite points skip
// the divide, which is then exact anyway.
class PointTransform {
 public:
  explicit PointTransform(const D3DMATRIX& m)
      : m_M(m), m_Affine(m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f) {}
  D3DVECTOR operator()(const D3DVECTOR& v) const {
    if (!m_Affine || !std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
      return TransformVector(v, m_M);
    double x, y, z;
    PointSums(v, m_M, x, y, z);
    return D3DVECTOR(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
  }

 private:
  D3DMATRIX m_M;
  bool m_Affine;
};

// ---------------------------------------------------------------------------
// Camera and view projections.

// Perspective projection: _11 = _22 = cos(fov/2), _34 = sin(fov/2),
// _33 = sin(fov/2) / (1 − near/far), _43 = −near · _33, all else 0 (_44 too).
// near == far or far == 0 has no such matrix: the zero matrix is returned
// instead of infinities.
[[nodiscard]] D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fov);
// As above, writing into out; E_FAIL (and the zero matrix) for near == far or
// far == 0, S_OK otherwise.
HRESULT ProjectionMatrix(float nearPlane, float farPlane, float fov, D3DMATRIX& out);

// Look-at matrix: d = unit(at − from), r = unit(up × d), u = unit(d × r) are
// the first three columns, the fourth row is −(from·r), −(from·u), −(from·d).
// A non-zero roll gives view · Rz(−roll). Degenerate input (at == from, or up
// parallel to the view direction) gives zero axes where no direction exists,
// never NaN.
[[nodiscard]] D3DMATRIX ViewMatrix(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& up, float roll);

// The three isometric projections of the editing views, built from the angles
// a = π/6 and b = π/3 taken in single precision:
//   xy = Ry(b) · Rx(a),  xz = Rz(b) · Rx(a),  yz = Rz(b) · Ry(a).
struct IsometricProjections {
  D3DMATRIX xy;
  D3DMATRIX xz;
  D3DMATRIX yz;
};
[[nodiscard]] IsometricProjections MakeIsometricProjections();

// TransformVector of v with one of the isometric projection matrices.
[[nodiscard]] D3DVECTOR PerspectiveTransformVector(const D3DVECTOR& v, const D3DMATRIX& projection);

}  // namespace d3dmath

// ---------------------------------------------------------------------------
// Free helpers.

// Sets m to the identity (despite the name).
void ClearMatrix(D3DMATRIX& m);

// The bit pattern of f, for render states that take floats as words.
DWORD FLOATtoDWORD(float f);

// File-name helpers. Both '/' and '\' separate path components; the last of
// either counts. A separator at position 0 (or none at all) means the text is
// taken as a whole, so "\box.x" has no directory part.
//
// Text up to and including the last separator.
std::string GetFullPathFromPath(const std::string& path);
// Text after the last separator.
std::string GetFileNameFromPath(const std::string& path);
// GetFileNameFromPath cut before its first full stop; the whole name when it
// has none or starts with one. "C:\models\box.old.x" gives "box".
std::string GetFileNameFromFilename(const std::string& path);
