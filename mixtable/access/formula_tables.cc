// The formula text over the tables of a data set: reading from formula
// tables, ruler correction over a ruler table, conversions by the colorants'
// specific weights, and Wy_Frm::read.

#include <cctype>
#include <cstdint>
#include <string>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/quantity_format.h"
#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"
#include "mixtable/yformula_ruler.h"

namespace mf = mixtable_fields;

namespace {

// The ruler's second index: RTYPE+PTR_ID.
constexpr int kRulerKeyIndex = 2;
// RULE is read as text of at most this many characters.
constexpr size_t kMaxRuleText = 64;

// YRuler over an open ruler table. Each lookup seeks on the second index and
// puts the caller's selected index back.
class TableRuler : public YRuler {
 public:
  explicit TableRuler(Wdbase* db) : db_(db) {}
  bool Rule(const char* kind, int32_t id, double* rule) override {
    const int selected = db_->SelectedIdx();
    bool found = false;
    if (db_->SelectIdx(kRulerKeyIndex) &&
        db_->Seek(Wy_RulerKey(kind, id).c_str()) == 1) {
      const std::string t = mf::Text(db_, "RULE", kMaxRuleText);
      *rule = Wy_ReadDouble(t.data(), t.size());
      found = true;
    }
    db_->SelectIdx(selected);
    return found;
  }

 private:
  Wdbase* db_;
};

// YSpecificWeights over the colorant table of a table set, which the owner
// opens (TmpOpen) before and closes (TmpClose) after.
class TableWeights : public YSpecificWeights {
 public:
  TableWeights(CMixtable* tables, Wdbase* cnts) : tables_(tables), db_(cnts) {}
  bool SpecificWeight(int32_t id, double* weight) override {
    if (id <= 0 || !tables_->Select(db_, id)) return false;
    *weight = mf::Number(db_, "SPEC_W");
    return true;
  }

 private:
  CMixtable* tables_;
  Wdbase* db_;
};

bool IsOpen(const Wdbase* db) { return db != nullptr && db->IsOpen(0); }

// True when the data file's name (directory left out) begins with "FRM".
bool IsFormulaTableName(const Wdbase* db) {
  const char* name = db->GetName(0);
  if (name == nullptr) return false;
  std::string n = name;
  const size_t cut = n.find_last_of("\\/:");
  if (cut != std::string::npos) n.erase(0, cut + 1);
  if (n.size() < 3) return false;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(n[i])) != "FRM"[i])
      return false;
  return true;
}

int ConvertOverTable(yformula& f, CMixtable* tables, double factor,
                     int decimals, int exponent, bool volume) {
  if (tables == nullptr || !(factor >= yformula::kMinFactor)) return 0;
  Wdbase* cnts = tables->Handle(Y_CNTS);
  uint32_t state = 0;
  if (!tables->TmpOpen(cnts, &state)) {
    tables->TmpClose(cnts, &state);
    return 0;
  }
  TableWeights weights(tables, cnts);
  const int ok = volume ? f.to_volume(weights, factor, decimals, exponent)
                        : f.to_weight(weights, factor, decimals, exponent);
  tables->TmpClose(cnts, &state);
  return ok;
}

}  // namespace

int yformula::to_volume(CMixtable* tables, double factor, int decimals,
                        int exponent) {
  return ConvertOverTable(*this, tables, factor, decimals, exponent, true);
}

int yformula::to_weight(CMixtable* tables, double factor, int decimals,
                        int exponent) {
  return ConvertOverTable(*this, tables, factor, decimals, exponent, false);
}

int yformula::set_and_ruler(const char* text, int32_t base_id, Wdbase* ruler,
                            bool divide) {
  if (!IsOpen(ruler))
    return Wy_SetAndRuler(*this, text, base_id, nullptr, divide);
  TableRuler r(ruler);
  return Wy_SetAndRuler(*this, text, base_id, &r, divide);
}

int yformula::set_and_ruler_ex(const char* text, int32_t base_id, Wdbase* ruler,
                               bool divide, double factor) {
  if (!IsOpen(ruler))
    return Wy_SetAndRulerEx(*this, text, base_id, nullptr, divide, factor);
  TableRuler r(ruler);
  return Wy_SetAndRulerEx(*this, text, base_id, &r, divide, factor);
}

int yformula::read(Wdbase* frm, Wdbase* ruler) {
  set(static_cast<const char*>(nullptr));
  if (!mf::OnRecord(frm)) return 0;
  const char* field = mf::Has(frm, "FORMULA") ? "FORMULA"
                      : mf::Has(frm, "FRM")   ? "FRM"
                                              : nullptr;
  if (field == nullptr) return 0;
  const std::string text = mf::Text(frm, field);
  if (!set(text)) return 0;
  if (IsOpen(ruler) && IsFormulaTableName(frm)) {
    const int32_t base_id = mf::Id(frm, "BASE_ID");
    set_and_ruler(text.c_str(), base_id, ruler, false);
  }
  return 1;
}

int Wy_Frm::read(CMixtable* tables, int which) {
  if (tables == nullptr || (which != Y_FRM && which != Y_ARCHIVE)) return 0;
  Wdbase* src = tables->Handle(which);
  Wy_Frm out(*this);
  if (!out.m_Frm.read(src, tables->Handle(Y_RULER))) return 0;

  Wdbase* prd = tables->Handle(Y_PRODUCTS);
  const bool archive = which == Y_ARCHIVE;
  out.m_Units.Clear();
  if (mf::OnRecord(prd)) {
    out.m_Units.m_dUnit = mf::Number(prd, "UNIT");
    out.m_Units.m_dFraction = mf::Number(prd, "FRACTION");
    out.m_Units.m_dFraction2 = mf::Number(prd, "FRACTION2");
    out.m_Units.m_bWeightMode = mf::Flag(prd, "WEIGHTMODE");
    out.m_Units.m_sName = mf::Text(prd, "UNIT_NAME", 63);
  } else if (archive) {
    out.m_Units.m_dUnit = mf::Number(src, "UNIT");
    out.m_Units.m_dFraction = mf::Number(src, "FRACTION");
    out.m_Units.m_dFraction2 = 1.0;
    out.m_Units.m_bWeightMode = mf::Flag(src, "WEIGHTMODE");
  }
  if (!(out.m_Units.m_dFraction2 >= 1.0)) out.m_Units.m_dFraction2 = 1.0;

  out.m_CanWeight0 = 0;
  out.m_Nom_Q0 = 0.0;
  const int32_t can_id = mf::Id(src, "CAN_ID");
  if (can_id > 0) {
    CMixtable::TmpLookup can(tables, Y_CANS, can_id);
    if (can.db() != nullptr) {
      out.m_CanWeight0 = mf::Flag(can.db(), "CAN_WEIGHT");
      out.m_Nom_Q0 = mf::Number(can.db(), "NOM_Q");
    }
  } else if (archive) {
    out.m_CanWeight0 = mf::Flag(src, "CAN_WEIGHT");
    out.m_Nom_Q0 = mf::Number(src, "NOM_Q0");
  }
  // Copy field by field: assignment would trim the text again, which read
  // has already done.
  m_Frm = out.m_Frm;
  m_Units = out.m_Units;
  m_CanWeight0 = out.m_CanWeight0;
  m_Nom_Q0 = out.m_Nom_Q0;
  return 1;
}
