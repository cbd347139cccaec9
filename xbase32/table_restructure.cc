// Wdbase: FieldAdd and FieldRemove. The table is rebuilt through a work
// table with a unique name in its own directory: every record (deleted ones
// with their mark) and every memo text is copied over, the work table is put
// in place of the old files (table_files.h) and the table is opened again
// on the remembered record.

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine_error.h"
#include "file_set.h"
#include "ntx_mark.h"
#include "table_copy.h"
#include "table_files.h"
#include "table_use.h"
#include "temp_name.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::FieldCopy;
using xbase32::FieldDesc;

namespace {

constexpr const char* kFieldTypes = "CMDLN";

WDBASE_FIELD Describe(const FieldDesc& f) {
  WDBASE_FIELD w{};
  std::strncpy(w.name, f.name.c_str(), 10);
  w.type = f.type;
  w.len = static_cast<int16_t>(static_cast<uint16_t>(f.width));
  w.dec = static_cast<int16_t>(f.dec);
  return w;
}

FieldCopy CopyOf(const FieldDesc& f, int from, int to) {
  return {
      from, to,
      xbase32::dbf::IsMemoType(f.type) ? FieldCopy::kMemo : FieldCopy::kBytes};
}

}  // namespace

// Rebuilds the open table with fields (ending with an empty name), copying
// the old fields as copies says. The caller has checked its arguments.
static int Restructure(Wdbase* w, DbfFile*& data, xbase32::FileSet* def,
                       const std::vector<WDBASE_FIELD>& fields,
                       const std::vector<FieldCopy>& copies) {
  const int32_t recno = data->eof() ? w->RecCount() + 1 : data->recno();
  // Files another handle has open are never replaced: refused at once.
  if (!xbase32::TakeOpenRange(data->data_file())) {
    xbase32::ReportInUse(xbase32::kErrRemove, def->Full(0));
    return 0;
  }
  auto refuse = [&]() {
    w->Unlock();
    xbase32::ShareOpenRange(data->data_file());
    return 0;
  };
  if (!w->Lock()) {
    xbase32::ShareOpenRange(data->data_file());
    return 0;
  }
  // Natural order, no filter: every record is copied.
  if (!w->SetFilter(nullptr)) return refuse();
  w->SpecialFilterQuit();  // false when none was active
  if (!w->SelectIdx(0)) return refuse();
  xbase32::RemoveLeftoverWorkTables(def->path);
  std::string work_name;
  if (!xbase32::ReserveWorkTable(def->path, &work_name)) return refuse();
  const std::string work_path = def->path + work_name;
  Wdbase work;
  bool ok = work.SetFiles(def->path.c_str(), work_name.c_str(), 0, nullptr,
                          nullptr) &&
            work.CreateDb(fields.data()) && work.Open() &&
            xbase32::IndexesFit(*def, &work) && work.Lock() &&
            xbase32::CopyRecords(w, &work, copies, true);
  ok = work.Unlock() && ok;
  ok = work.Close() && ok;
  // The indexes are rebuilt after the swap; one a crash leaves behind
  // carries the mark that makes the next Open rebuild it.
  for (int k = 1; ok && k <= def->count; ++k) {
    ok = xbase32::MarkIndexStale(def->Full(k));
  }
  // The old table stays open and locked while the files change places;
  // where the host refuses to rename open files, a guard stands in for it.
  std::unique_ptr<platform::File> guard;
  bool closed = false;
  if (ok && platform::OpenFilesBlockRename()) {
    guard = xbase32::GuardInsteadOf(def->Full(0), [&] {
      w->Close();
      closed = true;
    });
    if (!guard) {
      xbase32::ReportInUse(xbase32::kErrRemove, def->Full(0));
      ok = false;
    }
  }
  if (!ok || !xbase32::ReplaceTable(def->Full(0), work_path)) {
    xbase32::DeleteTable(work_path);
    if (closed) {
      guard.reset();
      w->Open();
    } else {
      refuse();
    }
    w->Goto(recno);
    return 0;
  }
  guard.reset();  // (a deletion under it completes now)
  if (!closed) w->Close();
  // Open rebuilds the marked index files in place.
  if (!w->Open()) return 0;
  xbase32::ClearError();  // (the rebuilds were planned, not found)
  w->Goto(recno);
  return 1;
}

int Wdbase::FieldAdd(int pos, const char* name, char type, int len, int dec) {
  if (!Ready() || name == nullptr) return 0;
  std::string n = name;
  while (!n.empty() && std::isspace(static_cast<unsigned char>(n.back())))
    n.pop_back();
  size_t b = 0;
  while (b < n.size() && std::isspace(static_cast<unsigned char>(n[b]))) ++b;
  n.erase(0, b);
  for (char& c : n)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (n.size() > 10) n.resize(10);
  type = static_cast<char>(std::toupper(static_cast<unsigned char>(type)));
  if (n.empty() || type == '\0' || std::strchr(kFieldTypes, type) == nullptr ||
      len <= 0) {
    return 0;
  }
  // The widths CreateDb accepts, checked before the length is narrowed to
  // the 16 bits of a field descriptor (65 546 must not become 10).
  if ((type == 'C' && len > 65534) || (type == 'N' && len > 255)) {
    xbase32::ReportError(xbase32::kErrCreate, "Invalid Field Length", n.c_str(),
                         def_->Full(0).c_str());
    return 0;
  }
  if (type == 'D') len = 8;
  if (type == 'L') len = 1;
  if (type == 'M') len = 10;
  if (type == 'N') {
    if (dec > len - 1) dec = len - 1;
    if (dec < 0) dec = 0;
  } else {
    dec = 0;
  }
  if (data_->FindField(n) != 0) return 1;

  const int count = data_->field_count();
  if (pos <= 0 || pos > count) pos = count + 1;
  std::vector<WDBASE_FIELD> fields;
  std::vector<FieldCopy> copies;
  for (int k = 1; k <= count + 1; ++k) {
    if (k == pos) {
      WDBASE_FIELD f{};
      std::memcpy(f.name, n.data(), n.size());
      f.type = type;
      f.len = static_cast<int16_t>(len);
      f.dec = static_cast<int16_t>(dec);
      fields.push_back(f);
    }
    if (k <= count) {
      const FieldDesc& old = data_->field(k);
      fields.push_back(Describe(old));
      copies.push_back(CopyOf(old, k, static_cast<int>(fields.size())));
    }
  }
  fields.push_back(WDBASE_FIELD{});
  return Restructure(this, data_, def_, fields, copies);
}

int Wdbase::FieldRemove(int pos) {
  if (!Ready()) return 0;
  const int count = data_->field_count();
  if (pos < 1 || pos > count) return 0;
  std::vector<WDBASE_FIELD> fields;
  std::vector<FieldCopy> copies;
  for (int k = 1; k <= count; ++k) {
    if (k == pos) continue;
    const FieldDesc& old = data_->field(k);
    fields.push_back(Describe(old));
    copies.push_back(CopyOf(old, k, static_cast<int>(fields.size())));
  }
  fields.push_back(WDBASE_FIELD{});
  return Restructure(this, data_, def_, fields, copies);
}
