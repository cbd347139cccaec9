// Relations: positioning of slaves (exact, approximate, scan, record
// number), the composite walk in both directions, query and sort (in memory
// and through temporary files), the type check, and tables leaving trees.

#include "relation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine_error.h"
#include "key_sort.h"
#include "relation_list.h"
#include "test_util.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class RelationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }

  // Creates and opens table name with fields, an optional index (file
  // idx, key expression expr) and rows (one text per field; numbers are
  // written as numbers).
  void Make(Wdbase* w, const char* name, std::vector<WDBASE_FIELD> fields,
            const char* idx, const char* expr, const Rows& rows) {
    const char* names[] = {idx};
    const char* exprs[] = {expr};
    ASSERT_EQ(1, w->SetFiles(dir_.c_str(), name, idx ? 1 : 0, names, exprs));
    auto f = Fields(fields);
    ASSERT_EQ(1, w->CreateDb(f.data()));
    ASSERT_EQ(1, w->Open());
    for (const auto& row : rows) {
      ASSERT_EQ(1, w->AppendBlank());
      for (size_t k = 0; k < row.size(); ++k) {
        const int field = static_cast<int>(k) + 1;
        if (w->FieldType(field) == 'N') {
          ASSERT_EQ(1, w->WriteDouble(field, std::stod(row[k])));
        } else {
          ASSERT_EQ(1, w->WriteString(field, row[k].c_str()));
        }
      }
    }
    if (idx) {
      ASSERT_EQ(1, w->SelectIdx(0));
    }
    ASSERT_EQ(rows.empty() ? 0 : 1, w->Top());
  }

  // Customers (master) and their orders, indexed by customer code.
  void MakeShop() {
    Make(&cust_, "cust", {Fld("CODE", 'C', 3), Fld("NAME", 'C', 8)}, nullptr,
         nullptr,
         {{"A01", "Alice"}, {"B02", "Bob"}, {"C03", "Carol"}, {"Z99", "Zed"}});
    Make(&orders_, "orders",
         {Fld("CUST", 'C', 3), Fld("ITEM", 'C', 6), Fld("QTY", 'N', 3)},
         "bycust", "CUST",
         {{"B02", "nut", "5"},
          {"A01", "bolt", "1"},
          {"A01", "screw", "3"},
          {"C03", "gear", "2"},
          {"A01", "nail", "7"}});
  }

  // Field text of w trimmed, or "-" at end of file.
  static std::string Text(Wdbase& w, const char* field) {
    if (w.Eof()) return "-";
    const char* t = w.Read(field, 1, 1);
    return t ? t : "?";
  }
  std::string Shop() {
    return Text(cust_, "CODE") + ":" + Text(orders_, "ITEM");
  }

  // Composite records walked with step from the answer first on.
  template <typename Fn>
  std::vector<std::string> Walk(int first, Fn step,
                                const std::function<std::string()>& show) {
    std::vector<std::string> seen;
    for (int r = first; r == 1; r = step()) seen.push_back(show());
    return seen;
  }
  std::vector<std::string> Forward(Wdbase& w) {
    return Walk(
        w.TopRelation(), [&] { return w.NextRelation(); },
        [&] { return Shop(); });
  }
  std::vector<std::string> Backward(Wdbase& w) {
    return Walk(
        w.BottomRelation(), [&] { return w.PreviousRelation(); },
        [&] { return Shop(); });
  }

  platform::ScopedTempDrives drives_;
  std::string dir_;
  Wdbase cust_;
  Wdbase orders_;
};

using V = std::vector<std::string>;

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
  // The query names a closed table: its fields are blank, nothing matches.
  EXPECT_EQ(2, cust_.TopRelation());
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
    ASSERT_EQ(1, rel.SetQuery(""));
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
