// The 3Dfx text mesh format (.sps).
//
// White-space separated numbers: a leading word (ignored), the vertex count
// and the face count; then eight numbers per vertex (x, y, z, tu, tv and three
// that are not used) and three vertex indices per face.
#pragma once

#include "platform/CString.h"
#include "platform/WinTypes.h"

class CMeshObject;

// Adds the file's vertices and faces to `mesh`. Returns 0, or E_FAIL after
// telling the user: "Can't open file as 3Dfx file." when the file cannot be
// read, "Error reading file!" at the first field that is missing, is not a
// finite number, or names a vertex the mesh does not have. What was added
// before a failure stays. The counts in the file only bound the reading.
LONG LoadSPS_Object(const CString& path, CMeshObject* mesh);
