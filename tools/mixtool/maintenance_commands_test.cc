#include "maintenance_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "testing/table_rows.h"

namespace mixtool {
namespace {

using convert_testing::ReadTable;
using convert_testing::TableRows;

class MaintenanceCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
  }
  // Adds a field the dictionary does not know to a table and gives its
  // first record a value.
  void AddExtra(const std::string& path, const char* name, char type, int len,
                const char* value) {
    const size_t slash = path.find_last_of('\\');
    Wdbase t;
    ASSERT_TRUE(t.SetFiles(path.substr(0, slash + 1).c_str(),
                           path.substr(slash + 1).c_str(), 0, nullptr,
                           nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.FieldAdd(0, name, type, len, 0));
    ASSERT_TRUE(t.Top());
    if (type == 'M') {
      ASSERT_TRUE(t.MemoWrite(name, value, std::strlen(value)));
    } else if (type == 'N') {
      ASSERT_TRUE(t.WriteLong(name, std::atoi(value)));
    } else {
      ASSERT_TRUE(t.WriteString(name, value));
    }
    t.Close();
  }
  // Every field of before is in after with the same values.
  void ExpectKept(const TableRows& before, const TableRows& after) {
    ASSERT_TRUE(after.ok);
    ASSERT_EQ(before.rows.size(), after.rows.size());
    for (size_t f = 0; f < before.fields.size(); ++f) {
      size_t g = 0;
      while (g < after.fields.size() &&
             after.fields[g].name != before.fields[f].name)
        ++g;
      ASSERT_LT(g, after.fields.size()) << before.fields[f].name;
      EXPECT_TRUE(after.fields[g] == before.fields[f]) << before.fields[f].name;
      for (size_t r = 0; r < before.rows.size(); ++r) {
        EXPECT_EQ(after.rows[r].values[g], before.rows[r].values[f]);
        EXPECT_EQ(after.rows[r].deleted, before.rows[r].deleted);
      }
    }
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(MaintenanceCommandsTest, ExtraFieldsInSeveralTablesSurviveConvert) {
  const std::string cnts = "c:\\gdata\\cnts.dbf";
  const std::string bases = "c:\\gdata\\bases.dbf";
  const std::string frm = "c:\\gdata\\p1\\s1\\frm.dbf";
  AddExtra(cnts, "CYL_X", 'C', 6, "cyl 1");
  AddExtra(bases, "OUR_NUM", 'N', 4, "17");
  AddExtra(frm, "OUR_NOTE", 'M', 10, "a note\r\nof two lines");
  {
    // BASES lacks a dictionary field too: it is rebuilt.
    Wdbase t;
    ASSERT_TRUE(t.SetFiles("c:\\gdata\\", "bases", 0, nullptr, nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.FieldRemove(2));
  }
  const TableRows b_cnts = ReadTable(cnts), b_bases = ReadTable(bases),
                  b_frm = ReadTable(frm);
  ConvertArgs args;
  ASSERT_EQ(Convert("c:\\gdata\\", args, out_, err_), 0) << err_.str();
  const std::string s = out_.str();
  EXPECT_NE(s.find("CNTS c:\\gdata\\: unchanged\n  EXTRA : CYL_X      C   "
                   "6.0\n"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("FRM c:\\gdata\\P1\\S1\\: unchanged\n  EXTRA : OUR_NOTE"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("BASES c:\\gdata\\: converted\n  INSERT: "),
            std::string::npos)
      << s;
  EXPECT_EQ(s.find("FAILED"), std::string::npos) << s;
  ExpectKept(b_cnts, ReadTable(cnts));
  ExpectKept(b_bases, ReadTable(bases));
  ExpectKept(b_frm, ReadTable(frm));
  // A second run changes nothing.
  out_.str("");
  ASSERT_EQ(Convert("c:\\gdata\\", args, out_, err_), 0);
  EXPECT_EQ(out_.str().find(": converted"), std::string::npos) << out_.str();
  // Removing extras on request, one table.
  args.table = "cnts";
  args.options.removeExtraFields = true;
  out_.str("");
  ASSERT_EQ(Convert("c:\\gdata\\", args, out_, err_), 0);
  EXPECT_NE(out_.str().find("CNTS c:\\gdata\\: converted\n  REMOVE EXTRA "
                            "FIELDS\n  REMOVE: CYL_X      C   6.0 (1 "
                            "records)\n"),
            std::string::npos)
      << out_.str();
  EXPECT_EQ(ReadTable(cnts).fields.size() + 1, b_cnts.fields.size());
  args.table = "nosuch";
  EXPECT_EQ(Convert("c:\\gdata\\", args, out_, err_), 1);
}

TEST_F(MaintenanceCommandsTest, ConvertReportsAFailedTable) {
  std::string error;
  // A CNTS held by a lock of another handle cannot be rebuilt.
  const std::string cnts = "c:\\gdata\\cnts.dbf";
  {
    Wdbase t;
    ASSERT_TRUE(t.SetFiles("c:\\gdata\\", "cnts", 0, nullptr, nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.FieldRemove(2));  // a dictionary field missing
  }
  Wdbase holder;
  ASSERT_TRUE(holder.SetFiles("c:\\gdata\\", "cnts", 0, nullptr, nullptr));
  ASSERT_TRUE(holder.Open());
  ConvertArgs args;
  EXPECT_EQ(Convert("c:\\gdata\\", args, out_, err_), 1);
  EXPECT_NE(out_.str().find("CNTS c:\\gdata\\: FAILED\n"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("  CONVERSION ERROR\n"), std::string::npos);
  holder.Close();
  out_.str("");
  EXPECT_EQ(Convert("c:\\gdata\\", args, out_, err_), 0) << out_.str();
  EXPECT_NE(out_.str().find("CNTS c:\\gdata\\: converted\n  INSERT: "),
            std::string::npos)
      << out_.str();
}

TEST_F(MaintenanceCommandsTest, ParamListsGetsAndSets) {
  ASSERT_EQ(Param("c:\\gdata\\", "", "", "", out_, err_), 0) << err_.str();
  EXPECT_EQ(out_.str(), "DATAID = 0000000042\n");
  out_.str("");
  ASSERT_EQ(Param("c:\\gdata\\", "CODEPAGE", "CODEPAGE=850", "set by test",
                  out_, err_),
            0);
  EXPECT_EQ(out_.str(), "CODEPAGE = 850  # set by test\n");
  EXPECT_EQ(Param("c:\\gdata\\", "NOPE", "", "", out_, err_), 1);
  EXPECT_EQ(Param("c:\\gdata\\", "", "=1", "", out_, err_), 2);
  EXPECT_EQ(Param("c:\\nowhere\\", "", "", "", out_, err_), 1);
}

TEST_F(MaintenanceCommandsTest, SignatureAndTheCheckDue) {
  ASSERT_EQ(Signature("c:\\gdata\\", out_, err_), 0);
  EXPECT_NE(out_.str().find("signature: Kalvo MIXTABLE #"), std::string::npos);
  EXPECT_NE(out_.str().find("last check: none\nadvanced check due: yes\n"),
            std::string::npos)
      << out_.str();
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata\\");
  ASSERT_TRUE(ts.SetParamLastCheck("", CMixtableEx::GetSignature().c_str()));
  out_.str("");
  ASSERT_EQ(Signature("c:\\gdata\\", out_, err_), 0);
  EXPECT_NE(out_.str().find("advanced check due: no\n"), std::string::npos);
}

}  // namespace
}  // namespace mixtool
