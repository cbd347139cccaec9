// Helpers of the Windows platform tests: a fresh temporary directory per
// test, and child processes that run this very test program with an action
// to perform (the Windows stand-in for fork()).

#ifndef PLATFORM_WIN32_WIN32_TEST_UTIL_H_
#define PLATFORM_WIN32_WIN32_TEST_UTIL_H_

#include <string>
#include <vector>

namespace platform::testing_win32 {

// A new directory below the temporary directory, deleted with its contents
// when the object goes.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "\" + rel
  std::string Sub(const std::string& rel) const { return path_ + "\\" + rel; }

 private:
  std::string path_;
};

// The environment variable that carries a child's action.
constexpr const char* kChildActionVar = "KALVO_WIN32_TEST_CHILD";

// A child process running this test program's ChildAction test with the
// action words args (see RunChildAction). Started at construction.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args);
  ~Child();  // ends the child if it still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool started() const { return process_ != nullptr; }
  // Waits up to timeout_ms; answers the exit code, or -1 on timeout.
  int Wait(int timeout_ms = 30000);

 private:
  void* process_ = nullptr;
};

// Runs a child with args and answers its exit code (-1: did not end).
int RunChild(const std::vector<std::string>& args);

// Child exit codes of the lock actions.
enum ChildCode { kChildLocked = 0, kChildBusy = 1, kChildError = 2 };

// Performs the action words of a child (called by the ChildAction test):
//   trylock PATH OFFSET LENGTH        exit kChildLocked/kChildBusy/kChildError
//   lockwait PATH OFFSET LENGTH DIR   TryLock must be busy; creates DIR\w,
//                                     waits in Lock, creates DIR\g
//   delete PATH / rename FROM TO      exit 0 or the errno code
//   kill                              KillCurrentProcess()
// Answers the exit code (10 + n for a setup failure).
int RunChildAction(const std::vector<std::string>& words);

}  // namespace platform::testing_win32

#endif  // PLATFORM_WIN32_WIN32_TEST_UTIL_H_
