#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/env.h"
#include "platform/internal/process_impl.h"

namespace platform::internal {
namespace {

// Runs /bin/sh with the script and arguments, waits and answers the exit
// status (or -1000 when the start failed).
int RunShell(const std::string& script, std::vector<std::string> extra = {},
             std::vector<std::string> env = {}, std::string cwd = "") {
  ProcessSpec launch;
  launch.program = "/bin/sh";
  launch.args = {"-c", script, "sh"};
  launch.args.insert(launch.args.end(), extra.begin(), extra.end());
  launch.env = std::move(env);
  launch.cwd = std::move(cwd);
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(launch, &p);
  EXPECT_TRUE(s.ok()) << s.ToString();
  if (!s.ok()) return -1000;
  int code = -1;
  EXPECT_TRUE(p->Wait(-1, &code));
  return code;
}

class TempDir {
 public:
  TempDir() {
    std::string tmpl = Env::Default()->TempDir() + "/process_test_XXXXXX";
    path_ = mkdtemp(tmpl.data()) ? tmpl : "";
    EXPECT_FALSE(path_.empty());
  }
  ~TempDir() { Env::Default()->DeleteTree(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(ProcessPosixTest, ExitCodesAndSignals) {
  EXPECT_EQ(RunShell("exit 0"), 0);
  EXPECT_EQ(RunShell("exit 7"), 7);
  EXPECT_EQ(RunShell("exit 255"), 255);
  EXPECT_EQ(RunShell("kill -TERM $$"), 128 + SIGTERM);
}

TEST(ProcessPosixTest, ReleasedRunningChildrenAreReapedLater) {
  ProcessSpec launch;
  launch.program = "/bin/sleep";
  launch.args = {"0.1"};
  std::unique_ptr<Process> p;
  ASSERT_TRUE(StartProcessImpl(launch, &p).ok());
  const pid_t pid = p->pid();
  p.reset();  // released while it runs
  usleep(400 * 1000);
  ASSERT_EQ(RunShell("exit 0"), 0);  // a later start reaps it
  EXPECT_EQ(-1, kill(pid, 0));       // no zombie left
  EXPECT_EQ(ESRCH, errno);
}

TEST(ProcessPosixTest, StatusIsKeptAfterReaping) {
  ProcessSpec launch;
  launch.program = "/bin/sh";
  launch.args = {"-c", "exit 3"};
  std::unique_ptr<Process> p;
  ASSERT_TRUE(StartProcessImpl(launch, &p).ok());
  EXPECT_GT(p->pid(), 0);
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  EXPECT_EQ(code, 3);
  EXPECT_FALSE(p->Running());
  code = -1;
  EXPECT_TRUE(p->Wait(0, &code));  // asked again: the same answer
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(p->Wait(-1, nullptr));
}

TEST(ProcessPosixTest, WaitWithTimeoutOnARunningChild) {
  ProcessSpec launch;
  launch.program = "/bin/sleep";
  launch.args = {"1000"};
  std::unique_ptr<Process> p;
  ASSERT_TRUE(StartProcessImpl(launch, &p).ok());
  int code = -1;
  EXPECT_TRUE(p->Running());
  EXPECT_FALSE(p->Wait(0, &code));
  EXPECT_FALSE(p->Wait(5, &code));
  EXPECT_EQ(code, -1);  // untouched while running
  ASSERT_EQ(kill(p->pid(), SIGKILL), 0);
  EXPECT_TRUE(p->Wait(100000, &code));
  EXPECT_EQ(code, 128 + SIGKILL);
  EXPECT_FALSE(p->Running());
}

TEST(ProcessPosixTest, ArgumentsPassVerbatim) {
  // No shell parses the arguments: blanks, quotes and ";" arrive as given.
  EXPECT_EQ(RunShell("test \"$1\" = 'a b;c' && test \"$2\" = '\"q\"' && "
                     "test $# -eq 3 && test -z \"$3\"",
                     {"a b;c", "\"q\"", ""}),
            0);
}

TEST(ProcessPosixTest, Environment) {
  // A full list replaces the parent's environment.
  EXPECT_EQ(RunShell("test \"$KALVO_X\" = 'v 1' && test -z \"$HOME\"", {},
                     {"KALVO_X=v 1", "PATH=/usr/bin:/bin"}),
            0);
  // An empty list inherits it, including changes made by the process.
  ASSERT_EQ(setenv("KALVO_INHERITED", "yes", 1), 0);
  EXPECT_EQ(RunShell("test \"$KALVO_INHERITED\" = yes"), 0);
  unsetenv("KALVO_INHERITED");
}

TEST(ProcessPosixTest, WorkingDirectory) {
  TempDir dir;
  char* real = realpath(dir.path().c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string want = real;
  free(real);
  EXPECT_EQ(RunShell("test \"$(pwd -P)\" = \"$1\"", {want}, {}, dir.path()), 0);
}

TEST(ProcessPosixTest, FailedStartsAreErrors) {
  TempDir dir;
  std::string plain = dir.path() + "/plain";
  int fd = open(plain.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "#!/bin/sh\n", 10), 10);
  close(fd);
  std::string garbage = dir.path() + "/garbage";
  fd = open(garbage.c_str(), O_CREAT | O_WRONLY, 0755);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "\x01\x02\x03\x04", 4), 4);
  close(fd);

  struct Case {
    std::string program;
    std::string cwd;
    int error;
  };
  const Case cases[] = {
      {"", "", ENOENT},
      {dir.path() + "/missing", "", ENOENT},
      {"kalvo-no-such-program", "", ENOENT},  // searched in PATH
      {plain, "", EACCES},                    // not executable
      {garbage, "", ENOEXEC},                 // not a program
      {dir.path(), "", EACCES},               // a directory
      {"/bin/sh", dir.path() + "/missing", ENOENT},
      {"/bin/sh", plain, ENOTDIR},
  };
  for (const Case& c : cases) {
    ProcessSpec launch;
    launch.program = c.program;
    launch.cwd = c.cwd;
    launch.args = {"-c", "exit 0"};
    std::unique_ptr<Process> p;
    Status s = StartProcessImpl(launch, &p);
    EXPECT_FALSE(s.ok()) << c.program << " in " << c.cwd;
    EXPECT_EQ(s.code(), c.error) << s.ToString();
    EXPECT_EQ(p, nullptr);
  }
}

TEST(ProcessPosixTest, BareNamesAreSearchedInPath) {
  ProcessSpec launch;
  launch.program = "sh";
  launch.args = {"-c", "exit 4"};
  std::unique_ptr<Process> p;
  ASSERT_TRUE(StartProcessImpl(launch, &p).ok());
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  EXPECT_EQ(code, 4);
}

TEST(ProcessPosixTest, ChildStartsClean) {
  // A descriptor opened without close-on-exec does not reach the child.
  int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 3);
  EXPECT_EQ(RunShell("test ! -e /proc/self/fd/" + std::to_string(fd)), 0);
  close(fd);
  // Signals the parent ignores or blocks are back to their defaults.
  struct sigaction ignore = {}, old_pipe = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old_pipe);
  sigset_t block, old_mask;
  sigemptyset(&block);
  sigaddset(&block, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &block, &old_mask);
  EXPECT_EQ(RunShell("kill -PIPE $$"), 128 + SIGPIPE);
  EXPECT_EQ(RunShell("kill -USR1 $$"), 128 + SIGUSR1);
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  sigaction(SIGPIPE, &old_pipe, nullptr);
}

TEST(ProcessPosixTest, ListProcessesSeesSelfAndChild) {
  ProcessSpec launch;
  launch.program = "/bin/sleep";
  launch.args = {"1000"};
  std::unique_ptr<Process> child;
  ASSERT_TRUE(StartProcessImpl(launch, &child).ok());

  std::vector<ProcessEntry> list;
  ASSERT_TRUE(ListProcessesImpl(&list).ok());
  bool self = false, found_child = false;
  for (const ProcessEntry& e : list) {
    if (e.pid == getpid()) {
      self = true;
      EXPECT_EQ(e.exe, ProgramPathImpl());
    }
    if (e.pid == child->pid()) {
      found_child = true;
      EXPECT_EQ(e.name, "sleep");
      EXPECT_NE(e.exe.find("sleep"), std::string::npos) << e.exe;
    }
  }
  EXPECT_TRUE(self);
  EXPECT_TRUE(found_child);
  kill(child->pid(), SIGKILL);
  int code = 0;
  EXPECT_TRUE(child->Wait(-1, &code));
}

TEST(ProcessPosixTest, ProgramAndModulePaths) {
  std::string program = ProgramPathImpl();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program[0], '/');
  EXPECT_NE(program.find("platform_process_test"), std::string::npos);
  static const int anchor = 0;
  EXPECT_EQ(ModulePathImpl(&anchor), program);  // in the executable itself
  EXPECT_EQ(ModulePathImpl(nullptr), program);
  // A symbol of the platform library lies in that library.
  std::string module =
      ModulePathImpl(reinterpret_cast<const void*>(&Env::Default));
  EXPECT_NE(module.find("kalvo_platform"), std::string::npos) << module;
}

TEST(ProcessPosixTest, ReadLinkAndExecutable) {
  TempDir dir;
  std::string link = dir.path() + "/link";
  ASSERT_EQ(symlink("some/target", link.c_str()), 0);
  std::string target;
  ASSERT_TRUE(ReadLinkImpl(link, &target).ok());
  EXPECT_EQ(target, "some/target");
  Status s = ReadLinkImpl(dir.path(), &target);  // not a link
  EXPECT_EQ(s.code(), EINVAL);
  EXPECT_TRUE(target.empty());
  EXPECT_TRUE(IsExecutableImpl("/bin/sh"));
  EXPECT_FALSE(IsExecutableImpl(dir.path()));  // a directory
  EXPECT_FALSE(IsExecutableImpl(link));        // dangling
  EXPECT_FALSE(IsExecutableImpl("/etc/passwd"));
}

TEST(ProcessPosixTest, ThroughTheEnvMapsPaths) {
  // The Env maps a Windows-style working directory onto the drives.
  TempDir dir;
  Env* env = Env::Default();
  std::string old;
  bool had = env->GetEnv("KALVO_DRIVES", &old);
  ASSERT_TRUE(env->SetEnv("KALVO_DRIVES", dir.path()).ok());
  ASSERT_TRUE(env->CreateDir("c:\\work").ok());
  ProcessSpec launch;
  launch.program = "/bin/sh";
  launch.args = {"-c", "test \"$(basename \"$(pwd)\")\" = work"};
  launch.cwd = "C:\\WORK";
  std::unique_ptr<Process> p;
  Status s = env->StartProcess(launch, &p);
  if (had) {
    env->SetEnv("KALVO_DRIVES", old);
  } else {
    env->UnsetEnv("KALVO_DRIVES");
  }
  ASSERT_TRUE(s.ok()) << s.ToString();
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace platform::internal
