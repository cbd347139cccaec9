// CMixtableEx::Convert against real tables: matching, the log lines, the
// survival rule, extras, renames, memo texts, deleted marks, failures.

#include "maintenance/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "testing/held_table.h"
#include "testing/table_rows.h"

namespace {

using convert_testing::Field;
using convert_testing::MakeTable;
using convert_testing::ReadTable;
using convert_testing::Row;
using convert_testing::TableRows;

constexpr const char* kBlend = "c:\\gdata\\cnt_blnd.dbf";

int g_boxes = 0;
std::string g_box_text, g_box_caption;
int RecordBox(const char* caption, const char* text, unsigned) {
  ++g_boxes;
  g_box_caption = caption;
  g_box_text = text;
  return platform::kIdOk;
}

class ConvertTest : public SampleDataSetTest {
 protected:
  void SetUp() override {
    SampleDataSetTest::SetUp();
    g_boxes = 0;
    prev_box_ = platform::SetMessageBoxHook(RecordBox);
  }
  void TearDown() override { platform::SetMessageBoxHook(prev_box_); }

  // CNT_BLND with the dictionary's structure (ID C5, PTR_ID C5, PTR_CONCP
  // N 8.3, PROD_KEY C5, SUBP_KEY C5), optionally changed by the caller.
  std::vector<Field> Dictionary() {
    return {{"ID", 'C', 5, 0},
            {"PTR_ID", 'C', 5, 0},
            {"PTR_CONCP", 'N', 8, 3},
            {"PROD_KEY", 'C', 5, 0},
            {"SUBP_KEY", 'C', 5, 0}};
  }

  bool NoWorkFiles() {
    std::vector<platform::DirEntry> e;
    platform::Env::Current()->ListDir("c:\\gdata\\", "$$$*", &e);
    return e.empty();
  }

  platform::MessageBoxHook prev_box_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(ConvertTest, AMatchingTableAnswersZeroWithoutLines) {
  ASSERT_TRUE(
      MakeTable(kBlend, Dictionary(), {{"    1", "    2", "   1.500"}}));
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 0);
  EXPECT_TRUE(log_.empty());
}

TEST_F(ConvertTest, ChangeAndInsertLinesAndTheConvertedValues) {
  std::vector<Field> f = Dictionary();
  f[2] = {"PTR_CONCP", 'N', 6, 2};
  f.pop_back();  // SUBP_KEY missing
  ASSERT_TRUE(MakeTable(kBlend, f, {{"    1", "    2", "  1.50", "K"}}));
  log_.push_back("old line");
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], "CHANGE: PTR_CONCP  N   6.2 -> PTR_CONCP  N   8.3");
  EXPECT_EQ(log_[1], "INSERT: SUBP_KEY   C   5.0");
  TableRows rows = ReadTable(kBlend);
  ASSERT_EQ(rows.fields.size(), 5u);
  EXPECT_EQ(rows.fields[2].len, 8);
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].values[2], "   1.500");
  EXPECT_EQ(rows.rows[0].values[3], "K    ");
  EXPECT_EQ(rows.rows[0].values[4], "     ");
  EXPECT_TRUE(NoWorkFiles());
  EXPECT_EQ(g_boxes, 0);
}

TEST_F(ConvertTest, AWiderTextFieldIsKeptWithoutExactWidths) {
  std::vector<Field> f = Dictionary();
  f[3] = {"PROD_KEY", 'C', 12, 0};
  ASSERT_TRUE(
      MakeTable(kBlend, f, {{"    1", "    2", "   1.000", "LONGKEY"}}));
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 0);
  EXPECT_TRUE(log_.empty());
  // Another change converts the table and the wide field keeps its width.
  f[2] = {"PTR_CONCP", 'N', 6, 3};
  ASSERT_TRUE(MakeTable(kBlend, f, {{"    1", "    2", " 1.000", "LONGKEY"}}));
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
  EXPECT_EQ(ReadTable(kBlend).fields[3].len, 12);
  EXPECT_EQ(ReadTable(kBlend).rows[0].values[3], "LONGKEY     ");
  // The dictionary is reloaded after widening.
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_CNT_BLND, 4)->len, 5);
  // With exact widths the text does not fit: the field keeps its width.
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, true), 0);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0],
            "KEEP  : PROD_KEY   C  12.0 -> PROD_KEY   C   5.0 (record 1)");
}

TEST_F(ConvertTest, StarsIntoNumberAndLogicalTargets) {
  WDBASE_FIELD n{"N", 'N', 5, 0, 0}, l{"L", 'L', 1, 0, 0};
  mixtable::CellIn in;
  in.type = 'N';
  in.len = 5;
  in.bytes = "*****";
  char out[8] = {};
  EXPECT_TRUE(mixtable::ConvertCell(in, n, out, nullptr));
  EXPECT_EQ(std::string(out, 5), "*****");
  EXPECT_TRUE(mixtable::ConvertCell(in, l, out, nullptr));
  EXPECT_EQ(out[0], 'F');
}

TEST_F(ConvertTest, ExtraFieldsAreKeptOrRemovedOnRequest) {
  std::vector<Field> f = Dictionary();
  f.insert(f.begin() + 1, {"EXTRA1", 'C', 4, 0});
  f.push_back({"EXTRA2", 'N', 3, 0});
  ASSERT_TRUE(MakeTable(kBlend, f,
                        {{"    1", "abcd", "    2", "   1.000", "", "", "  7"},
                         {"    2", "", "    3", "   2.000", "", "", ""}}));
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 0);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], "EXTRA : EXTRA1     C   4.0");
  EXPECT_EQ(log_[1], "EXTRA : EXTRA2     N   3.0");
  YTABLE_CONVERT_OPTIONS dry;
  dry.dryRun = true;
  dry.removeExtraFields = true;
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false, dry), 1);
  EXPECT_EQ(ReadTable(kBlend).fields.size(), 7u);  // nothing written
  YTABLE_CONVERT_OPTIONS remove;
  remove.removeExtraFields = true;
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false, remove), 1);
  ASSERT_EQ(log_.size(), 3u);
  EXPECT_EQ(log_[0], "REMOVE EXTRA FIELDS");
  EXPECT_EQ(log_[1], "REMOVE: EXTRA1     C   4.0 (1 records)");
  EXPECT_EQ(log_[2], "REMOVE: EXTRA2     N   3.0 (1 records)");
  EXPECT_EQ(ReadTable(kBlend).fields.size(), 5u);
}

TEST_F(ConvertTest, ExtrasGoAfterTheDictionaryFieldsWithTheirValues) {
  std::vector<Field> f = {{"NOTE", 'M', 10, 0},
                          {"ID", 'C', 5, 0},
                          {"PTR_ID", 'C', 5, 0},
                          {"OLDVAL", 'C', 3, 0}};
  ASSERT_TRUE(MakeTable(kBlend, f,
                        {{"memo:first text", "    1", "    2", "xyz"},
                         {"", "    2", "    3", "q"}},
                        /*deleted=*/{false, true}));
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
  TableRows rows = ReadTable(kBlend);
  ASSERT_EQ(rows.fields.size(), 7u);
  EXPECT_EQ(rows.fields[5].name, "NOTE");
  EXPECT_EQ(rows.fields[6].name, "OLDVAL");
  ASSERT_EQ(rows.rows.size(), 2u);
  EXPECT_EQ(rows.rows[0].values[5], "first text");
  EXPECT_EQ(rows.rows[0].values[6], "xyz");
  EXPECT_FALSE(rows.rows[0].deleted);
  EXPECT_TRUE(rows.rows[1].deleted);
  EXPECT_EQ(rows.rows[1].values[0], "    2");
  EXPECT_EQ(rows.rows[1].values[5], "");
  // The offsets describe the record buffers of both tables.
  YTABLE_DICTIONARY d = ts_.GetDictionaryItem(Y_CNT_BLND);
  EXPECT_EQ(d.offsets[0], 10);  // ID after the memo field in the old table
  EXPECT_EQ(d.offsets[1], 0);
  EXPECT_EQ(d.offsets[2], 15);
  EXPECT_EQ(d.offsets[3], 5);
  EXPECT_EQ(d.offsets[9], 23);  // SUBP_KEY: 5 + 5 + 8 + 5
  EXPECT_STREQ(d.matchedFields[1].name, "PTR_ID");
  EXPECT_EQ(d.matchedFields[1].reserved, 3);
  EXPECT_EQ(d.matchedFields[2].name[0], '\0');
}

TEST_F(ConvertTest, TextIntoMemoAndMemoIntoTextOnlyWhenEmpty) {
  std::vector<Field> f = Dictionary();
  f[3] = {"PROD_KEY", 'M', 10, 0};
  ASSERT_TRUE(MakeTable(kBlend, f,
                        {{"    1", "    2", "   1.000", "memo:"},
                         {"    2", "    2", "   1.000", "memo:long text"}}));
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 0);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0],
            "KEEP  : PROD_KEY   M  10.0 -> PROD_KEY   C   5.0 (record 2)");
  YTABLE_CONVERT_OPTIONS loss;
  loss.allowLoss = true;
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false, loss), 1);
  EXPECT_EQ(ReadTable(kBlend).rows[1].values[3], "long ");
}

TEST_F(ConvertTest, AnEmptyTableIsConvertedWithoutLines) {
  std::vector<Field> f = Dictionary();
  f[2] = {"PTR_CONCP", 'C', 3, 0};
  f.pop_back();
  ASSERT_TRUE(MakeTable(kBlend, f, {}));
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(ReadTable(kBlend).fields.size(), 5u);
}

TEST_F(ConvertTest, RenamesApplyOnOldTablesWithTheirOldIndexes) {
  for (int table : {Y_CNT_BLND, Y_BAS_BLND}) {
    const std::string name = table == Y_CNT_BLND ? "cnt_blnd" : "bas_blnd";
    const std::string path = "c:\\gdata\\" + name + ".dbf";
    const std::string old_id = table == Y_CNT_BLND ? "CNT_ID" : "BAS_ID";
    std::vector<Field> f = Dictionary();
    f[1].name = old_id;
    ASSERT_TRUE(
        MakeTable(path, f, {{"    1", "    7", "   1.000"}}, {},
                  {{name, "ID"}, {name.substr(0, 3) + "_bptr", old_id}}));
    const YTABLE_RENAMEFIELD renames[] = {{old_id.c_str(), "PTR_ID"},
                                          {nullptr, nullptr}};
    ASSERT_EQ(ts_.Convert(table, renames, log_, false), 1) << name;
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0],
              "CHANGE: " + old_id + "     C   5.0 -> PTR_ID     C   5.0");
    EXPECT_FALSE(platform::Env::Current()->FileExists(
        "c:\\gdata\\" + name.substr(0, 3) + "_bptr.ntx"));
    // The table set opens it with its registry indexes again.
    Wdbase* db = ts_.Handle(table);
    ASSERT_TRUE(ts_.Open(db));
    ASSERT_TRUE(db->SelectIdx(2));
    EXPECT_EQ(db->Seek("    7"), 1);
    ts_.CloseAll();
  }
}

TEST_F(ConvertTest, ARenameOntoAnExistingNameKeepsTheOldFieldAsExtra) {
  std::vector<Field> f = Dictionary();
  f.push_back({"CNT_ID", 'C', 5, 0});
  ASSERT_TRUE(
      MakeTable(kBlend, f, {{"    1", "    2", "   1.000", "", "", "    9"}}));
  const YTABLE_RENAMEFIELD renames[] = {{"CNT_ID", "PTR_ID"},
                                        {nullptr, nullptr}};
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, renames, log_, false), 0);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], "EXTRA : CNT_ID     C   5.0");
  EXPECT_EQ(ReadTable(kBlend).rows[0].values[5], "    9");
}

TEST_F(ConvertTest, FailuresLeaveTheOldTableWholeAndNoWorkFile) {
  std::vector<Field> f = Dictionary();
  f[2] = {"PTR_CONCP", 'N', 6, 2};
  const std::vector<Row> rows = {{"    1", "    2", "  1.50"},
                                 {"    2", "    3", "  2.25"}};
  struct Case {
    const char* text;
    unsigned ops;
    bool box;  // a failure of the copy or the swap (not of the open)
  } cases[] = {{"$$$", platform::FaultInjectionEnv::kWrite, true},
               {"$$$", platform::FaultInjectionEnv::kOpen, true},
               {"$$$", platform::FaultInjectionEnv::kRename, true},
               {".old", platform::FaultInjectionEnv::kRename, true},
               {"cnt_blnd.dbf", platform::FaultInjectionEnv::kLock, false}};
  for (const Case& c : cases) {
    ASSERT_TRUE(MakeTable(kBlend, f, rows));
    const TableRows before = ReadTable(kBlend);
    g_boxes = 0;
    {
      platform::FaultInjectionEnv env(platform::Env::Current());
      platform::ScopedEnv use(&env);
      env.FailPath(c.text, c.ops, ENOSPC);
      EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), -1) << c.text;
    }
    if (c.box) {
      ASSERT_FALSE(log_.empty());
      EXPECT_EQ(log_.back(), "CONVERSION ERROR");
      EXPECT_EQ(g_boxes, 1);
      EXPECT_EQ(g_box_text, "ERROR: Check LOG file for details");
      EXPECT_EQ(g_box_caption, "DBF Convert");
    }
    EXPECT_TRUE(ReadTable(kBlend) == before) << c.text;
    EXPECT_TRUE(NoWorkFiles()) << c.text;
  }
}

TEST_F(ConvertTest, ATableHeldByAnotherProcessIsNotReplaced) {
  std::vector<Field> f = Dictionary();
  f[2] = {"PTR_CONCP", 'N', 6, 2};
  ASSERT_TRUE(MakeTable(kBlend, f, {{"    1", "    2", "  1.50"}}));
  const TableRows before = ReadTable(kBlend);
  for (bool lock : {false, true}) {
    {
      mixtable_testing::HeldTable held("c:\\gdata\\", "cnt_blnd", lock);
      ASSERT_TRUE(held.ok());
      EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), -1) << lock;
    }
    EXPECT_TRUE(ReadTable(kBlend) == before);
    EXPECT_TRUE(NoWorkFiles());
  }
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
}

// args: n. Converts CNT_BLND of c:\gdata\ and is killed right after the
// n-th mutating call; exit status 0 when the conversion completed.
KALVO_CHILD_MAIN(convert_killed_after)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.CrashAfterMutations(std::stoll(args[0]));
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata\\");
  std::vector<std::string> log;
  return ts.Convert(Y_CNT_BLND, nullptr, log, false) == 1 ? 0 : 1;
}

TEST_F(ConvertTest, AKillAtEveryStepLeavesTheOldTableOrTheNewOne) {
  std::vector<Field> f = Dictionary();
  f[2] = {"PTR_CONCP", 'N', 6, 2};
  f.push_back({"NOTE", 'M', 10, 0});
  const std::vector<Row> rows = {{"    1", "    2", "  1.50", "", "", "memo:a"},
                                 {"    2", "    3", "  2.25", "", "", ""}};
  ASSERT_TRUE(MakeTable(kBlend, f, rows, {false, true}));
  const TableRows before = ReadTable(kBlend);
  ASSERT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), 1);
  const TableRows converted = ReadTable(kBlend);
  ASSERT_EQ(converted.fields.size(), 6u);
  bool finished = false;
  int n = 1;
  for (; n < 400 && !finished; ++n) {
    ASSERT_TRUE(MakeTable(kBlend, f, rows, {false, true}));
    const int code = platform::testing::RunChild("convert_killed_after",
                                                 {std::to_string(n)});
    finished = code != platform::testing::kChildKilled;
    if (finished) {
      EXPECT_EQ(code, 0);
    }
    const TableRows now = ReadTable(kBlend);  // Open undoes a half swap
    EXPECT_TRUE(now == before || now == converted) << "killed at " << n;
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(n, 10);  // the crash points covered the copy and the swap
}

TEST_F(ConvertTest, WithoutHandleOrDictionaryOrTable) {
  EXPECT_EQ(ts_.Convert(Y_N_MAX, nullptr, log_, false), -1);
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), -1);  // no file
  platform::Env::Current()->SetEnv("KALVO_DCT", "c:\\none.dct");
  ASSERT_TRUE(MakeTable(kBlend, Dictionary(), {}));
  CMixtableEx fresh;
  fresh.SetDataDir("c:\\gdata\\");
  EXPECT_EQ(fresh.Convert(Y_CNT_BLND, nullptr, log_, false), -1);
  platform::Env::Current()->UnsetEnv("KALVO_DCT");
  // A memo field without its memo file.
  std::vector<Field> f = Dictionary();
  f.push_back({"NOTE", 'M', 10, 0});
  f[2].len = 6;
  ASSERT_TRUE(MakeTable(kBlend, f, {{"    1", "", "", "", "", "memo:x"}}));
  ASSERT_TRUE(
      platform::Env::Current()->DeleteFile("c:\\gdata\\cnt_blnd.dbt").ok());
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), -1);
  EXPECT_TRUE(NoWorkFiles());
  // Not a table.
  std::unique_ptr<platform::File> file;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile(kBlend, platform::OpenMode::kCreateAlways, &file)
                  .ok());
  ASSERT_TRUE(file->WriteAt(0, "not a table", 11).ok());
  file.reset();
  EXPECT_EQ(ts_.Convert(Y_CNT_BLND, nullptr, log_, false), -1);
}

}  // namespace
