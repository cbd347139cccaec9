// Indexes through table maintenance: Pack, Zap, FieldAdd, FieldRemove and
// WdbaseCopyUpdateDb leave every index sound (the tree check) with exactly
// one entry per record holding its current key.

#include <algorithm>
#include <map>

#include "maintenance_test_util.h"
#include "ntx_file.h"
#include "wdbase_access.h"
#include "wdbase_order.h"
#include "xbase32/wdbase_verify.h"

namespace xbase32::testing {
namespace {

class IndexMaintenanceTest : public TableTest {
 protected:
  // NAME C(8), QTY N(5), NOTES M; index 1 on NAME, index 2 on QTY; n
  // records "Rnnn" with QTY (i * 7) % 50 and texts; every third deleted.
  bool Define(Wdbase* w) {
    const char* names[] = {"byname", "byqty"};
    const char* exprs[] = {"NAME", "QTY"};
    return w->SetFiles(dir_.c_str(), "stock", 2, names, exprs) != 0;
  }
  void MakeStock(Wdbase* w, int n) {
    auto f = Fields(
        {Fld("NAME", 'C', 8), Fld("QTY", 'N', 5), Fld("NOTES", 'M', 10)});
    ASSERT_TRUE(Define(w));
    ASSERT_EQ(1, w->CreateDb(f.data()));
    ASSERT_EQ(1, w->Open());
    Wdbase::FlushSet(0);
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString("NAME", Name(i).c_str()));
      ASSERT_EQ(1, w->WriteInt("QTY", (i * 7) % 50));
      const std::string t = NoteText(i % 5 + 1);
      ASSERT_EQ(1, w->MemoWrite("NOTES", t.data(), t.size()));
      if (i % 3 == 0) {
        ASSERT_EQ(1, w->Delete());
      }
    }
    ASSERT_EQ(1, w->Flush());
    Wdbase::FlushSet(1);
  }
  static std::string Name(int i) {
    char s[16];
    std::snprintf(s, sizeof s, "R%03d", i);
    return s;
  }
  // Every index of w passes the tree check and holds exactly the keys of
  // the records: (key -> record) equals what the records say.
  void ExpectSound(Wdbase* w) {
    for (int k = 1; k <= w->GetIdxCount(); ++k) {
      SCOPED_TRACE(k);
      NtxFile* ix = IndexOf(w, k);
      ASSERT_NE(nullptr, ix);
      std::multimap<uint32_t, std::string> entries;
      const int L = ix->key_info().length;
      ASSERT_EQ("", ix->CheckTree([&](const char* key, uint32_t r) {
        entries.emplace(r, std::string(key, L));
      }));
      ASSERT_EQ(static_cast<size_t>(w->RecCount()), entries.size());
      std::vector<char> key(static_cast<size_t>(L));
      DbfFile* d = WdbaseAccess::Data(w);
      for (int32_t r = 1; r <= w->RecCount(); ++r) {
        ASSERT_EQ(1, w->Goto(r));
        ASSERT_EQ(1u, entries.count(static_cast<uint32_t>(r))) << r;
        ASSERT_TRUE(ix->KeyOf(d->record(), r, key.data()));
        EXPECT_EQ(std::string(key.data(), key.size()),
                  entries.find(static_cast<uint32_t>(r))->second)
            << r;
      }
    }
  }
  // Names in the order of index k.
  static std::vector<std::string> InOrder(Wdbase* w, int k) {
    w->SelectIdx(k);
    std::vector<std::string> v;
    for (int ok = w->Top(); ok; ok = w->Next()) {
      v.push_back(w->Read("NAME", 0, 1));
    }
    w->SelectIdx(0);
    return v;
  }
};

TEST_F(IndexMaintenanceTest, PackAndZapRebuildTheIndexes) {
  Wdbase w;
  MakeStock(&w, 300);
  ASSERT_EQ(1, w.SelectIdx(1));
  ASSERT_EQ(1, w.Pack());
  EXPECT_EQ(200, w.RecCount());
  EXPECT_EQ(1, w.SelectedIdx());  // the order stays selected
  ExpectSound(&w);
  const std::vector<std::string> by_name = InOrder(&w, 1);
  ASSERT_EQ(200u, by_name.size());
  EXPECT_TRUE(std::is_sorted(by_name.begin(), by_name.end()));
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(1, w.Seek("R004"));
  EXPECT_EQ(3, w.RecNo());       // R001, R002, R004
  EXPECT_EQ(2, w.Seek("R003"));  // packed away
  EXPECT_STREQ("R004", w.Read("NAME", 0, 1));

  ASSERT_EQ(1, w.Zap(10, 150));
  EXPECT_EQ(59, w.RecCount());
  ExpectSound(&w);
  ASSERT_EQ(1, w.Zap());
  EXPECT_EQ(0, w.RecCount());
  ExpectSound(&w);
  EXPECT_EQ(3, w.Seek("R001"));
  ASSERT_EQ(1, w.AppendBlank());
  ASSERT_EQ(1, w.WriteString("NAME", "NEW"));
  EXPECT_EQ(1, w.Seek("NEW"));
  ExpectSound(&w);
}

TEST_F(IndexMaintenanceTest, FieldAddAndFieldRemoveKeepTheIndexes) {
  Wdbase w;
  MakeStock(&w, 120);
  ASSERT_EQ(1, w.FieldAdd(1, "ID", 'N', 6, 0));
  ExpectSound(&w);
  ASSERT_EQ(1, w.FieldRemove(1));
  ASSERT_EQ(1, w.FieldRemove(3));  // NOTES
  EXPECT_EQ(2, w.FieldCount());
  ExpectSound(&w);
  EXPECT_EQ(120, w.RecCount());
  ASSERT_EQ(1, w.SelectIdx(2));
  EXPECT_EQ(1, w.Seek(49.0));
  EXPECT_EQ(49, w.ReadInt("QTY"));
}

TEST_F(IndexMaintenanceTest, FieldRemoveOfAnIndexedFieldIsRefused) {
  Wdbase w;
  MakeStock(&w, 10);
  const std::string before = Bytes("stock.dbf");
  // The index on QTY could never be built again without QTY.
  EXPECT_EQ(0, w.FieldRemove(2));
  EXPECT_EQ(1, w.IsOpen(0));
  EXPECT_EQ(3, w.FieldCount());
  EXPECT_EQ(before, Bytes("stock.dbf"));
  ExpectSound(&w);
  std::vector<platform::DirEntry> all;
  platform::Env::Current()->ListDir(dir_, "$$$*", &all);
  EXPECT_TRUE(all.empty());
}

TEST_F(IndexMaintenanceTest, ReplacingTheSourceLeavesIndexesForTheNextOpen) {
  Wdbase w;
  MakeStock(&w, 50);
  auto f = Fields({Fld("QTY", 'N', 8, 2), Fld("NAME", 'C', 10)});
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&w, nullptr, f.data(), nullptr));
  EXPECT_FALSE(platform::Env::Current()->FileExists(Host("byname.ntx")));
  ASSERT_EQ(1, w.Open());  // builds both indexes again
  ExpectSound(&w);
  EXPECT_EQ(50, w.RecCount());
  // A structure without a field an index needs is refused.
  ASSERT_EQ(1, w.Close());
  auto g = Fields({Fld("NAME", 'C', 10)});
  EXPECT_EQ(0, WdbaseCopyUpdateDb(&w, nullptr, g.data(), nullptr));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(2, w.FieldCount());
}

TEST_F(IndexMaintenanceTest, CopyIntoAnIndexedTableKeepsItsIndexCurrent) {
  Wdbase src;
  MakeStock(&src, 40);
  Wdbase dst;
  const char* names[] = {"dstname"};
  const char* exprs[] = {"UPPER(NAME)"};
  ASSERT_EQ(1, dst.SetFiles(dir_.c_str(), "dst", 1, names, exprs));
  auto f = Fields({Fld("NAME", 'C', 6)});
  ASSERT_EQ(1, dst.CreateDb(f.data()));
  ASSERT_EQ(1, dst.Open());
  ASSERT_EQ(1, src.SelectIdx(2));  // copied in QTY order
  ASSERT_EQ(1, WdbaseCopyUpdateDb(&src, &dst, nullptr, nullptr));
  ExpectSound(&dst);
  EXPECT_EQ(40, dst.RecCount());
  ASSERT_EQ(1, dst.Goto(1));
  ASSERT_EQ(1, src.Top());
  EXPECT_STREQ(src.Read("NAME", 0, 1), dst.Read("NAME", 0, 1));
}

TEST_F(IndexMaintenanceTest, SpecialFiltersFollowPacksAndEndWithNewFields) {
  Wdbase w;
  MakeStock(&w, 60);
  ASSERT_EQ(1, w.SelectIdx(1));
  ASSERT_TRUE(w.SpecialFilterInit("QTY > 20", false, true));
  ASSERT_EQ(1, w.Pack());
  // Through the filter: exactly the records left with QTY > 20, in order.
  std::vector<std::string> seen, want;
  for (int ok = w.Top(); ok; ok = w.Next()) seen.push_back(w.Read("NAME"));
  for (int i = 1; i <= 60; ++i) {
    if (i % 3 != 0 && (i * 7) % 50 > 20) want.push_back(Name(i) + "    ");
  }
  EXPECT_EQ(want, seen);
  ASSERT_EQ(1, w.FieldAdd(0, "X", 'C', 1, 0));
  EXPECT_FALSE(w.SpecialFilterIsEnabled());
  std::vector<platform::DirEntry> spf;
  platform::Env::Current()->ListDir(dir_, "SPF*", &spf);
  EXPECT_TRUE(spf.empty());
  EXPECT_EQ(40, w.RecCount());
}

// WdbaseIndexMatchesData: a built index matches; a record changed or
// appended by a handle without the index makes it stale until it is
// rebuilt; bad arguments answer 0; the current record is kept.
TEST_F(IndexMaintenanceTest, IndexMatchesDataUntilTheDataChangesWithoutIt) {
  {
    Wdbase w;
    MakeStock(&w, 200);
    EXPECT_EQ(1, WdbaseIndexMatchesData(&w, 1));
    EXPECT_EQ(1, WdbaseIndexMatchesData(&w, 2));
    EXPECT_EQ(0, WdbaseIndexMatchesData(&w, 0));
    EXPECT_EQ(0, WdbaseIndexMatchesData(&w, 3));
    EXPECT_EQ(0, WdbaseIndexMatchesData(nullptr, 1));
    ASSERT_EQ(1, w.Goto(17));
    EXPECT_EQ(1, WdbaseIndexMatchesData(&w, 1));
    EXPECT_EQ(17, w.RecNo());
    w.Close();
  }
  {  // NAME of record 5 changed without the indexes
    Wdbase plain;
    ASSERT_TRUE(OpenTable(&plain, "stock"));
    ASSERT_EQ(1, plain.Goto(5));
    ASSERT_EQ(1, plain.WriteString("NAME", "ZZZ"));
    ASSERT_EQ(1, plain.Flush());
    plain.Close();
  }
  {
    Wdbase w;
    ASSERT_TRUE(Define(&w));
    ASSERT_EQ(1, w.Open());
    EXPECT_EQ(0, WdbaseIndexMatchesData(&w, 1));
    EXPECT_EQ(1, WdbaseIndexMatchesData(&w, 2));  // QTY unchanged
    ASSERT_EQ(1, w.RebuildIdx());
    EXPECT_EQ(1, WdbaseIndexMatchesData(&w, 1));
    ExpectSound(&w);
    w.Close();
  }
  {  // a record appended without the indexes: both miss it
    Wdbase plain;
    ASSERT_TRUE(OpenTable(&plain, "stock"));
    ASSERT_EQ(1, plain.AppendBlank());
    ASSERT_EQ(1, plain.WriteString("NAME", "NEW"));
    ASSERT_EQ(1, plain.Flush());
    plain.Close();
  }
  Wdbase w;
  ASSERT_TRUE(Define(&w));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(0, WdbaseIndexMatchesData(&w, 1));
  EXPECT_EQ(0, WdbaseIndexMatchesData(&w, 2));
  w.Close();
}

}  // namespace
}  // namespace xbase32::testing
