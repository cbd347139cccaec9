// HFormula's text reader: the line reader with its token scanner and tag
// scanners.
//
// A line is "@TAG" (four characters, any letter case) and arguments from the
// fifth character. Arguments split into tokens: white space and bytes >=
// 0x80 between tokens are skipped; a token starting with a double quote runs
// to the next double quote (or the line end), any other to the next white
// space. The first character classifies a token: '"' text, '#' id, '$' flag,
// '%' percentage, a digit or '-' number, anything else text.

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/quantity_format.h"

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
