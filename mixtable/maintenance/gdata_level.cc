// CMixtableEx: positioning a table set on a product and sub-product level,
// and finding the level a table's file really lies at.

#include <string>

#include "access/level_path.h"
#include "mixtable/mixtable_ex.h"

namespace {

// The "ID" of the table's current record; 0 when it is not open or at the
// end of the file.
int32_t CurrentId(Wdbase* db) {
  if (db == nullptr || !db->IsOpen(0) || db->Eof()) return 0;
  return db->ReadLong("ID");
}

}  // namespace

bool CMixtableEx::AlignTable(const char* dir, int32_t prd, int32_t spd) {
  SetDataDir(dir);  // closes every table
  m_table.m_dataId = GetParamGdataId(false);
  if (prd == 0) return true;
  Wdbase* products = m_table.Handle(Y_PRODUCTS);
  if (!m_table.Open(products) || !m_table.Select(products, prd)) return false;
  if (spd == 0) return true;
  Wdbase* subprods = m_table.Handle(Y_SUBPRODS);
  return m_table.Open(subprods) && m_table.Select(subprods, spd);
}

bool CMixtableEx::AlignTable(CMixtable& other) {
  const int32_t prd = CurrentId(other.Handle(Y_PRODUCTS));
  const int32_t spd = CurrentId(other.Handle(Y_SUBPRODS));
  const std::string dir = other.GetDataDir();
  return AlignTable(dir.c_str(), prd, spd);
}

bool CMixtableEx::GetLevelIDs(int32_t& prd, int32_t& spd) {
  Wdbase* products = m_table.Handle(Y_PRODUCTS);
  Wdbase* subprods = m_table.Handle(Y_SUBPRODS);
  if (products == nullptr || subprods == nullptr) return false;
  prd = products->IsOpen(0) ? CurrentId(products) : 0;
  spd = products->IsOpen(0) && subprods->IsOpen(0) ? CurrentId(subprods) : 0;
  return true;
}

bool CMixtableEx::GetDbPhisicalLevelIDs(int table, int32_t* prd, int32_t* spd,
                                        std::string* dir) {
  if (table < 0 || table >= Y_N_MAX || prd == nullptr || spd == nullptr)
    return false;
  int32_t p = 0, s = 0;
  if (!GetLevelIDs(p, s)) return false;
  // A private set, so that this one's tables and positions stay untouched.
  // Levels it cannot reach (an id not found, a PATH leading out of the data
  // set) are skipped below.
  CMixtableEx probe;
  const std::string data_dir = m_table.GetDataDir();
  if (data_dir.empty()) return false;
  probe.SetDataDir(data_dir.c_str());
  bool reached[3] = {false, false, true};  // sub-product, product, root
  Wdbase* products = probe.m_table.Handle(Y_PRODUCTS);
  Wdbase* subprods = probe.m_table.Handle(Y_SUBPRODS);
  if (p != 0 && probe.m_table.Open(products) &&
      probe.m_table.Select(products, p)) {
    reached[1] = true;
    reached[0] = s != 0 && probe.m_table.Open(subprods) &&
                 probe.m_table.Select(subprods, s);
  }
  const char* name = WyGetFileInfo(table)->def.name;
  struct Try {
    uint8_t level;
    int32_t prd, spd;
  };
  const Try tries[] = {{Y_LEVEL_SUBPRODUCT, p, s},
                       {Y_LEVEL_PRODUCT, p, 0},
                       {Y_LEVEL_BASE, 0, 0}};
  const int first = s != 0 ? 0 : p != 0 ? 1 : 2;
  for (int k = first; k < 3; ++k) {
    if (!reached[k]) continue;
    std::string candidate;
    // A PATH leading out of the data set names no level.
    if (!probe.m_table.LevelToPath(tries[k].level, candidate)) continue;
    if (dir) *dir = candidate;
    if (mixtable::FileInDir(candidate, name)) {
      *prd = tries[k].prd;
      *spd = tries[k].spd;
      return true;
    }
  }
  return false;
}
