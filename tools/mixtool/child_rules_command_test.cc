// mixtool child-rules on the sample data set, in process.
#include "child_rules_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/env.h"
#include "platform/line_reader.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

class ChildRulesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    std::string text =
        "00000000          DIR_FROM=c:\\gdata\\\n"
        "00000000          DIR_TO  =c:\\child\\\n"
        "00000000          GDT_DESC=Shop\n";
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(
        platform::Env::Current()
            ->OpenFile("c:\\rules.txt", platform::OpenMode::kCreateAlways, &f)
            .ok());
    ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  }
  int Run(std::vector<std::string> args) {
    CLI::App app;
    mixtool::ChildRulesArgs a;
    mixtool::AddChildRulesCommand(app, &a);
    std::vector<const char*> argv = {"mixtool"};
    for (const auto& s : args) argv.push_back(s.c_str());
    out_.str("");
    err_.str("");
    try {
      app.parse(int(argv.size()), const_cast<char**>(argv.data()));
    } catch (const CLI::ParseError&) {
      return 2;
    }
    return mixtool::ChildRules(a, out_, err_);
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(ChildRulesCommandTest, DeleteShowCleanAndRefusals) {
  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "delete", "cans", "2"}), 0)
      << err_.str();
  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "delete-ex", "FRM",
                 "(VAL(ID)=20)", "--prd", "1", "--spd", "1"}),
            0);
  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "show"}), 0);
  EXPECT_NE(out_.str().find(
                "00000000CANS      DELETE  =(VAL(ID)=2).AND.(DESCR=\"Can 2\")"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find("00010001FRM       DELETE_X=(VAL(ID)=20)"),
            std::string::npos);

  EXPECT_EQ(
      Run({"child-rules", "c:\\rules.txt", "delete-ex", "FRM", "CX(1,\"a\")"}),
      1);
  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "delete", "NOPE", "2"}), 1);
  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "delete", "CANS", "2x"}), 1);
  EXPECT_EQ(Run({"child-rules", "c:\\missing.txt", "show"}), 1);

  EXPECT_EQ(Run({"child-rules", "c:\\rules.txt", "clean", "*", "--all"}), 0);
  EXPECT_EQ(out_.str(), "3 cards\n");  // the header cards stay
}

}  // namespace
