// Helpers shared by the engine's tests: a temporary directory with drives,
// field lists, raw file access and a message-box recorder.

#ifndef XBASE32_TEST_UTIL_H_
#define XBASE32_TEST_UTIL_H_

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_drives.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {

inline WDBASE_FIELD Fld(const char* name, char type, int len, int dec = 0) {
  WDBASE_FIELD f{};
  std::strncpy(f.name, name, 10);
  f.type = type;
  f.len = static_cast<int16_t>(len);
  f.dec = static_cast<int16_t>(dec);
  return f;
}

// A field list ended by the empty element.
inline std::vector<WDBASE_FIELD> Fields(std::vector<WDBASE_FIELD> f) {
  f.push_back(WDBASE_FIELD{});
  return f;
}

inline std::string ReadAll(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kReadOnly, &f)
           .ok()) {
    return {};
  }
  uint64_t size = 0;
  f->Size(&size);
  std::string s(size, '\0');
  size_t got = 0;
  f->ReadAt(0, s.data(), s.size(), &got);
  s.resize(got);
  return s;
}

inline bool WriteAll(const std::string& path, const std::string& bytes) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
           .ok()) {
    return false;
  }
  return f->WriteAt(0, bytes.data(), bytes.size()).ok();
}

// Records message boxes while alive.
class MessageRecorder {
 public:
  MessageRecorder() { old_ = platform::SetMessageBoxHook(&Record); }
  ~MessageRecorder() {
    platform::SetMessageBoxHook(old_);
    Boxes().clear();
  }
  struct Box {
    std::string caption, text;
  };
  static std::vector<Box>& Boxes() {
    static std::vector<Box> boxes;
    return boxes;
  }

 private:
  static int Record(const char* caption, const char* text, unsigned) {
    Boxes().push_back({caption, text});
    return platform::kIdOk;
  }
  platform::MessageBoxHook old_;
};

// Base of the engine's test fixtures: a fresh drives root (dir_, with a
// trailing "/"), lock retries every 5 ms, debug level 0 and auto-flush on;
// TearDown puts the retry interval, debug level and auto-flush back.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    platform::SetLockRetryIntervalMs(5);
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }
  void TearDown() override {
    platform::SetLockRetryIntervalMs(0);
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }

  platform::ScopedTempDrives drives_;
  std::string dir_;
};

// The settings of EngineTest, for a child entry (see
// platform/testing/child_process.h): lock retries every 5 ms, debug level 0,
// auto-flush on.
inline void ChildSetUp() {
  platform::SetLockRetryIntervalMs(5);
  Wdbase::SetDebugLevel(0);
  Wdbase::FlushSet(1);
}

using platform::testing::RunChild;

#ifndef _WIN32
// Runs body in a forked child and answers its exit code (100 when the child
// did not exit normally). Buffered output is flushed first, so the child
// repeats none of it.
template <typename F>
int InChild(F body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}
#endif

}  // namespace xbase32::testing

#endif  // XBASE32_TEST_UTIL_H_
