// Snapshots of item placement, taken by undo actions so that undo and redo
// put items back exactly, bit for bit, instead of applying inverse moves or
// factors (which rounding would spoil).
#pragma once

#include <vector>

#include "platform/D3DTypes.h"

class CFrameObject;

struct ItemState {
  CFrameObject* item = nullptr;  // not counted: undo managers drop entries of items that go away
  D3DVECTOR position;
  D3DVECTOR scale;
  D3DMATRIX axes;
  bool hasAxes = false;
  // Meshes only, when geometry was captured: x, y, z, nx, ny, nz per vertex.
  std::vector<float> geometry;
};

using ItemStates = std::vector<ItemState>;
