// Relations: the type check and other refusals, tables leaving trees when
// a tree is freed or a table closes or dies, the class WdbaseRelation, and
// the sorted list on its own.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine_error.h"
#include "key_sort.h"
#include "relation.h"
#include "relation_list.h"
#include "relation_test_fixture.h"

namespace xbase32::testing {
namespace {

TEST_F(RelationTest, TypeMismatchFailsWithoutChangingTheTree) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  xbase32::RelationNode* before = orders_.GetRelation();
  EXPECT_EQ(nullptr, before);
  EXPECT_EQ(0, orders_.SetSlaveRelation(&cust_, "RECNO()", "bycust"));
  EXPECT_EQ(-720, Wdbase::LastErrorCode());
  EXPECT_STREQ("Relation Error", Wdbase::LastErrorText());
  EXPECT_STREQ(
      "relate4create_slave() - master expression type does not match tag "
      "type",
      Wdbase::LastErrorDetail(0));
  EXPECT_EQ(nullptr, orders_.GetRelation());
  EXPECT_EQ(cust_.GetRelation(), cust_.GetRelation()->tree->master());
  EXPECT_EQ(1u, cust_.GetRelation()->tree->master()->children.size() + 1);

  // Other refusals, each leaving the tree as it was.
  struct Case {
    const char* what;
    Wdbase* master;
    const char* expr;
    const char* tag;
    int code;
  } cases[] = {
      {"unknown order", &cust_, "CODE", "nosuch", kErrTagName},
      {"bad expression", &cust_, "CODE +", "bycust", kErrIncomplete},
      {"unknown field", &cust_, "NOPE", "bycust", kErrFieldName},
      {"empty expression", &cust_, "", "bycust", kErrIncomplete},
      {"logical value", &cust_, "CODE = 'A01'", "bycust", kErrRelation},
      {"no master relation", &orders_, "CODE", "bycust", kErrRelation},
      {"no master", nullptr, "CODE", "bycust", kErrRelation},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(0, orders_.SetSlaveRelation(c.master, c.expr, c.tag)) << c.what;
    EXPECT_EQ(c.code, Wdbase::LastErrorCode()) << c.what;
    EXPECT_EQ(nullptr, orders_.GetRelation()) << c.what;
    EXPECT_TRUE(cust_.GetRelation()->children.empty()) << c.what;
  }
  // A table is only once in a tree; the master cannot be its own slave.
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  EXPECT_EQ(0, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  EXPECT_EQ(0, cust_.SetSlaveRelation(&orders_, "CUST", nullptr));
  EXPECT_EQ(1u, cust_.GetRelation()->children.size());
  // Unknown types are ignored but answered with 1.
  EXPECT_EQ(1, orders_.SetSlaveRelationType(7));
  EXPECT_EQ(RelationType::kExact, orders_.GetRelation()->type);
  Wdbase loose;
  EXPECT_EQ(0, loose.SetSlaveRelationType(1));
  EXPECT_EQ(0, loose.TopRelation());
  EXPECT_EQ(0, loose.SetMasterRelation());  // not open
}

TEST_F(RelationTest, NewMasterTreeDetachesTheSlavesOfTheOldOne) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_NE(nullptr, orders_.GetRelation());
  // The old tree is freed: the slave forgets its node instead of keeping a
  // dangling pointer.
  ASSERT_EQ(1, cust_.SetMasterRelation());
  EXPECT_EQ(nullptr, orders_.GetRelation());
  EXPECT_EQ(0, orders_.TopRelation());
  EXPECT_EQ(0, orders_.NextRelation());
  EXPECT_EQ(0, orders_.SetSlaveRelationType(2));
  EXPECT_EQ(V({"A01:-", "B02:-", "C03:-", "Z99:-"}),
            Walk(
                cust_.TopRelation(), [&] { return cust_.NextRelation(); },
                [&] { return Text(cust_, "CODE") + ":-"; }));
}

TEST_F(RelationTest, ClosedOrDestroyedTablesLeaveTheTree) {
  MakeShop();
  auto parts = std::make_unique<Wdbase>();
  Make(parts.get(), "parts", {Fld("ITEM", 'C', 6), Fld("PART", 'C', 4)},
       "byitem", "ITEM", {{"bolt", "head"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, parts->SetSlaveRelation(&orders_, "ITEM", "byitem"));
  ASSERT_EQ(1, cust_.SetQuery("ORDERS->QTY > 0"));

  // Destroying a slave drops its node.
  parts.reset();
  EXPECT_EQ(1u, cust_.GetRelation()->tree->master()->children.size());
  EXPECT_EQ(V({"A01:bolt", "B02:nut", "C03:gear"}), Forward(cust_));

  // Closing a slave drops it and what hangs below it; it can join again.
  ASSERT_EQ(1, orders_.Close());
  EXPECT_EQ(nullptr, orders_.GetRelation());
  EXPECT_TRUE(cust_.GetRelation()->children.empty());
  // The query names a closed table: the walk fails instead of reading its
  // fields as blanks.
  EXPECT_EQ(0, cust_.TopRelation());
  EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
  ASSERT_EQ(1, cust_.SetQuery(""));
  EXPECT_EQ(4u, Forward(cust_).size());
  ASSERT_EQ(1, orders_.Open());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  EXPECT_EQ(V({"A01:bolt", "B02:nut", "C03:gear", "Z99:-"}), Forward(cust_));

  // Closing the master empties its tree; the slave forgets its node.
  ASSERT_EQ(1, cust_.Close());
  EXPECT_EQ(nullptr, cust_.GetRelation());
  EXPECT_EQ(nullptr, orders_.GetRelation());
  EXPECT_EQ(0, orders_.TopRelation());

  // Destroying the master frees its tree while the slave lives on.
  auto master = std::make_unique<Wdbase>();
  ASSERT_EQ(1, master->SetFiles(dir_.c_str(), "cust", 0, nullptr, nullptr));
  ASSERT_EQ(1, master->Open());
  ASSERT_EQ(1, master->SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(master.get(), "CODE", "bycust"));
  master.reset();
  EXPECT_EQ(nullptr, orders_.GetRelation());
  EXPECT_EQ(1, Wdbase::CloseAll());
}

TEST_F(RelationTest, RelationObjectOwnsItsTree) {
  MakeShop();
  Wdbase parts;
  Make(&parts, "parts", {Fld("ITEM", 'C', 6), Fld("PART", 'C', 4)}, "byitem",
       "ITEM", {{"bolt", "head"}, {"nut", "nut"}});
  {
    WdbaseRelation rel;
    EXPECT_EQ(0, rel.TopRelation());
    EXPECT_EQ(0, rel.SetSlaveRelation(RelationMaster_Master, &orders_, "CODE",
                                      "bycust"));
    ASSERT_EQ(1, rel.SetMasterRelation(&cust_));
    EXPECT_EQ(0, rel.SetSlaveRelation(RelationMaster_LastSlave, &orders_,
                                      "CODE", "bycust"));  // no slave yet
    EXPECT_EQ(0, rel.SetSlaveRelation(static_cast<RelationMaster>(2), &orders_,
                                      "CODE", "bycust"));
    EXPECT_EQ(0, rel.SetSlaveRelation(&parts, &orders_, "CODE", "bycust"));
    ASSERT_EQ(1, rel.SetSlaveRelation(RelationMaster_Master, &orders_, "CODE",
                                      "bycust"));
    ASSERT_EQ(1, rel.SetSlaveRelation(RelationMaster_LastSlave, &parts, "ITEM",
                                      "byitem"));
    EXPECT_EQ(0, rel.SetSlaveRelationType(2, &cust_));  // the master
    ASSERT_EQ(1, rel.SetSlaveRelationType(2, &orders_));
    auto show = [&] { return Shop() + ":" + Text(parts, "PART"); };
    const V all = {"A01:bolt:head", "A01:screw:-", "A01:nail:-",
                   "B02:nut:nut",   "C03:gear:-",  "Z99:-:-"};
    EXPECT_EQ(all, Walk(
                       rel.RecalculateRelation(true),
                       [&] { return rel.NextRelation(); }, show));
    ASSERT_EQ(1, rel.SetQuery("PARTS->PART <> ' '"));
    EXPECT_EQ(V({"A01:bolt:head", "B02:nut:nut"}),
              Walk(
                  rel.TopRelation(), [&] { return rel.NextRelation(); }, show));
    ASSERT_EQ(1, rel.SetSort("PARTS->PART"));
    EXPECT_EQ(V({"A01:bolt:head", "B02:nut:nut"}),
              Walk(
                  rel.TopRelation(), [&] { return rel.NextRelation(); }, show));
    EXPECT_EQ(V({"B02:nut:nut", "A01:bolt:head"}),
              Walk(
                  rel.BottomRelation(), [&] { return rel.PreviousRelation(); },
                  show));
    // The tables' own relation pointers are untouched.
    EXPECT_EQ(nullptr, orders_.GetRelation());
    // A table closing under the object leaves its tree.
    ASSERT_EQ(1, parts.Close());
    // The sort still names the closed table: the move to the top fails.
    EXPECT_EQ(0, rel.SetQuery(""));
    EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
    ASSERT_EQ(1, rel.SetSort(""));
    EXPECT_EQ(6u, Walk(
                      rel.TopRelation(), [&] { return rel.NextRelation(); },
                      [&] { return Shop(); })
                      .size());
    EXPECT_EQ(0, rel.SetSlaveRelationType(1, &parts));
  }
  // The object is gone; the tables still work alone.
  EXPECT_EQ(1, cust_.Top());
}

// The sorted list alone: ascending keys, ties in the order of addition,
// whether it stays in memory or goes through the sort's files and its own.
TEST(RelationListTest, SortsStablyInMemoryAndOnDisk) {
  platform::ScopedTempDrives drives;
  struct Case {
    size_t list_limit;
    size_t sort_limit;
    bool on_disk;
  } cases[] = {{1 << 20, 32 << 20, false}, {4096, 64 << 10, true}};
  for (const Case& c : cases) {
    const size_t old_list = RelationList::SetMemoryLimit(c.list_limit);
    const size_t old_sort = SetSortMemoryLimit(c.sort_limit);
    RelationList list(3, 2);
    const int n = 5000;
    for (int i = 0; i < n; ++i) {
      char key[4];
      std::snprintf(key, sizeof key, "%03d", (i * 7) % 50);
      const int32_t recnos[2] = {i + 1, -i};
      ASSERT_TRUE(list.Add(key, recnos));
    }
    ASSERT_TRUE(list.Finish());
    EXPECT_EQ(c.on_disk, list.on_disk());
    ASSERT_EQ(n, list.count());
    int32_t prev[2] = {0, 0};
    for (int64_t i = 0; i < n; ++i) {
      int32_t r[2];
      ASSERT_TRUE(list.Get(i, r));
      ASSERT_EQ(-(r[0] - 1), r[1]);
      if (i > 0) {
        const int kp = ((prev[0] - 1) * 7) % 50;
        const int kr = ((r[0] - 1) * 7) % 50;
        ASSERT_TRUE(kp < kr || (kp == kr && prev[0] < r[0])) << i;
      }
      prev[0] = r[0];
      prev[1] = r[1];
    }
    int32_t r[2];
    EXPECT_FALSE(list.Get(-1, r));
    EXPECT_FALSE(list.Get(n, r));
    // Backwards through the window as well.
    ASSERT_TRUE(list.Get(n - 1, r));
    EXPECT_EQ(prev[0], r[0]);
    ASSERT_TRUE(list.Get(0, r));
    RelationList::SetMemoryLimit(old_list);
    SetSortMemoryLimit(old_sort);
  }
  RelationList empty(0, 1);
  ASSERT_TRUE(empty.Finish());
  EXPECT_EQ(0, empty.count());
  int32_t r[1];
  EXPECT_FALSE(empty.Get(0, r));
}

}  // namespace
}  // namespace xbase32::testing
