#include "platform/hooks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

// The environment the code under test reads with getenv: Env::SetEnv
// keeps the C library's copy current on every host.
void SetVar(const char* name, const char* value) {
  Env::Default()->SetEnv(name, value);
}
void UnsetVar(const char* name) { Env::Default()->UnsetEnv(name); }

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
  ProgressHook prev_progress = SetProgressHook(
      [](const void* w, unsigned msg, int64_t param, const char* text) {
        g_seen->push_back("progress " +
                          std::string(static_cast<const char*>(w)) + " " +
                          std::to_string(msg) + " " + std::to_string(param) +
                          " " + (text != nullptr ? text : "(null)"));
      });
  BeepHook prev_beep = SetBeepHook([] { g_seen->push_back("beep"); });

  EXPECT_EQ(ShowMessageBox("c", "t", kMbYesNo), kIdNo);
  Trace(1002, "hello");
  Progress(kProgressWindow, kProgressOverall, 10, "Checking");
  Progress(nullptr, kProgressOverall, 20, "no window: nothing sent");
  Progress(kProgressWindow, kProgressText, kProgressReset, nullptr);
  Beep();
  EXPECT_EQ(seen, std::vector<std::string>(
                      {"box c/t", "trace 1002 hello",
                       "progress program 34562 10 Checking",
                       "progress program 34564 2 (null)", "beep"}));

  // Restoring the defaults: the previous hooks are the console ones.
  SetMessageBoxHook(prev_box);
  SetTraceHook(prev_trace);
  SetProgressHook(prev_progress);
  SetBeepHook(prev_beep);
  EXPECT_NE(SetBeepHook(nullptr), nullptr);  // answers the installed one
  seen.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("c", "t", kMbYesNo), kIdYes);
  Progress(kProgressWindow, kProgressStep, 1, "table");
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(seen.empty());
}

TEST(HooksTest, ProgressPercentIsClamped) {
  struct {
    int64_t done, total, want;
  } cases[] = {{0, 0, 0},   {5, 0, 0},   {5, -1, 0},
               {-3, 10, 0}, {1, 3, 33},  {3, 3, 100},
               {7, 3, 100}, {1, 200, 0}, {INT64_MAX / 2, INT64_MAX, 50}};
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressPercent(c.done, c.total), c.want)
        << c.done << "/" << c.total;
  }
}

TEST(HooksTest, TraceGoesWhereTheEnvironmentSays) {
  ScopedTempDrives tmp;
  UnsetVar("KALVO_TRACE");
  ::testing::internal::CaptureStderr();
  Trace(1002, "nowhere");
  SetVar("KALVO_TRACE", "stderr");
  Trace(1002, "to stderr");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to stderr\n");

  const std::string file = tmp.Host("trace.log");
  SetVar("KALVO_TRACE", file.c_str());
  Trace(1002, "one");
  Trace(1002, "two\n");
  UnsetVar("KALVO_TRACE");
  Trace(1002, "three");
  std::ifstream in(file);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "one\ntwo\n");
}

}  // namespace
}  // namespace platform
