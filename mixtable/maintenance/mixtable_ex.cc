// The extended table set: the dictionary items and the single-table
// operations built on them.

#include "mixtable/mixtable_ex.h"

#include <cstring>

#include "access/data_dirs.h"
#include "access/level_path.h"
#include "maintenance/dictionary.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

bool ValidTable(int table) { return table >= 0 && table < Y_N_MAX; }

bool Loaded(const YTABLE_DICTIONARY& d) {
  return d.attributes && d.fields && d.matchedFields && d.offsets;
}

}  // namespace

CMixtableEx::CMixtableEx() {
  for (YTABLE_DICTIONARY& d : m_dict) d = YTABLE_DICTIONARY{};
}

CMixtableEx::CMixtableEx(const CMixtableEx& other) : m_table(other.m_table) {
  for (YTABLE_DICTIONARY& d : m_dict) d = YTABLE_DICTIONARY{};
}

CMixtableEx& CMixtableEx::operator=(const CMixtableEx& other) {
  if (this != &other) {
    for (int i = 0; i < Y_N_MAX; ++i) EmptyDictionaryItem(i);
    m_table = other.m_table;
  }
  return *this;
}

CMixtableEx::~CMixtableEx() {
  for (int i = 0; i < Y_N_MAX; ++i) EmptyDictionaryItem(i);
}

std::string CMixtableEx::DictionaryPath() {
  std::string path;
  if (platform::Env::Current()->GetEnv("KALVO_DCT", &path) && !path.empty())
    return path;
  path = "DataBase.DCT";
  return Wy_AddAppDirAndFile(path);
}

// ---- dictionary -------------------------------------------------------------

bool CMixtableEx::CreateDictionaryItem(int table) {
  if (!ValidTable(table)) return false;
  if (Loaded(m_dict[table])) return true;
  EmptyDictionaryItem(table);
  return mixtable::LoadDictionaryItem(
      DictionaryPath(), WyGetFileInfo(table)->def.name, &m_dict[table]);
}

void CMixtableEx::EmptyDictionaryItem(int table) {
  if (ValidTable(table)) mixtable::FreeDictionaryItem(&m_dict[table]);
}

YTABLE_DICTIONARY CMixtableEx::GetDictionaryItem(int table) const {
  if (!ValidTable(table)) return YTABLE_DICTIONARY{};
  return m_dict[table];
}

WDBASE_FIELD* CMixtableEx::GetDictionaryItemField(int table, int n) {
  if (!ValidTable(table) || n <= 0 || !Loaded(m_dict[table])) return nullptr;
  WDBASE_FIELD* fields = m_dict[table].fields;
  for (int k = 0; k < n; ++k)
    if (fields[k].name[0] == '\0') return nullptr;  // past the end
  return &fields[n - 1];
}

WDBASE_FIELD* CMixtableEx::GetDictionaryItemField(int table, const char* name) {
  if (!ValidTable(table) || name == nullptr || *name == '\0' ||
      !Loaded(m_dict[table]))
    return nullptr;
  for (WDBASE_FIELD* f = m_dict[table].fields; f->name[0] != '\0'; ++f)
    if (std::strcmp(f->name, name) == 0) return f;
  return nullptr;
}

// ---- levels -----------------------------------------------------------------

uint8_t CMixtableEx::GetTableLevel() {
  if (!m_table.Handle(Y_PRODUCTS)->IsOpen(0)) return Y_LEVEL_BASE;
  if (!m_table.Handle(Y_SUBPRODS)->IsOpen(0)) return Y_LEVEL_PRODUCT;
  return Y_LEVEL_SUBPRODUCT;
}

bool CMixtableEx::IsTableLevelCompatible(int table) {
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr) return false;
  const uint8_t mask = m_table.GetLevelMask(db);
  return (mask & Y_LEVEL_LOCAL) || (mask & GetTableLevel());
}

bool CMixtableEx::TableDir(int table, std::string& dir) {
  if (!IsTableLevelCompatible(table)) return false;
  const uint8_t mask = m_table.GetLevelMask(m_table.Handle(table));
  const uint8_t level =
      (mask & Y_LEVEL_LOCAL) ? uint8_t{Y_LEVEL_LOCAL} : GetTableLevel();
  return m_table.LevelToPath(level, dir);
}

void CMixtableEx::SetDataDir(const char* dir) {
  m_table.CloseAll();
  std::string d = dir ? dir : "";
  size_t b = d.find_first_not_of(" \t\r\n");
  size_t e = d.find_last_not_of(" \t\r\n");
  d = b == std::string::npos ? std::string() : d.substr(b, e - b + 1);
  if (d.empty()) d = mixtable::DefaultDataDir();
  Wy_AddTrailingBackslash(d);
  m_table.m_dataDir = d;
}

// ---- single tables ----------------------------------------------------------

bool CMixtableEx::Create(int table) {
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr || db->IsOpen(0)) return false;
  std::string dir;
  if (!TableDir(table, dir)) return false;
  const YTABLE* row = WyGetFileInfo(table);
  if (mixtable::FileInDir(dir, row->def.name)) return false;
  if (!CreateDictionaryItem(table)) return false;
  if (!platform::Env::Current()->FileExists(dir)) Wy_MkDir(dir);
  if (!db->SetFiles(&row->def) || !db->SetPath(dir.c_str())) return false;
  return db->CreateDb(m_dict[table].fields) != 0;
}

bool CMixtableEx::Delete(int table) {
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr) return false;
  m_table.CloseSlot(table);
  std::string dir;
  if (!TableDir(table, dir)) return false;
  const YTABLE* row = WyGetFileInfo(table);
  if (!mixtable::FileInDir(dir, row->def.name)) return true;
  if (!db->SetFiles(&row->def) || !db->SetPath(dir.c_str())) return false;
  bool ok = true;
  for (int k = db->GetIdxCount(); k >= 0; --k) {
    if (db->Access(k) && !db->Unlink(k)) ok = false;
  }
  return ok;
}

bool CMixtableEx::Exist(int table) {
  Wdbase* db = m_table.Handle(table);
  if (db == nullptr) return false;
  uint32_t state = 0;
  const bool opened = m_table.TmpOpen(db, &state) != 0;
  if (opened) m_table.TmpClose(db, &state);
  return opened;
}
