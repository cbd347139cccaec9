#include "platform/line_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

using Lines = std::vector<std::string>;

class LineReaderTest : public ::testing::Test {
 protected:
  // The file below the test's own directory: on Linux c: lies below its
  // drives root; Windows has none (drive letters are the host's), so the
  // directory's own path, so that nothing stays behind on the real drive.
  std::string Name(const char* name) const {
#ifdef _WIN32
    return tmp_.dir() + "\\" + name;
#else
    return std::string("c:\\") + name;
#endif
  }
  Lines Read(const std::string& data) {
    std::unique_ptr<File> f;
    EXPECT_TRUE(Env::Current()
                    ->OpenFile(Name("t.txt"), OpenMode::kCreateAlways, &f)
                    .ok());
    EXPECT_TRUE(f->WriteAt(0, data.data(), data.size()).ok());
    Lines lines;
    Status s = ReadLines(Name("T.TXT"), &lines);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return lines;
  }
  ScopedTempDrives tmp_;
};

TEST_F(LineReaderTest, StripsCrOfCrLf) {
  struct Case {
    std::string data;
    Lines want;
  } cases[] = {
      {"a\r\nb\nc\r\n\r\nlast\r", {"a", "b", "c", "", "last"}},
      {"x\ny", {"x", "y"}},
      {"", {}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\rb\n", {"a\rb"}},  // a CR inside a line stays
      {"a\r\r\n", {"a\r"}},  // only the CR of the ending goes
      {"tail\r", {"tail"}},  // lone CR at the very end
      {std::string("n\0l\r\n", 5), {std::string("n\0l", 3)}},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.data), c.want) << c.data;
}

TEST_F(LineReaderTest, LongLinesAcrossReadChunks) {
  // The reader fills 64 KiB at a time: put the CR at the end of the first
  // chunk and its LF at the start of the next.
  std::string first(65535, 'a');
  std::string second(70000, 'b');
  Lines lines = Read(first + "\r\n" + second + "\r\nend");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], second);
  EXPECT_EQ(lines[2], "end");
}

TEST_F(LineReaderTest, ReaderReportsOpenFailure) {
  LineReader r;
  EXPECT_EQ(r.Open("c:\\missing.txt").code(), ENOENT);
  std::string line = "x";
  EXPECT_FALSE(r.ReadLine(&line));
  EXPECT_EQ(r.status().code(), ENOENT);
  Lines lines;
  EXPECT_EQ(ReadLines("c:\\missing.txt", &lines).code(), ENOENT);
}

}  // namespace
}  // namespace platform
