// Relations: positioning of slaves (exact, approximate, scan, record
// number), the composite walk in both directions, and query and sort (in
// memory and through temporary files).

#include "relation.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine_error.h"
#include "key_sort.h"
#include "relation_list.h"
#include "relation_test_fixture.h"

namespace xbase32::testing {
namespace {

TEST_F(RelationTest, ExactLeavesAMissingSlaveBlankAtEndOfFile) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  EXPECT_EQ(V({"A01:bolt", "B02:nut", "C03:gear", "Z99:-"}), Forward(cust_));

  // On the master record without a match the slave is blank at end of file.
  ASSERT_EQ(1, cust_.BottomRelation());
  EXPECT_EQ("Z99", Text(cust_, "CODE"));
  EXPECT_EQ(1, orders_.Eof());
  EXPECT_EQ(6, orders_.RecNo());
  EXPECT_STREQ("      ", orders_.Read("ITEM"));

  // Past the end every table stands at end of file; Next stays there.
  EXPECT_EQ(2, cust_.NextRelation());
  EXPECT_EQ(1, cust_.Eof());
  EXPECT_EQ(1, orders_.Eof());
  EXPECT_EQ(2, cust_.NextRelation());
  // Back from the end: the last composite record.
  EXPECT_EQ(1, cust_.PreviousRelation());
  EXPECT_EQ("Z99:-", Shop());
  EXPECT_EQ(V({"Z99:-", "C03:gear", "B02:nut", "A01:bolt"}), Backward(cust_));
  // Before the first: 3, the first composite record stays.
  ASSERT_EQ(1, cust_.TopRelation());
  EXPECT_EQ(3, cust_.PreviousRelation());
  EXPECT_EQ("A01:bolt", Shop());
  // The walk works from any table of the tree.
  EXPECT_EQ(V({"A01:bolt", "B02:nut", "C03:gear", "Z99:-"}), Forward(orders_));
}

TEST_F(RelationTest, ExactNeedsTheWholeKey) {
  Make(&cust_, "cust", {Fld("CODE", 'C', 3)}, nullptr, nullptr,
       {{"A0"}, {"A01"}, {"A1"}});
  Make(&orders_, "orders", {Fld("CUST", 'C', 3), Fld("ITEM", 'C', 6)}, "bycust",
       "CUST", {{"A01", "bolt"}, {"A10", "pin"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  // "A0 " is sought with its blank: no key starts with it.
  EXPECT_EQ(V({"A0:-", "A01:bolt", "A1:-"}), Forward(cust_));
  // Trimmed, the value is a prefix: "A0" finds "A01", "A1" finds "A10".
  Wdbase other;
  Make(&other, "other", {Fld("X", 'C', 1)}, nullptr, nullptr, {});
  ASSERT_EQ(1, other.SetMasterRelation());  // a tree of its own
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "TRIM(CODE)", "bycust"));
  EXPECT_EQ(V({"A0:bolt", "A01:bolt", "A1:pin"}), Forward(cust_));
}

TEST_F(RelationTest, ApproximateLandsOnTheNextKey) {
  Make(&cust_, "cust", {Fld("CODE", 'C', 1)}, nullptr, nullptr,
       {{"B"}, {"A"}, {"D"}, {"C"}});
  Make(&orders_, "orders", {Fld("CUST", 'C', 1), Fld("ITEM", 'C', 6)}, "bycust",
       "CUST", {{"C", "gear"}, {"A", "bolt"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "BYCUST.NTX"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(1));
  // B lands on C; D is past the last key: end of file.
  EXPECT_EQ(V({"B:gear", "A:bolt", "D:-", "C:gear"}), Forward(cust_));
  // The same seeds as exact relations.
  ASSERT_EQ(1, orders_.SetSlaveRelationType(0));
  EXPECT_EQ(V({"B:-", "A:bolt", "D:-", "C:gear"}), Forward(cust_));
}

TEST_F(RelationTest, ScanStepsThroughEveryMatchingRecord) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(2));
  const V all = {"A01:bolt", "A01:screw", "A01:nail",
                 "B02:nut",  "C03:gear",  "Z99:-"};
  EXPECT_EQ(all, Forward(cust_));
  V back = all;
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, Backward(cust_));

  // Changing direction in the middle of a group.
  ASSERT_EQ(1, cust_.TopRelation());
  ASSERT_EQ(1, cust_.NextRelation());
  ASSERT_EQ(1, cust_.NextRelation());
  EXPECT_EQ("A01:nail", Shop());
  ASSERT_EQ(1, cust_.PreviousRelation());
  EXPECT_EQ("A01:screw", Shop());
  ASSERT_EQ(1, cust_.PreviousRelation());
  EXPECT_EQ(3, cust_.PreviousRelation());
  EXPECT_EQ("A01:bolt", Shop());
}

TEST_F(RelationTest, ScanSlavesNestAndMultiply) {
  MakeShop();
  Wdbase parts;
  Make(&parts, "parts", {Fld("ITEM", 'C', 6), Fld("PART", 'C', 4)}, "byitem",
       "ITEM",
       {{"bolt", "head"}, {"nail", "tip"}, {"bolt", "body"}, {"gear", "cog"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(2));
  ASSERT_EQ(1, parts.SetSlaveRelation(&orders_, "ITEM", "byitem"));
  ASSERT_EQ(1, parts.SetSlaveRelationType(2));
  auto show = [&] { return Shop() + ":" + Text(parts, "PART"); };
  const V nested = {"A01:bolt:head", "A01:bolt:body", "A01:screw:-",
                    "A01:nail:tip",  "B02:nut:-",     "C03:gear:cog",
                    "Z99:-:-"};
  EXPECT_EQ(nested, Walk(
                        cust_.TopRelation(),
                        [&] { return cust_.NextRelation(); }, show));
  V back = nested;
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, Walk(
                      cust_.BottomRelation(),
                      [&] { return cust_.PreviousRelation(); }, show));

  // Two scan slaves side by side: every pair, the later one fastest.
  Wdbase notes;
  Make(&notes, "notes", {Fld("CUST", 'C', 3), Fld("NOTE", 'C', 5)}, "bynote",
       "CUST", {{"A01", "vip"}, {"B02", "late"}, {"A01", "cash"}});
  WdbaseRelation rel;
  ASSERT_EQ(1, rel.SetMasterRelation(&cust_));
  ASSERT_EQ(1, rel.SetSlaveRelation(RelationMaster_Master, &orders_, "CODE",
                                    "bycust"));
  ASSERT_EQ(1, rel.SetSlaveRelationType(2));
  ASSERT_EQ(1, rel.SetSlaveRelation(&cust_, &notes, "CODE", "bynote"));
  ASSERT_EQ(1, rel.SetSlaveRelationType(2, &notes));
  auto pair = [&] { return Shop() + ":" + Text(notes, "NOTE"); };
  EXPECT_EQ(V({"A01:bolt:vip", "A01:bolt:cash", "A01:screw:vip",
               "A01:screw:cash", "A01:nail:vip", "A01:nail:cash",
               "B02:nut:late", "C03:gear:-", "Z99:-:-"}),
            Walk(
                rel.TopRelation(), [&] { return rel.NextRelation(); }, pair));
}

TEST_F(RelationTest, NumericAndDateKeys) {
  Make(&cust_, "cust", {Fld("NUM", 'N', 4), Fld("DAY", 'D', 8)}, nullptr,
       nullptr, {{"-5", "20090307"}, {"12", "20090308"}, {"7", "19991231"}});
  Make(&orders_, "orders", {Fld("QTY", 'N', 6, 1), Fld("ITEM", 'C', 6)},
       "byqty", "QTY", {{"12", "twelve"}, {"-5", "minus"}, {"8", "eight"}});
  Wdbase days;
  Make(&days, "days", {Fld("DAY", 'D', 8), Fld("WHAT", 'C', 6)}, "byday", "DAY",
       {{"20090307", "sat"}, {"20090308", "sun"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "NUM", "byqty"));
  ASSERT_EQ(1, days.SetSlaveRelation(&cust_, "DAY", "byday"));
  auto show = [&] { return Text(orders_, "ITEM") + ":" + Text(days, "WHAT"); };
  EXPECT_EQ(
      V({"minus:sat", "twelve:sun", "-:-"}),
      Walk(
          cust_.TopRelation(), [&] { return cust_.NextRelation(); }, show));
  // Approximate: 7 lands on 8.
  ASSERT_EQ(1, orders_.SetSlaveRelationType(1));
  EXPECT_EQ(
      V({"minus:sat", "twelve:sun", "eight:-"}),
      Walk(
          cust_.TopRelation(), [&] { return cust_.NextRelation(); }, show));
}

TEST_F(RelationTest, RecordNumberRelationWithoutOrder) {
  Make(&cust_, "cust", {Fld("CODE", 'C', 3), Fld("PTR", 'N', 3)}, nullptr,
       nullptr, {{"A01", "2"}, {"B02", "9"}, {"C03", "0"}, {"D04", "1"}});
  Make(&orders_, "orders", {Fld("ITEM", 'C', 6)}, nullptr, nullptr,
       {{"bolt"}, {"nut"}});
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "PTR", nullptr));
  EXPECT_EQ(V({"A01:nut", "B02:-", "C03:-", "D04:bolt"}), Forward(cust_));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(1));
  EXPECT_EQ(V({"A01:nut", "B02:-", "C03:-", "D04:bolt"}), Forward(cust_));
  // A text value cannot be a record number.
  Wdbase other;
  Make(&other, "other", {Fld("X", 'C', 1)}, nullptr, nullptr, {{"x"}});
  EXPECT_EQ(0, other.SetSlaveRelation(&cust_, "CODE", ""));
  EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
}

TEST_F(RelationTest, QueryLeavesOutCompositeRecords) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(2));
  ASSERT_EQ(1, cust_.SetQuery("ORDERS->QTY > 2"));
  EXPECT_EQ("A01:screw", Shop());  // SetQuery moved to the top
  EXPECT_EQ(V({"A01:screw", "A01:nail", "B02:nut"}), Forward(cust_));
  EXPECT_EQ(V({"B02:nut", "A01:nail", "A01:screw"}), Backward(cust_));
  ASSERT_EQ(1, cust_.TopRelation());
  EXPECT_EQ(3, cust_.PreviousRelation());
  EXPECT_EQ("A01:screw", Shop());

  // Nothing matches: the set is empty.
  ASSERT_EQ(1, cust_.SetQuery("ORDERS->QTY > 100"));
  EXPECT_EQ(2, cust_.TopRelation());
  EXPECT_EQ(1, cust_.Eof());
  EXPECT_EQ(2, cust_.BottomRelation());
  // Refused queries keep the old one.
  ASSERT_EQ(1, cust_.SetQuery("NAME = 'Bob'"));
  EXPECT_EQ(0, cust_.SetQuery("CODE"));
  EXPECT_EQ(kErrSubExprType, Wdbase::LastErrorCode());
  EXPECT_EQ(0, cust_.SetQuery("CODE = ("));
  EXPECT_EQ(V({"B02:nut"}), Forward(cust_));
  // Removed again.
  ASSERT_EQ(1, cust_.SetQuery(nullptr));
  EXPECT_EQ(6u, Forward(cust_).size());
}

TEST_F(RelationTest, QueryNamingATableThatLeftTheTreeFails) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(2));
  ASSERT_EQ(1, cust_.SetQuery("ORDERS->QTY > 2"));
  ASSERT_EQ(1, cust_.TopRelation());
  ASSERT_EQ(1, orders_.Close());  // leaves the tree
  EXPECT_EQ(0, cust_.TopRelation());
  EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
  EXPECT_EQ(0, cust_.NextRelation());
  EXPECT_EQ(0, cust_.BottomRelation());
  EXPECT_EQ(0, cust_.PreviousRelation());
  EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
  // The same for a sort.
  ASSERT_EQ(1, cust_.SetQuery(nullptr));
  EXPECT_EQ(1, cust_.TopRelation());
  ASSERT_EQ(1, orders_.Open());
  ASSERT_EQ(1, cust_.SetSort("ORDERS->ITEM"));
  ASSERT_EQ(1, orders_.Close());
  EXPECT_EQ(0, cust_.TopRelation());
  EXPECT_EQ(kErrRelation, Wdbase::LastErrorCode());
}

TEST_F(RelationTest, SortOrdersTheSetAndKeepsTies) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  ASSERT_EQ(1, orders_.SetSlaveRelationType(2));
  ASSERT_EQ(1, cust_.SetSort("ORDERS->ITEM"));
  EXPECT_EQ("Z99:-", Shop());  // blank item sorts first
  EXPECT_EQ(
      V({"Z99:-", "A01:bolt", "C03:gear", "A01:nail", "B02:nut", "A01:screw"}),
      Forward(cust_));
  EXPECT_EQ(
      V({"A01:screw", "B02:nut", "A01:nail", "C03:gear", "A01:bolt", "Z99:-"}),
      Backward(cust_));
  ASSERT_EQ(1, cust_.TopRelation());
  EXPECT_EQ(3, cust_.PreviousRelation());
  EXPECT_EQ("Z99:-", Shop());

  // Numeric sort with a query; equal keys keep the walk's order.
  ASSERT_EQ(1, cust_.SetQuery("ORDERS->QTY < 6"));
  ASSERT_EQ(1, cust_.SetSort("IIF(ORDERS->QTY > 2, 1, 0)"));
  EXPECT_EQ(V({"A01:bolt", "C03:gear", "Z99:-", "A01:screw", "B02:nut"}),
            Forward(cust_));
  // The set is collected again from every Top on: a changed record moves.
  ASSERT_EQ(1, orders_.Goto(4));  // C03 gear
  ASSERT_EQ(1, orders_.WriteDouble("QTY", 4));
  EXPECT_EQ(V({"A01:bolt", "Z99:-", "A01:screw", "B02:nut", "C03:gear"}),
            Forward(cust_));

  EXPECT_EQ(0, cust_.SetSort("CODE = 'A01'"));  // logical: refused
  EXPECT_EQ(kErrSubExprType, Wdbase::LastErrorCode());
  ASSERT_EQ(1, cust_.SetSort(""));
  ASSERT_EQ(1, cust_.SetQuery(""));
  EXPECT_EQ(6u, Forward(cust_).size());
}

TEST_F(RelationTest, LargeSortsGoThroughTemporaryFiles) {
  // A master of 3000 records related to a slave of 100; sorted descending
  // by the slave's value with memory limits that force files.
  Rows master, slave;
  for (int i = 0; i < 3000; ++i) {
    master.push_back({std::to_string((i * 37) % 100)});
  }
  for (int k = 0; k < 100; ++k) {
    slave.push_back({std::to_string(k), std::to_string((k * 7919) % 1000)});
  }
  Make(&cust_, "cust", {Fld("REF", 'N', 4)}, nullptr, nullptr, master);
  Make(&orders_, "orders", {Fld("K", 'N', 4), Fld("VAL", 'N', 5)}, "byk", "K",
       slave);
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "REF", "byk"));

  const size_t old_list = RelationList::SetMemoryLimit(4096);
  const size_t old_sort = SetSortMemoryLimit(64 << 10);
  ASSERT_EQ(1, cust_.SetSort("STR(1000 - ORDERS->VAL, 4) + STR(REF, 4)"));
  std::vector<std::pair<int, int>> seen;  // (value, record)
  for (int r = cust_.TopRelation(); r == 1; r = cust_.NextRelation()) {
    seen.push_back({orders_.ReadInt("VAL"), cust_.RecNo()});
  }
  ASSERT_EQ(3000u, seen.size());
  for (size_t i = 1; i < seen.size(); ++i) {
    ASSERT_GE(seen[i - 1].first, seen[i].first) << i;
    if (seen[i - 1].first == seen[i].first) {
      ASSERT_LT(seen[i - 1].second, seen[i].second) << i;  // walk order
    }
  }
  // And back from the bottom.
  size_t back = 0;
  for (int r = cust_.BottomRelation(); r == 1; r = cust_.PreviousRelation()) {
    ASSERT_EQ(seen[seen.size() - 1 - back].second, cust_.RecNo());
    ++back;
  }
  EXPECT_EQ(3000u, back);
  RelationList::SetMemoryLimit(old_list);
  SetSortMemoryLimit(old_sort);
}

TEST_F(RelationTest, NoMatchActionsOfTheEngine) {
  MakeShop();
  ASSERT_EQ(1, cust_.SetMasterRelation());
  ASSERT_EQ(1, orders_.SetSlaveRelation(&cust_, "CODE", "bycust"));
  orders_.GetRelation()->no_match = NoMatch::kSkipMaster;
  EXPECT_EQ(V({"A01:bolt", "B02:nut", "C03:gear"}), Forward(cust_));
  EXPECT_EQ(V({"C03:gear", "B02:nut", "A01:bolt"}), Backward(cust_));
  orders_.GetRelation()->no_match = NoMatch::kReport;
  ASSERT_EQ(1, cust_.TopRelation());
  for (int i = 0; i < 2; ++i) ASSERT_EQ(1, cust_.NextRelation());
  EXPECT_EQ(0, cust_.NextRelation());
  EXPECT_EQ(-710, Wdbase::LastErrorCode());
  EXPECT_STREQ("Matching Slave Record Not Located", Wdbase::LastErrorText());
}

}  // namespace
}  // namespace xbase32::testing
