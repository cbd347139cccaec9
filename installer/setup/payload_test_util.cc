#include "payload_test_util.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <memory>

#include "platform/env.h"

namespace payload_testing {
namespace {

platform::Env* E() { return platform::Env::Current(); }

void SnapshotInto(const std::string& host, const std::string& rel,
                  std::map<std::string, std::string>* out) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(host, "*", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    std::string p = host + "/" + e.name, r = rel + e.name;
    if (e.info.is_link) {
      std::string t;
      E()->ReadLink(p, &t);
      (*out)[r] = "->" + t;
    } else if (e.info.is_dir) {
      (*out)[r + "/"] = "";
      SnapshotInto(p, r + "/", out);
    } else {
      (*out)[r] = Contents(p);
    }
  }
}

}  // namespace

std::string Host(const std::string& path) {
  std::string host;
  E()->HostPath(path, &host);
  return host;
}

bool Write(const std::string& path, const std::string& text) {
  std::string host = Host(path);
  for (size_t i = 1; i < host.size(); ++i)
    if (host[i] == '/') mkdir(host.substr(0, i).c_str(), 0755);
  std::unique_ptr<platform::File> f;
  return E()->OpenFile(host, platform::OpenMode::kCreateAlways, &f).ok() &&
         f->WriteAt(0, text.data(), text.size()).ok();
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

std::map<std::string, std::string> Snapshot(const std::string& host) {
  std::map<std::string, std::string> out;
  SnapshotInto(host, "", &out);
  return out;
}

bool MakeArchive(const std::string& host, const std::vector<Entry>& entries,
                 bool gzip) {
  struct archive* a = archive_write_new();
  archive_write_set_format_pax_restricted(a);
  if (gzip) archive_write_add_filter_gzip(a);
  bool ok = archive_write_open_filename(a, host.c_str()) == ARCHIVE_OK;
  for (const Entry& x : entries) {
    if (!ok) break;
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, x.name.c_str());
    archive_entry_set_filetype(e, x.type);
    archive_entry_set_perm(e, 0644);
    if (!x.link.empty()) archive_entry_set_symlink(e, x.link.c_str());
    if (!x.hardlink.empty()) archive_entry_set_hardlink(e, x.hardlink.c_str());
    if (x.type == AE_IFCHR) archive_entry_set_rdev(e, makedev(1, 3));
    bool data = x.type == AE_IFREG && x.hardlink.empty();
    archive_entry_set_size(e, data ? static_cast<int64_t>(x.data.size()) : 0);
    ok = archive_write_header(a, e) == ARCHIVE_OK;
    if (ok && data && !x.data.empty())
      ok = archive_write_data(a, x.data.data(), x.data.size()) ==
           static_cast<la_ssize_t>(x.data.size());
    archive_entry_free(e);
  }
  if (archive_write_close(a) != ARCHIVE_OK) ok = false;
  archive_write_free(a);
  return ok;
}

}  // namespace payload_testing
