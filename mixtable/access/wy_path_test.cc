#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using platform::ScopedTempDrives;

platform::Env* env() { return platform::Env::Current(); }

void MakeFile(const std::string& path) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok())
      << path;
  ASSERT_TRUE(f->WriteAt(0, "x", 1).ok());
}

bool IsDir(const std::string& path) {
  platform::FileInfo info;
  return env()->GetFileInfo(path, &info).ok() && info.is_dir;
}

// Windows: symbolic links need a privilege (and cannot be made under wine),
// so the tests of links run on Linux only.
#ifdef _WIN32
#define SKIP_WITHOUT_LINKS() GTEST_SKIP() << "no symbolic links on Windows"
#else
#define SKIP_WITHOUT_LINKS() (void)0
#endif

// The layer offers no way to make a symbolic link, so the tests ask ln.
void MakeSymlink(const std::string& target, const std::string& link) {
  std::string host_target, host_link;
  ASSERT_TRUE(env()->HostPath(target, &host_target).ok());
  ASSERT_TRUE(env()->HostPath(link, &host_link).ok());
  platform::ProcessSpec launch;
  launch.program = "/bin/ln";
  launch.args = {"-s", host_target, host_link};
  std::unique_ptr<platform::Process> p;
  ASSERT_TRUE(env()->StartProcess(launch, &p).ok());
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  ASSERT_EQ(code, 0);
}

// ---- Wy_MkDir
// ----------------------------------------------------------------

TEST(WyMkDirTest, CreatesEveryLevel) {
  ScopedTempDrives drives;
  EXPECT_TRUE(Wy_MkDir("c:\\a\\b\\c\\"));
  EXPECT_TRUE(IsDir("c:\\a\\b\\c"));
  EXPECT_TRUE(Wy_MkDir("c:\\a\\b\\c"));  // existing: still true
  EXPECT_TRUE(Wy_MkDir("C:\\A\\B\\D"));  // existing levels in another case
  EXPECT_TRUE(IsDir("c:\\a\\b\\d"));
  EXPECT_TRUE(Wy_MkDir("c:\\"));
  EXPECT_TRUE(Wy_MkDir("c:/x/y"));
  EXPECT_TRUE(IsDir("c:\\x\\y"));
  EXPECT_TRUE(Wy_MkDir("c:\\e\\\\f"));  // an empty component is skipped
  EXPECT_TRUE(IsDir("c:\\e\\f"));
}

TEST(WyMkDirTest, AcceptsHostPaths) {
  ScopedTempDrives drives;
  std::string host = drives.dir() + "/h1/h2";
  EXPECT_TRUE(Wy_MkDir(host + "/"));
  EXPECT_TRUE(IsDir(host));
}

TEST(WyMkDirTest, RefusesPathsWithoutDrive) {
  ScopedTempDrives drives;
  const char* bad[] = {"",   "gdata\\x", "\\gdata",    "1:\\x",     "c:gdata",
                       "c:", ":\\gdata", "\\\\srv\\x", "..\\gdata", "."};
  for (const char* p : bad) {
    EXPECT_FALSE(Wy_MkDir(p)) << p;
  }
  // Nothing was created, neither relative to the current directory nor on
  // drive c.
  EXPECT_FALSE(env()->FileExists("gdata"));
  EXPECT_FALSE(env()->FileExists("c:\\gdata"));
}

TEST(WyMkDirTest, FailsWhenALevelIsAFile) {
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("c:\\d"));
  MakeFile("c:\\d\\f");
  EXPECT_FALSE(Wy_MkDir("c:\\d\\f"));
  EXPECT_FALSE(Wy_MkDir("c:\\d\\f\\sub"));
  EXPECT_FALSE(Wy_MkDir("c:\\d\\" + std::string(300, 'n')));  // name too long
}

TEST(WyMkDirTest, GoesThroughLinksToDirectories) {
  SKIP_WITHOUT_LINKS();
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("d:\\disk\\data"));
  MakeSymlink("d:\\disk\\data", "c:\\gdata");  // put on another disk
  EXPECT_TRUE(Wy_MkDir("c:\\gdata\\sub\\deeper"));
  EXPECT_TRUE(IsDir("d:\\disk\\data\\sub\\deeper"));
  EXPECT_TRUE(Wy_MkDir("c:\\gdata"));
  // A link to a file is no directory.
  MakeFile("d:\\file");
  MakeSymlink("d:\\file", "c:\\flink");
  EXPECT_FALSE(Wy_MkDir("c:\\flink\\x"));
}

// ---- Wy_ScanDir
// --------------------------------------------------------------

// c:\s\ holds f1.dbf, f2.ntx, a\g1.dbf, a\a2\g2.dbf and an empty b\.
void MakeScanTree() {
  ASSERT_TRUE(Wy_MkDir("c:\\s\\a\\a2"));
  ASSERT_TRUE(Wy_MkDir("c:\\s\\b"));
  MakeFile("c:\\s\\f1.dbf");
  MakeFile("c:\\s\\f2.ntx");
  MakeFile("c:\\s\\a\\g1.dbf");
  MakeFile("c:\\s\\a\\a2\\g2.dbf");
}

TEST(WyScanDirTest, CountsFilesAndDirectories) {
  ScopedTempDrives drives;
  MakeScanTree();
  struct Case {
    const char* dir;
    const char* mask;
    bool recurse;
    int32_t limit;
    int32_t dirs, files;
  };
  // c:\s\ has 2 items, c:\s\a\ 3 and c:\s\a\a2\ 4.
  const Case cases[] = {
      {"c:\\s", "", false, 0, 2, 2},     {"c:\\s\\", "*.*", false, 0, 2, 2},
      {"c:\\s", "*.dbf", true, 0, 3, 3}, {"c:\\s", "*.*", true, 0, 3, 4},
      {"c:\\s", "*.dbf", true, 4, 3, 3}, {"c:\\s", "*.dbf", true, 3, 3, 2},
      {"c:\\s", "*.dbf", true, 2, 2, 1}, {"c:\\s", "*.dbf", true, -1, 3, 3},
      {"c:\\s\\b", "", true, 0, 0, 0},   {"c:\\none", "", true, 0, 0, 0},
      {"", "", true, 0, 0, 0},           {"c:\\s\\f1.dbf", "", true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t dirs = 10, files = 20;  // only ever added to
    Wy_ScanDir(dirs, files, c.dir, c.mask, c.recurse, c.limit);
    EXPECT_EQ(dirs, 10 + c.dirs) << c.dir << " " << c.mask << " " << c.limit;
    EXPECT_EQ(files, 20 + c.files) << c.dir << " " << c.mask << " " << c.limit;
  }
}

TEST(WyScanDirTest, DoesNotFollowLinks) {
  SKIP_WITHOUT_LINKS();
  ScopedTempDrives drives;
  MakeScanTree();
  MakeSymlink("c:\\s", "c:\\s\\a\\loop");  // would recurse forever
  int32_t dirs = 0, files = 0;
  Wy_ScanDir(dirs, files, "c:\\s", "*.*", true, 0);
  EXPECT_EQ(dirs, 3);
  EXPECT_EQ(files, 5);  // the link counts as a file
}

// ---- Wy_PruneDir
// -------------------------------------------------------------

TEST(WyPruneDirTest, RemovesReadOnlyFilesAndDirectories) {
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("c:\\p\\sub\\deep"));
  MakeFile("c:\\p\\ro.dbf");
  MakeFile("c:\\p\\sub\\deep\\ro2.dbf");
  ASSERT_TRUE(
      env()->SetAttributes("c:\\p\\ro.dbf", platform::kAttrReadOnly).ok());
  ASSERT_TRUE(
      env()
          ->SetAttributes("c:\\p\\sub\\deep\\ro2.dbf", platform::kAttrReadOnly)
          .ok());
  ASSERT_TRUE(
      env()
          ->SetAttributes("c:\\p\\sub\\deep",
                          platform::kAttrReadOnly | platform::kAttrDirectory)
          .ok());
  Wy_PruneDir("c:\\p\\");
  EXPECT_FALSE(env()->FileExists("c:\\p"));
  EXPECT_TRUE(IsDir("c:\\"));
}

TEST(WyPruneDirTest, NeverFollowsLinks) {
  SKIP_WITHOUT_LINKS();
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("c:\\keep"));
  MakeFile("c:\\keep\\precious.dbf");
  ASSERT_TRUE(Wy_MkDir("c:\\p"));
  MakeSymlink("c:\\keep", "c:\\p\\dirlink");
  MakeSymlink("c:\\keep\\precious.dbf", "c:\\p\\filelink");
  ASSERT_TRUE(
      env()
          ->SetAttributes("c:\\keep\\precious.dbf", platform::kAttrReadOnly)
          .ok());
  Wy_PruneDir("c:\\p");
  EXPECT_FALSE(env()->FileExists("c:\\p"));
  EXPECT_TRUE(env()->FileExists("c:\\keep\\precious.dbf"));
  uint32_t attrs = 0;
  ASSERT_TRUE(env()->GetAttributes("c:\\keep\\precious.dbf", &attrs).ok());
  EXPECT_TRUE(attrs & platform::kAttrReadOnly);  // the target was not touched

  // A link given as the directory: the link goes, the target stays.
  MakeSymlink("c:\\keep", "c:\\link");
  Wy_PruneDir("c:\\link\\");
  EXPECT_FALSE(env()->FileExists("c:\\link"));
  EXPECT_TRUE(env()->FileExists("c:\\keep\\precious.dbf"));
}

TEST(WyPruneDirTest, NeutralInputs) {
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("c:\\d"));
  MakeFile("c:\\d\\f");
  Wy_PruneDir("");
  Wy_PruneDir("c:\\missing");
  Wy_PruneDir("c:\\d\\f");  // a plain file is not a directory to prune
  EXPECT_TRUE(env()->FileExists("c:\\d\\f"));
}

// Names legal on the host that hold "\" (archives made on Windows leave
// them): the walks never map them into other paths. Made with host calls,
// since the layer maps "\" as a separator. Windows has no such names.
#ifndef _WIN32
void HostMkdir(const std::string& host) {
  ASSERT_EQ(0, mkdir(host.c_str(), 0777)) << host;
}
void HostFile(const std::string& host) {
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0) << host;
  close(fd);
}
bool HostExists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

TEST(WyPruneDirTest, NamesHoldingBackslashesStayInsideTheTree) {
  ScopedTempDrives drives;
  const std::string c = drives.drives() + "/c";
  ASSERT_TRUE(Wy_MkDir("c:\\gdata"));
  MakeFile("c:\\gdata\\products.dbf");
  ASSERT_TRUE(Wy_MkDir("c:\\gdatatmp"));
  HostFile(c + "/gdatatmp/..\\gdata\\products.dbf");
  HostMkdir(c + "/gdatatmp/\\");  // once recursed without end
  HostFile(c + "/gdatatmp/\\/x");
  // A sibling tree of a host directory, named through "..".
  HostMkdir(drives.Host("victim"));
  HostFile(drives.Host("victim/keep"));
  HostMkdir(drives.Host("h"));
  HostMkdir(drives.Host("h/t"));
  HostMkdir(drives.Host("h/t/..\\..\\victim"));
  HostFile(drives.Host("h/t/..\\..\\victim/f"));

  Wy_PruneDir("c:\\gdatatmp");
  EXPECT_FALSE(HostExists(c + "/gdatatmp"));
  EXPECT_TRUE(env()->FileExists("c:\\gdata\\products.dbf"));
  Wy_PruneDir(drives.Host("h/t"));
  EXPECT_FALSE(HostExists(drives.Host("h/t")));
  EXPECT_TRUE(HostExists(drives.Host("victim/keep")));
}

#endif  // _WIN32

TEST(WyPruneDirTest, RefusesRoots) {
  ScopedTempDrives drives;
  ASSERT_TRUE(Wy_MkDir("c:\\gdata"));
  MakeFile("c:\\gdata\\products.dbf");
  MakeFile(drives.Host("beside"));
  std::vector<std::string> roots = {"c:\\", "c:", "C:\\..", "c:\\gdata\\..\\"};
#ifndef _WIN32
  // Linux: the drives root and its parent as host paths too (Windows has
  // none; there the drive-letter forms above are the roots).
  for (const std::string& host : {drives.drives() + "/c", drives.drives(),
                                  drives.drives() + "/", drives.dir()})
    roots.push_back(host);
#endif
  for (const std::string& root : roots) {
    Wy_PruneDir(root);
    EXPECT_TRUE(env()->FileExists("c:\\gdata\\products.dbf")) << root;
    EXPECT_TRUE(env()->FileExists(drives.Host("beside"))) << root;
  }
}

#ifndef _WIN32
TEST(WyScanDirTest, NamesHoldingBackslashesAreCountedNotMapped) {
  ScopedTempDrives drives;
  const std::string c = drives.drives() + "/c";
  ASSERT_TRUE(Wy_MkDir("c:\\s"));
  MakeFile("c:\\s\\f.dbf");
  HostMkdir(c + "/s/a\\..");  // once recursed without end
  HostFile(c + "/s/a\\../g.dbf");
  HostMkdir(c + "/s/\\");
  HostFile(c + "/s/..\\s\\h.dbf");
  int32_t dirs = 0, files = 0;
  Wy_ScanDir(dirs, files, "c:\\s", "*.dbf", true, 0);
  EXPECT_EQ(dirs, 2);
  EXPECT_EQ(files, 3);
}

#endif

// ---- Wy_AddAppDirAndFile
// -----------------------------------------------------

TEST(WyAddAppDirAndFileTest, PrefixesTheLibraryDirectory) {
  std::string file = "DataBase.DCT";
  std::string got = Wy_AddAppDirAndFile(file);
  EXPECT_EQ(got, file);
  ASSERT_GT(got.size(), std::string("DataBase.DCT").size());
  EXPECT_EQ(got.substr(got.size() - 12), "DataBase.DCT");
  std::string dir = got.substr(0, got.size() - 12);
  EXPECT_TRUE(dir.back() == '/' || dir.back() == '\\');
  // The directory holds the library itself: a host path of Linux, a path
  // with a drive letter on Windows.
  std::vector<platform::DirEntry> entries;
#ifdef _WIN32
  EXPECT_EQ(dir[1], ':');
  ASSERT_TRUE(env()->ListDir(dir, "MIXTABLE*.dll", &entries).ok());
#else
  EXPECT_EQ(dir[0], '/');
  ASSERT_TRUE(env()->ListDir(dir, "libmixtable*", &entries).ok());
#endif
  EXPECT_FALSE(entries.empty());
}

}  // namespace
