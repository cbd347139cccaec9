// mixtool child on the sample data set, in process.
#include "child_command.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <sstream>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

int FailingApply(Wy_GDataChild&, const char*, int, int32_t, int32_t) {
  return -1;
}

class ChildCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    ASSERT_TRUE(
        platform::Env::Current()->SetEnv("KALVO_LOGDIR", drives_.dir()).ok());
  }
  void TearDown() override {
    Wy_GDataChild::SetApplyHook(nullptr);
    platform::Env::Current()->UnsetEnv("KALVO_LOGDIR");
  }
  void Rules(const std::string& dst, const std::string& more = "") {
    const std::string text =
        "00000000          DIR_FROM=c:\\gdata\\\n"
        "00000000          DIR_TO  =" +
        dst +
        "\n"
        "00000000          GDT_DESC=1.00  Shop\n" +
        more;
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(
        platform::Env::Current()
            ->OpenFile("c:\\rules.txt", platform::OpenMode::kCreateAlways, &f)
            .ok());
    ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  }
  int Run(std::vector<std::string> args) {
    CLI::App app;
    mixtool::ChildArgs a;
    mixtool::AddChildCommand(app, &a);
    std::vector<const char*> argv = {"mixtool"};
    for (const auto& s : args) argv.push_back(s.c_str());
    out_.str("");
    err_.str("");
    try {
      app.parse(int(argv.size()), const_cast<char**>(argv.data()));
    } catch (const CLI::ParseError&) {
      return 2;
    }
    return mixtool::RunChildCommand(a, out_, err_);
  }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(ChildCommandTest, BuildsAndAnswersByResult) {
  Rules("c:\\child\\");
  EXPECT_EQ(Run({"child", "c:\\rules.txt"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("MIXTABLEChild.LOG"), std::string::npos);
  CMixtableEx set;
  set.SetDataDir("c:\\child\\");
  EXPECT_NE(set.GetGdataDescr().find("Shop"), std::string::npos);
  set.CloseAll();
  EXPECT_EQ(Run({"child", "c:\\rules.txt", "--no-copy"}), 0) << err_.str();

  Rules("c:\\child\\", "********FRM       DELETE  =(VAL(ID)=10)\n");
  Wy_GDataChild::SetApplyHook(&FailingApply);
  EXPECT_EQ(Run({"child", "c:\\rules.txt"}), 1);
  EXPECT_NE(err_.str().find("(-4)"), std::string::npos) << err_.str();
}

TEST_F(ChildCommandTest, RefusalsAnswerTwo) {
  Rules("c:\\gdata\\P1\\child\\");
  EXPECT_EQ(Run({"child", "c:\\rules.txt"}), 2);
  EXPECT_NE(err_.str().find("(-1)"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"child", "c:\\none.txt"}), 2);
  EXPECT_EQ(Run({"child"}), 2);
}

}  // namespace
