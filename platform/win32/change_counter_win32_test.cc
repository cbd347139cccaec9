// The change counter on Windows: handles of one file share one counter,
// other files have their own, another process bumps the same counter, and
// the counter is never watched. The mapping is on unless
// $KALVO_CHANGE_COUNTER is "off"; the tests say "on" all the same. The other
// process is this test program, started with $KALVO_COUNTER_CHILD naming the
// file to bump.

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "platform/env.h"
#include "platform/internal/process_impl.h"
#include "platform/win32/win32_internal.h"

namespace platform::internal {
namespace {

std::string GetVar(const char* name) {
  char buf[1024];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof(buf));
  return n == 0 || n >= sizeof(buf) ? "" : std::string(buf, n);
}

HANDLE OpenShared(const std::string& path, DWORD disposition) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The child: bumps the counter of $KALVO_COUNTER_CHILD
// $KALVO_COUNTER_BUMPS times; exit code 0 when it could.
int RunChildIfAsked() {
  const std::string path = GetVar("KALVO_COUNTER_CHILD");
  if (path.empty()) return 0;
  HANDLE h = OpenShared(path, OPEN_EXISTING);
  std::unique_ptr<ChangeCounter> c;
  if (h == INVALID_HANDLE_VALUE ||
      !OpenSharedChangeCounterWin32(h, path, &c).ok()) {
    ExitProcess(1);
  }
  const int bumps = std::atoi(GetVar("KALVO_COUNTER_BUMPS").c_str());
  for (int i = 0; i < bumps; ++i) c->Bump();
  c.reset();
  CloseHandle(h);
  ExitProcess(0);
}
const int kChildRan = RunChildIfAsked();

// Turns the mapping on for one test (the child inherits the setting).
class CounterOn {
 public:
  CounterOn() { _putenv_s("KALVO_CHANGE_COUNTER", "on"); }
  ~CounterOn() { _putenv_s("KALVO_CHANGE_COUNTER", ""); }
};

class TempFiles {
 public:
  TempFiles() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    base_ = std::string(dir) + "kalvo_counter_" +
            std::to_string(GetCurrentProcessId()) + "_";
  }
  ~TempFiles() {
    for (const char* n : {"a.dbf", "b.dbf", "c.dbf"}) {
      DeleteFileA((base_ + n).c_str());
    }
  }
  std::string Path(const char* name) const { return base_ + name; }

 private:
  std::string base_;
};

struct Opened {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::unique_ptr<ChangeCounter> counter;
  ~Opened() {
    counter.reset();
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

void OpenCounter(const std::string& path, DWORD disposition, Opened* o) {
  o->handle = OpenShared(path, disposition);
  ASSERT_NE(o->handle, INVALID_HANDLE_VALUE) << path;
  Status s = OpenSharedChangeCounterWin32(o->handle, path, &o->counter);
  ASSERT_TRUE(s.ok()) << s.ToString();
}

TEST(ChangeCounterWin32Test, HandlesAndProcessesShareOneCounterPerFile) {
  CounterOn on;
  TempFiles tmp;
  Opened a, b, other;
  OpenCounter(tmp.Path("a.dbf"), CREATE_ALWAYS, &a);
  OpenCounter(tmp.Path("a.dbf"), OPEN_EXISTING, &b);
  OpenCounter(tmp.Path("b.dbf"), CREATE_ALWAYS, &other);
  const uint64_t start = a.counter->Load();
  EXPECT_EQ(start, b.counter->Load());
  const uint64_t other_start = other.counter->Load();
  EXPECT_EQ(start, a.counter->Bump());
  EXPECT_EQ(start + 1, b.counter->Load());
  EXPECT_EQ(other_start, other.counter->Load());
  EXPECT_FALSE(a.counter->Watched());  // no write reports on Windows
  EXPECT_EQ(a.counter->Stamp(), a.counter->Load());

  // Two other processes at once bump the same counter.
  SetEnvironmentVariableA("KALVO_COUNTER_CHILD", tmp.Path("a.dbf").c_str());
  SetEnvironmentVariableA("KALVO_COUNTER_BUMPS", "5000");
  ProcessSpec launch;
  launch.program = ProgramPathImpl();
  std::unique_ptr<Process> p1, p2;
  Status s1 = StartProcessImpl(launch, &p1);
  Status s2 = StartProcessImpl(launch, &p2);
  SetEnvironmentVariableA("KALVO_COUNTER_CHILD", nullptr);
  SetEnvironmentVariableA("KALVO_COUNTER_BUMPS", nullptr);
  ASSERT_TRUE(s1.ok()) << s1.ToString();
  ASSERT_TRUE(s2.ok()) << s2.ToString();
  for (int i = 0; i < 5000; ++i) b.counter->Bump();
  int code1 = -1, code2 = -1;
  ASSERT_TRUE(p1->Wait(60000, &code1));
  ASSERT_TRUE(p2->Wait(60000, &code2));
  EXPECT_EQ(code1, 0);
  EXPECT_EQ(code2, 0);
  EXPECT_EQ(start + 1 + 3 * 5000, a.counter->Load());
}

TEST(ChangeCounterWin32Test, RenamedFileKeepsItsCounter) {
  CounterOn on;
  TempFiles tmp;
  Opened a;
  OpenCounter(tmp.Path("a.dbf"), CREATE_ALWAYS, &a);
  a.counter->Bump();
  ASSERT_TRUE(MoveFileA(tmp.Path("a.dbf").c_str(), tmp.Path("c.dbf").c_str()));
  Opened c;
  OpenCounter(tmp.Path("c.dbf"), OPEN_EXISTING, &c);
  EXPECT_EQ(a.counter->Load(), c.counter->Load());
}

TEST(ChangeCounterWin32Test, OnByDefaultOffWhenAskedAndForRemoteFiles) {
  TempFiles tmp;
  HANDLE h = OpenShared(tmp.Path("a.dbf"), CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::unique_ptr<ChangeCounter> c;
  _putenv_s("KALVO_CHANGE_COUNTER", "");
  EXPECT_TRUE(OpenSharedChangeCounterWin32(h, tmp.Path("a.dbf"), &c).ok());
  EXPECT_NE(c, nullptr);
  // Turned off: the engine has no counter for the file.
  _putenv_s("KALVO_CHANGE_COUNTER", "off");
  EXPECT_EQ(OpenSharedChangeCounterWin32(h, tmp.Path("a.dbf"), &c).code(),
            ENOTSUP);
  EXPECT_EQ(c, nullptr);
  CounterOn on;
  // The handle is local, but the name says the file is served: refused
  // before the handle is looked at.
  EXPECT_EQ(
      OpenSharedChangeCounterWin32(h, "\\\\server\\share\\a.dbf", &c).code(),
      ENOTSUP);
  EXPECT_TRUE(
      OpenSharedChangeCounterWin32(h, "\\\\?\\" + tmp.Path("a.dbf"), &c).ok());
  CloseHandle(h);
}

}  // namespace
}  // namespace platform::internal
