#include "platform/EglContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

EglContext::EglContext() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    m_Problem = "EGL has no platform displays";
    return;
  }
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    m_Problem = "no surfaceless EGL display";
    return;
  }
  m_Display = display;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    m_Problem = "EGL offers no desktop OpenGL";
    return;
  }
  const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
  if (context == EGL_NO_CONTEXT) {
    m_Problem = "no OpenGL context";
    return;
  }
  m_Context = context;
  if (!MakeCurrent()) {
    eglDestroyContext(display, context);
    m_Context = nullptr;
    m_Problem = "the OpenGL context cannot be made current";
  }
}

EglContext::~EglContext() {
  if (m_Display) {
    eglMakeCurrent(m_Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (m_Context) eglDestroyContext(m_Display, m_Context);
    eglReleaseThread();
    // The display stays initialised: terminating it unloads the driver,
    // whose few process-long allocations would then count as leaks, and the
    // next context on this display would load it all again.
  }
}

bool EglContext::MakeCurrent() {
  if (!m_Context) return false;
  if (eglGetCurrentContext() == m_Context) return true;
  return eglMakeCurrent(m_Display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_Context) == EGL_TRUE;
}

CString EglContext::Renderer() {
  if (!MakeCurrent()) return CString();
  const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return name ? CString(name) : CString();
}
