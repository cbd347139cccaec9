// Reading a package payload: the name rules, the checking pass and the
// unpacking pass. libarchive reads through callbacks on a platform file.

#include <archive.h>
#include <archive_entry.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "payload.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace setup {
namespace {

platform::Env* E() { return platform::Env::Current(); }

constexpr size_t kReadChunk = 64 * 1024;

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The archive file, read through the platform layer.
struct Source {
  std::unique_ptr<platform::File> file;
  uint64_t offset = 0;
  std::vector<char> buf = std::vector<char>(kReadChunk);
};

la_ssize_t ReadCallback(struct archive* a, void* client, const void** buff) {
  auto* src = static_cast<Source*>(client);
  size_t got = 0;
  platform::Status s =
      src->file->ReadAt(src->offset, src->buf.data(), src->buf.size(), &got);
  if (!s.ok()) {
    archive_set_error(a, s.code(), "%s", s.ToString().c_str());
    return -1;
  }
  src->offset += got;
  *buff = src->buf.data();
  return static_cast<la_ssize_t>(got);
}

// An open archive reader; closed and freed with the object.
class Reader {
 public:
  ~Reader() {
    if (a_) archive_read_free(a_);
  }
  bool Open(const std::string& path, std::string* why) {
    platform::Status s =
        E()->OpenFile(path, platform::OpenMode::kReadOnly, &src_.file);
    if (!s.ok()) return Fail(why, "cannot open the payload: " + s.ToString());
    a_ = archive_read_new();
    if (!a_) return Fail(why, "out of memory");
    archive_read_support_filter_gzip(a_);
    archive_read_support_format_tar(a_);
    if (archive_read_open(a_, &src_, nullptr, &ReadCallback, nullptr) !=
        ARCHIVE_OK)
      return Fail(why, Error("cannot read the payload"));
    return true;
  }
  struct archive* get() {
    return a_;
  }
  std::string Error(const std::string& what) {
    const char* e = archive_error_string(a_);
    return what + ": " + (e ? e : "damaged or truncated archive");
  }

 private:
  Source src_;
  struct archive* a_ = nullptr;
};

// The names already seen, in upper case: entries given, and directories
// implied by the names below them.
struct Seen {
  std::map<std::string, bool> given;  // name -> is a directory
  std::set<std::string> implied;
};

// Checks one entry header and its place among the entries seen so far.
bool CheckEntry(struct archive_entry* e, Seen* seen, std::string* rel,
                bool* is_dir, std::string* why) {
  const char* raw = archive_entry_pathname(e);
  std::string name = raw ? raw : "";
  std::string reason;
  if (!PayloadNameOk(name, rel, &reason))
    return Fail(why, "entry \"" + name + "\": " + reason);
  auto refuse = [&](const std::string& what) {
    return Fail(why, "entry \"" + name + "\": " + what);
  };
  if (archive_entry_hardlink(e) != nullptr) return refuse("a hard link");
  switch (archive_entry_filetype(e)) {
    case AE_IFREG:
      *is_dir = false;
      break;
    case AE_IFDIR:
      *is_dir = true;
      break;
    case AE_IFLNK:
      return refuse("a symbolic link");
    default:
      return refuse("a device, FIFO or socket");
  }
  if (rel->empty()) {
    if (!*is_dir) return refuse("a file without a name");
    return true;  // the target directory itself
  }
  std::string key = Upper(*rel);
  if (seen->given.count(key)) return refuse("given twice");
  if (!*is_dir && seen->implied.count(key))
    return refuse("a file where a directory is needed");
  for (size_t i = key.find('\\'); i != std::string::npos;
       i = key.find('\\', i + 1)) {
    std::string up = key.substr(0, i);
    auto it = seen->given.find(up);
    if (it != seen->given.end() && !it->second)
      return refuse("lies below a file");
    seen->implied.insert(up);
  }
  seen->given[key] = *is_dir;
  return true;
}

// Creates dir (Windows-style or host path) and its missing parents; an
// existing link or file on the way fails. New directories are added to
// *created.
bool MakeDirs(const std::string& dir, std::vector<std::string>* created,
              std::string* why) {
  platform::FileInfo info;
  platform::Status s = E()->GetFileInfo(dir, &info);
  if (s.ok()) {
    if (info.is_link) return Fail(why, dir + " is a link; it is not followed");
    if (!info.is_dir) return Fail(why, dir + " exists and is no directory");
    return true;
  }
  size_t cut = dir.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    std::string parent = dir.substr(0, cut);
    bool drive_root = parent.size() == 2 && parent[1] == ':';
    if (!drive_root && !MakeDirs(parent, created, why)) return false;
    if (drive_root) E()->CreateDir(parent + "\\");  // the drive itself
  }
  s = E()->CreateDir(dir);
  if (!s.ok() && !E()->FileExists(dir)) return Fail(why, s.ToString());
  if (created) created->push_back(dir);
  return true;
}

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  if (cut == 0) return path.substr(0, 1);  // "/" of a host path
  std::string parent = path.substr(0, cut);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';  // drive root
  return parent;
}

// Writes the data of the current entry into path and syncs it.
bool WriteFile(struct archive* a, int64_t entry_size, const std::string& path,
               bool sync, uint64_t* bytes, std::string* why) {
  platform::FileInfo info;
  if (E()->GetFileInfo(path, &info).ok()) {
    if (info.is_link) return Fail(why, path + " is a link; it is not followed");
    if (info.is_dir) return Fail(why, path + " exists and is a directory");
    if (info.read_only) E()->SetAttributes(path, platform::kAttrNormal);
  }
  std::unique_ptr<platform::File> f;
  platform::Status s =
      E()->OpenFile(path, platform::OpenMode::kCreateAlways, &f);
  if (!s.ok()) return Fail(why, s.ToString());
  uint64_t end = 0;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int r = archive_read_data_block(a, &block, &size, &offset);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK) {
      const char* e = archive_error_string(a);
      return Fail(why, "cannot read the payload for " + path + ": " +
                           (e ? e : "damaged or truncated archive"));
    }
    if (offset < 0) return Fail(why, "bad data offset for " + path);
    s = f->WriteAt(static_cast<uint64_t>(offset), block, size);
    if (!s.ok()) return Fail(why, s.ToString());
    end = static_cast<uint64_t>(offset) + size;
    *bytes += size;
  }
  // A sparse file may end in a hole.
  if (entry_size > 0 && end < static_cast<uint64_t>(entry_size)) {
    s = f->Truncate(static_cast<uint64_t>(entry_size));
    if (!s.ok()) return Fail(why, s.ToString());
  }
  if (sync) s = f->Sync();
  if (!s.ok()) return Fail(why, s.ToString());
  return true;
}

}  // namespace

bool PayloadNameOk(const std::string& name, std::string* rel,
                   std::string* why) {
  if (rel) rel->clear();
  if (name.empty()) return Fail(why, "no name");
  if (name.size() > kMaxEntryName) return Fail(why, "name too long");
  if (name[0] == '/' || name[0] == '\\') return Fail(why, "an absolute path");
  std::string out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return Fail(why, "climbs out with \"..\"");
    if (part.size() > kMaxComponent) return Fail(why, "name too long");
    for (char c : part) {
      unsigned char u = static_cast<unsigned char>(c);
      if (c == ':') return Fail(why, "a drive or stream name (\":\")");
      if (u < 0x20 || u == 0x7F) return Fail(why, "a control character");
      if (std::string("<>\"|?*").find(c) != std::string::npos)
        return Fail(why, std::string("a character a file name cannot hold (") +
                             c + ")");
    }
    if (part.back() == ' ' || part.back() == '.')
      return Fail(why, "a name ending in a blank or a dot");
    if (!out.empty()) out += '\\';
    out += part;
  }
  if (rel) *rel = out;
  return true;
}

bool CheckPayload(const std::string& archive, PayloadSummary* summary,
                  std::string* why) {
  PayloadSummary sum;
  Reader r;
  if (!r.Open(archive, why)) return false;
  Seen seen;
  struct archive_entry* e = nullptr;
  for (;;) {
    int h = archive_read_next_header(r.get(), &e);
    if (h == ARCHIVE_EOF) break;
    if (h != ARCHIVE_OK && h != ARCHIVE_WARN)
      return Fail(why, r.Error("damaged payload"));
    std::string rel;
    bool is_dir = false;
    if (!CheckEntry(e, &seen, &rel, &is_dir, why)) return false;
    if (is_dir) {
      if (!rel.empty()) ++sum.dirs;
    } else {
      ++sum.files;
    }
    // Every byte is read: a truncated or corrupt archive fails here.
    for (;;) {
      const void* block = nullptr;
      size_t size = 0;
      la_int64_t offset = 0;
      int d = archive_read_data_block(r.get(), &block, &size, &offset);
      if (d == ARCHIVE_EOF) break;
      if (d != ARCHIVE_OK) return Fail(why, r.Error("damaged payload"));
      sum.bytes += size;
    }
  }
  if (summary) *summary = sum;
  return true;
}

bool ExtractPayload(const std::string& archive, const std::string& target,
                    const ExtractOptions& options, PayloadSummary* summary,
                    std::string* why) {
  PayloadSummary total;
  if (!CheckPayload(archive, &total, why)) return false;
  std::string root = target;
  while (root.size() > 1 && (root.back() == '\\' || root.back() == '/'))
    root.pop_back();
  std::vector<std::string> created;
  if (!MakeDirs(root, &created, why)) return false;
  std::set<std::string> touched = {root};
  for (const std::string& d : created) {
    std::string parent = ParentOf(d);
    if (!parent.empty()) touched.insert(parent);
  }

  Reader r;
  if (!r.Open(archive, why)) return false;
  if (options.progress)
    platform::Progress(platform::kProgressWindow, platform::kProgressOverall, 0,
                       "Unpacking");
  PayloadSummary done;
  Seen seen;
  struct archive_entry* e = nullptr;
  for (;;) {
    int h = archive_read_next_header(r.get(), &e);
    if (h == ARCHIVE_EOF) break;
    if (h != ARCHIVE_OK && h != ARCHIVE_WARN)
      return Fail(why, r.Error("damaged payload"));
    std::string rel;
    bool is_dir = false;
    // The archive is checked again entry by entry: it is read a second time.
    if (!CheckEntry(e, &seen, &rel, &is_dir, why)) return false;
    if (rel.empty()) continue;
    std::string path = root + "\\" + rel;
    created.clear();
    if (!MakeDirs(is_dir ? path : ParentOf(path), &created, why)) return false;
    for (const std::string& d : created) touched.insert(ParentOf(d));
    if (is_dir) {
      touched.insert(path);
      ++done.dirs;
    } else {
      if (!WriteFile(r.get(), archive_entry_size(e), path, options.sync,
                     &done.bytes, why))
        return false;
      touched.insert(ParentOf(path));
      ++done.files;
      if (options.kill_after_files && done.files >= options.kill_after_files)
        platform::KillCurrentProcess();
    }
    if (options.progress)
      platform::Progress(
          platform::kProgressWindow, platform::kProgressOverall,
          platform::ProgressPercent(static_cast<int64_t>(done.bytes),
                                    static_cast<int64_t>(total.bytes)),
          rel.c_str());
  }
  if (done.dirs != total.dirs || done.files != total.files)
    return Fail(why, "the payload changed while it was unpacked");
  for (const std::string& d : touched) {
    if (!options.sync) break;
    platform::Status s = E()->SyncDir(d);
    if (!s.ok()) return Fail(why, s.ToString());
  }
  if (options.progress)
    platform::Progress(platform::kProgressWindow, platform::kProgressText,
                       platform::kProgressReset, nullptr);
  if (summary) *summary = done;
  return true;
}

}  // namespace setup
