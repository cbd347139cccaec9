// The archive through a table set: creating it, ids, replacing a record,
// refusals and their trace lines, tables that exist but cannot be opened or
// lie aside, the data-id rewrite, two processes saving at once, and (last,
// since it holds for the rest of the process) widening.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "exchange/xml_test_util.h"
#include "formula/hformula_history_test_util.h"
#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "platform/testing/child_process.h"

namespace {

using hftest::HistoryEnv;
using xmltest::ParseStrict;
using xmltest::ReadAll;

class ArchiveTest : public HistoryEnv {
 protected:
  // A handle of our own on the archive, opened.
  void OpenArchive(Wdbase* db) {
    Wdbase* h = ts_.Handle(Y_ARCHIVE);
    ASSERT_EQ(1, ts_.Open(h));
    std::string dir = h->GetPath();
    ASSERT_EQ(1, h->Close());
    const YTABLE* row = WyGetFileInfo(Y_ARCHIVE);
    ASSERT_EQ(1, db->SetFiles(dir.c_str(), row->def.name, row->def.idx_count,
                              row->def.idx_names, row->def.idx_exprs));
    ASSERT_EQ(1, db->Open());
  }
  std::string ArchiveHost() const { return LocalHost("ARCHIVE.DBF"); }

  CMixtable ts_;
};

TEST_F(ArchiveTest, CreatedOnRequestThenIdsAndReplacing) {
  EXPECT_EQ(0, hformula_CheckUpdateArchive(&ts_, false, 0, 0));
  ASSERT_EQ(1, hformula_CheckUpdateArchive(nullptr, false, 0, 1));
  EXPECT_TRUE(Traced("\nhformula_ArchiveCreate Done."));
  Wy_Formula f = Sample(0);
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  EXPECT_FALSE(ts_.Handle(Y_ARCHIVE)->IsOpen(0));
  f.m_Frm = "5,2";
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  f.m_Frm = "6,3";
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 1));  // replaces record 1
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, 3));  // outside 1..2
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, -1));
  Wdbase db;
  OpenArchive(&db);
  ASSERT_EQ(db.RecCount(), 2);
  ASSERT_EQ(1, db.Goto(1));
  EXPECT_EQ(std::string(db.Read("ID")), "    2");
  ASSERT_EQ(1, db.Goto(2));
  EXPECT_EQ(std::string(db.Read("ID")), "    3");
  EXPECT_EQ(std::string(db.Read("FORMULA", 0, 1)), "6,3");
}

TEST_F(ArchiveTest, RefusalsAndTraceLines) {
  Wy_Formula f = Sample(0);
  EXPECT_EQ(0, hformula_SaveInArchive(nullptr, &ts_, 0));
  EXPECT_EQ(0, hformula_SaveInArchive(&f, nullptr, 0));
  EXPECT_TRUE(
      Traced("\nhformula_SaveInArchive(ytable) Invalid input parameters."));
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, 0));  // no archive yet
  EXPECT_TRUE(
      Traced("\nhformula_SaveInArchive ERROR: the archive cannot be opened."));
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  f.m_Frm = std::string(97, '1');
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, 0));
  EXPECT_TRUE(Traced(
      "\nhformula_ArchiveAppend ERROR in hformula_ArchiveAddAndFillRecord."));
}

TEST_F(ArchiveTest, NeverCreatedOverAnExistingTable) {
  hftest::WriteFile("c:\\local\\ARCHIVE.DBF", "not a data file");
  EXPECT_EQ(0, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  EXPECT_EQ(ReadAll(ArchiveHost()), "not a data file");
  EXPECT_FALSE(Traced("\nhformula_ArchiveCreate Done."));
}

TEST_F(ArchiveTest, ATableSetAsideIsMovedBackNotCreatedAnew) {
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  Wy_Formula f = Sample(0);
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  // What an interrupted replacement leaves: the data file set aside.
  ASSERT_TRUE(platform::Env::Current()
                  ->RenameFile("c:\\local\\ARCHIVE.DBF",
                               "c:\\local\\ARCHIVE.DBF.old", false)
                  .ok());
  trace_.clear();
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  EXPECT_FALSE(Traced("\nhformula_ArchiveCreate Done."));
  Wdbase db;
  OpenArchive(&db);
  EXPECT_EQ(db.RecCount(), 1);
}

TEST_F(ArchiveTest, DataIdRewriteSparesOtherDataSets) {
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  Wy_Formula f = Sample(0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  {
    Wdbase db;
    OpenArchive(&db);
    ASSERT_EQ(1, db.Goto(1));
    ASSERT_EQ(1, db.WriteString("DATAID", "          "));
    ASSERT_EQ(1, db.Goto(3));
    ASSERT_EQ(1, db.WriteString("DATAID", "        17"));
  }
  const int flush = Wdbase::FlushGet();
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 5, 0));
  EXPECT_EQ(Wdbase::FlushGet(), flush);  // restored
  Wdbase db;
  OpenArchive(&db);
  const char* const want[] = {"         5", "         5", "        17"};
  for (int r = 1; r <= 3; ++r) {
    ASSERT_EQ(1, db.Goto(r));
    EXPECT_EQ(std::string(db.Read("DATAID")), want[r - 1]) << r;
  }
}

// Saves per process. Under wine a save takes about 100 ms (every table and
// document open passes through the wine server), ten times Linux: Windows
// saves fewer, enough for the two processes to overlap.
#ifdef _WIN32
constexpr int kEach = 50;
#else
constexpr int kEach = 200;
#endif

// The fixture's sample formula, for the child entries.
struct Samples : HistoryEnv {
  using HistoryEnv::Sample;
};

// args: k. Saves kEach formulas "k+1,i" into the archive and the history as
// shop k; 0 when every save succeeded.
KALVO_CHILD_MAIN(archive_save)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  const int k = std::stoi(args[0]);
  CMixtable ts;
  Wy_ShopData shop;
  shop.m_Shop1 = "Shop " + std::to_string(k);
  Wy_Formula f = Samples::Sample(0);
  int bad = 0;
  for (int i = 0; i < kEach; ++i) {
    f.m_Frm = std::to_string(k + 1) + "," + std::to_string(i);
    bad += hformula_SaveInArchive(&f, &ts, 0) != 1;
    bad += hformula_SaveInHistory(&f, &shop, nullptr) != 1;
  }
  return bad == 0 ? 0 : 1;
}

// Two processes each save kEach formulas into the archive and the history.
TEST_F(ArchiveTest, TwoProcessesSaveAtOnce) {
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  ASSERT_EQ(1, hformula_CheckUpdateHistory(false, nullptr, 0, 1));
  std::unique_ptr<platform::Process> kids[2];
  for (int k = 0; k < 2; ++k) {
    ASSERT_TRUE(platform::testing::StartChild("archive_save",
                                              {std::to_string(k)}, &kids[k])
                    .ok());
  }
  for (auto& kid : kids) EXPECT_EQ(0, platform::testing::WaitChild(kid.get()));
  Wdbase db;
  OpenArchive(&db);
  EXPECT_EQ(db.RecCount(), 2 * kEach);
  std::set<int32_t> ids;
  for (int more = db.Top(); more && !db.Eof(); more = db.Next())
    ids.insert(db.ReadLong("ID"));
  EXPECT_EQ(ids.size(), 2u * kEach);
  EXPECT_EQ(*ids.rbegin(), 2 * kEach);
  Wdbase hist;
  ASSERT_EQ(1, hformula_HistorySetDbPathAndName(&hist, nullptr));
  ASSERT_EQ(1, hist.Open());
  EXPECT_EQ(hist.RecCount(), 2 * kEach);
  for (const char* name : {"HISTORY.XML", "XMLHIST.XML"}) {
    const std::string doc = ReadAll(LocalHost(name));
    std::string why;
    EXPECT_TRUE(ParseStrict(doc, &why)) << name << ": " << why;
    size_t n = 0;
    for (size_t p = doc.find("<FORMULA>"); p != std::string::npos;
         p = doc.find("<FORMULA>", p + 1))
      ++n;
    EXPECT_EQ(n, 2u * kEach) << name;
  }
}

// Last: widening holds for the rest of the process.
TEST_F(ArchiveTest, WideningConvertsTheArchiveAndKeepsItsRecords) {
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, false, 0, 1));
  Wy_Formula f = Sample(0);
  f.m_Frm = std::string(96, '1');
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  f.m_Frm = std::string(97, '2');
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, 0));
  EXPECT_FALSE(hformula_IsWidened());
  ASSERT_EQ(1, hformula_CheckUpdateArchive(&ts_, true, 0, 0));
  EXPECT_TRUE(hformula_IsWidened());
  ASSERT_EQ(1, hformula_SaveInArchive(&f, &ts_, 0));
  f.m_Frm = std::string(129, '3');
  EXPECT_EQ(0, hformula_SaveInArchive(&f, &ts_, 0));
  Wdbase db;
  OpenArchive(&db);
  EXPECT_EQ(db.FieldLen("FORMULA"), 128);
  ASSERT_EQ(db.RecCount(), 2);
  ASSERT_EQ(1, db.Goto(1));
  EXPECT_EQ(std::string(db.Read("FORMULA", 0, 1)), std::string(96, '1'));
  EXPECT_EQ(std::string(db.Read("ID")), "    1");
  ASSERT_EQ(1, db.Goto(2));
  EXPECT_EQ(std::string(db.Read("FORMULA", 0, 1)), std::string(97, '2'));
  EXPECT_EQ(std::string(db.Read("ID")), "    2");
  // The history's FRM is C128 whatever the flag.
  EXPECT_EQ(hformula_GetHistoryDef()[4].len, 128);
}

}  // namespace
