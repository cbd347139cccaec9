#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/env.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

std::unique_ptr<File> Open(const std::string& path, OpenMode mode) {
  std::unique_ptr<File> f;
  EXPECT_TRUE(Env::Current()->OpenFile(path, mode, &f).ok());
  return f;
}

TEST(ChangeCounterTest, HandlesOfOneFileShareOneCounter) {
  ScopedTempDrives drives;
  const std::string a_path = drives.Host("a.dbf");
  auto a = Open(a_path, OpenMode::kCreateAlways);
  auto b = Open(drives.Host("A.DBF"), OpenMode::kReadWrite);
  auto other = Open(drives.Host("other.dbf"), OpenMode::kCreateAlways);
  std::unique_ptr<ChangeCounter> ca, cb, co;
  ASSERT_TRUE(a->OpenChangeCounter(&ca).ok());
  ASSERT_TRUE(b->OpenChangeCounter(&cb).ok());
  ASSERT_TRUE(other->OpenChangeCounter(&co).ok());
  const uint64_t start = ca->Load();
  EXPECT_EQ(start, cb->Load());
  const uint64_t other_start = co->Load();
  EXPECT_EQ(start, ca->Bump());
  EXPECT_EQ(start + 1, cb->Load());
  EXPECT_EQ(other_start, co->Load());
  // Another process bumps the same counter.
  pid_t pid = fork();
  if (pid == 0) {
    auto f = Open(a_path, OpenMode::kReadWrite);
    std::unique_ptr<ChangeCounter> c;
    if (!f->OpenChangeCounter(&c).ok()) _exit(1);
    c->Bump();
    c->Bump();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ(start + 3, ca->Load());
}

TEST(ChangeCounterTest, WrappedFilesHaveNone) {
  ScopedTempDrives drives;
  FaultInjectionEnv env(Env::Default());
  ScopedEnv use(&env);
  auto f = Open(drives.Host("x.dbf"), OpenMode::kCreateAlways);
  std::unique_ptr<ChangeCounter> c;
  EXPECT_EQ(ENOTSUP, f->OpenChangeCounter(&c).code());
  EXPECT_EQ(nullptr, c);
}

}  // namespace
}  // namespace platform
