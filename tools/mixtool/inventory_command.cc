// mixtool inventory list, show and check.

#include "inventory_command.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "mixtable/wy_storage_manager.h"
#include "platform/codepage.h"
#include "platform/hooks.h"
#include "xbase32/wdbase.h"

namespace mixtool {
namespace {

std::string Utf8(const std::string& ansi) {
  return platform::CodePageToUtf8(ansi, platform::AnsiCodePage());
}

int Fail(std::ostream& err, const std::string& what) {
  err << "mixtool: " << what << "\n";
  return 1;
}

std::string DateText(const tm& d) {
  if (d.tm_year < 0 || d.tm_mon < 0 || d.tm_mday < 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.tm_year, d.tm_mon,
                d.tm_mday);
  return buf;
}

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

void PrintBatch(const CWy_Batch& b, std::ostream& out) {
  out << "  batch " << b.GetBatchAbsID() << " index " << b.GetBatchIndex()
      << " name \"" << Utf8(b.GetBatchName()) << "\" quantity "
      << Number(b.GetQuantity()) << (b.GetWeightMode() ? " g" : " ml")
      << " location \"" << Utf8(b.GetLocationX()) << "/"
      << Utf8(b.GetLocationY()) << "/" << Utf8(b.GetLocationZ())
      << "\" produced " << DateText(b.GetProdDate()) << " expires "
      << DateText(b.GetExpDate()) << " reflectance "
      << DateText(b.GetReflSettingDate()) << " barcode \""
      << Utf8(b.GetFrmBarCode()) << "\"\n";
}

void PrintFormulaLine(const CWy_FormulaInv& f, bool deleted,
                      std::ostream& out) {
  const Wy_Formula& g = f.GetFormula();
  out << "formula " << f.GetFrmInvID() << " data " << g.m_DataId << " \""
      << Utf8(g.m_ClrName) << "\" " << Utf8(g.m_Frm)
      << (deleted ? " (deleted)" : "") << "\n";
}

// The manager on dir, or a failure line.
bool Open(const std::string& dir, CWy_StorageManager* m, std::ostream& err) {
  if (m->SetInventoryPath(dir.c_str())) return true;
  Fail(err, "the inventory in " +
                (dir.empty() ? std::string("the local directory") : dir) +
                " cannot be opened");
  return false;
}

}  // namespace

void AddInventoryCommand(CLI::App& app, InventoryCommand* c) {
  c->inventory = app.add_subcommand(
      "inventory", "the stored batches of an inventory directory");
  c->inventory->require_subcommand(1);
  c->list = c->inventory->add_subcommand(
      "list", "every stored formula with its batches");
  c->show = c->inventory->add_subcommand(
      "show", "one stored formula as @-tag text, with its batches");
  c->show->add_option("ID", c->id, "formula id")->required();
  c->check = c->inventory->add_subcommand(
      "check", "check the tables' structure and their records");
  for (CLI::App* sub : {c->list, c->show, c->check})
    sub->add_option("--dir", c->dir,
                    "inventory directory (default: the local directory)");
}

int RunInventoryCommand(const InventoryCommand& c, std::ostream& out,
                        std::ostream& err) {
  if (c.inventory == nullptr || !c.inventory->parsed()) return -1;
  if (c.list->parsed()) return InventoryList(c.dir, out, err);
  if (c.show->parsed()) return InventoryShow(c.dir, c.id, out, err);
  if (c.check->parsed()) return InventoryCheck(c.dir, out, err);
  return -1;
}

int InventoryList(const std::string& dir, std::ostream& out,
                  std::ostream& err) {
  CWy_StorageManager m(nullptr);
  if (!Open(dir, &m, err)) return 1;
  int32_t formulas = 0, batches = 0;
  for (bool ok = m.Begin(); ok && !m.IsEof(); ok = m.GoNext()) {
    CWy_FormulaInv f;
    if (!m.GetCurrentFormula(f, true))
      return Fail(err, "a stored formula cannot be read");
    PrintFormulaLine(f, m.IsCurrentFormulaDeleted(), out);
    for (int i = 0; i < f.GetNumberOfBatches(); ++i) {
      CWy_Batch b;
      f.GetBatch(b, i);
      PrintBatch(b, out);
    }
    ++formulas;
    batches += f.GetNumberOfBatches();
  }
  out << formulas << " formulas, " << batches << " batches\n";
  return 0;
}

int InventoryShow(const std::string& dir, const std::string& id,
                  std::ostream& out, std::ostream& err) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(id.c_str(), &end, 10);
  if (id.empty() || *end != '\0' || errno != 0 || v <= 0 ||
      v > CWy_StorageManager::kMaxId)
    return Fail(err, "not a formula id: " + id);
  CWy_StorageManager m(nullptr);
  if (!Open(dir, &m, err)) return 1;
  if (!m.SeekFormula(static_cast<int32_t>(v)))
    return Fail(err, "no stored formula " + id);
  CWy_FormulaInv f;
  if (!m.GetCurrentFormula(f, true))
    return Fail(err, "stored formula " + id + " cannot be read");
  PrintFormulaLine(f, m.IsCurrentFormulaDeleted(), out);
  out << Utf8(f.GetFormula().WriteText(nullptr));
  for (int i = 0; i < f.GetNumberOfBatches(); ++i) {
    CWy_Batch b;
    f.GetBatch(b, i);
    PrintBatch(b, out);
  }
  return 0;
}

int InventoryCheck(const std::string& dir, std::ostream& out,
                   std::ostream& err) {
  // Setting the path checks both tables' structure again.
  CWy_StorageManager m(nullptr);
  if (!Open(dir, &m, err)) return 1;
  out << "inventory " << m.GetInventoryDir() << ": structure up to date\n";
  const void* w = platform::kProgressWindow;
  platform::Progress(w, platform::kProgressOverall, 0,
                     "Checking the inventory");
  std::set<int32_t> formulaIds;
  std::map<int32_t, int> batchesOf;
  int faults = 0, deletedFormulas = 0, deletedBatches = 0;
  const int32_t total = m.GetSize();
  int32_t done = 0;
  for (bool ok = m.Begin(); ok && !m.IsEof(); ok = m.GoNext()) {
    CWy_FormulaInv f;
    if (!m.GetCurrentFormula(f, false)) {
      ++faults;
      out << "FRMINV record " << done + 1 << ": cannot be read\n";
      continue;
    }
    if (m.IsCurrentFormulaDeleted()) ++deletedFormulas;
    if (!formulaIds.insert(f.GetFrmInvID()).second) {
      ++faults;
      out << "formula id " << f.GetFrmInvID() << " given twice\n";
    }
    platform::Progress(w, platform::kProgressStep,
                       platform::ProgressPercent(++done, total), "FRMINV");
  }
  // The batches, on a handle of the check's own.
  Wdbase inv;
  if (!inv.SetFiles(m.GetInventoryDir().c_str(),
                    CWy_StorageManager::kInventName, 0, nullptr, nullptr) ||
      !inv.Open())
    return Fail(err, "INVENT cannot be opened");
  std::set<int32_t> batchIds;
  const int32_t count = inv.RecCount();
  for (int more = inv.Top(); more && !inv.Eof(); more = inv.Next()) {
    const int32_t id = std::atoi(inv.Read("ID"));
    const int32_t frm = std::atoi(inv.Read("FRM_ID"));
    if (inv.Deleted()) ++deletedBatches;
    if (!batchIds.insert(id).second) {
      ++faults;
      out << "batch id " << id << " given twice\n";
    }
    if (formulaIds.count(frm) == 0) {
      ++faults;
      out << "batch " << id << ": formula " << frm << " is not stored\n";
    }
    ++batchesOf[frm];
    platform::Progress(w, platform::kProgressStep,
                       platform::ProgressPercent(inv.RecNo(), count), "INVENT");
  }
  inv.Close();
  for (int32_t id : formulaIds) {
    if (batchesOf.count(id) == 0) {
      ++faults;
      out << "formula " << id << ": no batch\n";
    }
  }
  platform::Progress(w, platform::kProgressText, platform::kProgressReset,
                     nullptr);
  out << formulaIds.size() << " formulas (" << deletedFormulas << " deleted), "
      << batchIds.size() << " batches (" << deletedBatches << " deleted), "
      << faults << " faults\n";
  if (faults > 0) return Fail(err, "the inventory has faults");
  return 0;
}

}  // namespace mixtool
