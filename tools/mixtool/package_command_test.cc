#include "package_command.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace mixtool {
namespace {

platform::Env* E() { return platform::Env::Current(); }

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

void Write(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(E()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok())
      << path;
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // Packages need libarchive, which the Windows build is without (there
    // Package answers that packages are not supported), and the fixture's
    // d:\ is a drive of the host's own there.
    GTEST_SKIP() << "no data-set packages in the Windows build";
#endif
    E()->UnsetEnv("LOCALDIR");
    E()->CreateDir(drives_.drives());
    E()->CreateDir("d:\\");
    for (const char* d : {"d:\\src", "d:\\src\\P1", "d:\\bin"})
      ASSERT_TRUE(E()->CreateDir(d).ok()) << d;
    Write("d:\\src\\PRODUCTS.DBF", "products");
    Write("d:\\src\\P1\\FRM.DBF", "frm");
    Write("d:\\bin\\setup.exe", "#!/bin/sh\nexit 0\n");
    ASSERT_TRUE(E()->MarkExecutable("d:\\bin\\setup.exe").ok());
    o_.src_dir = "d:\\src";
    o_.out_dir = "d:\\out\\pkg";
    o_.id = "42";
    o_.path = "C:\\GDATA001";
    o_.descr = "Demo data set";
    o_.setup_program = Host("d:\\bin\\setup.exe");
    o_.installer = "/opt/kalvo/bin/KalvoINSTALL";
  }
  std::string Host(const std::string& p) {
    std::string h;
    E()->HostPath(p, &h);
    return h;
  }
  int Run() {
    out_.str("");
    err_.str("");
    return Package(o_, out_, err_);
  }
  platform::ScopedTempDrives drives_;
  PackageOptions o_;
  std::ostringstream out_, err_;
};

TEST_F(PackageTest, WritesTheFourFiles) {
  ASSERT_EQ(Run(), 0) << err_.str();
  EXPECT_EQ(Contents("d:\\out\\pkg\\GDATA.TXT"),
            "42\r\nC:\\GDATA001\r\nDemo data set\r\n");
  EXPECT_EQ(Contents("d:\\out\\pkg\\setup.exe"),
            Contents("d:\\bin\\setup.exe"));
  EXPECT_TRUE(E()->IsExecutable("d:\\out\\pkg\\setup.exe"));
  EXPECT_TRUE(E()->IsExecutable("d:\\out\\pkg\\KalvoINSTALL"));
  std::string launcher = Contents("d:\\out\\pkg\\KalvoINSTALL");
  EXPECT_EQ(launcher.rfind("#!/bin/sh\n", 0), 0u);
  EXPECT_NE(launcher.find("found='/opt/kalvo/bin/KalvoINSTALL'"),
            std::string::npos);
  EXPECT_NE(launcher.find("exec \"$found\" --package \"$pkg\" \"$@\""),
            std::string::npos);
  EXPECT_EQ(Contents("d:\\out\\pkg\\GDATA.TGZ").substr(0, 2), "\x1f\x8b");
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(E()->ListDir("d:\\out\\pkg", "*", &entries).ok());
  EXPECT_EQ(entries.size(), 4u);  // nothing left aside
  EXPECT_NE(out_.str().find("2 files in 1 directories, 11 bytes"),
            std::string::npos)
      << out_.str();
  // Again, with the absolute id: the files are replaced.
  o_.abs_id = "7";
  o_.descr = "  Demo v2 ";
  ASSERT_EQ(Run(), 0) << err_.str();
  EXPECT_EQ(Contents("d:\\out\\pkg\\GDATA.TXT"),
            "42\r\nC:\\GDATA001\r\nDemo v2\r\n7\r\n");
}

TEST_F(PackageTest, BadInputIsRefusedWithOneLineAndNothingWritten) {
  Write("d:\\afile", "x");
  struct Case {
    const char* field;
    std::string value;
    const char* says;
  } cases[] = {
      {"id", "0", "bad data id \"0\""},
      {"id", "abc", "bad data id"},
      {"id", "4294967296", "bad data id"},
      {"id", "-1", "bad data id"},
      {"id", "", "bad data id"},
      {"abs", "0", "bad absolute data id"},
      {"abs", "x7", "bad absolute data id"},
      {"path", "GDATA001", "has no drive"},
      {"path", "\\GDATA001", "has no drive"},
      {"path", "C:", "has no drive"},
      {"path", "C:\\", "is refused: the path is not a directory below"},
      {"path", "C:\\A\\..\\B", "is refused"},
      {"path", "C:\\" + std::string(130, 'A'), "longer than 127"},
      {"descr", "   ", "the description is empty"},
      {"descr", "a\nb", "control character"},
      {"descr", std::string(128, 'd'), "longer than 127"},
      {"src", "d:\\missing", "SRC_DIR d:\\missing is no directory"},
      {"src", "d:\\afile", "is no directory"},
      {"out", "d:\\src\\P1\\pkg", "lies inside SRC_DIR"},
      {"out", "d:\\afile\\pkg", "OUT_DIR"},
      {"setup", "/nonexistent/setup.exe", "cannot find setup.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + "=" + c.value);
    PackageOptions keep = o_;
    std::string f = c.field;
    if (f == "id") o_.id = c.value;
    if (f == "abs") o_.abs_id = c.value;
    if (f == "path") o_.path = c.value;
    if (f == "descr") o_.descr = c.value;
    if (f == "src") o_.src_dir = c.value;
    if (f == "out") o_.out_dir = c.value;
    if (f == "setup") o_.setup_program = c.value;
    EXPECT_EQ(Run(), 1);
    const std::string e = err_.str();
    EXPECT_EQ(e.rfind("mixtool: ", 0), 0u) << e;
    EXPECT_EQ(e.find('\n'), e.size() - 1) << e;
    EXPECT_NE(e.find(c.says), std::string::npos) << e;
    EXPECT_EQ(out_.str(), "");
    EXPECT_FALSE(E()->FileExists("d:\\out"));
    EXPECT_FALSE(E()->FileExists("d:\\src\\P1\\pkg"));
    o_ = keep;
  }
}

TEST_F(PackageTest, TreeWithALinkIsRefused) {
  std::string host = Host("d:\\src\\P1");
  ASSERT_TRUE(E()->CreateDir("d:\\src\\P1\\sub").ok());
#ifndef _WIN32
  ASSERT_EQ(0, symlink("/etc", (host + "/LINK").c_str()));
#endif
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(err_.str().find("P1/LINK is a symbolic link"), std::string::npos)
      << err_.str();
  // The payload written aside is gone; no package file is left.
  std::vector<platform::DirEntry> entries;
  E()->ListDir("d:\\out\\pkg", "*", &entries);
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace mixtool
