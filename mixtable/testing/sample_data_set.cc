// The sample data set and the copy of it a test program keeps.

#include "sample_data_set.h"

#include <atomic>
#include <vector>

#include "data_set_builder.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace mixtable_testing {

namespace {

Values Formula(int32_t id, const std::string& key1) {
  return {{"ID", Id(id)},
          {"KEY1", key1},
          {"BASE_ID", Id(1)},
          {"CAN_ID", Id(1)},
          {"FORMULA", "1 10.0"}};
}

}  // namespace

bool BuildFreshSampleDataSet(const std::string& data_dir, std::string* error) {
  DataSetBuilder b(data_dir);
  // Only this builder writes the set: each directory is looked up once, and
  // the records of a table at one place go in at one opening.
  b.RememberDirs(true);
  bool ok = b.AddProduct(1, "P1", "PRD1") && b.AddProduct(2, "P2", "PRD2") &&
            b.AddProduct(3, "p1", "PRD3") &&
            b.AddSubProduct(1, 1, "S1", "SUB11") &&
            b.AddSubProduct(1, 2, "S2", "SUB12") &&
            b.AddSubProduct(2, 1, "S1", "SUB21");
  std::vector<Values> cnts, bases, cans;
  for (int32_t id = 1; id <= 3; ++id)
    cnts.push_back({{"ID", Id(id)},
                    {"CODE", "C" + std::to_string(id)},
                    {"DESCR", "Colorant " + std::to_string(id)},
                    {"SPEC_W", "1000.00"}});
  for (int32_t id = 1; id <= 2; ++id) {
    bases.push_back({{"ID", Id(id)}, {"DESCR", "Base " + std::to_string(id)}});
    cans.push_back({{"ID", Id(id)}, {"DESCR", "Can " + std::to_string(id)}});
  }
  ok = ok && b.AppendAll(Y_CNTS, cnts) && b.AppendAll(Y_BASES, bases) &&
       b.AppendAll(Y_CANS, cans);
  ok = ok && b.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "0000000042"}});
  ok = ok && b.AppendAll(Y_FRM, {Formula(1, "ROOT1"), Formula(2, "ROOT2")}) &&
       b.Append(Y_FRM_REFL, {{"FRM_ID", Id(1)}});
  ok = ok &&
       b.AppendAll(Y_CNT_KS,
                   {{{"ID", Id(1)}, {"PROD_KEY", Id(0)}, {"SUBP_KEY", Id(0)}},
                    {{"ID", Id(1)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(0)}},
                    {{"ID", Id(1)}, {"PROD_KEY", Id(1)}, {"SUBP_KEY", Id(1)}},
                    {{"ID", Id(2)}, {"PROD_KEY", Id(0)}, {"SUBP_KEY", Id(0)}}});
  ok = ok && b.Append(Y_FRM, Formula(10, "PRD1"), 1);
  ok = ok &&
       b.AppendAll(Y_FRM, {Formula(20, "SUB11A"), Formula(21, "SUB11B")}, 1,
                   1) &&
       b.Append(Y_FRM_REFL, {{"FRM_ID", Id(20)}}, 1, 1) &&
       b.Create(Y_RULER, 1, 1) &&
       b.AppendAll(Y_MASK,
                   {{{"TYPE", "BA"}, {"PNT_ID", Id(1)}},
                    {{"TYPE", "CO"}, {"PNT_ID", Id(2)}}},
                   1, 1);
  ok = ok && b.Append(Y_MASK, {{"TYPE", "CA"}, {"PNT_ID", Id(2)}}, 2, 1);
  if (!ok && error) *error = b.error();
  return ok;
}

namespace {

// Whether dir is missing or holds nothing.
bool MissingOrEmpty(platform::Env* env, const std::string& dir) {
  if (!env->FileExists(dir)) return true;
  std::vector<platform::DirEntry> entries;
  return env->ListDir(dir, "*", &entries).ok() && entries.empty();
}

// A new host directory for a kept sample; empty when none could be made.
std::string NewCacheDir(platform::Env* env) {
  static std::atomic<int> made{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string dir = env->TempDir() + "/kalvo-sample-" +
                            std::to_string(env->CurrentProcessId()) + "-" +
                            std::to_string(made++);
    if (!env->FileExists(dir) && env->CreateDir(dir).ok()) return dir;
  }
  return "";
}

}  // namespace

SampleDataSetCache::~SampleDataSetCache() {
  // Env::Default: at program end the current Env may be gone already. A
  // process that got the object by other means than making it (a forked
  // child) leaves the directory to its maker.
  platform::Env* env = platform::Env::Default();
  if (!dir_.empty() && owner_pid_ == env->CurrentProcessId())
    env->DeleteTree(dir_);
}

std::string SampleDataSetCache::dir() {
  std::lock_guard<std::mutex> lock(mu_);
  return dir_;
}

bool SampleDataSetCache::CopyTo(const std::string& data_dir,
                                std::string* error) {
  std::lock_guard<std::mutex> lock(mu_);
  platform::Env* env = platform::Env::Current();
  std::string dir = data_dir;
  Wy_AddTrailingBackslash(dir);
  // A directory with tables in it gets the records appended, as a build
  // there always did: a copy would replace them instead.
  if (!MissingOrEmpty(env, dir)) return BuildFreshSampleDataSet(dir, error);
  if (dir_.empty()) {
    if (!BuildFreshSampleDataSet(dir, error)) return false;
    std::string kept = NewCacheDir(env);
    if (kept.empty()) return true;  // built again next time
    if (!env->CopyTree(dir, kept).ok()) {
      env->DeleteTree(kept);
      return true;
    }
    dir_ = kept;
    owner_pid_ = env->CurrentProcessId();
    return true;
  }
  if (!Wy_MkDir(dir)) {
    if (error) *error = "cannot make " + dir;
    return false;
  }
  const platform::Status s = env->CopyTree(dir_, dir);
  if (!s.ok()) {
    if (error)
      *error = "cannot copy the sample to " + dir + ": " + s.ToString();
    return false;
  }
  return true;
}

SampleDataSetCache& ProgramSampleCache() {
  static SampleDataSetCache cache;
  return cache;
}

bool BuildSampleDataSet(const std::string& data_dir, std::string* error) {
  return ProgramSampleCache().CopyTo(data_dir, error);
}

}  // namespace mixtable_testing
