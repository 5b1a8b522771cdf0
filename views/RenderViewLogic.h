// What the render view does with its timer, resizes and the mouse, apart
// from the widget that shows it (so that it runs in tests without a window
// or a context).
#pragma once

#include <functional>

#include "engine/RenderEngine.h"

class CRenderViewLogic : public IRenderView {
 public:
  // What the view asks of the window it lives in and of the main frame.
  struct Hooks {
    std::function<CRenderEngine*()> engine;          // null while the application has none
    std::function<bool(int milliseconds)> startTimer;  // false when no timer could be made
    std::function<void()> stopTimer;
    std::function<void()> repaint;                   // draws a frame soon (Update)
    std::function<bool()> visible;
    std::function<void()> activate;                  // the view becomes the frame's active view
    std::function<void()> needUpdateAxes;
    std::function<void()> needUpdate;
  };

  CRenderViewLogic(CWnd* window, Hooks hooks) : m_Window(window), m_Hooks(std::move(hooks)) {}

  // 1 when the timer runs (or there is no windowed operation to time); 0
  // with "Can not create timer." when none could be made.
  int StartTimer(DWORD milliseconds);
  int StopTimer() override;
  bool TimerRunning() const { return m_Timer != 0; }
  // Draws a frame now (OnDraw and Update).
  void Draw();
  void Update();
  void SetTrackObject(CMeshObject* mesh) { m_TrackObject = mesh; }
  CMeshObject* GetTrackObject() const { return m_TrackObject; }
  void SetAction(int action) { m_Action = action; }
  int GetAction() const { return m_Action; }

  // The window's new client size: rebuilds its output when the size really
  // changed, or when an earlier rebuild left the window without a device.
  void OnSize(int width, int height);
  void OnTimer();
  void OnLButtonDown(int x, int y, bool shift);
  void OnRButtonDown(int x, int y, bool shift);
  void OnMouseMove(int x, int y);
  void OnLButtonUp();
  void OnRButtonUp();
  void OnDestroy();

 private:
  CRenderEngine* Engine() const { return m_Hooks.engine ? m_Hooks.engine() : nullptr; }
  void ButtonDown(int x, int y, bool shift, float zoom, bool left);

  CWnd* m_Window;
  Hooks m_Hooks;
  int m_Timer = 0;
  bool m_LeftDrag = false;
  bool m_RightDrag = false;
  int m_LastX = 0;
  int m_LastY = 0;
  int m_Action = 0;
  CMeshObject* m_TrackObject = nullptr;
};
