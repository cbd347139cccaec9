// The FVERS.DAT line, Wy_FVersDescr and Wy_GDataID.

#include "mixtable/wy_gdata_id.h"

#include <gtest/gtest.h>

#include <string>

#include "mixtable/wy_fvers_descr.h"

namespace {

struct InitCase {
  const char* line;
  const char* version;
  const char* descr;
};

TEST(FVersDescrTest, InitSplitsVersionAndDescription) {
  const InitCase cases[] = {
      {"12.50 Blue range", "12.50", "Blue range"},
      {"1.00  Description", "1.00", "Description"},
      {"NoBlankAtAll", "1.00", "NoBlankAtAll"},
      {"1.05", "1.05", ""},  // how an empty description is written
      {"", "1.00", ""},
      {"Blue paint", "1.00", "Blue paint"},  // "Blue" is no version
      {"123.456 x", "1.00", "123.456 x"},    // blank after position 5
      {"-1.0 x", "1.00", "-1.0 x"},
      {"100 x", "1.00", "100 x"},  // not below 99.995
      {"99.99 last", "99.99", "last"},
      {" 1.00 lead", "1.00", " 1.00 lead"},  // empty text before the blank
      {"1.00      ", "1.00", ""},
  };
  for (const InitCase& c : cases) {
    Wy_FVersDescr d;
    EXPECT_TRUE(d.Init(c.line));
    std::string descr;
    EXPECT_EQ(d.GetVersion(), c.version) << c.line;
    EXPECT_EQ(d.GetPureDescr(descr), c.descr) << c.line;
  }
  Wy_FVersDescr d;
  EXPECT_TRUE(d.Init(nullptr));
  EXPECT_EQ(d.GetVersion(), "1.00");
}

TEST(FVersDescrTest, CompleteDescrFollowsTheLayout) {
  Wy_FVersDescr d;
  std::string line;
  d.Init("1");
  EXPECT_EQ(d.GetCompleteDescr(line), "1.00");  // blanks removed
  d.Init("12.5 Blue");
  EXPECT_EQ(d.GetCompleteDescr(line), "12.50 Blue");
  d.SetPureDescr("A description longer than twenty-six characters");
  EXPECT_EQ(d.GetCompleteDescr(line), "12.50 A description longer than");
  EXPECT_EQ(line.size(), 6u + 25u);  // the 26th character was a blank
  d.SetPureDescr("   lead");
  EXPECT_EQ(d.GetCompleteDescr(line), "12.50 lead");
  d.SetPureDescr("x\r\ny");
  EXPECT_EQ(d.GetCompleteDescr(line), "12.50 x  y");  // stays one line
  // A round trip keeps version and description.
  Wy_FVersDescr back;
  d.SetPureDescr("Round trip");
  back.Init(d.GetCompleteDescr(line).c_str());
  std::string descr;
  EXPECT_EQ(back.GetVersion(), "12.50");
  EXPECT_EQ(back.GetPureDescr(descr), "Round trip");
  EXPECT_EQ(Wy_FormatFVersLine(1.0, ""), "1.00");
  EXPECT_EQ(Wy_FormatFVersLine(99.99, "x"), "99.99 x");
  EXPECT_EQ(Wy_FormatFVersLine(99.995, "x"), "");
  EXPECT_EQ(Wy_FormatFVersLine(-0.5, "x"), "");
}

TEST(FVersDescrTest, SetVersionRefusesWhatIsNoVersion) {
  Wy_FVersDescr d;
  for (const char* bad :
       {static_cast<const char*>(nullptr), "", "abc", "-5", "1e2", "nan", "inf",
        "100", "99.995", "1.2.3", "12345678901234567890123456789012345"}) {
    EXPECT_FALSE(d.SetVersion(bad)) << (bad ? bad : "null");
    EXPECT_EQ(d.GetVersion(), "1.00");
  }
  EXPECT_TRUE(d.SetVersion(" 2.5 "));
  EXPECT_EQ(d.GetVersion(), "2.5");
  EXPECT_TRUE(d.SetVersion("0"));
  EXPECT_TRUE(d.SetVersion("99.99"));
}

TEST(GDataIdTest, VersionFormBuildsTheIdText) {
  Wy_GDataID id;
  std::string text;
  EXPECT_EQ(id.GetAbsId(), 0u);
  EXPECT_EQ(id.GetDataIDString(text), "");
  ASSERT_TRUE(id.SetData(1234567890u, " 1.05"));
  EXPECT_EQ(id.GetDataIDString(text), "3014567805");
  EXPECT_EQ(id.GetVersion(), "1.05");
  // The same version without the blank, or with a third decimal 0.
  ASSERT_TRUE(id.SetData(1234567890u, "1.05"));
  EXPECT_EQ(id.GetDataIDString(text), "3014567805");
  ASSERT_TRUE(id.SetData(1234567890u, "1.050"));
  EXPECT_EQ(id.GetDataIDString(text), "3014567805");
  ASSERT_TRUE(id.SetData(1234567890u, "12.50"));
  EXPECT_EQ(id.GetDataIDString(text), "3124567850");
  // Above 2 147 483 647 the id is printed unsigned.
  ASSERT_TRUE(id.SetData(4000000000u, "2.00"));
  EXPECT_EQ(id.GetDataIDString(text), "3020000000");
  ASSERT_TRUE(id.SetData(3999912345u, "2.00"));
  EXPECT_EQ(id.GetDataIDString(text), "3029912300");
  // Ids below 10 000 000 leave blanks at 3..7.
  ASSERT_TRUE(id.SetData(12345u, "1.00"));
  EXPECT_EQ(id.GetDataIDString(text), "301  12300");
}

TEST(GDataIdTest, IdFormGivesTheVersionBack) {
  Wy_GDataID id;
  std::string text;
  ASSERT_TRUE(id.SetData(77u, "3014567805"));
  EXPECT_EQ(id.GetVersion(), "1.05");
  EXPECT_EQ(id.GetAbsId(), 77u);
  EXPECT_EQ(id.GetDataIDString(text), "3014567805");  // kept, not stale
  ASSERT_TRUE(id.SetData(5u, "3010000105"));
  EXPECT_EQ(id.GetVersion(), "1.05");
  ASSERT_TRUE(id.SetData(5u, " 3990000099 "));
  EXPECT_EQ(id.GetVersion(), "99.99");
  // SetVersion rebuilds the id text from the stored absolute id.
  ASSERT_TRUE(id.SetData(1234567890u, "3014567805"));
  ASSERT_TRUE(id.SetVersion("2.10"));
  EXPECT_EQ(id.GetDataIDString(text), "3024567810");
  EXPECT_EQ(id.GetVersion(), "2.10");
  // Copies are independent.
  Wy_GDataID copy = id;
  ASSERT_TRUE(copy.SetVersion("3"));
  EXPECT_EQ(id.GetVersion(), "2.10");
  EXPECT_EQ(copy.GetVersion(), "3.00");
}

TEST(GDataIdTest, BadInputChangesNothing) {
  Wy_GDataID id;
  std::string text;
  ASSERT_TRUE(id.SetData(1234567890u, "1.05"));
  const char* bad[] = {nullptr,
                       "",
                       "abc",
                       "-5",
                       "100",
                       "3abc",
                       "301456780",
                       "2014567805",
                       "3x14567805",
                       "30145678x5",
                       "30145678051",
                       "1e1",
                       "12345678901234567890"};
  for (const char* b : bad) {
    EXPECT_FALSE(id.SetData(42u, b)) << (b ? b : "null");
    EXPECT_FALSE(id.SetVersion(b)) << (b ? b : "null");
  }
  EXPECT_FALSE(id.SetData(0u, "1.05"));
  EXPECT_FALSE(id.SetData(0u, "3014567805"));
  EXPECT_EQ(id.GetDataIDString(text), "3014567805");
  EXPECT_EQ(id.GetVersion(), "1.05");
  EXPECT_EQ(id.GetAbsId(), 1234567890u);
  EXPECT_TRUE(Wy_GDataID::IsDataIdForm("3014567805"));
  EXPECT_TRUE(Wy_GDataID::IsDataIdForm("301  12300"));
  EXPECT_FALSE(Wy_GDataID::IsDataIdForm(nullptr));
  EXPECT_FALSE(Wy_GDataID::IsDataIdForm("3"));
}

}  // namespace
