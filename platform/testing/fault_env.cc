#include "platform/testing/fault_env.h"

#ifdef _WIN32
#include <windows.h>
// Env's methods of these names, not the Win32 macros.
#undef DeleteFile
#undef CopyFile
#endif

#include <algorithm>
#include <csignal>
#include <mutex>
#include <vector>

namespace platform {

namespace {

bool ContainsIgnoreCase(const std::string& hay, const std::string& needle) {
  if (needle.empty()) return true;
  auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                        [&](char a, char b) { return lower(a) == lower(b); });
  return it != hay.end();
}

}  // namespace

struct FaultInjectionEnv::State {
  struct PathRule {
    std::string text;
    unsigned ops;
    int code;
  };
  struct CountRule {
    std::string text;
    int64_t left;
  };

  mutable std::mutex mu;
  std::vector<PathRule> rules;
  int64_t writes_left = -1;  // < 0: no limit
  int write_limit_code = ENOSPC;
  std::vector<CountRule> short_writes;  // left = bytes allowed
  std::vector<CountRule> busy_locks;    // left = attempts still busy
  Counters counters;
  int64_t crash_left = -1;  // < 0: no crash point

  // Counts a mutating call that has just ended; ends the process at the
  // crash point.
  void Mutated() {
    bool crash = false;
    {
      std::lock_guard<std::mutex> lock(mu);
      counters.mutations++;
      if (crash_left > 0 && --crash_left == 0) crash = true;
    }
    if (crash) {
#ifdef _WIN32
      // No clean-up runs, as with SIGKILL; the status is the one KillChild
      // of child_process.h leaves (128 + 9).
      TerminateProcess(GetCurrentProcess(), 137);
#else
      std::raise(SIGKILL);
#endif
      for (;;) {
      }
    }
  }

  // The error a rule sets for op on path, or OK.
  Status Check(unsigned op, const std::string& path) {
    std::lock_guard<std::mutex> lock(mu);
    for (const PathRule& r : rules) {
      if ((r.ops & op) != 0 && ContainsIgnoreCase(path, r.text)) {
        return Status::Error(r.code, "injected fault on " + path);
      }
    }
    return Status::OK();
  }
};

namespace {

using State = FaultInjectionEnv::State;

class FaultInjectionFile final : public File {
 public:
  FaultInjectionFile(std::unique_ptr<File> target, std::shared_ptr<State> st)
      : target_(std::move(target)), state_(std::move(st)) {}

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    Status s = state_->Check(FaultInjectionEnv::kRead, path());
    if (!s.ok()) return s;
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.reads++;
    }
    return target_->ReadAt(offset, buf, n, got);
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    Status s = state_->Check(FaultInjectionEnv::kWrite, path());
    if (!s.ok()) return s;
    size_t allowed = n;
    bool shorten = false;
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      if (state_->writes_left == 0) {
        return Status::Error(state_->write_limit_code,
                             "injected write failure on " + path());
      }
      auto& sw = state_->short_writes;
      for (auto it = sw.begin(); it != sw.end(); ++it) {
        if (ContainsIgnoreCase(path(), it->text)) {
          allowed = std::min(n, static_cast<size_t>(it->left));
          shorten = true;
          sw.erase(it);
          break;
        }
      }
      if (state_->writes_left > 0) state_->writes_left--;
      state_->counters.writes++;
    }
    if (shorten) {
      if (allowed > 0) {
        s = target_->WriteAt(offset, buf, allowed);
        state_->Mutated();
        if (!s.ok()) return s;
      }
      return Status::Error(ENOSPC, "injected short write on " + path());
    }
    s = target_->WriteAt(offset, buf, n);
    state_->Mutated();
    return s;
  }

  Status Size(uint64_t* size) override {
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.sizes++;
    }
    return target_->Size(size);
  }

  Status Truncate(uint64_t size) override {
    Status s = state_->Check(FaultInjectionEnv::kTruncate, path());
    if (!s.ok()) return s;
    s = target_->Truncate(size);
    state_->Mutated();
    return s;
  }

  Status Sync() override {
    Status s = state_->Check(FaultInjectionEnv::kSync, path());
    if (!s.ok()) return s;
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.syncs++;
    }
    return target_->Sync();
  }

  Status Stat(FileInfo* info) override {
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.stats++;
    }
    return target_->Stat(info);
  }

  LockResult TryLock(uint64_t offset, uint64_t length, Status* err) override {
    Status s = state_->Check(FaultInjectionEnv::kLock, path());
    if (!s.ok()) {
      if (err != nullptr) *err = s;
      return LockResult::kError;
    }
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.locks++;
      for (auto it = state_->busy_locks.begin(); it != state_->busy_locks.end();
           ++it) {
        if (ContainsIgnoreCase(path(), it->text)) {
          if (--it->left <= 0) state_->busy_locks.erase(it);
          return LockResult::kBusy;
        }
      }
    }
    return target_->TryLock(offset, length, err);
  }

  LockResult TryLockShared(uint64_t offset, uint64_t length,
                           Status* err) override {
    Status s = state_->Check(FaultInjectionEnv::kLock, path());
    if (!s.ok()) {
      if (err != nullptr) *err = s;
      return LockResult::kError;
    }
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->counters.locks++;
    }
    return target_->TryLockShared(offset, length, err);
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    Status s = state_->Check(FaultInjectionEnv::kUnlock, path());
    return s.ok() ? target_->Unlock(offset, length) : s;
  }

  Status UnlockAll() override {
    Status s = state_->Check(FaultInjectionEnv::kUnlock, path());
    return s.ok() ? target_->UnlockAll() : s;
  }

  bool HoldsLock(uint64_t offset, uint64_t length) const override {
    return target_->HoldsLock(offset, length);
  }

  const std::string& path() const override { return target_->path(); }

 private:
  std::unique_ptr<File> target_;
  std::shared_ptr<State> state_;
};

}  // namespace

FaultInjectionEnv::FaultInjectionEnv(Env* target)
    : EnvWrapper(target), state_(std::make_shared<State>()) {}

FaultInjectionEnv::~FaultInjectionEnv() = default;

void FaultInjectionEnv::FailPath(const std::string& text, unsigned ops,
                                 int code) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->rules.push_back({text, ops, code != 0 ? code : EIO});
}

void FaultInjectionEnv::CrashAfterMutations(int64_t n) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->crash_left = n > 0 ? n : -1;
}

void FaultInjectionEnv::FailAfterWrites(int64_t n, int code) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->writes_left = n < 0 ? 0 : n;
  state_->write_limit_code = code != 0 ? code : ENOSPC;
}

void FaultInjectionEnv::ShortWriteNext(const std::string& text,
                                       size_t max_bytes) {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->short_writes.push_back({text, static_cast<int64_t>(max_bytes)});
}

void FaultInjectionEnv::BusyLocks(const std::string& text, int n) {
  if (n <= 0) return;
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->busy_locks.push_back({text, n});
}

void FaultInjectionEnv::ClearFaults() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->rules.clear();
  state_->writes_left = -1;
  state_->short_writes.clear();
  state_->busy_locks.clear();
}

FaultInjectionEnv::Counters FaultInjectionEnv::counters() const {
  std::lock_guard<std::mutex> lock(state_->mu);
  return state_->counters;
}

void FaultInjectionEnv::ResetCounters() {
  std::lock_guard<std::mutex> lock(state_->mu);
  state_->counters = Counters();
}

Status FaultInjectionEnv::OpenFile(const std::string& path, OpenMode mode,
                                   std::unique_ptr<File>* file) {
  file->reset();
  Status s = state_->Check(kOpen, path);
  if (!s.ok()) return s;
  {
    std::lock_guard<std::mutex> lock(state_->mu);
    state_->counters.opens++;
  }
  std::unique_ptr<File> inner;
  s = target()->OpenFile(path, mode, &inner);
  if (mode == OpenMode::kCreateAlways || mode == OpenMode::kCreateNew) {
    state_->Mutated();
  }
  if (!s.ok()) return s;
  *file = std::make_unique<FaultInjectionFile>(std::move(inner), state_);
  return Status::OK();
}

Status FaultInjectionEnv::DeleteFile(const std::string& path) {
  Status s = state_->Check(kDelete, path);
  if (!s.ok()) return s;
  s = target()->DeleteFile(path);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::RenameFile(const std::string& from,
                                     const std::string& to, bool replace) {
  Status s = state_->Check(kRename, from);
  if (s.ok()) s = state_->Check(kRename, to);
  if (!s.ok()) return s;
  s = target()->RenameFile(from, to, replace);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::CopyFile(const std::string& from,
                                   const std::string& to, bool fail_if_exists) {
  Status s = state_->Check(kCopy, from);
  if (s.ok()) s = state_->Check(kCopy, to);
  if (!s.ok()) return s;
  s = target()->CopyFile(from, to, fail_if_exists);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::CreateDir(const std::string& path) {
  Status s = state_->Check(kCreateDir, path);
  if (!s.ok()) return s;
  s = target()->CreateDir(path);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::RemoveDir(const std::string& path) {
  Status s = state_->Check(kDelete, path);
  if (!s.ok()) return s;
  s = target()->RemoveDir(path);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::SetAttributes(const std::string& path,
                                        uint32_t attrs) {
  Status s = state_->Check(kAttributes, path);
  if (!s.ok()) return s;
  s = target()->SetAttributes(path, attrs);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::ListDir(const std::string& dir,
                                  const std::string& mask,
                                  std::vector<DirEntry>* entries) {
  entries->clear();
  Status s = state_->Check(kList, dir);
  return s.ok() ? target()->ListDir(dir, mask, entries) : s;
}

Status FaultInjectionEnv::CopyTree(const std::string& from,
                                   const std::string& to) {
  Status s = state_->Check(kCopy, from);
  if (s.ok()) s = state_->Check(kCopy, to);
  if (!s.ok()) return s;
  s = target()->CopyTree(from, to);
  state_->Mutated();
  return s;
}

Status FaultInjectionEnv::DeleteTree(const std::string& path) {
  Status s = state_->Check(kDelete, path);
  if (!s.ok()) return s;
  s = target()->DeleteTree(path);
  state_->Mutated();
  return s;
}

}  // namespace platform
