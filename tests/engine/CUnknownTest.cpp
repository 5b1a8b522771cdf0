#include <gtest/gtest.h>

#include <regex>

#include "engine/SimpleList.h"
#include "support/TestItems.h"

namespace {

GUID PinnedGuid() {
  GUID g;
  g.Data1 = 305419896;
  g.Data2 = 4660;
  g.Data3 = 22136;
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(i + 1);
  return g;
}

TEST(CUnknown, DefaultNameIsTheGuidInDecimal) {
  {
    ScopedGuid pin([](GUID* g) {
      *g = PinnedGuid();
      return S_OK;
    });
    CountedItem item;
    EXPECT_EQ(item.GetName(), "305419896_4660_22136_12345678");
  }
  CountedItem real;
  EXPECT_TRUE(std::regex_match(real.GetName(), std::regex("^\\d+_\\d+_\\d+_\\d+$"))) << real.GetName();
  EXPECT_EQ(real.GetName(), GuidDecimalName(real.GetGUID()));
}

TEST(CUnknown, FailingGeneratorFallsBackToTheTime) {
  ScopedGuid pin([](GUID*) { return E_FAIL; });
  int64_t before = std::time(nullptr);
  CountedItem item;
  int64_t after = std::time(nullptr);
  const GUID& g = item.GetGUID();
  ASSERT_GE(static_cast<int64_t>(g.Data1), before);
  ASSERT_LE(static_cast<int64_t>(g.Data1), after);
  EXPECT_EQ(g, GuidFromTime(g.Data1));
  EXPECT_EQ(g.Data2, static_cast<uint16_t>(g.Data1 + 1));
  EXPECT_EQ(g.Data4[7], static_cast<uint8_t>(g.Data1 + 10));
}

TEST(CUnknown, BlankNamesAreIgnoredOthersStoredAsGiven) {
  CountedItem item;
  item.SetName("Box");
  item.SetName("   ");
  EXPECT_EQ(item.GetName(), "Box");
  item.SetName("");
  EXPECT_EQ(item.GetName(), "Box");
  item.SetName("  Box ");
  EXPECT_EQ(item.GetName(), "  Box ");
}

TEST(CUnknown, ReleaseDeletesAtZeroAndSurvivesAnExtraRelease) {
  int deaths = 0;
  auto* item = new CountedItem(&deaths);
  item->AddRef();
  item->AddRef();
  item->Release();
  EXPECT_EQ(deaths, 0);
  item->Release();
  EXPECT_EQ(deaths, 1);

  auto* held = new CountedItem(&deaths);  // never referenced: an extra release leaves it at -1, alive
  held->Release();
  EXPECT_EQ(held->RefCount(), -1);
  EXPECT_EQ(deaths, 1);
  delete held;
}

TEST(CUnknown, GuidNamesHaveTheirFormats) {
  GUID g = PinnedGuid();
  EXPECT_EQ(GuidHexName(g), "_12345678_1234_5678_12345678");
  g.Data4[0] = 0xab;
  EXPECT_EQ(GuidHexName(g), "_12345678_1234_5678_ab2345678");
  for (int i = 0; i < 20; ++i)
    EXPECT_TRUE(std::regex_match(GuidHexName(NewGuid()),
                                 std::regex("^_[0-9a-f]{1,8}_[0-9a-f]{1,4}_[0-9a-f]{1,4}_[0-9a-f]{8,16}$")));
}

TEST(Callback, CallsTheBoundMemberAndRefusesWhenIncomplete) {
  CountedItem item;
  int argument = 0;
  Callback bound = Callback::Make(&item, &CountedItem::Touch);
  EXPECT_EQ(bound.Call(&argument), 42);
  EXPECT_EQ(item.m_LastArgument, &argument);

  EXPECT_EQ(Callback(nullptr, static_cast<Callback::Function>(&CountedItem::Touch)).Call(&argument), E_NOTIMPL);
  EXPECT_EQ(Callback(&item, nullptr).Call(&argument), E_NOTIMPL);
  EXPECT_EQ(Callback().Call(nullptr), E_NOTIMPL);
}

// --- lists -------------------------------------------------------------------

class ListTest : public ::testing::Test {
 protected:
  CountedItem* Make() { return new CountedItem(&deaths); }
  int deaths = 0;
};

TEST_F(ListTest, AddKeepsOrderCountsReferencesAndCursor) {
  SimpleList<CountedItem> list;
  CountedItem* a = Make();
  CountedItem* b = Make();
  CountedItem* c = Make();
  list.AddBottom(a);
  list.AddBottom(b);
  EXPECT_EQ(list.Current(), list.Head());
  list.AddTop(c);
  EXPECT_EQ(list.Current()->Node(), c);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Index(c), 0);
  EXPECT_EQ(list.Index(a), 1);
  EXPECT_EQ(list.Index(b), 2);
  EXPECT_EQ(list.Tail()->Node(), b);
  EXPECT_EQ(a->RefCount(), 1);
  EXPECT_EQ(list.Head()->GetNodeName(), c->GetName());
}

TEST_F(ListTest, OutOfRangeLookupsGiveNull) {
  SimpleList<CountedItem> list;
  EXPECT_EQ(list.GetAt(0), nullptr);
  list.AddBottom(Make());
  list.AddBottom(Make());
  EXPECT_EQ(list.GetAt(-1), nullptr);
  EXPECT_EQ(list.GetAt(list.Count()), nullptr);
  EXPECT_NE(list.GetAt(1), nullptr);
  EXPECT_EQ(list.Index(nullptr), -1);
  CountedItem stranger;
  EXPECT_EQ(list.Index(&stranger), -1);
  EXPECT_EQ(list.Find(&stranger), nullptr);
}

TEST_F(ListTest, NullItemsAreRefused) {
  SimpleList<CountedItem> list;
  EXPECT_EQ(list.AddBottom(nullptr), nullptr);
  EXPECT_EQ(list.AddTop(nullptr), nullptr);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Head(), nullptr);
}

TEST_F(ListTest, RemoveOfATwiceReferencedNodeOnlyReleasesOnce) {
  SimpleList<CountedItem> list;
  CountedItem* a = Make();
  SimpleNode<CountedItem>* node = list.AddBottom(a);
  node->AddRef();
  EXPECT_EQ(a->RefCount(), 2);
  list.Remove(a);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(node->RefCount(), 1);
  EXPECT_EQ(deaths, 0);
  list.Remove(a);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(deaths, 1);
}

TEST_F(ListTest, SameItemTwiceMakesTwoNodesAndRemoveTakesTheFirst) {
  SimpleList<CountedItem> list;
  CountedItem* a = Make();
  CountedItem* b = Make();
  SimpleNode<CountedItem>* first = list.AddBottom(a);
  list.AddBottom(b);
  SimpleNode<CountedItem>* second = list.AddBottom(a);
  EXPECT_EQ(a->RefCount(), 2);
  EXPECT_EQ(list.Find(a), first);
  list.Remove(a);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Find(a), second);
  EXPECT_EQ(list.Head()->Node(), b);
  EXPECT_EQ(deaths, 0);
}

TEST_F(ListTest, RemTopHandsTheNodeToAHolderThatReferencedIt) {
  SimpleList<CountedItem> list;
  CountedItem* a = Make();
  list.AddBottom(a);
  list.AddBottom(Make());
  SimpleNode<CountedItem>* top = list.GoTop();
  top->AddRef();
  EXPECT_EQ(list.RemTop(), top);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(top->Next(), nullptr);
  EXPECT_EQ(list.Head()->Prev(), nullptr);
  EXPECT_EQ(deaths, 0);

  SimpleList<CountedItem> other;
  other.AddTop(top->Node());
  top->Release();  // the moved item survives through its new node
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(a->RefCount(), 1);
  EXPECT_EQ(SimpleList<CountedItem>().RemTop(), nullptr);
}

// An item whose destructor looks at the list it is being released from.
class Inspector : public CUnknown {
 public:
  Inspector(SimpleList<Inspector>* list, int* seen) : m_List(list), m_Seen(seen) {}
  ~Inspector() override {
    for (SimpleNode<Inspector>* n = m_List->GoTop(); n; n = n->Next()) ++*m_Seen;
    *m_Seen += m_List->Count();
  }

 private:
  SimpleList<Inspector>* m_List;
  int* m_Seen;
};

TEST_F(ListTest, CleanDetachesBeforeItemsAreDestroyed) {
  SimpleList<Inspector> list;
  int seen = 0;
  for (int i = 0; i < 3; ++i) list.AddBottom(new Inspector(&list, &seen));
  list.Clean();
  EXPECT_EQ(seen, 0);  // each destructor saw an empty list, never freed nodes
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Head(), nullptr);
  EXPECT_EQ(list.Tail(), nullptr);
}

TEST_F(ListTest, DestructorReleasesEveryNodeOnceAndSparesSharedItems) {
  CountedItem* shared = Make();
  SimpleList<CountedItem> keeper;
  keeper.AddBottom(shared);
  {
    SimpleList<CountedItem> list;
    list.AddBottom(shared);
    list.AddBottom(Make());
    EXPECT_EQ(shared->RefCount(), 2);
  }
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(shared->RefCount(), 1);
}

}  // namespace
