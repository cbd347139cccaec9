// Writing a package payload from a data-set tree: libarchive writes through
// callbacks on a platform file.

#include <archive.h>
#include <archive_entry.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "payload.h"
#include "platform/env.h"

namespace setup {
namespace {

platform::Env* E() { return platform::Env::Current(); }

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

struct Sink {
  std::unique_ptr<platform::File> file;
  uint64_t offset = 0;
};

la_ssize_t WriteCallback(struct archive* a, void* client, const void* buff,
                         size_t n) {
  auto* sink = static_cast<Sink*>(client);
  platform::Status s = sink->file->WriteAt(sink->offset, buff, n);
  if (!s.ok()) {
    archive_set_error(a, s.code(), "%s", s.ToString().c_str());
    return -1;
  }
  sink->offset += n;
  return static_cast<la_ssize_t>(n);
}

struct Item {
  std::string name;  // relative, "/" between components
  std::string path;  // as the platform layer opens it
  bool is_dir = false;
  int64_t mtime = 0;
};

// Lists the tree in archive order; refuses links and names the reader would
// refuse.
bool Collect(const std::string& src, std::vector<Item>* items,
             std::string* why) {
  std::vector<std::string> stack;
  std::set<std::string> upper;
  std::string error;
  std::string root = src;
  while (root.size() > 1 && (root.back() == '/' || root.back() == '\\'))
    root.pop_back();
  const char sep = (!root.empty() && root[0] == '/') ? '/' : '\\';
  platform::Status s =
      E()->WalkTree(root, [&](int depth, const platform::DirEntry& e) {
        if (!error.empty()) return false;
        stack.resize(static_cast<size_t>(depth - 1));
        stack.push_back(e.name);
        std::string name, path = root;
        for (const std::string& part : stack) {
          name += (name.empty() ? "" : "/") + part;
          path += sep + part;
        }
        if (e.info.is_link) {
          error = name +
                  " is a symbolic link (a package holds plain files "
                  "and directories only)";
          return false;
        }
        std::string rel, reason;
        if (!PayloadNameOk(name, &rel, &reason) || rel.empty()) {
          error = name + ": " + (reason.empty() ? "no name" : reason);
          return false;
        }
        std::string key = rel;
        for (char& c : key)
          c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!upper.insert(key).second) {
          error = name + ": another name differs from it in case only";
          return false;
        }
        items->push_back({name, path, e.info.is_dir, e.info.mtime});
        return e.info.is_dir;
      });
  if (!s.ok()) return Fail(why, "cannot read " + src + ": " + s.ToString());
  if (!error.empty()) return Fail(why, error);
  return true;
}

class Writer {
 public:
  ~Writer() {
    if (a_) archive_write_free(a_);
  }
  bool Open(const std::string& path, std::string* why) {
    platform::Status s =
        E()->OpenFile(path, platform::OpenMode::kCreateAlways, &sink_.file);
    if (!s.ok()) return Fail(why, s.ToString());
    a_ = archive_write_new();
    if (!a_) return Fail(why, "out of memory");
    if (archive_write_set_format_pax_restricted(a_) != ARCHIVE_OK ||
        archive_write_add_filter_gzip(a_) != ARCHIVE_OK)
      return Fail(why, Error());
    // No time stamp in the gzip header: the same tree, the same bytes.
    archive_write_set_filter_option(a_, "gzip", "timestamp", nullptr);
    archive_write_set_bytes_in_last_block(a_, 1);
    if (archive_write_open(a_, &sink_, nullptr, &WriteCallback, nullptr) !=
        ARCHIVE_OK)
      return Fail(why, Error());
    return true;
  }
  struct archive* get() {
    return a_;
  }
  platform::File* file() { return sink_.file.get(); }
  std::string Error() {
    const char* e = archive_error_string(a_);
    return std::string("cannot write the payload: ") + (e ? e : "failed");
  }

 private:
  Sink sink_;
  struct archive* a_ = nullptr;
};

// Adds one item; files are read in chunks and must keep their size.
bool AddItem(Writer& w, const Item& item, int64_t epoch, uint64_t* bytes,
             std::string* why) {
  std::unique_ptr<platform::File> in;
  uint64_t size = 0;
  if (!item.is_dir) {
    platform::Status s =
        E()->OpenFile(item.path, platform::OpenMode::kReadOnly, &in);
    if (s.ok()) s = in->Size(&size);
    if (!s.ok()) return Fail(why, s.ToString());
  }
  std::unique_ptr<archive_entry, void (*)(archive_entry*)> e(
      archive_entry_new(), &archive_entry_free);
  archive_entry_set_pathname(e.get(),
                             (item.name + (item.is_dir ? "/" : "")).c_str());
  archive_entry_set_filetype(e.get(), item.is_dir ? AE_IFDIR : AE_IFREG);
  archive_entry_set_perm(e.get(), item.is_dir ? 0755 : 0644);
  archive_entry_set_size(e.get(), item.is_dir ? 0 : static_cast<int64_t>(size));
  int64_t mtime = item.mtime;
  if (epoch >= 0 && mtime > epoch) mtime = epoch;
  archive_entry_set_mtime(e.get(), mtime, 0);
  archive_entry_set_uid(e.get(), 0);
  archive_entry_set_gid(e.get(), 0);
  if (archive_write_header(w.get(), e.get()) != ARCHIVE_OK)
    return Fail(why, w.Error());
  if (item.is_dir) return true;
  std::vector<char> buf(64 * 1024);
  uint64_t done = 0;
  while (done < size) {
    size_t got = 0;
    platform::Status s = in->ReadAt(done, buf.data(), buf.size(), &got);
    if (!s.ok()) return Fail(why, s.ToString());
    if (got == 0) break;
    if (got > size - done) got = static_cast<size_t>(size - done);
    if (archive_write_data(w.get(), buf.data(), got) !=
        static_cast<la_ssize_t>(got))
      return Fail(why, w.Error());
    done += got;
  }
  if (done != size)
    return Fail(why, item.path + " changed while it was packed");
  *bytes += size;
  return true;
}

// $SOURCE_DATE_EPOCH as seconds, or -1.
int64_t SourceDateEpoch() {
  std::string v;
  if (!E()->GetEnv("SOURCE_DATE_EPOCH", &v) || v.empty()) return -1;
  char* end = nullptr;
  long long n = std::strtoll(v.c_str(), &end, 10);
  if (end == v.c_str() || *end != '\0' || n < 0) return -1;
  return static_cast<int64_t>(n);
}

}  // namespace

bool WritePayload(const std::string& src_dir, const std::string& archive,
                  PayloadSummary* summary, std::string* why) {
  std::vector<Item> items;
  if (!Collect(src_dir, &items, why)) return false;
  Writer w;
  if (!w.Open(archive, why)) return false;
  PayloadSummary sum;
  const int64_t epoch = SourceDateEpoch();
  for (const Item& item : items) {
    if (!AddItem(w, item, epoch, &sum.bytes, why)) return false;
    if (item.is_dir)
      ++sum.dirs;
    else
      ++sum.files;
  }
  if (archive_write_close(w.get()) != ARCHIVE_OK) return Fail(why, w.Error());
  platform::Status s = w.file()->Sync();
  if (!s.ok()) return Fail(why, s.ToString());
  if (summary) *summary = sum;
  return true;
}

}  // namespace setup
