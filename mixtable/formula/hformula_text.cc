// HFormula's text: the line reader with its token scanner and tag scanners,
// and the writer.
//
// A line is "@TAG" (four characters, any letter case) and arguments from the
// fifth character. Arguments split into tokens: white space and bytes >=
// 0x80 between tokens are skipped; a token starting with a double quote runs
// to the next double quote (or the line end), any other to the next white
// space. The first character classifies a token: '"' text, '#' id, '$' flag,
// '%' percentage, a digit or '-' number, anything else text.

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/quantity_format.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

// ---- tokens ----------------------------------------------------------------

enum TokenClass { kText, kId, kFlag, kPercent, kNumber };

struct Token {
  TokenClass cls;
  std::string text;  // kText: the characters; otherwise the raw token
  double value = 0.0;
};

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

std::vector<Token> Tokenize(const char* p, size_t n) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (IsSpace(c) || c >= 0x80) {
      ++i;
      continue;
    }
    Token t;
    if (c == '"') {
      size_t end = i + 1;
      while (end < n && p[end] != '"') ++end;
      t.cls = kText;
      t.text.assign(p + i + 1, end - i - 1);
      i = end < n ? end + 1 : n;
      out.push_back(std::move(t));
      continue;
    }
    size_t end = i;
    while (end < n && !IsSpace(static_cast<unsigned char>(p[end]))) ++end;
    const char* s = p + i;
    size_t len = end - i;
    i = end;
    t.text.assign(s, len);
    if (c == '#') {
      t.cls = kId;
      t.value = Wy_ReadDouble(s + 1, len - 1);
    } else if (c == '$') {
      t.cls = kFlag;
      const char* dot = static_cast<const char*>(std::memchr(s, '.', len));
      size_t flen = (dot != nullptr ? static_cast<size_t>(dot - s) : len) - 1;
      t.value = Wy_ReadDouble(s + 1, flen);
    } else if (c == '%') {
      t.cls = kPercent;
      t.value = Wy_ReadDouble(s + 1, len - 1);
    } else if ((c >= '0' && c <= '9') || c == '-') {
      t.cls = kNumber;
      t.value = Wy_ReadDouble(s, len);
    } else {
      t.cls = kText;
    }
    out.push_back(std::move(t));
  }
  return out;
}

// Integer conversions: the integer part when it lies in the range, else
// false (the member keeps its value).
bool ToInt(double v, int32_t* out) {
  if (!std::isfinite(v)) return false;
  double t = std::trunc(v);
  if (t < std::numeric_limits<int32_t>::min() ||
      t > std::numeric_limits<int32_t>::max())
    return false;
  *out = static_cast<int32_t>(t);
  return true;
}

bool ToUint(double v, uint32_t* out) {
  if (!std::isfinite(v)) return false;
  double t = std::trunc(v);
  if (t < 0 || t > std::numeric_limits<uint32_t>::max()) return false;
  *out = static_cast<uint32_t>(t);
  return true;
}

// Counts what a scanner stored; a line with nothing stored but something
// malformed counts -1.
struct Count {
  int stored = 0;
  bool malformed = false;
  void Int(double v, int32_t* member) {
    if (ToInt(v, member))
      ++stored;
    else
      malformed = true;
  }
  void Real(double v, double* member) {
    if (std::isfinite(v)) {
      *member = v;
      ++stored;
    } else {
      malformed = true;
    }
  }
  void Text(const std::string& v, std::string* member) {
    *member = v;
    ++stored;
  }
  int Result() const { return stored > 0 ? stored : (malformed ? -1 : 0); }
};

constexpr char kTags[][5] = {"@SRC", "@GDT", "@PRD", "@UNT", "@CLR", "@BAS",
                             "@CNT", "@CNX", "@CAN", "@FRM", "@FRT", "@CIR",
                             "@LEV", "@WGH", "@RFL", "@X02", "@X10", "@LQT",
                             "@LOG", "@SHP", "@BFM", "@SUB", "@SBC", "@BCD",
                             "@INF", "@CMI", "@SHL", "@PNC", "@END"};

int TagIndex(const char* line, size_t n) {
  if (n < 4) return -1;
  for (size_t k = 0; k < sizeof(kTags) / sizeof(kTags[0]); ++k) {
    bool same = true;
    for (int j = 0; j < 4 && same; ++j) {
      char c = line[j];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == kTags[k][j];
    }
    if (same) return static_cast<int>(k);
  }
  return -1;
}

std::string Trimmed(const char* p, size_t n) {
  auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
  };
  size_t b = 0, e = n;
  while (b < e && blank(p[b])) ++b;
  while (e > b && blank(p[e - 1])) --e;
  return std::string(p + b, e - b);
}

}  // namespace

// ---- reader
// ------------------------------------------------------------------

namespace {

// One reading pass over the lines of a text into an HFormula.
class TextReader {
 public:
  explicit TextReader(HFormula* f) : f_(f) {}

  // Feeds bytes; false once "@END" was read.
  bool Feed(const char* p, size_t n) {
    for (size_t i = 0; i < n && !ended_; ++i) {
      if (p[i] == '\n') {
        EndLine();
        continue;
      }
      if (skipping_) continue;
      if (line_.size() >= HFormula::kMaxLine) {
        skipping_ = true;
        line_.clear();
        line_.shrink_to_fit();
        continue;
      }
      line_.push_back(p[i]);
    }
    return !ended_;
  }

  int Finish() {
    if (!ended_ && (!line_.empty() || skipping_)) EndLine();
    double unit = have_unt_ ? unt_unit_ : 0.0;
    double fraction = have_unt_ ? unt_fraction_ : 0.0;
    if (f_->m_WeightMode == 1) {
      f_->m_WgUnit = unit, f_->m_WgFraction = fraction;
    } else {
      f_->m_VlUnit = unit, f_->m_VlFraction = fraction;
    }
    return result_ > 0 ? 1 : 0;
  }

 private:
  void EndLine() {
    if (!skipping_) {
      size_t n = line_.size();
      for (size_t i = 0; i < n; ++i) {
        if (line_[i] == '\r' || line_[i] == '\0') {
          n = i;
          break;
        }
      }
      HandleLine(line_.data(), n);
    }
    skipping_ = false;
    line_.clear();
  }

  void HandleLine(const char* line, size_t n) {
    int tag = TagIndex(line, n);
    if (tag < 0) return;
    if (std::memcmp(kTags[tag], "@END", 4) == 0) {
      ended_ = true;
      return;
    }
    int count = Scan(kTags[tag], line, n);
    if (result_ == 0) result_ = count;
  }

  int Scan(const char* tag, const char* line, size_t n);

  HFormula* f_;
  std::string line_;
  bool skipping_ = false;
  bool ended_ = false;
  int result_ = 0;
  bool have_unt_ = false;
  double unt_unit_ = 0.0, unt_fraction_ = 0.0;
};

int TextReader::Scan(const char* tag, const char* line, size_t n) {
  HFormula& f = *f_;
  const char* args = line + 4;
  size_t nargs = n - 4;
  auto is = [tag](const char* t) { return std::memcmp(tag, t, 4) == 0; };

  if (is("@CNT") || is("@CNX")) {
    std::string rest = Trimmed(args, nargs);
    std::string& acc = is("@CNT") ? f.m_Cnt : f.m_Cnx;
    (is("@CNT") ? f.m_CntLine : f.m_CnxLine).assign(line, n);
    if (rest.empty()) return 0;
    acc += ' ';
    acc += rest;
    return 1;
  }
  if (is("@LOG")) {
    f.m_Log.assign(args, nargs);
    return nargs > 0 ? 1 : 0;
  }

  std::vector<Token> tok = Tokenize(args, nargs);
  Count c;
  if (is("@SRC")) {
    for (const Token& t : tok) {
      int32_t v;
      if (t.cls == kNumber) {
        if (ToInt(t.value, &v) && v >= 0 && v <= 8) {
          f.m_Source = static_cast<HF_DATASOURCE_TYPE>(v);
          ++c.stored;
        } else {
          c.malformed = true;
        }
      } else if (t.cls == kText) {
        c.Text(t.text, &f.m_RemoteSource);
      }
    }
  } else if (is("@GDT")) {
    for (const Token& t : tok) {
      if (t.cls == kId) {
        if (ToUint(t.value, &f.m_DataId))
          ++c.stored;
        else
          c.malformed = true;
      } else if (t.cls == kText) {
        c.Text(t.text, &f.m_DataIdText);
      }
    }
  } else if (is("@PRD")) {
    bool text_at_0 = false;
    for (size_t k = 0; k < tok.size(); ++k) {
      const Token& t = tok[k];
      if (t.cls == kId) {
        c.Int(t.value, k == 0 ? &f.m_PrdId : &f.m_SpdId);
      } else if (t.cls == kText) {
        if (k == 0) text_at_0 = true;
        bool product = k == 0 || (k == 1 && !text_at_0);
        c.Text(t.text, product ? &f.m_PrdName : &f.m_SpdName);
      }
    }
  } else if (is("@UNT")) {
    for (size_t k = 0; k < tok.size(); ++k) {
      if (tok[k].cls != kNumber) continue;
      have_unt_ = true;
      c.Real(tok[k].value, k == 0 ? &unt_unit_ : &unt_fraction_);
    }
  } else if (is("@CLR") || is("@BAS") || is("@CAN") || is("@FRM") ||
             is("@BFM")) {
    int32_t* id = is("@CLR")   ? &f.m_ClrId
                  : is("@BAS") ? &f.m_BasId
                  : is("@CAN") ? &f.m_CanId
                  : is("@FRM") ? &f.m_SlaveId
                               : &f.m_BaseFrmId;
    std::string* text = is("@CLR")   ? &f.m_ClrName
                        : is("@BAS") ? &f.m_BasName
                        : is("@CAN") ? &f.m_CanName
                        : is("@FRM") ? &f.m_Frm
                                     : &f.m_BaseFrm;
    double* numbers[5] = {};
    int* flags[2] = {};
    if (is("@BAS")) {
      double* b[5] = {&f.m_Fill_Q, &f.m_Fill_W, &f.m_Fill_QC, &f.m_Fill_WC,
                      &f.m_Spec_W};
      std::copy(b, b + 5, numbers);
    } else if (is("@CAN")) {
      numbers[0] = &f.m_CanNomQ;
      flags[0] = &f.m_CanWeight;
    } else if (is("@FRM")) {
      numbers[0] = &f.m_FrmNomQ;
      flags[0] = &f.m_FrmCanWeight;
      flags[1] = &f.m_BaseLinked;
    } else if (is("@BFM")) {
      flags[0] = &f.m_BaseFrmWeight;
      flags[1] = &f.m_BaseDispensable;
    }
    int nnum = 0, nflag = 0;
    for (const Token& t : tok) {
      if (t.cls == kId) {
        c.Int(t.value, id);
      } else if (t.cls == kText) {
        c.Text(t.text, text);
      } else if (t.cls == kNumber) {
        // "@BAS" takes its numbers in order, "@CAN" its first, "@FRM" its
        // last.
        if (nnum < 5 && numbers[nnum] != nullptr)
          c.Real(t.value, numbers[nnum]);
        if (is("@BAS") || is("@CAN")) ++nnum;
      } else if (t.cls == kFlag) {
        if (nflag < 2 && flags[nflag] != nullptr) c.Int(t.value, flags[nflag]);
        ++nflag;
      }
    }
    if (is("@BAS") && f.m_Fill_QC > 2.220446e-16 &&
        f.m_Fill_WC > 2.220446e-16) {
      f.m_Fill_QC = 0.0;
      f.m_Fill_WC = 0.0;
    }
  } else if (is("@FRT") || is("@CIR") || is("@SHP")) {
    std::string* text = is("@FRT")   ? &f.m_Frt
                        : is("@CIR") ? &f.m_Cir
                                     : &f.m_Shp;
    for (const Token& t : tok)
      if (t.cls == kText) c.Text(t.text, text);
  } else if (is("@LEV")) {
    if (f.m_NLevels >= HFormula::kLevels || f.m_NLevels < 0) return 0;
    Wy_GdataBitmap& level = f.m_Levels[f.m_NLevels++];
    for (const Token& t : tok) {
      if (t.cls == kId) c.Int(t.value, &level.m_Id);
      if (t.cls == kText) c.Text(t.text, &level.m_Text);
    }
  } else if (is("@WGH") || is("@LQT") || is("@PNC")) {
    int* member = is("@WGH")   ? &f.m_WeightMode
                  : is("@LQT") ? &f.m_Lqnt
                               : &f.m_Pnc;
    for (const Token& t : tok)
      if (t.cls == kNumber) c.Int(t.value, member);
  } else if (is("@RFL") || is("@X02") || is("@X10") || is("@SHL")) {
    size_t want = is("@RFL") ? 16 : 3;
    if (tok.size() != want) return -1;
    double v[16];
    for (size_t k = 0; k < want; ++k) {
      int32_t x;
      bool ok = tok[k].cls == kNumber && std::isfinite(tok[k].value);
      if (ok && is("@SHL")) ok = ToInt(tok[k].value, &x);
      if (!ok) return -1;
      v[k] = tok[k].value;
    }
    if (is("@SHL")) {
      for (int k = 0; k < 3; ++k) ToInt(v[k], &f.m_ShlPos[k]);
    } else {
      double* dst = is("@RFL") ? f.m_Rfl : is("@X02") ? f.m_X02 : f.m_X10;
      std::copy(v, v + want, dst);
    }
    return static_cast<int>(want);
  } else if (is("@SUB")) {
    for (const Token& t : tok) {
      int32_t id;
      if (t.cls != kId) continue;
      if (ToInt(t.value, &id) && id > 0) {
        f.m_Sub.SetID(id);
        ++c.stored;
      } else {
        c.malformed = true;
      }
    }
  } else if (is("@SBC")) {
    std::string name;
    double v[16];
    int nv = 0;
    for (const Token& t : tok) {
      if (t.cls == kText) name = t.text;
      if (t.cls == kNumber) {
        if (nv < 16) v[nv] = t.value;
        ++nv;
      }
    }
    if (nv != 16) return -1;
    return f.m_Sub.SetCustomBackColor(name.c_str(), v) ? 17 : -1;
  } else if (is("@BCD")) {
    f.m_Barcode.clear();
    for (const Token& t : tok)
      if (t.cls == kText) c.Text(t.text, &f.m_Barcode);
  } else if (is("@INF") || is("@CMI")) {
    int32_t num = 0;
    std::string label, value;
    for (size_t k = 0; k < tok.size(); ++k) {
      const Token& t = tok[k];
      if (t.cls == kId) c.Int(t.value, &num);
      if (t.cls == kText && k == 1) c.Text(t.text, &label);
      if (t.cls == kText && k == 2) c.Text(t.text, &value);
    }
    if (num > 0)
      (is("@INF") ? f.m_FrmInfo : f.m_FrmCmInfo)
          .AddInfo(num, label.c_str(), value.c_str());
  }
  return c.Result();
}

}  // namespace

int HFormula::TxtReadText(const char* text, size_t len) {
  Clear();
  TextReader reader(this);
  if (text != nullptr) reader.Feed(text, len);
  return reader.Finish();
}

int HFormula::TxtRead(FILE* file) {
  if (file == nullptr) return 0;
  Clear();
  TextReader reader(this);
  char buf[65536];
  for (;;) {
    size_t got = std::fread(buf, 1, sizeof buf, file);
    if (got == 0) break;
    if (!reader.Feed(buf, got)) break;
  }
  return reader.Finish();
}

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
  FILE* f = std::fopen(host.c_str(), "w");
  if (f == nullptr) return 0;
  int ok = Write(f, nullptr);
  if (std::fclose(f) != 0) ok = 0;
  return ok;
}
