#include "engine/Matrix.h"

#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace d3dmath {
namespace {

// Working vector in double; rounded to float only by ToVector.
struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Vec3 ToVec3(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

D3DVECTOR ToVector(const Vec3& v) {
  return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

Vec3 Cross3(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Dot3(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Zero-length vectors stay zero. Squares of floats cannot underflow in double,
// so a non-zero vector always has a non-zero length here.
Vec3 Unit3(const Vec3& v) {
  const double len = std::sqrt(Dot3(v, v));
  if (len == 0.0) return {};
  return {v.x / len, v.y / len, v.z / len};
}

// b · a in double, row-major, b on the left.
void Product(const D3DMATRIX& a, const D3DMATRIX& b, double out[4][4]) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(b(i, k)) * a(k, j);
      out[i][j] = sum;
    }
  }
}

D3DMATRIX FromDouble(const double m[4][4]) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r(i, j) = static_cast<float>(m[i][j]);
  return r;
}

// Scales each of the three rotation columns of m, rows 1 to 3 only, to unit
// length. A zero column is left at zero.
void NormaliseRotationColumns(D3DMATRIX& m) {
  for (int c = 0; c < 3; ++c) {
    const Vec3 col = Unit3({m(0, c), m(1, c), m(2, c)});
    m(0, c) = static_cast<float>(col.x);
    m(1, c) = static_cast<float>(col.y);
    m(2, c) = static_cast<float>(col.z);
  }
}

// The pivot that stands in for an exact zero during LU decomposition: the
// single-precision 1e-20 (bits 0x1E3CE508).
constexpr double kTinyPivot = 1.0e-20f;

}  // namespace

// ---------------------------------------------------------------------------


float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return static_cast<float>(Dot3(ToVec3(a), ToVec3(b))); }

float Length(const D3DVECTOR& v) {
  const Vec3 d = ToVec3(v);
  return static_cast<float>(std::sqrt(Dot3(d, d)));
}

D3DVECTOR Unit(const D3DVECTOR& v) { return ToVector(Unit3(ToVec3(v))); }

// ---------------------------------------------------------------------------

D3DMATRIX ZeroMatrix() { return D3DMATRIX{}; }

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m;
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

D3DMATRIX RotateXMatrix(float angle) {
  const double c = std::cos(static_cast<double>(angle));
  const double s = std::sin(static_cast<double>(angle));
  D3DMATRIX m = IdentityMatrix();
  m._22 = static_cast<float>(c);
  m._23 = static_cast<float>(-s);
  m._32 = static_cast<float>(s);
  m._33 = static_cast<float>(c);
  return m;
}

D3DMATRIX RotateYMatrix(float angle) {
  const double c = std::cos(static_cast<double>(angle));
  const double s = std::sin(static_cast<double>(angle));
  D3DMATRIX m = IdentityMatrix();
  m._11 = static_cast<float>(c);
  m._13 = static_cast<float>(s);
  m._31 = static_cast<float>(-s);
  m._33 = static_cast<float>(c);
  return m;
}

D3DMATRIX RotateZMatrix(float angle) {
  const double c = std::cos(static_cast<double>(angle));
  const double s = std::sin(static_cast<double>(angle));
  D3DMATRIX m = IdentityMatrix();
  m._11 = static_cast<float>(c);
  m._12 = static_cast<float>(-s);
  m._21 = static_cast<float>(s);
  m._22 = static_cast<float>(c);
  return m;
}

// R · m is MatrixMult(m, R): MatrixMult puts its second argument on the left.
D3DMATRIX RotateXMatrix(float angle, const D3DMATRIX& m) { return MatrixMult(m, RotateXMatrix(angle)); }
D3DMATRIX RotateYMatrix(float angle, const D3DMATRIX& m) { return MatrixMult(m, RotateYMatrix(angle)); }
D3DMATRIX RotateZMatrix(float angle, const D3DMATRIX& m) { return MatrixMult(m, RotateZMatrix(angle)); }

D3DMATRIX TranslateMatrix(float x, float y, float z) {
  D3DMATRIX m = IdentityMatrix();
  m._41 = x;
  m._42 = y;
  m._43 = z;
  return m;
}

D3DMATRIX TranslateMatrix(const D3DVECTOR& v) { return TranslateMatrix(v.x, v.y, v.z); }

D3DMATRIX& TranslateMatrix(D3DMATRIX& m, const D3DVECTOR& v) {
  m._41 = v.x;
  m._42 = v.y;
  m._43 = v.z;
  return m;
}

D3DMATRIX ScaleMatrix(float s) { return ScaleMatrix(s, s, s); }

D3DMATRIX ScaleMatrix(float x, float y, float z) {
  D3DMATRIX m = IdentityMatrix();
  m._11 = x;
  m._22 = y;
  m._33 = z;
  return m;
}

D3DMATRIX ScaleMatrix(const D3DVECTOR& v) { return ScaleMatrix(v.x, v.y, v.z); }

D3DMATRIX& ScaleMatrix(D3DMATRIX& m, const D3DVECTOR& v) {
  m._11 = v.x;
  m._22 = v.y;
  m._33 = v.z;
  return m;
}

// ---------------------------------------------------------------------------

D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b) {
  double p[4][4];
  Product(a, b, p);  // b · a
  return FromDouble(p);
}

D3DMATRIX& MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX& out) {
  // The whole product is formed before out is touched, so out may alias a or b.
  double p[4][4];
  Product(a, b, p);  // b · a
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out(i, j) = static_cast<float>(out(i, j) + p[i][j]);  // adds, by design
  return out;
}

D3DMATRIX MatrixTranspose(const D3DMATRIX& m) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r(i, j) = m(j, i);
  return r;
}

D3DMATRIX MatrixInverse(const D3DMATRIX& m) {
  // Crout LU decomposition in place on a float copy (entries are rounded on
  // every store), with implicit row scaling and partial pivoting.
  D3DMATRIX lu = m;
  double scale[4];
  int rowOf[4];
  for (int i = 0; i < 4; ++i) {
    double big = 0.0;
    for (int j = 0; j < 4; ++j) big = std::fmax(big, std::fabs(static_cast<double>(lu(i, j))));
    // A zero row has no finite scale; the result is then meaningless, but the
    // decomposition still runs to the end.
    scale[i] = big == 0.0 ? std::numeric_limits<double>::infinity() : 1.0 / big;
  }

  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < j; ++i) {
      double sum = lu(i, j);
      for (int k = 0; k < i; ++k) sum -= static_cast<double>(lu(i, k)) * lu(k, j);
      lu(i, j) = static_cast<float>(sum);
    }
    double big = 0.0;
    int pivotRow = j;
    for (int i = j; i < 4; ++i) {
      double sum = lu(i, j);
      for (int k = 0; k < j; ++k) sum -= static_cast<double>(lu(i, k)) * lu(k, j);
      lu(i, j) = static_cast<float>(sum);
      const double measure = scale[i] * std::fabs(sum);
      if (measure >= big) {  // on a tie the later row wins
        big = measure;
        pivotRow = i;
      }
    }
    if (pivotRow != j) {
      for (int k = 0; k < 4; ++k) std::swap(lu(pivotRow, k), lu(j, k));
      scale[pivotRow] = scale[j];
    }
    rowOf[j] = pivotRow;
    if (lu(j, j) == 0.0f) lu(j, j) = static_cast<float>(kTinyPivot);
    if (j != 3) {
      const double inv = 1.0 / static_cast<double>(lu(j, j));
      for (int i = j + 1; i < 4; ++i) lu(i, j) = static_cast<float>(lu(i, j) * inv);
    }
  }

  // Solve L·U·x = e_i for each unit vector; x is column i of the inverse.
  D3DMATRIX inverse;
  for (int col = 0; col < 4; ++col) {
    float x[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    x[col] = 1.0f;
    int first = -1;  // first row with a non-zero right-hand side
    for (int i = 0; i < 4; ++i) {
      const int p = rowOf[i];
      double sum = x[p];
      x[p] = x[i];
      if (first >= 0) {
        for (int k = first; k < i; ++k) sum -= static_cast<double>(lu(i, k)) * x[k];
      } else if (sum != 0.0) {
        first = i;
      }
      x[i] = static_cast<float>(sum);
    }
    for (int i = 3; i >= 0; --i) {
      double sum = x[i];
      for (int k = i + 1; k < 4; ++k) sum -= static_cast<double>(lu(i, k)) * x[k];
      x[i] = static_cast<float>(sum / lu(i, i));
    }
    for (int j = 0; j < 4; ++j) inverse(j, col) = x[j];
  }
  return inverse;
}

D3DMATRIX PivotMatrix(const D3DMATRIX& a, const D3DMATRIX& b, HRESULT* result) {
  D3DMATRIX lhs = a;
  D3DMATRIX rhs = b;
  NormaliseRotationColumns(lhs);
  NormaliseRotationColumns(rhs);

  // Gauss-Jordan elimination with full pivoting; rhs is carried along as four
  // right-hand columns and ends up as lhs⁻¹ · rhs.
  bool colUsed[4] = {false, false, false, false};
  for (int pass = 0; pass < 4; ++pass) {
    double big = 0.0;
    int row = -1;
    int col = -1;
    for (int j = 0; j < 4; ++j) {
      if (colUsed[j]) continue;  // row j already holds an earlier pivot
      for (int k = 0; k < 4; ++k) {
        if (colUsed[k]) continue;
        const double v = std::fabs(static_cast<double>(lhs(j, k)));
        if (v >= big) {  // on a tie the last element wins
          big = v;
          row = j;
          col = k;
        }
      }
    }
    // A zero (or NaN) pivot means lhs is singular. The partly reduced matrix
    // is no answer to anything: report the failure with a harmless identity.
    if (col < 0 || !(std::fabs(static_cast<double>(lhs(row, col))) > 0.0)) {
      if (result) *result = E_FAIL;
      return IdentityMatrix();
    }
    colUsed[col] = true;
    if (row != col) {
      for (int k = 0; k < 4; ++k) {
        std::swap(lhs(row, k), lhs(col, k));
        std::swap(rhs(row, k), rhs(col, k));
      }
    }

    const double inv = 1.0 / static_cast<double>(lhs(col, col));
    lhs(col, col) = 1.0f;
    for (int k = 0; k < 4; ++k) {
      lhs(col, k) = static_cast<float>(lhs(col, k) * inv);
      rhs(col, k) = static_cast<float>(rhs(col, k) * inv);
    }
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double factor = lhs(r, col);
      lhs(r, col) = 0.0f;
      for (int k = 0; k < 4; ++k) {
        lhs(r, k) = static_cast<float>(lhs(r, k) - lhs(col, k) * factor);
        rhs(r, k) = static_cast<float>(rhs(r, k) - rhs(col, k) * factor);
      }
    }
  }
  // lhs now holds lhs⁻¹ with its columns exchanged; only rhs is wanted, so
  // the exchanges are not undone.
  if (result) *result = S_OK;
  return rhs;
}

// ---------------------------------------------------------------------------

D3DVECTOR TransformVector(const D3DVECTOR& v, const D3DMATRIX& m) {
  double x, y, z;
  PointSums(v, m, x, y, z);
  const double w = static_cast<double>(v.x) * m._14 + static_cast<double>(v.y) * m._24 +
                   static_cast<double>(v.z) * m._34 + m._44;
  if (w == 0.0) return ToVector({x, y, z});
  return ToVector({x / w, y / w, z / w});
}

D3DVECTOR TransformNormal(const D3DVECTOR& v, const D3DMATRIX& m) {
  return TransformVector(v, MatrixTranspose(MatrixInverse(m)));
}

// ---------------------------------------------------------------------------

HRESULT ProjectionMatrix(float nearPlane, float farPlane, float fov, D3DMATRIX& out) {
  out = ZeroMatrix();
  // far == 0 divides by zero, near == far makes the depth term 1/0: there is
  // no projection for such planes.
  if (farPlane == 0.0f || nearPlane == farPlane) return E_FAIL;
  const double c = std::cos(static_cast<double>(fov) * 0.5);
  const double s = std::sin(static_cast<double>(fov) * 0.5);
  const double q = s / (1.0 - static_cast<double>(nearPlane) / farPlane);
  out._11 = static_cast<float>(c);
  out._22 = static_cast<float>(c);
  out._33 = static_cast<float>(q);
  out._34 = static_cast<float>(s);
  out._43 = static_cast<float>(-q * nearPlane);
  return S_OK;
}

D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fov) {
  D3DMATRIX m;
  (void)ProjectionMatrix(nearPlane, farPlane, fov, m);  // zero matrix on failure
  return m;
}

D3DMATRIX ViewMatrix(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& up, float roll) {
  // Unit3 maps zero vectors to zero, so at == from (no d) or up parallel to d
  // (no r, hence no u) leave those axes zero instead of filling them with NaN.
  const Vec3 eye = ToVec3(from);
  const Vec3 d = Unit3({static_cast<double>(at.x) - from.x, static_cast<double>(at.y) - from.y,
                        static_cast<double>(at.z) - from.z});
  const Vec3 r = Unit3(Cross3(ToVec3(up), d));
  const Vec3 u = Unit3(Cross3(d, r));

  D3DMATRIX view = IdentityMatrix();
  view._11 = static_cast<float>(r.x);
  view._21 = static_cast<float>(r.y);
  view._31 = static_cast<float>(r.z);
  view._12 = static_cast<float>(u.x);
  view._22 = static_cast<float>(u.y);
  view._32 = static_cast<float>(u.z);
  view._13 = static_cast<float>(d.x);
  view._23 = static_cast<float>(d.y);
  view._33 = static_cast<float>(d.z);
  view._41 = static_cast<float>(-Dot3(eye, r));
  view._42 = static_cast<float>(-Dot3(eye, u));
  view._43 = static_cast<float>(-Dot3(eye, d));
  if (roll != 0.0f) return MatrixMult(RotateZMatrix(-roll), view);  // view · Rz(−roll)
  return view;
}

IsometricProjections MakeIsometricProjections() {
  // The angles are formed in single precision: 0.5235988 and 1.0471976.
  const float pi = 3.14159265358979323846f;
  const float a = pi * (1.0f / 6.0f);
  const float b = pi * (1.0f / 3.0f);
  IsometricProjections p;
  p.xy = RotateYMatrix(b, RotateXMatrix(a));
  p.xz = RotateZMatrix(b, RotateXMatrix(a));
  p.yz = RotateZMatrix(b, RotateYMatrix(a));
  return p;
}

D3DVECTOR PerspectiveTransformVector(const D3DVECTOR& v, const D3DMATRIX& projection) {
  return TransformVector(v, projection);
}

}  // namespace d3dmath

// ---------------------------------------------------------------------------

void ClearMatrix(D3DMATRIX& m) { m = d3dmath::IdentityMatrix(); }

DWORD FLOATtoDWORD(float f) { return std::bit_cast<DWORD>(f); }

namespace {

// Position of the last separator, or npos when there is none or it is the
// first character (then the text is taken as a whole).
std::string::size_type LastSeparator(const std::string& path) {
  const std::string::size_type pos = path.find_last_of("/\\");
  return pos == 0 ? std::string::npos : pos;
}

}  // namespace

std::string GetFullPathFromPath(const std::string& path) {
  const std::string::size_type pos = LastSeparator(path);
  return pos == std::string::npos ? path : path.substr(0, pos + 1);
}

std::string GetFileNameFromPath(const std::string& path) {
  const std::string::size_type pos = LastSeparator(path);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string GetFileNameFromFilename(const std::string& path) {
  std::string name = GetFileNameFromPath(path);
  const std::string::size_type dot = name.find('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return name;
}
