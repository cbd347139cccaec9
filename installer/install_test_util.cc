#include "install_test_util.h"

#include <memory>

#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/run_program.h"
#include "testing/data_set_builder.h"

namespace installer_testing {
namespace {

platform::Env* E() { return platform::Env::Current(); }

void SnapshotInto(const std::string& host, const std::string& rel,
                  std::map<std::string, std::string>* out) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(host, "*", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    std::string r = rel + e.name;
    if (e.info.is_dir && !e.info.is_link) {
      (*out)[r + "/"] = "";
      SnapshotInto(host + "/" + e.name, r + "/", out);
    } else {
      (*out)[r] = Contents(host + "/" + e.name);
    }
  }
}

}  // namespace

std::string Host(const std::string& path) {
  std::string host;
  E()->HostPath(path, &host);
  return host;
}

std::string Contents(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!E()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok()) return "";
  uint64_t size = 0;
  f->Size(&size);
  std::string s(size, '\0');
  size_t got = 0;
  f->ReadAt(0, s.data(), s.size(), &got);
  s.resize(got);
  return s;
}

bool Exists(const std::string& path) { return E()->FileExists(path); }

void Write(const std::string& path, const std::string& text) {
  std::string dir = path;
  Wy_GetFilePath(dir);
  Wy_MkDir(dir);
  std::unique_ptr<platform::File> f;
  if (E()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok())
    f->WriteAt(0, text.data(), text.size());
}

std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> out;
  std::string host = Host(dir);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  SnapshotInto(host, "", &out);
  return out;
}

std::string MakePackage(const std::string& gdata_txt) {
  Write("c:\\instpkg\\GDATA.TXT", gdata_txt);
  // The tree and the program once per test: later runs of the test reuse
  // them (and what the test changed in them).
  if (!Exists("c:\\instpkg\\setup.exe")) {
    std::string error;
    mixtable_testing::BuildSampleDataSet("c:\\instpkg\\tree\\", &error);
    E()->CopyFile(
        platform::testing::BesideThisProgram(INSTALLER_TEST_SETUP_NAME),
        "c:\\instpkg\\setup.exe", false);
#ifdef _WIN32
    // Windows finds the DLLs of a program beside it: the setup program
    // needs the platform layer's.
    E()->CopyFile(platform::testing::BesideThisProgram(KALVO_PLATFORM_DLL),
                  "c:\\instpkg\\" KALVO_PLATFORM_DLL, false);
#endif
  }
  return Host("c:\\instpkg");
}

void ClearDrive() {
  // Every name the installer tests make on drive c:, the data directories
  // C:\GDATAnnn among them.
  for (const char* name :
       {"c:\\local", "c:\\instpkg", "c:\\inno.end", "c:\\gcspaces", "c:\\set",
        "c:\\outside", "c:\\victim", "c:\\gdata", "c:\\out", "c:\\x",
        "c:\\sets"}) {
    if (E()->FileExists(name)) E()->DeleteTree(name);
  }
  std::vector<platform::DirEntry> entries;
  E()->ListDir("c:\\", "GDATA*", &entries);
  for (const platform::DirEntry& e : entries) E()->DeleteTree("c:\\" + e.name);
}

}  // namespace installer_testing
