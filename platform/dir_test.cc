// Directories on every host: listings with masks (the layer's own matcher,
// so both hosts list the same names), copies that keep contents, the
// read-only state and the time, deletes, renames and directories, the
// attributes, trees, and links that are never followed. Where the hosts
// differ the expectation says which host it is for.

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/windows_host.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/testing/host.h"
#include "platform/testing/temp_dir.h"

namespace platform {
namespace {

using testing::kWindowsHost;

using Names = std::vector<std::string>;

class DirTest : public ::testing::Test {
 protected:
  void Put(const std::string& path, const std::string& data) {
    std::unique_ptr<File> f;
    ASSERT_TRUE(env_->OpenFile(path, OpenMode::kCreateAlways, &f).ok()) << path;
    ASSERT_TRUE(f->WriteAt(0, data.data(), data.size()).ok());
  }
  // Contents of a file ("<missing>" when it cannot be opened).
  std::string Slurp(const std::string& path) {
    std::unique_ptr<File> f;
    if (!env_->OpenFile(path, OpenMode::kReadOnly, &f).ok()) return "<missing>";
    std::string data(4096, '\0');
    size_t got = 0;
    if (!f->ReadAt(0, data.data(), data.size(), &got).ok()) return "<error>";
    data.resize(got);
    return data;
  }
  Names List(const std::string& dir, const std::string& mask) {
    std::vector<DirEntry> entries;
    Status s = env_->ListDir(dir, mask, &entries);
    EXPECT_TRUE(s.ok()) << s.ToString();
    Names names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    return names;
  }
  std::string Host(const std::string& path) {
    std::string host;
    EXPECT_TRUE(env_->HostPath(path, &host).ok()) << path;
    return host;
  }
  // Makes link, a symbolic link to target; false where the host makes none
  // (wine 8 answers success and makes nothing).
  bool MakeLink(const std::string& link, const std::string& target, bool dir) {
#ifdef _WIN32
    const std::string l = Host(link);
    return CreateSymbolicLinkA(l.c_str(), Host(target).c_str(),
                               dir ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) &&
           GetFileAttributesA(l.c_str()) != INVALID_FILE_ATTRIBUTES &&
           (GetFileAttributesA(l.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    (void)dir;
    return symlink(Host(target).c_str(), Host(link).c_str()) == 0;
#endif
  }
  // Sets the last write time of path (seconds since 1970, UTC).
  bool SetWriteTime(const std::string& path, int64_t secs) {
#ifdef _WIN32
    HANDLE h = CreateFileA(Host(path).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ULARGE_INTEGER t;
    t.QuadPart =
        static_cast<uint64_t>(secs) * 10000000ULL + 116444736000000000ULL;
    FILETIME ft = {t.LowPart, t.HighPart};
    const bool ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok;
#else
    struct timespec times[2] = {{secs, 0}, {secs, 0}};
    return utimensat(AT_FDCWD, Host(path).c_str(), times, 0) == 0;
#endif
  }
  std::string P(const std::string& rel) { return tmp_.Sub(rel); }

  testing::ScopedTempDir tmp_;
  Env* env_ = Env::Default();
};

TEST_F(DirTest, ListingMasksAndOrder) {
  ASSERT_TRUE(env_->CreateDir(P("g")).ok());
  for (const char* n : {"b.dbf", "A.DBF", "c.DBF", "a2.dbf", "x.ntx", "README",
                        "longername.dbfx"}) {
    Put(P("g\\") + n, "x");
  }
  ASSERT_TRUE(env_->CreateDir(P("g\\Sub")).ok());
  EXPECT_EQ(List(P("G"), "*.dbf"),
            Names({"A.DBF", "a2.dbf", "b.dbf", "c.DBF"}));  // no "*.dbf?"
  EXPECT_EQ(List(P("g\\"), "*.*"),
            Names({"A.DBF", "a2.dbf", "b.dbf", "c.DBF", "longername.dbfx",
                   "README", "Sub", "x.ntx"}));
  EXPECT_EQ(List(P("g"), ""), List(P("g"), "*"));
  EXPECT_EQ(List(P("g"), "?.ntx"), Names({"x.ntx"}));
  EXPECT_EQ(List(P("g"), "readme"), Names({"README"}));
  EXPECT_EQ(List(P("g"), "README.*"), Names({"README"}));
  EXPECT_EQ(List(P("g"), "*."), Names({"README", "Sub"}));
  EXPECT_TRUE(List(P("g"), "*.mem").empty());
  // Windows 8.3 short names are never matched ("LONGER~1.DBF").
  EXPECT_TRUE(List(P("g"), "LONGER~1.*").empty());

  std::vector<DirEntry> entries;
  ASSERT_TRUE(env_->ListDir(P("g"), "s*", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].info.is_dir);
  ASSERT_TRUE(env_->ListDir(P("g"), "b.dbf", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].info.size, 1u);
  EXPECT_GT(entries[0].info.mtime, 1500000000);

  EXPECT_EQ(env_->ListDir(P("none"), "*.*", &entries).code(), ENOENT);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(env_->ListDir(P("g\\b.dbf"), "*.*", &entries).code(), ENOTDIR);
}

TEST_F(DirTest, CopyFileKeepsContentsReadOnlyAndTime) {
  Put(P("src.dbf"), "contents");
  ASSERT_TRUE(SetWriteTime(P("src.dbf"), 1234567890));
#ifdef _WIN32
  ASSERT_TRUE(env_->SetAttributes(P("src.dbf"), kAttrHidden).ok());
#else
  ASSERT_EQ(chmod(Host(P("src.dbf")).c_str(), 0640), 0);
#endif

  ASSERT_TRUE(env_->CopyFile(P("SRC.DBF"), P("dst.dbf"), true).ok());
  EXPECT_EQ(Slurp(P("dst.dbf")), "contents");
  FileInfo info;
  ASSERT_TRUE(env_->GetFileInfo(P("dst.dbf"), &info).ok());
  EXPECT_EQ(info.mtime, 1234567890);
#ifdef _WIN32
  uint32_t a = 0;
  ASSERT_TRUE(env_->GetAttributes(P("dst.dbf"), &a).ok());
  EXPECT_TRUE(a & kAttrHidden);
#else
  struct stat st;
  ASSERT_EQ(stat(Host(P("dst.dbf")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
#endif

  EXPECT_EQ(env_->CopyFile(P("src.dbf"), P("DST.DBF"), true).code(), EEXIST);
  Put(P("src.dbf"), "new");
  ASSERT_TRUE(env_->CopyFile(P("src.dbf"), P("DST.DBF"), false).ok());
  EXPECT_EQ(Slurp(P("dst.dbf")), "new");
  EXPECT_EQ(List(tmp_.path(), "*"),
            Names({"dst.dbf", "src.dbf"}));  // own name kept, no leftovers

  // A source open for writing elsewhere is still copied.
  std::unique_ptr<File> open;
  ASSERT_TRUE(env_->OpenFile(P("src.dbf"), OpenMode::kReadWrite, &open).ok());
  ASSERT_TRUE(env_->CopyFile(P("src.dbf"), P("third.dbf"), true).ok());
  EXPECT_EQ(Slurp(P("third.dbf")), "new");
  if (kWindowsHost) {
    // A target open elsewhere is never swapped under its user.
    std::unique_ptr<File> target;
    ASSERT_TRUE(
        env_->OpenFile(P("third.dbf"), OpenMode::kReadOnly, &target).ok());
    EXPECT_FALSE(env_->CopyFile(P("dst.dbf"), P("third.dbf"), false).ok());
  }
  open.reset();
  EXPECT_EQ(List(tmp_.path(), "*"), Names({"dst.dbf", "src.dbf", "third.dbf"}));

  ASSERT_TRUE(env_->SetAttributes(P("src.dbf"), kAttrReadOnly).ok());
  ASSERT_TRUE(env_->CopyFile(P("src.dbf"), P("ro.dbf"), true).ok());
  uint32_t attrs = 0;
  ASSERT_TRUE(env_->GetAttributes(P("ro.dbf"), &attrs).ok());
  EXPECT_TRUE(attrs & kAttrReadOnly);
  EXPECT_EQ(env_->CopyFile(P("dst.dbf"), P("ro.dbf"), false).code(), EACCES);
  EXPECT_EQ(env_->CopyFile(P("dst.dbf"), P("DST.dbf"), false).code(), EINVAL);
  EXPECT_EQ(env_->CopyFile(P("dst.dbf"), P("dst.dbf"), false).code(), EINVAL);
  EXPECT_EQ(env_->CopyFile(P("none"), P("x"), false).code(), ENOENT);
  EXPECT_EQ(env_->CopyFile(tmp_.path(), P("x"), false).code(), EISDIR);
  EXPECT_FALSE(env_->FileExists(P("x")));
}

TEST_F(DirTest, DeleteRenameAndDirectories) {
  Put(P("a.dbf"), "a");
  Put(P("b.dbf"), "b");
  EXPECT_EQ(env_->RenameFile(P("a.dbf"), P("B.DBF"), false).code(), EEXIST);
  EXPECT_EQ(Slurp(P("a.dbf")), "a");
  EXPECT_EQ(Slurp(P("b.dbf")), "b");
  ASSERT_TRUE(env_->RenameFile(P("a.dbf"), P("B.DBF"), true).ok());
  EXPECT_EQ(Slurp(P("b.dbf")), "a");
  EXPECT_FALSE(env_->FileExists(P("a.dbf")));
  ASSERT_TRUE(env_->RenameFile(P("b.dbf"), P("new.dbf"), false).ok());
  // A change of case only renames the entry.
  ASSERT_TRUE(env_->RenameFile(P("new.dbf"), P("NEW.DBF"), false).ok());
  EXPECT_EQ(List(tmp_.path(), "*"), Names({"NEW.DBF"}));
  ASSERT_TRUE(env_->RenameFile(P("new.dbf"), P("NEW.DBF"), true).ok());
  EXPECT_EQ(Slurp(P("new.dbf")), "a");
  EXPECT_EQ(env_->RenameFile(P("none"), P("x"), true).code(), ENOENT);

  Put(P("ro.dbf"), "r");
  ASSERT_TRUE(env_->SetAttributes(P("ro.dbf"), kAttrReadOnly).ok());
  EXPECT_EQ(env_->DeleteFile(P("ro.dbf")).code(), EACCES);
  EXPECT_EQ(env_->RenameFile(P("new.dbf"), P("ro.dbf"), true).code(), EACCES);
  ASSERT_TRUE(env_->SetAttributes(P("ro.dbf"), 0).ok());
  EXPECT_TRUE(env_->DeleteFile(P("RO.DBF")).ok());
  EXPECT_EQ(env_->DeleteFile(P("ro.dbf")).code(), ENOENT);

  ASSERT_TRUE(env_->CreateDir(P("Dir")).ok());
  EXPECT_EQ(env_->CreateDir(P("DIR")).code(), EEXIST);
  EXPECT_EQ(env_->DeleteFile(P("dir")).code(), EISDIR);
  Put(P("dir\\f"), "");
  EXPECT_EQ(env_->RemoveDir(P("dir")).code(), ENOTEMPTY);
  EXPECT_EQ(env_->RemoveDir(P("dir\\f")).code(), ENOTDIR);
  ASSERT_TRUE(env_->DeleteFile(P("dir\\F")).ok());
  EXPECT_TRUE(env_->RemoveDir(P("dir")).ok());
  EXPECT_EQ(env_->RemoveDir(P("dir")).code(), ENOENT);
  EXPECT_EQ(env_->CreateDir(P("no\\sub")).code(), ENOENT);
}

TEST_F(DirTest, Attributes) {
  Put(P("f.dbf"), "x");
  ASSERT_TRUE(env_->CreateDir(P("d")).ok());
  uint32_t a = 0;
  // A plain file: normal, or archive where the file system keeps that bit
  // on every file (wine).
  auto plain = [](uint32_t x) {
    return x == kAttrNormal || (kWindowsHost && x == kAttrArchive);
  };
  ASSERT_TRUE(env_->SetAttributes(P("f.dbf"), 0).ok());
  ASSERT_TRUE(env_->GetAttributes(P("f.dbf"), &a).ok());
  EXPECT_TRUE(plain(a)) << a;
  ASSERT_TRUE(env_->GetAttributes(P("d"), &a).ok());
  EXPECT_EQ(a & kAttrDirectory, kAttrDirectory);
  // Windows keeps hidden, system and archive; Linux has only read-only,
  // which clears every write bit.
  const uint32_t all = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
  ASSERT_TRUE(env_->SetAttributes(P("f.dbf"), all).ok());
  ASSERT_TRUE(env_->GetAttributes(P("F.DBF"), &a).ok());
  EXPECT_EQ(a, kWindowsHost ? all : kAttrReadOnly);
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(Host(P("f.dbf")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
#endif
  FileInfo info;
  ASSERT_TRUE(env_->GetFileInfo(P("f.dbf"), &info).ok());
  EXPECT_TRUE(info.read_only);
  ASSERT_TRUE(env_->SetAttributes(P("f.dbf"), kAttrNormal).ok());
  ASSERT_TRUE(env_->GetAttributes(P("f.dbf"), &a).ok());
  EXPECT_TRUE(plain(a)) << a;
  EXPECT_EQ(env_->GetAttributes(P("none"), &a).code(), ENOENT);
  EXPECT_EQ(env_->SetAttributes(P("none"), 0).code(), ENOENT);
  EXPECT_EQ(env_->GetFileInfo(P("none"), &info).code(), ENOENT);
}

class TreeTest : public DirTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_->CreateDir(P("src")).ok());
    ASSERT_TRUE(env_->CreateDir(P("src\\Sub")).ok());
    ASSERT_TRUE(env_->CreateDir(P("src\\Sub\\Deep")).ok());
    Put(P("src\\top.dbf"), "top");
    Put(P("src\\sub\\MID.DBF"), "mid");
    Put(P("src\\sub\\deep\\low.ntx"), "low");
  }
};

TEST_F(TreeTest, CopyAndWalk) {
  ASSERT_TRUE(env_->CopyTree(P("SRC"), P("dst")).ok());
  EXPECT_EQ(Slurp(P("dst\\top.dbf")), "top");
  EXPECT_EQ(Slurp(P("dst\\Sub\\MID.DBF")), "mid");
  EXPECT_EQ(Slurp(P("dst\\Sub\\Deep\\low.ntx")), "low");
  EXPECT_EQ(List(P("dst"), "*"), Names({"Sub", "top.dbf"}));

  std::vector<std::pair<int, std::string>> seen;
  ASSERT_TRUE(env_->WalkTree(P("dst"),
                             [&](int depth, const DirEntry& e) {
                               seen.emplace_back(depth, e.name);
                               return e.name != "Deep";  // not entered
                             })
                  .ok());
  EXPECT_EQ(seen,
            (std::vector<std::pair<int, std::string>>{
                {1, "Sub"}, {2, "Deep"}, {2, "MID.DBF"}, {1, "top.dbf"}}));
  EXPECT_EQ(env_->WalkTree(P("none"), [](int, const DirEntry&) { return true; })
                .code(),
            ENOENT);
}

TEST_F(TreeTest, CopyMergesIntoExistingNamesIgnoringCase) {
  ASSERT_TRUE(env_->CreateDir(P("dst")).ok());
  ASSERT_TRUE(env_->CreateDir(P("dst\\SUB")).ok());
  Put(P("dst\\SUB\\mid.dbf"), "old");
  Put(P("dst\\TOP.DBF"), "old");
  Put(P("dst\\other"), "other");
  ASSERT_TRUE(env_->CopyTree(P("src"), P("dst")).ok());
  EXPECT_EQ(List(P("dst"), "*"), Names({"other", "SUB", "TOP.DBF"}));
  EXPECT_EQ(List(P("dst\\sub"), "*"), Names({"Deep", "mid.dbf"}));
  EXPECT_EQ(Slurp(P("dst\\TOP.DBF")), "top");
  EXPECT_EQ(Slurp(P("dst\\SUB\\mid.dbf")), "mid");
  EXPECT_EQ(Slurp(P("dst\\other")), "other");
}

TEST_F(TreeTest, CopyRefusesTargetInsideSource) {
  EXPECT_EQ(env_->CopyTree(P("src"), P("SRC\\sub\\copy")).code(), EINVAL);
  EXPECT_EQ(env_->CopyTree(P("src"), P("src")).code(), EINVAL);
  EXPECT_EQ(env_->CopyTree(P("none"), P("dst")).code(), ENOENT);
  EXPECT_FALSE(env_->FileExists(P("dst")));
  EXPECT_FALSE(env_->FileExists(P("src\\sub\\copy")));
}

TEST_F(TreeTest, DeleteOpensUpReadOnlyEntriesAndRefusesRoots) {
  ASSERT_TRUE(
      env_->SetAttributes(P("src\\sub\\deep\\low.ntx"), kAttrReadOnly).ok());
  ASSERT_TRUE(env_->SetAttributes(P("src\\sub\\deep"), kAttrReadOnly).ok());
  ASSERT_TRUE(env_->DeleteTree(P("src")).ok());
  EXPECT_FALSE(env_->FileExists(P("src")));
  Put(P("one.txt"), "1");
  ASSERT_TRUE(env_->DeleteTree(P("ONE.TXT")).ok());
  EXPECT_FALSE(env_->FileExists(P("one.txt")));
  EXPECT_EQ(env_->DeleteTree(P("none")).code(), ENOENT);
  const std::vector<std::string> roots =
      kWindowsHost ? std::vector<std::string>{"c:\\",
                                              "C:",
                                              "c:/",
                                              "\\",
                                              "/",
                                              "\\\\server\\share",
                                              "\\\\server\\share\\",
                                              "c:\\gdata\\.."}
                   : std::vector<std::string>{"/", "/tmp/.."};
  for (const std::string& root : roots) {
    EXPECT_EQ(env_->DeleteTree(root).code(), EPERM) << root;
  }
}

// Links (symbolic links; on Windows also junctions) are removed, never
// followed, and skipped by copies. Hosts that cannot make them (wine 8)
// skip this test.
TEST_F(TreeTest, LinksAreNeverFollowed) {
  ASSERT_TRUE(env_->CreateDir(P("outside")).ok());
  Put(P("outside\\keep.txt"), "keep");
  if (!MakeLink(P("src\\dirlink"), P("outside"), true) ||
      !MakeLink(P("src\\Sub\\filelink"), P("outside\\keep.txt"), false)) {
    GTEST_SKIP() << "the host makes no symbolic links";
  }
  if (!kWindowsHost) {
    ASSERT_TRUE(MakeLink(P("src\\dangling"), P("nowhere"), false));
  }
  std::string target;
  ASSERT_TRUE(env_->ReadLink(P("src\\dirlink"), &target).ok());
  EXPECT_EQ(target, Host(P("outside")));
  EXPECT_EQ(env_->ReadLink(P("src"), &target).code(), EINVAL);
  FileInfo info;
  ASSERT_TRUE(env_->GetFileInfo(P("src\\dirlink"), &info).ok());
  EXPECT_TRUE(info.is_link);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(env_->ListDir(P("src\\sub"), "filelink", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].info.is_link);

  ASSERT_TRUE(env_->CopyTree(P("src"), P("dst")).ok());
  EXPECT_EQ(List(P("dst"), "*"), Names({"Sub", "top.dbf"}));
  EXPECT_EQ(List(P("dst\\sub"), "*"), Names({"Deep", "MID.DBF"}));
  EXPECT_EQ(env_->CopyFile(P("src\\sub\\filelink"), P("f"), false).code(),
            ELOOP);
  EXPECT_EQ(env_->CopyTree(P("src\\dirlink"), P("x")).code(), ELOOP);
  EXPECT_FALSE(env_->FileExists(P("x")));

  // Deleting a link removes the link only.
  ASSERT_TRUE(env_->DeleteFile(P("src\\dirlink")).ok());
  EXPECT_EQ(Slurp(P("outside\\keep.txt")), "keep");
  ASSERT_TRUE(MakeLink(P("src\\dirlink"), P("outside"), true));
  ASSERT_TRUE(MakeLink(P("link"), P("outside"), true));
  ASSERT_TRUE(env_->DeleteTree(P("link")).ok());
  EXPECT_FALSE(env_->FileExists(P("link")));
  ASSERT_TRUE(env_->DeleteTree(P("src")).ok());
  EXPECT_FALSE(env_->FileExists(P("src")));
  EXPECT_EQ(Slurp(P("outside\\keep.txt")), "keep");
}

}  // namespace
}  // namespace platform
