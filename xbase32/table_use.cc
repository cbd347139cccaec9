#include "table_use.h"

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine_error.h"
#include "memo_file.h"
#include "ntx_mark.h"
#include "table_files.h"
#include "table_journal.h"
#include "xbase32/wdbase.h"

namespace xbase32 {
namespace {

platform::Env* env() { return platform::Env::Current(); }

// The longest Open waits for a replacement under way, and the pause
// between attempts.
constexpr int kHoldWaitMs = 60000;
constexpr int kHoldRetryMs = 5;

// Attempts of OpenShared, and its pause between them.
constexpr int kOpenAttempts = 2000;
constexpr int kOpenRetryMs = 5;

}  // namespace

bool HoldOpenRange(platform::File* data) {
  for (int waited = 0;; waited += kHoldRetryMs) {
    platform::Status err;
    const platform::LockResult r =
        data->TryLockShared(dbf::kOpenLockOffset, dbf::kOpenLockLength, &err);
    if (r == platform::LockResult::kLocked) return true;
    if (r == platform::LockResult::kError) {
      ReportError(kErrLock, data->path().c_str(), err.ToString().c_str());
      return false;
    }
    if (waited >= kHoldWaitMs) {
      ReportError(kErrLock, data->path().c_str(),
                  "The table is being replaced by another program");
      return false;
    }
    env()->SleepMs(kHoldRetryMs);
  }
}

bool TakeOpenRange(platform::File* data) {
  return data->TryLock(dbf::kOpenLockOffset, dbf::kOpenLockLength) ==
         platform::LockResult::kLocked;
}

void ShareOpenRange(platform::File* data) {
  data->TryLockShared(dbf::kOpenLockOffset, dbf::kOpenLockLength);
}

std::unique_ptr<platform::File> GuardTable(const std::string& path,
                                           bool* in_use, bool* missing) {
  *in_use = false;
  *missing = false;
  std::unique_ptr<platform::File> f;
  if (!env()->OpenFile(path, platform::OpenMode::kGuard, &f).ok()) {
    *missing = !env()->FileExists(path);
    return nullptr;
  }
  if (f->TryLock(dbf::kOpenLockOffset, dbf::kOpenLockLength) !=
      platform::LockResult::kLocked) {
    *in_use = true;
    return nullptr;
  }
  return f;
}

std::unique_ptr<platform::File> GuardInsteadOf(
    const std::string& path, const std::function<void()>& close) {
  std::unique_ptr<platform::File> f;
  if (!env()->OpenFile(path, platform::OpenMode::kGuard, &f).ok()) {
    return nullptr;
  }
  close();
  if (f->TryLock(dbf::kOpenLockOffset, dbf::kOpenLockLength) !=
      platform::LockResult::kLocked) {
    return nullptr;
  }
  return f;
}

bool TableInUse(const std::string& path) {
  bool in_use = false, missing = false;
  GuardTable(path, &in_use, &missing);
  return in_use;
}

void ReportInUse(int code, const std::string& path) {
  ReportError(code, "File Name:", path.c_str(),
              "The table is in use by another program");
}

std::unique_ptr<DbfFile> OpenShared(const std::string& path) {
  platform::Env* env = platform::Env::Current();
  for (int attempt = 0;; ++attempt) {
    // A replacement that died part way is undone first; one at work is
    // waited for.
    if (!RecoverReplacement(path) && attempt < kOpenAttempts) {
      env->SleepMs(kOpenRetryMs);
      continue;
    }
    RollBackRewrite(path);
    std::unique_ptr<DbfFile> d = DbfFile::Open(path);
    if (!d) {
      // Opened just as a replacement moved it aside: wait for the new one.
      if (attempt < kOpenAttempts && env->FileExists(AsidePath(path))) {
        ClearError();
        env->SleepMs(kOpenRetryMs);
        continue;
      }
      return nullptr;
    }
    if (!HoldOpenRange(d->data_file())) {
      d->Close();
      return nullptr;
    }
    // The file may have been replaced between the open and the lock: then
    // the name leads to another file and the one opened is gone.
    platform::FileInfo held, named;
    if (attempt >= kOpenAttempts || !d->data_file()->Stat(&held).ok()) {
      return d;
    }
    if (env->GetFileInfo(path, &named).ok() &&
        (named.is_link || named.inode == held.inode)) {
      return d;
    }
    d->Close();
  }
}

}  // namespace xbase32

int WdbaseIsInUse(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  return xbase32::TableInUse(path) ? 1 : 0;
}

int WdbaseReplaceTable(const char* table, const char* replacement,
                       int idx_count, const char* const* idx_paths) {
  using namespace xbase32;
  ClearError();
  if (table == nullptr || replacement == nullptr || idx_count < 0 ||
      (idx_count > 0 && idx_paths == nullptr)) {
    ReportError(kErrParameter, "WdbaseReplaceTable");
    return 0;
  }
  bool in_use = false, missing = false;
  std::unique_ptr<platform::File> guard = GuardTable(table, &in_use, &missing);
  if (!guard && !missing) {
    ReportInUse(kErrRemove, table);
    return 0;
  }
  std::unique_ptr<platform::File> new_guard =
      GuardTable(replacement, &in_use, &missing);
  if (!new_guard) {
    if (missing) {
      ReportError(kErrOpen, "File Name:", replacement);
    } else {
      ReportInUse(kErrRemove, replacement);
    }
    return 0;
  }
  for (int k = 0; k < idx_count; ++k) {
    if (idx_paths[k] == nullptr || !MarkIndexStale(idx_paths[k])) return 0;
  }
  if (guard) return ReplaceTable(table, replacement) ? 1 : 0;
  // No table yet: the new memo file, then the new data file.
  platform::Env* env = platform::Env::Current();
  const std::string memo = MemoPathFor(replacement);
  if (env->FileExists(memo)) {
    platform::Status s = env->RenameFile(memo, MemoPathFor(table), true);
    if (!s.ok()) {
      ReportError(kErrRename, memo.c_str(), s.ToString().c_str());
      return 0;
    }
  }
  platform::Status s = env->RenameFile(replacement, table, false);
  if (!s.ok()) {
    ReportError(kErrRename, replacement, s.ToString().c_str());
    return 0;
  }
  return 1;
}
