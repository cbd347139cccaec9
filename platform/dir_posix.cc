// Directory listing and tree operations. The tree walks work on directory
// descriptors opened with O_NOFOLLOW and on *at() calls relative to them, so
// a symbolic link is never entered, even one that replaces a directory while
// the walk runs.

#include "platform/dir_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>

#include "platform/mask.h"
#include "platform/path_map.h"

namespace platform::internal {

namespace {

// Owns a file descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

int OpenDirNoFollow(int at, const std::string& name) {
  int fd;
  do {
    fd = openat(at, name.c_str(),
                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Names in the directory open as dirfd (not "." and ".."); the descriptor
// itself stays open and usable.
Status ReadNames(int dirfd, const std::string& what,
                 std::vector<std::string>* names) {
  names->clear();
  int dup_fd = fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
  if (dup_fd < 0) return Status::Error(errno, "list " + what);
  // Closed on every path, also when memory runs out while listing.
  std::unique_ptr<DIR, int (*)(DIR*)> d(fdopendir(dup_fd), closedir);
  if (d == nullptr) {
    int e = errno;
    close(dup_fd);
    return Status::Error(e, "list " + what);
  }
  rewinddir(d.get());  // the duplicate shares the position of earlier readers
  errno = 0;
  while (struct dirent* e = readdir(d.get())) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names->push_back(n);
    errno = 0;
  }
  int err = errno;
  d.reset();
  if (err != 0) return Status::Error(err, "list " + what);
  return Status::OK();
}

std::string Parent(const std::string& path, std::string* name) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *name = path;
    return ".";
  }
  *name = path.substr(slash + 1);
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Copies the data of src into a new file in dirfd named name, replacing an
// existing one only when replace is true. st describes src.
Status CopyInto(int src, const struct stat& st, int dirfd,
                const std::string& name, bool replace,
                const std::string& what) {
  static std::atomic<unsigned> counter{0};
  std::string tmp;
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; attempt++) {
    tmp = ".~" + name + "." + std::to_string(getpid()) + "." +
          std::to_string(counter.fetch_add(1)) + ".tmp";
    out = openat(dirfd, tmp.c_str(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (out < 0) return Status::Error(errno, "copy " + what);
  Fd out_fd(out);

  auto fail = [&](int code) {
    unlinkat(dirfd, tmp.c_str(), 0);
    return Status::Error(code, "copy " + what);
  };

  std::vector<char> buf(1 << 16);
  off_t pos = 0;
  for (;;) {
    ssize_t r = pread(src, buf.data(), buf.size(), pos);
    if (r < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (r == 0) break;
    ssize_t done = 0;
    while (done < r) {
      ssize_t w = write(out, buf.data() + done, static_cast<size_t>(r - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return fail(errno);
      }
      done += w;
    }
    pos += r;
  }
  if (fchmod(out, st.st_mode & 07777) != 0) return fail(errno);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (futimens(out, times) != 0) return fail(errno);

  if (replace) {
    if (renameat(dirfd, tmp.c_str(), dirfd, name.c_str()) != 0) {
      return fail(errno);
    }
    return Status::OK();
  }
  if (renameat2(dirfd, tmp.c_str(), dirfd, name.c_str(), RENAME_NOREPLACE) ==
      0) {
    return Status::OK();
  }
  if (errno != EINVAL && errno != ENOSYS) return fail(errno);
  // File systems without RENAME_NOREPLACE: a hard link never replaces.
  if (linkat(dirfd, tmp.c_str(), dirfd, name.c_str(), 0) != 0) {
    return fail(errno);
  }
  unlinkat(dirfd, tmp.c_str(), 0);
  return Status::OK();
}

Status CopyDir(int src_dir, int dst_dir, const std::string& what) {
  std::vector<std::string> names, existing;
  Status s = ReadNames(src_dir, what, &names);
  if (!s.ok()) return s;
  s = ReadNames(dst_dir, what, &existing);
  if (!s.ok()) return s;
  for (const std::string& name : names) {
    struct stat st;
    if (fstatat(src_dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // vanished meanwhile
      return Status::Error(errno, "copy " + what + "/" + name);
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;  // links too
    // A target entry with the same name ignoring case is the one to use.
    std::string target = name;
    if (std::find(existing.begin(), existing.end(), name) == existing.end()) {
      for (const std::string& e : existing) {
        if (EqualsIgnoreCase(e, name)) {
          target = e;
          break;
        }
      }
    }
    const std::string sub = what + "/" + name;
    if (S_ISDIR(st.st_mode)) {
      if (mkdirat(dst_dir, target.c_str(), 0777) != 0 && errno != EEXIST) {
        return Status::Error(errno, "copy " + sub);
      }
      Fd from(OpenDirNoFollow(src_dir, name));
      if (!from.valid()) return Status::Error(errno, "copy " + sub);
      Fd to(OpenDirNoFollow(dst_dir, target));
      if (!to.valid()) return Status::Error(errno, "copy " + sub);
      s = CopyDir(from.get(), to.get(), sub);
      if (!s.ok()) return s;
    } else {
      Fd in(openat(src_dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
      if (!in.valid()) return Status::Error(errno, "copy " + sub);
      s = CopyInto(in.get(), st, dst_dir, target, /*replace=*/true, sub);
      if (!s.ok()) return s;
    }
  }
  return Status::OK();
}

// Deletes everything inside the directory open as dirfd.
Status DeleteContents(int dirfd, const std::string& what) {
  struct stat st;
  if (fstat(dirfd, &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
    fchmod(dirfd, (st.st_mode & 07777) | S_IWUSR | S_IXUSR);
  }
  std::vector<std::string> names;
  Status first = ReadNames(dirfd, what, &names);
  for (const std::string& name : names) {
    const std::string sub = what + "/" + name;
    Status s;
    if (fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) s = Status::Error(errno, "delete " + sub);
    } else if (S_ISDIR(st.st_mode)) {
      Fd child(OpenDirNoFollow(dirfd, name));
      if (!child.valid()) {
        s = Status::Error(errno, "delete " + sub);
      } else {
        s = DeleteContents(child.get(), sub);
        if (unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) != 0 && s.ok()) {
          s = Status::Error(errno, "delete " + sub);
        }
      }
    } else if (unlinkat(dirfd, name.c_str(), 0) != 0 && errno != ENOENT) {
      s = Status::Error(errno, "delete " + sub);
    }
    if (first.ok() && !s.ok()) first = s;
  }
  return first;
}

// Entries of the directory open as dirfd, sorted as ListHostDir sorts.
Status ReadEntries(int dirfd, const std::string& what,
                   std::vector<DirEntry>* entries);

void WalkDir(int dirfd, const std::string& what, int depth,
             const Env::TreeVisitor& visit) {
  std::vector<DirEntry> entries;
  ReadEntries(dirfd, what, &entries);
  for (const DirEntry& e : entries) {
    if (!visit(depth, e) || !e.info.is_dir || e.info.is_link) continue;
    Fd child(OpenDirNoFollow(dirfd, e.name));
    if (child.valid())
      WalkDir(child.get(), what + "/" + e.name, depth + 1, visit);
  }
}

}  // namespace

void FillFileInfo(const struct stat& st, FileInfo* info) {
  info->is_dir = S_ISDIR(st.st_mode);
  info->is_link = S_ISLNK(st.st_mode);
  info->read_only = (st.st_mode & S_IWUSR) == 0;
  info->size = static_cast<uint64_t>(st.st_size);
  info->mtime = st.st_mtim.tv_sec;
  info->mtime_ns = st.st_mtim.tv_nsec;
  info->inode = st.st_ino;
}

namespace {

Status ReadEntries(int dirfd, const std::string& what, const std::string& mask,
                   std::vector<DirEntry>* entries) {
  entries->clear();
  std::vector<std::string> names;
  Status s = ReadNames(dirfd, what, &names);
  if (!s.ok()) return s;
  for (const std::string& name : names) {
    if (!mask.empty() && !MatchMask(name, mask)) continue;
    struct stat st;
    if (fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // removed since it was read
    }
    DirEntry e;
    e.name = name;
    FillFileInfo(st, &e.info);
    entries->push_back(std::move(e));
  }
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) {
              int c = CompareIgnoreCase(a.name, b.name);
              return c != 0 ? c < 0 : a.name < b.name;
            });
  return Status::OK();
}

Status ReadEntries(int dirfd, const std::string& what,
                   std::vector<DirEntry>* entries) {
  return ReadEntries(dirfd, what, "", entries);
}

}  // namespace

bool HostEntryExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

Status GetHostFileInfo(const std::string& path, FileInfo* info) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    return Status::Error(errno, "stat " + path);
  }
  FillFileInfo(st, info);
  return Status::OK();
}

Status DeleteHostFile(const std::string& host, const std::string& given) {
  const std::string what = "delete " + given;
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return Status::Error(errno, what);
  if (S_ISDIR(st.st_mode)) return Status::Error(EISDIR, what);
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    return Status::Error(EACCES, what + " (read-only)");
  }
  if (unlink(host.c_str()) != 0) return Status::Error(errno, what);
  return Status::OK();
}

Status ListHostDir(const std::string& dir, const std::string& mask,
                   std::vector<DirEntry>* entries) {
  entries->clear();
  Fd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return Status::Error(errno, "list " + dir);
  return ReadEntries(fd.get(), dir, mask.empty() ? "*" : mask, entries);
}

Status WalkHostTree(const std::string& dir, const Env::TreeVisitor& visit) {
  Fd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return Status::Error(errno, "walk " + dir);
  WalkDir(fd.get(), dir, 1, visit);
  return Status::OK();
}

Status CopyHostFile(const std::string& from, const std::string& to,
                    bool fail_if_exists) {
  const std::string what = from + " to " + to;
  struct stat st;
  if (lstat(from.c_str(), &st) != 0)
    return Status::Error(errno, "copy " + what);
  if (S_ISLNK(st.st_mode)) {
    return Status::Error(ELOOP, "copy " + what + " (source is a link)");
  }
  if (S_ISDIR(st.st_mode)) return Status::Error(EISDIR, "copy " + what);
  if (!S_ISREG(st.st_mode)) return Status::Error(EINVAL, "copy " + what);
  struct stat tst;
  if (lstat(to.c_str(), &tst) == 0) {
    if (fail_if_exists) return Status::Error(EEXIST, "copy " + what);
    if (S_ISDIR(tst.st_mode)) return Status::Error(EISDIR, "copy " + what);
    if (tst.st_ino == st.st_ino && tst.st_dev == st.st_dev) {
      return Status::Error(EINVAL, "copy " + what + " (same file)");
    }
    if (!S_ISLNK(tst.st_mode) && (tst.st_mode & S_IWUSR) == 0) {
      return Status::Error(EACCES, "copy " + what + " (target read-only)");
    }
  }
  Fd in(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.valid()) return Status::Error(errno, "copy " + what);
  if (fstat(in.get(), &st) != 0) return Status::Error(errno, "copy " + what);
  std::string name;
  std::string dir = Parent(to, &name);
  Fd dirfd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dirfd.valid()) return Status::Error(errno, "copy " + what);
  return CopyInto(in.get(), st, dirfd.get(), name, !fail_if_exists, what);
}

Status CopyHostTree(const std::string& from, const std::string& to) {
  const std::string what = from + " to " + to;
  struct stat st;
  if (lstat(from.c_str(), &st) != 0)
    return Status::Error(errno, "copy " + what);
  if (S_ISLNK(st.st_mode)) {
    return Status::Error(ELOOP, "copy " + what + " (source is a link)");
  }
  if (S_ISREG(st.st_mode)) return CopyHostFile(from, to, false);
  if (!S_ISDIR(st.st_mode)) return Status::Error(EINVAL, "copy " + what);
  if (to == from || to.compare(0, from.size() + 1, from + "/") == 0) {
    return Status::Error(EINVAL, "copy " + what + " (target inside source)");
  }
  if (mkdir(to.c_str(), 0777) != 0 && errno != EEXIST) {
    return Status::Error(errno, "copy " + what);
  }
  Fd src(OpenDirNoFollow(AT_FDCWD, from));
  if (!src.valid()) return Status::Error(errno, "copy " + what);
  Fd dst(OpenDirNoFollow(AT_FDCWD, to));
  if (!dst.valid()) return Status::Error(errno, "copy " + what);
  return CopyDir(src.get(), dst.get(), from);
}

Status DeleteHostTree(const std::string& path) {
  // A mapping slip must never empty the whole host.
  if (path.empty() || path == "/") {
    return Status::Error(EPERM, "delete " + path + " (file system root)");
  }
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    return Status::Error(errno, "delete " + path);
  if (!S_ISDIR(st.st_mode)) {
    if (unlink(path.c_str()) != 0)
      return Status::Error(errno, "delete " + path);
    return Status::OK();
  }
  Status s;
  {
    Fd fd(OpenDirNoFollow(AT_FDCWD, path));
    if (!fd.valid()) return Status::Error(errno, "delete " + path);
    s = DeleteContents(fd.get(), path);
  }
  if (rmdir(path.c_str()) != 0 && s.ok()) {
    s = Status::Error(errno, "delete " + path);
  }
  return s;
}

}  // namespace platform::internal
