#include "setup_program.h"

#include <cctype>
#include <cstdlib>
#include <memory>

#include "installer/install_engine.h"
#include "payload.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace setup {
namespace {

platform::Env* E() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Console progress of /SILENT: one line per tenth of the bytes.
std::ostream* g_progress_out = nullptr;
int g_shown = -1;

void ConsoleProgress(const void*, unsigned msg, int64_t param, const char*) {
  if (!g_progress_out) return;
  int tenth;
  if (msg == platform::kProgressOverall) {
    if (param == 0) g_shown = -1;  // a new display
    tenth = static_cast<int>(param / 10);
  } else if (msg == platform::kProgressText &&
             param == platform::kProgressReset) {
    tenth = 10;
  } else {
    return;
  }
  if (tenth == g_shown) return;
  g_shown = tenth;
  *g_progress_out << "setup: " << tenth * 10 << "%" << std::endl;
}

// Creates the marker and commits it and its directory to disk.
bool WriteMarker(std::string* why) {
  if (!E()->FileExists("c:\\")) E()->CreateDir("c:\\");
  std::unique_ptr<platform::File> f;
  platform::Status s =
      E()->OpenFile(kCompletionMarker, platform::OpenMode::kCreateAlways, &f);
  if (s.ok()) s = f->Sync();
  f.reset();
  if (s.ok()) s = E()->SyncDir("c:\\");
  if (!s.ok()) {
    *why = "cannot create the completion marker: " + s.ToString();
    E()->DeleteFile(kCompletionMarker);
    return false;
  }
  return true;
}

}  // namespace

int SetupMain(const std::vector<std::string>& args,
              const std::string& payload_dir, std::ostream& out,
              std::ostream& err) {
  bool progress = true;
  for (const std::string& a : args) {
    std::string u = Upper(a);
    if (u == "/SILENT") {
      progress = true;
    } else if (u == "/VERYSILENT") {
      progress = false;
    } else if (u == "/SUPPRESSMSGBOXES" || u == "/NORESTART") {
    } else {
      err << "setup: unknown argument \"" << a
          << "\" (usage: setup.exe [/SILENT | /VERYSILENT])" << std::endl;
      return 2;
    }
  }
  // Whatever happens below, no marker of an earlier run may stand for this
  // one.
  if (E()->FileExists(kCompletionMarker)) {
    platform::Status s = E()->DeleteFile(kCompletionMarker);
    if (!s.ok()) {
      err << "setup: cannot delete the old completion marker: " << s.ToString()
          << std::endl;
      return 1;
    }
  }
  std::string target;
  if (!E()->GetEnv("GDATA", &target) || Trim(target).empty()) {
    err << "setup: the target directory GDATA is not set" << std::endl;
    return 2;
  }
  target = Trim(target);
  std::string dir = payload_dir;
  if (dir.empty()) {
    dir = E()->ProgramPath();
    dir = dir.substr(0, dir.rfind('/') + 1);
  }
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  const std::string archive = dir + kPayloadName;

  ExtractOptions options;
  options.progress = progress;
  std::string kill;
  if (E()->GetEnv("KALVO_SETUP_KILL_AFTER", &kill))
    options.kill_after_files =
        static_cast<uint32_t>(std::strtoul(kill.c_str(), nullptr, 10));
  platform::ProgressHook old = nullptr;
  if (progress) {
    g_progress_out = &out;
    old = platform::SetProgressHook(&ConsoleProgress);
  }
  PayloadSummary sum;
  std::string why;
  bool ok = ExtractPayload(archive, target, options, &sum, &why);
  if (progress) {
    platform::SetProgressHook(old);
    g_progress_out = nullptr;
  }
  if (!ok) {
    err << "setup: " << target << " not installed: " << why << std::endl;
    return 1;
  }
  if (!WriteMarker(&why)) {
    err << "setup: " << why << std::endl;
    return 1;
  }
  if (progress)
    out << "setup: " << sum.files << " files in " << sum.dirs
        << " directories installed in " << target << std::endl;
  return 0;
}

}  // namespace setup
