// Smooth vertex normals of a triangle mesh.
#pragma once

#include <vector>

#include "platform/D3DTypes.h"

struct MeshFace;

// One unit normal per vertex: the average of the normals of the faces that
// use the vertex, each weighted by the face's angle at that corner, so that
// the way a flat region is cut into triangles does not tilt the result. A
// face's normal is (B - A) x (C - A) for its corners A, B, C in index order.
// Faces of zero area and faces with an index outside the vertex range add
// nothing; a vertex no face uses (or whose faces cancel out) gets (0, 0, 0).
// Runs in time linear in vertices plus faces.
void ComputeVertexNormals(const D3DVECTOR* positions, long vertexCount, const MeshFace* faces, long faceCount,
                          D3DVECTOR* normals);

std::vector<D3DVECTOR> ComputeVertexNormals(const std::vector<D3DVECTOR>& positions,
                                            const std::vector<MeshFace>& faces);

// atan2(y, x) for y >= 0, within an ulp of std::atan2 and about twice as
// fast; other arguments go to std::atan2.
double PositiveAtan2(double y, double x);
