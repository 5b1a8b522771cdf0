// Texture-coordinate wraps: how a texture turns a point into (u, v).
//
// A wrap works in the texture's own frame. Its origin is the texture position
// P; its z axis is the direction (third column of the texture's axes), its y
// axis the up vector (second column) and its x axis the texture's first axis
// column. (Taking the texture's own first axis, instead of deriving one from
// up and direction, keeps the wrap in the same frame as the volume test that
// decides which vertices the texture covers, whichever handedness the axes
// have.) A world point w enters as l = (w - P) expressed in that frame, and
// the wrap has two scale factors su and sv (texture-origin offsets are 0).
//
//   flat:      u = su * l.x
//              v = sv * l.y
//   cylinder:  the cylinder stands on the up axis; the seam (u = 0) lies on
//              the direction axis and u grows a quarter turn towards +x:
//              theta = atan2(l.x, l.z), taken in [0, 2*pi)
//              u = su * theta / (2*pi)
//              v = sv * l.y
//   sphere:    u as for the cylinder;
//   (chrome)   phi = the angle between l and the downward axis -y, in [0, pi]
//              v = sv * phi / pi          (0 at the bottom pole, sv at the top)
//              a point at the origin itself has no direction: u = v = 0.
//
// So v grows with l.y in all three. Whatever the input, the results are
// finite: anything that is not (an infinite factor, a NaN point) gives 0.
#pragma once

#include "platform/D3DTextureTypes.h"
#include "platform/D3DTypes.h"

struct TexCoord {
  float u = 0.0f;
  float v = 0.0f;
};

// The coordinates of a point l given in the wrap's frame. Wrap types above 3
// have no wrap and give (0, 0); chrome is wrapped as a sphere.
TexCoord WrapPoint(D3DRMWRAPTYPE type, const D3DVECTOR& l, float su, float sv);

// A divisor for a scale factor: an extent of 0 (or one that is not a finite
// number) counts as 1, so a flat texture or a zero scale never divides by 0.
float WrapExtent(float extent);
