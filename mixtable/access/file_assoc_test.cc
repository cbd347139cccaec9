#include "access/file_assoc.h"

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "access/scoped_env_var.h"
#include "gtest/gtest.h"
#include "mixtable/wy_util.h"
#include "platform/testing/temp_drives.h"

namespace mixtable {
namespace {

using Status = platform::Status;

platform::Env* env() { return platform::Env::Current(); }

void WriteText(const std::string& path, const std::string& text) {
  std::string dir = path.substr(0, path.rfind('/'));
  ASSERT_TRUE(Wy_MkDir(dir)) << dir;
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(
      env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

// Windows: the desktop's MIME database and xdg-open belong to the Linux
// desktop (and the XDG lists, separated by ":", cannot hold drive letters):
// those cases run on Linux only.
#ifdef _WIN32
#define SKIP_WITHOUT_DESKTOP() \
  GTEST_SKIP() << "the XDG desktop and xdg-open are Linux's"
#else
#define SKIP_WITHOUT_DESKTOP() (void)0
#endif

// Every source of associations points into a fresh directory, so neither
// the user's nor the machine's settings take part.
class FileAssocTest : public ::testing::Test {
 protected:
  FileAssocTest()
      : assoc_("KALVO_ASSOC"),
        assoc_file_("KALVO_ASSOC_FILE", tmp_.Host("assoc")),
        data_home_("XDG_DATA_HOME", tmp_.Host("data")),
        data_dirs_("XDG_DATA_DIRS", tmp_.Host("none")),
        config_home_("XDG_CONFIG_HOME", tmp_.Host("config")),
        config_dirs_("XDG_CONFIG_DIRS", tmp_.Host("none")),
        path_("PATH", tmp_.Host("bin")) {}

  Status Find(const std::string& doc, LaunchPlan* plan) {
    return FindAssociation(doc, "/host/" + doc, plan);
  }

  platform::ScopedTempDrives tmp_;
  ScopedEnvVar assoc_, assoc_file_, data_home_, data_dirs_, config_home_,
      config_dirs_, path_;
};

TEST_F(FileAssocTest, EnvironmentTable) {
  ScopedEnvVar var("KALVO_ASSOC",
                   ".kvt=/bin/viewer -x %1 --after;*=any;broken;=x;.e=");
  LaunchPlan plan;
  ASSERT_TRUE(Find("a.KVT", &plan).ok());
  EXPECT_EQ(plan.program, "/bin/viewer");
  EXPECT_EQ(plan.args,
            (std::vector<std::string>{"-x", "/host/a.KVT", "--after"}));
  ASSERT_TRUE(Find("b.other", &plan).ok());  // "*": the document goes last
  EXPECT_EQ(plan.program, "any");
  EXPECT_EQ(plan.args, (std::vector<std::string>{"/host/b.other"}));
  ASSERT_TRUE(Find("noext", &plan).ok());
  EXPECT_EQ(plan.program, "any");
}

TEST_F(FileAssocTest, AssociationFile) {
  WriteText(tmp_.Host("assoc"),
            "# comment\n"
            "\n"
            "txt = \"/opt/my viewer/v\" --open\r\n"
            "*.LOG=lv %1 --end\n"
            "garbage line\n"
            ".both = from-file\n");
  LaunchPlan plan;
  ASSERT_TRUE(Find("dir.x/a.Txt", &plan).ok());
  EXPECT_EQ(plan.program, "/opt/my viewer/v");
  EXPECT_EQ(plan.args,
            (std::vector<std::string>{"--open", "/host/dir.x/a.Txt"}));
  ASSERT_TRUE(Find("x.tar.log", &plan).ok());  // the last extension counts
  EXPECT_EQ(plan.program, "lv");
  EXPECT_EQ(plan.args, (std::vector<std::string>{"/host/x.tar.log", "--end"}));

  // The environment is searched first.
  ScopedEnvVar var("KALVO_ASSOC", ".both=from-env");
  ASSERT_TRUE(Find("a.both", &plan).ok());
  EXPECT_EQ(plan.program, "from-env");
}

TEST_F(FileAssocTest, DesktopDefaultApplication) {
  SKIP_WITHOUT_DESKTOP();
  WriteText(tmp_.Host("data/mime/globs2"),
            "# weight:type:glob\n"
            "50:application/x-kvd:*.kvd\n"
            "40:application/x-low:*.kvd\n"
            "50:application/x-kvd-case:*.KVC:cs\n");
  WriteText(tmp_.Host("config/mimeapps.list"),
            "[Added Associations]\n"
            "application/x-kvd=wrong.desktop;\n"
            "[Default Applications]\n"
            "application/x-kvd=missing.desktop;kvd.desktop;\n"
            "inode/directory=files.desktop\n");
  WriteText(tmp_.Host("data/applications/kvd.desktop"),
            "[Desktop Entry]\n"
            "Name=K\n"
            "Exec=\"/opt/k viewer\" --file %f %i --x=%% \"q\\\"uote\"\n"
            "[Desktop Action other]\n"
            "Exec=wrong\n");
  WriteText(tmp_.Host("data/applications/files.desktop"),
            "[Desktop Entry]\nExec=filer\n");

  EXPECT_EQ(DesktopMimeType("c:\\x\\A.KVD"), "application/x-kvd");
  EXPECT_EQ(DesktopMimeType("a.KVC"), "application/x-kvd-case");
  EXPECT_EQ(DesktopMimeType("a.kvc"), "");
  LaunchPlan plan;
  ASSERT_TRUE(Find("a.kvd", &plan).ok());
  EXPECT_EQ(plan.program, "/opt/k viewer");
  EXPECT_EQ(plan.args, (std::vector<std::string>{"--file", "/host/a.kvd",
                                                 "--x=%", "q\"uote"}));

  // A directory opens with the program for inode/directory; the document is
  // added when the Exec line has no field code.
  ASSERT_TRUE(Wy_MkDir("c:\\folder"));
  ASSERT_TRUE(FindAssociation("c:\\folder", "/h/folder", &plan).ok());
  EXPECT_EQ(plan.program, "filer");
  EXPECT_EQ(plan.args, (std::vector<std::string>{"/h/folder"}));
}

TEST_F(FileAssocTest, XdgOpenIsTheLastResort) {
  SKIP_WITHOUT_DESKTOP();
  LaunchPlan plan;
  Status s = Find("a.zzq", &plan);
  EXPECT_EQ(s.code(), ENOEXEC);

  ASSERT_TRUE(Wy_MkDir(tmp_.Host("bin")));
  std::string opener = tmp_.Host("bin/xdg-open");
  ASSERT_TRUE(env()->CopyFile("/bin/true", opener, false).ok());
  ASSERT_TRUE(Find("a.zzq", &plan).ok());
  EXPECT_EQ(plan.program, opener);
  EXPECT_EQ(plan.args, (std::vector<std::string>{"/host/a.zzq"}));
  EXPECT_EQ(SearchPath("xdg-open"), opener);
  EXPECT_EQ(SearchPath("no-such-program"), "");
  EXPECT_EQ(SearchPath(""), "");
}

}  // namespace
}  // namespace mixtable
