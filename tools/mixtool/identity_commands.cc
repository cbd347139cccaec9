// mixtool create and id.

#include "identity_commands.h"

#include <CLI/CLI.hpp>
#include <cstring>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_fvers_descr.h"
#include "mixtable/wy_gdata_id.h"
#include "platform/codepage.h"
#include "platform/env.h"

namespace mixtool {

namespace {

// Text of the ANSI code page as the terminal shows it.
std::string Shown(const std::string& ansi) {
  return platform::CodePageToUtf8(ansi, platform::AnsiCodePage());
}

int ExitStatus(int result) {
  switch (result) {
    case 1:
      return 0;
    case -4:
      return 3;
    case -5:
      return 4;
    default:
      return 2;
  }
}

}  // namespace

const char* CreateResultText(int result) {
  switch (result) {
    case 1:
      return "created";
    case -1:
      return "the directory is refused, missing or cannot be created";
    case -2:
      return "the data set has no data id";
    case -3:
      return "CNTS or PARAM cannot be created, or PARAM does not open";
    case -4:
      return "busy: another maintenance run holds the data set, or one of "
             "its tables is open";
    case -5:
      return "an interrupted maintenance run cannot be restored";
    default:
      return "the check of the new data set failed";
  }
}

int Create(const std::string& dir, const std::string& line, std::ostream& out,
           std::ostream& err) {
  CMixtableEx ts;
  const std::string ansi =
      platform::Utf8ToCodePage(line, platform::AnsiCodePage());
  const int r = ts.CreateGData(dir.c_str(), ansi.c_str(), nullptr, 0);
  if (r != 1) {
    err << "mixtool: create " << dir << ": " << r << " " << CreateResultText(r)
        << "\n";
    return ExitStatus(r);
  }
  out << "created " << ts.GetDataDir() << "\n";
  return Id(ts.GetDataDir(), out, err);
}

int Id(const std::string& dir, std::ostream& out, std::ostream& err) {
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  if (!ts.Exist(Y_PARAM)) {
    err << "mixtool: no PARAM table in " << ts.GetDataDir() << "\n";
    return 2;
  }
  auto show = [&](const char* name, const std::string& value) {
    out << name << std::string(12 - std::strlen(name), ' ') << value << "\n";
  };
  std::string dataid, abs, codepage, check, comment;
  ts.GetParam("DATAID", dataid, comment);
  ts.GetParam("ABS_DATAID", abs, comment);
  ts.GetParam("CODEPAGE", codepage, comment);
  const bool has_check = ts.GetParam("CHECK_INFO", check, comment);
  show("DATAID",
       dataid + "  (" + std::to_string(ts.GetParamGdataId(false)) + ")");
  show("ABS_DATAID",
       abs + "  (" + std::to_string(ts.GetParamGdataId(true)) + ")");
  show("CODEPAGE", codepage);
  show("CHECK_INFO", has_check ? Shown(check + "  # " + comment) : "none");
  const std::string line = ts.GetGdataDescr();
  show("FVERS.DAT", Shown(line));
  Wy_FVersDescr descr;
  descr.Init(line.c_str());
  Wy_GDataID id;
  if (id.SetData(ts.GetParamGdataId(true), dataid.c_str()) &&
      Wy_GDataID::IsDataIdForm(dataid.c_str())) {
    show("VERSION", id.GetVersion() + " (from DATAID; FVERS.DAT " +
                        descr.GetVersion() + ")");
  } else {
    show("VERSION", descr.GetVersion() +
                        " (from FVERS.DAT; DATAID is not in the 3MMAAAAAmm "
                        "form or ABS_DATAID is 0)");
  }
  return 0;
}

void AddIdentityCommands(CLI::App& app, IdentityCommands* c) {
  c->create = app.add_subcommand(
      "create", "make DIR a data set (CNTS, PARAM with a new id, FVERS.DAT)");
  c->create->add_option("dir", c->dir, "the data directory")->required();
  c->create->add_option("line", c->line,
                        "the description line, e.g. \"1.00  Description\"");
  c->id = app.add_subcommand(
      "id",
      "the data set's identity: DATAID, ABS_DATAID, CODEPAGE, "
      "CHECK_INFO, FVERS.DAT and the version");
  c->id->add_option("dir", c->dir, "the data directory")->required();
}

int RunIdentityCommands(const IdentityCommands& c, std::ostream& out,
                        std::ostream& err) {
  if (c.create && c.create->parsed()) return Create(c.dir, c.line, out, err);
  if (c.id && c.id->parsed()) return Id(c.dir, out, err);
  return -1;
}

}  // namespace mixtool
