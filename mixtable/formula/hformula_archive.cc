// The formula archive: making sure it exists with the current layout, and
// saving a formula into it.

#include <memory>
#include <string>

#include "formula/hformula_tables.h"
#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"

namespace {

// Defines db as the archive in the local directory, from the registry.
bool DefineArchive(Wdbase* db) {
  std::string local;
  if (!Wy_LocalPath(local)) return false;
  const YTABLE* row = WyGetFileInfo(Y_ARCHIVE);
  return row != nullptr &&
         db->SetFiles(local.c_str(), row->def.name, row->def.idx_count,
                      row->def.idx_names, row->def.idx_exprs) != 0;
}

}  // namespace

int hformula_CheckUpdateArchive(CMixtable* ts, bool widen, uint32_t dataId,
                                int create) {
  std::unique_ptr<CMixtable> own;
  if (ts == nullptr) {
    own = std::make_unique<CMixtable>();
    ts = own.get();
  }
  if (widen) hformula_Widen();
  if (ts->Handle(Y_ARCHIVE) == nullptr) {
    Wy_Trace("\n%s Invalid input parameters.",
             "hformula_CheckUpdateArchive(db)");
    return 0;
  }
  // A handle of our own: the table set's stays as the caller left it.
  Wdbase db;
  if (!DefineArchive(&db)) {
    Wy_Trace("\n%s Invalid input parameters.",
             "hformula_CheckUpdateArchive(db)");
    return 0;
  }
  int result;
  if (hformula_impl::TableExists(db)) {
    result = hformula_impl::BringUpToDate(&db, hformula_GetArchiveDef(),
                                          "hformula_CheckUpdateArchive");
  } else if (create == 1) {
    result = hformula_impl::CreateTable(&db, hformula_GetArchiveDef(),
                                        "hformula_ArchiveCreate");
  } else {
    return 0;
  }
  if (result == 1 && dataId != 0)
    result = hformula_impl::RewriteBlankDataIds(&db, dataId);
  return result;
}

int hformula_SaveInArchive(Wy_Formula* f, CMixtable* ts,
                           int32_t recnoToReplace) {
  if (f == nullptr || ts == nullptr) {
    Wy_Trace("\n%s Invalid input parameters.",
             "hformula_SaveInArchive(ytable)");
    return 0;
  }
  Wdbase* db = ts->Handle(Y_ARCHIVE);
  if (db == nullptr) {
    Wy_Trace("\n%s Invalid input parameters.", "hformula_SaveInArchive(db)");
    return 0;
  }
  if (!db->IsOpen(0) && !ts->Open(db)) return 0;
  // The record to replace is checked, the new one appended and the old one
  // deleted under one whole-file lock.
  if (!db->Lock()) {
    db->Close();
    return 0;
  }
  bool ok = recnoToReplace >= 0 && recnoToReplace <= db->RecCount();
  if (ok) {
    ok = hformula_ArchiveAddAndFillRecord(f, db, nullptr, true) != 0;
    if (!ok)
      Wy_Trace("\n%s ERROR in hformula_ArchiveAddAndFillRecord.",
               "hformula_ArchiveAppend");
  }
  if (ok && recnoToReplace > 0) ok = db->Goto(recnoToReplace) && db->Delete();
  ok = db->Unlock() && ok;
  if (ok && recnoToReplace > 0) ok = db->Pack() != 0;
  ok = db->Close() && ok;
  return ok ? 1 : 0;
}
