// The kept sample: what a copy puts in place is what a build there makes,
// byte for byte, and the kept directory goes with its cache.

#include "sample_data_set.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace mixtable_testing {
namespace {

// Table headers carry the date of their last write: one fixed day for the
// whole test, so builds on both sides of midnight still compare.
class FixedDateEnv : public platform::EnvWrapper {
 public:
  FixedDateEnv() : EnvWrapper(platform::Env::Current()) {
    platform::Env::SetCurrent(this);
  }
  ~FixedDateEnv() override { platform::Env::SetCurrent(target()); }
  platform::LocalTime Now() override {
    platform::LocalTime t;
    t.year = 2024;
    t.month = 2;
    t.day = 29;
    t.hour = 12;
    return t;
  }
};

std::string ReadAll(platform::Env* env, const std::string& path) {
  std::unique_ptr<platform::File> f;
  uint64_t size = 0;
  if (!env->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok() ||
      !f->Size(&size).ok())
    return "<unreadable>";
  std::string buf(size, '\0');
  size_t got = 0;
  if (!f->ReadAt(0, buf.data(), buf.size(), &got).ok()) return "<unreadable>";
  buf.resize(got);
  return buf;
}

// Every file and directory below dir: upper-cased relative path to its
// bytes ("<dir>" for a directory).
void Collect(platform::Env* env, const std::string& dir, const std::string& rel,
             std::map<std::string, std::string>* out) {
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(env->ListDir(dir, "*", &entries).ok()) << dir;
  for (const platform::DirEntry& e : entries) {
    std::string name = rel + e.name;
    for (char& c : name)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string path = dir + "/" + e.name;
    if (e.info.is_dir) {
      (*out)[name] = "<dir>";
      Collect(env, path, name + "\\", out);
    } else {
      (*out)[name] = ReadAll(env, path);
    }
  }
}

std::map<std::string, std::string> Tree(const std::string& dir) {
  platform::Env* env = platform::Env::Current();
  std::string host;
  EXPECT_TRUE(env->HostPath(dir, &host).ok()) << dir;
  std::map<std::string, std::string> files;
  Collect(env, host, "", &files);
  return files;
}

void ExpectSameTree(const std::map<std::string, std::string>& want,
                    const std::map<std::string, std::string>& got) {
  for (const auto& [name, bytes] : want) {
    auto it = got.find(name);
    if (it == got.end()) {
      ADD_FAILURE() << name << " missing";
    } else {
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }
  for (const auto& [name, bytes] : got)
    EXPECT_TRUE(want.count(name)) << name << " not in the fresh build";
}

class SampleCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows c: is the run's shared drive: start without what an
    // earlier run of this test may have left.
    for (const char* dir : {"c:\\sfirst", "c:\\ssecond", "c:\\sfresh"})
      platform::Env::Current()->DeleteTree(dir);
  }
  platform::ScopedTempDrives drives_;
};

// One build only (a build takes seconds under wine): the kept directory's
// removal is checked on the same cache.
TEST_F(SampleCacheTest, CopyIsTheFreshBuildByteForByte) {
  FixedDateEnv date;
  std::string kept;
  {
    SampleDataSetCache cache;
    std::string error;
    ASSERT_TRUE(cache.CopyTo("c:\\sfirst\\", &error)) << error;  // builds
    kept = cache.dir();
    ASSERT_FALSE(kept.empty());
    // Another directory, one level deeper and not made yet: a copy.
    ASSERT_TRUE(cache.CopyTo("c:\\ssecond\\data", &error)) << error;
    EXPECT_EQ(cache.dir(), kept);
    ASSERT_TRUE(BuildFreshSampleDataSet("c:\\sfresh\\", &error)) << error;

    const auto fresh = Tree("c:\\sfresh\\");
    ASSERT_GT(fresh.size(), 40u);  // tables, indexes, directories
    EXPECT_EQ(fresh.at("P1\\S1"), "<dir>");
    EXPECT_EQ(fresh.at("P2\\S1"), "<dir>");
    ExpectSameTree(fresh, Tree("c:\\sfirst\\"));
    ExpectSameTree(fresh, Tree("c:\\ssecond\\data\\"));
    ExpectSameTree(fresh, Tree(kept));
  }
  // The kept directory goes with its cache.
  EXPECT_FALSE(platform::Env::Current()->FileExists(kept));
}

}  // namespace
}  // namespace mixtable_testing
