// Cameras of the render windows: a position and orientation with the view
// and projection matrices made from them. A camera either turns by its two
// scroll angles or keeps looking at a tracked mesh.
#pragma once

#include <iosfwd>

#include "engine/CFrameObject.h"

class CMeshObject;

class Camera : public CFrameObject {
 public:
  explicit Camera(CRenderEngine* engine);
  ~Camera() override;
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  // Moves the camera (children follow), re-aims it and recomputes the view.
  // The frame-object form is the one undo and redo call.
  LONG SetPosition(const D3DVECTOR& position, int flag) override;
  LONG SetPosition(const D3DVECTOR& position) { return SetPosition(position, 1); }
  LONG SetPosition(float x, float y, float z) { return SetPosition(D3DVECTOR(x, y, z), 1); }

  // Pitch and yaw in degrees, used while no mesh is tracked.
  LONG SetScrollPosUp(float degrees);
  float GetScrollPosUp() const { return m_ScrollUp; }
  LONG SetScrollPosDir(float degrees);
  float GetScrollPosDir() const { return m_ScrollDir; }

  // Full field of view in degrees and the clipping planes. Values that leave
  // no projection (front == back, back == 0, not finite) are refused with
  // E_FAIL and change nothing.
  LONG SetFrustrum(float degrees);
  float GetFrustrum() const { return m_Frustum; }
  LONG SetFrontPlane(float front);
  float GetFrontPlane() const { return m_FrontPlane; }
  LONG SetBackPlane(float back);
  float GetBackPlane() const { return m_BackPlane; }

  // The camera holds one reference on the mesh it tracks, so the mesh cannot
  // go away under it; the mesh holds nothing of the camera. Null stops
  // tracking. The engine drops the tracking of a mesh it releases.
  LONG SetTrackObject(CMeshObject* mesh);
  CMeshObject* GetTrackObject() const { return m_TrackObject; }

  // Factor 2 moves half way towards the tracked mesh (or towards the origin
  // along z); any other factor moves away by the same rule; 0 counts as 1.
  LONG Zoom(float factor);
  // Sets the orientation from the tracked mesh or the scroll angles.
  LONG Scroll();
  LONG SetAsCurrent() { return Scroll(); }

  // A tracking camera re-aims first, so the view follows a mesh that moved.
  LONG Calculate_ViewMatrix();
  LONG Calculate_ProjectionMatrix();
  const D3DMATRIX& GetViewMatrix() const { return m_ViewMatrix; }
  const D3DMATRIX& GetProjectionMatrix() const { return m_ProjectionMatrix; }

  // The four-line text record of the workspace file: position, direction and
  // up vector ("%f %f %f", C locale) and the name, each line ended by CRLF.
  LONG SaveCamera(std::ostream& out);
  // Reads one record (LF or CRLF lines) without recording undo actions. A
  // line that is missing, short or holds a number that is not finite (or
  // beyond ±1e15) leaves that value as it was; so does an orientation without two independent
  // vectors. Always consumes up to four lines; E_FAIL when anything was
  // left as it was.
  LONG LoadCamera(std::istream& in);

 private:
  bool HasViewport() const;

  float m_ScrollUp = 0.0f;
  float m_ScrollDir = 0.0f;
  float m_Frustum = 90.0f;
  D3DMATRIX m_ProjectionMatrix;
  D3DMATRIX m_ViewMatrix;
  float m_FrontPlane = 0.1f;
  float m_BackPlane = 1024.0f;
  CMeshObject* m_TrackObject = nullptr;
};
