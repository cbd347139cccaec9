// mixtool formula xml|total|resize|add|sub|rgb: the formula operations and
// XML writers of Wy_Formula on formula text files.
//
// xml writes the formula into a new or existing document (type 3 by
// default) in one of the four forms and checks that the document parses.
// Each command writes its output to out and answers 0, or writes one line
// "mixtool: ..." to err and answers 1.
#ifndef TOOLS_MIXTOOL_FORMULA_XML_COMMANDS_H_
#define TOOLS_MIXTOOL_FORMULA_XML_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

class Wy_Formula;

namespace mixtool {

// Reads the formula text file (a drive or host path) into f; false with
// the reason in *why when the file cannot be read or holds no formula.
bool ReadFormula(const std::string& file, Wy_Formula* f, std::string* why);

struct FormulaXmlArgs {
  std::string file, file2, gdata;
  std::string form = "compact";  // compact, structured, percent, cans
  bool codes = false, shop = false;
  int type = 3;
  std::string out_doc = "formula.xml";
  bool weight = false, colorants_only = false, resize = false;
  double nomq = 0;
};

int FormulaXml(const FormulaXmlArgs& a, std::ostream& out, std::ostream& err);
// The total quantity.
int FormulaTotal(const FormulaXmlArgs& a, std::ostream& out, std::ostream& err);
// The formula text after ResizeFormulaToCan.
int FormulaResize(const FormulaXmlArgs& a, std::ostream& out,
                  std::ostream& err);
// The formula text of file plus (add) or minus file2.
int FormulaAddSub(const FormulaXmlArgs& a, bool add, std::ostream& out,
                  std::ostream& err);
// "rgb: xxxxxx" and "clamped: yes|no", or "rgb: none".
int FormulaRgb(const FormulaXmlArgs& a, std::ostream& out, std::ostream& err);

// Adds the six subcommands to the "formula" subcommand.
class FormulaXmlCli {
 public:
  explicit FormulaXmlCli(CLI::App* formula);
  bool parsed() const;
  int Run(std::ostream& out, std::ostream& err) const;

 private:
  CLI::App *xml_, *total_, *resize_, *add_, *sub_, *rgb_;
  FormulaXmlArgs args_;
};

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_FORMULA_XML_COMMANDS_H_
