#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

TEST(StatusTest, CodesAndTexts) {
  Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_EQ(ok.ToString(), "OK");
  Status e = Status::Error(ENOENT, "open c:\\x.dbf");
  EXPECT_FALSE(e.ok());
  EXPECT_EQ(e.code(), ENOENT);
  EXPECT_EQ(e.message(), "open c:\\x.dbf");
  EXPECT_EQ(e.ToString(), "open c:\\x.dbf: No such file or directory");
  // An error is never mistaken for success, whatever code it was given.
  EXPECT_FALSE(Status::Error(0, "odd").ok());
}

TEST(EnvTest, CurrentCanBeReplacedAndRestored) {
  Env* def = Env::Default();
  EXPECT_EQ(Env::Current(), def);
  EnvWrapper wrapper(def);
  EXPECT_EQ(Env::SetCurrent(&wrapper), def);
  EXPECT_EQ(Env::Current(), &wrapper);
  EXPECT_EQ(Env::SetCurrent(nullptr), &wrapper);
  EXPECT_EQ(Env::Current(), def);
}

TEST(EnvTest, EnvironmentVariables) {
  Env* env = Env::Default();
  ASSERT_TRUE(env->SetEnv("KALVO_TEST_VAR", "a=b c").ok());
  std::string v;
  ASSERT_TRUE(env->GetEnv("KALVO_TEST_VAR", &v));
  EXPECT_EQ(v, "a=b c");
  std::vector<std::string> all = env->Environment();
  EXPECT_NE(std::find(all.begin(), all.end(), "KALVO_TEST_VAR=a=b c"),
            all.end());
  ASSERT_TRUE(env->UnsetEnv("KALVO_TEST_VAR").ok());
  EXPECT_FALSE(env->GetEnv("KALVO_TEST_VAR", &v));
  EXPECT_EQ(env->SetEnv("BAD=NAME", "x").code(), EINVAL);
  EXPECT_EQ(env->SetEnv("", "x").code(), EINVAL);
}

TEST(EnvTest, TempAndCurrentDirectories) {
  Env* env = Env::Default();
  std::string old;
  bool had = env->GetEnv("TMPDIR", &old);
  ASSERT_TRUE(env->SetEnv("TMPDIR", "/var/tmp/").ok());
  EXPECT_EQ(env->TempDir(), "/var/tmp");
  ASSERT_TRUE(env->UnsetEnv("TMPDIR").ok());
  EXPECT_EQ(env->TempDir(), "/tmp");
  if (had) env->SetEnv("TMPDIR", old);

  char buf[4096];
  ASSERT_NE(getcwd(buf, sizeof(buf)), nullptr);
  EXPECT_EQ(env->CurrentDir(), buf);
  EXPECT_EQ(env->CurrentProcessId(), getpid());
}

TEST(EnvTest, Clock) {
  Env* env = Env::Default();
  LocalTime t = env->Now();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
  EXPECT_TRUE(t.minute >= 0 && t.minute <= 59);
  EXPECT_TRUE(t.second >= 0 && t.second <= 60);
  EXPECT_TRUE(t.millisecond >= 0 && t.millisecond <= 999);
  EXPECT_TRUE(t.weekday >= 0 && t.weekday <= 6);
  EXPECT_GT(env->NowSeconds(), 1500000000);
  uint64_t a = env->NowMicros();
  env->SleepMs(2);
  EXPECT_GE(env->NowMicros(), a + 2000);  // slept at least that long
  env->SleepMs(0);
  env->SleepMs(-5);
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST(EnvTest, SyncDirAndMarkExecutable) {
  ScopedTempDrives drives;
  Env* env = Env::Current();
  ASSERT_TRUE(env->CreateDir("c:\\").ok() || env->FileExists("c:\\"));
  ASSERT_TRUE(env->CreateDir("c:\\pkg").ok());
  EXPECT_TRUE(env->SyncDir("c:\\pkg").ok());
  EXPECT_EQ(env->SyncDir("c:\\missing").code(), ENOENT);
  std::unique_ptr<File> f;
  ASSERT_TRUE(env->OpenFile("c:\\pkg\\run", OpenMode::kCreateAlways, &f).ok());
  f->WriteAt(0, "#!/bin/sh\nexit 7\n", 17);
  f.reset();
  EXPECT_EQ(env->SyncDir("c:\\pkg\\run").code(), ENOTDIR);
  EXPECT_FALSE(env->IsExecutable("c:\\pkg\\run"));
  ASSERT_TRUE(env->MarkExecutable("c:\\pkg\\run").ok());
  EXPECT_TRUE(env->IsExecutable("c:\\pkg\\run"));
  EXPECT_EQ(env->MarkExecutable("c:\\pkg").code(), EINVAL);  // a directory
  std::string host;
  env->HostPath("c:\\pkg", &host);
  ASSERT_EQ(symlink((host + "/run").c_str(), (host + "/link").c_str()), 0);
  EXPECT_EQ(env->MarkExecutable("c:\\pkg\\link").code(), ELOOP);
}

TEST(EnvTest, KillCurrentProcessEndsByTheKillSignal) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    KillCurrentProcess();
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

}  // namespace
}  // namespace platform
