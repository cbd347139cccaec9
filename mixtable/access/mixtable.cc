// The table set: slots, identity, level paths, opening and closing, and the
// temporary-open pair.

#include "mixtable/mixtable.h"

#include <cstdarg>
#include <cstring>

#include "access/data_dirs.h"
#include "access/level_path.h"
#include "mixtable/wy_util.h"

namespace {

constexpr uint32_t kWasClosed = 0xFFFF;
constexpr uint8_t kLevelsSpecificFirst[] = {Y_LEVEL_LOCAL, Y_LEVEL_SUBPRODUCT,
                                            Y_LEVEL_PRODUCT, Y_LEVEL_BASE};

const char* TableName(int table) {
  const YTABLE* row = WyGetFileInfo(table);
  return row ? row->def.name : "";
}

}  // namespace

CMixtable::CMixtable() {
  for (int i = 0; i < Y_N_MAX; ++i) {
    const YTABLE* row = WyGetFileInfo(i);
    m_wyarray[i].db.SetFiles(&row->def);
    m_wyarray[i].level_mask = row->level_mask;
  }
  SetDataId(0);
}

CMixtable::CMixtable(const CMixtable& other) {
  for (int i = 0; i < Y_N_MAX; ++i)
    m_wyarray[i].db.SetFiles(&WyGetFileInfo(i)->def);
  CopyFrom(other);
}

CMixtable& CMixtable::operator=(const CMixtable& other) {
  if (this != &other) {
    CloseAll();
    CopyFrom(other);
  }
  return *this;
}

CMixtable::~CMixtable() { CloseAll(); }

void CMixtable::CopyFrom(const CMixtable& other) {
  m_dataId = other.m_dataId;
  m_dataDir = other.m_dataDir;
  for (int i = 0; i < Y_N_MAX; ++i) {
    const Slot& from = other.m_wyarray[i];
    Slot& to = m_wyarray[i];
    to.level_mask = from.level_mask;
    to.cur_level = from.cur_level;
    to.frozen_idx = from.frozen_idx;
    to.frozen_key = from.frozen_key;
    to.frozen_rec = from.frozen_rec;
    to.tmp_states.clear();  // they belong to the original's open tables
    to.db.SetPath(from.db.GetPath());
  }
}

// ---- identity ---------------------------------------------------------------

void CMixtable::SetDataId(uint32_t id) {
  m_dataId = id;
  m_dataDir = mixtable::DataDirForId(id);
}

void CMixtable::SetYtoGCSpaces() {
  m_dataId = 0xFFFFFFFFu;
  m_dataDir = "C:\\GCSpaces\\";
}

// ---- slots ------------------------------------------------------------------

Wdbase* CMixtable::Handle(int table) {
  if (table < 0 || table >= Y_N_MAX) return nullptr;
  return &m_wyarray[table].db;
}

int CMixtable::DbToI(const Wdbase* db) const {
  if (db == nullptr) return -1;
  for (int i = 0; i < Y_N_MAX; ++i)
    if (&m_wyarray[i].db == db) return i;
  return -1;
}

CMixtable::Slot* CMixtable::SlotOf(const Wdbase* db) {
  int i = DbToI(db);
  return i < 0 ? nullptr : &m_wyarray[i];
}

const CMixtable::Slot* CMixtable::SlotOf(const Wdbase* db) const {
  int i = DbToI(db);
  return i < 0 ? nullptr : &m_wyarray[i];
}

uint8_t CMixtable::GetCurLevel(const Wdbase* db) const {
  const Slot* s = SlotOf(db);
  if (s == nullptr || !s->db.IsOpen(0)) return 0;
  return s->cur_level;
}

uint8_t CMixtable::GetLevelMask(const Wdbase* db) const {
  const Slot* s = SlotOf(db);
  return s ? s->level_mask : 0;
}

int CMixtable::LevelToN(uint8_t mask) {
  if (mask == 0) return -1;
  if (mask & Y_LEVEL_LOCAL) return 4;
  if (mask & Y_LEVEL_SUBPRODUCT) return 3;
  if (mask & Y_LEVEL_PRODUCT) return 2;
  if (mask & Y_LEVEL_BASE) return 1;
  return 0;
}

// ---- level paths ------------------------------------------------------------

bool CMixtable::LevelToPath(uint8_t level, std::string& path) const {
  path.clear();
  if (level == Y_LEVEL_LOCAL) {
    path = mixtable::LocalDir();
    return true;
  }
  std::string dir = m_dataDir;
  if (dir.empty()) return false;  // no data set: nothing to open
  if (level == Y_LEVEL_BASE) {
    path = dir;
    return true;
  }
  if (level != Y_LEVEL_PRODUCT && level != Y_LEVEL_SUBPRODUCT) return false;
  // Product, then sub-product: each needs its table open on a record with a
  // PATH naming a directory inside the one above.
  const int tables[] = {Y_PRODUCTS, Y_SUBPRODS};
  for (int t : tables) {
    const Wdbase& db = m_wyarray[t].db;
    if (!db.IsOpen(0) || db.Eof()) return false;
    std::string name = mixtable::ReadTrimmedPath(db);
    if (!mixtable::IsSafeSubdir(dir, name)) return false;
    dir += name;
    dir += '\\';
    if (t == Y_PRODUCTS && level == Y_LEVEL_PRODUCT) break;
  }
  path = dir;
  return true;
}

// ---- open and close ---------------------------------------------------------

void CMixtable::CloseSlot(int table) {
  Slot& s = m_wyarray[table];
  if (s.db.IsOpen(0)) s.db.Close();
  s.cur_level = 0;
  s.tmp_states.clear();
  DropHeld(table);
}

void CMixtable::CloseAll() {
  for (int i = 0; i < Y_N_MAX; ++i) CloseSlot(i);
}

void CMixtable::CloseAll(uint8_t levels) {
  for (int i = 0; i < Y_N_MAX; ++i) {
    Slot& s = m_wyarray[i];
    if (s.db.IsOpen(0) && (s.cur_level & levels)) CloseSlot(i);
    if (s.held && (s.held_level & levels)) DropHeld(i);
  }
}

bool CMixtable::AtLevel(int table, uint8_t level, std::string& path) {
  if (!LevelToPath(level, path)) return false;
  return mixtable::FileInDir(path, TableName(table));
}

int CMixtable::Open(Wdbase* db) {
  Slot* s = SlotOf(db);
  if (s == nullptr) return 0;
  const int table = DbToI(db);
  const char* name = TableName(table);
  if (db->IsOpen(0)) {
    Trace(__func__, __LINE__, "Error : database \"%s\" already open", name);
    return 0;
  }
  if (table == Y_FRM) CloseSlot(Y_RULER);
  for (uint8_t bit : kLevelsSpecificFirst) {
    if (!(s->level_mask & bit)) continue;
    std::string path;
    if (!LevelToPath(bit, path)) continue;
    db->SetPath(path.c_str());
    if (!db->Access(0)) continue;
    if (table == Y_FRM_REFL) {
      // Reflectances belong to the FRM.DBF in use: the most specific level
      // of FRM's mask whose directory holds one.
      uint8_t frm_level = 0;
      for (uint8_t fb : kLevelsSpecificFirst) {
        std::string frm_path;
        if ((m_wyarray[Y_FRM].level_mask & fb) &&
            AtLevel(Y_FRM, fb, frm_path)) {
          frm_level = fb;
          break;
        }
      }
      if (frm_level != 0 && frm_level != bit) {
        Wy_Trace(
            "Reflectance database \"%s\" NOT valid for the current FRM.DBF\n",
            name);
        break;
      }
    }
    if (db->Open()) {
      s->cur_level = bit;
      s->tmp_states.clear();
      if (table == Y_FRM) Open(Handle(Y_RULER));
      return 1;
    }
    break;
  }
  db->SetPath("");
  s->cur_level = 0;
  Wy_Trace("Could not open database \"%s\"\n", name);
  return 0;
}

// ---- temporary open ---------------------------------------------------------

int CMixtable::TmpOpen(Wdbase* db, uint32_t* state) {
  Slot* s = SlotOf(db);
  if (s == nullptr || state == nullptr) return 0;
  if (!db->IsOpen(0)) {
    *state = kWasClosed;
    return Open(db);
  }
  const int32_t recno = db->Eof() ? -1 : db->RecNo();
  uint32_t low = recno < 0 ? 1u : static_cast<uint32_t>(recno) & 0xFFFFu;
  if (low == kWasClosed) low = 0xFFFEu;  // 0xFFFF would mean "close it"
  *state = (static_cast<uint32_t>(db->SelectedIdx()) << 16) | low;
  s->tmp_states.push_back({*state, recno});
  db->SelectIdx(0);
  db->Top();
  return 1;
}

int CMixtable::TmpClose(Wdbase* db, uint32_t* state) {
  Slot* s = SlotOf(db);
  if (s == nullptr || state == nullptr) return 0;
  const uint32_t word = *state;
  if ((word & 0xFFFFu) == kWasClosed) {
    // The table goes back to closed; a handle the hold keeps stays.
    if (db->IsOpen(0)) db->Close();
    s->cur_level = 0;
    s->tmp_states.clear();
    return 1;
  }
  if (!db->IsOpen(0)) return 0;
  // The full record number of the matching TmpOpen (the latest with this
  // word); states pushed after it were never closed and are dropped.
  int32_t recno = static_cast<int32_t>(word & 0xFFFFu);
  for (size_t i = s->tmp_states.size(); i-- > 0;) {
    if (s->tmp_states[i].word == word) {
      recno = s->tmp_states[i].recno;
      s->tmp_states.resize(i);
      break;
    }
  }
  db->SelectIdx(static_cast<int>(word >> 16));
  if (recno < 0) {
    db->Bottom();
    db->Next();
  } else {
    db->Goto(recno);
  }
  return 1;
}

// ---- holding tables for a run of lookups -----------------------------------

CMixtable::TmpHold::TmpHold(CMixtable* tables) : tables_(tables) {
  if (tables_ != nullptr) ++tables_->m_holds;
}

CMixtable::TmpHold::~TmpHold() {
  if (tables_ == nullptr || --tables_->m_holds > 0) return;
  for (int i = 0; i < Y_N_MAX; ++i) tables_->DropHeld(i);
}

bool CMixtable::IsHeld(int table) const {
  return table >= 0 && table < Y_N_MAX && m_wyarray[table].held != nullptr;
}

void CMixtable::DropHeld(int table) {
  Slot& s = m_wyarray[table];
  if (!s.held) return;
  s.held->Close();
  s.held.reset();
  s.held_level = 0;
  s.held_dir.clear();
}

int CMixtable::TableOfHandle(const Wdbase* db) const {
  if (db == nullptr) return -1;
  for (int i = 0; i < Y_N_MAX; ++i) {
    const Slot& s = m_wyarray[i];
    if (&s.db == db || s.held.get() == db) return i;
  }
  return -1;
}

Wdbase* CMixtable::HeldHandle(int table) {
  Slot& s = m_wyarray[table];
  if (s.held) {
    std::string dir;
    if (LevelToPath(s.held_level, dir) && dir == s.held_dir)
      return s.held.get();
    DropHeld(table);  // another product or sub-product: its level moved
  }
  auto db = std::make_unique<Wdbase>();
  db->SetFiles(&WyGetFileInfo(table)->def);
  for (uint8_t bit : kLevelsSpecificFirst) {
    if (!(s.level_mask & bit)) continue;
    std::string path;
    if (!LevelToPath(bit, path)) continue;
    db->SetPath(path.c_str());
    if (!db->Access(0)) continue;
    if (!db->Open()) return nullptr;
    s.held = std::move(db);
    s.held_level = bit;
    s.held_dir = path;
    return s.held.get();
  }
  return nullptr;
}

CMixtable::TmpLookup::TmpLookup(CMixtable* tables, int table, int32_t id)
    : tables_(tables) {
  if (tables_ == nullptr || table < 0 || table >= Y_N_MAX) return;
  Wdbase* own = tables_->Handle(table);
  const bool holdable =
      table != Y_FRM && table != Y_RULER && table != Y_FRM_REFL;
  if (!own->IsOpen(0) && tables_->m_holds > 0 && holdable) {
    db_ = tables_->HeldHandle(table);
    if (db_ != nullptr) {
      found_ = tables_->Select(db_, id) != 0;
      return;
    }
  }
  db_ = own;
  temporary_ = true;
  found_ = tables_->TmpOpen(own, &state_) && tables_->Select(own, id);
}

CMixtable::TmpLookup::~TmpLookup() {
  if (temporary_) tables_->TmpClose(db_, &state_);
}

// ---- diagnostics ------------------------------------------------------------

void CMixtable::Trace(const char* /*func*/, unsigned /*line*/,
                      const char* /*format*/, ...) const {}
