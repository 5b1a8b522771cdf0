#include "engine/CAnimation.h"

#include "engine/CMeshObject.h"

namespace {
// The mesh's animation hook, when the mesh class has one.
template <class Mesh>
void NotifyMesh(Mesh* mesh, CAnimation* animation) {
  if constexpr (requires { mesh->AnimationCallBack(animation); }) mesh->AnimationCallBack(animation);
}
}  // namespace

void CAnimation::Anim_AnimationCallBack(void* /*frame*/, void* argument, float /*delta*/) {
  auto* animation = static_cast<CAnimation*>(argument);
  if (!animation) return;
  float t = animation->m_Time + animation->m_TimeStep;
  animation->m_Time = t >= animation->m_Period ? 0.0f : t;
  if (animation->m_Mesh) NotifyMesh(animation->m_Mesh, animation);
}
