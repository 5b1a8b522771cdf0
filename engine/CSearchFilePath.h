// One entry of the engine's texture search paths.
#pragma once

#include "engine/CUnknown.h"

class CSearchFilePath : public CUnknown {
 public:
  CSearchFilePath() = default;
  explicit CSearchFilePath(const CString& path) : m_Path(path) {}
  // A copy gets a fresh identity and the other entry's path.
  CSearchFilePath(const CSearchFilePath& other) : CUnknown(), m_Path(other.m_Path) {}
  CSearchFilePath& operator=(const CSearchFilePath& other) {
    m_Path = other.m_Path;
    return *this;
  }
  int operator==(const CSearchFilePath& other) const {
    return (CUnknown::operator==(other) && m_Path == other.m_Path) ? 1 : 0;
  }

  const CString& GetPath() const { return m_Path; }
  void SetPath(const CString& path) { m_Path = path; }

 private:
  CString m_Path;
};
