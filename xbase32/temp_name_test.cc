// Temporary working files and work-table names: the name form, the place,
// exclusive creation, the retry on a taken name and its limit.

#include "temp_name.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/testing/fault_env.h"
#include "test_util.h"

namespace xbase32::testing {
namespace {

// An Env whose temporary directory is the test's and whose clock moves only
// when the engine sleeps.
class ClockEnv : public platform::EnvWrapper {
 public:
  explicit ClockEnv(const std::string& temp)
      : EnvWrapper(platform::Env::Default()), temp_(temp) {}
  std::string TempDir() override { return temp_; }
  int64_t NowSeconds() override { return now_; }
  void SleepMs(int64_t ms) override {
    slept_ms_ += ms;
    now_ += (ms + 999) / 1000;
  }
  int64_t now_ = 1234567890;  // digits 7890
  int64_t slept_ms_ = 0;

 private:
  std::string temp_;
};

class TempNameTest : public ::testing::Test {
 protected:
  void SetUp() override { Wdbase::SetDebugLevel(0); }
  platform::ScopedTempDrives drives_;
};

TEST(TempFileNameTest, FourDigitsOfTheTime) {
  EXPECT_EQ("TEMP7890.TMP", TempFileName(1234567890));
  EXPECT_EQ("TEMP0005.TMP", TempFileName(5));
  EXPECT_EQ("TEMP0000.TMP", TempFileName(10000));
  EXPECT_EQ("TEMP9999.TMP", TempFileName(-1));
}

TEST_F(TempNameTest, CreatedExclusivelyInTheTemporaryDirectory) {
  ClockEnv env(drives_.dir());
  platform::ScopedEnv use(&env);
  std::string path;
  std::unique_ptr<platform::File> file;
  ASSERT_TRUE(CreateTempFile(&path, &file));
  EXPECT_EQ(drives_.dir() + "/TEMP7890.TMP", path);
  EXPECT_EQ(0, env.slept_ms_);
  ASSERT_TRUE(file->WriteAt(0, "run", 3).ok());
  // The name is taken: wait a second and take the next time's name.
  std::string second;
  std::unique_ptr<platform::File> other;
  ASSERT_TRUE(CreateTempFile(&second, &other));
  EXPECT_EQ(drives_.dir() + "/TEMP7891.TMP", second);
  EXPECT_EQ(1000, env.slept_ms_);
  EXPECT_EQ("run", ReadAll(path));  // the first file is untouched
}

TEST_F(TempNameTest, GivesUpAfterAHundredAttempts) {
  ClockEnv env(drives_.dir());
  platform::ScopedEnv use(&env);
  for (int i = 0; i < kTempAttempts; ++i) {
    ASSERT_TRUE(WriteAll(drives_.dir() + "/" + TempFileName(env.now_ + i), ""));
  }
  std::string path;
  std::unique_ptr<platform::File> file;
  EXPECT_FALSE(CreateTempFile(&path, &file));
  EXPECT_EQ(-20, Wdbase::LastErrorCode());
  EXPECT_STREQ("Temporary Working File", Wdbase::LastErrorDetail(0));
  EXPECT_EQ((kTempAttempts - 1) * kTempRetryMs, env.slept_ms_);
  // One more free second would have done.
  env.now_ = 1234567890;
  env.slept_ms_ = 0;
  platform::Env::Default()->DeleteFile(drives_.dir() + "/" +
                                       TempFileName(env.now_ + 99));
  EXPECT_TRUE(CreateTempFile(&path, &file));
  EXPECT_EQ(99 * kTempRetryMs, env.slept_ms_);
}

TEST_F(TempNameTest, OtherFailuresEndAtOnce) {
  ClockEnv env(drives_.dir() + "/missing");
  platform::ScopedEnv use(&env);
  std::string path;
  std::unique_ptr<platform::File> file;
  EXPECT_FALSE(CreateTempFile(&path, &file));
  EXPECT_EQ(-20, Wdbase::LastErrorCode());
  EXPECT_EQ(0, env.slept_ms_);
}

TEST_F(TempNameTest, WorkTablesGetUniqueNames) {
  const std::string dir = drives_.dir() + "/";
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    std::string name;
    ASSERT_TRUE(ReserveWorkTable(dir, &name));
    ASSERT_EQ(12u, name.size());
    EXPECT_EQ("$$$", name.substr(0, 3));
    EXPECT_EQ(".dbf", name.substr(8));
    EXPECT_TRUE(platform::Env::Current()->FileExists(dir + name));
    EXPECT_TRUE(names.insert(name).second);
  }
  std::string name;
  EXPECT_FALSE(ReserveWorkTable(dir + "missing/", &name));
  EXPECT_EQ(-20, Wdbase::LastErrorCode());
}

}  // namespace
}  // namespace xbase32::testing
