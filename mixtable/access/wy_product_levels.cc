// Product and sub-product questions over a temporary table set.

#include "mixtable/wy_product_levels.h"

#include <strings.h>

#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/mixtable_ex.h"

namespace mf = mixtable_fields;

namespace {

// Opens table and positions it on id.
bool OpenOn(CMixtable& t, int table, int32_t id) {
  Wdbase* db = t.Handle(table);
  return t.Open(db) && t.Select(db, id);
}

}  // namespace

bool Wy_GetPathFromLevelIDs(const char* data_dir, int32_t prd, int32_t spd,
                            std::string& out) {
  CMixtableEx ex;
  ex.SetDataDir(data_dir);
  CMixtable& t = ex.Mixtable();
  out = t.GetDataDir();
  bool found = false;
  std::string path;
  if (prd != 0 && OpenOn(t, Y_PRODUCTS, prd) &&
      t.LevelToPath(Y_LEVEL_PRODUCT, path)) {
    out = path;
    found = true;
    if (spd != 0) {
      found =
          OpenOn(t, Y_SUBPRODS, spd) && t.LevelToPath(Y_LEVEL_SUBPRODUCT, path);
      if (found) out = path;
    }
  }
  t.CloseAll();
  return found;
}

int Wy_GetDefaultPrdSpdIds(uint32_t data_id, int32_t* prd, int32_t* spd) {
  if (prd == nullptr || spd == nullptr) return 0;
  *prd = 0;
  *spd = 0;
  CMixtable t;
  t.SetDataId(data_id);
  Wdbase* products = t.Handle(Y_PRODUCTS);
  if (t.Open(products)) {
    if (products->RecNo() < 1) products->Top();
    *prd = mf::OnRecord(products) ? mf::Id(products, "ID") : 0;
    Wdbase* subprods = t.Handle(Y_SUBPRODS);
    if (*prd != 0 && t.Select(products, *prd) && t.Open(subprods)) {
      if (subprods->RecNo() < 1) subprods->Top();
      *spd = mf::OnRecord(subprods) ? mf::Id(subprods, "ID") : 0;
    }
  }
  t.CloseAll();
  return *prd != 0 && *spd != 0 ? 1 : 0;
}

int Wy_IsAnAlias(const char* data_dir, int32_t prd, int32_t spd,
                 int skip_deleted) {
  CMixtableEx ex;
  ex.SetDataDir(data_dir);
  CMixtable& t = ex.Mixtable();
  int alias = 0;
  if (OpenOn(t, Y_PRODUCTS, prd) && OpenOn(t, Y_SUBPRODS, spd)) {
    Wdbase* sub = t.Handle(Y_SUBPRODS);
    const std::string path = mf::Text(sub, "PATH");
    sub->SelectIdx(0);
    for (int ok = sub->Top(); ok && !sub->Eof() && !alias; ok = sub->Next()) {
      if (skip_deleted && sub->Deleted()) continue;
      if (mf::Id(sub, "ID") != spd &&
          strcasecmp(mf::Text(sub, "PATH").c_str(), path.c_str()) == 0)
        alias = 1;
    }
  }
  t.CloseAll();
  return alias;
}

int Wy_CheckBasesModules(CMixtable* tables, int* first, int* second) {
  if (first) *first = 0;
  if (tables == nullptr) return 0;
  Wdbase* cnts = tables->Handle(Y_CNTS);
  uint32_t state = 0;
  int found = 0;
  if (tables->TmpOpen(cnts, &state)) {
    for (int ok = cnts->Top(); ok && !cnts->Eof(); ok = cnts->Next()) {
      const std::string type = mf::Text(cnts, "FTYPE");
      const char c = type.empty() ? '\0' : type[0];
      if (c == 'A' || c == 'a') {
        if (first) ++*first;
        found = 1;
      } else if (c == 'B' || c == 'b') {
        if (second) ++*second;
        found = 1;
      }
    }
  }
  tables->TmpClose(cnts, &state);
  return found;
}
