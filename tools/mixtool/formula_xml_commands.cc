// mixtool formula xml|total|resize|add|sub|rgb.

#include "formula_xml_commands.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_sax.h"
#include "mixtable/wy_xml_file.h"
#include "platform/env.h"

namespace mixtool {

namespace {

// Whether this build parses XML at all: a build without a parser answers
// every parse as unreadable, even of a sound document in memory.
bool XmlParserAtHand() {
  static const char kDoc[] = "<a/>";
  return Wy_SAXParseMemory(kDoc, sizeof kDoc - 1, nullptr, nullptr, nullptr) !=
         kWySaxCannotRead;
}

}  // namespace

bool ReadFormula(const std::string& file, Wy_Formula* f, std::string* why) {
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
  if (!ok) *why = file + ": no formula text";
  return ok != 0;
}

namespace {

int Fail(std::ostream& err, const std::string& why) {
  err << "mixtool: " << why << "\n";
  return 1;
}

// A table set for gdata (a data id of digits or a directory); without
// gdata, one at the formula's data id.
std::unique_ptr<CMixtableEx> Tables(const std::string& gdata,
                                    const Wy_Formula& f, std::string* why) {
  auto ts = std::make_unique<CMixtableEx>();
  if (gdata.empty()) {
    ts->SetDataId(f.m_DataId);
    return ts;
  }
  if (gdata.find_first_not_of("0123456789") == std::string::npos &&
      gdata.size() <= 10) {
    const unsigned long id = std::strtoul(gdata.c_str(), nullptr, 10);
    if (id > 0xFFFFFFFFul) {
      *why = "data id " + gdata + " is out of range";
      return nullptr;
    }
    ts->SetDataId(static_cast<uint32_t>(id));
    return ts;
  }
  if (!platform::Env::Current()->FileExists(gdata)) {
    *why = "no data set at " + gdata;
    return nullptr;
  }
  ts->SetDataDir(gdata.c_str());
  return ts;
}

}  // namespace

int FormulaXml(const FormulaXmlArgs& a, std::ostream& out, std::ostream& err) {
  Wy_Formula f;
  std::string why;
  if (!ReadFormula(a.file, &f, &why)) return Fail(err, why);
  std::unique_ptr<CMixtableEx> ts = Tables(a.gdata, f, &why);
  if (!ts) return Fail(err, why);
  if (a.form != "compact" && a.form != "structured" && a.form != "percent" &&
      a.form != "cans")
    return Fail(err, "unknown form " + a.form);
  Wy_ShopData shop;
  if (a.shop) f.UpdateShopData(&shop, 0);
  Wy_XmlFile doc(a.type, a.shop ? &shop : nullptr);
  if (!doc.SetFileName(a.out_doc, true))
    return Fail(err, a.out_doc + ": not a usable name");
  Wy_SeqFile* h = doc.GetFileHandle();
  if (h == nullptr)
    return Fail(err, a.out_doc + ": cannot be opened as a document of type " +
                         std::to_string(a.type));
  int r;
  const Wy_ShopData* s = a.shop ? &shop : nullptr;
  if (a.form == "compact") {
    r = f.WriteXML(h, nullptr, s, nullptr, nullptr, ts.get());
  } else if (a.form == "structured") {
    r = f.WriteXMLEx(h, nullptr, s, nullptr, nullptr, ts.get(), a.codes, a.shop,
                     nullptr);
  } else if (a.form == "percent") {
    r = f.WriteXMLExCodePercentage(h, nullptr, s, nullptr, nullptr, ts.get(),
                                   a.codes, a.shop, nullptr, nullptr);
  } else {
    r = f.WriteXMLFormulaAndCansList(h, s, nullptr);
  }
  if (!doc.CloseFileHandle() || !r)
    return Fail(err, a.out_doc + ": could not be written");
  const int parsed = Wy_SAXParse(a.out_doc.c_str(), nullptr, nullptr, nullptr);
  if (parsed == kWySaxCannotRead && !XmlParserAtHand()) {
    // A build without an XML parser (Windows) writes the document as
    // everywhere but cannot read it back.
    out << a.out_doc << ": " << a.form
        << " formula written, not checked (no XML parser at hand)\n";
    return 0;
  }
  if (parsed != 0)
    return Fail(err, a.out_doc + ": does not parse (error " +
                         std::to_string(parsed) + ")");
  out << a.out_doc << ": " << a.form << " formula written, document parses\n";
  return 0;
}

int FormulaTotal(const FormulaXmlArgs& a, std::ostream& out,
                 std::ostream& err) {
  Wy_Formula f;
  std::string why;
  if (!ReadFormula(a.file, &f, &why)) return Fail(err, why);
  std::unique_ptr<CMixtableEx> ts = Tables(a.gdata, f, &why);
  if (!ts) return Fail(err, why);
  const double t =
      f.CalcolateTotalQuantity(&ts->Mixtable(), a.weight, a.colorants_only);
  if (t < 0)
    return Fail(err,
                "no total: units not set, or a colorant or its specific "
                "weight missing");
  char buf[64];
  snprintf(buf, sizeof buf, "%.4f", t);
  out << "total: " << buf << (a.weight ? " (weight)" : " (volume)") << "\n";
  return 0;
}

int FormulaResize(const FormulaXmlArgs& a, std::ostream& out,
                  std::ostream& err) {
  Wy_Formula f;
  std::string why;
  if (!ReadFormula(a.file, &f, &why)) return Fail(err, why);
  if (!(a.nomq > 0)) return Fail(err, "--nomq must be above 0");
  if (!ResizeFormulaToCan(&f, nullptr, a.nomq, a.weight ? 1 : 0))
    return Fail(err, "the formula cannot be resized to that can");
  out << f.WriteText(nullptr);
  return 0;
}

int FormulaAddSub(const FormulaXmlArgs& a, bool add, std::ostream& out,
                  std::ostream& err) {
  Wy_Formula f, g;
  std::string why;
  if (!ReadFormula(a.file, &f, &why) || !ReadFormula(a.file2, &g, &why))
    return Fail(err, why);
  const bool ok =
      add ? f.SumAformula(g, a.resize) : f.SubtractAformula(g, a.resize);
  if (!ok)
    return Fail(err, add ? "the formulas cannot be added"
                         : "the formulas cannot be subtracted");
  out << f.WriteText(nullptr);
  return 0;
}

int FormulaRgb(const FormulaXmlArgs& a, std::ostream& out, std::ostream& err) {
  Wy_Formula f;
  std::string why;
  if (!ReadFormula(a.file, &f, &why)) return Fail(err, why);
  uint32_t rgb = 0;
  bool noClamp = true;
  if (!f.GetRGB(&rgb, &noClamp)) {
    out << "rgb: none\n";
    return 0;
  }
  char buf[16];
  snprintf(buf, sizeof buf, "%06x", rgb);
  out << "rgb: " << buf << "\nclamped: " << (noClamp ? "no" : "yes") << "\n";
  return 0;
}

FormulaXmlCli::FormulaXmlCli(CLI::App* formula) {
  xml_ =
      formula->add_subcommand("xml", "write the formula into an XML document");
  xml_->add_option("file", args_.file, "formula text file")->required();
  xml_->add_option("--form", args_.form, "compact|structured|percent|cans")
      ->check(CLI::IsMember({"compact", "structured", "percent", "cans"}));
  xml_->add_flag("--codes", args_.codes, "the base's code too");
  xml_->add_flag("--shop", args_.shop, "the shop data of the formula");
  xml_->add_option("--type", args_.type, "document type 1 to 8 (default 3)")
      ->check(CLI::Range(1, 8));
  xml_->add_option("--out", args_.out_doc, "document (default formula.xml)");
  xml_->add_option("--gdata", args_.gdata,
                   "a catalogued data id or a data-set directory");
  total_ = formula->add_subcommand("total", "the total quantity");
  total_->add_option("file", args_.file, "formula text file")->required();
  total_->add_flag("--weight", args_.weight, "as weight");
  total_->add_flag("--colorants-only", args_.colorants_only, "without base");
  total_->add_option("--gdata", args_.gdata, "data id or directory");
  resize_ = formula->add_subcommand("resize", "resize to a can");
  resize_->add_option("file", args_.file, "formula text file")->required();
  resize_->add_option("--nomq", args_.nomq, "nominal quantity")->required();
  resize_->add_flag("--weight", args_.weight, "a can measured by weight");
  add_ = formula->add_subcommand("add", "the sum of two formulas");
  sub_ = formula->add_subcommand("sub", "the difference of two formulas");
  for (CLI::App* c : {add_, sub_}) {
    c->add_option("file", args_.file, "formula text file")->required();
    c->add_option("file2", args_.file2, "the other formula")->required();
    c->add_flag("--resize", args_.resize, "resize the other to this can");
  }
  rgb_ = formula->add_subcommand("rgb", "the formula's colour");
  rgb_->add_option("file", args_.file, "formula text file")->required();
}

bool FormulaXmlCli::parsed() const {
  return xml_->parsed() || total_->parsed() || resize_->parsed() ||
         add_->parsed() || sub_->parsed() || rgb_->parsed();
}

int FormulaXmlCli::Run(std::ostream& out, std::ostream& err) const {
  if (xml_->parsed()) return FormulaXml(args_, out, err);
  if (total_->parsed()) return FormulaTotal(args_, out, err);
  if (resize_->parsed()) return FormulaResize(args_, out, err);
  if (add_->parsed()) return FormulaAddSub(args_, true, out, err);
  if (sub_->parsed()) return FormulaAddSub(args_, false, out, err);
  if (rgb_->parsed()) return FormulaRgb(args_, out, err);
  return Fail(err, "formula: no command");
}

}  // namespace mixtool
