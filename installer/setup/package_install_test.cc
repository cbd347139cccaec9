// Packages built by "mixtool package" and installed end to end by the
// install engine in a temporary drives root, with the real setup.exe: a
// first install, an update, a damaged payload, a setup killed part way, an
// escaping payload and a spoiled GDATA.TXT, and the package's launcher.

#include <archive_entry.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "installer/install_engine.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/ytable.h"
#include "package_command.h"
#include "payload.h"
#include "payload_test_util.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "tools/xbtool/commands.h"

namespace {

using payload_testing::Contents;
using payload_testing::Entry;
using payload_testing::Host;
using payload_testing::MakeArchive;
using payload_testing::Snapshot;

platform::Env* E() { return platform::Env::Current(); }

int QuietBox(const char*, const char*, unsigned) { return platform::kIdOk; }

class PackageInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(drives_.dir().empty());
    E()->UnsetEnv("LOCALDIR");
    E()->UnsetEnv("KALVO_SETUP_KILL_AFTER");
    Wy_ResetAbsDataIdCache();
    old_box_ = platform::SetMessageBoxHook(&QuietBox);
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("d:\\src1\\", &error))
        << error;
  }
  void TearDown() override {
    platform::SetMessageBoxHook(old_box_);
    E()->UnsetEnv("KALVO_SETUP_KILL_AFTER");
  }

  // Builds a package of src into out (Windows-style paths).
  void Package(const std::string& src, const std::string& out,
               const std::string& descr) {
    mixtool::PackageOptions o;
    o.src_dir = src;
    o.out_dir = out;
    o.id = "42";
    o.path = "C:\\GDATA001";
    o.descr = descr;
    o.setup_program = KALVO_TEST_SETUP;
    o.installer = KALVO_TEST_INSTALLER;
    std::ostringstream so, se;
    ASSERT_EQ(mixtool::Package(o, so, se), 0) << se.str();
  }
  // Installs the package in pkg; the engine's lines go to lines_.
  int Install(const std::string& pkg) {
    lines_.clear();
    ctx_ = InstallContext();
    ctx_.package_dir = Host(pkg);
    ctx_.unattended = 1;
    ctx_.output = [this](const std::string& l) { lines_ += l + "\n"; };
    return RunInstallation(ctx_);
  }
  bool Said(const std::string& text) const {
    return lines_.find(text) != std::string::npos;
  }
  // The installed data set and the catalogue, as a rollback must restore
  // them.
  std::map<std::string, std::string> State() {
    auto s = Snapshot(Host("C:\\GDATA001"));
    s["<datactl>"] = Contents("c:\\local\\datactl.dbf");
    s["<marker>"] = E()->FileExists(kCompletionMarker) ? "yes" : "no";
    s["<backup>"] = E()->FileExists("C:\\GDATATMP") ? "yes" : "no";
    return s;
  }
  // Checks every index of every registered table found in the installed
  // tree as "xbtool check" does; answers the number checked.
  int CheckAllIndexes(const std::string& dir) {
    int checked = 0;
    std::vector<std::string> dirs = {Host(dir)};
    for (size_t i = 0; i < dirs.size(); ++i) {
      std::vector<platform::DirEntry> entries;
      E()->ListDir(dirs[i], "*", &entries);
      for (const platform::DirEntry& e : entries) {
        if (e.info.is_dir) {
          dirs.push_back(dirs[i] + "/" + e.name);
          continue;
        }
        for (int t = 0; const YTABLE* row = WyGetFileInfo(t); ++t) {
          if (!platform::MatchFileMask(e.name,
                                       std::string(row->def.name) + ".DBF"))
            continue;
          for (int x = 0; x < row->def.idx_count; ++x) {
            std::string ntx = dirs[i] + "/" + row->def.idx_names[x] + ".NTX";
            std::string host;
            E()->HostPath(ntx, &host);
            EXPECT_TRUE(E()->FileExists(host)) << host;
            std::ostringstream out, err;
            EXPECT_EQ(xbtool::Check(dirs[i] + "/" + e.name, host, out, err), 0)
                << host << ": " << err.str();
            ++checked;
          }
        }
      }
    }
    return checked;
  }

  platform::ScopedTempDrives drives_;
  platform::MessageBoxHook old_box_ = nullptr;
  InstallContext ctx_;
  std::string lines_;
};

TEST_F(PackageInstallTest, InstallsAndEveryIndexPassesTheCheck) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  ASSERT_EQ(Install("d:\\pkg1"), 0) << lines_;
  EXPECT_TRUE(Said("Installation success!")) << lines_;
  EXPECT_TRUE(Said("Id:        42;Path: C:\\GDATA001")) << lines_;
  EXPECT_FALSE(E()->FileExists(kCompletionMarker));
  // The tables arrive as they were packed.
  auto src = Snapshot(Host("d:\\src1"));
  auto dst = Snapshot(Host("C:\\GDATA001"));
  int tables = 0;
  for (const auto& [name, data] : src) {
    if (!platform::MatchFileMask(name, "*.DBF")) continue;
    EXPECT_EQ(dst[name], data) << name;
    ++tables;
  }
  EXPECT_GE(tables, 5);
  EXPECT_GE(CheckAllIndexes("C:\\GDATA001"), tables);
}

TEST_F(PackageInstallTest, SecondInstallOfANewerPackageUpdates) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  ASSERT_EQ(Install("d:\\pkg1"), 0) << lines_;
  // Version 2: one product more.
  std::string error;
  ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("d:\\src2\\", &error));
  mixtable_testing::DataSetBuilder b("d:\\src2\\");
  ASSERT_TRUE(b.AddProduct(3, "P3", "Third")) << b.error();
  Package("d:\\src2", "d:\\pkg2", "Sample data set v2");
  ASSERT_EQ(Install("d:\\pkg2"), 0) << lines_;
  EXPECT_TRUE(Said("Descr:Sample data set v2")) << lines_;
  EXPECT_EQ(Contents("C:\\GDATA001\\PRODUCTS.DBF"),
            Contents("d:\\src2\\PRODUCTS.DBF"));
  EXPECT_NE(Contents("d:\\src1\\PRODUCTS.DBF"),
            Contents("d:\\src2\\PRODUCTS.DBF"));
  EXPECT_TRUE(E()->FileExists("C:\\GDATA001\\P3"));
  EXPECT_FALSE(E()->FileExists("C:\\GDATATMP"));
  EXPECT_GT(CheckAllIndexes("C:\\GDATA001"), 0);
}

// Each spoiled second package: the installation fails and the first data
// set and the catalogue are back byte for byte, with no marker.
TEST_F(PackageInstallTest, FailedUpdatesRollBackByteForByte) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  ASSERT_EQ(Install("d:\\pkg1"), 0) << lines_;
  const auto before = State();
  ASSERT_EQ(before.at("<marker>"), "no");
  std::string error;
  ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("d:\\src2\\", &error));
  mixtable_testing::DataSetBuilder b("d:\\src2\\");
  ASSERT_TRUE(b.AddProduct(3, "P3", "Third")) << b.error();
  ASSERT_TRUE(payload_testing::Write("d:\\src2\\P3\\BIG.DBF",
                                     std::string(300000, 'x')));
  const std::string payload = std::string("d:\\pkg2\\") + setup::kPayloadName;
  struct Case {
    const char* what;
    std::function<void()> spoil;
  } cases[] = {
      {"truncated payload",
       [&] {
         std::string whole = Contents(payload);
         ASSERT_TRUE(payload_testing::Write(payload,
                                            whole.substr(0, whole.size() / 2)));
       }},
      {"setup killed part way",
       [&] { E()->SetEnv("KALVO_SETUP_KILL_AFTER", "3"); }},
      {"escaping entries",
       [&] {
         ASSERT_TRUE(MakeArchive(Host(payload),
                                 {{"PRODUCTS.DBF", AE_IFREG, "evil"},
                                  {"../ESCAPED.TXT", AE_IFREG, "evil"},
                                  {"LINK", AE_IFLNK, "", "/etc"},
                                  {"/tmp/kalvo-escaped", AE_IFREG, "evil"}}));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Package("d:\\src2", "d:\\pkg2", "Sample data set v2");
    c.spoil();
    EXPECT_EQ(Install("d:\\pkg2"), 1);
    E()->UnsetEnv("KALVO_SETUP_KILL_AFTER");
    EXPECT_TRUE(Said("Database installation failed !!!")) << lines_;
    EXPECT_TRUE(Said("Restore old database done !!!")) << lines_;
    EXPECT_EQ(before, State());
    EXPECT_FALSE(E()->FileExists("C:\\ESCAPED.TXT"));
    EXPECT_FALSE(E()->FileExists("/tmp/kalvo-escaped"));
  }
}

// The setup program on its own, killed after three files: part of the tree
// is there, and no marker.
TEST_F(PackageInstallTest, KilledSetupLeavesNoMarker) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  std::unique_ptr<platform::Process> p;
  platform::ProcessSpec launch;
  launch.program = Host("d:\\pkg1\\setup.exe");
  launch.args = {"/VERYSILENT"};
  for (const std::string& v : E()->Environment())
    if (v.rfind("GDATA=", 0) != 0) launch.env.push_back(v);
  launch.env.push_back("GDATA=C:\\UNPACKED");
  launch.env.push_back("KALVO_SETUP_KILL_AFTER=3");
  ASSERT_TRUE(E()->StartProcess(launch, &p).ok());
  int code = 0;
  ASSERT_TRUE(p->Wait(-1, &code));
  EXPECT_EQ(code, 128 + 9);
  EXPECT_FALSE(E()->FileExists(kCompletionMarker));
  int files = 0;
  for (const auto& [name, data] : Snapshot(Host("C:\\UNPACKED")))
    if (name.back() != '/') ++files;
  EXPECT_EQ(files, 3);
}

TEST_F(PackageInstallTest, GarbageInstallFileTouchesNothing) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  ASSERT_EQ(Install("d:\\pkg1"), 0) << lines_;
  ASSERT_TRUE(payload_testing::Write("d:\\pkg1\\GDATA.TXT",
                                     "garbage\r\n\x01\x02 more\r\n\xff\r\n"));
  const auto before = Snapshot(drives_.drives());
  EXPECT_EQ(Install("d:\\pkg1"), 1);
  EXPECT_EQ(ctx_.error,
            "Error in file GDATA.TXT, line 1: the data id is not a number "
            "from 1 to 4294967295");
  EXPECT_EQ(lines_, ctx_.error + "\n");
  EXPECT_EQ(before, Snapshot(drives_.drives()));
}

// The launcher runs the installer on its own directory, skipping itself
// when its directory is on PATH.
TEST_F(PackageInstallTest, LauncherStartsTheInstallerOnItsPackage) {
  Package("d:\\src1", "d:\\pkg1", "Sample data set");
  std::unique_ptr<platform::Process> p;
  platform::ProcessSpec launch;
  launch.program = Host("d:\\pkg1\\KalvoINSTALL");
  launch.args = {"--console", "--answer", "yes"};
  for (const std::string& v : E()->Environment())
    if (v.rfind("PATH=", 0) != 0) launch.env.push_back(v);
  launch.env.push_back("PATH=" + Host("d:\\pkg1") + ":/usr/bin:/bin");
  ASSERT_TRUE(E()->StartProcess(launch, &p).ok());
  int code = -1;
  ASSERT_TRUE(p->Wait(60000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Contents("C:\\GDATA001\\PRODUCTS.DBF"),
            Contents("d:\\src1\\PRODUCTS.DBF"));
}

}  // namespace
