// Wy_MaintenanceGuard: the lock, the in-use test, the backup area and its
// journal of a maintenance run.

#include <cctype>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "maintenance/maintenance_journal.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

platform::Env* env() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper((unsigned char)c));
  return s;
}

std::string WithBackslash(std::string dir) {
  while (!dir.empty() && (dir.back() == ' ')) dir.pop_back();
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::string Parent(const std::string& path) {
  const size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

bool SyncFile(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!env()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok()) {
    return false;
  }
  return f->Sync().ok();
}

// Whether name is "NAME.DBF" of a registry table (any case).
bool IsRegistryTable(const std::string& name) {
  const std::string u = Upper(name);
  for (int t = 0; t < Y_N_MAX; ++t) {
    const YTABLE* y = WyGetFileInfo(t);
    if (y && u == Upper(std::string(y->def.name)) + ".DBF") return true;
  }
  return false;
}

// Whether a registry table in the data set's root, product or sub-product
// directories (depth 3 at most) is open in any process.
bool AnyTableInUse(const std::string& dir, std::string* which) {
  std::vector<std::string> stack(4);
  bool busy = false;
  env()->WalkTree(dir, [&](int depth, const platform::DirEntry& e) {
    if (busy || depth > 3) return false;
    if (e.name.find('\\') != std::string::npos) return false;
    if (e.info.is_dir) {
      if (depth == 1 && Wy_IsMaintenanceName(e.name)) return false;
      stack[depth] = e.name;
      return depth < 3;
    }
    if (!IsRegistryTable(e.name)) return false;
    std::string path = dir;
    for (int d = 1; d < depth; ++d) path += stack[d] + "\\";
    path += e.name;
    if (WdbaseIsInUse(path.c_str())) {
      busy = true;
      *which = path;
    }
    return false;
  });
  return busy;
}

platform::Status OpenLockFile(const std::string& path,
                              std::unique_ptr<platform::File>* f) {
  platform::Status st =
      env()->OpenFile(path, platform::OpenMode::kReadWrite, f);
  if (st.ok()) return st;
  st = env()->OpenFile(path, platform::OpenMode::kCreateNew, f);
  if (st.ok() || st.code() != EEXIST) return st;
  return env()->OpenFile(path, platform::OpenMode::kReadWrite, f);
}

// The runs active in this process (one per data directory; later guards of
// the same directory join the first).
// A child process forked during a run does not join it (the pid changes).
std::vector<Wy_MaintenanceGuard*>& ActiveRuns() {
  static std::vector<Wy_MaintenanceGuard*> runs;
  static int owner = 0;
  const int pid = env()->CurrentProcessId();
  if (owner != pid) {
    runs.clear();
    owner = pid;
  }
  return runs;
}

bool SameDir(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x == '/') x = '\\';
    if (y == '/') y = '\\';
    if (std::toupper((unsigned char)x) != std::toupper((unsigned char)y)) {
      return false;
    }
  }
  return true;
}

Wy_MaintenanceSaveStats g_save_stats;

}  // namespace

const Wy_MaintenanceSaveStats& Wy_MaintenanceSaveStatsGet() {
  return g_save_stats;
}

void Wy_MaintenanceSaveStatsReset() {
  g_save_stats = Wy_MaintenanceSaveStats{};
}

struct Wy_MaintenanceGuard::Lock {
  std::unique_ptr<platform::File> file;
  std::unique_ptr<platform::File> journal;
  uint64_t journal_size = 0;
};

bool Wy_IsMaintenanceName(const std::string& name) {
  const std::string u = Upper(name);
  return u == kWyMaintenanceArea || u == kWyMaintenanceLockFile;
}

int Wy_MaintenanceState(const std::string& data_dir) {
  const std::string dir = WithBackslash(data_dir);
  if (dir.empty()) return kWyMaintenanceFree;
  std::unique_ptr<platform::File> f;
  if (env()
          ->OpenFile(dir + kWyMaintenanceLockFile,
                     platform::OpenMode::kReadWrite, &f)
          .ok()) {
    const platform::LockResult r = f->TryLock(0, 1);
    if (r == platform::LockResult::kBusy) return kWyMaintenanceLocked;
    if (r == platform::LockResult::kLocked) f->Unlock(0, 1);
  }
  const std::string journal =
      dir + kWyMaintenanceArea + "\\" + kWyMaintenanceJournal;
  return env()->FileExists(journal) ? kWyMaintenanceInterrupted
                                    : kWyMaintenanceFree;
}

Wy_MaintenanceGuard::Wy_MaintenanceGuard(const std::string& data_dir)
    : dir_(WithBackslash(data_dir)) {}

Wy_MaintenanceGuard::~Wy_MaintenanceGuard() {
  if (active_) Rollback();
  Release();
}

bool Wy_MaintenanceGuard::Fail(const std::string& why) {
  error_ = why;
  return false;
}

void Wy_MaintenanceGuard::Release() {
  active_ = false;
  joinable_ = false;
  outer_ = nullptr;
  std::vector<Wy_MaintenanceGuard*>& runs = ActiveRuns();
  for (size_t i = 0; i < runs.size(); ++i) {
    if (runs[i] == this) {
      runs.erase(runs.begin() + static_cast<long>(i));
      break;
    }
  }
  if (lock_) {
    lock_->journal.reset();
    if (lock_->file) lock_->file->Unlock(0, 1);
    lock_.reset();
  }
  journal_open_ = false;
  saved_.clear();
}

int Wy_MaintenanceGuard::Begin(bool check_in_use) {
  if (active_) return 1;
  error_.clear();
  note_.clear();
  platform::FileInfo info;
  if (dir_.empty() || !env()->GetFileInfo(dir_, &info).ok()) {
    error_ = "data directory missing: " + dir_;
    return -1;
  }
  for (Wy_MaintenanceGuard* run : ActiveRuns()) {
    if (run != this && run->joinable_ && SameDir(run->dir_, dir_)) {
      outer_ = run;
      active_ = true;
      return 1;
    }
  }
  lock_ = std::make_unique<Lock>();
  platform::Status st =
      OpenLockFile(dir_ + kWyMaintenanceLockFile, &lock_->file);
  if (!st.ok()) {
    lock_.reset();
    error_ = "cannot open the lock file: " + st.ToString();
    return -1;
  }
  const platform::LockResult r = lock_->file->TryLock(0, 1, &st);
  if (r != platform::LockResult::kLocked) {
    lock_.reset();
    if (r == platform::LockResult::kBusy) {
      error_ = "another maintenance run holds " + dir_;
      return kWyMaintenanceBusy;
    }
    error_ = "cannot lock: " + st.ToString();
    return -1;
  }
  std::string which;
  if (check_in_use && AnyTableInUse(dir_, &which)) {
    Release();
    error_ = "table in use: " + which;
    return kWyMaintenanceBusy;
  }
  const int rc = mixtable::RestoreArea(dir_, &note_, &error_);
  if (rc != 1) {
    Release();
    return rc;
  }
  active_ = true;
  ActiveRuns().push_back(this);
  return 1;
}

int Wy_MaintenanceGuard::Recover(const std::string& data_dir, std::string* note,
                                 std::string* error) {
  return mixtable::RestoreArea(WithBackslash(data_dir), note, error);
}

bool Wy_MaintenanceGuard::Relative(const std::string& path, std::string* rel) {
  if (path.size() <= dir_.size()) return false;
  for (size_t i = 0; i < dir_.size(); ++i) {
    char a = path[i], b = dir_[i];
    if (a == '/') a = '\\';
    if (b == '/') b = '\\';
    if (std::toupper((unsigned char)a) != std::toupper((unsigned char)b)) {
      return false;
    }
  }
  *rel = path.substr(dir_.size());
  for (char& c : *rel) {
    if (c == '/') c = '\\';
  }
  return mixtable::PlainRelativePath(*rel) &&
         mixtable::NoLinkOnPath(dir_, *rel);
}

bool Wy_MaintenanceGuard::EnsureJournal() {
  if (journal_open_) return true;
  const std::string area = dir_ + kWyMaintenanceArea;
  if (!env()->FileExists(area)) {
    platform::Status st = env()->CreateDir(area);
    if (!st.ok())
      return Fail("cannot create the backup area: " + st.ToString());
    env()->SyncDir(dir_);
  }
  const std::string journal = area + "\\" + kWyMaintenanceJournal;
  platform::Status st = env()->OpenFile(
      journal, platform::OpenMode::kCreateAlways, &lock_->journal);
  if (st.ok()) st = lock_->journal->Sync();
  if (!st.ok()) {
    lock_->journal.reset();
    return Fail("cannot create the journal: " + st.ToString());
  }
  env()->SyncDir(area);
  lock_->journal_size = 0;
  journal_open_ = true;
  return true;
}

bool Wy_MaintenanceGuard::AppendJournal(const std::string& line) {
  const std::string text = line + "\n";
  platform::Status st =
      lock_->journal->WriteAt(lock_->journal_size, text.data(), text.size());
  if (st.ok()) st = lock_->journal->Sync();
  if (!st.ok()) {
    // Cut a partial line so that the next line starts clean.
    lock_->journal->Truncate(lock_->journal_size);
    return Fail("cannot write the journal: " + st.ToString());
  }
  lock_->journal_size += text.size();
  return true;
}

bool Wy_MaintenanceGuard::SaveFile(const std::string& path) {
  if (!active_) return Fail("no maintenance run");
  if (outer_ && !outer_->SaveFile(path)) return Fail(outer_->error());
  if (outer_) return true;
  std::string rel;
  if (!Relative(path, &rel)) return Fail("outside the data directory: " + path);
  const std::string key = Upper(rel);
  if (saved_.count(key)) return true;
  if (!EnsureJournal()) return false;
  platform::FileInfo info;
  if (!env()->GetFileInfo(path, &info).ok()) {
    if (!AppendJournal(mixtable::kJournalCreated + rel)) return false;
    saved_.insert(key);
    return true;
  }
  if (info.is_dir) return Fail("not a file: " + path);
  const auto started = std::chrono::steady_clock::now();
  const std::string area = dir_ + kWyMaintenanceArea + "\\";
  // Parent directories of the copy inside the area.
  std::string cur = area;
  size_t start = 0;
  for (size_t sep = rel.find('\\'); sep != std::string::npos;
       sep = rel.find('\\', start)) {
    cur += rel.substr(start, sep - start);
    if (!env()->FileExists(cur)) {
      platform::Status st = env()->CreateDir(cur);
      if (!st.ok()) return Fail("cannot save " + rel + ": " + st.ToString());
      env()->SyncDir(Parent(cur));
    }
    cur += '\\';
    start = sep + 1;
  }
  const std::string copy = area + rel;
  platform::Status st = env()->CopyFile(path, copy, false);
  if (st.ok() && !SyncFile(copy)) st = platform::Status::Error(EIO, copy);
  if (!st.ok()) {
    env()->DeleteFile(copy);
    return Fail("cannot save " + rel + ": " + st.ToString());
  }
  env()->SyncDir(Parent(copy));
  if (!AppendJournal(mixtable::kJournalSaved + rel)) return false;
  saved_.insert(key);
  ++g_save_stats.files;
  g_save_stats.bytes += static_cast<int64_t>(info.size);
  g_save_stats.nanoseconds +=
      std::chrono::duration_cast<std::chrono::nanoseconds>(
          std::chrono::steady_clock::now() - started)
          .count();
  return true;
}

bool Wy_MaintenanceGuard::SaveTable(const std::string& dir, int table) {
  const YTABLE* y = WyGetFileInfo(table);
  if (!y) return Fail("no such table");
  const std::string d = WithBackslash(dir);
  const std::string name = y->def.name;
  if (!SaveFile(d + name + ".DBF")) return false;
  const std::string memo = d + name + ".DBT";
  if (env()->FileExists(memo) && !SaveFile(memo)) return false;
  return SaveTableIndexes(dir, table);
}

bool Wy_MaintenanceGuard::SaveTableIndexes(const std::string& dir, int table) {
  const YTABLE* y = WyGetFileInfo(table);
  if (!y) return Fail("no such table");
  const std::string d = WithBackslash(dir);
  for (int k = 0; k < y->def.idx_count; ++k) {
    std::string idx = y->def.idx_names[k];
    if (idx.find('.') == std::string::npos) idx += ".NTX";
    if (!SaveFile(d + idx)) return false;
  }
  return true;
}

bool Wy_MaintenanceGuard::NoteCreated(const std::string& path) {
  if (!active_) return Fail("no maintenance run");
  if (outer_ && !outer_->NoteCreated(path)) return Fail(outer_->error());
  if (outer_) return true;
  std::string p = path;
  while (p.size() > dir_.size() && (p.back() == '\\' || p.back() == '/')) {
    p.pop_back();
  }
  std::string rel;
  if (!Relative(p, &rel)) return Fail("outside the data directory: " + path);
  platform::FileInfo info;
  if (env()->GetFileInfo(p, &info).ok()) {
    if (info.is_dir) return true;
    return SaveFile(p);
  }
  const std::string key = Upper(rel);
  if (saved_.count(key)) return true;
  if (!EnsureJournal()) return false;
  if (!AppendJournal(mixtable::kJournalCreated + rel)) return false;
  saved_.insert(key);
  return true;
}

bool Wy_MaintenanceGuard::Complete() {
  if (!active_) return Fail("no maintenance run");
  if (outer_) {
    Release();
    return true;
  }
  if (journal_open_) {
    const std::string area = dir_ + kWyMaintenanceArea + "\\";
    lock_->journal.reset();
    platform::Status st = env()->RenameFile(
        area + kWyMaintenanceJournal, area + kWyMaintenanceJournalDone, false);
    if (!st.ok()) {
      // Still incomplete: the destructor (Rollback) or the next run
      // restores it.
      return Fail("cannot complete the journal: " + st.ToString());
    }
    env()->SyncDir(area);
    mixtable::DeleteArea(dir_);  // a leftover is deleted by the next run
  }
  Release();
  return true;
}

bool Wy_MaintenanceGuard::Rollback() {
  if (!active_) return Fail("no maintenance run");
  if (outer_) {
    Release();
    return true;
  }
  bool ok = true;
  if (journal_open_) {
    lock_->journal.reset();
    journal_open_ = false;
    std::string note;
    ok = mixtable::RestoreArea(dir_, &note, &error_) == 1;
  }
  Release();
  return ok;
}
