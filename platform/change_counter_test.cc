#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

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

std::string ShmPath(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return "";
  char name[128];
  std::snprintf(name, sizeof name, "/dev/shm/kalvo-change-%llx-%llx",
                static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return name;
}

// A write that bypasses the counter (another descriptor, another process)
// still moves the stamp; reads do not.
TEST(ChangeCounterTest, StampSeesWritesThatBypassTheCounter) {
  ScopedTempDrives drives;
  const std::string path = drives.Host("w.dbf");
  auto f = Open(path, OpenMode::kCreateAlways);
  std::unique_ptr<ChangeCounter> c;
  ASSERT_TRUE(f->OpenChangeCounter(&c).ok());
  if (!c->Watched()) GTEST_SKIP() << "no inotify watch available";
  const uint64_t s0 = c->Stamp();
  EXPECT_EQ(s0, c->Stamp());
  const int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  char b = 0;
  ASSERT_GE(pread(fd, &b, 1, 0), 0);
  EXPECT_EQ(s0, c->Stamp()) << "a read is no write";
  ASSERT_EQ(1, pwrite(fd, "x", 1, 0));
  const uint64_t s1 = c->Stamp();
  EXPECT_NE(s0, s1);
  EXPECT_EQ(0u, s1 % 2) << "the parity is the counter's";
  pid_t pid = fork();
  if (pid == 0) {
    // The child's own watch (the inherited instance is the parent's).
    const uint64_t cs = c->Stamp();
    if (pwrite(fd, "y", 1, 1) != 1) _exit(1);
    _exit(c->Stamp() != cs && c->Watched() ? 0 : 2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_NE(s1, c->Stamp()) << "the child's write";
  ASSERT_EQ(0, ftruncate(fd, 0));
  const uint64_t s2 = c->Stamp();
  EXPECT_NE(s2, s1);
  close(fd);
}

// The shared-memory object goes with its last user, never before.
TEST(ChangeCounterTest, ObjectIsRemovedByItsLastUser) {
  ScopedTempDrives drives;
  const std::string path = drives.Host("r.dbf");
  auto a = Open(path, OpenMode::kCreateAlways);
  auto b = Open(path, OpenMode::kReadWrite);
  const std::string shm = ShmPath(path);
  std::unique_ptr<ChangeCounter> ca, cb;
  ASSERT_TRUE(a->OpenChangeCounter(&ca).ok());
  ASSERT_TRUE(b->OpenChangeCounter(&cb).ok());
  ca->Bump();
  EXPECT_EQ(0, access(shm.c_str(), F_OK));
  ca.reset();
  EXPECT_EQ(0, access(shm.c_str(), F_OK)) << "b still uses it";
  EXPECT_EQ(1u, cb->Load()) << "the same object";
  cb.reset();
  EXPECT_NE(0, access(shm.c_str(), F_OK));
  // A removed object is made again, and the next users share it.
  ASSERT_TRUE(a->OpenChangeCounter(&ca).ok());
  ASSERT_TRUE(b->OpenChangeCounter(&cb).ok());
  ca->Bump();
  EXPECT_EQ(ca->Load(), cb->Load());
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
