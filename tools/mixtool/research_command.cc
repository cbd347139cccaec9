// mixtool research.

#include "research_command.h"

#include "formula_xml_commands.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula_researcher.h"

namespace mixtool {

namespace {

int Fail(std::ostream& err, const std::string& what) {
  err << "mixtool: " << what << "\n";
  return 1;
}

// Reads and resolves the target; false with the reason in *why.
bool ReadTarget(const std::string& file, Wy_Formula* f, std::string* why) {
  if (!ReadFormula(file, f, why)) return false;
  if (f->m_DataId == 0) {
    *why = file + ": the formula names no data set (@GDT)";
    return false;
  }
  CMixtableEx ts;
  ts.SetDataId(f->m_DataId);
  if (ts.GetDataDir().empty()) {
    *why = "data id " + std::to_string(f->m_DataId) + " is not catalogued";
    return false;
  }
  f->Resolve(&ts.Mixtable());
  if (f->m_BasId <= 0 && f->m_BaseFrm.empty()) {
    *why = file + ": the formula has no base";
    return false;
  }
  if (!(f->m_CanNomQ > 0)) {
    *why = file + ": the formula has no can";
    return false;
  }
  return true;
}

}  // namespace

CLI::App* AddResearchCommand(CLI::App& app, ResearchArgs* a) {
  CLI::App* c = app.add_subcommand(
      "research",
      "the stored batches that can be recycled into a formula, with the "
      "share of the formula and of the batch they cover");
  c->add_option("FILE", a->file, "the target formula (@-tag text)")->required();
  c->add_option("--cans", a->cans, "number of cans (default 1)");
  c->add_option("--batch", a->batch, "only this absolute batch id");
  c->add_option("--inventory", a->inventory,
                "the inventory directory (default: the local directory)");
  CLI::Option* trace =
      c->add_option("--trace", a->trace, "write the research trace to FILE");
  c->add_flag("--no-trace", a->no_trace, "write no research trace")
      ->excludes(trace);
  return c;
}

int Research(const ResearchArgs& a, std::ostream& out, std::ostream& err) {
  if (a.cans < 1) return Fail(err, "--cans must be 1 or more");
  if (a.batch < 0) return Fail(err, "--batch must be an absolute batch id");
  Wy_Formula target;
  std::string why;
  if (!ReadTarget(a.file, &target, &why)) return Fail(err, why);
  CWy_FormulaResearcher researcher(a.inventory.c_str());
  if (!researcher.IsReady()) return Fail(err, "the inventory cannot be opened");
  if (a.no_trace) {
    researcher.SetTraceFile("");
  } else if (!a.trace.empty()) {
    researcher.SetTraceFile(a.trace);
  }
  CWy_QuantitySumConfrontation rule;
  researcher.InsertRule(&rule);
  researcher.SetFormulaTarget(target);
  researcher.SetNumberOfCans(a.cans);
  const int32_t n = researcher.ApplyRules(a.batch);
  for (int32_t i = 0; i < n; ++i) {
    CWy_RecycleBatch b;
    if (!researcher.GetRecycleBatch(b, i)) continue;
    char line[160];
    out << b.GetBatchAbsID() << " \"" << b.GetBatchName() << "\" "
        << b.GetLocationX() << "/" << b.GetLocationY() << "/"
        << b.GetLocationZ();
    std::snprintf(line, sizeof line,
                  " formula=%.6f base=%.6f batch=%.6f per_can=%.3f\n",
                  b.GetRecycleFormulaPercentage(), b.GetRecycleBasePercentage(),
                  b.GetRecycleBatchPercentage(), b.GetQuantityPerCan());
    out << line;
  }
  out << "found " << n << "\n";
  return 0;
}

}  // namespace mixtool
