// The waiting half of the lock protocol, the same on every host: File::Lock
// retries TryLock until the range is free, sleeping between tries.

#include <atomic>
#include <cstdint>

#include "platform/env.h"

namespace platform {

namespace {

std::atomic<int> g_lock_retry_interval_ms{0};

}  // namespace

void SetLockRetryIntervalMs(int interval_ms) {
  g_lock_retry_interval_ms.store(interval_ms < 0 ? 0 : interval_ms);
}

int LockRetryIntervalMs() { return g_lock_retry_interval_ms.load(); }

Status File::Lock(uint64_t offset, uint64_t length) {
  for (;;) {
    Status err;
    switch (TryLock(offset, length, &err)) {
      case LockResult::kLocked:
        return Status::OK();
      case LockResult::kError:
        return err;
      case LockResult::kBusy:
        SleepBeforeLockRetry(Env::Current());
        break;
    }
  }
}

void SleepBeforeLockRetry(Env* env) {
  int interval = LockRetryIntervalMs();
  if (interval > 0) {
    env->SleepMs(interval);
    return;
  }
  // Until the seconds value has advanced by more than one: one to two
  // seconds, whatever the phase of the clock.
  const int64_t start = env->NowSeconds();
  while (env->NowSeconds() - start <= 1) env->SleepMs(50);
}

}  // namespace platform
