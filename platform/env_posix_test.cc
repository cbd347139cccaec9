// The POSIX Env's own parts: TMPDIR, the current directory, marking
// programs executable (the parts of both hosts are in env_test.cc).

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

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

}  // namespace
}  // namespace platform
