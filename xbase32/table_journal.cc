#include "table_journal.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "dbf_format.h"
#include "engine_error.h"
#include "memo_file.h"

namespace xbase32 {
namespace {

platform::Env* env() { return platform::Env::Current(); }

constexpr size_t kCopyBytes = 1 << 20;

std::string PartialPath(const std::string& path) { return path + ".jn~"; }

// Copies all of from into to from offset 0 on and cuts to after it.
bool CopyContents(platform::File* from, platform::File* to) {
  uint64_t size = 0;
  platform::Status s = from->Size(&size);
  std::vector<char> buf(kCopyBytes);
  for (uint64_t at = 0; s.ok() && at < size;) {
    size_t got = 0;
    s = from->ReadAt(
        at, buf.data(),
        static_cast<size_t>(std::min<uint64_t>(kCopyBytes, size - at)), &got);
    if (!s.ok()) {
      ReportError(kErrRead, from->path().c_str(), s.ToString().c_str());
      return false;
    }
    if (got == 0) break;
    s = to->WriteAt(at, buf.data(), got);
    if (!s.ok()) {
      ReportError(kErrWrite, to->path().c_str(), s.ToString().c_str());
      return false;
    }
    at += got;
  }
  if (s.ok()) s = to->Truncate(size);
  if (!s.ok()) {
    ReportError(kErrSetLength, to->path().c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

// Copies the open file from into a new file at path.
bool CopyInto(platform::File* from, const std::string& path) {
  std::unique_ptr<platform::File> to;
  platform::Status s =
      env()->OpenFile(path, platform::OpenMode::kCreateAlways, &to);
  if (!s.ok()) {
    ReportError(kErrCreate, "File Name:", path.c_str(), s.ToString().c_str());
    return false;
  }
  return CopyContents(from, to.get());
}

// Copies the file at path over the file at target (in place).
bool CopyBack(const std::string& path, const std::string& target) {
  std::unique_ptr<platform::File> from, to;
  platform::Status s =
      env()->OpenFile(path, platform::OpenMode::kReadOnly, &from);
  if (s.ok()) s = env()->OpenFile(target, platform::OpenMode::kReadWrite, &to);
  if (!s.ok() && !from) {
    ReportError(kErrOpen, "File Name:", path.c_str(), s.ToString().c_str());
    return false;
  }
  if (!s.ok()) {
    // A memo file that is gone is made again from its copy.
    s = env()->OpenFile(target, platform::OpenMode::kCreateAlways, &to);
    if (!s.ok()) {
      ReportError(kErrOpen, "File Name:", target.c_str(), s.ToString().c_str());
      return false;
    }
  }
  return CopyContents(from.get(), to.get());
}

void DeleteQuietly(const std::string& path) {
  if (env()->FileExists(path)) env()->DeleteFile(path);
}

}  // namespace

std::string JournalPath(const std::string& path) { return path + ".jnl"; }

bool WriteJournal(const std::string& data_path, platform::File* data,
                  platform::File* memo) {
  const std::string memo_path = MemoPathFor(data_path);
  DeleteQuietly(JournalPath(data_path));
  DeleteQuietly(PartialPath(data_path));
  DeleteQuietly(JournalPath(memo_path));
  bool ok = memo == nullptr || CopyInto(memo, JournalPath(memo_path));
  ok = ok && CopyInto(data, PartialPath(data_path));
  if (ok) {
    platform::Status s =
        env()->RenameFile(PartialPath(data_path), JournalPath(data_path), true);
    if (!s.ok()) {
      ReportError(kErrRename, PartialPath(data_path).c_str(),
                  s.ToString().c_str());
      ok = false;
    }
  }
  if (!ok) {
    DeleteQuietly(PartialPath(data_path));
    DeleteQuietly(JournalPath(memo_path));
  }
  return ok;
}

bool DropJournal(const std::string& data_path) {
  platform::Status s = env()->DeleteFile(JournalPath(data_path));
  if (!s.ok()) {
    ReportError(kErrRemove, JournalPath(data_path).c_str(),
                s.ToString().c_str());
    return false;
  }
  DeleteQuietly(JournalPath(MemoPathFor(data_path)));
  return true;
}

bool RestoreJournal(const std::string& data_path) {
  const std::string journal = JournalPath(data_path);
  const std::string memo_journal = JournalPath(MemoPathFor(data_path));
  if (env()->FileExists(memo_journal) &&
      !CopyBack(memo_journal, MemoPathFor(data_path))) {
    return false;
  }
  if (!CopyBack(journal, data_path)) return false;
  // Handles that keep data of the file in memory drop it.
  std::unique_ptr<platform::File> data;
  std::unique_ptr<platform::ChangeCounter> counter;
  if (env()->OpenFile(data_path, platform::OpenMode::kReadOnly, &data).ok() &&
      data->OpenChangeCounter(&counter).ok()) {
    counter->Bump();
    counter->Bump();
  }
  return DropJournal(data_path);
}

bool RollBackRewrite(const std::string& data_path) {
  const std::string journal = JournalPath(data_path);
  const std::string memo_journal = JournalPath(MemoPathFor(data_path));
  const bool complete = env()->FileExists(journal);
  if (!complete && !env()->FileExists(PartialPath(data_path)) &&
      !env()->FileExists(memo_journal)) {
    return false;
  }
  std::unique_ptr<platform::File> data;
  if (!env()->OpenFile(data_path, platform::OpenMode::kReadWrite, &data).ok()) {
    return false;
  }
  // A rewrite at work holds the whole-file lock (and so owns its journal).
  if (data->TryLock(dbf::kFileLockOffset, dbf::kFileLockLength) !=
      platform::LockResult::kLocked) {
    return false;
  }
  if (!complete) {
    // The rewrite never began: only its unfinished journal goes.
    DeleteQuietly(PartialPath(data_path));
    DeleteQuietly(memo_journal);
    return false;
  }
  if (!RestoreJournal(data_path)) return false;
  ReportError(kErrInfo,
              "An interrupted pack or zap was rolled back:", data_path.c_str(),
              "The table is as it was before.");
  return true;
}

}  // namespace xbase32
