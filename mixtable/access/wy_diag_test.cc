#include <cerrno>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "mixtable/wy_util.h"
#include "platform/hooks.h"
#include "platform/line_reader.h"
#include "platform/testing/temp_drives.h"

namespace {

struct Box {
  std::string caption, text;
  unsigned style;
};
std::vector<Box> boxes;
int RecordBox(const char* caption, const char* text, unsigned style) {
  boxes.push_back({caption, text, style});
  return platform::kIdOk;
}

struct TraceLine {
  int category;
  std::string text;
};
std::vector<TraceLine> traces;
void RecordTrace(int category, const char* text) {
  traces.push_back({category, text});
}

class WyDiagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.clear();
    traces.clear();
    old_box_ = platform::SetMessageBoxHook(RecordBox);
    old_trace_ = platform::SetTraceHook(RecordTrace);
  }
  void TearDown() override {
    platform::SetMessageBoxHook(old_box_);
    platform::SetTraceHook(old_trace_);
  }

 private:
  platform::MessageBoxHook old_box_;
  platform::TraceHook old_trace_;
};

TEST_F(WyDiagTest, LastErrorMessageShowsErrnoText) {
  errno = ENOENT;
  Wy_GetLastErrorMessage(true);
  EXPECT_EQ(errno, ENOENT);  // left as it was
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "No such file or directory");
  EXPECT_EQ(boxes[0].caption, "mixtable_util_test");
  EXPECT_EQ(boxes[0].style & 0xF0u, platform::kMbIconInformation);
}

TEST_F(WyDiagTest, LastErrorMessageWithoutError) {
  errno = 0;
  Wy_GetLastErrorMessage(true);  // nothing to report
  EXPECT_TRUE(boxes.empty());
  Wy_GetLastErrorMessage(false);  // shown anyway
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Success");
  errno = 99999;  // no such code
  Wy_GetLastErrorMessage(true);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Unknown error 99999.");
}

TEST_F(WyDiagTest, TraceFormatsWithCategory) {
  Wy_Trace("%s %05ld %c", "id", 42L, 'x');
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0].category, 1002);
  EXPECT_EQ(traces[0].text, "id 00042 x");
  Wy_Trace("%s", "");
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_EQ(traces[1].text, "");
}

TEST_F(WyDiagTest, TraceCutsAt4096Bytes) {
  std::string big(10000, 'a');
  Wy_Trace("%s%s", big.c_str(), "tail");
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0].text.size(), 4095u);  // and a terminator
  EXPECT_EQ(traces[0].text, big.substr(0, 4095));
  Wy_Trace(nullptr);  // no crash, nothing sent
  EXPECT_EQ(traces.size(), 1u);
}

TEST(WyTraceSinkTest, EnvironmentSendsTraceToAFile) {
  platform::ScopedTempDrives drives;
  platform::Env* env = platform::Env::Current();
  std::string file = drives.dir() + "/trace.txt";
  ASSERT_TRUE(env->SetEnv("KALVO_TRACE", file).ok());
  platform::TraceHook old = platform::SetTraceHook(nullptr);  // default sink
  Wy_Trace("line %d", 1);
  platform::SetTraceHook(old);
  env->UnsetEnv("KALVO_TRACE");
  std::vector<std::string> lines;
  ASSERT_TRUE(platform::ReadLines(file, &lines).ok());
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("line 1"), std::string::npos);
}

}  // namespace
