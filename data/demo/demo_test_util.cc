// Checks shared by the demo data-set tests.

#include "demo_test_util.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <sstream>
#include <vector>

#include "commands.h"  // xbtool::Check
#include "mixtable/mixtable_ex.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace kalvo_demo_testing {
namespace {

using platform::Env;

void Collect(const std::string& dir, const std::string& rel,
             std::map<std::string, std::string>* out) {
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(Env::Current()->ListDir(dir, "*", &entries).ok()) << dir;
  for (const platform::DirEntry& e : entries) {
    std::string name = rel + e.name;
    for (char& c : name)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (e.info.is_dir)
      Collect(dir + "/" + e.name, name + "/", out);
    else
      (*out)[name] = ReadAll(dir + "/" + e.name);
  }
}

// Product and sub-product directories: each PRODUCTS record's PATH below
// the root, each of its SUBPRODS records' PATH below that.
std::vector<std::string> LevelDirs(const std::string& root) {
  std::vector<std::string> dirs = {root};
  CMixtableEx ts;
  ts.SetDataDir(root.c_str());
  Wdbase* prd = ts.Handle(Y_PRODUCTS);
  Wdbase* spd = ts.Handle(Y_SUBPRODS);
  if (!ts.Open(prd)) return dirs;
  for (int ok = prd->Top(); ok && !prd->Eof(); ok = prd->Next()) {
    std::string dir;
    if (!ts.Mixtable().LevelToPath(Y_LEVEL_PRODUCT, dir)) continue;
    dirs.push_back(dir);
    ts.CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
    if (!ts.Open(spd)) continue;
    for (int s = spd->Top(); s && !spd->Eof(); s = spd->Next()) {
      if (ts.Mixtable().LevelToPath(Y_LEVEL_SUBPRODUCT, dir))
        dirs.push_back(dir);
    }
    ts.CloseAll(Y_LEVEL_PRODUCT | Y_LEVEL_SUBPRODUCT);
  }
  ts.CloseAll();
  return dirs;
}

}  // namespace

std::string ReadAll(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!Env::Current()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok())
    return "<missing>";
  uint64_t size = 0;
  f->Size(&size);
  std::string data(size, '\0');
  size_t got = 0;
  f->ReadAt(0, data.data(), data.size(), &got);
  data.resize(got);
  return data;
}

std::map<std::string, std::string> TreeFiles(const std::string& dir) {
  std::map<std::string, std::string> out;
  Collect(dir, "", &out);
  return out;
}

IndexCount ExpectEveryIndexSound(const std::string& data_dir) {
  IndexCount n;
  for (const std::string& dir : LevelDirs(data_dir)) {
    for (int t = 0; t < Y_N_MAX; ++t) {
      const DB_DEF& def = WyGetFileInfo(t)->def;
      const std::string table = dir + def.name + ".DBF";
      if (!Env::Current()->FileExists(table)) continue;
      ++n.tables;
      for (int k = 0; k < def.idx_count; ++k) {
        const std::string index = dir + def.idx_names[k] + ".NTX";
        std::ostringstream out, err;
        EXPECT_EQ(xbtool::Check(table, index, out, err), 0)
            << index << ": " << err.str();
        EXPECT_NE(out.str().find("sound"), std::string::npos) << out.str();
        ++n.indexes;
      }
    }
  }
  return n;
}

}  // namespace kalvo_demo_testing
