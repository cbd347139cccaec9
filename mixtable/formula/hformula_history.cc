// The dispensing history: defining, checking and writing the history table,
// the two XML history documents, and reading a formula back.

#include "mixtable/hformula_history.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "formula/hformula_history_impl.h"
#include "formula/hformula_tables.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_util.h"
#include "mixtable/wy_xml_file.h"

namespace {

constexpr const char* kAppend = "hformula_HistoryAppend";

// Appends f to the XML history document of type (HISTORY.XML: compact form;
// XMLHIST.XML: structured form). The document stays locked from finding
// its closing tag to writing it again.
void AppendXml(int type, Wy_Formula* f, const Wy_ShopData* shop,
               const Wy_DispenserData* dispenser) {
  Wy_XmlFile doc(type, shop);
  Wy_SeqFile* h = doc.GetFileHandle();
  if (h == nullptr) {
    Wy_Trace("\n%s ERROR in hformula_HistoryAddAndFillRecord. Invalid db",
             kAppend);
    return;
  }
  if (type == WY_XML_HISTORY) {
    f->WriteXML(h, nullptr, shop, dispenser, nullptr, nullptr);
  } else {
    f->WriteXMLEx(h, nullptr, shop, dispenser, nullptr, nullptr, false, true,
                  nullptr);
  }
  doc.CloseFileHandle();
}

void AppendBothXml(Wy_Formula* f, const Wy_ShopData* shop,
                   const Wy_DispenserData* dispenser) {
  AppendXml(WY_XML_HISTORY, f, shop, dispenser);
  AppendXml(WY_XML_XMLHIST, f, shop, dispenser);
}

// A text field read whole (the buffer follows the field's width), trimmed.
bool ReadText(const Wdbase* db, const char* field, std::string* out) {
  const int len = db->FieldLen(field);
  if (len <= 0) return false;
  std::vector<char> buf(static_cast<size_t>(len) + 1);
  if (!db->ReadString(field, buf.data(), len + 1, 1, 1)) return false;
  *out = buf.data();
  return true;
}

}  // namespace

int hformula_HistorySetDbPathAndName(Wdbase* db, const char* dir) {
  constexpr const char* kWho = "hformula_HistorySetDbPathAndName";
  std::string path = dir != nullptr ? dir : "";
  if (path.empty() && !Wy_LocalPath(path)) {
    Wy_Trace("\n%s ERROR in Wy_LocalPath.", kWho);
    return 0;
  }
  static const char* const names[] = {"HIST_LOT", "HIDATAID"};
  static const char* const exprs[] = {"LOTID", "DATAID"};
  if (db == nullptr ||
      !db->SetFiles(path.c_str(), kHfHistoryName, 2, names, exprs)) {
    Wy_Trace("\n%s ERROR in HistoryDb.SetFiles.", kWho);
    return 0;
  }
  return 1;
}

int hformula_CheckUpdateHistory(bool widen, const char* dir, uint32_t dataId,
                                int create) {
  Wdbase db;
  if (!hformula_HistorySetDbPathAndName(&db, dir)) return 0;
  if (widen) hformula_Widen();
  int result;
  if (hformula_impl::TableExists(db)) {
    result = hformula_impl::BringUpToDate(&db, hformula_GetHistoryDef(),
                                          "hformula_CheckUpdateHistory");
  } else if (create == 1) {
    result = hformula_impl::CreateTable(&db, hformula_GetHistoryDef(),
                                        "hformula_HistoryCreateDB");
  } else {
    return 0;
  }
  if (result == 1 && dataId != 0)
    result = hformula_impl::RewriteBlankDataIds(&db, dataId);
  return result;
}

int hformula_SaveInHistory(Wy_Formula* f, const Wy_ShopData* shop,
                           const Wy_DispenserData* dispenser) {
  Wdbase db;
  if (!hformula_HistorySetDbPathAndName(&db, nullptr)) return 0;
  if (f == nullptr) {
    Wy_Trace("\n%s ERROR in the input parameters.", "hformula_SaveInHistory");
    return 0;
  }
  // A history that was never made is made now rather than the dispensing
  // going unrecorded; one that exists is never made anew.
  if (!hformula_impl::TableExists(db))
    hformula_impl::CreateTable(&db, hformula_GetHistoryDef(),
                               "hformula_HistoryCreateDB");
  int ok = db.Open() && hformula_HistoryAddAndFillRecord(f, &db);
  if (db.IsOpen(0)) ok = db.Close() && ok;
  if (!ok) Wy_Trace("\n%s ERROR in hformula_HistoryAddAndFillRecord.", kAppend);
  AppendBothXml(f, shop, dispenser);
  return ok ? 1 : 0;
}

int hformula_HistoryXMLAppend(Wy_Formula* f, const Wy_ShopData* shop,
                              const Wy_DispenserData* dispenser) {
  if (f == nullptr) {
    Wy_Trace("\n%s ERROR in the input parameters.", "hformula_SaveInHistory");
    return 0;
  }
  AppendBothXml(f, shop, dispenser);
  return 0;
}

int hformula_ReadFromHistory(Wy_Formula* f, Wdbase* db) {
  if (f == nullptr) {
    Wy_Trace("\n%s ERROR in the input parameters.", "hformula_ReadFromHistory");
    return 0;
  }
  if (db == nullptr || !db->IsOpen(0) || db->Eof()) {
    Wy_Trace("\nERROR in hformula_HistoryRead.");
    return 0;
  }
  f->Clear();
  std::string dataId, date, time, frm, baseFrm, refl, clrDescr, canDescr;
  bool ok = ReadText(db, "DATAID", &dataId) && ReadText(db, "DATA", &date) &&
            ReadText(db, "TIME", &time) && ReadText(db, "FRM", &frm) &&
            ReadText(db, "FRM_BASE", &baseFrm) &&
            ReadText(db, "FRM_REFL", &refl) &&
            ReadText(db, "CLRDESCR", &clrDescr) &&
            ReadText(db, "CUSCAN_DES", &canDescr);
  if (!ok) {
    db->Close();
    return 0;
  }
  const double nomQ0 = db->ReadDouble("NOM_Q0");
  const double nomQ = db->ReadDouble("NOM_Q");
  const double unit = db->ReadDouble("UNIT");
  const double fraction = db->ReadDouble("FRACTION");
  const double fillQ = db->ReadDouble("BASFILLQ");
  const double fillW = db->ReadDouble("BASFILLW");
  const double specW = db->ReadDouble("BASSPEC_W");
  const int32_t basId = db->ReadLong("BASID");
  const int32_t clrId = db->ReadLong("CLRID");
  const int32_t canId = db->ReadLong("CANID");
  const int32_t prdId = db->ReadLong("PRDID");
  const int32_t spdId = db->ReadLong("SPDID");
  const int32_t baseFrmId = db->ReadLong("FRM_BASEID");
  const int32_t nDisp = db->ReadLong("NDISP");
  const int weightMode = db->ReadBool("WEIGHTMODE") ? 1 : 0;
  const int canWeight0 = db->ReadBool("CAN_WEIGH0") ? 1 : 0;
  const int canWeight = db->ReadBool("CAN_WEIGHT") ? 1 : 0;
  const int baseWeight = db->ReadBool("BAS_WEIGHT") ? 1 : 0;

  // 1. The data set of the record.
  const uint32_t id =
      static_cast<uint32_t>(std::strtoul(dataId.c_str(), nullptr, 10));
  f->m_DataId = id;
  CMixtable tables;
  tables.SetDataId(id);
  f->SetPrd(&tables, prdId, spdId);
  if (f->m_PrdId <= 0) f->m_PrdId = prdId;
  if (f->m_SpdId <= 0) f->m_SpdId = spdId;
  // 2. Base and can.
  Wy_BaseAndCan bc;
  bc.Set(basId, canId, &tables);
  if (canId < 1) {
    bc.CanId = 0;
    bc.CanDescr = canDescr;
    bc.Nom_Q = nomQ;
    bc.CanWeight = canWeight;
  }
  if (basId < 1) {
    Wy_Base base;
    if (baseFrmId > 0 && base.Set(baseFrmId, &tables)) {
      bc.BaseFrm = base.BaseFrm;
      bc.Spec_W = base.Spec_W;
      bc.BaseWeightMode = base.BaseWeightMode;
      bc.BaseIsDispensable = base.BaseIsDispensable;
      bc.BaseFrmId = baseFrmId;
    } else {
      bc.SetAsManualBase(baseFrm.c_str(), &baseWeight);
      bc.Spec_W = specW;
    }
    bc.Fill_Q = fillQ;
    bc.Fill_W = fillW;
  }
  // 3. Formula.
  ok = f->SetBaseAndCan(bc) && f->SetClr(nullptr, clrId);
  if (ok) {
    f->SetUnit(weightMode, unit, fraction, 1.0);
    ok = f->SetFrm(frm.c_str(), nomQ0, clrDescr.c_str(), 0) != 0;
  }
  f->m_Lqnt = nDisp;
  // 4. Colorimetric data.
  for (int i = 0; i < 3; ++i) f->m_X02[i] = f->m_X10[i] = -1.0;
  hformula_impl::ParseRefl(refl.c_str(), f->m_Rfl);
  // 5. The kind of can the quantities refer to.
  if (ok) {
    Wy_Frm v;
    f->GetYFrm(v, nullptr);
    v.m_CanWeight0 = canWeight0;
    f->SetYFrm(v, nullptr, clrId);
  }
  // 6. The table is closed.
  if (!db->Close()) {
    Wy_Trace("\nERROR in hformula_HistoryRead.");
    return 0;
  }
  return ok ? 1 : 0;
}
