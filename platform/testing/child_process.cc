#include "platform/testing/child_process.h"

#ifdef _WIN32
#include <windows.h>
// Env's method of this name, not the Win32 macro.
#undef DeleteFile
#else
#include <signal.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace platform::testing {

namespace {

constexpr char kChildFlag[] = "--kalvo-child=";

std::map<std::string, ChildMain>& Registry() {
  static std::map<std::string, ChildMain> registry;
  return registry;
}

}  // namespace

ChildRegistration::ChildRegistration(const char* name, ChildMain main) {
  if (!Registry().emplace(name, main).second) {
    std::fprintf(stderr, "child entry %s is defined twice\n", name);
    std::abort();
  }
}

bool RunChildIfAsked(int argc, char** argv, int* exit_code) {
  const size_t flag_len = std::strlen(kChildFlag);
  if (argc < 2 || std::strncmp(argv[1], kChildFlag, flag_len) != 0) {
    return false;
  }
  const std::string name = argv[1] + flag_len;
  auto it = Registry().find(name);
  if (it == Registry().end()) {
    std::fprintf(stderr, "no child entry %s in this binary\n", name.c_str());
    *exit_code = kChildNotRun;
    return true;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  *exit_code = it->second(args);
  std::fflush(nullptr);
  return true;
}

Status StartChild(const std::string& name, const std::vector<std::string>& args,
                  std::unique_ptr<Process>* child) {
  // The default Env: a test may have installed a fault-injecting wrapper.
  Env* env = Env::Default();
  // This test program again, told by its first argument which entry to run.
  ProcessSpec launch;
  launch.program = env->ProgramPath();
  launch.args.push_back(kChildFlag + name);
  launch.args.insert(launch.args.end(), args.begin(), args.end());
  std::fflush(nullptr);  // our buffered output before the child's
  return env->StartProcess(launch, child);
}

int WaitChild(Process* child, int64_t timeout_ms) {
  int code = 0;
  if (child == nullptr || !child->Wait(timeout_ms, &code)) return kChildNotRun;
  return code;
}

bool KillChild(Process* child) {
  if (child == nullptr) return false;
  int code = 0;
  if (child->Wait(0, &code)) return true;  // already ended
#ifdef _WIN32
  HANDLE h =
      OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(child->pid()));
  if (h == nullptr) return false;
  const bool sent = TerminateProcess(h, kChildKilled) != 0;
  CloseHandle(h);
  if (!sent) return false;
#else
  if (kill(child->pid(), SIGKILL) != 0) return false;
#endif
  return child->Wait(-1, &code);
}

int RunChild(const std::string& name, const std::vector<std::string>& args,
             int64_t timeout_ms) {
  std::unique_ptr<Process> child;
  if (!StartChild(name, args, &child).ok()) return kChildNotRun;
  const int code = WaitChild(child.get(), timeout_ms);
  if (code == kChildNotRun) KillChild(child.get());
  return code;
}

bool SignalFile(const std::string& path) {
  std::unique_ptr<File> f;
  return Env::Default()->OpenFile(path, OpenMode::kCreateAlways, &f).ok();
}

bool WaitForFile(const std::string& path, int64_t timeout_ms, Process* watch) {
  Env* env = Env::Default();
  const uint64_t start = env->NowMicros();
  for (;;) {
    if (env->FileExists(path)) return true;
    if (watch != nullptr && !watch->Running()) return env->FileExists(path);
    if (timeout_ms >= 0 &&
        env->NowMicros() - start >= static_cast<uint64_t>(timeout_ms) * 1000) {
      return false;
    }
    env->SleepMs(2);
  }
}

HeldChild::HeldChild(const std::string& name, std::vector<std::string> args,
                     int64_t timeout_ms) {
  static std::atomic<int> held{0};
  Env* env = Env::Default();
  const std::string base = env->TempDir() + "/kalvo-held-" +
                           std::to_string(env->CurrentProcessId()) + "-" +
                           std::to_string(held++);
  ready_path_ = base + ".ready";
  release_path_ = base + ".release";
  args.push_back(ready_path_);
  args.push_back(release_path_);
  if (!StartChild(name, args, &child_).ok()) {
    child_.reset();
    return;
  }
  ready_ = WaitForFile(ready_path_, timeout_ms, child_.get());
}

HeldChild::~HeldChild() {
  if (child_) {
    SignalFile(release_path_);
    WaitChild(child_.get());
  }
  Env::Default()->DeleteFile(ready_path_);
  Env::Default()->DeleteFile(release_path_);
}

}  // namespace platform::testing
