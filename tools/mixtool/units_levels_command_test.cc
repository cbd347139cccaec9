// mixtool units and levels run as the program: output and exit status.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "levels_command.h"
#include "platform/env.h"
#include "platform/testing/run_program.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "units_command.h"

namespace {

using mixtable_testing::Id;

using Result = platform::testing::ProgramResult;

// The data set and the formula files of these tests. Windows has no drives
// root (c: is the wine prefix's own drive, shared by every test of a run):
// a directory of their own, emptied before each test.
constexpr const char* kTop = "c:\\unitlev\\";
constexpr const char* kSet = "c:\\unitlev\\gdata\\";

class UnitsLevelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->DeleteTree(kTop);
    mixtable_testing::DataSetBuilder b(kSet);
    ASSERT_TRUE(b.Append(
        Y_CNTS, {{"ID", Id(1)}, {"SPEC_W", "1500"}, {"LOADING", "50"}}))
        << b.error();
    ASSERT_TRUE(b.Append(
        Y_CNTS, {{"ID", Id(2)}, {"SPEC_W", "1000"}, {"LOADING", "100"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(10)}, {"SPEC_W", "1500"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(7)}, {"SPEC_W", "1400"}}))
        << b.error();
  }

  void TearDown() override { platform::Env::Current()->DeleteTree(kTop); }

  // Runs mixtool with args; its environment (the drives root) is ours.
  Result Run(const std::vector<std::string>& args) {
    return platform::testing::RunProgram(
        platform::testing::BesideThisProgram(MIXTOOL_NAME), args);
  }

  // A formula text file in the test's directory; answers its Windows path.
  std::string WriteFormula(const std::string& name, const std::string& text) {
    const std::string path = std::string(kTop) + name;
    std::unique_ptr<platform::File> f;
    if (platform::Env::Current()
            ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
            .ok()) {
      f->WriteAt(0, text.data(), text.size());
    }
    return path;
  }

  platform::ScopedTempDrives drives_;
};

TEST_F(UnitsLevelsTest, UnitsConvertsAList) {
  Result r = Run({"units", kSet, "--from", "volume-parts", "--to",
                  "weight-parts", "1=1", "2=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 1.200000000\n2 0.800000000\n");
  EXPECT_EQ(r.err, "");

  r = Run({"units", kSet, "--from", "3", "--to", "2", "--x", "100", "1=100",
           "2=300"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 1.000000000\n2 3.000000000\ntotal 100.000000000\n");

  r = Run({"units", kSet, "--from", "pigment", "--to", "volume-parts", "1=1",
           "2=1"});
  EXPECT_EQ(r.out, "1 1.142857143\n2 0.857142857\n");

  r = Run({"units", kSet, "--from", "volume-parts", "--to", "volume", "--total",
           "500", "1=0.5", "2=0.5"});
  EXPECT_EQ(r.out, "1 250.000000000\n2 250.000000000\n");
}

TEST_F(UnitsLevelsTest, UnitsWithABaseAndSingle) {
  Result r = Run({"units", kSet, "--from", "volume", "--to", "weight", "--base",
                  "7=1000", "--x", "700", "10=10"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "base 7 700.000000000\n10 7.500000000\n");

  r = Run({"units", kSet, "--from", "volume", "--to", "weight-small",
           "--single", "--factor", "2", "1=1", "10=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "total 6000.000000000\n");
}

TEST_F(UnitsLevelsTest, UnitsFailures) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } const cases[] = {
      {{"units", kSet, "--from", "litres", "--to", "1", "1=1"},
       "mixtool: unknown unit kind 'litres'\n"},
      {{"units", kSet, "--from", "7", "--to", "1", "1=1"},
       "mixtool: unknown unit kind '7'\n"},
      {{"units", kSet, "--from", "2", "--to", "1", "1=x"},
       "mixtool: '1=x' is not ID=QUANTITY\n"},
      {{"units", kSet, "--from", "2", "--to", "1"},
       "mixtool: no colorant quantities (ID=QUANTITY)\n"},
      {{"units", kSet, "--from", "2", "--to", "3", "1=1"},
       "mixtool: --total is needed from a relative kind to an absolute "
       "one\n"},
      {{"units", kSet, "--from", "3", "--to", "1", "--single", "1=1"},
       "mixtool: --single converts between two different absolute kinds "
       "(3..6)\n"},
      {{"units", "c:\\nowhere\\", "--from", "2", "--to", "1", "1=1"},
       "mixtool: cannot read BASES and CNTS of c:\\nowhere\\\n"},
      {{"units", kSet, "--from", "2", "--to", "1", "1=1", "99=1"},
       "mixtool: conversion from volume-parts to weight-parts refused (an "
       "unknown colorant or base, a specific weight or loading of 0, a "
       "negative quantity or a zero sum)\n"},
      {{"units", kSet, "--from", "2", "--to", "1", "1=-1"},
       "mixtool: conversion from volume-parts to weight-parts refused (an "
       "unknown colorant or base, a specific weight or loading of 0, a "
       "negative quantity or a zero sum)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[3]);
    Result r = Run(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(UnitsLevelsTest, CommandLinesThatDoNotParse) {
  // The option parser's refusals keep the program's usage status 2.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"units", kSet, "1=1"},
        std::vector<std::string>{"levels"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("mixtool: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(UnitsLevelsTest, Levels) {
  const std::string file = WriteFormula(
      "f.txt",
      "@PRD #1 \"P\"\r\n@LEV #3 \t \"1,0.5,2,0.75\"\r\n@LEV #4 \"7\"\r\n"
      "@END\r\n");
  Result r = Run({"levels", file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "entries 2\n"
            "entry 0 slave 3 canisters 2\n"
            "  circuit 1 level 0.5\n"
            "  circuit 2 level 0.75\n"
            "entry 1 slave 0 canisters 0\n");

  r = Run({"levels", WriteFormula("none.txt", "@PRD #1 \"P\"\n")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "entries 0\n");

  r = Run({"levels", "c:\\unitlev\\missing.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mixtool: cannot read c:\\unitlev\\missing.txt\n");
  r = Run({"levels", WriteFormula("junk.txt", "not a formula\n")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mixtool: c:\\unitlev\\junk.txt holds no formula\n");
}

TEST(UnitKindTest, NamesAndNumbers) {
  const char* names[] = {"pigment",     "weight-parts", "volume-parts",
                         "volume",      "volume-small", "weight",
                         "weight-small"};
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(mixtool::ParseUnitKind(names[k]), k);
    EXPECT_EQ(mixtool::ParseUnitKind(std::to_string(k)), k);
  }
  for (const char* bad : {"", "7", "-1", "03", "Volume", "weight "})
    EXPECT_EQ(mixtool::ParseUnitKind(bad), -1) << bad;
}

}  // namespace
