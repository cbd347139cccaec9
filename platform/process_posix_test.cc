// What only the Linux process code has: signals, reaping, descriptors and
// signal dispositions a child must not inherit, search of PATH, links, and
// the drives root (the tests of both hosts are process_test.cc).

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
#include "platform/testing/child_process.h"

namespace platform::internal {
namespace {

// Runs /bin/sh with the script and arguments, waits and answers the exit
// status (kChildNotRun when the start failed).
int RunShell(const std::string& script) {
  ProcessSpec launch;
  launch.program = "/bin/sh";
  launch.args = {"-c", script};
  std::unique_ptr<Process> p;
  Status s = StartProcessImpl(launch, &p);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return testing::WaitChild(p.get());
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

TEST(ProcessPosixTest, SignalsEndInStatus128PlusTheSignal) {
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
