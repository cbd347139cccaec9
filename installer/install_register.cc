// Registration of the data set in the catalogue, the renumbering of the
// local tables and the copies that let a cancelled or failed installation
// put the catalogue and the local tables back as they were.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "install_internal.h"
#include "installer/install_engine.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

using installer_internal::LocalDir;
using installer_internal::Trim;

namespace {

platform::Env* E() { return platform::Env::Current(); }

// Directory in the local directory holding the aside copies of the local
// tables while an installation runs.
constexpr const char* kLocalTablesBackup = "INSTALL.BAK\\";
// Catalogue ids up to this one were handed out by the scan of the disk.
constexpr uint32_t kScanIdLast = 100;

std::string IdText(uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%10lu", static_cast<unsigned long>(id));
  return buf;
}

uint32_t IdOf(const char* text) {
  return static_cast<uint32_t>(std::strtoul(text ? text : "", nullptr, 10));
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Path as compared in the catalogue: trimmed, upper case, "/" as "\", no
// trailing separator.
std::string PathKey(const std::string& path) {
  std::string p = Upper(Trim(path));
  for (char& c : p)
    if (c == '/') c = '\\';
  while (p.size() > 1 && p.back() == '\\') p.pop_back();
  return p;
}

// The first live record whose DATAID is id (by_path false) or whose PATH is
// path; the table stands on it. False when none.
bool FindRecord(Wdbase& db, bool by_path, uint32_t id, const std::string& key) {
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (db.Deleted()) continue;
    if (by_path ? PathKey(db.Read("PATH", 1, 1)) == key
                : IdOf(db.Read("DATAID", 1, 1)) == id)
      return true;
  }
  return false;
}

bool WriteIds(Wdbase& db, uint32_t id, uint32_t abs_id) {
  bool ok = db.WriteString("DATAID", IdText(id).c_str());
  if (abs_id != 0)
    ok = db.WriteString("ABS_DATAID", IdText(abs_id).c_str()) && ok;
  return ok;
}

// The local tables an installation may renumber: file masks of their data,
// memo and index files.
std::vector<std::string> LocalTableMasks() {
  std::vector<std::string> masks = {"STORE.*", "STDATAID.NTX", "HISTORY.*",
                                    "HIDATAID.NTX"};
  const YTABLE* t = WyGetFileInfo(Y_ARCHIVE);
  if (t && t->def.name) {
    std::string base = t->def.name;
    Wy_GetFilePathName(base);
    masks.push_back(base + ".*");
    for (int i = 0; i < t->def.idx_count; ++i) {
      std::string idx = t->def.idx_names[i];
      Wy_GetFilePathName(idx);
      masks.push_back(idx + ".NTX");
    }
  }
  return masks;
}

struct RenumberFilter {
  uint32_t old_id;
};

int HideOtherIds(const Wdbase* db, void* user) {
  auto* f = static_cast<RenumberFilter*>(user);
  return IdOf(db->Read("DATAID", 1, 1)) == f->old_id ? 0 : 1;
}

// Renumbers one open table; the number of records changed, -1 on failure.
int RenumberTable(Wdbase& db, uint32_t old_id, uint32_t new_id) {
  RenumberFilter f{old_id};
  db.SelectIdx(0);
  int changed = 0;
  if (!db.SetFilter(&HideOtherIds, &f, 0)) {
    db.SetFilter(static_cast<Wdbase::FilterFunc>(nullptr));
    return 0;  // no record of old_id
  }
  std::string text = IdText(new_id);
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (!db.WriteString("DATAID", text.c_str())) {
      db.SetFilter(static_cast<Wdbase::FilterFunc>(nullptr));
      return -1;
    }
    ++changed;
  }
  db.SetFilter(static_cast<Wdbase::FilterFunc>(nullptr));
  return changed;
}

}  // namespace

int RenumberLocalTables(uint32_t old_id, uint32_t new_id) {
  std::string local = LocalDir();
  int total = 0;
  bool failed = false;
  // Records are written when the table moves on or closes.
  int flush = Wdbase::FlushSet(0);
  {
    CMixtable tables;
    Wdbase* archive = tables.Handle(Y_ARCHIVE);
    if (tables.Open(archive)) {
      int n = RenumberTable(*archive, old_id, new_id);
      failed = failed || n < 0;
      total += n > 0 ? n : 0;
      archive->Close();
    }
  }
  struct Local {
    const char* table;
    const char* index;
  } locals[] = {{"STORE", "STDATAID"}, {"HISTORY", "HIDATAID"}};
  for (const Local& l : locals) {
    Wdbase db;
    const char* names[] = {l.index};
    const char* exprs[] = {"DATAID"};
    if (!db.SetFiles(local.c_str(), l.table, 1, names, exprs) || !db.Access(0))
      continue;
    if (!db.Open()) {
      failed = true;
      continue;
    }
    int n = RenumberTable(db, old_id, new_id);
    failed = failed || n < 0;
    total += n > 0 ? n : 0;
    db.Close();
  }
  Wdbase::FlushSet(flush);
  E()->DeleteFile(local + "hidataid.ntx");
  E()->DeleteFile(local + "stdataid.ntx");
  return failed ? -1 : total;
}

bool SaveLocalTables(InstallContext& ctx) {
  std::string local = LocalDir();
  std::string aside = local + kLocalTablesBackup;
  ctx.saved_local_files.clear();
  if (E()->FileExists(aside)) {
    ctx.error =
        "A copy of the local tables from an interrupted installation is in " +
        aside + ": put its files back into " + local +
        " or delete it, then start again";
    ctx.Line(ctx.error);
    return false;
  }
  if (!Wy_MkDir(aside)) {
    ctx.error = "Cannot create " + aside;
    ctx.Line(ctx.error);
    return false;
  }
  for (const std::string& mask : LocalTableMasks()) {
    std::vector<platform::DirEntry> entries;
    if (!E()->ListDir(local, mask, &entries).ok()) continue;
    for (const platform::DirEntry& e : entries) {
      if (e.info.is_dir || e.info.is_link) continue;
      if (!E()->CopyFile(local + e.name, aside + e.name, false).ok()) {
        ctx.error = "Cannot copy " + local + e.name + " to " + aside;
        ctx.Line(ctx.error);
        E()->DeleteTree(aside);
        ctx.saved_local_files.clear();
        return false;
      }
      ctx.saved_local_files.push_back(e.name);
    }
  }
  ctx.local_tables_saved = 1;
  return true;
}

void RestoreLocalTables(InstallContext& ctx) {
  if (!ctx.local_tables_saved) return;
  std::string local = LocalDir();
  std::string aside = local + kLocalTablesBackup;
  bool all = true;
  for (const std::string& name : ctx.saved_local_files)
    all = E()->CopyFile(aside + name, local + name, false).ok() && all;
  if (all) {
    E()->DeleteTree(aside);
    ctx.local_tables_saved = 0;
    ctx.saved_local_files.clear();
  }
}

void DropLocalTablesBackup(InstallContext& ctx) {
  if (!ctx.local_tables_saved) return;
  E()->DeleteTree(LocalDir() + kLocalTablesBackup);
  ctx.local_tables_saved = 0;
  ctx.saved_local_files.clear();
}

void RestoreCatalogue(const InstallContext& ctx) {
  std::string local = LocalDir();
  std::string backup = local + kCatalogueBackupName;
  if (E()->FileExists(backup)) {
    if (E()->CopyFile(backup, local + "datactl.dbf", false).ok())
      E()->DeleteFile(backup);
  } else if (!ctx.work_area_mode) {
    E()->DeleteFile(local + "datactl.dbf");
  }
  E()->DeleteFile(local + "ctlid.ntx");
  E()->DeleteFile(local + "ctlpath.ntx");
  Wy_ResetAbsDataIdCache();
}

bool FindFreeDataDir(std::string& dir) {
  for (int n = 1; n <= kFreeDirLast; ++n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, kFreeDirPattern, n);
    if (E()->FileExists(buf)) continue;
    if (E()->CreateDir(buf).ok()) {
      E()->RemoveDir(buf);
      dir = buf;
      return true;
    }
  }
  dir.clear();
  return false;
}

int RegisterDataSet(InstallContext& ctx) {
  std::string local = LocalDir();
  Wy_MkDir(local);
  auto fail = [&](const std::string& why) {
    ctx.error = why;
    ctx.Line(why);
    RestoreCatalogue(ctx);
    RestoreLocalTables(ctx);
    return -1;
  };
  if (E()->FileExists(local + "datactl.dbf") &&
      !E()->CopyFile(local + "datactl.dbf", local + kCatalogueBackupName, false)
           .ok()) {
    ctx.error =
        "Cannot copy " + local + "datactl.dbf to " + kCatalogueBackupName;
    ctx.Line(ctx.error);
    return -1;
  }
  if (!SaveLocalTables(ctx)) {
    E()->DeleteFile(local + kCatalogueBackupName);
    return -1;
  }
  Wy_CheckDatactl(true, nullptr);

  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db) || !db.Open()) return 1;
  db.SelectIdx(0);
  std::string path = Upper(Trim(ctx.path));
  std::string key = PathKey(path);
  uint32_t id = ctx.data_id;
  uint32_t renumber_from = 0;
  bool ok = true;
  if (FindRecord(db, false, id, key)) {
    ok = db.WriteString("DESCR", ctx.description.c_str());
    if (PathKey(db.Read("PATH", 1, 1)) != key)
      ok = db.WriteString("PATH", path.c_str()) && ok;
    if (ctx.abs_data_id != 0)
      ok = db.WriteString("ABS_DATAID", IdText(ctx.abs_data_id).c_str()) && ok;
  } else if (FindRecord(db, true, id, key)) {
    uint32_t old_id = IdOf(db.Read("DATAID", 1, 1));
    if (old_id >= 1 && old_id <= kScanIdLast) {
      ok = WriteIds(db, id, ctx.abs_data_id) &&
           db.WriteString("DESCR", ctx.description.c_str());
      renumber_from = old_id;
    } else {
      std::string free_dir;
      if (!FindFreeDataDir(free_dir)) {
        db.Close();
        return fail(
            "No free data directory: C:\\GDATA001 to C:\\GDATA999 are all "
            "taken");
      }
      std::vector<char> text(1024 + 3 * path.size() + free_dir.size());
      std::snprintf(text.data(), text.size(),
                    "In the directory %s \nthe Database ID = %u is already "
                    "present\nThe new Database has a different ID = %u\nPress "
                    "'Yes' to install the new Database in %s \nPress 'No' to "
                    "install the new Database in %s \n(the old one will be "
                    "deleted)",
                    path.c_str(), old_id, id, free_dir.c_str(), path.c_str());
      int answer = platform::ShowMessageBox(
          "KalvoINSTALL", text.data(),
          platform::kMbYesNoCancel | platform::kMbIconQuestion);
      if (answer == platform::kIdYes) {
        path = Upper(free_dir);
        ok = db.AppendBlank() && WriteIds(db, id, ctx.abs_data_id) &&
             db.WriteString("PATH", path.c_str()) &&
             db.WriteString("DESCR", ctx.description.c_str());
      } else if (answer == platform::kIdNo) {
        ok = WriteIds(db, id, ctx.abs_data_id) &&
             db.WriteString("DESCR", ctx.description.c_str());
        renumber_from = old_id;
      } else {
        db.Close();
        RestoreCatalogue(ctx);
        RestoreLocalTables(ctx);
        return 0;
      }
    }
  } else {
    ok = db.AppendBlank() && WriteIds(db, id, ctx.abs_data_id) &&
         db.WriteString("PATH", path.c_str()) &&
         db.WriteString("DESCR", ctx.description.c_str());
  }
  db.Close();
  Wy_ResetAbsDataIdCache();
  if (!ok) return fail("Cannot write the catalogue " + local + "datactl.dbf");
  if (renumber_from != 0 && renumber_from != id &&
      RenumberLocalTables(renumber_from, id) < 0)
    return fail("Cannot renumber the local tables in " + local);
  ctx.path = path;
  return 1;
}
