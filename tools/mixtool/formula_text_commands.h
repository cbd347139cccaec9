// mixtool formula read|resolve|write|get|cnt|diff|qty: formula texts as the
// tables library reads, resolves, writes and computes them.
//
// A data set (--gdata) is a catalogued data id (all digits) or a data-set
// directory (Windows-style or host path); without it, resolve uses the
// text's "@GDT" id. Texts go to the terminal in UTF-8 (formula texts and
// names are in the ANSI code page); texts written to a file (-o) keep their
// bytes. Each command writes its output to out and answers 0, or writes one
// line "mixtool: ..." to err and answers 1; resolve answers 2 when the
// resolved formula's Status is below 3 (an incomplete formula).

#ifndef TOOLS_MIXTOOL_FORMULA_TEXT_COMMANDS_H_
#define TOOLS_MIXTOOL_FORMULA_TEXT_COMMANDS_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>

namespace mixtool {

// TxtRead of file: every member that differs from its default as
// "name: value", then "status: N".
int FormulaRead(const std::string& file, std::ostream& out, std::ostream& err);
// TxtRead, then resolution against gdata (or the text's data id): the
// members that differ from their defaults, "status: N", "statusex: 0x..."
// and "cnt message: ...".
int FormulaResolve(const std::string& file, const std::string& gdata,
                   std::ostream& out, std::ostream& err);
// The text Write produces from file (resolved first when gdata is not
// empty), to out_file when not empty, else to out.
int FormulaWrite(const std::string& file, const std::string& gdata,
                 const std::string& out_file, std::ostream& out,
                 std::ostream& err);
// Defrieze then Frieze of formula clr (of ARCHIVE when custom, else of FRM
// of product prd / sub-product spd), written as text.
int FormulaGet(const std::string& gdata, int32_t clr, int32_t prd, int32_t spd,
               bool custom, std::ostream& out, std::ostream& err);
// ParseCntString of list (UTF-8) against gdata: the formula text, or the
// list's message.
int FormulaCnt(const std::string& gdata, const std::string& list,
               std::ostream& out, std::ostream& err);
// GetFrd of file: the correction difference text.
int FormulaDiff(const std::string& file, std::ostream& out, std::ostream& err);

// Formula-text arithmetic: resize from -> to, then += add, then -= sub.
struct QtyArgs {
  std::string text;
  bool resize = false;
  double from = 0, to = 0;
  std::string add, sub;
  int decimals = 7;
  bool exponent = false;
};
// The resulting text, then "pairs: N".
int FormulaQty(const QtyArgs& args, std::ostream& out, std::ostream& err);

// The "formula" subcommand and its seven subcommands on app; Run executes
// the one that was parsed.
class FormulaTextCli {
 public:
  explicit FormulaTextCli(CLI::App& app);
  bool parsed() const { return formula_->parsed(); }
  CLI::App* app() const { return formula_; }  // for more subcommands
  int Run(std::ostream& out, std::ostream& err) const;

 private:
  CLI::App* formula_;
  CLI::App *read_, *resolve_, *write_, *get_, *cnt_, *diff_, *qty_;
  std::string file_, gdata_, out_file_, list_;
  int32_t clr_ = 0, prd_ = 0, spd_ = 0;
  bool custom_ = false;
  std::vector<double> resize_;
  QtyArgs qty_args_;
};

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_FORMULA_TEXT_COMMANDS_H_
