// The fixture of the relation tests: a temporary directory, tables made
// from rows, and walks collected as composite texts.

#ifndef XBASE32_RELATION_TEST_FIXTURE_H_
#define XBASE32_RELATION_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "test_util.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {

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

}  // namespace xbase32::testing

#endif  // XBASE32_RELATION_TEST_FIXTURE_H_
