#include "platform/win32/win32_test_util.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>
#undef DeleteFile
#undef CopyFile

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/env.h"

namespace platform::testing_win32 {

namespace {

std::vector<std::string> SplitWords(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= s.size()) {
    size_t j = s.find('|', i);
    if (j == std::string::npos) j = s.size();
    out.push_back(s.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

bool Touch(const std::string& path) {
  std::unique_ptr<File> f;
  return Env::Default()->OpenFile(path, OpenMode::kCreateAlways, &f).ok();
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  static std::atomic<unsigned> counter{0};
  Env* env = Env::Default();
  for (int attempt = 0; attempt < 100; attempt++) {
    std::string p = env->TempDir() + "\\kalvo-w32-" +
                    std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter.fetch_add(1));
    if (env->CreateDir(p).ok()) {
      path_ = p;
      return;
    }
  }
  std::fprintf(stderr, "ScopedTempDir: no directory below %s\n",
               env->TempDir().c_str());
  std::abort();
}

ScopedTempDir::~ScopedTempDir() { Env::Default()->DeleteTree(path_); }

Child::Child(const std::vector<std::string>& args) {
  std::string action;
  for (size_t i = 0; i < args.size(); i++) {
    if (i > 0) action += "|";
    action += args[i];
  }
  char exe[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, exe, sizeof(exe));
  if (n == 0 || n >= sizeof(exe)) return;
  std::string cmd = std::string("\"") + exe +
                    "\" --gtest_filter=Win32Child.Action --gtest_brief=1";
  // The child's test output goes nowhere; inheriting handles is on, so
  // that a handle the platform layer failed to keep private would reach it.
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  HANDLE null = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                            OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = null;
  PROCESS_INFORMATION pi = {};
  SetEnvironmentVariableA(kChildActionVar, action.c_str());
  BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0,
                           nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableA(kChildActionVar, nullptr);
  if (null != INVALID_HANDLE_VALUE) CloseHandle(null);
  if (!ok) return;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
}

Child::~Child() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

int Child::Wait(int timeout_ms) {
  if (process_ == nullptr) return -2;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeout_ms)) !=
      WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<int>(code);
}

int RunChild(const std::vector<std::string>& args) {
  Child child(args);
  return child.Wait();
}

int RunChildAction(const std::vector<std::string>& w) {
  Env* env = Env::Default();
  const std::string& what = w.empty() ? std::string() : w[0];
  if ((what == "trylock" || what == "trylockshared") && w.size() == 4) {
    std::unique_ptr<File> f;
    if (!env->OpenFile(w[1], OpenMode::kReadWrite, &f).ok()) return 10;
    uint64_t off = std::strtoull(w[2].c_str(), nullptr, 10);
    uint64_t len = std::strtoull(w[3].c_str(), nullptr, 10);
    LockResult r =
        what == "trylock" ? f->TryLock(off, len) : f->TryLockShared(off, len);
    switch (r) {
      case LockResult::kLocked:
        return kChildLocked;
      case LockResult::kBusy:
        return kChildBusy;
      default:
        return kChildError;
    }
  }
  if (what == "lockwait" && w.size() == 5) {
    SetLockRetryIntervalMs(5);
    std::unique_ptr<File> f;
    if (!env->OpenFile(w[1], OpenMode::kReadWrite, &f).ok()) return 10;
    uint64_t off = std::strtoull(w[2].c_str(), nullptr, 10);
    uint64_t len = std::strtoull(w[3].c_str(), nullptr, 10);
    if (f->TryLock(off, len) != LockResult::kBusy) return 11;
    if (!Touch(w[4] + "\\w")) return 12;
    if (!f->Lock(off, len).ok()) return 13;
    if (!Touch(w[4] + "\\g")) return 14;
    return 0;
  }
  if (what == "delete" && w.size() == 2) return env->DeleteFile(w[1]).code();
  if (what == "rename" && w.size() == 3) {
    return env->RenameFile(w[1], w[2], true).code();
  }
  if (what == "sleep" && w.size() == 2) {
    env->SleepMs(std::atoi(w[1].c_str()));
    return 0;
  }
  if (what == "kill") KillCurrentProcess();
  return 20;
}

// The entry point of child processes: does nothing in a normal run.
TEST(Win32Child, Action) {
  std::string action;
  if (!Env::Default()->GetEnv(kChildActionVar, &action)) {
    GTEST_SKIP() << "only run as a child process";
  }
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(RunChildAction(SplitWords(action))));
}

}  // namespace platform::testing_win32
