// mixtool formula read|resolve|write|get|cnt|diff|qty, run as a process on a
// built data set: output, the one-line failures and the exit statuses.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "platform/env.h"
#include "platform/testing/run_program.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

#ifndef MIXTOOL_NAME
#error "MIXTOOL_NAME names the built mixtool program beside this test"
#endif

namespace {

using mixtable_testing::Id;
// The exit status and the output, "\r\n" read as "\n" (the Windows C
// runtime writes a console line end as "\r\n").
using Result = platform::testing::ProgramResult;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class FormulaToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    bool ok =
        b.AddProduct(1, "P1", "PRD1") && b.AddSubProduct(1, 1, "S1", "SUB11") &&
        b.Append(Y_CNTS, {{"ID", Id(1)}, {"CODE", "RED"}, {"DESCR", "Red"}}) &&
        b.Append(Y_CNTS,
                 {{"ID", Id(2)}, {"CODE", "WHT"}, {"DESCR", "White"}}) &&
        b.Append(Y_BASES,
                 {{"ID", Id(1)}, {"DESCR", "Base 1"}, {"FILL_Q", "0.9"}}) &&
        b.Append(Y_CANS, {{"ID", Id(1)},
                          {"DESCR", "Can 1"},
                          {"NOM_Q", "1000"},
                          {"CAN_WEIGHT", "F"}}) &&
        b.Append(Y_FRM,
                 {{"ID", Id(20)},
                  {"KEY1", "RED"},
                  {"BASE_ID", Id(1)},
                  {"CAN_ID", Id(1)},
                  {"FORMULA", "1,10,2,4"}},
                 1, 1);
    ASSERT_TRUE(ok) << b.error();
  }

  // Runs mixtool with args, no shell between; the drives root is inherited.
  Result Run(const std::vector<std::string>& args) {
    return platform::testing::RunProgram(
        platform::testing::BesideThisProgram(MIXTOOL_NAME), args);
  }

  // A formula text file below the temporary directory; answers its host
  // path.
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = drives_.Host(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // The host path of a Windows-style path.
  static std::string Host(const std::string& path) {
    std::string host;
    EXPECT_TRUE(platform::Env::Current()->HostPath(path, &host).ok()) << path;
    return host;
  }

  static void ExpectOneLineFailure(const Result& r) {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("mixtool: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }

  platform::ScopedTempDrives drives_;
};

TEST_F(FormulaToolTest, Read) {
  Result r = Run({"formula", "read",
                  File("f.txt", "junk\r\n@CLR #12 \"RED 12\"\r\n@END\r\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Clr: 12 \"RED 12\"\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Prd:"), std::string::npos) << r.out;  // default
  EXPECT_NE(r.out.find("\nstatus: 0\n"), std::string::npos) << r.out;
  ExpectOneLineFailure(Run({"formula", "read", drives_.Host("missing.txt")}));
  ExpectOneLineFailure(
      Run({"formula", "read", File("g.txt", "@END\nno formula\n")}));
}

TEST_F(FormulaToolTest, WriteGivesTheNormalForm) {
  HFormula f;
  f.m_ClrId = 20;
  f.m_ClrName = "Name with \"quotes\"";
  f.m_Frm = "1,2.5";
  f.m_FrmNomQ = 1000;
  const std::string text = f.WriteText(nullptr);
  HFormula g;
  ASSERT_EQ(g.TxtReadText(text.data(), text.size()), 1);
  const std::string normal = g.WriteText(nullptr);
  const std::string in = File("f.txt", text);
  Result r = Run({"formula", "write", in});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, normal);
  // To a file given as a Windows path.
  r = Run({"formula", "write", in, "-o", "c:\\written.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Slurp(Host("c:\\written.txt")), normal);
  ExpectOneLineFailure(Run({"formula", "write", in, "-o", "c:\\no\\dir\\x"}));
  ExpectOneLineFailure(
      Run({"formula", "write", in, "--gdata", "c:\\nowhere\\"}));
}

TEST_F(FormulaToolTest, GetCapturesAStoredFormula) {
  Result r = Run({"formula", "get", "--gdata", "c:\\gdata\\", "--clr", "20",
                  "--prd", "1", "--spd", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n@CLR   #20   \"RED||||\""), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"1,10,2,4\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"PRD1\""), std::string::npos) << r.out;
  // The same data set by its host path (on Windows the path as given).
  Result h = Run({"formula", "get", "--gdata", Host("c:\\gdata"), "--clr", "20",
                  "--prd", "1", "--spd", "1"});
  EXPECT_EQ(h.status, 0) << h.err;
  EXPECT_EQ(h.out, r.out);
  ExpectOneLineFailure(Run({"formula", "get", "--gdata", "c:\\gdata\\", "--clr",
                            "99", "--prd", "1", "--spd", "1"}));
  ExpectOneLineFailure(Run({"formula", "get", "--gdata", "c:\\gdata\\", "--clr",
                            "20", "--prd", "1", "--spd", "7"}));
  ExpectOneLineFailure(Run({"formula", "get", "--gdata", "c:\\gdata\\", "--clr",
                            "20", "--custom"}));  // no archive
  ExpectOneLineFailure(Run({"formula", "get", "--clr", "20"}));
}

TEST_F(FormulaToolTest, CntListsAndTheirMessages) {
  struct {
    const char* list;
    int status;
    const char* out;
    const char* err;
  } const cases[] = {
      {"#1 10.5 #2 3", 0, "1,10.5,2,3\n", ""},
      {"red 2 \"White\" 1", 0, "1,2,2,1\n", ""},
      {"#1 10 #1 5", 1, "", "mixtool: Wrong formula       \n"},
      {"#1 10 BLUE 5", 1, "", "mixtool: Syntax error.       \n"},
      {"BLUE 5", 1, "", "mixtool: Wrong identifier(s).\n"},
      {"@RPC #1 %40 #2 %60", 1, "", "mixtool: Could not convert to Wy_Frm\n"},
  };
  for (const auto& c : cases) {
    Result r = Run({"formula", "cnt", "--gdata", "c:\\gdata\\", c.list});
    EXPECT_EQ(r.status, c.status) << c.list;
    EXPECT_EQ(r.out, c.out) << c.list;
    EXPECT_EQ(r.err, c.err) << c.list;
  }
}

TEST_F(FormulaToolTest, DiffAndQty) {
  HFormula f;
  f.m_Frm = "1,2";
  f.m_Frt = "1,2.5,3,1";
  Result r = Run({"formula", "diff", File("d.txt", f.WriteText(nullptr))});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1,0.50000000000,3,1.00000000000\n");
  f.m_Frt = "1,1.5";
  ExpectOneLineFailure(
      Run({"formula", "diff", File("e.txt", f.WriteText(nullptr))}));

  struct {
    std::vector<std::string> args;
    int status;
    const char* out;
  } const cases[] = {
      {{"1,10,2,4", "--resize", "1000", "500"}, 0, "1,5,2,2\npairs: 2\n"},
      {{"1,10,2,4", "--add", "3,1,1,1"}, 0, "1,11,2,4,3,1\npairs: 3\n"},
      {{"1,10,2,4", "--sub", "1,4"}, 0, "1,6,2,4\npairs: 2\n"},
      {{"1,1", "--resize", "3", "1", "--decimals", "2"},
       0,
       "1,0.33\npairs: 1\n"},
      {{"1,2,3"}, 1, ""},
      {{"1,2", "--add", "1"}, 1, ""},
      {{"1,2", "--resize", "0", "5"}, 1, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"formula", "qty"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result q = Run(args);
    EXPECT_EQ(q.status, c.status) << c.args[0] << " " << q.err;
    EXPECT_EQ(q.out, c.out) << c.args[0];
    if (c.status == 1) ExpectOneLineFailure(q);
  }
}

TEST_F(FormulaToolTest, ResolveAndItsExitStatus) {
  HFormula f;
  f.m_ClrId = 20;
  f.m_PrdId = 1;
  f.m_SpdId = 1;
  f.m_CanId = 1;
  f.m_Source = HF_SOURCE_STANDARD;
  const std::string complete = File("c.txt", f.WriteText(nullptr));
  Result r = Run({"formula", "resolve", complete, "--gdata", "c:\\gdata\\"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Frm: 1,10,2,4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nstatus: 3\nstatusex: 0x"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\ncnt message: \n"), std::string::npos) << r.out;
  // Without --gdata: the text's data id (0, the default directory).
  Result d = Run({"formula", "resolve", complete});
  EXPECT_EQ(d.status, 0) << d.err;
  // The resolved text, written.
  Result w = Run({"formula", "write", complete, "--gdata", "c:\\gdata\\"});
  EXPECT_EQ(w.status, 0) << w.err;
  EXPECT_NE(w.out.find("\"1,10,2,4\""), std::string::npos) << w.out;

  // An incomplete formula: a refused colorant list.
  Result i =
      Run({"formula", "resolve", File("i.txt", "@CNT #1 10 #1 5\n@END\n"),
           "--gdata", "c:\\gdata\\"});
  EXPECT_EQ(i.status, 2) << i.err;
  EXPECT_NE(i.out.find("\ncnt message: Wrong formula       \n"),
            std::string::npos)
      << i.out;
  ExpectOneLineFailure(
      Run({"formula", "resolve", complete, "--gdata", "c:\\nowhere\\"}));
}

}  // namespace
