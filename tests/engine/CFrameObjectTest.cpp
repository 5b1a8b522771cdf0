#include <gtest/gtest.h>

#include "engine/UndoTypeActions.h"
#include "support/EngineFixture.h"

namespace {

class FrameTest : public EngineTest {
 protected:
  FrameTest() {
    host.acceptUndo = true;
    item = engine->CreatePath();  // a plain frame object in an engine list
    item->SetLogUndoAction(1);
  }
  CAction* Last() { return host.undoActions.empty() ? nullptr : host.undoActions.back(); }
  CFrameObject* item = nullptr;
};

void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

TEST(CFrameObject, StartsAtTheOriginUnscaledVisibleAndLogging) {
  CFrameObject frame(nullptr);
  EXPECT_EQ(frame.GetName(), "FrameObject");
  ExpectVector(frame.GetPosition(), 0, 0, 0);
  ExpectVector(frame.GetScale(), 1, 1, 1);
  EXPECT_EQ(frame.GetAxes(), d3dmath::IdentityMatrix());
  EXPECT_EQ(frame.GetVisible(), 1);
  EXPECT_EQ(frame.GetLogUndoAction(), 1);
  EXPECT_EQ(frame.GetDisplayName(), frame.GetName());
}

TEST(CFrameObject, AnglesOrientationAxesAndBox) {
  CFrameObject frame(nullptr);
  frame.SetAngleX(0.5f, 1);
  frame.SetAngleX(0.5f, 1);
  EXPECT_FLOAT_EQ(frame.GetAngleX(), 1.0f);
  frame.SetAngleX(0.25f, 0);
  EXPECT_FLOAT_EQ(frame.GetAngleX(), 0.25f);

  frame.SetOrientation(0, 0, 1, 0, 1, 0);
  const D3DMATRIX& a = frame.GetAxes();
  ExpectVector(D3DVECTOR(a._11, a._21, a._31), -1, 0, 0);
  D3DVECTOR dir, up;
  frame.GetOrientation(dir, up);
  ExpectVector(dir, 0, 0, 1);
  ExpectVector(up, 0, 1, 0);

  D3DMATRIX m;
  m._11 = 2;  // column lengths 2, 3 and 0, and a translation row
  m._22 = 3;
  m._41 = 5;
  m._44 = 1;
  frame.SetAxes(m);
  EXPECT_FLOAT_EQ(frame.GetAxes()._11, 1);
  EXPECT_FLOAT_EQ(frame.GetAxes()._22, 1);
  EXPECT_FLOAT_EQ(frame.GetAxes()._33, 0);
  EXPECT_FLOAT_EQ(frame.GetAxes()._41, 0);
  EXPECT_FLOAT_EQ(frame.GetAxes()._44, 1);

  CD3DBox box(D3DVECTOR(0, 0, 0), D3DVECTOR(1, 2, 3));
  EXPECT_EQ(box.PtInBox(D3DVECTOR(1, 2, 3)), 1);
  EXPECT_EQ(box.PtInBox(D3DVECTOR(1, 2, 3.001f)), 0);
}

TEST_F(FrameTest, AMoveIsRecordedAndCountedUntilSaved) {
  item->SetPosition(D3DVECTOR(1, 2, 3), 1);
  ASSERT_EQ(host.undoActions.size(), 1u);
  EXPECT_EQ(Last()->GetName(), "Move Object: " + item->GetName());
  EXPECT_EQ(item->IsChanged(), 1);
  EXPECT_EQ(item->GetDisplayName(), item->GetName() + " *");
  item->SetSaved(1);
  EXPECT_EQ(item->GetDisplayName(), item->GetName());

  item->SetLogUndoAction(0);
  item->SetPosition(D3DVECTOR(4, 5, 6), 1);
  EXPECT_EQ(host.undoActions.size(), 1u);
  EXPECT_EQ(item->IsChanged(), 0);
}

TEST_F(FrameTest, RefusedActionsAreDroppedAndNotCounted) {
  host.acceptUndo = false;
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  item->SetName("Renamed");
  EXPECT_EQ(item->IsChanged(), 0);
  ScopedHost none(nullptr);  // no application at all
  item->SetScale(2, 2, 2);
  EXPECT_EQ(item->IsChanged(), 0);
}

TEST_F(FrameTest, UndoAndRedoExchangeThePositionWithTheAction) {
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  item->SetPosition(D3DVECTOR(2, 0, 0), 0);
  CAction* second = host.undoActions[1];
  CAction* first = host.undoActions[0];
  second->Undo();
  second->Reverse();
  ExpectVector(item->GetPosition(), 1, 0, 0);
  first->Undo();
  ExpectVector(item->GetPosition(), 0, 0, 0);
  EXPECT_EQ(item->GetChangeCount(), 0);
  EXPECT_EQ(host.viewRecalcs, 2);
  first->Redo();
  second->Redo();
  ExpectVector(item->GetPosition(), 2, 0, 0);
  EXPECT_EQ(item->GetChangeCount(), 2);
  EXPECT_EQ(host.undoActions.size(), 2u);  // restoring recorded nothing
}

TEST_F(FrameTest, RenameUndoesAndRedoes) {
  item->SetName("A");
  host.undoActions.back()->Release();
  host.undoActions.clear();
  EXPECT_EQ(item->GetLogUndoAction(), 0);  // the name pass leaves logging off...
  item->SetLogUndoAction(1);               // ...until an undoable command turns it on
  item->SetName("B");
  ASSERT_EQ(host.undoActions.size(), 1u);
  CAction* rename = Last();
  EXPECT_EQ(rename->GetName(), "Change Name: A");
  rename->Undo();
  EXPECT_EQ(item->GetName(), "A");
  rename->Redo();
  EXPECT_EQ(item->GetName(), "B");
  EXPECT_EQ(host.undoActions.size(), 1u);
}

TEST_F(FrameTest, BlankRenameRecordsNothing) {
  item->SetName("   ");
  EXPECT_TRUE(host.undoActions.empty());
  EXPECT_EQ(item->IsChanged(), 0);
}

TEST_F(FrameTest, OneAxisScaleRecordsItsFactor) {
  item->SetLogUndoAction(0);
  item->SetScale(3, 3, 3);
  item->SetLogUndoAction(1);
  item->SetScale_Y(2);
  ExpectVector(item->GetScale(), 3, 2, 3);
  auto* action = dynamic_cast<CUndoActionScale*>(Last());
  ASSERT_NE(action, nullptr);
  ExpectVector(action->Data().m_Scale, 1, 2, 1);
  action->Reverse();
  ExpectVector(action->Data().m_Scale, 1, 0.5f, 1);
  ExpectVector(CUndoActionScale::Reciprocal(D3DVECTOR(0, 4, -2)), 1, 0.25f, -0.5f);  // no infinity
}

TEST_F(FrameTest, ADestroyedItemTakesItsActionsWithIt) {
  CPath* other = engine->CreatePath();
  other->SetLogUndoAction(1);
  other->SetPosition(D3DVECTOR(1, 1, 1), 0);
  item->SetPosition(D3DVECTOR(2, 2, 2), 0);
  engine->ReleasePath(other);
  ASSERT_EQ(host.undoActions.size(), 1u);
  EXPECT_EQ(Last()->GetObject(), item);
}

}  // namespace
