// CWy_StorageManager: construction, the inventory directory, the check of
// both tables and the navigation over FRMINV.

#include "mixtable/wy_storage_manager.h"

#include <cctype>
#include <set>
#include <string>

#include "inventory/inventory_text.h"
#include "inventory/table_check.h"
#include "mixtable/hformula_history.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace mi = mixtable_inventory;

namespace {

// INVENT, in field order (see the header). The widths are the ones a new
// table gets; a wider field of an existing table is kept.
const WDBASE_FIELD kInventFields[] = {
    {"ID", 'C', 5, 0, 0},          {"BATCH_INDX", 'C', 5, 0, 0},
    {"DATAID", 'C', 10, 0, 0},     {"BATCH_NAME", 'C', 64, 0, 0},
    {"FRM_ID", 'C', 5, 0, 0},      {"WEIGHTMODE", 'L', 1, 0, 0},
    {"CUR_Q", 'N', 11, 2, 0},      {"LOCATION_X", 'C', 64, 0, 0},
    {"LOCATION_Y", 'C', 64, 0, 0}, {"LOCATION_Z", 'C', 64, 0, 0},
    {"QUALITY", 'C', 64, 0, 0},    {"COMMENT", 'C', 128, 0, 0},
    {"FRM_REFL", 'C', 128, 0, 0},  {"BARCODE", 'C', 128, 0, 0},
    {"DATA_IN", 'D', 8, 0, 0},     {"DATA_OUT", 'D', 8, 0, 0},
    {"LAST_READ", 'D', 8, 0, 0},   {},
};

// The directories whose tables were checked in this process (upper case,
// with the trailing backslash).
std::set<std::string>& CheckedDirs() {
  static std::set<std::string> dirs;
  return dirs;
}

// The directory of a path as given: right-trimmed with a trailing
// backslash, the local directory when empty.
bool ResolveDir(const std::string& path, std::string* dir) {
  *dir = path;
  while (!dir->empty() && (dir->back() == ' ' || dir->back() == '\t'))
    dir->pop_back();
  if (dir->empty() && !Wy_LocalPath(*dir)) return false;
  Wy_AddTrailingBackslash(*dir);
  return true;
}

// The key of a directory in the checked set: its host path (so that the
// same directory reached by two spellings, or another drives root behind
// the same drive letter, is told apart correctly), upper case.
std::string DirKey(const std::string& dir) {
  std::string key = dir;
  std::string host;
  if (platform::Env::Current()->HostPath(dir, &host).ok()) key = host;
  for (char& c : key) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c == '/') c = '\\';
  }
  return key;
}

}  // namespace

const WDBASE_FIELD* CWy_StorageManager::GetInventoryDef() {
  return kInventFields;
}

CWy_StorageManager::CWy_StorageManager() { DBInit(); }

CWy_StorageManager::CWy_StorageManager(const char* dir)
    : m_Path(dir != nullptr ? dir : "") {
  DBInit();
}

CWy_StorageManager::CWy_StorageManager(const CWy_StorageManager& other)
    : m_Path(other.m_Path) {
  DBInit();
}

CWy_StorageManager& CWy_StorageManager::operator=(
    const CWy_StorageManager& other) {
  if (this != &other) {
    m_Path = other.m_Path;
    m_Tables.reset();
    m_TablesId = 0;
    DBInit();
  }
  return *this;
}

CWy_StorageManager::~CWy_StorageManager() { CloseTables(); }

bool CWy_StorageManager::SetInventoryPath(const char* dir) {
  m_Path = dir != nullptr ? dir : "";
  // Forget the check of the directory about to be used.
  std::string resolved;
  if (ResolveDir(m_Path, &resolved)) CheckedDirs().erase(DirKey(resolved));
  return DBInit();
}

bool CWy_StorageManager::IsReady() const {
  return m_Invent.IsOpen(0) && m_FrmInv.IsOpen(0);
}

void CWy_StorageManager::CloseTables() {
  if (m_Invent.IsOpen(0)) m_Invent.Close();
  if (m_FrmInv.IsOpen(0)) m_FrmInv.Close();
}

bool CWy_StorageManager::DefineTables() {
  const char* frmNames[] = {kFrmInvIdxId, kFrmInvIdxKeys};
  const char* frmExprs[] = {"ID", "KEY1+KEY2+KEY3+COMMENT"};
  const char* invNames[] = {kInventIdxId, kInventIdxFrmId};
  const char* invExprs[] = {"ID", "FRM_ID"};
  return m_FrmInv.SetFiles(m_Dir.c_str(), kFrmInvName, 2, frmNames, frmExprs) !=
             0 &&
         m_Invent.SetFiles(m_Dir.c_str(), kInventName, 2, invNames, invExprs) !=
             0;
}

bool CWy_StorageManager::DBInit() {
  static const char* kWho = "CWy_StorageManager::DBInit";
  CloseTables();
  m_Dir.clear();
  std::string dir;
  if (!ResolveDir(m_Path, &dir)) {
    Wy_Trace("\n%s ERROR in Wy_LocalPath.", kWho);
    return false;
  }
  if (!Wy_MkDir(dir)) {
    Wy_Trace("\n%s ERROR: cannot create the directory %s.", kWho, dir.c_str());
    return false;
  }
  m_Dir = dir;
  if (!DefineTables()) {
    Wy_Trace("\n%s ERROR in SetFiles (%s).", kWho, dir.c_str());
    m_Dir.clear();
    return false;
  }
  const std::string key = DirKey(dir);
  // A table deleted since the check is checked (and created) again.
  if (CheckedDirs().count(key) == 0 || !m_FrmInv.Access(0) ||
      !m_Invent.Access(0)) {
    if (!CreateCheckUpdateInventory() || !CreateCheckUpdateFrmInv()) {
      Wy_Trace("\n%s ERROR: the inventory tables of %s cannot be used.", kWho,
               dir.c_str());
      return false;
    }
    CheckedDirs().insert(key);
  }
  if (!m_FrmInv.Open() || !m_Invent.Open()) {
    Wy_Trace("\n%s ERROR in Open (%s).", kWho, dir.c_str());
    CloseTables();
    return false;
  }
  m_FrmInv.UnselectAll();
  m_Invent.UnselectAll();
  m_FrmInv.RecallAll();
  m_Invent.RecallAll();
  m_FrmInv.SelectIdx(1);
  m_Invent.SelectIdx(1);
  m_FrmInv.Top();
  m_Invent.Top();
  return true;
}

// ---- structure checks -------------------------------------------------------

bool CWy_StorageManager::CreateInventory() {
  if (mi::CreateTable(m_Invent, kInventFields)) return true;
  Wy_Trace("\n%s ERROR in db->CreateDb.",
           "CWy_StorageManager::CreateInventory");
  return false;
}

bool CWy_StorageManager::CheckInventoryStruct() {
  return mi::CheckTable(m_Invent, kInventFields) == mi::TableState::kMatches;
}

bool CWy_StorageManager::UpdateInventoryStruct() {
  if (mi::UpdateTable(m_Invent, kInventFields)) return true;
  Wy_Trace("\n%s ERROR: INVENT of %s cannot be brought up to date.",
           "CWy_StorageManager::UpdateInventoryStruct", m_Dir.c_str());
  return false;
}

bool CWy_StorageManager::CreateCheckUpdateInventory() {
  switch (mi::CheckTable(m_Invent, kInventFields)) {
    case mi::TableState::kMissing:
      return CreateInventory();
    case mi::TableState::kMatches:
      return true;
    case mi::TableState::kDiffers:
      return UpdateInventoryStruct();
    case mi::TableState::kBroken:
      break;
  }
  Wy_Trace("\n%s ERROR: %s%s exists but cannot be opened.",
           "CWy_StorageManager::CreateCheckUpdateInventory", m_Dir.c_str(),
           m_Invent.GetName(0));
  return false;
}

bool CWy_StorageManager::CreateFrmInv() {
  if (mi::CreateTable(m_FrmInv, hformula_GetArchiveDef())) return true;
  Wy_Trace("\n%s ERROR in db->CreateDb.", "CWy_StorageManager::CreateFrmInv");
  return false;
}

bool CWy_StorageManager::CreateCheckUpdateFrmInv() {
  const WDBASE_FIELD* def = hformula_GetArchiveDef();
  switch (mi::CheckTable(m_FrmInv, def)) {
    case mi::TableState::kMissing:
      return CreateFrmInv();
    case mi::TableState::kMatches:
      return true;
    case mi::TableState::kDiffers:
      if (mi::UpdateTable(m_FrmInv, def)) return true;
      Wy_Trace("\n%s ERROR: FRMINV of %s cannot be brought up to date.",
               "CWy_StorageManager::CreateCheckUpdateFrmInv", m_Dir.c_str());
      return false;
    case mi::TableState::kBroken:
      break;
  }
  Wy_Trace("\n%s ERROR: %s%s exists but cannot be opened.",
           "CWy_StorageManager::CreateCheckUpdateFrmInv", m_Dir.c_str(),
           m_FrmInv.GetName(0));
  return false;
}

// ---- navigation
// ---------------------------------------------------------------

bool CWy_StorageManager::Begin() {
  if (!IsReady() || m_FrmInv.RecCount() <= 0) return false;
  return m_FrmInv.Top() != 0 && !m_FrmInv.Eof();
}

bool CWy_StorageManager::End() {
  if (!IsReady() || m_FrmInv.RecCount() <= 0) return false;
  return m_FrmInv.Bottom() != 0 && !m_FrmInv.Eof();
}

bool CWy_StorageManager::GoNext() {
  if (!IsReady() || m_FrmInv.Eof()) return false;
  return m_FrmInv.Next() != 0;
}

bool CWy_StorageManager::GoBack() {
  if (!IsReady() || m_FrmInv.Bof()) return false;
  return m_FrmInv.Previous() != 0;
}

bool CWy_StorageManager::IsEof() const {
  return !IsReady() || m_FrmInv.Eof() != 0;
}

int32_t CWy_StorageManager::GetSize() const {
  return IsReady() ? m_FrmInv.RecCount() : 0;
}

bool CWy_StorageManager::SeekFormula(int32_t frmInvId) {
  if (!IsReady() || frmInvId <= 0) return false;
  m_FrmInv.SelectIdx(1);
  return m_FrmInv.Seek(mi::IdText(frmInvId).c_str()) == 1;
}

bool CWy_StorageManager::SeekBatch(int32_t batchAbsId) {
  if (!IsReady() || batchAbsId <= 0) return false;
  m_Invent.SelectIdx(1);
  return m_Invent.Seek(mi::IdText(batchAbsId).c_str()) == 1;
}

bool CWy_StorageManager::IsCurrentFormulaDeleted() const {
  return IsReady() && !m_FrmInv.Eof() && m_FrmInv.Deleted() != 0;
}

CMixtable* CWy_StorageManager::TablesFor(uint32_t dataId) {
  if (!m_Tables || m_TablesId != dataId) {
    m_Tables = std::make_unique<CMixtable>();
    m_Tables->SetDataId(dataId);
    m_TablesId = dataId;
  }
  return m_Tables.get();
}
