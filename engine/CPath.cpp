#include "engine/CPath.h"

CPath::CPath(CRenderEngine* engine) : CFrameObject(engine) { m_Name = "Path"; }

LONG CPath::AddPathVector(const D3DVECTOR& point) {
  if (m_Count >= kMaxPoints) return E_FAIL;
  m_Points[m_Count++] = point;
  return 0;
}

LONG CPath::GetPathVector(int index, D3DVECTOR& out) const {
  if (index < 0 || index >= m_Count) return E_FAIL;
  out = m_Points[index];
  return 0;
}

LONG CPath::DelPathVector(int index) {
  if (index < 0 || index >= m_Count) return E_FAIL;
  for (int i = index; i + 1 < m_Count; ++i) m_Points[i] = m_Points[i + 1];
  --m_Count;
  return 0;
}
