// Processes on every host: exit codes, waits with a timeout, arguments that
// arrive as given, the child's directory and environment, failed starts,
// the program and module paths and the process list. The child is this
// test program itself (child_process.h entries), started through the
// host's process code. Where the hosts differ the expectation says which
// host it is for.

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/windows_host.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/internal/process_impl.h"
#include "platform/path_parts.h"
#include "platform/testing/child_process.h"
#include "platform/testing/host.h"
#include "platform/testing/temp_dir.h"

namespace platform::internal {
namespace {

using testing::kWindowsHost;

// args: the exit status, then optionally milliseconds to sleep first.
KALVO_CHILD_MAIN(proc_exit)(const std::vector<std::string>& args) {
  if (args.size() > 1) Env::Default()->SleepMs(std::atoi(args[1].c_str()));
  return args.empty() ? 0 : std::atoi(args[0].c_str());
}

// args: a host path, then anything. Writes the other arguments (each as
// "length:text" on a line), the current directory and $KALVO_CHILD_VAR and
// $KALVO_CHILD_PARENT ("-" when unset) to the file.
KALVO_CHILD_MAIN(proc_report)(const std::vector<std::string>& args) {
  if (args.empty()) return 20;
  FILE* f = std::fopen(args[0].c_str(), "wb");
  if (f == nullptr) return 21;
  for (size_t i = 1; i < args.size(); ++i) {
    std::fprintf(f, "%zu:%s\n", args[i].size(), args[i].c_str());
  }
  Env* env = Env::Default();
  std::string var = "-", parent = "-";
  env->GetEnv("KALVO_CHILD_VAR", &var);
  env->GetEnv("KALVO_CHILD_PARENT", &parent);
  std::fprintf(f, "cwd=%s\nvar=%s\nparent=%s\n", env->CurrentDir().c_str(),
               var.c_str(), parent.c_str());
  return std::fclose(f) == 0 ? 0 : 22;
}

// This program started as child entry name with args.
ProcessSpec Child(const std::string& name, std::vector<std::string> args) {
  ProcessSpec launch;
  launch.program = ProgramPathImpl();
  launch.args = {"--kalvo-child=" + name};
  launch.args.insert(launch.args.end(), args.begin(), args.end());
  return launch;
}

// Starts launch, waits and answers the exit status (kChildNotRun when the
// start failed).
int RunToEnd(const ProcessSpec& launch) {
  std::fflush(nullptr);
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(launch, &p);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return testing::WaitChild(p.get());
}

std::string ReadAll(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The last component of a host path.
std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class ProcessTest : public ::testing::Test {
 protected:
  std::string Host(const std::string& rel) {
    std::string host;
    EXPECT_TRUE(Env::Default()->HostPath(tmp_.Sub(rel), &host).ok());
    return host;
  }

  testing::ScopedTempDir tmp_;
};

TEST_F(ProcessTest, ExitCodes) {
  std::vector<int> codes = {0, 7, 255};
  if (kWindowsHost) codes.insert(codes.end(), {256, 70000});  // 32 bits there
  for (int code : codes) {
    EXPECT_EQ(RunToEnd(Child("proc_exit", {std::to_string(code)})), code);
  }
}

TEST_F(ProcessTest, WaitWithTimeoutAndRunning) {
  // Long enough for the slowest start (wine) to be still running.
  const char* sleep_ms = kWindowsHost ? "1500" : "300";
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(Child("proc_exit", {"5", sleep_ms}), &p);
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_GT(p->pid(), 0);
  int code = -1;
  EXPECT_FALSE(p->Wait(0, &code));
  EXPECT_FALSE(p->Wait(5, &code));
  EXPECT_EQ(code, -1);  // untouched while running
  EXPECT_TRUE(p->Running());
  EXPECT_TRUE(p->Wait(60000, &code));
  EXPECT_EQ(code, 5);
  EXPECT_FALSE(p->Running());
  code = -1;
  EXPECT_TRUE(p->Wait(0, &code));  // asked again: the same answer
  EXPECT_EQ(code, 5);
  EXPECT_TRUE(p->Wait(-1, nullptr));
}

TEST_F(ProcessTest, ArgumentsArriveAsGiven) {
  // No shell parses them: blanks, quotes, backslashes, wildcards and
  // variables arrive as they were given.
  const std::vector<std::string> args = {
      "",       "a b",       "a\"b",   "a\\\\b",     "a\\\"b",
      "end\\",  "end x\\",   "\t",     "x y\\\\",    "\"",
      "\\\"\\", "*.dbf",     "%PATH%", "caf\xE9",    "a&b|c<d>e^f;g",
      "  lead", "two  gaps", "q\"\"q", "c:\\gdata\\"};
  const std::string out = Host("args.txt");
  std::vector<std::string> child_args = {out};
  child_args.insert(child_args.end(), args.begin(), args.end());
  ASSERT_EQ(RunToEnd(Child("proc_report", child_args)), 0);
  std::string want;
  for (const std::string& a : args) {
    want += std::to_string(a.size()) + ":" + a + "\n";
  }
  want += "cwd=";
  const std::string got = ReadAll(out);
  EXPECT_EQ(got.substr(0, want.size()), want);
}

TEST_F(ProcessTest, DirectoryAndEnvironment) {
  Env* env = Env::Default();
  const std::string out = Host("env.txt");
  ASSERT_TRUE(env->CreateDir(tmp_.Sub("work dir")).ok());

  // An empty list inherits the environment, with this process's changes.
  ASSERT_TRUE(env->SetEnv("KALVO_CHILD_VAR", "inherited").ok());
  ASSERT_TRUE(env->SetEnv("KALVO_CHILD_PARENT", "parent").ok());
  EXPECT_EQ(RunToEnd(Child("proc_report", {out})), 0);
  std::string got = ReadAll(out);
  EXPECT_NE(got.find("var=inherited\nparent=parent\n"), std::string::npos)
      << got;

  // A full list replaces it; the directory is the one given.
  ProcessSpec launch = Child("proc_report", {out});
  launch.env = {"KALVO_CHILD_VAR=given value"};
  std::string v;
  for (const char* keep : {"PATH", "SystemRoot"}) {
    if (env->GetEnv(keep, &v)) launch.env.push_back(keep + ("=" + v));
  }
  launch.cwd = Host("work dir");
  EXPECT_EQ(RunToEnd(launch), 0);
  env->UnsetEnv("KALVO_CHILD_VAR");
  env->UnsetEnv("KALVO_CHILD_PARENT");
  got = ReadAll(out);
  EXPECT_NE(got.find("var=given value\nparent=-\n"), std::string::npos) << got;
  const size_t at = got.find("cwd=");
  ASSERT_NE(at, std::string::npos);
  const std::string cwd = got.substr(at + 4, got.find('\n', at) - at - 4);
  EXPECT_EQ(BaseName(cwd), "work dir") << cwd;
}

TEST_F(ProcessTest, FailedStartsAreErrors) {
  struct Case {
    std::string program;
    std::string cwd;
    int error;
  };
  std::vector<Case> cases = {
      {"", "", ENOENT},
      {Host("missing"), "", ENOENT},
      {"kalvo-no-such-program", "", ENOENT},  // searched in PATH
      {ProgramPathImpl(), Host("missing"), ENOENT},
  };
#ifndef _WIN32
  const std::string plain = Host("plain");
  int fd = open(plain.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "#!/bin/sh\n", 10), 10);
  close(fd);
  const std::string garbage = Host("garbage");
  fd = open(garbage.c_str(), O_CREAT | O_WRONLY, 0755);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "\x01\x02\x03\x04", 4), 4);
  close(fd);
  cases.push_back({plain, "", EACCES});     // not executable
  cases.push_back({garbage, "", ENOEXEC});  // not a program
  cases.push_back({Host(""), "", EACCES});  // a directory
  cases.push_back({"/bin/sh", plain, ENOTDIR});
#endif
  for (const Case& c : cases) {
    ProcessSpec launch;
    launch.program = c.program;
    launch.cwd = c.cwd;
    std::unique_ptr<Process> p;
    Status s = StartProcessImpl(launch, &p);
    EXPECT_FALSE(s.ok()) << c.program << " in " << c.cwd;
    EXPECT_EQ(s.code(), c.error) << s.ToString();
    if (!c.cwd.empty()) {
      EXPECT_NE(s.message().find("in directory"), std::string::npos);
    }
    EXPECT_EQ(p, nullptr);
  }
}

TEST_F(ProcessTest, ProgramPathsAndListing) {
  const std::string program = ProgramPathImpl();
  ASSERT_FALSE(program.empty());
  EXPECT_NE(program.find("platform_"), std::string::npos) << program;
  if (kWindowsHost) {
    EXPECT_EQ(program.substr(program.size() - 4), ".exe");
  } else {
    EXPECT_EQ(program[0], '/');
  }
  static const int anchor = 0;
  EXPECT_EQ(ModulePathImpl(&anchor), program);  // in the executable itself
  EXPECT_EQ(ModulePathImpl(nullptr), program);
#ifdef _WIN32
  // A function of a system library lies in that library. (The program
  // reaches the platform DLL's functions through stubs of its own, so
  // their addresses name the program.)
  const std::string module =
      ModulePathImpl(reinterpret_cast<const void*>(&GetCurrentProcessId));
  EXPECT_FALSE(module.empty());
  EXPECT_NE(module, program);
#else
  // A symbol of the platform library lies in that library.
  const std::string module =
      ModulePathImpl(reinterpret_cast<const void*>(&Env::Default));
  EXPECT_NE(module.find("kalvo_platform"), std::string::npos) << module;
#endif

  // The list holds this process and a child, named by the program's file
  // name (without ".exe" on Windows; Linux keeps its first 15 bytes).
  std::string name = BaseName(program);
  if (kWindowsHost) name.resize(name.size() - 4);
  if (!kWindowsHost && name.size() > 15) name.resize(15);
  std::unique_ptr<Process> child;
  ASSERT_TRUE(
      StartProcessImpl(Child("proc_exit", {"0", "60000"}), &child).ok());
  std::vector<ProcessEntry> list;
  ASSERT_TRUE(ListProcessesImpl(&list).ok());
  bool self = false, found_child = false;
  const int self_pid = Env::Default()->CurrentProcessId();
  for (const ProcessEntry& e : list) {
    if (e.pid != self_pid && e.pid != child->pid()) continue;
    (e.pid == self_pid ? self : found_child) = true;
    // Windows names files ignoring case.
    auto same = [](const std::string& a, const std::string& b) {
      return kWindowsHost ? EqualsIgnoreCase(a, b) : a == b;
    };
    EXPECT_TRUE(same(e.exe, program)) << e.exe;
    EXPECT_TRUE(same(e.name, name)) << e.name;
  }
  EXPECT_TRUE(self);
  EXPECT_TRUE(found_child);
  EXPECT_TRUE(testing::KillChild(child.get()));
}

}  // namespace
}  // namespace platform::internal
