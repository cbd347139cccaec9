// Wy_Formula's XML writers: the compact form (WriteXML, one line of
// parenthesised values per formula tag) and the structured form
// (WriteXMLEx, one child element per value), the colorant encoding they
// share and the formula's colour. Every text between tags is escaped.

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_colour.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_htmltag.h"
#include "mixtable/wy_seq_file.h"
#include "mixtable/wy_xml_text.h"
#include "xbase32/wdbase.h"

namespace {

constexpr size_t kMaxCntCode = 31;       // CODE read for a colorant
constexpr size_t kMaxPrdCode = 199;      // CODE of a product or sub-product
constexpr double kCompactMin = 0.00001;  // curve/coordinates written above
constexpr double kStructuredMin = 0.01;

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
  char buf[128];
  va_list a;
  va_start(a, format);
  int n = vsnprintf(buf, sizeof buf, format, a);
  va_end(a);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, n);
  std::string out(static_cast<size_t>(n) + 1, '\0');
  va_start(a, format);
  vsnprintf(out.data(), out.size(), format, a);
  va_end(a);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Trim(const std::string& t) {
  const size_t b = t.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return t.substr(b, t.find_last_not_of(" \t\r\n") - b + 1);
}

std::string Esc(const std::string& text) {
  std::string out;
  return Wy_TranslateStringForXml(text, out);
}

// "(" text ")" escaped.
std::string Par(const std::string& text) { return "(" + Esc(text) + ")"; }

// "<TAG>" escaped text "</TAG>".
std::string El(const char* tag, const std::string& text) {
  return std::string("<") + tag + ">" + Esc(text) + "</" + tag + ">";
}

// The table set the writers use: the caller's, or one of their own.
class Tables {
 public:
  Tables(CMixtableEx* given, uint32_t dataId) : ts_(given) {
    if (ts_ == nullptr) {
      own_ = std::make_unique<CMixtableEx>();
      own_->SetDataId(dataId);
      ts_ = own_.get();
    }
  }
  CMixtableEx* get() const { return ts_; }

 private:
  CMixtableEx* ts_;
  std::unique_ptr<CMixtableEx> own_;
};

// A table opened temporarily for a run of lookups by id (one open for the
// whole formula, not one per colorant); restored on destruction.
class TmpTable {
 public:
  TmpTable(CMixtableEx* ts, int table)
      : t_(ts->Mixtable()), db_(t_.Handle(table)) {
    open_ = db_ != nullptr && t_.TmpOpen(db_, &state_);
  }
  ~TmpTable() {
    if (db_ != nullptr) t_.TmpClose(db_, &state_);
  }
  TmpTable(const TmpTable&) = delete;
  TmpTable& operator=(const TmpTable&) = delete;

  // Field text of the record with id; found tells whether it exists.
  std::string Lookup(int32_t id, const char* field, size_t max, bool* found) {
    *found = false;
    if (!open_ || !t_.Select(db_, id)) return std::string();
    const char* v = db_->Read(field, 1, 1);
    std::string value = v != nullptr ? v : "";
    if (value.size() > max) value.resize(max);
    *found = true;
    return value;
  }

 private:
  CMixtable& t_;
  Wdbase* db_;
  uint32_t state_ = 0;
  bool open_ = false;
};

// Field text of the record with id in table (opened temporarily).
std::string LookupText(CMixtableEx* ts, int table, int32_t id,
                       const char* field, size_t max, bool* found) {
  TmpTable t(ts, table);
  return t.Lookup(id, field, max, found);
}

// "<TAG>" content "</TAG>\r\n".
void Line(Wy_SeqFile* f, const char* tag, const std::string& content) {
  f->Write(std::string("<") + tag + ">" + content + "</" + tag + ">\r\n");
}

void LocalTime(const std::time_t* when, std::tm* out) {
  std::time_t t = when != nullptr ? *when : std::time(nullptr);
#ifdef _WIN32
  if (localtime_s(out, &t) != 0) *out = std::tm();
#else
  if (localtime_r(&t, out) == nullptr) *out = std::tm();
#endif
}

}  // namespace

int Wy_Formula::DecodeFrm(std::string& text, CMixtableEx* tables,
                          bool structured) const {
  // Pairs as they stand in the text: only commas separate.
  std::vector<std::string> tokens;
  size_t b = 0;
  while (b <= m_Frm.size()) {
    size_t c = m_Frm.find(',', b);
    if (c == std::string::npos) c = m_Frm.size();
    tokens.push_back(Trim(m_Frm.substr(b, c - b)));
    b = c + 1;
  }
  while (!tokens.empty() && tokens.back().empty()) tokens.pop_back();
  if (tokens.empty()) return 0;
  Tables ts(tables, m_DataId);
  TmpTable cnts(ts.get(), Y_CNTS);
  int result = 1;
  for (size_t i = 0; i < tokens.size(); i += 2) {
    const std::string& id = tokens[i];
    const std::string qty = i + 1 < tokens.size() ? tokens[i + 1] : "";
    bool found = false;
    const std::string code = cnts.Lookup(static_cast<int32_t>(atol(id.c_str())),
                                         "CODE", kMaxCntCode, &found);
    if (!found) result = 0;  // written with an empty code all the same
    if (structured) {
      text +=
          "<CMP>" + El("ID", id) + El("CODE", code) + El("QTY", qty) + "</CMP>";
    } else {
      text += "(" + id + "," + code + "," + qty + ")";
    }
  }
  return result;
}

int Wy_Formula::GetXMLDecodedFrm(std::string& text, CMixtableEx* tables) const {
  return DecodeFrm(text, tables, false);
}

int Wy_Formula::GetXMLDecodedFrmEx(std::string& text,
                                   CMixtableEx* tables) const {
  return DecodeFrm(text, tables, true);
}

bool Wy_Formula::GetRGB(uint32_t* rgb, bool* noClamp) const {
  double xyz[3];
  if (m_Rfl[0] > kStructuredMin) {
    if (!Wy_ReflectanceToXYZ(m_Rfl, xyz)) return false;
  } else if (m_X10[0] > kStructuredMin) {
    xyz[0] = m_X10[0], xyz[1] = m_X10[1], xyz[2] = m_X10[2];
  } else {
    return false;
  }
  return Wy_XYZToRGB(xyz[0], xyz[1], xyz[2], rgb, noClamp);
}

int Wy_Formula::WriteXML(Wy_SeqFile* file, const char* /*ignored*/,
                         const Wy_ShopData* shop,
                         const Wy_DispenserData* dispenser,
                         const std::time_t* when, CMixtableEx* tables) {
  if (file == nullptr) return 0;
  try {
    Wy_htmltag formula(file, "<FORMULA>\r\n");
    std::string s = Fmt("(#%lu)", static_cast<unsigned long>(m_DataId));
    if (!m_DataIdText.empty()) s += Par(m_DataIdText);
    Line(file, "GDT", s);
    s = Fmt("(%d)", static_cast<int>(m_Source));
    if (!m_RemoteSource.empty()) s += Par(m_RemoteSource);
    Line(file, "SRC", s);
    s.clear();
    if (m_PrdId > 0) s += Fmt("(#%ld)", static_cast<long>(m_PrdId));
    if (!m_PrdName.empty()) s += Par(m_PrdName);
    if (m_PrdId > 0) s += Fmt("(#%ld)", static_cast<long>(m_SpdId));
    if (!m_SpdName.empty()) s += Par(m_SpdName);
    Line(file, "PRD", s);
    Line(file, "WGH", Fmt("(%d)", m_WeightMode ? 1 : 0));
    const bool wg = m_WeightMode != 0;
    Line(file, "UNT",
         Fmt("(%.4lf)(%.4lf)", wg ? m_WgUnit : m_VlUnit,
             wg ? m_WgFraction : m_VlFraction));
    s.clear();
    if (m_ClrId > 0) s += Fmt("(#%ld)", static_cast<long>(m_ClrId));
    Line(file, "CLR", s + Par(m_ClrName));
    s.clear();
    if (m_BasId > 0) s += Fmt("(#%ld)", static_cast<long>(m_BasId));
    s += Par(m_BasName);
    s += Fmt("(%.3lf)(%.3lf)(%.3lf)(%.3lf)", m_Fill_Q, m_Fill_W, m_Fill_QC,
             m_Fill_WC);
    Line(file, "BAS", s);
    s.clear();
    if (m_CanId > 0) s += Fmt("(#%ld)", static_cast<long>(m_CanId));
    s += Par(m_CanName);
    s += Fmt("(%.4lf)($%1d$)", m_CanNomQ, m_CanWeight ? 1 : 0);
    Line(file, "CAN", s);
    Line(file, "LQT", Fmt("(%d)", m_Lqnt));
    s.clear();
    if (m_SlaveId > 0) s += Fmt("(%ld)", static_cast<long>(m_SlaveId));
    std::string frm;
    GetXMLDecodedFrm(frm, tables);
    s += Esc(frm);
    s += Fmt(":(%.4lf)($%1d$)($%1d$)", m_FrmNomQ, m_FrmCanWeight ? 1 : 0,
             m_BaseLinked ? 1 : 0);
    Line(file, "FRM", s);
    if (!m_Frt.empty()) Line(file, "FRT", Par(m_Frt));
    if (!m_Cir.empty()) Line(file, "CIR", Par(m_Cir));
    if (m_Rfl[0] > kCompactMin) {
      s.clear();
      for (double r : m_Rfl) s += Fmt("(%-.4lf)", r);
      Line(file, "RFL", s);
    }
    if (m_X02[0] > kCompactMin)
      Line(file, "X02",
           Fmt("(%-.2lf)(%-.2lf)(%-.2lf)", m_X02[0], m_X02[1], m_X02[2]));
    if (m_X10[0] > kCompactMin)
      Line(file, "X10",
           Fmt("(%-.2lf)(%-.2lf)(%-.2lf)", m_X10[0], m_X10[1], m_X10[2]));
    if (m_Source == HF_SOURCE_REMOTE || m_Source == HF_SOURCE_REMOTEFIXED) {
      Wy_Formula copy(*this);  // decoding leaves the caller's data alone
      Wy_ShopData d;
      copy.UpdateShopData(&d, 0);
      Line(file, "SHP",
           Par(d.m_Shop1) + Par(d.m_Shop2) + Par(d.m_Shop3) + Par(d.m_PcId) +
               Fmt("(%1ld)", static_cast<long>(d.m_Nprog)) + Par(d.m_UserId) +
               Par(d.m_UserName));
    }
    if (dispenser != nullptr)
      Line(file, "DIS",
           Fmt("(#%d)", dispenser->m_DispenserId) +
               Par(dispenser->m_DispenserDescr));
    if (shop != nullptr)
      Line(file, "USR", Par(shop->m_UserId) + Par(shop->m_UserName));
    std::tm tm;
    LocalTime(when, &tm);
    Line(file, "TIM",
         Fmt("(%04d:%02d:%02d)(%02d:%02d:%02d)", tm.tm_year + 1900,
             tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

namespace {

// CODE of the current record of table when the table set has it open.
bool OpenTableCode(CMixtableEx* ts, int table, std::string* code) {
  Wdbase* db = ts->Mixtable().Handle(table);
  if (db == nullptr || !db->IsOpen(0)) return false;
  const char* v = db->Read("CODE", 1, 1);
  *code = v != nullptr ? v : "";
  if (code->size() > kMaxPrdCode) code->resize(kMaxPrdCode);
  return true;
}

std::string InfoItems(const Wy_FrmInfo& info, const char* k2, const char* k3) {
  std::string s;
  for (int i = 0; i < info.GetNum(); ++i)
    s += "<INF>" + Fmt("<ID>%d</ID>", static_cast<int>(info.GetNum(i))) +
         El(k2, info.GetLabel(i)) + El(k3, info.GetValue(i)) + "</INF>";
  return s;
}

}  // namespace

int Wy_Formula::WriteXMLExLines(Wy_SeqFile* file, const Wy_ShopData* shop,
                                const Wy_DispenserData* dispenser,
                                const std::time_t* when, CMixtableEx* tables,
                                bool withCodes, bool withShop,
                                const char* colorantText) {
  if (file == nullptr) return 0;
  try {
    Tables ts(tables, m_DataId);
    std::string s = Fmt("<ID>%lu</ID>",
                        static_cast<unsigned long>(Wy_GetAbsDataId(m_DataId)));
    if (!m_DataIdText.empty()) s += El("DSC", m_DataIdText);
    Line(file, "GDT", s);
    s = Fmt("<ID>%d</ID>", static_cast<int>(m_Source));
    if (!m_RemoteSource.empty()) s += El("REM", m_RemoteSource);
    Line(file, "SRC", s);

    s.clear();
    std::string code;
    if (m_PrdId > 0) s += Fmt("<PRDID>%ld</PRDID>", static_cast<long>(m_PrdId));
    if (OpenTableCode(ts.get(), Y_PRODUCTS, &code)) {
      s += El("PRDCODE", code);
      if (!m_PrdName.empty()) s += El("PRDDSC", m_PrdName);
    } else {
      s += "<PRDCODE></PRDCODE><PRDDSC></PRDDSC>";
    }
    if (m_PrdId > 0 && m_SpdId > 0)
      s += Fmt("<SPDID>%ld</SPDID>", static_cast<long>(m_SpdId));
    if (OpenTableCode(ts.get(), Y_SUBPRODS, &code)) {
      s += El("SUBPCODE", code);
      if (!m_SpdName.empty()) s += El("SPDDSC", m_SpdName);
    } else {
      s += "<SUBPCODE></SUBPCODE><SPDDSC></SPDDSC>";
    }
    Line(file, "PRD", s);
    Line(file, "WGH", Fmt("%d", m_WeightMode ? 1 : 0));
    const bool wg = m_WeightMode != 0;
    Line(file, "UNT",
         Fmt("<UNIT>%.4lf</UNIT><FRAC>%.4lf</FRAC>", wg ? m_WgUnit : m_VlUnit,
             wg ? m_WgFraction : m_VlFraction));
    s.clear();
    if (m_ClrId > 0) s += Fmt("<ID>%ld</ID>", static_cast<long>(m_ClrId));
    Line(file, "CLR", s + El("DSC", m_ClrName));
    s.clear();
    if (m_BasId > 0) {
      s += Fmt("<ID>%ld</ID>", static_cast<long>(m_BasId));
      if (withCodes) {
        bool found = false;
        s += El("CODE", LookupText(ts.get(), Y_BASES, m_BasId, "CODE",
                                   kMaxPrdCode, &found));
      }
    }
    s += El("DSC", m_BasName);
    s += Fmt("<FQ>%.3lf</FQ><FW>%.3lf</FW><FQC>%.3lf</FQC><FWC>%.3lf</FWC>",
             m_Fill_Q, m_Fill_W, m_Fill_QC, m_Fill_WC);
    Line(file, "BAS", s);
    s.clear();
    if (m_CanId > 0) s += Fmt("<ID>%ld</ID>", static_cast<long>(m_CanId));
    s += El("DSC", m_CanName);
    s +=
        Fmt("<NOMQ>%.4lf</NOMQ><WGH>%1d</WGH>", m_CanNomQ, m_CanWeight ? 1 : 0);
    Line(file, "CAN", s);
    Line(file, "LQT", Fmt("%d", m_Lqnt));
    s.clear();
    if (m_SlaveId > 0)
      s += Fmt("<SLVID>%ld</SLVID>", static_cast<long>(m_SlaveId));
    std::string frm;
    if (colorantText != nullptr) {
      frm = colorantText;
    } else {
      GetXMLDecodedFrmEx(frm, ts.get());
    }
    s += "<YFRM>" + frm + "</YFRM>";
    s += Fmt("<NOMQ0>%.4lf</NOMQ0><WGT>%1d</WGT><BASFRM>%1d</BASFRM>",
             m_FrmNomQ, m_FrmCanWeight ? 1 : 0, m_BaseLinked ? 1 : 0);
    Line(file, "FRM", s);
    if (!m_Frt.empty()) Line(file, "FRT", Esc(m_Frt));
    if (!m_Cir.empty()) Line(file, "CIR", Esc(m_Cir));
    if (!m_Barcode.empty()) Line(file, "BCD", Esc(m_Barcode));
    if (m_FrmInfo.GetNum() > 0)
      Line(file, "FRM_INF", InfoItems(m_FrmInfo, "LABEL", "CODE"));
    if (m_FrmCmInfo.GetNum() > 0)
      Line(file, "CM_INF", InfoItems(m_FrmCmInfo, "KEY", "VALUE"));
    if (m_Rfl[0] > kStructuredMin) {
      s.clear();
      for (int i = 0; i < kRfl; ++i) {
        if (m_Rfl[i] < kStructuredMin) m_Rfl[i] = kStructuredMin;
        s += Fmt(i ? "|%-.4lf" : "%-.4lf", m_Rfl[i]);
      }
      Line(file, "RFL", s);
    }
    uint32_t rgb = 0;
    if (GetRGB(&rgb, nullptr)) Line(file, "RGB", Fmt("%x", rgb));
    const char* xyz = "<X>%-.2lf</X><Y>%-.2lf</Y><Z>%-.2lf</Z>";
    if (m_X02[0] > kStructuredMin)
      Line(file, "X02", Fmt(xyz, m_X02[0], m_X02[1], m_X02[2]));
    if (m_X10[0] > kStructuredMin)
      Line(file, "X10", Fmt(xyz, m_X10[0], m_X10[1], m_X10[2]));
    if (withShop) {
      Wy_Formula copy(*this);
      Wy_ShopData d;
      copy.UpdateShopData(&d, 0);
      Line(file, "SHP",
           El("SHP1", d.m_Shop1) + El("SHP2", d.m_Shop2) +
               El("SHP3", d.m_Shop3) + El("PCID", d.m_PcId) +
               Fmt("<NPROG>%1ld</NPROG>", static_cast<long>(d.m_Nprog)) +
               El("USRID", d.m_UserId) + El("USRNAME", d.m_UserName));
    }
    if (dispenser != nullptr)
      Line(file, "DIS",
           Fmt("<ID>%d</ID>", dispenser->m_DispenserId) +
               El("DSC", dispenser->m_DispenserDescr));
    if (shop != nullptr)
      Line(file, "USR",
           El("USRID", shop->m_UserId) + El("USRNAM", shop->m_UserName));
    std::tm tm;
    LocalTime(when, &tm);
    Line(file, "TIM",
         Fmt("<DATE>%04d:%02d:%02d</DATE><TIME>%02d:%02d:%02d</TIME>",
             tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
             tm.tm_min, tm.tm_sec));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int Wy_Formula::WriteXMLEx(Wy_SeqFile* file, const char* /*ignored*/,
                           const Wy_ShopData* shop,
                           const Wy_DispenserData* dispenser,
                           const std::time_t* when, CMixtableEx* tables,
                           bool withCodes, bool withShop,
                           const char* colorantText) {
  if (file == nullptr) return 0;
  try {
    Wy_htmltag formula(file, "<FORMULA>\r\n");
    return WriteXMLExLines(file, shop, dispenser, when, tables, withCodes,
                           withShop, colorantText);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int Wy_Formula::WriteXMLExCodePercentage(
    Wy_SeqFile* file, const char* /*ignored*/, const Wy_ShopData* shop,
    const Wy_DispenserData* dispenser, const std::time_t* when,
    CMixtableEx* tables, bool withCodes, bool withShop,
    const char* colorantText, const char* codePercentText) {
  if (file == nullptr) return 0;
  try {
    if (codePercentText != nullptr) {
      file->Write(codePercentText);
    } else {
      Tables ts(tables, m_DataId);
      std::string frm;
      GetXMLDecodedFrmEx(frm, ts.get());
      file->Write(frm);
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return WriteXMLExLines(file, shop, dispenser, when, tables, withCodes,
                         withShop, colorantText);
}
