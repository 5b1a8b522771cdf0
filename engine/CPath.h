// Named point lists.
#pragma once

#include "engine/CFrameObject.h"

class CPath : public CFrameObject {
 public:
  static constexpr int kCapacity = 256;
  static constexpr int kMaxPoints = kCapacity - 1;  // at most 255 points are held

  explicit CPath(CRenderEngine* engine);

  // Appends a point; E_FAIL when the path is full.
  LONG AddPathVector(const D3DVECTOR& point);
  // Appends the point (v, v, v).
  LONG AddPathVector(float v) { return AddPathVector(D3DVECTOR(v, v, v)); }
  // E_FAIL for an index outside 0 … count − 1 (out is then left as it was).
  LONG GetPathVector(int index, D3DVECTOR& out) const;
  // Removes point `index`, moving the later points down; E_FAIL for an index
  // outside 0 … count − 1.
  LONG DelPathVector(int index);
  int GetPathCount() const { return m_Count; }

 private:
  D3DVECTOR m_Points[kCapacity];
  int m_Count = 0;
};
