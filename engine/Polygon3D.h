// A closed planar polygon: an ordered list of 3-D points, each with a
// material index, and the plane geometry that skinning, extruding and the
// 3-D text need. Every planar test works in the XY plane of the points; z is
// carried along and only decides whether two points are the same.
#pragma once

#include <cstdint>

#include "platform/D3DTypes.h"

class CMeshObject;
class CRenderEngine;

// Turn directions in the XY plane, x to the right and y up.
constexpr int POLYGON_CLOCKWISE = 1;
constexpr int POLYGON_COUNTERCLOCKWISE = 2;

class Polygon3D {
 public:
  // Empty, clockwise. The engine (may be null) only shows progress while
  // sorting.
  explicit Polygon3D(CRenderEngine* engine = nullptr);
  Polygon3D(const Polygon3D&) = delete;
  virtual ~Polygon3D();

  // Grows to the other's size when smaller, copies points and materials and
  // finds the centre; the orientation stays as it is.
  Polygon3D& operator=(const Polygon3D& other);

  // Frees both arrays. The count becomes 0 with them: a count never names
  // points that are not there.
  void FreeVertexList();
  // `count` points (contents undefined) with material -1 each; empty when
  // the count is not positive or memory runs out.
  void CreateVertexList(long count);
  void SetVertex(const D3DVECTOR& point, long index);
  void SetMaterial(int material, long index);

  long GetVertexCount() const { return m_VertexCount; }
  const D3DVECTOR& GetVertex(long i) const { return m_Vertices[i]; }
  int GetMaterial(long i) const { return m_Materials[i]; }
  int GetOrientation() const { return m_Orientation; }
  void SetOrientation(int orientation) { m_Orientation = orientation; }
  const D3DVECTOR& GetCenter() const { return m_Center; }

  // POLYGON_COUNTERCLOCKWISE for a counter-clockwise (or empty) polygon,
  // POLYGON_CLOCKWISE otherwise. Not stored.
  int FindOrientation() const;
  // The mean of the points, kept as the centre; 0.
  int FindCenter();
  // Turn of i → j → k: 2 counter-clockwise, also for collinear points that
  // are pairwise different; 1 clockwise or with a repeated point.
  int FindDeterminant(long i, long j, long k) const;
  // 1 when none of the first `count` indices of `list` (other than a, b, c
  // and points on their places) lies inside or on triangle a-b-c, else 0.
  int NoneInside(long a, long b, long c, long count, const long* list) const;
  // Removes consecutive equal points with their materials (not last/first).
  void Correct();
  // Orders the points counter-clockwise around the centre of their box,
  // starting with the first point ("Sorting ..." while it runs).
  void Sort();
  // Ear clipping into `mesh`: the points are added as world coordinates and
  // the faces wind as (previous, ear, next) with a non-zero flag, reversed
  // with 0. -1 with fewer than three points or when memory runs out (the mesh
  // is untouched then), else 0.
  int Triangulate(CMeshObject* mesh, int winding);
  // The same without the turn test; faces (previous, ear, next).
  int TriangulateRaw(CMeshObject* mesh);
  // 1 when this polygon's first point lies inside `other` (even-odd rule).
  int isInside(const Polygon3D& other) const;
  // Bridges `hole` into this outer polygon at their closest pair of points:
  // n + m + 2 points, every material -1. -1 (polygon unchanged) when either
  // is empty or memory runs out, else 0.
  int Combine(const Polygon3D& hole);
  // Moves every point along its corner bisector; outwards for a positive
  // distance on a counter-clockwise polygon. A corner without a bisector
  // (coincident neighbours, a full fold-back) stays where it is.
  void Shrink(float distance);
  void SetDepth(float z);
  void Translate(const D3DVECTOR& offset);

 private:
  int Clip(CMeshObject* mesh, bool turnTest, int winding);
  bool Same(long i, long j) const;

  long m_VertexCount = 0;
  D3DVECTOR* m_Vertices = nullptr;
  int32_t* m_Materials = nullptr;
  int m_Orientation = POLYGON_CLOCKWISE;
  D3DVECTOR m_Center{0, 0, 0};
  CRenderEngine* m_Engine = nullptr;
};

// The point at t of the quadratic curve with control points p0, p1, p2
// (x and y; z is p0's).
D3DVECTOR ApproximateQuadraticSpline(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2, float t);
