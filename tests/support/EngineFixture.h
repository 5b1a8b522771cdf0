// An engine on the recording null device with a recording host installed.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/RenderEngine.h"
#include "support/RecordingHost.h"

class FixedWindow : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 640, 480); }
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : m_Scope(&host) {
    auto display = std::make_unique<NullDisplaySystem>();
    log = display->Log();
    engine = std::make_unique<CRenderEngine>(8, std::move(display));
  }

  // Attaches the render window: the default material and background appear.
  void Attach() { ASSERT_EQ(engine->Init_RenderEngine(&window), S_OK); }

  template <class T>
  static std::vector<T*> Items(SimpleList<T>& list) {
    std::vector<T*> items;
    for (SimpleNode<T>* n = list.GoTop(); n; n = n->Next()) items.push_back(n->Node());
    return items;
  }

  RecordingHost host;
  ScopedHost m_Scope;
  std::shared_ptr<DisplayCallLog> log;
  FixedWindow window;
  std::unique_ptr<CRenderEngine> engine;
};
