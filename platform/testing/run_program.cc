#include "platform/testing/run_program.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/env.h"
#include "platform/testing/child_process.h"

namespace platform::testing {

namespace {

// This process's standard output and error pointed at two files for as
// long as it lives (the program started meanwhile gets them), then put
// back. Output of this process is flushed first and no other thread of a
// test writes meanwhile.
class StandardToFiles {
 public:
  StandardToFiles(const std::string& out, const std::string& err) {
    std::fflush(nullptr);
#ifdef _WIN32
    // Env::StartProcess hands the child duplicates of the standard handles
    // (GetStdHandle); this process's C runtime keeps its own.
    saved_[0] = GetStdHandle(STD_OUTPUT_HANDLE);
    saved_[1] = GetStdHandle(STD_ERROR_HANDLE);
    const DWORD which[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    const std::string* paths[2] = {&out, &err};
    ok_ = true;
    for (int i = 0; i < 2; ++i) {
      files_[i] =
          CreateFileA(paths[i]->c_str(), GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      ok_ = ok_ && files_[i] != INVALID_HANDLE_VALUE &&
            SetStdHandle(which[i], files_[i]);
    }
#else
    saved_[0] = dup(1);
    saved_[1] = dup(2);
    const std::string* paths[2] = {&out, &err};
    ok_ = saved_[0] >= 0 && saved_[1] >= 0;
    for (int i = 0; i < 2 && ok_; ++i) {
      const int f = open(paths[i]->c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      ok_ = f >= 0 && dup2(f, i + 1) == i + 1;  // the copy is inherited
      if (f >= 0) close(f);
    }
#endif
  }
  ~StandardToFiles() {
#ifdef _WIN32
    SetStdHandle(STD_OUTPUT_HANDLE, saved_[0]);
    SetStdHandle(STD_ERROR_HANDLE, saved_[1]);
    for (HANDLE h : files_) {
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
#else
    for (int i = 0; i < 2; ++i) {
      if (saved_[i] >= 0) {
        dup2(saved_[i], i + 1);
        close(saved_[i]);
      }
    }
#endif
  }
  StandardToFiles(const StandardToFiles&) = delete;
  StandardToFiles& operator=(const StandardToFiles&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
#ifdef _WIN32
  HANDLE saved_[2] = {nullptr, nullptr};
  HANDLE files_[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
#else
  int saved_[2] = {-1, -1};
#endif
};

// Whole contents of path with "\r\n" made "\n"; removes the file.
std::string TakeText(const std::string& path) {
  Env* env = Env::Default();
  std::string text;
  std::unique_ptr<File> f;
  uint64_t size = 0;
  if (env->OpenFile(path, OpenMode::kReadOnly, &f).ok() &&
      f->Size(&size).ok()) {
    text.resize(size);
    size_t got = 0;
    if (!f->ReadAt(0, text.data(), text.size(), &got).ok()) got = 0;
    text.resize(got);
  }
  f.reset();
  env->DeleteFile(path);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::atomic<int> g_runs{0};

}  // namespace

std::string BesideThisProgram(const std::string& file_name) {
  std::string dir = Env::Default()->ProgramPath();
  const size_t slash = dir.find_last_of("/\\");
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  return dir + file_name;
}

ProgramResult RunProgram(const std::string& program,
                         const std::vector<std::string>& args,
                         int64_t timeout_ms) {
  Env* env = Env::Default();
  const std::string base = env->TempDir() + "/kalvo-run-" +
                           std::to_string(env->CurrentProcessId()) + "-" +
                           std::to_string(g_runs++);
  ProcessSpec launch;
  launch.program = program;
  launch.args = args;
  std::unique_ptr<Process> child;
  bool started = false;
  {
    StandardToFiles redirect(base + ".out", base + ".err");
    started = redirect.ok() && env->StartProcess(launch, &child).ok();
  }
  ProgramResult r;
  r.status = started ? WaitChild(child.get(), timeout_ms) : kChildNotRun;
  if (started && r.status == kChildNotRun) KillChild(child.get());
  r.out = TakeText(base + ".out");
  r.err = TakeText(base + ".err");
  return r;
}

}  // namespace platform::testing
