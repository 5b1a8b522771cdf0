// The three editing panes of the main frame.
#pragma once

#include "views/ViewWindow.h"

class CRenderVieuw : public ViewWindow {
 public:
  // Pane `index` (0, 1 or 2) of the frame, showing view type `index`: the
  // XY, XZ and YZ panes. Any other index makes a pane that is registered
  // nowhere (its id stays -1).
  CRenderVieuw(IPaneFrame* frame, int index);
  ~CRenderVieuw() override;

  // Stores the id and registers the pane with the frame under it.
  void SetViewID(int id) override;
  // Types 0, 1 and 2 also set the axis labels and the pane's title; the
  // isometric types keep those of the type before. Other values are refused.
  void SetViewType(int type) override;

  // The full redraw: grid, lights, cameras and every loaded mesh.
  void Update(IViewCanvas* dc);
  void OnDraw(IViewCanvas* dc) { Update(dc); }
  // Stores the new size as the engine's view rectangle of the pane, then
  // redraws.
  void OnSize(int width, int height) override;
  void OnActivateView(bool activate);

  // The title of an orthographic type ("XY View", …); empty for others.
  static CString PaneTitle(int type);
};
