// mixtool history list|show|check and archive list|check, in process on a
// local directory of a temporary drives root.

#include "history_commands.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

class HistoryCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("LOCALDIR");
    std::string local;
    ASSERT_EQ(1, Wy_LocalPath(local));
    f_.m_PrdId = 3;
    f_.m_SpdId = 4;
    f_.m_ClrId = 9;
    f_.m_ClrName = "Rot\xe9|DARK";  // ANSI e acute
    f_.m_CanNomQ = 1000;
    f_.m_Frm = "5,1.25,6,0.5";
    f_.m_FrmNomQ = 1000;
    f_.m_Lqnt = 2;
    f_.SetUnit(0, 1.0, 1.0, 1.0);
  }
  platform::ScopedTempDrives drives_;
  Wy_Formula f_;
  mixtool::HistoryArgs a_;
  std::ostringstream out_, err_;
};

TEST_F(HistoryCommandsTest, History) {
  EXPECT_EQ(mixtool::HistoryList(a_, out_, err_), 1);
  EXPECT_NE(err_.str().find("mixtool: no history in"), std::string::npos);
  EXPECT_EQ(mixtool::HistoryCheck(a_, out_, err_), 1);
  a_.create = true;
  ASSERT_EQ(mixtool::HistoryCheck(a_, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find(": up to date, 0 records, FRM C128"),
            std::string::npos)
      << out_.str();
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(1, hformula_SaveInHistory(&f_, nullptr, nullptr));
  out_.str("");
  a_.last = 2;
  ASSERT_EQ(mixtool::HistoryList(a_, out_, err_), 0) << err_.str();
  const std::string list = out_.str();
  EXPECT_EQ(list.find("     1 "), std::string::npos) << list;
  EXPECT_NE(list.find("     2  "), std::string::npos) << list;
  EXPECT_NE(list.find("clr 9 \"Rot\xc3\xa9|DARK\"  ndisp 2  5,1.25,6,0.5"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("3 records in"), std::string::npos);
  out_.str("");
  a_.recno = 2;
  ASSERT_EQ(mixtool::HistoryShow(a_, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("5,1.25,6,0.5"), std::string::npos) << out_.str();
  a_.recno = 4;
  EXPECT_EQ(mixtool::HistoryShow(a_, out_, err_), 1);
  EXPECT_NE(err_.str().find("mixtool: no record 4 (the history holds 3)"),
            std::string::npos);
}

TEST_F(HistoryCommandsTest, Archive) {
  EXPECT_EQ(mixtool::ArchiveList(out_, err_), 1);
  a_.create = true;
  a_.dataId = 7;
  ASSERT_EQ(mixtool::ArchiveCheck(a_, out_, err_), 0) << err_.str();
  CMixtable ts;
  ASSERT_EQ(1, hformula_SaveInArchive(&f_, &ts, 0));
  out_.str("");
  ASSERT_EQ(mixtool::ArchiveList(out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("id 1  "), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("\"Rot\xc3\xa9|DARK||\"  5,1.25,6,0.5"),
            std::string::npos)
      << out_.str();
  out_.str("");
  ASSERT_EQ(mixtool::ArchiveCheck(a_, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("1 records, FORMULA C96"), std::string::npos)
      << out_.str();
}

}  // namespace
