#include "platform/Host.h"

namespace {
IHost* g_Host = nullptr;

int DefaultAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}
}  // namespace

IHost* GetHost() { return g_Host; }

IHost* SetHost(IHost* host) {
  IHost* previous = g_Host;
  g_Host = host;
  return previous;
}

int HostMessageBox(const CString& text, const CString& caption, UINT type) {
  return g_Host ? g_Host->MessageBox(text, caption, type) : DefaultAnswer(type);
}

int HostGetProfileInt(const CString& section, const CString& entry, int defaultValue) {
  return g_Host ? g_Host->GetProfileInt(section, entry, defaultValue) : defaultValue;
}

CString HostGetProfileString(const CString& section, const CString& entry, const CString& defaultValue) {
  return g_Host ? g_Host->GetProfileString(section, entry, defaultValue) : defaultValue;
}

void HostRequestRefresh(DWORD flags) {
  if (g_Host) g_Host->RequestRefresh(flags);
}
