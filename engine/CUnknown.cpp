#include "engine/CUnknown.h"

CString GuidDecimalName(const GUID& g) {
  return StrFormat("%lu_%lu_%lu_%d%d%d%d%d%d%d%d", static_cast<unsigned long>(g.Data1),
                   static_cast<unsigned long>(g.Data2), static_cast<unsigned long>(g.Data3), g.Data4[0], g.Data4[1],
                   g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

CString GuidHexName(const GUID& g) {
  return StrFormat("_%lx_%lx_%lx_%x%x%x%x%x%x%x%x", static_cast<unsigned long>(g.Data1),
                   static_cast<unsigned long>(g.Data2), static_cast<unsigned long>(g.Data3), g.Data4[0], g.Data4[1],
                   g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

CUnknown::CUnknown() : m_Guid(NewGuid()) { m_Name = GuidDecimalName(m_Guid); }

void CUnknown::SetName(const CString& name) {
  if (StrTrim(name).empty()) return;
  m_Name = name;
}
