// The table set's navigation by id and the freezing of table positions.

#include <cstdio>

#include "mixtable/mixtable.h"
#include "mixtable/wy_util.h"

namespace {

// Where a table stands: end of file or a record number, and the index.
struct Position {
  bool eof = true;
  int32_t recno = 0;
  int idx = 0;
};

Position Remember(const Wdbase* db) {
  Position p;
  p.eof = db->Eof() != 0;
  p.recno = db->RecNo();
  p.idx = db->SelectedIdx();
  return p;
}

void Restore(Wdbase* db, const Position& p) {
  db->SelectIdx(p.idx);
  if (p.eof) {
    db->Bottom();
    db->Next();
  } else {
    db->Goto(p.recno);
  }
}

std::string IdKey(int32_t id) {
  char key[16];
  std::snprintf(key, sizeof key, "%5ld", static_cast<long>(id));
  return key;
}

}  // namespace

int CMixtable::Select(Wdbase* db, int32_t id) {
  const int table = TableOfHandle(db);
  if (id == -1 || table < 0 || !db->IsOpen(0)) {
    Trace(__func__, __LINE__, "Error : invalid db handle or id value");
    return 0;
  }
  const char* name = WyGetFileInfo(table)->def.name;
  if (db->GetIdxCount() < 1) {
    Trace(__func__, __LINE__, "Error : db \"%s\" is not indexed", name);
    return 0;
  }
  const Position before = Remember(db);
  db->SelectIdx(1);
  const std::string key = IdKey(id);

  if (db->FieldNo("PROD_KEY") > 0 && db->FieldNo("SUBP_KEY") > 0) {
    // Variants of one id: the current product and sub-product's, then the
    // product's, then the generic one.
    Wdbase* prd = Handle(Y_PRODUCTS);
    Wdbase* spd = Handle(Y_SUBPRODS);
    const int32_t prd_id =
        prd->IsOpen(0) && !prd->Eof() ? prd->ReadLong("ID") : 0;
    const int32_t spd_id =
        spd->IsOpen(0) && !spd->Eof() ? spd->ReadLong("ID") : 0;
    int32_t best = -1;
    int rank = 0;
    db->Seek(key.c_str());
    while (!db->Eof() && db->ReadLong("ID") == id) {
      const int32_t pk = db->ReadLong("PROD_KEY");
      const int32_t sk = db->ReadLong("SUBP_KEY");
      if (pk > 0 && sk > 0) {
        if (pk == prd_id && sk == spd_id) {
          best = db->RecNo();
          rank = 2;
        }
      } else if (pk > 0) {
        if (pk == prd_id && rank < 2) {
          best = db->RecNo();
          rank = 1;
        }
      } else if (pk == 0 && sk == 0 && rank == 0) {
        best = db->RecNo();
      }
      if (!db->Next()) break;
    }
    if (best > 0) {
      db->Goto(best);
      db->SelectIdx(before.idx);
      return 1;
    }
  } else if (db->Seek(key.c_str()) == 1) {
    db->SelectIdx(before.idx);
    return 1;
  }
  Restore(db, before);
  Wy_Trace("Error : id %ld not found in db \"%s\"\n", static_cast<long>(id),
           name);
  return 0;
}

int CMixtable::SelectNext(Wdbase* db, int32_t after) {
  if (SlotOf(db) == nullptr || !db->IsOpen(0) || db->GetIdxCount() < 1)
    return 0;
  const int idx = db->SelectedIdx();
  db->SelectIdx(1);
  if (after == 0)
    db->Top();
  else
    db->Next();
  for (;;) {
    while (!db->Eof() && after >= db->ReadLong("ID")) db->Next();
    if (db->Eof()) break;
    const int32_t id = db->ReadLong("ID");
    if (Select(db, id)) return 1;  // index 1 stays selected
    after = id;
  }
  db->SelectIdx(idx);
  return 0;
}

int CMixtable::First(Wdbase* db) { return SelectNext(db, 0); }

int CMixtable::Next(Wdbase* db) {
  if (SlotOf(db) == nullptr || !db->IsOpen(0) || db->Eof()) return 0;
  const int32_t id = db->ReadLong("ID");
  if (id == 0) return 0;
  return SelectNext(db, id);
}

int32_t CMixtable::GetNextFreeId(Wdbase* db) {
  if (SlotOf(db) == nullptr || !db->IsOpen(0)) {
    Trace(__func__, __LINE__, "Error : invalid db handle or id value");
    return 0;
  }
  if (db->GetIdxCount() < 1) {
    Trace(__func__, __LINE__, "Error : db \"%s\" is not indexed",
          WyGetFileInfo(DbToI(db))->def.name);
    return 0;
  }
  const Position before = Remember(db);
  db->SelectIdx(1);
  int32_t next = 0;
  if (db->Bottom() && !db->Eof()) next = db->ReadLong("ID") + 1;
  Restore(db, before);
  return next;
}

bool CMixtable::Frieze() {
  Wy_Trace(
      "\nCMixtable::Frieze : m_wyarray tracing "
      "---------------------------------------------------\n");
  bool ok = true;
  for (int i = 0; i < Y_N_MAX; ++i) {
    Slot& s = m_wyarray[i];
    s.frozen_idx = 0;
    s.frozen_key.clear();
    s.frozen_rec = -2;
    if (!s.db.IsOpen(0)) continue;
    const bool eof = s.db.Eof() != 0;
    s.frozen_rec = eof ? -1 : s.db.RecNo();
    const int idx = s.db.SelectedIdx();
    if (idx > 0) {
      s.frozen_idx = idx;
      if (!eof) {
        char key[1024];
        if (s.db.GetExprResult(s.db.GetIdxExpr(idx), key, sizeof key)) {
          s.frozen_key = key;
        } else {
          s.frozen_idx = 0;
          ok = false;
        }
      }
    }
    const uint8_t level = s.cur_level;
    CloseSlot(i);
    s.cur_level = level;  // Defrieze reopens at the same path
  }
  return ok;
}

bool CMixtable::Defrieze() {
  Wy_Trace(
      "\nCMixtable::Defrieze : m_wyarray tracing "
      "---------------------------------------------------\n");
  bool ok = true;
  for (int i = 0; i < Y_N_MAX; ++i) {
    Slot& s = m_wyarray[i];
    if (s.frozen_rec == -2) continue;
    if (s.db.IsOpen(0) || !s.db.Open()) {
      ok = false;
    } else {
      s.db.SelectIdx(s.frozen_idx);
      if (s.frozen_rec == -1) {
        s.db.Bottom();
        s.db.Next();
      } else if (s.frozen_idx > 0) {
        // The frozen record when it still carries the key, else the first
        // record with the key.
        char key[1024];
        if (s.db.Goto(s.frozen_rec) &&
            s.db.GetExprResult(s.db.GetIdxExpr(s.frozen_idx), key,
                               sizeof key) &&
            s.frozen_key == key) {
          // standing on it
        } else if (s.db.Seek(s.frozen_key.c_str()) != 1) {
          s.db.Top();
          ok = false;
        }
      } else {
        s.db.Goto(s.frozen_rec);
      }
    }
    s.frozen_idx = 0;
    s.frozen_key.clear();
    s.frozen_rec = -2;
  }
  return ok;
}
