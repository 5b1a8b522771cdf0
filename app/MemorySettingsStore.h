// A settings store held in memory: for runs that must not touch the user's
// settings (fuzzing, tests). Names are compared as given.
#pragma once

#include <map>

#include "app/SettingsStore.h"

class MemorySettingsStore : public ISettingsStore {
 public:
  int GetProfileInt(const CString& s, const CString& e, int d) override {
    auto it = ints.find(s + "/" + e);
    return it == ints.end() ? d : it->second;
  }
  bool WriteProfileInt(const CString& s, const CString& e, int v) override {
    ints[s + "/" + e] = v;
    return true;
  }
  CString GetProfileString(const CString& s, const CString& e, const CString& d) override {
    auto it = strings.find(s + "/" + e);
    return it == strings.end() ? d : it->second;
  }
  bool WriteProfileString(const CString& s, const CString& e, const CString& v) override {
    strings[s + "/" + e] = v;
    return true;
  }
  bool GetProfileBinary(const CString&, const CString&, std::vector<BYTE>&) override { return false; }
  bool WriteProfileBinary(const CString&, const CString&, const std::vector<BYTE>&) override { return false; }
  bool DeleteValue(const CString&, const CString&) override { return false; }
  bool Flush() override { return true; }

  std::map<CString, int> ints;
  std::map<CString, CString> strings;
};
