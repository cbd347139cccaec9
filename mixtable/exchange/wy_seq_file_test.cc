// Wy_SeqFile: opening and creating, positioned reads and writes, appending,
// cutting and extending, held writes, failures of the file underneath, line
// ends kept byte for byte, and the exclusive lock between two processes.

#include "mixtable/wy_seq_file.h"

#include <gtest/gtest.h>

#include <string>

#include "exchange/xml_test_util.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/temp_drives.h"

namespace {

using xmltest::ReadAll;
using xmltest::WriteAll;

class SeqFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = drives_.Host("seq.txt"); }

  std::string ReadFrom(Wy_SeqFile& f, uint64_t at, size_t n) {
    std::string buf(n, '\0');
    if (!f.Seek(at)) return "<seek failed>";
    buf.resize(f.Read(buf.data(), n));
    return buf;
  }

  platform::ScopedTempDrives drives_;
  std::string path_;
};

TEST_F(SeqFileTest, OpenAndCreate) {
  Wy_SeqFile f;
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.Open(path_, false));  // missing, no create
  EXPECT_FALSE(platform::Env::Current()->FileExists(path_));
  ASSERT_TRUE(f.Open(path_, true));
  EXPECT_TRUE(f.IsOpen());
  uint64_t len = 99;
  ASSERT_TRUE(f.GetLength(&len));
  EXPECT_EQ(len, 0u);
  ASSERT_TRUE(f.Write("abc"));
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.IsOpen());
  EXPECT_TRUE(f.Close());  // closing twice is harmless

  // An existing file is neither truncated nor moved past: position 0.
  ASSERT_TRUE(f.Open(path_, true));
  EXPECT_EQ(f.GetPosition(), 0u);
  EXPECT_EQ(ReadFrom(f, 0, 10), "abc");
  EXPECT_EQ(f.BytesRead(), 3u);
  // Opening again closes the first file and starts afresh.
  ASSERT_TRUE(f.Open(path_, false));
  EXPECT_EQ(f.BytesRead(), 0u);
  EXPECT_EQ(ReadAll(path_), "abc");

  // Windows-style paths go through the drives root.
  Wy_SeqFile w;
  ASSERT_TRUE(w.Open("c:\\Seq.TXT", true));
  ASSERT_TRUE(w.Write("x\r\n"));
  ASSERT_TRUE(w.Close());
  std::string host;
  ASSERT_TRUE(platform::Env::Current()->HostPath("c:\\Seq.TXT", &host).ok());
  EXPECT_EQ(ReadAll(host), "x\r\n");
}

TEST_F(SeqFileTest, RefusedFiles) {
  Wy_SeqFile f;
  EXPECT_FALSE(f.Open("", true));
  EXPECT_FALSE(f.Open(drives_.dir(), true));  // a directory
  WriteAll(path_, "keep");
  platform::Env* env = platform::Env::Current();
  ASSERT_TRUE(env->SetAttributes(path_, platform::kAttrReadOnly).ok());
  EXPECT_FALSE(f.Open(path_, true));
  EXPECT_FALSE(f.IsOpen());
  ASSERT_TRUE(env->SetAttributes(path_, platform::kAttrNormal).ok());
  EXPECT_EQ(ReadAll(path_), "keep");
  EXPECT_FALSE(f.Open(drives_.Host("no/such/dir/file"), true));

  // A closed object answers failure everywhere and writes nothing.
  uint64_t len = 0;
  char buf[4];
  EXPECT_FALSE(f.Write("x"));
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
  EXPECT_FALSE(f.Seek(1));
  EXPECT_FALSE(f.GetLength(&len));
  EXPECT_FALSE(f.SetLength(0));
  EXPECT_FALSE(f.Flush());
  EXPECT_FALSE(f.LockExclusive(0));
}

TEST_F(SeqFileTest, PositionedWritesAppendsAndLength) {
  Wy_SeqFile f;
  ASSERT_TRUE(f.Open(path_, true));
  ASSERT_TRUE(f.Write("0123456789"));
  EXPECT_EQ(f.GetPosition(), 10u);
  // Overwrite in the middle; the position follows the write.
  ASSERT_TRUE(f.Seek(3));
  ASSERT_TRUE(f.Write("ab"));
  EXPECT_EQ(f.GetPosition(), 5u);
  EXPECT_EQ(ReadFrom(f, 0, 20), "012ab56789");
  EXPECT_EQ(f.GetPosition(), 10u);  // a read stops at the end
  // Append at the end.
  uint64_t len = 0;
  ASSERT_TRUE(f.GetLength(&len));
  ASSERT_TRUE(f.Seek(len));
  ASSERT_TRUE(f.Write("END"));
  // A read past the end gives nothing.
  EXPECT_EQ(ReadFrom(f, 100, 4), "");
  // Writing past the end leaves zero bytes in the gap.
  ASSERT_TRUE(f.Seek(15));
  ASSERT_TRUE(f.Write("Z"));
  ASSERT_TRUE(f.GetLength(&len));
  EXPECT_EQ(len, 16u);
  // Cut back, then extend with zeros.
  ASSERT_TRUE(f.SetLength(4));
  ASSERT_TRUE(f.GetLength(&len));
  EXPECT_EQ(len, 4u);
  ASSERT_TRUE(f.SetLength(6));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadAll(path_), std::string("012a\0\0", 6));
  // Zero bytes are a successful write of nothing.
  ASSERT_TRUE(f.Open(path_, false));
  EXPECT_TRUE(f.Write("", 0));
  EXPECT_EQ(f.GetPosition(), 0u);
}

TEST_F(SeqFileTest, LineEndsKeptByteForByte) {
  // No text mode: CRLF, bare LF, bare CR, NUL and high bytes come back as
  // written, and reads count them as they are.
  const std::string text = std::string("one\r\ntwo\nthree\r\0\xff\r\n", 19);
  Wy_SeqFile f;
  ASSERT_TRUE(f.Open(path_, true));
  ASSERT_TRUE(f.Write(text));
  EXPECT_EQ(f.GetPosition(), text.size());
  EXPECT_EQ(ReadFrom(f, 0, 64), text);
  EXPECT_EQ(ReadFrom(f, 3, 2), "\r\n");
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadAll(path_), text);
}

TEST_F(SeqFileTest, HeldWritesLandWholeAtTheirPosition) {
  WriteAll(path_, "head|tail");
  Wy_SeqFile f;
  ASSERT_TRUE(f.Open(path_, false));
  ASSERT_TRUE(f.Seek(5));
  f.SetHold(true);
  ASSERT_TRUE(f.Write("NEW "));
  ASSERT_TRUE(f.Write("PART|"));
  // Nothing reached the file yet; position and length count the held bytes.
  EXPECT_EQ(ReadAll(path_), "head|tail");
  EXPECT_EQ(f.Held(), "NEW PART|");
  EXPECT_EQ(f.GetPosition(), 14u);
  uint64_t len = 0;
  ASSERT_TRUE(f.GetLength(&len));
  EXPECT_EQ(len, 14u);
  ASSERT_TRUE(f.Flush());
  EXPECT_EQ(ReadAll(path_), "head|NEW PART|");
  EXPECT_EQ(f.GetPosition(), 14u);

  // Dropped held writes never reach the file.
  ASSERT_TRUE(f.Write("lost"));
  f.DiscardHeld();
  EXPECT_EQ(f.GetPosition(), 14u);
  // A read flushes first, and so does a seek and Close.
  ASSERT_TRUE(f.Write("A"));
  EXPECT_EQ(ReadFrom(f, 0, 4), "head");
  ASSERT_TRUE(f.Seek(15));
  ASSERT_TRUE(f.Write("B"));
  ASSERT_TRUE(f.Seek(0));
  ASSERT_TRUE(f.Write("C"));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ReadAll(path_), "Cead|NEW PART|AB");
}

TEST_F(SeqFileTest, FailuresOfTheFileUnderneath) {
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  WriteAll(path_, "0123456789");
  Wy_SeqFile f;
  env.FailPath("seq.txt", platform::FaultInjectionEnv::kOpen);
  EXPECT_FALSE(f.Open(path_, true));
  env.ClearFaults();
  ASSERT_TRUE(f.Open(path_, false));

  // A failed write leaves the position where it was.
  env.FailPath("seq.txt", platform::FaultInjectionEnv::kWrite, ENOSPC);
  EXPECT_FALSE(f.Write("xx"));
  EXPECT_EQ(f.GetPosition(), 0u);
  // A failed read answers 0 bytes and does not move.
  env.FailPath("seq.txt", platform::FaultInjectionEnv::kRead);
  char buf[4];
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(f.BytesRead(), 0u);
  env.FailPath("seq.txt", platform::FaultInjectionEnv::kTruncate);
  EXPECT_FALSE(f.SetLength(2));

  // Held writes that cannot be written: Close answers false and still
  // closes; the file keeps its old bytes.
  f.SetHold(true);
  ASSERT_TRUE(f.Write("held"));
  EXPECT_FALSE(f.Close());
  EXPECT_FALSE(f.IsOpen());
  env.ClearFaults();
  EXPECT_EQ(ReadAll(path_), "0123456789");

  // A write cut short by a full disk is a failure too (the reopened file
  // writes straight through again).
  ASSERT_TRUE(f.Open(path_, false));
  env.ShortWriteNext("seq.txt", 1);
  EXPECT_FALSE(f.Write("abc"));
  EXPECT_EQ(f.GetPosition(), 0u);
}

// args: path, timeout in ms. Reads the 4 bytes of path, then takes its
// exclusive lock: 0 when it got it, 1 when it gave up.
KALVO_CHILD_MAIN(seq_read_and_lock)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  Wy_SeqFile g;
  if (!g.Open(args[0], false)) return 3;
  char buf[8];
  if (g.Read(buf, sizeof buf) != 4) return 4;
  return g.LockExclusive(std::stoll(args[1])) ? 0 : 1;
}

TEST_F(SeqFileTest, ExclusiveLockBetweenProcesses) {
  Wy_SeqFile f;
  ASSERT_TRUE(f.Open(path_, true));
  ASSERT_TRUE(f.Write("data"));
  ASSERT_TRUE(f.LockExclusive(0));
  EXPECT_TRUE(f.LockExclusive(0));  // held already
  // Another process waits and gives up, but can read the bytes meanwhile.
  auto child = [&](int64_t timeout_ms) {
    return platform::testing::RunChild("seq_read_and_lock",
                                       {path_, std::to_string(timeout_ms)});
  };
  EXPECT_EQ(child(50), 1);
  f.Unlock();
  EXPECT_EQ(child(50), 0);
  // Close releases it too.
  ASSERT_TRUE(f.LockExclusive(0));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(child(0), 0);
}

}  // namespace
