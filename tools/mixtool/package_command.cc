#include "package_command.h"

#include <cctype>
#include <memory>
#include <vector>

#include "installer/install_engine.h"
#include "payload.h"
#include "platform/env.h"

#ifndef KALVO_SETUP_REL
#define KALVO_SETUP_REL "../libexec/kalvo"
#endif

namespace mixtool {
namespace {

platform::Env* E() { return platform::Env::Current(); }

int Fail(std::ostream& err, const std::string& text) {
  err << "mixtool: " << text << "\n";
  return 1;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// A decimal number in 1..4294967295, nothing around it.
bool ValidId(const std::string& text) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v >= 1 && v <= 0xFFFFFFFFull;
}

bool HasControl(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string NoTrailing(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\'))
    dir.pop_back();
  return dir;
}

std::string Join(const std::string& dir, const std::string& name) {
  char sep = (!dir.empty() && dir[0] == '/') ? '/' : '\\';
  return NoTrailing(dir) + sep + name;
}

// The host path of an existing directory, or "".
std::string HostDir(const std::string& path) {
  std::string host;
  platform::FileInfo info;
  if (!E()->HostPath(path, &host).ok()) return "";
  if (!E()->GetFileInfo(host, &info).ok() || !info.is_dir) return "";
  return NoTrailing(host);
}

bool MakeDirs(const std::string& host, std::string* why) {
  platform::FileInfo info;
  if (E()->GetFileInfo(host, &info).ok()) {
    if (info.is_dir && !info.is_link) return true;
    *why = host + " exists and is no directory";
    return false;
  }
  size_t cut = host.rfind('/');
  if (cut != std::string::npos && cut > 0 &&
      !MakeDirs(host.substr(0, cut), why))
    return false;
  platform::Status s = E()->CreateDir(host);
  if (!s.ok() && !E()->FileExists(host)) {
    *why = s.ToString();
    return false;
  }
  return true;
}

// First candidate (host paths) that is an executable file, or "".
std::string FirstProgram(const std::vector<std::string>& candidates) {
  for (const std::string& c : candidates)
    if (E()->IsExecutable(c)) return c;
  return "";
}

std::string ProgramDir() {
  std::string p = E()->ProgramPath();
  return p.substr(0, p.rfind('/'));
}

std::string FindSetup() {
  std::string d = ProgramDir();
  return FirstProgram({d + "/setup.exe", d + "/" KALVO_SETUP_REL "/setup.exe",
                       d + "/../../installer/setup/setup.exe"});
}

std::string FindInstaller() {
  std::string d = ProgramDir();
  return FirstProgram(
      {d + "/KalvoINSTALL", d + "/../../installer/KalvoINSTALL"});
}

// Single-quoted for sh.
std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Launcher(const std::string& fallback) {
  // clang-format off
  return std::string(
R"SH(#!/bin/sh
# Installs the data set of this package with the installed KalvoINSTALL:
# the first one on PATH that is not this launcher, else the one the package
# was built with. Arguments are passed on (e.g. --console).
pkg=$(CDPATH= cd -- "$(dirname -- "$0")" && pwd) || exit 1
self="$pkg/$(basename -- "$0")"
found=
IFS=:
for d in $PATH; do
  [ -n "$d" ] || d=.
  c="$d/KalvoINSTALL"
  if [ -f "$c" ] && [ -x "$c" ] && ! [ "$c" -ef "$self" ]; then
    found=$c
    break
  fi
done
unset IFS
if [ -z "$found" ]; then
  found=)SH") + ShellQuote(fallback) + R"SH(
fi
if ! [ -x "$found" ]; then
  echo "KalvoINSTALL: the installer is not installed (not on PATH)" >&2
  exit 127
fi
exec "$found" --package "$pkg" "$@"
)SH";
  // clang-format on
}

// Writes text into dir/name through a file beside it, then renames it.
bool WriteWhole(const std::string& dir, const std::string& name,
                const std::string& text, std::string* why) {
  std::string tmp = Join(dir, name + ".new");
  std::unique_ptr<platform::File> f;
  platform::Status s =
      E()->OpenFile(tmp, platform::OpenMode::kCreateAlways, &f);
  if (s.ok()) s = f->WriteAt(0, text.data(), text.size());
  if (s.ok()) s = f->Sync();
  f.reset();
  if (s.ok()) s = E()->RenameFile(tmp, Join(dir, name), true);
  if (!s.ok()) {
    E()->DeleteFile(tmp);
    *why = s.ToString();
    return false;
  }
  return true;
}

}  // namespace

int Package(const PackageOptions& o, std::ostream& out, std::ostream& err) {
  if (!ValidId(o.id))
    return Fail(err,
                "bad data id \"" + o.id + "\" (a number from 1 to 4294967295)");
  if (!o.abs_id.empty() && !ValidId(o.abs_id))
    return Fail(err, "bad absolute data id \"" + o.abs_id +
                         "\" (a number from 1 to 4294967295)");
  const std::string path = Trim(o.path);
  if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) ||
      path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
    return Fail(err, "the target path \"" + o.path +
                         "\" has no drive (e.g. C:\\GDATA001)");
  if (path.size() > static_cast<size_t>(kInstallLineMax) || HasControl(path))
    return Fail(err, "the target path \"" + o.path +
                         "\" is longer than 127 characters or holds a "
                         "control character");
  std::string why;
  bool work_area = path.size() == std::string(kWorkAreaPath).size() && [&] {
    for (size_t i = 0; i < path.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(path[i])) != kWorkAreaPath[i])
        return false;
    return true;
  }();
  if (!work_area && !CheckTargetPath(path, &why))
    return Fail(err, "the target path \"" + o.path + "\" is refused: " + why);
  const std::string descr = Trim(o.descr);
  if (descr.empty()) return Fail(err, "the description is empty");
  if (descr.size() > static_cast<size_t>(kInstallLineMax) || HasControl(descr))
    return Fail(err,
                "the description is longer than 127 characters or holds a "
                "control character");
  const std::string src = HostDir(o.src_dir);
  if (src.empty())
    return Fail(err, "SRC_DIR " + o.src_dir + " is no directory");
  std::string dst;
  if (!E()->HostPath(o.out_dir, &dst).ok() || NoTrailing(dst).empty())
    return Fail(err, "OUT_DIR " + o.out_dir + " cannot be mapped");
  dst = NoTrailing(dst);
  if (dst == src ||
      (dst.size() > src.size() && dst.compare(0, src.size(), src) == 0 &&
       (src == "/" || dst[src.size()] == '/')))
    return Fail(err,
                "OUT_DIR " + o.out_dir + " lies inside SRC_DIR " + o.src_dir);
  const std::string setup =
      o.setup_program.empty() ? FindSetup() : o.setup_program;
  if (setup.empty() || !E()->IsExecutable(setup))
    return Fail(err, "cannot find setup.exe (looked beside " + ProgramDir() +
                         ", in " + KALVO_SETUP_REL + " and the build tree)");
  const std::string installer =
      o.installer.empty() ? FindInstaller() : o.installer;
  if (!MakeDirs(dst, &why)) return Fail(err, "OUT_DIR: " + why);

  setup::PayloadSummary sum;
  const std::string payload_tmp =
      Join(dst, std::string(setup::kPayloadName) + ".new");
  if (!setup::WritePayload(src, payload_tmp, &sum, &why)) {
    E()->DeleteFile(payload_tmp);
    return Fail(err, why);
  }
  platform::Status s =
      E()->RenameFile(payload_tmp, Join(dst, setup::kPayloadName), true);
  if (!s.ok()) {
    E()->DeleteFile(payload_tmp);
    return Fail(err, s.ToString());
  }
  std::string txt = o.id + "\r\n" + path + "\r\n" + descr + "\r\n";
  if (!o.abs_id.empty()) txt += o.abs_id + "\r\n";
  if (!WriteWhole(dst, kInstallFileName, txt, &why)) return Fail(err, why);

  const std::string setup_tmp = Join(dst, "setup.exe.new");
  s = E()->CopyFile(setup, setup_tmp, false);
  if (s.ok()) s = E()->RenameFile(setup_tmp, Join(dst, "setup.exe"), true);
  if (!s.ok()) {
    E()->DeleteFile(setup_tmp);
    return Fail(err, "cannot copy setup.exe: " + s.ToString());
  }
  if (!WriteWhole(dst, "KalvoINSTALL", Launcher(installer), &why))
    return Fail(err, why);
  s = E()->MarkExecutable(Join(dst, "KalvoINSTALL"));
  if (s.ok()) s = E()->SyncDir(dst);
  if (!s.ok()) return Fail(err, s.ToString());
  out << "package " << dst << ": data id " << o.id << ", " << sum.files
      << " files in " << sum.dirs << " directories, " << sum.bytes
      << " bytes, installs into " << path << "\n";
  return 0;
}

}  // namespace mixtool
