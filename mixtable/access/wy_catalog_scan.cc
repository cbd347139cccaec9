// Writing the catalogue: creation, the upgrade of older catalogues, the scan
// of data-set roots and Wy_UpdateDatactl.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "access/wy_catalog_impl.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace {

using mixtable::CatalogIdText;
using mixtable::ReadCatalogId;

constexpr int kMaxScannedIds = 100;

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Creates the catalogue of db (prepared, closed) with its index files under
// work names in its directory and moves them into place, the data file
// last: no process ever meets a catalogue without its index files (two
// processes building a missing index at once would spoil it). Creators take
// turns through a lock on the file DATACTL.LCK beside it; a creator that
// finds the catalogue made by the one before it makes nothing. True when
// this call made the catalogue.
bool CreateCatalogFile(Wdbase* db, const WDBASE_FIELD* fields) {
  platform::Env* env = platform::Env::Current();
  const std::string dir = db->GetPath();
  const std::string target = dir + db->GetName(0);
  std::unique_ptr<platform::File> lock;
  const std::string lock_path = dir + "DATACTL.LCK";
  if (!env->OpenFile(lock_path, platform::OpenMode::kReadWrite, &lock).ok() &&
      !env->OpenFile(lock_path, platform::OpenMode::kCreateNew, &lock).ok() &&
      !env->OpenFile(lock_path, platform::OpenMode::kReadWrite, &lock).ok()) {
    return false;
  }
  if (!lock->Lock(0, 1).ok()) return false;
  bool made = false;
  for (int attempt = 0; attempt < 100 && !env->FileExists(target); ++attempt) {
    const int n = (env->CurrentProcessId() + attempt) % 100000;
    char name[16], id_name[16], path_name[16];
    std::snprintf(name, sizeof name, "$CT%05d", n);
    std::snprintf(id_name, sizeof id_name, "$CI%05d", n);
    std::snprintf(path_name, sizeof path_name, "$CP%05d", n);
    const char* names[] = {id_name, path_name};
    const char* exprs[] = {db->GetIdxExpr(1), db->GetIdxExpr(2)};
    Wdbase work;
    if (!work.SetFiles(dir.c_str(), name, 2, names, exprs)) break;
    if (work.Access(0)) continue;  // another process's work file
    if (!work.CreateDb(fields) || !work.Open()) {
      work.Unlink(0);
      break;
    }
    work.Close();
    // Index files left by an earlier catalogue are replaced: nobody uses
    // them while the data file is missing.
    bool ok = true;
    for (int k = 1; k <= 2; ++k) {
      const std::string from = dir + work.GetName(k);
      if (ok) ok = env->RenameFile(from, dir + db->GetName(k), true).ok();
      if (!ok) env->DeleteFile(from);
    }
    const std::string file = dir + work.GetName(0);
    made = ok && env->RenameFile(file, target, false).ok();
    if (!made) env->DeleteFile(file);
    break;
  }
  lock->Unlock(0, 1);
  return made;
}

// Appends (update false) or finds, recalls or appends (update true) the
// record of id and writes it. 0 failure, 1 updated, 2 appended, 3 recalled.
int WriteRecord(bool update, uint32_t id, uint32_t abs_id, char* path,
                const char* descr) {
  Wdbase db;
  if (!mixtable::OpenCatalog(db)) return 0;
  Wy_ResetAbsDataIdCache();
  // The search and the write form one step for other processes; the fields
  // reach the disk with one flush.
  if (!db.Lock()) {
    db.Close();
    return 0;
  }
  const int flush = Wdbase::FlushSet(0);
  int result = 2;
  bool found = false;
  if (update) {
    for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
      if (ReadCatalogId(db, "DATAID") != id) continue;
      found = true;
      if (db.Deleted()) {
        db.Recall();
        result = 3;
      } else {
        result = 1;
      }
      break;
    }
  }
  if (!found && !db.AppendBlank()) {
    Wdbase::FlushSet(flush);
    db.Unlock();
    db.Close();
    return 0;
  }
  if (path) {
    for (char* c = path; *c; ++c)
      *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  bool ok = db.WriteString("DATAID", CatalogIdText(id).c_str()) &&
            db.WriteString("PATH", path ? path : "") &&
            db.WriteString("DESCR", descr ? descr : "");
  if (abs_id != 0)
    ok = db.WriteString("ABS_DATAID", CatalogIdText(abs_id).c_str()) && ok;
  ok = db.Flush() && ok;
  Wdbase::FlushSet(flush);
  db.Unlock();
  db.Close();
  Wy_ResetAbsDataIdCache();
  return ok ? result : 0;
}

// A data set found by the scan.
struct Candidate {
  std::string path;
  std::string descr;
  uint32_t own_id = 0;
  uint32_t abs_id = 0;
};

std::string VersionDescription(const std::string& dir) {
  std::vector<std::string> lines;
  if (!platform::ReadLines(dir + "FVERS.DAT", &lines).ok() || lines.empty())
    return std::string();
  std::string first = lines[0].substr(0, 80);
  first = Trim(first);
  return first == "0.00" ? std::string() : first;
}

// DATAID and ABS_DATAID of the data set's PARAM table, read in natural
// order so that nothing in the data set is written (no index is built).
void ParamIds(const std::string& dir, uint32_t* own, uint32_t* abs) {
  Wdbase param;
  if (!param.SetFiles(dir.c_str(), "PARAM", 0, nullptr, nullptr) ||
      !param.Access(0) || !param.Open())
    return;
  for (int ok = param.Top(); ok && !param.Eof(); ok = param.Next()) {
    if (param.Deleted()) continue;
    const std::string key = mixtable::ReadCatalogField(param, "KEY", 126);
    const uint32_t value = ReadCatalogId(param, "VALUE");
    if (key == "DATAID" && value != 0 && *own == 0) *own = value;
    if (key == "ABS_DATAID" && value != 0 && *abs == 0) *abs = value;
  }
  param.Close();
}

bool Skipped(const std::string& candidate) {
  std::string c = Upper(candidate);
  while (!c.empty() && (c.back() == '\\' || c.back() == '/')) c.pop_back();
  // The work directories of a child build are never data sets of their own.
  return c == "C:\\GCSPACES" || c == "C:\\GDATATMP" || Wy_IsChildWorkDir(c);
}

void ScanRoots(const std::string* roots) {
  platform::Env* env = platform::Env::Current();
  std::string list = roots && !Trim(*roots).empty() ? *roots : "C:\\";
  std::vector<Candidate> found;
  const int32_t n = Wy_StringParse_GetNum(list, ';');
  for (int32_t r = 0; r < n; ++r) {
    std::string root;
    Wy_StringParse_GetItem(root, list, r, ';');
    root = Trim(root);
    if (root.empty()) continue;
    Wy_AddTrailingBackslash(root);
    std::vector<platform::DirEntry> entries;
    if (!env->ListDir(root, "*.*", &entries).ok()) continue;  // sorted
    for (const platform::DirEntry& e : entries) {
      const std::string candidate = root + e.name;
      if (e.info.is_link) {
        std::vector<platform::DirEntry> probe;  // a link to a directory?
        if (!env->ListDir(candidate, "*.*", &probe).ok()) continue;
      } else if (!e.info.is_dir) {
        continue;
      }
      if (Skipped(candidate)) continue;
      const std::string dir = candidate + "\\";
      if (!env->FileExists(dir + "CNTS.DBF")) continue;
      Candidate c;
      c.path = candidate;
      c.descr = VersionDescription(dir);
      ParamIds(dir, &c.own_id, &c.abs_id);
      found.push_back(c);
    }
  }

  // Ids already taken: the catalogue's and those the data sets carry.
  std::set<uint32_t> taken;
  Wdbase db;
  if (mixtable::OpenCatalog(db)) {
    for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next())
      taken.insert(ReadCatalogId(db, "DATAID"));
    db.Close();
  }
  for (const Candidate& c : found)
    if (c.own_id) taken.insert(c.own_id);

  uint32_t counter = 1;
  for (Candidate& c : found) {
    while (taken.count(counter)) ++counter;
    if (counter > kMaxScannedIds) break;
    const uint32_t id = c.own_id ? c.own_id : counter;
    std::vector<char> path(c.path.begin(), c.path.end());
    path.push_back('\0');
    WriteRecord(false, id, c.abs_id, path.data(), c.descr.c_str());
    if (!c.own_id) taken.insert(counter++);
  }
}

}  // namespace

void Wy_CheckDatactl(bool scan, const std::string* roots) {
  platform::Env* env = platform::Env::Current();
  std::string local;
  Wy_LocalPath(local);
  if (local.empty()) local = "C:\\LOCAL\\";
  if (!env->FileExists(local)) Wy_MkDir(local);

  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db)) return;
  if (!db.Access(0)) {
    std::vector<WDBASE_FIELD> fields;
    for (const WyDatactlField& f : kWyDatactlFields) {
      WDBASE_FIELD w{};
      std::snprintf(w.name, sizeof w.name, "%s", f.name);
      w.type = 'C';
      w.len = static_cast<int16_t>(f.width);
      fields.push_back(w);
    }
    fields.push_back(WDBASE_FIELD{});
    // CreateDb truncates an existing file: another process may create the
    // catalogue at the same moment and register data sets in it at once.
    // The table is made under a work name and moved into place only when
    // the name is still free; the loser uses the winner's catalogue.
    if (CreateCatalogFile(&db, fields.data())) {
      Wy_ResetAbsDataIdCache();
      if (scan) ScanRoots(roots);
    } else if (!db.Access(0)) {
      return;
    }
  }
  // Fields an older catalogue lacks, at the end of the record.
  if (!db.Open()) return;
  for (size_t k = 4; k < std::size(kWyDatactlFields); ++k) {
    const WyDatactlField& f = kWyDatactlFields[k];
    if (db.FieldNo(f.name) <= 0) db.FieldAdd(0, f.name, 'C', f.width, 0);
  }
  db.Close();
}

int Wy_UpdateDatactl(uint32_t id, uint32_t abs_id, char* path,
                     const char* descr) {
  // Id 0 means "no data set", and a longer path would be stored cut.
  if (id == 0 || path == nullptr ||
      std::strlen(path) > static_cast<size_t>(kWyDatactlFields[1].width)) {
    return 0;
  }
  Wy_CheckDatactl(false, nullptr);
  return WriteRecord(true, id, abs_id, path, descr);
}
