#include "table_files.h"

#include "engine_error.h"
#include "memo_file.h"
#include "platform/env.h"
#include "table_use.h"

namespace xbase32 {
namespace {

platform::Env* env() { return platform::Env::Current(); }

bool Move(const std::string& from, const std::string& to) {
  platform::Status s = env()->RenameFile(from, to, true);
  if (!s.ok()) {
    ReportError(kErrRename, from.c_str(), to.c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string AsidePath(const std::string& path) { return path + ".old"; }

bool ReplaceTable(const std::string& old_data, const std::string& new_data) {
  const std::string old_memo = MemoPathFor(old_data);
  const std::string new_memo = MemoPathFor(new_data);
  const bool had_memo = env()->FileExists(old_memo);
  const bool has_memo = env()->FileExists(new_memo);

  // 1. Move the old table aside.
  if (!Move(old_data, AsidePath(old_data))) return false;
  if (had_memo && !Move(old_memo, AsidePath(old_memo))) {
    Move(AsidePath(old_data), old_data);
    return false;
  }
  // 2. The new memo file, then the new data file.
  bool ok = !has_memo || Move(new_memo, old_memo);
  if (ok && !Move(new_data, old_data)) {
    if (has_memo) Move(old_memo, new_memo);
    ok = false;
  }
  if (!ok) {
    if (had_memo) Move(AsidePath(old_memo), old_memo);
    Move(AsidePath(old_data), old_data);
    return false;
  }
  // 3. Forget the old table.
  platform::Status s = env()->DeleteFile(AsidePath(old_data));
  if (!s.ok()) {
    ReportError(kErrRemove, AsidePath(old_data).c_str(), s.ToString().c_str());
  }
  if (had_memo) {
    s = env()->DeleteFile(AsidePath(old_memo));
    if (!s.ok()) {
      ReportError(kErrRemove, AsidePath(old_memo).c_str(),
                  s.ToString().c_str());
    }
  }
  return true;
}

void DeleteTable(const std::string& data) {
  env()->DeleteFile(data);
  env()->DeleteFile(MemoPathFor(data));
}

bool RecoverReplacement(const std::string& data) {
  const std::string aside = AsidePath(data);
  if (env()->FileExists(data) || !env()->FileExists(aside)) return true;
  bool in_use = false, missing = false;
  std::unique_ptr<platform::File> guard = GuardTable(aside, &in_use, &missing);
  if (in_use) return false;  // the replacing process is at work
  if (!guard) return true;
  if (env()->FileExists(data)) return true;  // it finished meanwhile
  const std::string memo = MemoPathFor(data);
  if (env()->FileExists(AsidePath(memo)) && !Move(AsidePath(memo), memo)) {
    return true;
  }
  if (Move(aside, data)) {
    ReportError(kErrInfo,
                "An interrupted restructuring was undone:", data.c_str(),
                "The table in place is the old one.");
  }
  return true;
}

std::vector<std::string> LeftoverWorkTables(const std::string& dir) {
  std::vector<std::string> found;
  std::vector<platform::DirEntry> entries;
  if (!env()->ListDir(dir, "$$$?????.dbf", &entries).ok()) return found;
  const int64_t now = env()->NowSeconds();
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_dir || now - e.info.mtime < kLeftoverAgeSeconds) continue;
    const std::string path = dir + e.name;
    if (!TableInUse(path)) found.push_back(path);
  }
  return found;
}

void RemoveLeftoverWorkTables(const std::string& dir) {
  for (const std::string& path : LeftoverWorkTables(dir)) {
    bool in_use = false, missing = false;
    // Held while deleting: nobody opens it meanwhile.
    std::unique_ptr<platform::File> guard = GuardTable(path, &in_use, &missing);
    if (!guard) continue;
    DeleteTable(path);
  }
}

void NoticeLeftoverSet(const std::string& dir, const std::string& data,
                       bool opened) {
  for (const std::string& work : LeftoverWorkTables(dir)) {
    ReportError(kErrInfo, "Work files left by an interrupted restructuring:",
                work.c_str(), "The next restructuring here removes them.");
  }
  std::string aside = AsidePath(data);
  if (!env()->FileExists(aside)) {
    aside = AsidePath(MemoPathFor(data));
    if (!env()->FileExists(aside)) return;
  }
  if (opened) {
    // The new data file goes in last: with it in place the replacement was
    // complete and the old set is only waiting to be deleted (unless the
    // replacing process still holds it).
    bool in_use = false, missing = false;
    std::unique_ptr<platform::File> guard =
        GuardTable(AsidePath(data), &in_use, &missing);
    const bool removed = !in_use;
    if (removed) {
      if (guard) env()->DeleteFile(AsidePath(data));
      guard.reset();
      const std::string memo_aside = AsidePath(MemoPathFor(data));
      if (env()->FileExists(memo_aside)) env()->DeleteFile(memo_aside);
    }
    ReportError(kErrInfo,
                "Files left by an interrupted restructuring:", aside.c_str(),
                removed ? "The table in place is the new one; they were "
                          "deleted."
                        : "The table in place is the new one.");
  } else {
    ReportError(
        kErrOpen, "File Name:", data.c_str(),
        ("Interrupted restructuring: the old table is set aside as " + aside)
            .c_str());
  }
}

}  // namespace xbase32
