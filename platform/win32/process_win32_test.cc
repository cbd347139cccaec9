// What only the Windows process code has: the quoting of the command
// line, command names without ".exe", and which handles a child inherits
// (the tests of both hosts are process_test.cc).

#include "platform/win32/process_win32.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/env.h"
#include "platform/internal/process_impl.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_dir.h"

namespace platform::internal {
namespace {

// args: a handle value of the parent. Exit status 1 when that handle is
// open in this process, 0 when not.
KALVO_CHILD_MAIN(proc_handle)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 20;
  DWORD flags = 0;
  HANDLE handle = reinterpret_cast<HANDLE>(
      static_cast<uintptr_t>(std::strtoull(args[0].c_str(), nullptr, 10)));
  return GetHandleInformation(handle, &flags) ? 1 : 0;
}

TEST(ProcessWin32Test, QuotingRules) {
  struct Case {
    const char* arg;
    const char* quoted;
  } cases[] = {
      {"plain", "plain"},
      {"", "\"\""},
      {"a b", "\"a b\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\b", "a\\b"},                  // no quote: backslashes as they are
      {"a\\\"b", "\"a\\\\\\\"b\""},      // backslash before a quote
      {"dir\\ x\\", "\"dir\\ x\\\\\""},  // backslash before the closing one
      {"tab\there", "\"tab\there\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QuoteArgument(c.arg), c.quoted) << c.arg;
  EXPECT_EQ(BuildCommandLine("c:\\my dir\\p.exe", {"x", ""}),
            "\"c:\\my dir\\p.exe\" x \"\"");
}

TEST(ProcessWin32Test, OnlyStandardHandlesAreInherited) {
  testing::ScopedTempDir tmp;
  std::string other;
  ASSERT_TRUE(Env::Default()->HostPath(tmp.Sub("inheritable"), &other).ok());
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE h = CreateFileA(other.c_str(), GENERIC_WRITE, 0, &sa, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const std::string value = std::to_string(reinterpret_cast<uintptr_t>(h));
  EXPECT_EQ(testing::RunChild("proc_handle", {value}), 0)
      << "an inheritable handle reached the child";
  CloseHandle(h);
}

TEST(ProcessWin32Test, CommandNamesWithoutExe) {
  const struct {
    const char* exe_file;
    const char* name;
  } kCases[] = {
      {"sleep.exe", "sleep"},
      {"SLEEP.EXE", "SLEEP"},
      {"Tool.Exe", "Tool"},
      {"a.b.exe", "a.b"},
      {"tool.com", "tool.com"},
      {"tool.exe.bak", "tool.exe.bak"},
      {"toolexe", "toolexe"},
      {".exe", ".exe"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CommandName(c.exe_file), c.name) << c.exe_file;
  }
}

}  // namespace
}  // namespace platform::internal
