// The demo package as the build made it, installed by KalvoINSTALL into a
// fresh drives root: it installs, installs again over itself (an update),
// every index of the installed data set is sound, the catalogue names it,
// and the tables arrive as they were generated.
//
// CTest names the package, the installer and the generated tree in
// KALVO_DEMO_PACKAGE, KALVO_INSTALLER and KALVO_DEMO_GDATA; without them
// the test is skipped.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "demo_data_set.h"
#include "demo_test_util.h"
#include "mixtable/wy_catalog.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using platform::Env;

std::string Var(const char* name) {
  std::string v;
  Env::Current()->GetEnv(name, &v);
  return v;
}

// Runs the installer on the package; answers its exit status.
int Install(const std::string& installer, const std::string& package) {
  platform::ProcessSpec launch;
  launch.program = installer;
  launch.args = {"--console", "--package", package, "--answer", "yes"};
  std::unique_ptr<platform::Process> p;
  if (!Env::Current()->StartProcess(launch, &p).ok()) return -1;
  int status = -1;
  if (!p->Wait(120000, &status)) return -2;
  return status;
}

TEST(DemoPackageTest, InstallsUpdatesAndEveryIndexIsSound) {
  const std::string package = Var("KALVO_DEMO_PACKAGE");
  const std::string installer = Var("KALVO_INSTALLER");
  const std::string generated = Var("KALVO_DEMO_GDATA");
  if (package.empty() || installer.empty() || generated.empty())
    GTEST_SKIP() << "KALVO_DEMO_PACKAGE, KALVO_INSTALLER or KALVO_DEMO_GDATA "
                    "not set";
  platform::ScopedTempDrives drives;
  ASSERT_EQ(Install(installer, package), 0) << "first installation";
  ASSERT_EQ(Install(installer, package), 0) << "update";

  std::string path, descr;
  ASSERT_TRUE(Wy_DataPath(kalvo_demo::kDemoDataId, path, descr));
  EXPECT_EQ(descr, kalvo_demo::kDemoDescr);
  EXPECT_EQ(path, "C:\\GDATA\\");
  const kalvo_demo_testing::IndexCount n =
      kalvo_demo_testing::ExpectEveryIndexSound(path);
  EXPECT_EQ(n.tables, 35);
  EXPECT_EQ(n.indexes, 71);

  // Data files and the version line as generated (the installer rebuilt
  // the indexes, so only their names are compared).
  const auto installed = kalvo_demo_testing::TreeFiles(path);
  const auto source = kalvo_demo_testing::TreeFiles(generated);
  ASSERT_EQ(installed.size(), source.size());
  for (const auto& [name, bytes] : source) {
    auto it = installed.find(name);
    ASSERT_NE(it, installed.end()) << name;
    if (name.size() < 4 || name.substr(name.size() - 4) != ".NTX") {
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }
  // No backup is left behind.
  EXPECT_FALSE(Env::Current()->FileExists("C:\\GDATATMP"));
}

}  // namespace
