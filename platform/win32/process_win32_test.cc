// Windows process start: the command line reaches the child argument by
// argument, exit codes, waits with a timeout, directory and environment,
// and which handles the child inherits. The child is this test program
// itself: started with $KALVO_PROCESS_CHILD set, it does the child's work
// in a static initializer and ends before the tests would run.

#include <windows.h>
// After windows.h:
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/env.h"
#include "platform/internal/process_impl.h"
#include "platform/win32/process_win32.h"

namespace platform::internal {
namespace {

std::string GetVar(const char* name) {
  char buf[4096];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
  return n == 0 || n >= sizeof(buf) ? "" : std::string(buf, n);
}

// The child's work: writes its arguments (each as "length:text" on a line),
// its directory, $KALVO_CHILD_VAR and whether the handle named by
// $KALVO_CHILD_HANDLE is open in it to $KALVO_CHILD_OUT, sleeps
// $KALVO_CHILD_SLEEP ms and ends with $KALVO_CHILD_EXIT.
int RunChildIfAsked() {
  if (GetVar("KALVO_PROCESS_CHILD").empty()) return 0;
  std::string out = GetVar("KALVO_CHILD_OUT");
  if (!out.empty()) {
    FILE* f = std::fopen(out.c_str(), "wb");
    if (f != nullptr) {
      for (int i = 1; i < __argc; ++i) {
        std::fprintf(f, "%zu:%s\n", std::strlen(__argv[i]), __argv[i]);
      }
      char dir[MAX_PATH];
      GetCurrentDirectoryA(sizeof(dir), dir);
      std::fprintf(f, "cwd=%s\nvar=%s\n", dir,
                   GetVar("KALVO_CHILD_VAR").c_str());
      std::string h = GetVar("KALVO_CHILD_HANDLE");
      if (!h.empty()) {
        DWORD flags = 0;
        HANDLE handle = reinterpret_cast<HANDLE>(
            static_cast<uintptr_t>(std::strtoull(h.c_str(), nullptr, 10)));
        std::fprintf(f, "handle=%d\n",
                     GetHandleInformation(handle, &flags) ? 1 : 0);
      }
      std::fclose(f);
    }
  }
  std::string sleep = GetVar("KALVO_CHILD_SLEEP");
  if (!sleep.empty()) Sleep(static_cast<DWORD>(std::atoi(sleep.c_str())));
  ExitProcess(static_cast<UINT>(
      std::strtoul(GetVar("KALVO_CHILD_EXIT").c_str(), nullptr, 10)));
}
const int kChildRan = RunChildIfAsked();

std::string Self() { return ProgramPathImpl(); }

std::string TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  return std::string(dir) + name + std::to_string(GetCurrentProcessId());
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Starts the child with the variables set (in this process's environment,
// which the child inherits unless env is given) and waits for it.
int RunChild(std::vector<std::string> args, std::string out,
             std::vector<std::pair<std::string, std::string>> vars = {},
             std::vector<std::string> env = {}, std::string cwd = "") {
  vars.push_back({"KALVO_PROCESS_CHILD", "1"});
  vars.push_back({"KALVO_CHILD_OUT", out});
  for (auto& v : vars)
    SetEnvironmentVariableA(v.first.c_str(), v.second.c_str());
  ProcessSpec launch;
  launch.program = Self();
  launch.args = std::move(args);
  launch.env = std::move(env);
  launch.cwd = std::move(cwd);
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(launch, &p);
  for (auto& v : vars) SetEnvironmentVariableA(v.first.c_str(), nullptr);
  EXPECT_TRUE(s.ok()) << s.ToString();
  if (!s.ok()) return -1000;
  int code = -1;
  EXPECT_TRUE(p->Wait(-1, &code));
  return code;
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

TEST(ProcessWin32Test, ArgumentsArriveAsGiven) {
  const std::vector<std::string> args = {
      "",       "a b",       "a\"b",   "a\\\\b",     "a\\\"b",
      "end\\",  "end x\\",   "\t",     "x y\\\\",    "\"",
      "\\\"\\", "*.dbf",     "%PATH%", "caf\xE9",    "a&b|c<d>e^f",
      "  lead", "two  gaps", "q\"\"q", "c:\\gdata\\"};
  const std::string out = TempFile("kalvo_args");
  ASSERT_EQ(RunChild(args, out), 0);
  std::string want;
  for (const std::string& a : args) {
    want += std::to_string(a.size()) + ":" + a + "\n";
  }
  const std::string got = ReadAll(out);
  EXPECT_EQ(got.substr(0, want.size()), want);
  DeleteFileA(out.c_str());
}

TEST(ProcessWin32Test, ExitCodes) {
  const std::string out = TempFile("kalvo_exit");
  for (int code : {0, 7, 256, 70000}) {
    EXPECT_EQ(RunChild({}, out, {{"KALVO_CHILD_EXIT", std::to_string(code)}}),
              code);
  }
  DeleteFileA(out.c_str());
}

TEST(ProcessWin32Test, WaitWithTimeoutAndRunning) {
  SetEnvironmentVariableA("KALVO_PROCESS_CHILD", "1");
  SetEnvironmentVariableA("KALVO_CHILD_SLEEP", "1500");
  SetEnvironmentVariableA("KALVO_CHILD_EXIT", "5");
  ProcessSpec launch;
  launch.program = Self();
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(launch, &p);
  SetEnvironmentVariableA("KALVO_PROCESS_CHILD", nullptr);
  SetEnvironmentVariableA("KALVO_CHILD_SLEEP", nullptr);
  SetEnvironmentVariableA("KALVO_CHILD_EXIT", nullptr);
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_GT(p->pid(), 0);
  int code = -1;
  EXPECT_FALSE(p->Wait(0, &code));
  EXPECT_FALSE(p->Wait(50, &code));
  EXPECT_TRUE(p->Running());
  EXPECT_TRUE(p->Wait(10000, &code));
  EXPECT_EQ(code, 5);
  EXPECT_FALSE(p->Running());
  code = -1;
  EXPECT_TRUE(p->Wait(0, &code));  // the status is kept
  EXPECT_EQ(code, 5);
}

TEST(ProcessWin32Test, DirectoryAndEnvironment) {
  char tmp[MAX_PATH];
  GetTempPathA(sizeof(tmp), tmp);
  std::string dir = tmp;
  if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  const std::string out = TempFile("kalvo_env");

  // Inherited environment.
  ASSERT_EQ(RunChild({}, out, {{"KALVO_CHILD_VAR", "inherited"}}), 0);
  EXPECT_NE(ReadAll(out).find("var=inherited\n"), std::string::npos);

  // A given environment replaces the parent's entirely, and a relative
  // program path still names the parent's file after the change of
  // directory.
  std::vector<std::string> env = {
      "KALVO_PROCESS_CHILD=1", "KALVO_CHILD_OUT=" + out,
      "KALVO_CHILD_VAR=given value", "SystemRoot=" + GetVar("SystemRoot")};
  SetEnvironmentVariableA("KALVO_CHILD_VAR", "parent");
  ASSERT_EQ(RunChild({}, out, {}, env, dir), 0);
  SetEnvironmentVariableA("KALVO_CHILD_VAR", nullptr);
  const std::string got = ReadAll(out);
  EXPECT_NE(got.find("var=given value\n"), std::string::npos) << got;
  EXPECT_NE(got.find("cwd=" + dir + "\n"), std::string::npos) << got;
  DeleteFileA(out.c_str());
}

TEST(ProcessWin32Test, OnlyStandardHandlesAreInherited) {
  const std::string out = TempFile("kalvo_handle");
  const std::string other = TempFile("kalvo_inheritable");
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE h = CreateFileA(other.c_str(), GENERIC_WRITE, 0, &sa, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const std::string value = std::to_string(reinterpret_cast<uintptr_t>(h));
  ASSERT_EQ(RunChild({}, out, {{"KALVO_CHILD_HANDLE", value}}), 0);
  EXPECT_NE(ReadAll(out).find("handle=0\n"), std::string::npos)
      << "an inheritable handle reached the child";
  CloseHandle(h);
  DeleteFileA(other.c_str());
  DeleteFileA(out.c_str());
}

TEST(ProcessWin32Test, StartFailures) {
  ProcessSpec launch;
  std::unique_ptr<Process> p;
  EXPECT_EQ(StartProcessImpl(launch, &p).code(), ENOENT);
  launch.program = "c:\\no\\such\\program.exe";
  EXPECT_EQ(StartProcessImpl(launch, &p).code(), ENOENT);
  launch.program = "no_such_program_kalvo";
  EXPECT_EQ(StartProcessImpl(launch, &p).code(), ENOENT);
  launch.program = Self();
  launch.cwd = "c:\\no\\such\\dir";
  Status s = StartProcessImpl(launch, &p);
  EXPECT_EQ(s.code(), ENOENT);
  EXPECT_NE(s.message().find("in directory"), std::string::npos);
  EXPECT_EQ(p, nullptr);
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

TEST(ProcessWin32Test, ProgramPathsAndListing) {
  const std::string self = Self();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self.substr(self.size() - 4), ".exe");
  EXPECT_EQ(ModulePathImpl(reinterpret_cast<const void*>(&Self)), self);
  // Kernel32 lives in its own module.
  const std::string k32 =
      ModulePathImpl(reinterpret_cast<const void*>(&GetCurrentProcessId));
  EXPECT_NE(k32, self);
  EXPECT_FALSE(k32.empty());
  std::vector<ProcessEntry> list;
  ASSERT_TRUE(ListProcessesImpl(&list).ok());
  bool found = false;
  for (const ProcessEntry& e : list) {
    if (e.pid == static_cast<int>(GetCurrentProcessId())) {
      found = true;
      EXPECT_EQ(_stricmp(e.exe.c_str(), self.c_str()), 0) << e.exe;
      // The command name is the file name without ".exe", as on Linux.
      const size_t slash = self.find_last_of("\\/");
      const std::string base = self.substr(slash + 1, self.size() - slash - 5);
      EXPECT_EQ(_stricmp(e.name.c_str(), base.c_str()), 0) << e.name;
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace platform::internal
