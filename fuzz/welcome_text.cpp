// The start-up texts: the readme wrapping and the tips reader, on any bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>

#include "app/SettingsStore.h"
#include "app/WelcomeText.h"

namespace {
class MemoryStore : public ISettingsStore {
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CString wrapped = WrapReadmeText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size > 0 && wrapped.size() < 2) __builtin_trap();

  // The first four bytes are the stored position, the rest the tips file.
  if (size < 4) return 0;
  int32_t position;
  std::memcpy(&position, data, 4);
  static const CString path = "fuzz_tips_" + std::to_string(getpid()) + ".txt";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data + 4, 1, size - 4, file);
  std::fclose(file);

  MemoryStore store;
  CTipOfTheDay probe(store, path);  // stores the time stamp
  store.ints["Tip/FilePos"] = position;
  CTipOfTheDay tips(store, path);
  for (int i = 0; i < 4; ++i) {
    CString tip = tips.NextTip();
    if (tip.size() > CTipOfTheDay::kMaxLine) __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
