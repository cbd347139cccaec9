#include "install_test_util.h"

#include <sys/stat.h>

#include <memory>

#include "mixtable/wy_util.h"
#include "platform/env.h"
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

constexpr const char* kSetupScript = R"(#!/bin/sh
# Test setup program: copies the prepared tree into $GDATA (a drive path)
# and writes the completion marker; with FAIL beside it, copies the root
# tables only and fails.
pkg=$(dirname "$0")
drive=$(printf '%s' "$GDATA" | cut -c1 | tr 'A-Z' 'a-z')
rest=$(printf '%s' "$GDATA" | cut -c4- | tr '\\' '/')
target="$KALVO_DRIVES/$drive/$rest"
mkdir -p "$target" || exit 3
printf '%s %s' "$*" "$GDATA" > "$pkg/ARGS"
if [ -f "$pkg/FAIL" ]; then
  cp "$pkg"/tree/*.* "$target/" 2>/dev/null
  exit 1
fi
cp -R "$pkg/tree/." "$target/" || exit 4
: > "$KALVO_DRIVES/c/inno.end"
exit 0
)";

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
  Write("d:\\pkg\\GDATA.TXT", gdata_txt);
  std::string error;
  mixtable_testing::BuildSampleDataSet("d:\\pkg\\tree\\", &error);
  Write("d:\\pkg\\setup.exe", kSetupScript);
  std::string host = Host("d:\\pkg");
  chmod((host + "/setup.exe").c_str(), 0755);
  return host;
}

}  // namespace installer_testing
