// The mixtool program itself on the test builder's sample data set: what it
// prints for frm, mask, colorkeys and cans, and how it refuses bad input
// (one line "mixtool: ..." on standard error; 1 for a failed command, 2 for
// a command line it cannot parse).

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/run_program.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

#ifndef MIXTOOL_NAME
#error "MIXTOOL_NAME names the built mixtool program beside this test"
#endif

namespace {

using Outcome = platform::testing::ProgramResult;

// The data set of these tests. Windows has no drives root (c: is the wine
// prefix's own drive, shared by every test of a run): a name of its own,
// emptied before each test.
constexpr const char* kSet = "c:\\mixproc\\";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

class MixtoolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(drives_.dir().empty());
    platform::Env::Current()->DeleteTree(kSet);
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet(kSet, &error)) << error;
  }

  // Runs mixtool with args (the drives root of this test is inherited
  // through $KALVO_DRIVES) and collects its output.
  Outcome Mixtool(const std::vector<std::string>& args) {
    return platform::testing::RunProgram(
        platform::testing::BesideThisProgram(MIXTOOL_NAME), args);
  }

  // A refusal: nothing on standard output, one line "mixtool: ..." that
  // contains what on standard error, and the exit status.
  void ExpectRefused(const std::vector<std::string>& args, int status,
                     const std::string& what) {
    const Outcome r = Mixtool(args);
    SCOPED_TRACE(args.empty() ? std::string("(no arguments)") : args[0]);
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("mixtool: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(what), std::string::npos) << lines[0];
  }

  void TearDown() override { platform::Env::Current()->DeleteTree(kSet); }

  platform::ScopedTempDrives drives_;
};

TEST_F(MixtoolProcessTest, FrmByWindowsAndHostPath) {
  // The host path is the mapped one below the drives root on Linux, and
  // the same drive path on Windows.
  std::string host;
  ASSERT_TRUE(platform::Env::Current()->HostPath(kSet, &host).ok());
  for (const std::string& dir : {std::string(kSet), host}) {
    const Outcome r = Mixtool({"frm", dir, "1", "1", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0].rfind("table    ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "stored   1 10.0");
    EXPECT_EQ(lines[2], "read     1,10  (after the ruler)");
    EXPECT_EQ(lines[3].rfind("units    ", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4].rfind("can      by ", 0), 0u) << lines[4];
  }
}

TEST_F(MixtoolProcessTest, Mask) {
  Outcome r = Mixtool({"mask", kSet, "1", "1", "BA"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  r = Mixtool({"mask", kSet, "2", "1", "co"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 2 3\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(MixtoolProcessTest, ColorKeysAndCans) {
  Outcome r = Mixtool({"colorkeys", kSet});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0], "COLORKEY 5 records");
  EXPECT_EQ(lines[1].rfind("CLRPRDS ", 0), 0u) << lines[1];
  r = Mixtool({"cans", kSet});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  lines = Lines(r.out);
  ASSERT_GE(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[0].rfind("can 1 size 0 exact 0 by volume", 0), 0u)
      << lines[0];
  EXPECT_EQ(lines[lines.size() - 3], "single product 0");
  EXPECT_EQ(lines[lines.size() - 2].rfind("units ", 0), 0u);
  EXPECT_EQ(lines.back(), "html C:\\HTMLDATA\\ (default)");
}

TEST_F(MixtoolProcessTest, BadInputGivesOneLineAndTheExitStatus) {
  // Failed commands: 1.
  ExpectRefused({"frm", "c:\\nowhere\\", "1", "1", "20"}, 1, "no product 1");
  ExpectRefused({"frm", kSet, "1", "1", "99"}, 1, "no formula 99");
  ExpectRefused({"frm", kSet, "1", "9", "20"}, 1, "no sub-product 9");
  ExpectRefused({"mask", kSet, "1", "1", "XX"}, 1, "unknown mask type \"XX\"");
  ExpectRefused({"mask", kSet, "1", "1", "B"}, 1, "unknown mask type");
  ExpectRefused({"mask", kSet, "7", "1", "BA"}, 1, "no product 7");
  ExpectRefused({"cans", "c:\\nowhere\\"}, 1, "no CANS");
  ExpectRefused({"colorkeys", "c:\\nowhere\\"}, 1, "cannot be rebuilt");
  // Command lines that do not parse: 2.
  ExpectRefused({"frm", kSet, "1", "1", "abc"}, 2, "abc");
  ExpectRefused({"frm", kSet, "1", "1", "99999999999"}, 2, "99999999999");
  ExpectRefused({"mask", kSet, "1", "1"}, 2, "type");
  ExpectRefused({"nosuch"}, 2, "subcommand");
  ExpectRefused({}, 2, "subcommand");
}

}  // namespace
