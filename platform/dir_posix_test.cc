// What only the Linux directory code has: the drives root, and links a
// person made that lead out of it (the tests of both hosts are
// dir_test.cc).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform {
namespace {

class DrivesRootTest : public ::testing::Test {
 protected:
  // Writes a file through the layer.
  void Put(const std::string& path, const std::string& data) {
    std::unique_ptr<File> f;
    ASSERT_TRUE(env_->OpenFile(path, OpenMode::kCreateAlways, &f).ok()) << path;
    ASSERT_TRUE(f->WriteAt(0, data.data(), data.size()).ok());
  }
  // Contents of a host file ("<missing>" when absent).
  static std::string Slurp(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    if (!in) return "<missing>";
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<std::string> List(const std::string& dir,
                                const std::string& mask) {
    std::vector<DirEntry> entries;
    Status s = env_->ListDir(dir, mask, &entries);
    EXPECT_TRUE(s.ok()) << s.ToString();
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    return names;
  }
  std::string C(const std::string& rel) { return tmp_.drives() + "/c/" + rel; }

  ScopedTempDrives tmp_;
  Env* env_ = Env::Default();
};

using Names = std::vector<std::string>;

// A data set put on another disk through a link a person made: opens,
// creates and deletes of its files go through the link. Links inside a data
// set that lead outside the drives root are removed, never followed, by
// deletes and skipped by copies.
TEST_F(DrivesRootTest, LinksOutsideTheDrivesRoot) {
  const std::string disk = tmp_.dir() + "/disk2";
  ASSERT_EQ(mkdir(disk.c_str(), 0777), 0);
  ASSERT_EQ(mkdir((disk + "/gdata").c_str(), 0777), 0);
  ASSERT_TRUE(env_->CreateDir("c:\\x").ok());  // makes drive c
  ASSERT_EQ(symlink((disk + "/gdata").c_str(), C("gdata").c_str()), 0);
  Put("c:\\GDATA\\products.dbf", "data");
  EXPECT_EQ(Slurp(disk + "/gdata/products.dbf"), "data");
  std::unique_ptr<File> f;
  ASSERT_TRUE(
      env_->OpenFile("c:\\gdata\\PRODUCTS.DBF", OpenMode::kReadWrite, &f).ok());
  f.reset();
  ASSERT_TRUE(env_->DeleteFile("c:\\gdata\\products.dbf").ok());
  EXPECT_EQ(Slurp(disk + "/gdata/products.dbf"), "<missing>");

  // Inside a data set: links to a directory and a file on the other disk.
  Put(disk + "/keep.txt", "keep");
  ASSERT_TRUE(env_->CreateDir("c:\\set").ok());
  ASSERT_EQ(symlink(disk.c_str(), C("set/dirlink").c_str()), 0);
  ASSERT_EQ(symlink((disk + "/keep.txt").c_str(), C("set/filelink").c_str()),
            0);
  ASSERT_TRUE(env_->CopyTree("c:\\set", "c:\\copy").ok());
  EXPECT_EQ(List("c:\\copy", "*"), Names({}));
  EXPECT_EQ(env_->CopyFile("c:\\set\\filelink", "c:\\copy\\f", false).code(),
            ELOOP);
  ASSERT_TRUE(env_->DeleteFile("c:\\set\\filelink").ok());
  ASSERT_TRUE(env_->DeleteTree("c:\\set").ok());
  EXPECT_EQ(Slurp(disk + "/keep.txt"), "keep");
  EXPECT_TRUE(env_->FileExists("c:\\gdata"));
}

}  // namespace
}  // namespace platform
