#include "platform/hooks.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

TEST(HooksTest, ConsoleMessageBoxAnswersTheDefaultButton) {
  struct Case {
    unsigned style;
    int answer;
  } cases[] = {
      {kMbOk, kIdOk},
      {kMbOk | kMbIconError, kIdOk},
      {kMbOkCancel, kIdOk},
      {kMbOkCancel | kMbDefButton2, kIdCancel},
      {kMbYesNo | kMbIconQuestion, kIdYes},
      {kMbYesNo | kMbDefButton2, kIdNo},
      {kMbYesNoCancel, kIdYes},
      {kMbYesNoCancel | kMbDefButton2, kIdNo},
      {kMbYesNoCancel | 0x200, kIdCancel},  // third button
  };
  ::testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    EXPECT_EQ(ShowMessageBox("Cap", "text", c.style), c.answer) << c.style;
  }
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(0, 10), "Cap: text\n");
}

std::vector<std::string>* g_seen;

TEST(HooksTest, HooksReplaceAndRestore) {
  std::vector<std::string> seen;
  g_seen = &seen;
  MessageBoxHook prev_box =
      SetMessageBoxHook([](const char* c, const char* t, unsigned) -> int {
        g_seen->push_back(std::string("box ") + c + "/" + t);
        return kIdNo;
      });
  TraceHook prev_trace = SetTraceHook([](int cat, const char* t) {
    g_seen->push_back("trace " + std::to_string(cat) + " " + t);
  });
  ProgressHook prev_progress =
      SetProgressHook([](unsigned msg, int64_t a, int64_t b) {
        g_seen->push_back("progress " + std::to_string(msg) + " " +
                          std::to_string(a) + " " + std::to_string(b));
      });
  BeepHook prev_beep = SetBeepHook([] { g_seen->push_back("beep"); });

  EXPECT_EQ(ShowMessageBox("c", "t", kMbYesNo), kIdNo);
  Trace(1002, "hello");
  Progress(0x8702, 10, 0);
  Beep();
  EXPECT_EQ(seen, std::vector<std::string>({"box c/t", "trace 1002 hello",
                                            "progress 34562 10 0", "beep"}));

  // Restoring the defaults: the previous hooks are the console ones.
  SetMessageBoxHook(prev_box);
  SetTraceHook(prev_trace);
  SetProgressHook(prev_progress);
  SetBeepHook(prev_beep);
  EXPECT_NE(SetBeepHook(nullptr), nullptr);  // answers the installed one
  seen.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("c", "t", kMbYesNo), kIdYes);
  Progress(0x8703, 1, 2);
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(seen.empty());
}

TEST(HooksTest, TraceGoesWhereTheEnvironmentSays) {
  ScopedTempDrives tmp;
  unsetenv("KALVO_TRACE");
  ::testing::internal::CaptureStderr();
  Trace(1002, "nowhere");
  setenv("KALVO_TRACE", "stderr", 1);
  Trace(1002, "to stderr");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to stderr\n");

  const std::string file = tmp.Host("trace.log");
  setenv("KALVO_TRACE", file.c_str(), 1);
  Trace(1002, "one");
  Trace(1002, "two\n");
  unsetenv("KALVO_TRACE");
  Trace(1002, "three");
  std::ifstream in(file);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "one\ntwo\n");
}

}  // namespace
}  // namespace platform
