#include "platform/testing/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/temp_drives.h"

namespace platform::testing {
namespace {

// Exits with the sum of its arguments.
KALVO_CHILD_MAIN(sum_args)(const std::vector<std::string>& args) {
  int sum = 0;
  for (const std::string& a : args) sum += std::stoi(a);
  return sum;
}

// Writes args[1] into the file of the drive-letter path args[0], as the
// inherited drives map it.
KALVO_CHILD_MAIN(say_on_drive)(const std::vector<std::string>& args) {
  std::unique_ptr<File> f;
  if (args.size() != 2 ||
      !Env::Current()->OpenFile(args[0], OpenMode::kCreateAlways, &f).ok()) {
    return 1;
  }
  return f->WriteAt(0, args[1].data(), args[1].size()).ok() ? 0 : 2;
}

// Signals args[0], then waits for args[1] (and never ends without it).
KALVO_CHILD_MAIN(handshake)(const std::vector<std::string>& args) {
  if (args.size() != 2 || !SignalFile(args[0])) return 1;
  return WaitForFile(args[1], -1) ? 7 : 2;
}

TEST(ChildProcessTest, ArgumentsInExitStatusOut) {
  EXPECT_EQ(0, RunChild("sum_args", {}));
  EXPECT_EQ(42, RunChild("sum_args", {"40", "2"}));
  // Arguments with spaces, quotes and backslashes arrive as they are.
  EXPECT_EQ(0, RunChild("sum_args", {" 0", "0 "}));
  EXPECT_EQ(kChildNotRun, RunChild("no_such_entry", {}));
}

TEST(ChildProcessTest, ChildSeesTheTestDrives) {
  ScopedTempDrives drives;
#ifdef _WIN32
  // Drive letters are the host's own (no drives root): a name inside the
  // test's directory on its real drive, so that nothing stays behind.
  const std::string said = drives.dir() + "\\said.txt";
#else
  // c: lies below the test's drives root, which the child inherits.
  ASSERT_TRUE(Env::Current()->CreateDir("c:\\").ok() ||
              Env::Current()->FileExists("c:\\"));
  const std::string said = "c:\\said.txt";
#endif
  const std::string text = "a \"quoted\" c:\\path\\ text";
  ASSERT_EQ(0, RunChild("say_on_drive", {said, text}));
  std::unique_ptr<File> f;
  ASSERT_TRUE(Env::Current()->OpenFile(said, OpenMode::kReadOnly, &f).ok());
  std::string got(100, '\0');
  size_t n = 0;
  ASSERT_TRUE(f->ReadAt(0, got.data(), got.size(), &n).ok());
  got.resize(n);
  EXPECT_EQ(text, got);
}

TEST(ChildProcessTest, MarkerFilesAndHardKill) {
  ScopedTempDrives drives;
  const std::string ready = drives.Host("ready"), go = drives.Host("go");
  std::unique_ptr<Process> child;
  ASSERT_TRUE(StartChild("handshake", {ready, go}, &child).ok());
  ASSERT_TRUE(WaitForFile(ready, 60000, child.get()));
  EXPECT_EQ(kChildNotRun, WaitChild(child.get(), 20));
  ASSERT_TRUE(SignalFile(go));
  EXPECT_EQ(7, WaitChild(child.get()));

  // A child that never gets its marker is ended from outside.
  ASSERT_TRUE(
      StartChild("handshake", {drives.Host("r2"), drives.Host("never")}, &child)
          .ok());
  ASSERT_TRUE(WaitForFile(drives.Host("r2"), 60000, child.get()));
  ASSERT_TRUE(KillChild(child.get()));
  EXPECT_EQ(kChildKilled, WaitChild(child.get(), 0));
  // Waiting for a marker of a child that has ended answers at once.
  EXPECT_FALSE(WaitForFile(drives.Host("never"), 60000, child.get()));
}

}  // namespace
}  // namespace platform::testing
