// The setup program of the installer tests (copied into the test package as
// "setup.exe"): copies the package's prepared tree "tree" into the
// directory named by $GDATA (a drive path) and creates the completion
// marker "c:\inno.end". With a file FAIL beside it, it copies the root
// files of the tree only and fails (status 1). Either way it writes its
// arguments and $GDATA into the file ARGS beside it. A program of its own
// (no shell script) so that the installer starts it alike on every host.

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace {

platform::Env* E() { return platform::Env::Current(); }

// Creates dir and the directories above it.
bool MakeDirs(const std::string& dir) {
  if (dir.empty() || E()->FileExists(dir)) return true;
  std::string parent = dir;
  while (!parent.empty() && (parent.back() == '\\' || parent.back() == '/'))
    parent.pop_back();
  const size_t sep = parent.find_last_of("\\/");
  if (sep != std::string::npos && sep > 0 && parent[sep - 1] != ':' &&
      !MakeDirs(parent.substr(0, sep))) {
    return false;
  }
  return E()->CreateDir(parent).ok() || E()->FileExists(parent);
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  return E()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok() &&
         f->WriteAt(0, text.data(), text.size()).ok();
}

}  // namespace

int main(int argc, char** argv) {
  std::string pkg = E()->ProgramPath();
  pkg.resize(pkg.find_last_of("\\/") + 1);
  std::string gdata;
  if (!E()->GetEnv("GDATA", &gdata) || gdata.empty()) return 2;
  if (!MakeDirs(gdata)) return 3;
  std::string said;
  for (int i = 1; i < argc; ++i) said += std::string(argv[i]) + " ";
  if (!WriteFile(pkg + "ARGS", said + gdata)) return 5;
  const std::string tree = pkg + "tree";
  std::string target = gdata;
  if (target.back() != '\\') target += '\\';
  if (E()->FileExists(pkg + "FAIL")) {
    std::vector<platform::DirEntry> entries;
    E()->ListDir(tree, "*.*", &entries);
    for (const platform::DirEntry& e : entries) {
      if (!e.info.is_dir && e.name.find('.') != std::string::npos)
        E()->CopyFile(tree + "/" + e.name, target + e.name, false);
    }
    return 1;
  }
  // A real setup program writes through a linked target: copy into the
  // link's target (the platform's tree copy never enters links).
  std::string into = gdata, link_target;
  if (E()->ReadLink(gdata, &link_target).ok()) into = link_target;
  if (!E()->CopyTree(tree, into).ok()) return 4;
  return WriteFile("c:\\inno.end", "") ? 0 : 6;
}
