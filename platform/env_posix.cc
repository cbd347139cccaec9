// The Linux Env: paths are mapped onto the drives root (path_map.h) and
// handed by the shared host_env.cc to the host pieces; this file has the
// entry operations of host_dir.h that act on single entries (renames,
// directories, attributes, syncs, the executable bit), the clock and the
// environment variables.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/dir_posix.h"
#include "platform/env.h"
#include "platform/host_env.h"
#include "platform/internal/process_impl.h"
#include "platform/path_map.h"

extern char** environ;

namespace platform {

namespace {

std::string LastComponent(const std::string& path) {
  size_t i = path.find_last_of("\\/");
  return i == std::string::npos ? path : path.substr(i + 1);
}

std::string HostParent(const std::string& host) {
  size_t i = host.rfind('/');
  if (i == std::string::npos) return ".";
  return i == 0 ? "/" : host.substr(0, i);
}

}  // namespace

namespace internal {

Status SyncHostDir(const std::string& host, const std::string& dir) {
  int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status::Error(errno, "sync directory " + dir);
  int rc;
  while ((rc = fsync(fd)) != 0 && errno == EINTR) {
  }
  int err = errno;
  close(fd);
  if (rc != 0) return Status::Error(err, "sync directory " + dir);
  return Status::OK();
}

Status MarkHostExecutable(const std::string& host, const std::string& path) {
  const std::string what = "mark executable " + path;
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return Status::Error(errno, what);
  if (S_ISLNK(st.st_mode)) return Status::Error(ELOOP, what);
  if (!S_ISREG(st.st_mode)) return Status::Error(EINVAL, what);
  mode_t mode = st.st_mode & 07777;
  if (mode & S_IRUSR) mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  if (chmod(host.c_str(), mode) != 0) return Status::Error(errno, what);
  return Status::OK();
}

Status CreateHostDir(const std::string& host, const std::string& path) {
  if (mkdir(host.c_str(), 0777) != 0) {
    return Status::Error(errno, "create directory " + path);
  }
  return Status::OK();
}

Status RemoveHostDir(const std::string& host, const std::string& path) {
  if (rmdir(host.c_str()) != 0) {
    return Status::Error(errno, "remove directory " + path);
  }
  return Status::OK();
}

Status GetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t* attrs) {
  *attrs = 0;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    return Status::Error(errno, "attributes of " + path);
  }
  if (S_ISDIR(st.st_mode)) *attrs |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) *attrs |= kAttrReadOnly;
  if (*attrs == 0) *attrs = kAttrNormal;
  return Status::OK();
}

Status SetHostAttributes(const std::string& host, const std::string& path,
                         uint32_t attrs) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    return Status::Error(errno, "set attributes of " + path);
  }
  // Read-only clears every write bit; clearing it gives the owner write
  // access back. Hidden, system and archive have no host equivalent.
  mode_t mode = st.st_mode & 07777;
  if (attrs & kAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && chmod(host.c_str(), mode) != 0) {
    return Status::Error(errno, "set attributes of " + path);
  }
  return Status::OK();
}

Status RenameHostFile(const std::string& hf, const std::string& ht,
                      const std::string& from, const std::string& to,
                      bool replace) {
  const std::string what = "rename " + from + " to " + to;
  struct stat st;
  if (lstat(hf.c_str(), &st) != 0) return Status::Error(errno, what);
  if (hf == ht) {
    // Same entry found ignoring case: a change of case only.
    std::string target = HostParent(ht) + "/" + LastComponent(to);
    if (target == hf) return Status::OK();
    if (rename(hf.c_str(), target.c_str()) != 0) {
      return Status::Error(errno, what);
    }
    return Status::OK();
  }
  struct stat tst;
  if (lstat(ht.c_str(), &tst) == 0) {
    if (!replace) return Status::Error(EEXIST, what);
    if (S_ISREG(tst.st_mode) && (tst.st_mode & S_IWUSR) == 0) {
      return Status::Error(EACCES, what + " (target read-only)");
    }
  }
  int rc = replace ? rename(hf.c_str(), ht.c_str())
                   : renameat2(AT_FDCWD, hf.c_str(), AT_FDCWD, ht.c_str(),
                               RENAME_NOREPLACE);
  if (rc != 0 && !replace && (errno == EINVAL || errno == ENOSYS) &&
      S_ISREG(st.st_mode)) {
    // No RENAME_NOREPLACE on this file system: a hard link never replaces.
    rc = link(hf.c_str(), ht.c_str());
    if (rc == 0) unlink(hf.c_str());
  }
  if (rc != 0 && errno == EXDEV && S_ISREG(st.st_mode)) {
    // Another file system: copy, then remove the original.
    Status s = CopyHostFile(hf, ht, !replace);
    if (!s.ok()) return s;
    if (unlink(hf.c_str()) != 0) return Status::Error(errno, what);
    return Status::OK();
  }
  if (rc != 0) return Status::Error(errno, what);
  return Status::OK();
}

}  // namespace internal

void KillCurrentProcess() {
  kill(getpid(), SIGKILL);
  for (;;) pause();  // the signal arrives before kill() returns
}

namespace {

class PosixEnv final : public internal::HostEnv {
 public:
  std::string DrivesRoot() override {
    return internal::DrivesRootFromEnvironment();
  }

  Status HostPath(const std::string& path, std::string* host) override {
    return internal::MapPath(path, DrivesRoot(), host);
  }

  std::string TempDir() override {
    const char* t = getenv("TMPDIR");
    std::string dir = (t != nullptr && t[0] == '/') ? t : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }

  std::string CurrentDir() override {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
      if (errno != ERANGE) return "";
      buf.resize(buf.size() * 2);
    }
    return buf.data();
  }

  int64_t NowSeconds() override { return static_cast<int64_t>(time(nullptr)); }

  uint64_t NowMicros() override {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u +
           static_cast<uint64_t>(ts.tv_nsec) / 1000u;
  }

  LocalTime Now() override {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    localtime_r(&ts.tv_sec, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    t.weekday = tm.tm_wday;
    return t;
  }

  void SleepMs(int64_t ms) override {
    if (ms <= 0) return;
    struct timespec req;
    req.tv_sec = static_cast<time_t>(ms / 1000);
    req.tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
  }

  bool GetEnv(const std::string& name, std::string* value) override {
    const char* v = getenv(name.c_str());
    if (v == nullptr) return false;
    *value = v;
    return true;
  }

  Status SetEnv(const std::string& name, const std::string& value) override {
    if (setenv(name.c_str(), value.c_str(), 1) != 0) {
      return Status::Error(errno, "set environment variable " + name);
    }
    return Status::OK();
  }

  Status UnsetEnv(const std::string& name) override {
    if (unsetenv(name.c_str()) != 0) {
      return Status::Error(errno, "unset environment variable " + name);
    }
    return Status::OK();
  }

  std::vector<std::string> Environment() override {
    std::vector<std::string> out;
    for (char** e = environ; e != nullptr && *e != nullptr; e++) {
      out.emplace_back(*e);
    }
    return out;
  }

  int CurrentProcessId() override { return static_cast<int>(getpid()); }
};

}  // namespace

Env* Env::Default() {
  // Never destroyed: code running at exit may still use it.
  static Env* const env = new PosixEnv;
  return env;
}

}  // namespace platform
