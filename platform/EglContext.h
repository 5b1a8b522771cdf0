// An OpenGL context without a window or display server (EGL on Mesa's
// surfaceless platform): frames are drawn into the display layer's own
// framebuffers only. Tests and benchmarks draw through it.
#pragma once

#include "platform/GLDisplay.h"

class EglContext : public IGLContextHost {
 public:
  EglContext();
  ~EglContext() override;
  EglContext(const EglContext&) = delete;
  EglContext& operator=(const EglContext&) = delete;

  // False when no context could be made; Problem() says why.
  bool IsValid() const { return m_Context != nullptr; }
  const CString& Problem() const { return m_Problem; }
  // The renderer's name (GL_RENDERER), e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  CString Renderer();

  bool MakeCurrent() override;
  unsigned ContextGeneration() const override { return m_Generation; }
  bool GetTarget(unsigned* framebuffer, int* width, int* height) override { return false; }
  // Pretends the context was replaced: every GL object counts as lost.
  void SimulateContextLoss() { ++m_Generation; }

 private:
  void* m_Display = nullptr;
  void* m_Context = nullptr;
  unsigned m_Generation = 1;
  CString m_Problem;
};
