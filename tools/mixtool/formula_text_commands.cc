// mixtool formula read|resolve|write|get|cnt|diff|qty.

#include "formula_text_commands.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_frm.h"
#include "mixtable/yformula.h"
#include "platform/codepage.h"
#include "platform/env.h"

namespace mixtool {

namespace {

// Formula texts and names as the terminal shows them.
std::string Utf8(const std::string& ansi) {
  return platform::CodePageToUtf8(ansi, platform::AnsiCodePage());
}

int Fail(std::ostream& err, const std::string& why) {
  err << "mixtool: " << why << "\n";
  return 1;
}

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Points ts at a catalogued id or a directory; false with the reason.
bool OpenDataSet(const std::string& gdata, CMixtableEx& ts, std::string* why) {
  if (AllDigits(gdata)) {
    const unsigned long id = std::strtoul(gdata.c_str(), nullptr, 10);
    if (id > 0xFFFFFFFFul) {
      *why = "data id " + gdata + " is out of range";
      return false;
    }
    ts.SetDataId(static_cast<uint32_t>(id));
    if (ts.GetDataDir().empty()) {
      *why = "data id " + gdata + " is not catalogued";
      return false;
    }
    return true;
  }
  if (!platform::Env::Current()->FileExists(gdata)) {
    *why = "no data set at " + gdata;
    return false;
  }
  ts.SetDataDir(gdata.c_str());
  return true;
}

// Reads a formula text file into f.
bool ReadFile(const std::string& file, HFormula* f, std::string* why) {
  std::string host;
  if (!platform::Env::Current()->HostPath(file, &host).ok()) {
    *why = file + ": not a usable path";
    return false;
  }
  FILE* in = std::fopen(host.c_str(), "rb");
  if (in == nullptr) {
    *why = file + ": cannot be opened";
    return false;
  }
  const int ok = f->TxtRead(in);
  std::fclose(in);
  if (!ok) {
    *why = file + ": no formula text";
    return false;
  }
  return true;
}

// Resolves f against gdata (or its own data id when gdata is empty).
bool Resolve(HFormula* f, const std::string& gdata, CMixtableEx& ts,
             std::string* why) {
  if (gdata.empty()) {
    ts.SetDataId(f->m_DataId);
    if (ts.GetDataDir().empty()) {
      *why = "data id " + std::to_string(f->m_DataId) + " is not catalogued";
      return false;
    }
  } else if (!OpenDataSet(gdata, ts, why)) {
    return false;
  } else if (AllDigits(gdata)) {
    f->m_DataId = ts.GetDataId();
  }
  f->Resolve(&ts.Mixtable());
  return true;
}

// The lines of the formula's listing that differ from a default formula's.
void PrintMembers(const HFormula& f, std::ostream& out) {
  std::multiset<std::string> defaults;
  {
    std::istringstream in(HFormula().DumpText());
    for (std::string line; std::getline(in, line);) defaults.insert(line);
  }
  std::istringstream in(f.DumpText());
  for (std::string line; std::getline(in, line);) {
    auto it = defaults.find(line);
    if (it != defaults.end()) {
      defaults.erase(it);
      continue;
    }
    out << Utf8(line) << "\n";
  }
}

}  // namespace

int FormulaRead(const std::string& file, std::ostream& out, std::ostream& err) {
  HFormula f;
  std::string why;
  if (!ReadFile(file, &f, &why)) return Fail(err, why);
  PrintMembers(f, out);
  out << "status: " << f.Status() << "\n";
  return 0;
}

int FormulaResolve(const std::string& file, const std::string& gdata,
                   std::ostream& out, std::ostream& err) {
  HFormula f;
  CMixtableEx ts;
  std::string why;
  if (!ReadFile(file, &f, &why) || !Resolve(&f, gdata, ts, &why))
    return Fail(err, why);
  PrintMembers(f, out);
  const int status = f.Status();
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", f.StatusEx(0, &ts.Mixtable()));
  out << "status: " << status << "\n";
  out << "statusex: " << hex << "\n";
  out << "cnt message: " << f.LastCntMessage() << "\n";
  return status < 3 ? 2 : 0;
}

int FormulaWrite(const std::string& file, const std::string& gdata,
                 const std::string& out_file, std::ostream& out,
                 std::ostream& err) {
  HFormula f;
  CMixtableEx ts;
  std::string why;
  if (!ReadFile(file, &f, &why)) return Fail(err, why);
  if (!gdata.empty() && !Resolve(&f, gdata, ts, &why)) return Fail(err, why);
  if (out_file.empty()) {
    out << Utf8(f.WriteText(nullptr));
    return 0;
  }
  std::string host;
  if (!platform::Env::Current()->HostPath(out_file, &host).ok())
    return Fail(err, out_file + ": not a usable path");
  FILE* o = std::fopen(host.c_str(), "wb");
  if (o == nullptr) return Fail(err, out_file + ": cannot be created");
  int ok = f.Write(o, nullptr);
  if (std::fclose(o) != 0) ok = 0;
  if (!ok) return Fail(err, out_file + ": cannot be written");
  return 0;
}

int FormulaGet(const std::string& gdata, int32_t clr, int32_t prd, int32_t spd,
               bool custom, std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  std::string why;
  if (!OpenDataSet(gdata, ts, &why)) return Fail(err, why);
  if (clr <= 0) return Fail(err, "--clr needs a formula id above 0");
  if ((prd > 0) != (spd > 0)) return Fail(err, "--prd and --spd go together");
  HFormula f;
  f.m_DataId = ts.GetDataId();
  f.m_ClrId = clr;
  f.m_PrdId = prd;
  f.m_SpdId = spd;
  f.m_Source = custom ? HF_SOURCE_CUSTOM : HF_SOURCE_STANDARD;
  if (!f.Defrieze(&ts.Mixtable())) {
    ts.CloseAll();
    return Fail(err, std::string(custom ? "archive formula " : "formula ") +
                         std::to_string(clr) +
                         (prd > 0 ? " of product " + std::to_string(prd) +
                                        " / " + std::to_string(spd)
                                  : std::string()) +
                         " not found");
  }
  HFormula g;
  g.m_Source = f.m_Source;
  g.Frieze(&ts.Mixtable());
  ts.CloseAll();
  out << Utf8(g.WriteText(nullptr));
  return 0;
}

int FormulaCnt(const std::string& gdata, const std::string& list,
               std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  std::string why;
  if (!OpenDataSet(gdata, ts, &why)) return Fail(err, why);
  HFormula f;
  const std::string ansi =
      platform::Utf8ToCodePage(list, platform::AnsiCodePage());
  if (!f.ParseCntString(&ts.Mixtable(), ansi.c_str()))
    return Fail(err, f.LastCntMessage());
  out << Utf8(f.m_Frm) << "\n";
  return 0;
}

int FormulaDiff(const std::string& file, std::ostream& out, std::ostream& err) {
  HFormula f;
  std::string why;
  if (!ReadFile(file, &f, &why)) return Fail(err, why);
  std::string text;
  if (!f.GetFrd(&text, nullptr))
    return Fail(err, file +
                         ": the corrected text does not contain the formula "
                         "(a colorant missing or reduced)");
  out << text << "\n";
  return 0;
}

int FormulaQty(const QtyArgs& a, std::ostream& out, std::ostream& err) {
  Wy_Frm frm;
  frm.m_Frm.set(a.text);
  if (frm.m_Frm.count() < 0) return Fail(err, "malformed formula text");
  if (a.resize &&
      !frm.m_Frm.resize(a.from, a.to, a.decimals, a.exponent ? 1 : 0))
    return Fail(err, "cannot resize from " + std::to_string(a.from) + " to " +
                         std::to_string(a.to));
  for (int pass = 0; pass < 2; ++pass) {
    const std::string& t = pass == 0 ? a.add : a.sub;
    if (t.empty()) continue;
    Wy_Frm other;
    other.m_Frm.set(t);
    if (other.m_Frm.count() < 0)
      return Fail(err, std::string("malformed text to ") +
                           (pass == 0 ? "add" : "subtract"));
    if (pass == 0)
      frm += other;
    else
      frm -= other;
  }
  out << frm.m_Frm.get() << "\n";
  out << "pairs: " << frm.m_Frm.count() << "\n";
  return 0;
}

FormulaTextCli::FormulaTextCli(CLI::App& app) {
  formula_ = app.add_subcommand(
      "formula",
      "formula texts: read, resolve, write, capture, colorant "
      "lists, corrections and quantities");
  formula_->require_subcommand(1);
  auto gdata_opt = [this](CLI::App* c, bool required) {
    CLI::Option* o = c->add_option(
        "--gdata", gdata_, "a catalogued data id or a data-set directory");
    if (required) o->required();
  };
  read_ = formula_->add_subcommand("read", "the members a text sets");
  read_->add_option("file", file_, "formula text file")->required();
  resolve_ = formula_->add_subcommand(
      "resolve", "the members after resolution against the tables");
  resolve_->add_option("file", file_, "formula text file")->required();
  gdata_opt(resolve_, false);
  write_ =
      formula_->add_subcommand("write", "the text as the library writes it");
  write_->add_option("file", file_, "formula text file")->required();
  gdata_opt(write_, false);
  write_->add_option("-o", out_file_, "write to this file");
  get_ = formula_->add_subcommand("get", "a stored formula as text");
  gdata_opt(get_, true);
  get_->add_option("--clr", clr_, "formula id")->required();
  get_->add_option("--prd", prd_, "product id");
  get_->add_option("--spd", spd_, "sub-product id");
  get_->add_flag("--custom", custom_, "an archive formula");
  cnt_ = formula_->add_subcommand("cnt", "a colorant list as formula text");
  gdata_opt(cnt_, true);
  cnt_->add_option("list", list_, "colorant list")->required();
  diff_ = formula_->add_subcommand("diff", "the correction difference");
  diff_->add_option("file", file_, "formula text file")->required();
  qty_ = formula_->add_subcommand("qty", "formula-text arithmetic");
  qty_->add_option("text", qty_args_.text, "formula text")->required();
  qty_->add_option("--resize", resize_, "FROM TO")->expected(2);
  qty_->add_option("--add", qty_args_.add, "text to add");
  qty_->add_option("--sub", qty_args_.sub, "text to subtract");
  qty_->add_option("--decimals", qty_args_.decimals, "decimals (default 7)");
  qty_->add_flag("--exp", qty_args_.exponent, "exponent form");
}

int FormulaTextCli::Run(std::ostream& out, std::ostream& err) const {
  if (read_->parsed()) return FormulaRead(file_, out, err);
  if (resolve_->parsed()) return FormulaResolve(file_, gdata_, out, err);
  if (write_->parsed()) return FormulaWrite(file_, gdata_, out_file_, out, err);
  if (get_->parsed())
    return FormulaGet(gdata_, clr_, prd_, spd_, custom_, out, err);
  if (cnt_->parsed()) return FormulaCnt(gdata_, list_, out, err);
  if (diff_->parsed()) return FormulaDiff(file_, out, err);
  if (qty_->parsed()) {
    QtyArgs a = qty_args_;
    if (resize_.size() == 2) {
      a.resize = true;
      a.from = resize_[0];
      a.to = resize_[1];
    }
    return FormulaQty(a, out, err);
  }
  return Fail(err, "formula: no command");
}

}  // namespace mixtool
