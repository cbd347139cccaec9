// mixtool userdata group|items|delta|apply, parsed and run in process on two
// built data sets: a group file, the items of one set applied to the other,
// their difference, and the refusals.

#include "userdata_command.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

class UserDataCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"c:\\gdata\\", "c:\\other\\"}) {
      const bool first = dir[3] == 'g';
      mixtable_testing::DataSetBuilder b(dir);
      ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(5)},
                                    {"CODE", "RED"},
                                    {"DESCR", "Red"},
                                    {"SPEC_W", first ? "1200" : "1000"},
                                    {"COST", first ? "4.5" : "1"}}))
          << b.error();
      ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)}, {"COST", "2"}}));
      ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(1)}, {"H_MIN", "7"}}));
    }
  }

  // Runs "mixtool userdata ARGS..."; answers the exit status.
  int Run(std::vector<std::string> args) {
    out_.str(""), err_.str("");
    CLI::App app;
    mixtool::UserDataArgs a;
    mixtool::AddUserDataCommand(app, &a);
    args.insert(args.begin(), "userdata");
    std::reverse(args.begin(), args.end());
    try {
      app.parse(args);
    } catch (const CLI::ParseError& e) {
      return 2;
    }
    return mixtool::RunUserDataCommand(a, out_, err_);
  }
  long LinesOut() const {
    const std::string s = out_.str();
    return std::count(s.begin(), s.end(), '\n');
  }
  std::string Save(const char* name) {
    const std::string path = drives_.Host(name);
    std::ofstream(path, std::ios::binary) << out_.str();
    return path;
  }

  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(UserDataCommandTest, GroupItemsDeltaApply) {
  ASSERT_EQ(Run({"group", "c:\\gdata\\", "--fields", "CNTS.cost, cnts.spec_w"}),
            0)
      << err_.str();
  EXPECT_EQ(out_.str(), "********" + std::string(32, ' ') +
                            "c:\\gdata\\\nCNTS    COST      \n"
                            "CNTS    SPEC_W    \n");
  const std::string group = Save("group.txt");

  ASSERT_EQ(Run({"items", group, "c:\\gdata\\"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("COST      N 10 3     4.500\n"), std::string::npos)
      << out_.str();
  const std::string mine = Save("mine.txt");
  ASSERT_EQ(Run({"items", group, "c:\\other\\"}), 0) << err_.str();
  const std::string theirs = Save("theirs.txt");

  ASSERT_EQ(Run({"delta", mine, mine}), 0);
  EXPECT_EQ(LinesOut(), 1);
  ASSERT_EQ(Run({"delta", mine, theirs}), 0);
  EXPECT_EQ(LinesOut(), 3);

  ASSERT_EQ(Run({"apply", group, mine, "c:\\other\\"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "written 2 items\n");
  ASSERT_EQ(Run({"items", group, "c:\\other\\"}), 0);
  const std::string now = Save("now.txt");
  ASSERT_EQ(Run({"delta", now, mine}), 0);
  EXPECT_EQ(LinesOut(), 1);
}

TEST_F(UserDataCommandTest, Refusals) {
  EXPECT_EQ(Run({"group", "c:\\gdata\\", "--fields", "cnts.price"}), 1);
  EXPECT_NE(err_.str().find("unknown field \"cnts.price\""), std::string::npos);
  EXPECT_EQ(Run({"group", "c:\\gdata\\", "--fields", ","}), 1);
  EXPECT_EQ(Run({"group", "c:\\gdata\\"}), 2);  // --fields is required
  EXPECT_EQ(Run({"items", drives_.Host("none.txt"), "c:\\gdata\\"}), 1);
  EXPECT_NE(err_.str().find("cannot read"), std::string::npos);

  ASSERT_EQ(Run({"group", "c:\\gdata\\", "--fields", "cans.h_min"}), 0);
  const std::string group = Save("group.txt");
  EXPECT_EQ(Run({"items", group, "c:\\empty\\"}), 1);
  out_.str("********\n");
  const std::string head = Save("head.txt");
  EXPECT_EQ(Run({"delta", head, head}), 1);
  std::ofstream(drives_.Host("bad.txt"), std::ios::binary)
      << "********\nCANS        1    0    0                        H_MIN     "
         "N  3 0abc\n";
  EXPECT_EQ(Run({"apply", group, drives_.Host("bad.txt"), "c:\\gdata\\"}), 1);
  EXPECT_NE(err_.str().find("not every item was written"), std::string::npos);

  bool on[7];
  std::string bad;
  ASSERT_TRUE(mixtool::ParseUserDataFields(
      "bases.cost,cnts.cost,cnts.spec_w,cans.h_min,cans.h_max,cans.zero_flag,"
      "cans.flags",
      on, &bad));
  for (bool b : on) EXPECT_TRUE(b);
}

}  // namespace
