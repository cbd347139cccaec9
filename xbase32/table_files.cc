#include "table_files.h"

#include "engine_error.h"
#include "memo_file.h"
#include "platform/env.h"

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

void NoticeLeftoverSet(const std::string& data, bool opened) {
  std::string aside = AsidePath(data);
  if (!env()->FileExists(aside)) {
    aside = AsidePath(MemoPathFor(data));
    if (!env()->FileExists(aside)) return;
  }
  if (opened) {
    ReportError(kErrInfo,
                "Files left by an interrupted restructuring:", aside.c_str(),
                "The table in place is the new one.");
  } else {
    ReportError(
        kErrOpen, "File Name:", data.c_str(),
        ("Interrupted restructuring: the old table is set aside as " + aside)
            .c_str());
  }
}

}  // namespace xbase32
