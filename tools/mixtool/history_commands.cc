// mixtool history list|show|check and archive list|check.

#include "history_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "mixtable/hformula_history.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/ytable.h"
#include "platform/codepage.h"

namespace mixtool {

namespace {

std::string Utf8(const std::string& ansi) {
  return platform::CodePageToUtf8(ansi, platform::AnsiCodePage());
}

std::string Text(const Wdbase& db, const char* field) {
  if (db.FieldNo(field) <= 0) return "";
  // Stored in the OEM code page.
  const char* t = db.Read(field, 1, 1);
  return t ? platform::CodePageToUtf8(t, 0) : "";
}

// "CCYY-MM-DD" of a stored date; blank stays blank.
std::string Date(const Wdbase& db, const char* field) {
  const std::string d = Text(db, field);
  if (d.size() != 8) return d.empty() ? "----------" : d;
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2);
}

bool OpenHistory(const std::string& dir, Wdbase* db, std::ostream& err) {
  if (!hformula_HistorySetDbPathAndName(db,
                                        dir.empty() ? nullptr : dir.c_str())) {
    err << "mixtool: the history of \"" << dir << "\" cannot be defined\n";
    return false;
  }
  if (!db->Open()) {
    err << "mixtool: no history in " << db->GetPath() << " ("
        << Wdbase::LastErrorText() << ")\n";
    return false;
  }
  return true;
}

bool OpenArchive(Wdbase* db, std::ostream& err) {
  std::string local;
  Wy_LocalPath(local);
  const YTABLE* row = WyGetFileInfo(Y_ARCHIVE);
  if (!db->SetFiles(local.c_str(), row->def.name, row->def.idx_count,
                    row->def.idx_names, row->def.idx_exprs) ||
      !db->Open()) {
    err << "mixtool: no archive in " << local << " (" << Wdbase::LastErrorText()
        << ")\n";
    return false;
  }
  return true;
}

}  // namespace

int HistoryList(const HistoryArgs& a, std::ostream& out, std::ostream& err) {
  Wdbase db;
  if (!OpenHistory(a.dir, &db, err)) return 1;
  const int32_t count = db.RecCount();
  const int32_t first = a.last > 0 && a.last < count ? count - a.last + 1 : 1;
  for (int32_t r = first; r <= count; ++r) {
    if (!db.Goto(r)) {
      err << "mixtool: record " << r << " cannot be read\n";
      return 1;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%6d%s ", r, db.Deleted() ? "*" : " ");
    out << head << Date(db, "DATA") << " " << Text(db, "TIME") << "  data "
        << Text(db, "DATAID") << "  prd " << Text(db, "PRDID") << "/"
        << Text(db, "SPDID") << "  clr " << Text(db, "CLRID") << " \""
        << Text(db, "CLRDESCR") << "\"  ndisp " << Text(db, "NDISP") << "  "
        << Text(db, "FRM") << "\n";
  }
  out << count << " records in " << db.GetPath() << db.GetName(0) << "\n";
  return 0;
}

int HistoryShow(const HistoryArgs& a, std::ostream& out, std::ostream& err) {
  Wdbase db;
  if (!OpenHistory(a.dir, &db, err)) return 1;
  if (a.recno < 1 || a.recno > db.RecCount() || !db.Goto(a.recno)) {
    err << "mixtool: no record " << a.recno << " (the history holds "
        << db.RecCount() << ")\n";
    return 1;
  }
  Wy_Formula f;
  if (!hformula_ReadFromHistory(&f, &db)) {
    err << "mixtool: record " << a.recno << " cannot be read back\n";
    return 1;
  }
  out << Utf8(f.WriteText(nullptr));
  return 0;
}

int HistoryCheck(const HistoryArgs& a, std::ostream& out, std::ostream& err) {
  const char* dir = a.dir.empty() ? nullptr : a.dir.c_str();
  if (!hformula_CheckUpdateHistory(a.widen, dir, a.dataId, a.create ? 1 : 0)) {
    err << "mixtool: the history"
        << (a.dir.empty() ? std::string() : " of " + a.dir)
        << " is missing or cannot be brought up to date\n";
    return 1;
  }
  Wdbase db;
  if (!OpenHistory(a.dir, &db, err)) return 1;
  out << db.GetPath() << db.GetName(0) << ": up to date, " << db.RecCount()
      << " records, FRM C" << db.FieldLen("FRM") << ", " << db.FieldCount()
      << " fields\n";
  return 0;
}

int ArchiveList(std::ostream& out, std::ostream& err) {
  Wdbase db;
  if (!OpenArchive(&db, err)) return 1;
  const int32_t count = db.RecCount();
  for (int32_t r = 1; r <= count; ++r) {
    if (!db.Goto(r)) {
      err << "mixtool: record " << r << " cannot be read\n";
      return 1;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%6d%s ", r, db.Deleted() ? "*" : " ");
    out << head << "id " << Text(db, "ID") << "  " << Date(db, "DATA1")
        << "  data " << Text(db, "DATAID") << "  prd " << Text(db, "PROD_ID")
        << "/" << Text(db, "SUBP_ID") << "  \"" << Text(db, "KEY1") << "|"
        << Text(db, "KEY2") << "|" << Text(db, "KEY3") << "|"
        << Text(db, "COMMENT") << "\"  " << Text(db, "FORMULA") << "\n";
  }
  out << count << " records in " << db.GetPath() << db.GetName(0) << "\n";
  return 0;
}

int ArchiveCheck(const HistoryArgs& a, std::ostream& out, std::ostream& err) {
  if (!hformula_CheckUpdateArchive(nullptr, a.widen, a.dataId,
                                   a.create ? 1 : 0)) {
    err << "mixtool: the archive is missing or cannot be brought up to date\n";
    return 1;
  }
  Wdbase db;
  if (!OpenArchive(&db, err)) return 1;
  out << db.GetPath() << db.GetName(0) << ": up to date, " << db.RecCount()
      << " records, FORMULA C" << db.FieldLen("FORMULA") << ", "
      << db.FieldCount() << " fields\n";
  return 0;
}

void AddHistoryCommands(CLI::App& app, HistoryCommands* c) {
  HistoryArgs& a = c->args;
  c->history = app.add_subcommand(
      "history", "the dispensing history of this machine (HISTORY.DBF)");
  c->history->require_subcommand(1);
  c->list = c->history->add_subcommand("list", "the records of the history");
  c->list->add_option("--dir", a.dir,
                      "the history's directory (default: the local one)");
  c->list->add_option("--last", a.last, "only the last N records");
  c->show = c->history->add_subcommand(
      "show", "one record's formula read back, as @-tag text");
  c->show->add_option("RECNO", a.recno, "record number")->required();
  c->show->add_option("--dir", a.dir, "the history's directory");
  c->check = c->history->add_subcommand(
      "check", "bring the history to its layout without loss");
  c->check->add_option("--dir", a.dir, "the history's directory");
  c->check->add_flag("--widen", a.widen, "widen the archive's FORMULA too");
  c->check->add_option("--dataid", a.dataId,
                       "data id for records whose DATAID is blank or 0");
  c->check->add_flag("--create", a.create, "create the history when missing");
  c->archive = app.add_subcommand(
      "archive", "the formula archive of this machine (ARCHIVE.DBF)");
  c->archive->require_subcommand(1);
  c->archive_list =
      c->archive->add_subcommand("list", "the records of the archive");
  c->archive_check = c->archive->add_subcommand(
      "check", "bring the archive to its layout without loss");
  c->archive_check->add_flag("--widen", a.widen,
                             "widen FORMULA to 128 characters");
  c->archive_check->add_option(
      "--dataid", a.dataId, "data id for records whose DATAID is blank or 0");
  c->archive_check->add_flag("--create", a.create,
                             "create the archive when missing");
}

int RunHistoryCommands(const HistoryCommands& c, std::ostream& out,
                       std::ostream& err) {
  if (c.list && c.list->parsed()) return HistoryList(c.args, out, err);
  if (c.show && c.show->parsed()) return HistoryShow(c.args, out, err);
  if (c.check && c.check->parsed()) return HistoryCheck(c.args, out, err);
  if (c.archive_list && c.archive_list->parsed()) return ArchiveList(out, err);
  if (c.archive_check && c.archive_check->parsed())
    return ArchiveCheck(c.args, out, err);
  return -1;
}

}  // namespace mixtool
