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

// Points standard stream fd (1 or 2) at the new file path.
bool RedirectStandard(int fd, const std::string& path) {
  std::fflush(nullptr);
#ifdef _WIN32
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // Env::StartProcess hands the child duplicates of these handles.
  return SetStdHandle(fd == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, h) != 0;
#else
  const int f =
      open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (f < 0) return false;
  const bool ok = dup2(f, fd) == fd;  // the copy is inherited across exec
  close(f);
  return ok;
#endif
}

// args: output file, error file, program, its arguments. Answers the
// program's exit status.
KALVO_CHILD_MAIN(kalvo_run_program)(const std::vector<std::string>& args) {
  if (args.size() < 3) return kChildNotRun;
  if (!RedirectStandard(1, args[0]) || !RedirectStandard(2, args[1])) {
    return kChildNotRun;
  }
  ProcessSpec launch;
  launch.program = args[2];
  launch.args.assign(args.begin() + 3, args.end());
  std::unique_ptr<Process> program;
  if (!Env::Default()->StartProcess(launch, &program).ok()) return kChildNotRun;
  return WaitChild(program.get());
}

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
  std::vector<std::string> child_args = {base + ".out", base + ".err", program};
  child_args.insert(child_args.end(), args.begin(), args.end());
  ProgramResult r;
  r.status = RunChild("kalvo_run_program", child_args, timeout_ms);
  r.out = TakeText(base + ".out");
  r.err = TakeText(base + ".err");
  return r;
}

}  // namespace platform::testing
