// HFormula's text writer: the pieces from "@RUN" to "@END", with texts
// made safe for the reader (double quotes become apostrophes, line ends and
// NUL bytes blanks) and numbers printed with a point whatever the locale.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>

#include "mixtable/hformula.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

// ---- writer
// ------------------------------------------------------------------

namespace {

// printf's "%.<d>lf" with a point; non-finite values print as 0.
std::string Fixed(double v, int d) {
  if (!std::isfinite(v)) v = 0.0;
  std::string out(32, '\0');
  for (;;) {
    auto r = std::to_chars(out.data(), out.data() + out.size(), v,
                           std::chars_format::fixed, d);
    if (r.ec == std::errc()) {
      out.resize(r.ptr - out.data());
      return out;
    }
    out.resize(out.size() * 2);
  }
}

// A text as the reader gives it back: a double quote would end the quoted
// token, a line end or NUL would end the line.
std::string Safe(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c == '"') c = '\'';
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + Safe(s) + "\" "; }

std::string Id(long long v) { return "#" + std::to_string(v) + "   "; }

std::string Flag(int v) { return v != 0 ? "$1$  " : "$0$  "; }

std::string Curve(const double* v, int n) {
  std::string s;
  for (int k = 0; k < n; ++k)
    s += Fixed(v[k], std::isfinite(v[k]) && v[k] >= 0.00001 ? 4 : 1) + " ";
  return s;
}

}  // namespace

std::string HFormula::WriteText(const char* cntText) {
  std::string s = "\n\n@RUN   ";
  s += "\n@GDT   #" + std::to_string(m_DataId) + "   " + Quoted(m_DataIdText);
  s += "\n@SRC   ";
  if (m_Source >= 0 && m_Source < 9) {
    if (m_RemoteSource.empty())
      s += std::to_string(m_Source) + "   ";
    else
      s += std::to_string(m_Source) + "  " + Quoted(m_RemoteSource);
  }
  s += "\n@PRD   ";
  if (m_PrdId > 0) s += Id(m_PrdId);
  s += Quoted(m_PrdName);
  if (m_SpdId > 0) s += Id(m_SpdId);
  s += Quoted(m_SpdName);
  s += "\n@WGH   ";
  s += m_WeightMode != 0 ? "1   " : "0   ";
  s += "\n@UNT   ";
  double unit = m_WeightMode != 0 ? m_WgUnit : m_VlUnit;
  double fraction = m_WeightMode != 0 ? m_WgFraction : m_VlFraction;
  if (!std::isfinite(unit)) unit = 0.0;
  if (!std::isfinite(fraction)) fraction = 0.0;
  // A lone fraction would read back as the unit: the unit is then written
  // as 0.
  if (unit != 0 || fraction != 0) s += Fixed(unit, 4) + "  ";
  if (fraction != 0) s += Fixed(fraction, 4) + "  ";
  s += "\n@CLR   ";
  if (m_ClrId > 0) s += Id(m_ClrId);
  s += Quoted(m_ClrName);
  s += "\n@BAS   ";
  if (m_BasId > 0) s += Id(m_BasId);
  s += Quoted(m_BasName);
  double* fills[] = {&m_Fill_Q, &m_Fill_W, &m_Fill_QC, &m_Fill_WC, &m_Spec_W};
  for (int k = 0; k < 5; ++k) {
    if (!(*fills[k] > 0)) *fills[k] = 0.0;
    s += Fixed(*fills[k], k < 4 ? 7 : 3) + "  ";
  }
  s += "\n@CAN   ";
  if (m_CanId > 0) s += Id(m_CanId);
  s += Quoted(m_CanName);
  if (m_CanNomQ != 0) s += Fixed(m_CanNomQ, 4) + "  ";
  s += Flag(m_CanWeight);
  s += "\n@LQT   " + std::to_string(m_Lqnt) + "  ";
  s += "\n@FRM   ";
  if (m_SlaveId > 0) s += Id(m_SlaveId);
  if (cntText == nullptr) s += Quoted(m_Frm);
  if (m_FrmNomQ != 0) {
    s += Fixed(m_FrmNomQ, 4) + "  ";
    s += Flag(m_FrmCanWeight);
    s += Flag(m_BaseLinked);
  }
  s += "\n@FRT   " + Quoted(m_Frt);
  s += "\n@CIR   " + Quoted(m_Cir);
  if (cntText != nullptr || !m_Cnt.empty()) {
    std::string cnt = cntText != nullptr ? std::string(cntText) : m_Cnt;
    for (char& c : cnt)
      if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    s += "\n@CNT   " + cnt + "  ";
  }
  s += "\n@BFM   ";
  if (m_BaseFrmId > 0) s += Id(m_BaseFrmId);
  s += Quoted(m_BaseFrm) + Flag(m_BaseFrmWeight) + Flag(m_BaseDispensable);
  s += "\n@SUB   ";
  if (m_Sub.GetID() > 0) s += Id(m_Sub.GetID());
  if (m_Sub.GetID() != 0 && m_Sub.HasCustomColor()) {
    s += "\n@SBC   " + Quoted(m_Sub.m_CustomName) +
         Curve(m_Sub.m_CustomRefl, Wy_Substrate::kReflectances);
  }
  if (!m_Barcode.empty()) s += "\n@BCD   \"" + Safe(m_Barcode) + "\"";
  for (int pass = 0; pass < 2; ++pass) {
    const Wy_FrmInfo& info = pass == 0 ? m_FrmInfo : m_FrmCmInfo;
    for (int k = 0; k < info.GetNum(); ++k) {
      s += pass == 0 ? "\n@INF   " : "\n@CMI   ";
      s += "#" + std::to_string(info.GetNum(k)) + " " +
           Quoted(info.GetLabel(k)) + Quoted(info.GetValue(k));
    }
  }
  s += "\n@RFL   " + Curve(m_Rfl, kRfl);
  s += "\n@X02   " + Fixed(m_X02[0], 2) + " " + Fixed(m_X02[1], 2) + " " +
       Fixed(m_X02[2], 2);
  s += "\n@X10   " + Fixed(m_X10[0], 2) + " " + Fixed(m_X10[1], 2) + " " +
       Fixed(m_X10[2], 2);
  for (int k = 0; k < m_NLevels && k < kLevels; ++k) {
    s += "\n@LEV   ";
    if (m_Levels[k].m_Id > 0) s += "#" + std::to_string(m_Levels[k].m_Id) + " ";
    s += "\t \"" + Safe(m_Levels[k].m_Text) + "\"";
  }
  s += "\n@SHP   " + Quoted(m_Shp);
  s += "\n@END   ";
  return s;
}

int HFormula::Write(FILE* file, const char* cntText) {
  if (file == nullptr) {
    Wy_Trace("HFormula::Write failed.\n");
    return 0;
  }
  std::string text = WriteText(cntText);
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return 0;
  return std::fflush(file) == 0 ? 1 : 0;
}

int HFormula::Py_Write(const char* path, const char* /*cntText*/) {
  if (path == nullptr) return 0;
  std::string host;
  if (!platform::Env::Current()->HostPath(path, &host).ok()) return 0;
  // Binary: the same bytes on every host (no CR added on Windows).
  FILE* f = std::fopen(host.c_str(), "wb");
  if (f == nullptr) return 0;
  int ok = Write(f, nullptr);
  if (std::fclose(f) != 0) ok = 0;
  return ok;
}
