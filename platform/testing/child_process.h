// Child processes for tests, the same way on every host: a test binary
// registers named child entry points, and a test starts the binary again
// (Env::ProgramPath + Env::StartProcess, no fork) with the name of one of
// them. The test main (platform/testing/test_main.cc, linked into every
// kalvo_test binary) runs that entry instead of the tests.
//
// A child shares no memory with its parent: it gets its inputs as string
// arguments and the environment (KALVO_DRIVES of ScopedTempDrives is
// inherited), and it reports through its exit status and through files.
//
//   KALVO_CHILD_MAIN(append_rows)(const std::vector<std::string>& args) {
//     ... return 0 on success, another small number naming the failure;
//   }
//   EXPECT_EQ(0, RunChild("append_rows", {dir, "300"}));
//
// Entry names are unique within a binary (a duplicate aborts at start-up).
// Children that must wait for their parent, or tell it they are ready, use
// marker files (SignalFile / WaitForFile) instead of pipes.

#ifndef PLATFORM_TESTING_CHILD_PROCESS_H_
#define PLATFORM_TESTING_CHILD_PROCESS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::testing {

using ChildMain = int (*)(const std::vector<std::string>& args);

// Registers main under name; used through KALVO_CHILD_MAIN.
struct ChildRegistration {
  ChildRegistration(const char* name, ChildMain main);
};

// Exit status of a child that could not be started, or did not end in time
// (RunChild), or whose entry name is unknown.
inline constexpr int kChildNotRun = 250;
// Exit status KillChild leaves (the same as SIGKILL's on Linux).
inline constexpr int kChildKilled = 128 + 9;

// When argv asks for a child entry ("--kalvo-child=NAME" as argv[1]), runs
// it with argv[2..] and answers true with its result in *exit_code.
bool RunChildIfAsked(int argc, char** argv, int* exit_code);

// Starts the current test binary as child name with args. Buffered output
// is flushed first.
Status StartChild(const std::string& name, const std::vector<std::string>& args,
                  std::unique_ptr<Process>* child);
// Waits up to timeout_ms (negative: forever) and answers the exit status,
// or kChildNotRun when the child is still running.
int WaitChild(Process* child, int64_t timeout_ms = -1);
// Ends the child at once (no clean-up runs in it, like a crash or a power
// cut) and reaps it; answers false when it could not be ended.
bool KillChild(Process* child);
// StartChild + WaitChild: the exit status, kChildNotRun when the child
// could not be started or had not ended after timeout_ms (it is killed).
int RunChild(const std::string& name, const std::vector<std::string>& args,
             int64_t timeout_ms = 120000);

// Creates the empty file path (a host path or a mapped one): a marker another
// process waits for. Answers false when it cannot be created.
bool SignalFile(const std::string& path);
// Waits until path exists. Answers false after timeout_ms, or at once when
// watch (optional) has ended without creating it.
bool WaitForFile(const std::string& path, int64_t timeout_ms = 60000,
                 Process* watch = nullptr);

// A child the parent holds while this object lives: name is started with
// args followed by a ready and a release marker path. The child creates the
// ready marker once it holds what it was started for (an open table, a
// begun run; it may write a short answer into it) and then waits for the
// release marker. The destructor creates the release marker, waits for the
// child and deletes both markers.
class HeldChild {
 public:
  HeldChild(const std::string& name, std::vector<std::string> args,
            int64_t timeout_ms = 60000);
  ~HeldChild();
  HeldChild(const HeldChild&) = delete;
  HeldChild& operator=(const HeldChild&) = delete;
  // The ready marker exists (false when the child could not start, ended
  // without it, or did not make it within timeout_ms).
  bool ready() const { return ready_; }
  const std::string& ready_path() const { return ready_path_; }

 private:
  std::unique_ptr<Process> child_;
  std::string ready_path_, release_path_;
  bool ready_ = false;
};

}  // namespace platform::testing

// Defines the child entry name; the function body follows the parameter
// list written after the macro (see above).
#define KALVO_CHILD_MAIN(name)                                            \
  static int KalvoChildMain_##name(const std::vector<std::string>&);      \
  static const ::platform::testing::ChildRegistration kalvo_child_##name{ \
      #name, &KalvoChildMain_##name};                                     \
  static int KalvoChildMain_##name

#endif  // PLATFORM_TESTING_CHILD_PROCESS_H_
