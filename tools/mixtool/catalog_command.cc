// mixtool catalog.

#include "catalog_command.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "mixtable/wy_catalog.h"
#include "platform/codepage.h"

namespace mixtool {

namespace {

constexpr const char* kHeader =
    "    DATAID  PATH                           DESCRIPTION              "
    "SERVER "
    "    FAMILY     FLAGS\n";

std::string Field(const Wdbase& db, const char* name) {
  char buf[128] = "";
  if (db.FieldNo(name) > 0) db.ReadString(name, buf, sizeof buf, 1, 1);
  return buf;
}

std::string CatalogFile() {
  Wdbase db;
  Wy_SetDatactlDbHandle(&db);
  return std::string(db.GetPath()) + db.GetName(0);
}

bool IsLocal(const std::string& server) {
  if (server.empty()) return true;
  const std::string local = kWyLocalMachineName;
  if (server.size() != local.size()) return false;
  for (size_t i = 0; i < server.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(server[i])) != local[i])
      return false;
  return true;
}

// Writes the records from number first on; answers their count, -1 when
// there is no catalogue.
int List(int32_t first, std::ostream& out) {
  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db) || !db.Access(0) || !db.Open()) return -1;
  int count = 0;
  for (int ok = db.Goto(first); ok && !db.Eof(); ok = db.Next()) {
    const bool deleted = db.Deleted() != 0;
    const uint32_t id = static_cast<uint32_t>(
        std::strtoul(Field(db, "DATAID").c_str(), nullptr, 10));
    const std::string path = Field(db, "PATH");
    const std::string descr = Field(db, "DESCR");
    const std::string server = Field(db, "SERVER_ID");
    const std::string family = Field(db, "ABS_DATAID");
    std::string flags;
    if (!deleted && Wy_IsAnHiddenGdata(id)) flags = "hidden";
    if (deleted) flags = "deleted";
    char line[512];
    std::snprintf(line, sizeof line, "%10lu  %-30s %-24s %-10s %-10s %s\n",
                  static_cast<unsigned long>(id), path.c_str(),
                  platform::CodePageToUtf8(descr, 0).c_str(),
                  IsLocal(server) ? "local" : server.c_str(),
                  family.empty() ? "-" : family.c_str(), flags.c_str());
    out << line;
    ++count;
  }
  db.Close();
  return count;
}

}  // namespace

int Catalog(std::ostream& out, std::ostream& err) {
  std::ostringstream rows;
  if (List(1, rows) < 0) {
    err << "mixtool: no catalogue " << CatalogFile() << "\n";
    return 1;
  }
  out << kHeader << rows.str();
  return 0;
}

int CatalogScan(const std::string& roots, std::ostream& out,
                std::ostream& err) {
  Wdbase db;
  if (Wy_SetDatactlDbHandle(&db) && db.Access(0)) {
    err << "mixtool: the catalogue " << CatalogFile()
        << " exists; a scan fills only a new catalogue\n";
    return 1;
  }
  Wy_CheckDatactl(true, &roots);
  if (!(Wy_SetDatactlDbHandle(&db) && db.Access(0))) {
    err << "mixtool: cannot create the catalogue " << CatalogFile() << "\n";
    return 1;
  }
  out << "registered from " << (roots.empty() ? "C:\\" : roots) << ":\n"
      << kHeader;
  const int n = List(1, out);
  out << n << (n == 1 ? " data set" : " data sets") << " registered\n";
  return 0;
}

}  // namespace mixtool
