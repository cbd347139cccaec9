// Host processes: start (fork and exec, never through a shell), wait,
// listing through /proc, and the paths of the program and its modules.

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/internal/process_impl.h"

extern char** environ;

namespace platform::internal {

namespace {

// Exit status as callers see it: the exit code, or 128 + the signal number.
int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int64_t MonotonicMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Children whose handles were released while they ran: reaped by the next
// start or release, so that none stays a zombie until this process ends.
std::mutex g_released_mu;
std::vector<pid_t> g_released;

void Release(pid_t pid) {
  std::lock_guard<std::mutex> lock(g_released_mu);
  g_released.push_back(pid);
}

void ReapReleased() {
  std::lock_guard<std::mutex> lock(g_released_mu);
  for (size_t i = 0; i < g_released.size();) {
    int status = 0;
    pid_t r;
    do {
      r = waitpid(g_released[i], &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
      ++i;  // still running
    } else {
      g_released[i] = g_released.back();  // ended (or reaped elsewhere)
      g_released.pop_back();
    }
  }
}

class PosixProcess : public Process {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {}
  // The child keeps running; if it has already ended it is reaped now,
  // else it is reaped by a later start or release.
  ~PosixProcess() override {
    if (!Reap(WNOHANG)) Release(pid_);
    ReapReleased();
  }

  int pid() const override { return static_cast<int>(pid_); }

  bool Wait(int64_t timeout_ms, int* exit_code) override {
    if (timeout_ms < 0) {
      Reap(0);
    } else if (!Reap(WNOHANG) && timeout_ms > 0) {
      WaitReadable(timeout_ms);
      Reap(WNOHANG);
    }
    if (ended_ && exit_code != nullptr) *exit_code = exit_code_;
    return ended_;
  }

  bool Running() override { return !Reap(WNOHANG); }

 private:
  // Collects the child's status once; answers whether it has ended. When
  // the child was reaped elsewhere (SIGCHLD ignored) its status is lost and
  // the exit code is -1.
  bool Reap(int options) {
    if (ended_) return true;
    int status = 0;
    for (;;) {
      pid_t r = waitpid(pid_, &status, options);
      if (r == pid_) {
        ended_ = true;
        exit_code_ = DecodeStatus(status);
        return true;
      }
      if (r == 0) return false;  // still running (WNOHANG)
      if (errno == EINTR) continue;
      ended_ = true;  // ECHILD: no such child any more
      exit_code_ = -1;
      return true;
    }
  }

  // Sleeps until the child ends or timeout_ms passes. A pidfd becomes
  // readable when the process ends; without pidfd support the state is
  // polled at growing intervals.
  void WaitReadable(int64_t timeout_ms) {
    int64_t deadline = MonotonicMs() + timeout_ms;
    int fd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    if (fd >= 0) {
      for (;;) {
        int64_t left = deadline - MonotonicMs();
        if (left <= 0) break;
        struct pollfd p = {fd, POLLIN, 0};
        int r = poll(&p, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
        if (r > 0 || (r < 0 && errno != EINTR)) break;
      }
      close(fd);
      return;
    }
    int64_t step = 1;
    while (!Reap(WNOHANG)) {
      int64_t left = deadline - MonotonicMs();
      if (left <= 0) return;
      int64_t ms = step < left ? step : left;
      struct timespec ts = {static_cast<time_t>(ms / 1000),
                            static_cast<long>(ms % 1000) * 1000000};
      nanosleep(&ts, nullptr);
      if (step < 50) step *= 2;
    }
  }

  pid_t pid_;
  bool ended_ = false;
  int exit_code_ = 0;
};

std::string ReadLinkHost(const std::string& path, int* err) {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) {
      *err = errno;
      return "";
    }
    if (static_cast<size_t>(n) < buf.size()) {
      *err = 0;
      return std::string(buf.data(), static_cast<size_t>(n));
    }
    buf.resize(buf.size() * 2);
  }
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

// Finds a program named without a directory in the directories of PATH
// (the child's PATH when the launch gives an environment).
Status SearchPath(const ProcessSpec& launch, std::string* program) {
  std::string path_list = "/usr/local/bin:/usr/bin:/bin";
  bool found_var = false;
  for (const std::string& e : launch.env) {
    if (e.compare(0, 5, "PATH=") == 0) {
      path_list = e.substr(5);
      found_var = true;
    }
  }
  if (!found_var) {
    const char* p = getenv("PATH");
    if (p != nullptr) path_list = p;
  }
  size_t begin = 0;
  for (;;) {
    size_t end = path_list.find(':', begin);
    std::string dir = path_list.substr(
        begin, end == std::string::npos ? std::string::npos : end - begin);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + launch.program;
    if (IsExecutableFile(candidate)) {
      *program = candidate;
      return Status::OK();
    }
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return Status::Error(ENOENT,
                       "start " + launch.program + " (not found in PATH)");
}

// What the child reports through the close-on-exec pipe when it cannot run
// the program.
struct ChildFailure {
  int32_t stage;  // kStageChdir or kStageExec
  int32_t error;  // errno
};
constexpr int32_t kStageChdir = 1;
constexpr int32_t kStageExec = 2;

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void RunChild(int report_fd, const char* program, char** argv,
                           char** envp, const char* cwd, int max_fd) {
  // Signals start with their default actions and nothing blocked, whatever
  // the parent had set.
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sa_handler = SIG_DFL;
    sigaction(sig, &sa, nullptr);  // fails harmlessly for KILL, STOP
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  // Only standard input, output and error pass to the program.
  if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = 3; fd < max_fd; ++fd) {
      if (fd != report_fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }

  ChildFailure failure = {kStageExec, 0};
  if (cwd != nullptr && chdir(cwd) != 0) {
    failure = {kStageChdir, errno};
  } else {
    execve(program, argv, envp);
    failure.error = errno;
  }
  ssize_t ignored = write(report_fd, &failure, sizeof(failure));
  (void)ignored;
  _exit(127);
}

}  // namespace

Status StartProcessImpl(const ProcessSpec& launch,
                        std::unique_ptr<Process>* process) {
  process->reset();
  ReapReleased();
  if (launch.program.empty()) return Status::Error(ENOENT, "start: no program");

  std::string program = launch.program;
  if (program.find('/') == std::string::npos) {
    Status s = SearchPath(launch, &program);
    if (!s.ok()) return s;
  }
  if (program[0] != '/' && !launch.cwd.empty()) {
    // The child changes directory before exec: anchor a relative program
    // to the parent's directory first.
    char* here = getcwd(nullptr, 0);
    if (here == nullptr) return Status::Error(errno, "start " + launch.program);
    program = std::string(here) + "/" + program;
    free(here);
  }

  // Everything the child needs is built before fork: the child must not
  // allocate.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(launch.program.c_str()));
  for (const std::string& a : launch.args) {
    argv.push_back(const_cast<char*>(a.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<char*> envv;
  for (const std::string& e : launch.env) {
    envv.push_back(const_cast<char*>(e.c_str()));
  }
  envv.push_back(nullptr);
  char** envp = launch.env.empty() ? environ : envv.data();
  const char* cwd = launch.cwd.empty() ? nullptr : launch.cwd.c_str();
  long open_max = sysconf(_SC_OPEN_MAX);
  int max_fd =
      (open_max < 0 || open_max > 65536) ? 65536 : static_cast<int>(open_max);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return Status::Error(errno, "start " + launch.program + " (pipe)");
  }
  // Signals stay blocked across fork so that no handler of the parent runs
  // in the child before the child has reset them.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pid_t pid = fork();
  if (pid == 0) {
    RunChild(pipe_fds[1], program.c_str(), argv.data(), envp, cwd, max_fd);
  }
  int fork_error = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return Status::Error(fork_error, "start " + launch.program + " (fork)");
  }

  // The pipe closes without data when exec succeeds.
  ChildFailure failure;
  ssize_t n;
  do {
    n = read(pipe_fds[0], &failure, sizeof(failure));
  } while (n < 0 && errno == EINTR);
  close(pipe_fds[0]);
  if (n == 0) {
    *process = std::make_unique<PosixProcess>(pid);
    return Status::OK();
  }

  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (n != static_cast<ssize_t>(sizeof(failure))) {
    return Status::Error(EIO, "start " + launch.program + " (lost report)");
  }
  if (failure.stage == kStageChdir) {
    return Status::Error(failure.error, "start " + launch.program +
                                            " in directory " + launch.cwd);
  }
  return Status::Error(failure.error, "start " + launch.program);
}

Status ListProcessesImpl(std::vector<ProcessEntry>* list) {
  list->clear();
  // Closed on every path, also when memory runs out while listing.
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (proc == nullptr) return Status::Error(errno, "list processes in /proc");
  while (struct dirent* e = readdir(proc.get())) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || pid <= 0) continue;
    std::string dir = std::string("/proc/") + e->d_name;

    // The command name; a process that vanished meanwhile is skipped.
    int fd = open((dir + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char buf[64];
    ssize_t n = read(fd, buf, sizeof(buf));
    close(fd);
    if (n <= 0) continue;
    ProcessEntry entry;
    entry.pid = static_cast<int>(pid);
    entry.name.assign(buf, static_cast<size_t>(n));
    while (!entry.name.empty() && entry.name.back() == '\n') {
      entry.name.pop_back();
    }
    // Unreadable for other users' processes and for zombies: left empty.
    int err = 0;
    entry.exe = ReadLinkHost(dir + "/exe", &err);
    list->push_back(std::move(entry));
  }
  return Status::OK();
}

std::string ProgramPathImpl() {
  int err = 0;
  return ReadLinkHost("/proc/self/exe", &err);
}

std::string ModulePathImpl(const void* addr) {
  Dl_info info;
  if (dladdr(addr, &info) == 0 || info.dli_fname == nullptr ||
      std::strchr(info.dli_fname, '/') == nullptr) {
    // Not in a shared object, or the main program named without a path.
    return ProgramPathImpl();
  }
  std::string path = info.dli_fname;
  if (path[0] != '/') {
    // Named relative to the current directory (the main program run as
    // "./prog", or a library opened by a relative name): make it absolute
    // and free of "." components.
    char* real = realpath(path.c_str(), nullptr);
    if (real != nullptr) {
      path = real;
      free(real);
    }
  }
  return path;
}

Status ReadLinkImpl(const std::string& host, std::string* target) {
  int err = 0;
  *target = ReadLinkHost(host, &err);
  if (err != 0) return Status::Error(err, "read link " + host);
  return Status::OK();
}

bool IsExecutableImpl(const std::string& host) {
  return IsExecutableFile(host);
}

}  // namespace platform::internal
