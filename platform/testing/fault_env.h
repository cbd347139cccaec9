// FaultInjectionEnv: an Env for tests that forwards to another Env and
// breaks chosen operations on request: fail opens, reads, writes, syncs,
// locks and directory operations for paths containing a text, fail every
// write after the next N, make the next write short (part of the data
// reaches the file, then the write fails), answer "busy" to lock attempts.
// It also counts the operations it sees, and can end the process with
// SIGKILL right after the n-th call that changes a file (crash points).
//
// Usage:
//   platform::FaultInjectionEnv env(platform::Env::Default());
//   platform::ScopedEnv use(&env);          // Env::Current() is env
//   env.FailPath("PRODUCTS.DBF", platform::FaultInjectionEnv::kWrite, ENOSPC);
//
// Path rules match the path as the caller gave it, ignoring ASCII case; an
// empty text matches every path. Files opened through the env keep applying
// the rules in force at the time of each call (they share the rules with the
// env, so a file may outlive it). Thread-safe.

#ifndef PLATFORM_TESTING_FAULT_ENV_H_
#define PLATFORM_TESTING_FAULT_ENV_H_

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace platform {

class FaultInjectionEnv : public EnvWrapper {
 public:
  // Operations that rules can break (bits).
  enum Op : unsigned {
    kOpen = 1u << 0,         // OpenFile
    kRead = 1u << 1,         // File::ReadAt
    kWrite = 1u << 2,        // File::WriteAt
    kSync = 1u << 3,         // File::Sync
    kTruncate = 1u << 4,     // File::Truncate
    kLock = 1u << 5,         // File::TryLock / Lock (kError with the code)
    kUnlock = 1u << 6,       // File::Unlock / UnlockAll
    kDelete = 1u << 7,       // DeleteFile, RemoveDir, DeleteTree
    kRename = 1u << 8,       // RenameFile (either path)
    kCopy = 1u << 9,         // CopyFile, CopyTree (either path)
    kCreateDir = 1u << 10,   // CreateDir
    kAttributes = 1u << 11,  // SetAttributes
    kList = 1u << 12,        // ListDir
    kAll = 0xFFFFFFFFu,
  };

  struct Counters {
    int64_t opens = 0, reads = 0, writes = 0, syncs = 0, locks = 0;
    // File::Size and File::Stat calls (a full status costs far more than
    // the length on some hosts).
    int64_t sizes = 0, stats = 0;
    // Calls that change files: writes, truncations, creating opens,
    // deletes, renames, copies, directory and attribute changes.
    int64_t mutations = 0;
  };

  explicit FaultInjectionEnv(Env* target = Env::Default());
  ~FaultInjectionEnv() override;

  // Operations in ops fail with code for every path containing text.
  // Rules add up; ClearFaults() removes them all.
  void FailPath(const std::string& text, unsigned ops, int code = EIO);
  // After n more successful writes (through any file of this env), every
  // write fails with code. n = 0 fails the next write.
  void FailAfterWrites(int64_t n, int code = ENOSPC);
  // The next write to a path containing text writes only its first
  // max_bytes bytes and then fails with ENOSPC; later writes are normal.
  void ShortWriteNext(const std::string& text, size_t max_bytes);
  // The next n lock attempts (TryLock, or each attempt of Lock) on paths
  // containing text answer busy; Lock waits by the retry rule meanwhile.
  void BusyLocks(const std::string& text, int n);
  // Crash points: the process ends with SIGKILL right after its n-th
  // mutating call from now on (n >= 1; see Counters::mutations), whether
  // that call succeeded or not. n <= 0 removes the crash point. For
  // crash-safety tests run in a child process.
  void CrashAfterMutations(int64_t n);
  // Removes every rule (counters stay).
  void ClearFaults();

  Counters counters() const;
  void ResetCounters();

  Status OpenFile(const std::string& path, OpenMode mode,
                  std::unique_ptr<File>* file) override;
  Status DeleteFile(const std::string& path) override;
  Status RenameFile(const std::string& from, const std::string& to,
                    bool replace) override;
  Status CopyFile(const std::string& from, const std::string& to,
                  bool fail_if_exists) override;
  Status CreateDir(const std::string& path) override;
  Status RemoveDir(const std::string& path) override;
  Status SetAttributes(const std::string& path, uint32_t attrs) override;
  Status ListDir(const std::string& dir, const std::string& mask,
                 std::vector<DirEntry>* entries) override;
  Status CopyTree(const std::string& from, const std::string& to) override;
  Status DeleteTree(const std::string& path) override;

  struct State;  // rules and counters, shared with the env's files

 private:
  std::shared_ptr<State> state_;
};

// Installs env as Env::Current() for the life of the object.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* env) : prev_(Env::SetCurrent(env)) {}
  ~ScopedEnv() { Env::SetCurrent(prev_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* prev_;
};

}  // namespace platform

#endif  // PLATFORM_TESTING_FAULT_ENV_H_
