// Dispenser-slave message tables: where the handle looks, which language
// table it takes, and the texts of error codes in both forms.

#include <string>

#include "access/catalogue_test_util.h"
#include "gtest/gtest.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "xbase32/wdbase.h"

namespace mixtable {
namespace {

constexpr char kDefaultMsgDir[] = "c:\\wuser\\kalvodspserver17\\MSGSLAVE\\";

class SlaveMsgTest : public ::testing::Test {
 protected:
#ifdef _WIN32
  // The default directory is on the host's c: there, kept from the test
  // before: it starts empty.
  SlaveMsgTest() { platform::Env::Current()->DeleteTree(kDefaultMsgDir); }
#endif

  // An ENGLISH table in the default directory with a few texts.
  void MakeTable(const char* name) {
    ASSERT_TRUE(Wy_MkDir(kDefaultMsgDir));
    static const WDBASE_FIELD kFields[] = {{"ID", 'C', 5, 0, 0},
                                           {"PROG", 'C', 3, 0, 0},
                                           {"STRING", 'C', 60, 0, 0},
                                           {"", 0, 0, 0, 0}};
    const char* names[] = {name};
    const char* exprs[] = {"ID+PROG"};
    Wdbase t;
    ASSERT_TRUE(t.SetFiles(kDefaultMsgDir, name, 1, names, exprs));
    ASSERT_TRUE(t.CreateDb(kFields));
    ASSERT_TRUE(t.Open());
    auto put = [&](const char* id, const char* text) {
      ASSERT_TRUE(t.AppendBlank());
      t.WriteString("ID", id);
      t.WriteString("PROG", "A");
      t.WriteString("STRING", text);
    };
    put("   12", "Motor stalled");
    put("  256", "Pump group");
    put("  512", "");
    t.Close();
  }

  CatalogueEnv cenv;
};

TEST_F(SlaveMsgTest, HandleTakesTheLanguageTableWhenItExists) {
  EXPECT_EQ(0, Wy_SetSlaveMsgDbHandle(nullptr, nullptr, true));
  Wdbase t;
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, nullptr, true));
  EXPECT_STREQ("c:\\wuser\\kalvodspserver17\\msgslave\\", t.GetPath());
  EXPECT_STREQ("english.dbf", t.GetName(0));
  EXPECT_STREQ("english.ntx", t.GetName(1));
  EXPECT_STREQ("ID+PROG", t.GetIdxExpr(1));
  const std::string french = "FRENCH";
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, &french, false));
  EXPECT_STREQ("english.dbf", t.GetName(0));  // no FRENCH.DBF
  MakeTable("FRENCH");
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, &french, false));
  EXPECT_STREQ("french.dbf", t.GetName(0));
  const std::string odd = "..\\FRENCH";
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, &odd, false));
  EXPECT_STREQ("english.dbf", t.GetName(0));
}

// An Env whose running program lies in a directory of the test.
class ProgramInEnv : public platform::EnvWrapper {
 public:
  ProgramInEnv(const std::string& program)
      : EnvWrapper(platform::Env::Current()), program_(program) {
    old_ = platform::Env::SetCurrent(this);
  }
  ~ProgramInEnv() override { platform::Env::SetCurrent(old_); }
  std::string ProgramPath() override { return program_; }

 private:
  std::string program_;
  platform::Env* old_;
};

TEST_F(SlaveMsgTest, TheProgramsOwnMessageDirectoryComesFirst) {
  const std::string bin = cenv.drives.Host("bin");
  ASSERT_TRUE(env()->CreateDir(bin).ok());
  ProgramInEnv program(bin + "/dispense");
  Wdbase t;
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, nullptr, true));
  EXPECT_STREQ("c:\\wuser\\kalvodspserver17\\msgslave\\", t.GetPath());
  ASSERT_TRUE(env()->CreateDir(bin + "/MSGSLAVE").ok());
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, nullptr, false));
  // The engine keeps paths in lower case; the layer finds them in any case.
  std::string got = t.GetPath(), want = bin + "/MSGSLAVE/";
  for (std::string* s : {&got, &want}) {
    for (char& c : *s) c = c == '\\' ? '/' : c;  // Windows' host paths
  }
  EXPECT_STRCASEEQ(want.c_str(), got.c_str());
}

TEST_F(SlaveMsgTest, TextsOfErrorCodes) {
  MakeTable("ENGLISH");
  Wdbase t;
  ASSERT_EQ(1, Wy_SetSlaveMsgDbHandle(&t, nullptr, true));
  ASSERT_TRUE(t.Open());
  EXPECT_STREQ("000C\t (12) Motor stalled",
               Wy_GetHwErrorString(12, 0, &t, nullptr, nullptr));
  EXPECT_STREQ("000C\t (12) Motor stalled N.   5",
               Wy_GetHwErrorString(12, 5, &t, nullptr, nullptr));
  EXPECT_STREQ("000C: Motor stalled",
               Wy_GetHwErrorString(12, 0, &t, ": ", "unknown"));
  EXPECT_STREQ("0063\t (99) unknown",
               Wy_GetHwErrorString(99, 0, &t, nullptr, "unknown"));
  EXPECT_STREQ("0063\t (99) ",
               Wy_GetHwErrorString(99, 0, &t, nullptr, nullptr));
  EXPECT_STREQ("0200-unknown",
               Wy_GetHwErrorString(512, 0, &t, "-", "unknown"));  // blank
  const std::string long_fallback(100, 'f');
  EXPECT_EQ("0063 " + std::string(81, 'f'),
            Wy_GetHwErrorString(99, 0, &t, " ", long_fallback.c_str()));

  int32_t high = 7, low = 7;
  EXPECT_STREQ(
      "0105\t (261) Pump group N.   5",
      Wy_GetHwErrorString(true, 0x105, &t, nullptr, nullptr, &high, &low));
  EXPECT_EQ(0x100, high);
  EXPECT_EQ(5, low);
  EXPECT_STREQ(
      "000C\t (12) Motor stalled",
      Wy_GetHwErrorString(true, 12, &t, nullptr, nullptr, &high, &low));
  EXPECT_EQ(0, high);
  EXPECT_EQ(12, low);
  EXPECT_STREQ("8001:gone",
               Wy_GetHwErrorString(true, 0x8001, &t, ":", "gone", &high, &low));
  EXPECT_EQ(-1, high);
  EXPECT_EQ(0, low);
  EXPECT_STREQ("0105\t (261) ", Wy_GetHwErrorString(false, 0x105, &t, nullptr,
                                                    nullptr, nullptr, nullptr));
  // The two forms keep their own buffers.
  const char* one = Wy_GetHwErrorString(12, 0, &t, nullptr, nullptr);
  const char* two =
      Wy_GetHwErrorString(false, 12, &t, "+", nullptr, nullptr, nullptr);
  EXPECT_STREQ("000C\t (12) Motor stalled", one);
  EXPECT_STREQ("000C+Motor stalled", two);
  t.Close();
  EXPECT_STREQ("000C\t (12) closed",
               Wy_GetHwErrorString(12, 0, &t, nullptr, "closed"));
  EXPECT_STREQ("000C\t (12) none",
               Wy_GetHwErrorString(12, 0, nullptr, nullptr, "none"));
}

}  // namespace
}  // namespace mixtable
