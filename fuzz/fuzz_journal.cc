// The maintenance journal on arbitrary bytes, recovered against a sandbox:
// a data directory "c:\sandbox\gdata\" below a temporary drives root, with
// a file beside it ("c:\sandbox\outside.dbf") and a symbolic link inside it
// leading out. Whatever the journal says, the recovery answers 1 or -5,
// never touches the file outside, never follows the link, and a journal it
// refused is left for a person to look at.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "maintenance/maintenance_journal.h"
#include "mixtable/wy_maintenance.h"
#include "platform/env.h"

namespace {

std::string g_root;  // host path of the drives root

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream b;
  b << in.rdbuf();
  return b.str();
}

void Setup() {
  char tmpl[] = "/tmp/fuzz_journal_XXXXXX";
  if (!mkdtemp(tmpl)) std::abort();
  g_root = tmpl;
  setenv("KALVO_DRIVES", g_root.c_str(), 1);
  const std::string sandbox = g_root + "/c/sandbox";
  mkdir((g_root + "/c").c_str(), 0755);
  mkdir(sandbox.c_str(), 0755);
  std::ofstream(sandbox + "/outside.dbf") << "outside";
  mkdir((g_root + "/c/elsewhere").c_str(), 0755);
  std::ofstream(g_root + "/c/elsewhere/x.dbf") << "elsewhere";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_root.empty()) Setup();
  const std::string gdata = g_root + "/c/sandbox/gdata";
  platform::Env* env = platform::Env::Current();
  env->DeleteTree("c:\\sandbox\\gdata");
  mkdir(gdata.c_str(), 0755);
  mkdir((gdata + "/P1").c_str(), 0755);
  std::ofstream(gdata + "/PARAM.DBF") << "param";
  std::ofstream(gdata + "/P1/FRM.DBF") << "frm";
  if (symlink((g_root + "/c/elsewhere").c_str(), (gdata + "/LINK").c_str()))
    std::abort();
  mkdir((gdata + "/$UPGRADE").c_str(), 0755);
  mkdir((gdata + "/$UPGRADE/P1").c_str(), 0755);
  std::ofstream(gdata + "/$UPGRADE/PARAM.DBF") << "old param";
  std::ofstream(gdata + "/$UPGRADE/P1/FRM.DBF") << "old frm";
  std::ofstream(gdata + "/$UPGRADE/JOURNAL", std::ios::binary)
      << std::string(reinterpret_cast<const char*>(data), size);

  std::string note, error;
  const int r = mixtable::RestoreArea("c:\\sandbox\\gdata\\", &note, &error);
  if (r != 1 && r != kWyMaintenanceUnrestorable) std::abort();
  if (ReadAll(g_root + "/c/sandbox/outside.dbf") != "outside") std::abort();
  if (ReadAll(g_root + "/c/elsewhere/x.dbf") != "elsewhere") std::abort();
  if (r == 1 && env->FileExists("c:\\sandbox\\gdata\\$UPGRADE")) std::abort();
  if (r != 1 && !env->FileExists("c:\\sandbox\\gdata\\$UPGRADE\\JOURNAL"))
    std::abort();
  return 0;
}
