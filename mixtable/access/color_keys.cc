// The colour-key tables: COLORKEY lists the distinct colour keys (KEY1,
// KEY2, KEY3) of the data set's formulas, CLRPRDS the products and
// sub-products in which each key has a formula on an allowed base.

#include <cstdio>
#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_mask.h"
#include "mixtable/wy_util.h"

namespace mf = mixtable_fields;

namespace {

// COLORKEY: ID C 5, KEY1..KEY3 C 24 (index 5 on KEY1+KEY2+KEY3).
const WDBASE_FIELD kColorKeyFields[] = {{"ID", 'C', 5, 0, 0},
                                        {"KEY1", 'C', 24, 0, 0},
                                        {"KEY2", 'C', 24, 0, 0},
                                        {"KEY3", 'C', 24, 0, 0},
                                        {}};
// CLRPRDS: CLR_ID, PRD_ID, SPD_ID C 5 (index 2 on all three).
const WDBASE_FIELD kClrPrdsFields[] = {{"CLR_ID", 'C', 5, 0, 0},
                                       {"PRD_ID", 'C', 5, 0, 0},
                                       {"SPD_ID", 'C', 5, 0, 0},
                                       {}};
constexpr int kKeysIndex = 5;     // COLORKEY's CLR_KEYS
constexpr int kClrPrdsIndex = 2;  // CLRPRDS's CLRS_IDS
constexpr int kKeyWidth = 24;
constexpr int32_t kMaxColorId = 99999;  // what ID C 5 holds

// Restores the process-wide auto-flush setting on leaving.
struct AutoFlushOff {
  int old = Wdbase::FlushSet(0);
  ~AutoFlushOff() { Wdbase::FlushSet(old); }
};

// A key field as the caller sees it (code page converted), trimmed, cut to
// 24 characters.
std::string KeyField(const Wdbase* db, const char* field) {
  char buf[kKeyWidth + 1] = {};
  if (!mf::Has(db, field)) return std::string();
  db->ReadString(field, buf, sizeof buf, 1, 1);
  return buf;
}

// The colour key: the three keys left-aligned in 24 characters each.
std::string ColorKey(const Wdbase* frm) {
  char key[3 * kKeyWidth + 1];
  std::snprintf(key, sizeof key, "%-24s%-24s%-24s",
                KeyField(frm, "KEY1").c_str(), KeyField(frm, "KEY2").c_str(),
                KeyField(frm, "KEY3").c_str());
  return key;
}

std::string Id5(int32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5d", static_cast<int>(id));
  return buf;
}

struct KeyScan {
  Wdbase* colorkey;  // open, index 5 selected
  int32_t counter;
  bool failed;
};

int CollectKeys(Wdbase* db, void* ctx, int, int table, int32_t, int32_t) {
  if (table != Y_FRM) return 1;
  KeyScan* scan = static_cast<KeyScan*>(ctx);
  Wy_Trace("\n----------------------------------------------\n");
  for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
    const std::string key = ColorKey(db);
    if (scan->colorkey->Seek(key.c_str()) == 1) continue;
    if (scan->counter >= kMaxColorId) {
      scan->failed = true;
      return 0;
    }
    ++scan->counter;
    Wdbase* ck = scan->colorkey;
    if (!ck->AppendBlank() ||
        !ck->WriteString("ID", Id5(scan->counter).c_str()) ||
        !ck->WriteString("KEY1", KeyField(db, "KEY1").c_str()) ||
        !ck->WriteString("KEY2", KeyField(db, "KEY2").c_str()) ||
        !ck->WriteString("KEY3", KeyField(db, "KEY3").c_str())) {
      scan->failed = true;
      return 0;
    }
  }
  return 1;
}

}  // namespace

int CMixtable::CreateColorKeyDb() {
  AutoFlushOff flush;
  CloseSlot(Y_COLORKEY);
  CloseSlot(Y_CLRPRDS);
  std::string dir;
  if (!LevelToPath(Y_LEVEL_BASE, dir)) return 0;
  Wdbase* tables[2] = {Handle(Y_COLORKEY), Handle(Y_CLRPRDS)};
  const WDBASE_FIELD* fields[2] = {kColorKeyFields, kClrPrdsFields};
  for (int i = 0; i < 2; ++i) {
    Wdbase* db = tables[i];
    db->SetPath(dir.c_str());
    for (int k = 0; k <= db->GetIdxCount(); ++k)
      if (db->Access(k)) db->Unlink(k);
    if (!db->CreateDb(fields[i])) return 0;
  }

  // The keys are collected through a handle of their own so that the walk
  // over the tree, which opens and closes the set's tables, leaves it be.
  Wdbase colorkey;
  colorkey.SetFiles(&WyGetFileInfo(Y_COLORKEY)->def);
  colorkey.SetPath(dir.c_str());
  if (!colorkey.Open() || !colorkey.SelectIdx(kKeysIndex)) return 0;
  KeyScan scan{&colorkey, 0, false};
  const int walked = Scan(CollectKeys, &scan, 0);
  colorkey.Close();
  if (!walked || scan.failed) return 0;
  return FillClrPrds();
}

int CMixtable::FillClrPrds() {
  AutoFlushOff flush;
  CloseAll();
  Wdbase* colorkey = Handle(Y_COLORKEY);
  Wdbase* clrprds = Handle(Y_CLRPRDS);
  Wdbase* prd = Handle(Y_PRODUCTS);
  Wdbase* spd = Handle(Y_SUBPRODS);
  Wdbase* frm = Handle(Y_FRM);
  Wdbase* mask_db = Handle(Y_MASK);
  int result = 0;
  if (Open(colorkey) && colorkey->SelectIdx(kKeysIndex) && Open(clrprds) &&
      clrprds->SelectIdx(kClrPrdsIndex) && Open(prd)) {
    result = 1;
    prd->SelectIdx(1);
    for (int p = prd->Top(); p && !prd->Eof() && result; p = prd->Next()) {
      CloseSlot(Y_SUBPRODS);
      if (!Open(spd)) continue;
      const int32_t prd_id = mf::Id(prd, "ID");
      spd->SelectIdx(1);
      for (int s = spd->Top(); s && !spd->Eof() && result; s = spd->Next()) {
        const int32_t spd_id = mf::Id(spd, "ID");
        CWymask mask;  // no MASK.DBF: every base
        if (Open(mask_db)) mask.Fill("BA", mask_db);
        if (Open(frm)) {
          for (int f = frm->Top(); f && !frm->Eof(); f = frm->Next()) {
            if (!mask.Inspect(mf::Id(frm, "BASE_ID"))) continue;
            if (colorkey->Seek(ColorKey(frm).c_str()) != 1) continue;
            const int32_t clr_id = mf::Id(colorkey, "ID");
            const std::string row = Id5(clr_id) + Id5(prd_id) + Id5(spd_id);
            if (clrprds->Seek(row.c_str()) == 1) continue;
            if (!clrprds->AppendBlank() ||
                !clrprds->WriteString("CLR_ID", Id5(clr_id).c_str()) ||
                !clrprds->WriteString("PRD_ID", Id5(prd_id).c_str()) ||
                !clrprds->WriteString("SPD_ID", Id5(spd_id).c_str())) {
              result = 0;
              break;
            }
          }
        }
        CloseSlot(Y_FRM);
        CloseSlot(Y_RULER);
        CloseSlot(Y_MASK);
      }
    }
  }
  CloseAll();
  return result;
}
