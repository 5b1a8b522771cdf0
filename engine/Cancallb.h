// Member-function callbacks through which undo actions call back into items.
#pragma once

#include "platform/WinTypes.h"

// Empty base of every engine item: a member function of any item class that
// takes one void* and returns LONG can be held as a pointer to member of
// CanCallback.
class CanCallback {};

class Callback {
 public:
  using Function = LONG (CanCallback::*)(void*);

  Callback() = default;
  Callback(CanCallback* target, Function function) : m_Target(target), m_Function(function) {}

  // Binds a member of a class derived from CanCallback. A virtual member is
  // reached through the object's own table, so overrides are called.
  template <class T>
  static Callback Make(T* target, LONG (T::*function)(void*)) {
    return Callback(static_cast<CanCallback*>(target), static_cast<Function>(function));
  }

  // E_NOTIMPL, calling nothing, when the target or the function is missing.
  LONG Call(void* argument) const {
    if (!m_Target || !m_Function) return E_NOTIMPL;
    return (m_Target->*m_Function)(argument);
  }

  CanCallback* Target() const { return m_Target; }
  Function GetFunction() const { return m_Function; }

 private:
  CanCallback* m_Target = nullptr;
  Function m_Function = nullptr;
};
