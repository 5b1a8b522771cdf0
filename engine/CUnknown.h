// Reference-counted base of every engine item.
#pragma once

#include "engine/Cancallb.h"
#include "platform/CString.h"
#include "platform/Guid.h"

// The default name of an item: its GUID in decimal, "%lu_%lu_%lu_" followed by
// the eight Data4 bytes without separators.
CString GuidDecimalName(const GUID& guid);

// The GUID in lower-case hexadecimal, "_%lx_%lx_%lx_" followed by the eight
// Data4 bytes without padding; used to make clashing names unique.
CString GuidHexName(const GUID& guid);

class CUnknown : public CanCallback {
 public:
  virtual ~CUnknown() = default;

  // Reference counts start at 0. Release() deletes the object when the count
  // falls to exactly 0; releasing at 0 leaves it at -1 and alive.
  virtual void AddRef() { ++m_RefCount; }
  virtual void Release() {
    if (--m_RefCount == 0) delete this;
  }
  LONG RefCount() const { return m_RefCount; }

  // A blank name (empty after trimming) leaves the name unchanged; any other
  // name is stored exactly as given, blanks included.
  virtual void SetName(const CString& name);
  virtual CString& GetName() { return m_Name; }
  const CString& GetName() const { return m_Name; }

  virtual void SetGUID(GUID& guid) { m_Guid = guid; }
  virtual GUID& GetGUID() { return m_Guid; }
  const GUID& GetGUID() const { return m_Guid; }

 protected:
  CUnknown();
  CUnknown(const CUnknown& other) : CanCallback(), m_Name(other.m_Name), m_Guid(other.m_Guid), m_RefCount(0) {}
  CUnknown& operator=(const CUnknown& other) {
    m_Name = other.m_Name;
    m_Guid = other.m_Guid;
    return *this;
  }
  // Identity: equal when the GUIDs are equal; names are not compared.
  bool operator==(const CUnknown& other) const { return m_Guid == other.m_Guid; }

  CString m_Name;
  GUID m_Guid;
  LONG m_RefCount = 0;
};
