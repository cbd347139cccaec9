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

class DirTest : public ::testing::Test {
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

TEST_F(DirTest, ListingMasksAndOrder) {
  ASSERT_TRUE(env_->CreateDir("c:\\g").ok());
  for (const char* n : {"b.dbf", "A.DBF", "c.DBF", "a2.dbf", "x.ntx", "README"})
    Put(std::string("c:\\g\\") + n, "x");
  ASSERT_TRUE(env_->CreateDir("c:\\g\\Sub").ok());
  EXPECT_EQ(List("c:\\G", "*.dbf"),
            Names({"A.DBF", "a2.dbf", "b.dbf", "c.DBF"}));
  EXPECT_EQ(List("c:\\g\\", "*.*"), Names({"A.DBF", "a2.dbf", "b.dbf", "c.DBF",
                                           "README", "Sub", "x.ntx"}));
  EXPECT_EQ(List("c:\\g", ""), List("c:\\g", "*"));
  EXPECT_EQ(List("c:\\g", "?.ntx"), Names({"x.ntx"}));
  EXPECT_EQ(List("c:\\g", "readme"), Names({"README"}));
  EXPECT_TRUE(List("c:\\g", "*.mem").empty());

  std::vector<DirEntry> entries;
  ASSERT_TRUE(env_->ListDir("c:\\g", "s*", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].info.is_dir);
  ASSERT_EQ(symlink(C("g/b.dbf").c_str(), C("g/link.dbf").c_str()), 0);
  ASSERT_TRUE(env_->ListDir("c:\\g", "link.*", &entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].info.is_link);

  EXPECT_EQ(env_->ListDir("c:\\none", "*.*", &entries).code(), ENOENT);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(env_->ListDir("c:\\g\\b.dbf", "*.*", &entries).code(), ENOTDIR);
}

TEST_F(DirTest, CopyFileKeepsContentsModeAndTime) {
  Put("c:\\src.dbf", "contents");
  ASSERT_EQ(chmod(C("src.dbf").c_str(), 0640), 0);
  struct timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, C("src.dbf").c_str(), times, 0), 0);

  ASSERT_TRUE(env_->CopyFile("c:\\SRC.DBF", "c:\\dst.dbf", true).ok());
  EXPECT_EQ(Slurp(C("dst.dbf")), "contents");
  struct stat st;
  ASSERT_EQ(stat(C("dst.dbf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);

  EXPECT_EQ(env_->CopyFile("c:\\src.dbf", "c:\\DST.DBF", true).code(), EEXIST);
  Put("c:\\src.dbf", "new");
  ASSERT_TRUE(env_->CopyFile("c:\\src.dbf", "c:\\DST.DBF", false).ok());
  EXPECT_EQ(Slurp(C("dst.dbf")), "new");  // replaced under its own name
  EXPECT_EQ(List("c:\\", "*"), Names({"dst.dbf", "src.dbf"}));  // no leftovers

  ASSERT_TRUE(env_->SetAttributes("c:\\dst.dbf", kAttrReadOnly).ok());
  EXPECT_EQ(env_->CopyFile("c:\\src.dbf", "c:\\dst.dbf", false).code(), EACCES);
  EXPECT_EQ(env_->CopyFile("c:\\src.dbf", "c:\\src.dbf", false).code(), EINVAL);
  EXPECT_EQ(env_->CopyFile("c:\\none", "c:\\x", false).code(), ENOENT);
  EXPECT_EQ(env_->CopyFile("c:\\", "c:\\x", false).code(), EISDIR);
  ASSERT_EQ(symlink(C("src.dbf").c_str(), C("link.dbf").c_str()), 0);
  EXPECT_EQ(env_->CopyFile("c:\\link.dbf", "c:\\x", false).code(), ELOOP);
  EXPECT_FALSE(env_->FileExists("c:\\x"));
}

TEST_F(DirTest, DeleteRenameAndDirectories) {
  Put("c:\\a.dbf", "a");
  Put("c:\\b.dbf", "b");
  EXPECT_EQ(env_->RenameFile("c:\\a.dbf", "c:\\B.DBF", false).code(), EEXIST);
  EXPECT_EQ(Slurp(C("a.dbf")), "a");
  EXPECT_EQ(Slurp(C("b.dbf")), "b");
  ASSERT_TRUE(env_->RenameFile("c:\\a.dbf", "c:\\B.DBF", true).ok());
  EXPECT_EQ(Slurp(C("b.dbf")), "a");
  EXPECT_FALSE(env_->FileExists("c:\\a.dbf"));
  ASSERT_TRUE(env_->RenameFile("c:\\b.dbf", "c:\\new.dbf", false).ok());
  // A change of case only renames the entry.
  ASSERT_TRUE(env_->RenameFile("c:\\new.dbf", "c:\\NEW.DBF", false).ok());
  EXPECT_EQ(List("c:\\", "*"), Names({"NEW.DBF"}));
  EXPECT_EQ(env_->RenameFile("c:\\none", "c:\\x", true).code(), ENOENT);

  Put("c:\\ro.dbf", "r");
  ASSERT_TRUE(env_->SetAttributes("c:\\ro.dbf", kAttrReadOnly).ok());
  EXPECT_EQ(env_->DeleteFile("c:\\ro.dbf").code(), EACCES);
  EXPECT_EQ(env_->RenameFile("c:\\new.dbf", "c:\\ro.dbf", true).code(), EACCES);
  ASSERT_TRUE(env_->SetAttributes("c:\\ro.dbf", 0).ok());
  EXPECT_TRUE(env_->DeleteFile("c:\\RO.DBF").ok());
  EXPECT_EQ(env_->DeleteFile("c:\\ro.dbf").code(), ENOENT);

  ASSERT_TRUE(env_->CreateDir("c:\\Dir").ok());
  EXPECT_EQ(env_->CreateDir("c:\\DIR").code(), EEXIST);
  EXPECT_EQ(env_->DeleteFile("c:\\dir").code(), EISDIR);
  Put("c:\\dir\\f", "");
  EXPECT_EQ(env_->RemoveDir("c:\\dir").code(), ENOTEMPTY);
  ASSERT_TRUE(env_->DeleteFile("c:\\dir\\F").ok());
  EXPECT_TRUE(env_->RemoveDir("c:\\dir").ok());
  EXPECT_EQ(env_->CreateDir("c:\\no\\sub").code(), ENOENT);
}

TEST_F(DirTest, Attributes) {
  Put("c:\\f.dbf", "x");
  ASSERT_TRUE(env_->CreateDir("c:\\d").ok());
  uint32_t a = 0;
  ASSERT_TRUE(env_->GetAttributes("c:\\f.dbf", &a).ok());
  EXPECT_EQ(a, kAttrNormal);
  ASSERT_TRUE(env_->GetAttributes("c:\\d", &a).ok());
  EXPECT_EQ(a, kAttrDirectory);
  // Read-only clears all write bits; hidden and system change nothing.
  ASSERT_EQ(chmod(C("f.dbf").c_str(), 0666), 0);
  ASSERT_TRUE(env_->SetAttributes("c:\\f.dbf",
                                  kAttrReadOnly | kAttrHidden | kAttrSystem)
                  .ok());
  struct stat st;
  ASSERT_EQ(stat(C("f.dbf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  ASSERT_TRUE(env_->GetAttributes("c:\\F.DBF", &a).ok());
  EXPECT_EQ(a, kAttrReadOnly);
  FileInfo info;
  ASSERT_TRUE(env_->GetFileInfo("c:\\f.dbf", &info).ok());
  EXPECT_TRUE(info.read_only);
  ASSERT_TRUE(env_->SetAttributes("c:\\f.dbf", kAttrHidden).ok());
  ASSERT_TRUE(env_->GetAttributes("c:\\f.dbf", &a).ok());
  EXPECT_EQ(a, kAttrNormal);
  EXPECT_EQ(env_->GetAttributes("c:\\none", &a).code(), ENOENT);
  EXPECT_EQ(env_->SetAttributes("c:\\none", 0).code(), ENOENT);
}

// A data set put on another disk through a link a person made: opens,
// creates and deletes of its files go through the link. Links inside a data
// set that lead outside the drives root are removed, never followed, by
// deletes and skipped by copies.
TEST_F(DirTest, LinksOutsideTheDrivesRoot) {
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

// A tree with links pointing outside it, which copy and delete must leave
// alone.
class TreeTest : public DirTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env_->CreateDir("c:\\outside").ok());
    Put("c:\\outside\\keep.txt", "keep");
    ASSERT_TRUE(env_->CreateDir("c:\\src").ok());
    ASSERT_TRUE(env_->CreateDir("c:\\src\\Sub").ok());
    ASSERT_TRUE(env_->CreateDir("c:\\src\\Sub\\Deep").ok());
    Put("c:\\src\\top.dbf", "top");
    Put("c:\\src\\sub\\MID.DBF", "mid");
    Put("c:\\src\\sub\\deep\\low.ntx", "low");
    ASSERT_EQ(symlink(C("outside").c_str(), C("src/dirlink").c_str()), 0);
    ASSERT_EQ(
        symlink(C("outside/keep.txt").c_str(), C("src/Sub/filelink").c_str()),
        0);
    ASSERT_EQ(symlink("/nonexistent", C("src/dangling").c_str()), 0);
  }
};

TEST_F(TreeTest, CopySkipsLinks) {
  ASSERT_TRUE(env_->CopyTree("c:\\SRC", "c:\\dst").ok());
  EXPECT_EQ(Slurp(C("dst/top.dbf")), "top");
  EXPECT_EQ(Slurp(C("dst/Sub/MID.DBF")), "mid");
  EXPECT_EQ(Slurp(C("dst/Sub/Deep/low.ntx")), "low");
  EXPECT_EQ(List("c:\\dst", "*"), Names({"Sub", "top.dbf"}));
  EXPECT_EQ(List("c:\\dst\\sub", "*"), Names({"Deep", "MID.DBF"}));
  EXPECT_EQ(List("c:\\outside", "*"), Names({"keep.txt"}));
}

TEST_F(TreeTest, CopyMergesIntoExistingNamesIgnoringCase) {
  ASSERT_TRUE(env_->CreateDir("c:\\dst").ok());
  ASSERT_TRUE(env_->CreateDir("c:\\dst\\SUB").ok());
  Put("c:\\dst\\SUB\\mid.dbf", "old");
  Put("c:\\dst\\TOP.DBF", "old");
  Put("c:\\dst\\other", "other");
  ASSERT_TRUE(env_->CopyTree("c:\\src", "c:\\dst").ok());
  EXPECT_EQ(List("c:\\dst", "*"), Names({"other", "SUB", "TOP.DBF"}));
  EXPECT_EQ(Slurp(C("dst/TOP.DBF")), "top");
  EXPECT_EQ(Slurp(C("dst/SUB/mid.dbf")), "mid");
  EXPECT_EQ(Slurp(C("dst/other")), "other");
}

TEST_F(TreeTest, CopyRefusesTargetInsideSourceAndLinkSource) {
  EXPECT_EQ(env_->CopyTree("c:\\src", "c:\\src\\sub\\copy").code(), EINVAL);
  EXPECT_EQ(env_->CopyTree("c:\\src", "c:\\src").code(), EINVAL);
  EXPECT_EQ(env_->CopyTree("c:\\src\\dirlink", "c:\\dst").code(), ELOOP);
  EXPECT_EQ(env_->CopyTree("c:\\none", "c:\\dst").code(), ENOENT);
  EXPECT_FALSE(env_->FileExists("c:\\dst"));
}

TEST_F(TreeTest, DeleteRemovesLinksNotTargets) {
  // A read-only directory inside is opened up and removed too.
  ASSERT_EQ(chmod(C("src/Sub/Deep").c_str(), 0555), 0);
  ASSERT_TRUE(env_->DeleteTree("c:\\src").ok());
  EXPECT_FALSE(env_->FileExists("c:\\src"));
  EXPECT_EQ(Slurp(C("outside/keep.txt")), "keep");

  // Deleting a link to a directory removes the link only.
  ASSERT_EQ(symlink(C("outside").c_str(), C("link").c_str()), 0);
  ASSERT_TRUE(env_->DeleteTree("c:\\link").ok());
  EXPECT_FALSE(env_->FileExists("c:\\link"));
  EXPECT_EQ(Slurp(C("outside/keep.txt")), "keep");
  // A single file.
  ASSERT_TRUE(env_->DeleteTree("c:\\outside\\KEEP.TXT").ok());
  EXPECT_FALSE(env_->FileExists("c:\\outside\\keep.txt"));
  EXPECT_EQ(env_->DeleteTree("c:\\none").code(), ENOENT);
  EXPECT_EQ(env_->DeleteTree("/").code(), EPERM);
  EXPECT_EQ(env_->DeleteTree("/tmp/..").code(), EPERM);
}

}  // namespace
}  // namespace platform
