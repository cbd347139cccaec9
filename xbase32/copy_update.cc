// WdbaseCopyUpdateDb: copies the records of a table into another table,
// converting field by field (table_copy.h), with three ways to finish:
//   dst given      both tables end as they were (open and on their record,
//                  or closed);
//   name given     a new table "name" in src's directory, closed at the end;
//                  src ends as it was;
//   fields only    the converted table replaces src (table_files.h): every
//                  record is copied whatever filter is set, both end closed
//                  and src's index files are deleted (the next Open builds
//                  them again).

#include <cstring>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine_error.h"
#include "file_set.h"
#include "ntx_mark.h"
#include "platform/env.h"
#include "table_copy.h"
#include "table_files.h"
#include "table_use.h"
#include "temp_name.h"
#include "wdbase_access.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::FieldCopy;
using xbase32::FieldDesc;

namespace {

// Whether a table was open and on which record, to put it back.
struct Remembered {
  bool open = false;
  int32_t recno = 0;

  void Take(Wdbase* w) {
    open = w->IsOpen(0) != 0;
    recno = open ? (w->Eof() ? w->RecCount() + 1 : w->RecNo()) : 0;
  }
  void Restore(Wdbase* w) const {
    if (!open) {
      if (w->IsOpen(0)) w->Close();
      return;
    }
    if (!w->IsOpen(0) && !w->Open()) return;
    if (recno > 0) w->Goto(recno);
  }
};

// The fields of an open table as a creation list.
std::vector<WDBASE_FIELD> FieldsOf(const DbfFile* d) {
  std::vector<WDBASE_FIELD> fields;
  for (int k = 1; k <= d->field_count(); ++k) {
    const FieldDesc& f = d->field(k);
    WDBASE_FIELD w{};
    std::strncpy(w.name, f.name.c_str(), 10);
    w.type = f.type;
    w.len = static_cast<int16_t>(static_cast<uint16_t>(f.width));
    w.dec = static_cast<int16_t>(f.dec);
    fields.push_back(w);
  }
  fields.push_back(WDBASE_FIELD{});
  return fields;
}

// The copies for fields matched by name: memo to memo as texts, the rest by
// the conversion table.
std::vector<FieldCopy> MatchByName(const DbfFile* s, const DbfFile* t) {
  std::vector<FieldCopy> copies;
  for (int k = 1; k <= s->field_count(); ++k) {
    const FieldDesc& f = s->field(k);
    const int to = t->FindField(f.name);
    if (to == 0) continue;
    const bool memo = xbase32::dbf::IsMemoType(f.type);
    if (memo != xbase32::dbf::IsMemoType(t->field(to).type)) {
      if (!memo) copies.push_back({k, to, FieldCopy::kConvert});
      continue;
    }
    copies.push_back({k, to, memo ? FieldCopy::kMemo : FieldCopy::kConvert});
  }
  return copies;
}

// Whether two file names reach the same file on the host.
bool SameFile(const std::string& a, const std::string& b) {
  platform::Env* env = platform::Env::Current();
  std::string ha, hb;
  return env->HostPath(a, &ha).ok() && env->HostPath(b, &hb).ok() && ha == hb;
}

}  // namespace

int WdbaseCopyUpdateDb(Wdbase* src, Wdbase* dst, const WDBASE_FIELD* fields,
                       const char* name) {
  xbase32::ClearError();
  if (src == nullptr) return 0;
  if (dst == nullptr && fields == nullptr && name == nullptr) return 1;
  // Copying a table into itself would never end (or, for a new table of
  // the same name, wipe it first).
  const xbase32::FileSet* def = WdbaseAccess::Def(src);
  const std::string src_path = def->Full(0);
  const bool into_itself =
      dst == src ||
      (dst != nullptr && SameFile(WdbaseAccess::Def(dst)->Full(0), src_path)) ||
      (dst == nullptr && name != nullptr &&
       SameFile(def->path +
                    std::string(name).substr(0, std::string(name).find('.')) +
                    ".dbf",
                src_path));
  if (into_itself) {
    xbase32::ReportError(xbase32::kErrParameter, "Source is the target",
                         src_path.c_str());
    return 0;
  }
  const bool replace = dst == nullptr && name == nullptr;

  Remembered src_was, dst_was;
  src_was.Take(src);
  if (dst) dst_was.Take(dst);
  if (!src_was.open && !src->Open()) return 0;
  DbfFile* sd = WdbaseAccess::Data(src);
  // Replacing src: nobody else may have it open (its files are swapped) nor
  // change it while it is copied. Every failure from here on releases the
  // lock and the open range before src is restored.
  if (replace && !xbase32::TakeOpenRange(sd->data_file())) {
    xbase32::ReportInUse(xbase32::kErrRemove, src_path);
    src_was.Restore(src);
    return 0;
  }
  auto release = [&]() {
    if (!replace || !src->IsOpen(0)) return;
    src->Unlock();
    xbase32::ShareOpenRange(sd->data_file());
  };
  if (replace && !src->Lock()) {
    release();
    src_was.Restore(src);
    return 0;
  }
  // (Replacing src copies every record, so its filter may hide them all.)
  if (!replace && !src->Top() && src->RecCount() != 0) {
    src_was.Restore(src);
    return 0;
  }

  // The target.
  Wdbase made;
  Wdbase* target = dst;
  std::string made_path;
  if (dst == nullptr) {
    std::string base;
    if (replace) {
      xbase32::RemoveLeftoverWorkTables(def->path);
      // A unique work table, never a fixed name two processes would share.
      if (!xbase32::ReserveWorkTable(def->path, &base)) {
        release();
        src_was.Restore(src);
        return 0;
      }
    } else {
      base = name;
      base = base.substr(0, base.find('.'));
    }
    const std::vector<WDBASE_FIELD> own = FieldsOf(WdbaseAccess::Data(src));
    bool ok = made.SetFiles(def->path.c_str(), base.c_str(), 0, nullptr,
                            nullptr) != 0;
    if (ok) made_path = def->path + made.GetName(0);
    ok = ok && made.CreateDb(fields ? fields : own.data());
    if (!ok) {
      if (replace) xbase32::DeleteTable(def->path + base);
      release();
      src_was.Restore(src);
      return 0;
    }
    target = &made;
  }
  bool ok = target->IsOpen(0) || target->Open();
  // The converted table must take src's indexes, which the next Open builds.
  if (ok && replace) ok = xbase32::IndexesFit(*def, &made);
  if (ok && target == &made) ok = made.Lock();  // appends in one piece
  if (ok) {
    ok = xbase32::CopyRecords(
        src, target,
        MatchByName(WdbaseAccess::Data(src), WdbaseAccess::Data(target)),
        replace);
  }
  if (target == &made && made.IsOpen(0)) {
    ok = made.Unlock() && ok;
    ok = made.Close() && ok;
  }
  if (!ok) {
    if (!made_path.empty()) xbase32::DeleteTable(made_path);
    release();
    src_was.Restore(src);
    if (dst) dst_was.Restore(dst);
    return 0;
  }

  if (!replace) {
    src_was.Restore(src);
    if (dst) dst_was.Restore(dst);
    return 1;
  }
  // The converted table takes src's place; src ends closed. Its index
  // files are marked first: a crash after the swap leaves them to be
  // rebuilt by the next Open.
  for (int k = 1; ok && k <= def->count; ++k) {
    ok = xbase32::MarkIndexStale(def->Full(k));
  }
  // Where the host refuses to rename open files, a guard stands in for
  // src's own handles while the files change places.
  std::unique_ptr<platform::File> guard;
  if (ok && platform::OpenFilesBlockRename()) {
    guard = xbase32::GuardInsteadOf(src_path, [&] { src->Close(); });
    if (!guard) {
      xbase32::ReportInUse(xbase32::kErrRemove, src_path);
      ok = false;
    }
  }
  ok = ok && xbase32::ReplaceTable(src_path, made_path);
  if (!ok) release();
  src->Close();
  guard.reset();  // (a deletion under it completes now)
  if (!ok) {
    xbase32::DeleteTable(made_path);
    src_was.Restore(src);
    return 0;
  }
  for (int k = 1; k <= def->count; ++k) {
    platform::Env::Current()->DeleteFile(def->Full(k));
  }
  return 1;
}
