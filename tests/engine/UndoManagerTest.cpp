#include <gtest/gtest.h>

#include "engine/RenderEngine.h"
#include "engine/UndoTypeActions.h"
#include "support/ManagerHost.h"

namespace {

class UndoTest : public ::testing::Test {
 protected:
  UndoTest() : scope(&host) {}
  CPath* NewItem(const char* name) {
    CPath* p = engine.CreatePath();
    p->SetLogUndoAction(0);
    p->SetName(name);
    p->SetLogUndoAction(1);
    return p;
  }
  CUndoManager& undo() { return host.manager; }

  ManagerHost host;
  ScopedHost scope;
  CRenderEngine engine{8};
};

void ExpectAt(CFrameObject* item, float x) { EXPECT_FLOAT_EQ(item->GetPosition().x, x); }

TEST_F(UndoTest, EmptyStacksAndNullActions) {
  EXPECT_EQ(undo().AddAction(nullptr), E_FAIL);
  EXPECT_LT(undo().AddAction(nullptr), 0);
  EXPECT_EQ(undo().CanUndo(), 0);
  EXPECT_EQ(undo().CanRedo(), 0);
  undo().Undo();
  undo().Redo();
}

TEST_F(UndoTest, ChangesAreUndoneAndRedoneInOrder) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  item->SetLogUndoAction(1);
  item->SetName("B");
  item->SetLogUndoAction(1);
  item->SetScale(2, 2, 2);
  EXPECT_EQ(undo().UndoNames(), (std::vector<CString>{"Scale Object: B", "Change Name: A", "Move Object: A"}));
  EXPECT_EQ(item->GetDisplayName(), "B *");

  undo().Undo();
  EXPECT_FLOAT_EQ(item->GetScale().x, 1.0f);  // absolute scale comes back by value
  undo().Undo();
  EXPECT_EQ(item->GetName(), "A");
  undo().Undo();
  ExpectAt(item, 0);
  EXPECT_EQ(item->GetDisplayName(), "A");
  EXPECT_EQ(undo().CanUndo(), 0);
  EXPECT_EQ(undo().RedoNames().size(), 3u);

  undo().Redo();
  undo().Redo();
  undo().Redo();
  ExpectAt(item, 1);
  EXPECT_EQ(item->GetName(), "B");
  EXPECT_FLOAT_EQ(item->GetScale().y, 2.0f);
  EXPECT_EQ(undo().UndoNames().size(), 3u);  // applying recorded nothing new
  EXPECT_EQ(item->GetChangeCount(), 3);
}

TEST_F(UndoTest, ANewActionKeepsTheRedoStack) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  undo().Undo();
  item->SetPosition(D3DVECTOR(2, 0, 0), 0);
  EXPECT_EQ(undo().RedoList().Count(), 1);
  undo().Redo();
  ExpectAt(item, 1);
}

TEST_F(UndoTest, AReleasedItemLeavesBothStacksInOrder) {
  CPath* a = NewItem("A");
  CPath* b = NewItem("B");
  a->SetLogUndoAction(1);  // naming B ran the name pass over A too
  a->SetPosition(D3DVECTOR(1, 0, 0), 0);  // A1
  b->SetPosition(D3DVECTOR(1, 0, 0), 0);  // B1
  a->SetPosition(D3DVECTOR(2, 0, 0), 0);  // A2
  b->SetPosition(D3DVECTOR(2, 0, 0), 0);  // B2
  a->SetPosition(D3DVECTOR(3, 0, 0), 0);  // A3
  undo().Undo();
  undo().Undo();  // redo: B2, A3 (top first)
  engine.ReleasePath(a);
  EXPECT_EQ(undo().UndoNames(), (std::vector<CString>{"Move Object: B"}));
  EXPECT_EQ(undo().RedoNames(), (std::vector<CString>{"Move Object: B"}));
  undo().Redo();
  ExpectAt(b, 2);
}

TEST_F(UndoTest, ADragIsOneStep) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(5, 0, 0), 0);
  undo().BeginDrag();
  for (int i = 1; i <= 20; ++i) item->SetPosition(D3DVECTOR(5.0f + i, 0, 0), 0);
  undo().EndDrag();
  EXPECT_EQ(undo().UndoList().Count(), 2);
  EXPECT_EQ(item->GetChangeCount(), 2);
  undo().Undo();
  ExpectAt(item, 5);
  undo().Redo();
  ExpectAt(item, 25);
}

TEST_F(UndoTest, OneAxisScaleOfAnAbsoluteItemComesBackExactly) {
  CPath* item = NewItem("A");
  item->SetLogUndoAction(0);
  item->SetScale(3, 3, 3);
  item->SetLogUndoAction(1);
  item->SetScale_Y(2);
  undo().Undo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 3, 3));
  undo().Redo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 2, 3));
  item->SetScale(0, 1, 1);  // a collapsed axis still comes back
  undo().Undo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 2, 3));
}

}  // namespace
