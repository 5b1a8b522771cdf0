// Small helpers shared by the engine tests.
#pragma once

#include "engine/CUnknown.h"
#include "platform/Guid.h"

// Pins the GUID generator for the lifetime of the guard.
class ScopedGuid {
 public:
  explicit ScopedGuid(GuidGenerator generator) { SetGuidGenerator(std::move(generator)); }
  ~ScopedGuid() { SetGuidGenerator(nullptr); }
};

// A plain item that counts its destructions.
class CountedItem : public CUnknown {
 public:
  explicit CountedItem(int* deaths = nullptr) : m_Deaths(deaths) {}
  ~CountedItem() override {
    if (m_Deaths) ++*m_Deaths;
  }
  LONG Touch(void* argument) {
    m_LastArgument = argument;
    return 42;
  }
  void* m_LastArgument = nullptr;

 private:
  int* m_Deaths;
};
