#include "platform/path_map.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

class PathMapTest : public ::testing::Test {
 protected:
  Env* env() { return Env::Default(); }

  std::string Map(const std::string& path) {
    std::string host;
    Status s = env()->HostPath(path, &host);
    EXPECT_TRUE(s.ok()) << path << ": " << s.ToString();
    return host;
  }

  void Touch(const std::string& path) {
    std::unique_ptr<File> f;
    ASSERT_TRUE(env()->OpenFile(path, OpenMode::kCreateNew, &f).ok()) << path;
  }

  ScopedTempDrives tmp_;
};

TEST_F(PathMapTest, DrivesRootComesFromTheEnvironment) {
  EXPECT_EQ(env()->DrivesRoot(), tmp_.drives());
  ASSERT_TRUE(env()->SetEnv("KALVO_DRIVES", tmp_.drives() + "//").ok());
  EXPECT_EQ(env()->DrivesRoot(), tmp_.drives());

  // Without KALVO_DRIVES: the XDG data directory, then the home directory.
  std::string xdg, home;
  bool had_xdg = env()->GetEnv("XDG_DATA_HOME", &xdg);
  bool had_home = env()->GetEnv("HOME", &home);
  ASSERT_TRUE(env()->UnsetEnv("KALVO_DRIVES").ok());
  ASSERT_TRUE(env()->SetEnv("XDG_DATA_HOME", "/xdg/data").ok());
  EXPECT_EQ(internal::DrivesRootFromEnvironment(), "/xdg/data/kalvo/drives");
  ASSERT_TRUE(env()->SetEnv("XDG_DATA_HOME", "relative/ignored").ok());
  ASSERT_TRUE(env()->SetEnv("HOME", "/home/someone/").ok());
  EXPECT_EQ(internal::DrivesRootFromEnvironment(),
            "/home/someone/.local/share/kalvo/drives");
  ASSERT_TRUE(env()->UnsetEnv("XDG_DATA_HOME").ok());
  EXPECT_EQ(internal::DrivesRootFromEnvironment(),
            "/home/someone/.local/share/kalvo/drives");
  if (had_xdg) env()->SetEnv("XDG_DATA_HOME", xdg);
  if (had_home) env()->SetEnv("HOME", home);
  if (!had_home) env()->UnsetEnv("HOME");
  env()->SetEnv("KALVO_DRIVES", tmp_.drives());
}

TEST_F(PathMapTest, MapsDrivesHostPathsAndSeparators) {
  const std::string c = tmp_.drives() + "/c";
  struct Case {
    const char* in;
    std::string out;
  } cases[] = {
      {"c:\\gdata\\products.dbf", c + "/gdata/products.dbf"},
      {"C:/GData/Products.DBF", c + "/GData/Products.DBF"},  // case kept
      {"c:", c},
      {"c:\\", c},
      {"c:gdata", c + "/gdata"},
      {"\\gdata\\x.dbf", c + "/gdata/x.dbf"},  // root of drive c
      {"\\\\gdata\\\\x.dbf\\", c + "/gdata/x.dbf"},
      {"D:\\Local", tmp_.drives() + "/d/Local"},
      {"c:\\a\\.\\b\\..\\x", c + "/a/x"},
      {"c:\\a\\..", c},
      {"/tmp/../", "/"},
      {"/", "/"},
  };
  for (const Case& t : cases) EXPECT_EQ(Map(t.in), t.out) << t.in;
  // A named drive's directory exists once used.
  struct stat st;
  EXPECT_EQ(stat((tmp_.drives() + "/d").c_str(), &st), 0);
  // Host paths are used as they are, "\" still separates.
  EXPECT_EQ(Map(tmp_.dir() + "\\drives\\c"), c);
}

TEST_F(PathMapTest, DotDotNeverClimbsAboveADriveRoot) {
  for (const char* p :
       {"c:\\..", "c:\\a\\..\\..", "c:..\\x", "\\..\\c\\x",
        "d:\\gdata\\..\\..\\c\\secret", "/..", "/tmp/../../etc"}) {
    std::string host = "unchanged";
    Status s = env()->HostPath(p, &host);
    EXPECT_EQ(s.code(), EACCES) << p;
    EXPECT_FALSE(env()->FileExists(p)) << p;
  }
  std::string host;
  EXPECT_EQ(env()->HostPath("", &host).code(), ENOENT);
}

TEST_F(PathMapTest, RelativePathsUseTheCurrentDirectory) {
  ASSERT_TRUE(env()->CreateDir("c:\\GDATA").ok());
  std::string cwd = env()->CurrentDir();
  ASSERT_EQ(chdir((tmp_.drives() + "/c/GDATA").c_str()), 0);
  EXPECT_EQ(Map("x.dbf"), tmp_.drives() + "/c/GDATA/x.dbf");
  EXPECT_EQ(Map("..\\d"), tmp_.drives() + "/c/d");
  // Still on drive c: its root is the limit.
  std::string host;
  EXPECT_EQ(env()->HostPath("..\\..\\x", &host).code(), EACCES);
  ASSERT_EQ(chdir(tmp_.dir().c_str()), 0);
  EXPECT_EQ(Map("drives\\C\\gdata"), tmp_.drives() + "/c/GDATA");
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

TEST_F(PathMapTest, ExistingComponentsAreFoundIgnoringCase) {
  ASSERT_TRUE(env()->CreateDir("c:\\GDATA").ok());
  Touch("c:\\gdata\\PRODUCTS.DBF");
  Touch("c:\\GData\\colors.dbf");
  const std::string dir = tmp_.drives() + "/c/GDATA";
  EXPECT_EQ(Map("c:\\gdata\\products.dbf"), dir + "/PRODUCTS.DBF");
  EXPECT_EQ(Map("C:\\Gdata\\COLORS.DBF"), dir + "/colors.dbf");
  EXPECT_TRUE(env()->FileExists("c:\\gdata\\Products.Dbf"));

  // Opened under the other case, the same file.
  std::unique_ptr<File> f;
  ASSERT_TRUE(
      env()->OpenFile("c:\\GDATA\\COLORS.DBF", OpenMode::kReadWrite, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, "xyz", 3).ok());
  FileInfo info;
  ASSERT_TRUE(env()->GetFileInfo("c:\\gdata\\colors.dbf", &info).ok());
  EXPECT_EQ(info.size, 3u);

  // Missing components keep their case, also below a missing one.
  EXPECT_EQ(Map("c:\\gdata\\New\\Sub\\File.Txt"), dir + "/New/Sub/File.Txt");
  // An exact match wins over other spellings.
  ASSERT_TRUE(env()->CreateDir("c:\\gdata\\prod").ok());
  ASSERT_EQ(mkdir((dir + "/PROD").c_str(), 0777), 0);
  EXPECT_EQ(Map("c:\\gdata\\PROD"), dir + "/PROD");
  EXPECT_EQ(Map("c:\\gdata\\prod"), dir + "/prod");
  // Below a file nothing exists; the path is mapped as given.
  EXPECT_EQ(Map("c:\\gdata\\products.dbf\\x"), dir + "/PRODUCTS.DBF/x");
  // Host paths are looked up the same way.
  EXPECT_EQ(Map(tmp_.dir() + "/DRIVES/C/gdata/products.dbf"),
            dir + "/PRODUCTS.DBF");
}

// Sets the modification and change times of a host directory well into the
// past, as for a directory nobody touched for a while: its listings may be
// kept from then on. (The change time cannot be set; it is read as it is,
// so the directory is left alone for the racy margin instead.)
void AgeDirectory(const std::string& dir) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = time(nullptr) - 60;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(utimensat(AT_FDCWD, dir.c_str(), times, 0), 0);
}

TEST_F(PathMapTest, KeptListingsFollowEveryChangeOfTheDirectory) {
  ASSERT_TRUE(env()->CreateDir("c:\\kept").ok());
  const std::string dir = tmp_.drives() + "/c/kept";
  Touch("c:\\kept\\FRM.DBF");
  AgeDirectory(dir);
  sleep(2);  // the change time leaves the racy margin
  // Listed (and kept) by a lookup under another case, then found again.
  EXPECT_EQ(Map("c:\\kept\\frm.dbf"), dir + "/FRM.DBF");
  EXPECT_EQ(Map("c:\\kept\\frm.dbf"), dir + "/FRM.DBF");
  EXPECT_EQ(Map("c:\\kept\\cans.dbf"), dir + "/cans.dbf");
  // A new entry, a rename and a removal are seen at once, within the same
  // second as the listing.
  ASSERT_EQ(rename((dir + "/FRM.DBF").c_str(), (dir + "/Frm.Dbf").c_str()), 0);
  EXPECT_EQ(Map("c:\\kept\\frm.dbf"), dir + "/Frm.Dbf");
  Touch("c:\\kept\\CANS.DBF");
  EXPECT_EQ(Map("c:\\kept\\cans.dbf"), dir + "/CANS.DBF");
  ASSERT_EQ(unlink((dir + "/CANS.DBF").c_str()), 0);
  EXPECT_EQ(Map("c:\\kept\\cans.dbf"), dir + "/cans.dbf");
  EXPECT_FALSE(env()->FileExists("c:\\kept\\cans.dbf"));
}

std::vector<std::string> g_traces;
void KeepTrace(int category, const char* text) {
  if (category == internal::kPathTraceCategory) g_traces.push_back(text);
}

TEST_F(PathMapTest, NamesDifferingOnlyInCaseResolveInByteOrder) {
  ASSERT_TRUE(env()->CreateDir("c:\\d").ok());
  const std::string dir = tmp_.drives() + "/c/d";
  // Every spelling of "abcd" but "abcD", made in an order unlike the
  // sorted one: the directory's own order must not decide.
  std::vector<std::string> names;
  for (int bits = 15; bits >= 0; --bits) {
    std::string n = "abcd";
    for (int i = 0; i < 4; ++i) {
      if (bits & (1 << i)) n[static_cast<size_t>(i)] -= 'a' - 'A';
    }
    if (n != "abcD") names.push_back(n);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& n = names[(i * 7) % names.size()];
    ASSERT_EQ(mkdir((dir + "/" + n).c_str(), 0777), 0) << n;
  }
  g_traces.clear();
  TraceHook old = SetTraceHook(KeepTrace);
  EXPECT_EQ(Map("c:\\d\\abcD"), dir + "/ABCD");
  EXPECT_EQ(g_traces.size(), 1u);
  // The exact name wins without a note.
  g_traces.clear();
  EXPECT_EQ(Map("c:\\d\\aBcd"), dir + "/aBcd");
  EXPECT_TRUE(g_traces.empty());
  SetTraceHook(old);
}

}  // namespace
}  // namespace platform
