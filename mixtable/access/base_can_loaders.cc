// Loading Wy_Can, Wy_Base and Wy_BaseAndCan from the tables of a data set.

#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_base_can.h"

namespace mf = mixtable_fields;

namespace {

// Descriptions and codes keep at most this many characters.
constexpr size_t kMaxDescr = 63;

// The record of `id` in `table` (see CMixtable::TmpLookup); the table is
// put back as it was when the object goes.
class TmpRecord {
 public:
  TmpRecord(CMixtable* tables, int table, int32_t id)
      : lookup_(tables, table, id) {}
  bool found() const { return lookup_.db() != nullptr; }
  const Wdbase* db() const { return lookup_.db(); }

 private:
  CMixtable::TmpLookup lookup_;
};

}  // namespace

int Wy_Can::Set(int32_t id, CMixtable* tables) {
  if (tables == nullptr || id <= 0) return 0;
  TmpRecord r(tables, Y_CANS, id);
  if (!r.found()) return 0;
  Wy_Can can;
  can.CanId = id;
  can.CanDescr = mf::Text(r.db(), "DESCR", kMaxDescr);
  can.Nom_Q = mf::Number(r.db(), "NOM_Q");
  can.CanWeight = mf::Flag(r.db(), "CAN_WEIGHT");
  can.H_min = static_cast<int>(mf::Id(r.db(), "H_MIN"));
  can.H_max = static_cast<int>(mf::Id(r.db(), "H_MAX"));
  *this = can;
  return 1;
}

int Wy_Base::Set(int32_t id, CMixtable* tables) {
  if (tables == nullptr || id <= 0) return 0;
  Wy_Base base;
  {
    TmpRecord r(tables, Y_BASES, id);
    if (!r.found()) return 0;
    base.BasId = id;
    base.Spec_W = mf::Number(r.db(), "SPEC_W");
    base.Fill_Q = mf::Number(r.db(), "FILL_Q");
    base.Fill_W = mf::Number(r.db(), "FILL_W");
    base.BaseDescr = mf::Text(r.db(), "DESCR", kMaxDescr);
    base.BaseCode = mf::Text(r.db(), "CODE", kMaxDescr);
  }
  {
    TmpRecord r(tables, Y_BASESFRM, id);
    if (r.found()) {
      base.BaseFrm = mf::Text(r.db(), "FORMULA");
      base.BaseWeightMode = mf::Flag(r.db(), "WEIGHTMODE");
      base.BaseFrmId = id;
      base.BaseIsDispensable = 1;
    }
  }
  *this = base;
  return 1;
}

int Wy_BaseAndCan::Set(int32_t base_id, int32_t can_id, CMixtable* tables) {
  int result = 0;
  if (can_id > 0) result = Wy_Can::Set(can_id, tables);
  if (base_id > 0) result = Wy_Base::Set(base_id, tables);
  return result;
}
