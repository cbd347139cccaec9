// mixtool research, in process, on a built data set and inventory.

#include "research_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "access/scoped_env_var.h"
#include "inventory/research_test_data.h"
#include "mixtable/wy_storage_manager.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using namespace research_testing;

class ResearchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BuildResearchData(&error)) << error;
    CWy_StorageManager m("c:\\inv\\");
    for (const char* text : {"1,5,2,10", "1,5,3,1", "1,4,2,8"}) {
      CWy_FormulaInv inv = MakeStored(MakeFormula(kDataId, 1, text),
                                      MakeBatch(text, text[2] == '4' ? 2 : 1));
      ASSERT_GT(m.InsertFormula(inv, true), 0);
    }
    Write("c:\\target.txt",
          MakeFormula(kDataId, 1, "1,10,2,20").WriteText(nullptr));
  }
  void Write(const std::string& path, const std::string& text) {
    std::string host;
    ASSERT_TRUE(platform::Env::Current()->HostPath(path, &host).ok());
    FILE* f = std::fopen(host.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  int Run(const mixtool::ResearchArgs& a) {
    out_.str("");
    err_.str("");
    return mixtool::Research(a, out_, err_);
  }

  platform::ScopedTempDrives drives_;
  mixtable::ScopedEnvVar no_local_{"LOCALDIR"};
  mixtable::ScopedEnvVar no_trace_{"KALVO_RESEARCH_TRACE"};
  std::ostringstream out_, err_;
};

TEST_F(ResearchCommandTest, ListsTheRecyclableBatches) {
  mixtool::ResearchArgs a;
  a.file = "c:\\target.txt";
  a.inventory = "c:\\inv\\";
  a.trace = "c:\\trace.txt";
  ASSERT_EQ(Run(a), 0) << err_.str();
  EXPECT_NE(out_.str().find(" formula=0.500000 base=1.000000 batch=1.000000 "
                            "per_can=1000.000\n"),
            std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find(" formula=0.800000 base=1.000000 batch=0.500000 "
                            "per_can=1000.000\n"),
            std::string::npos);
  EXPECT_NE(out_.str().find("\nfound 2\n"), std::string::npos);
  EXPECT_TRUE(platform::Env::Current()->FileExists("c:\\trace.txt"));

  a.cans = 2;
  a.no_trace = true;
  a.trace.clear();
  ASSERT_EQ(Run(a), 0);
  EXPECT_NE(out_.str().find("formula=0.250000"), std::string::npos);
  EXPECT_NE(out_.str().find("per_can=500.000"), std::string::npos);

  a.batch = 2;  // the rejected one
  ASSERT_EQ(Run(a), 0);
  EXPECT_EQ(out_.str(), "found 0\n");
}

TEST_F(ResearchCommandTest, BadInput) {
  mixtool::ResearchArgs a;
  a.inventory = "c:\\inv\\";
  a.file = "c:\\missing.txt";
  EXPECT_EQ(Run(a), 1);
  EXPECT_EQ(err_.str().rfind("mixtool: ", 0), 0u);
  Write("c:\\empty.txt", "nothing here\n");
  a.file = "c:\\empty.txt";
  EXPECT_EQ(Run(a), 1);
  Write("c:\\nodata.txt", "@FRM \"1,1\"\n");
  a.file = "c:\\nodata.txt";
  EXPECT_EQ(Run(a), 1);
  a.file = "c:\\target.txt";
  a.cans = 0;
  EXPECT_EQ(Run(a), 1);
  EXPECT_NE(err_.str().find("--cans"), std::string::npos);
}

}  // namespace
