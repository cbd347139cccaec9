// The sample data set most tests use, and the copy of it a test program
// keeps so that it is built once per program instead of once per test.
//
// The sample, in data_dir:
//   root:      PRODUCTS 1 "PRD1" (PATH "P1"), 2 "PRD2" ("P2"), 3 "PRD3"
//              ("p1", the directory of product 1 again); CNTS 1..3; BASES
//              1..2; CANS 1..2; PARAM (DATAID 42); FRM 1..2; FRM_REFL 1;
//              CNT_KS with variants of id 1 (generic, product 1, product 1 /
//              sub-product 1) and a generic id 2
//   P1:        SUBPRODS 1 "SUB11" ("S1"), 2 "SUB12" ("S2"); FRM 10
//   P1\S1:     FRM 20, 21; FRM_REFL 20; RULER; MASK (BA 1, CO 2)
//   P2:        SUBPRODS 1 "SUB21" ("S1")
//   P2\S1:     MASK (CA 2)
// So FRM opens at the sub-product level for 1/1, at the product level for
// 1/2 and at the root for 2/1. Nothing in it names the directory it lies
// in (paths are relative), so a copy elsewhere is the same data set.
//
// Use it below a temporary drives root (platform::ScopedTempDrives): the
// data directory is a Windows-style path such as "c:\gdata\". Everything
// goes through platform::Env::Current().

#ifndef MIXTABLE_TESTING_SAMPLE_DATA_SET_H_
#define MIXTABLE_TESTING_SAMPLE_DATA_SET_H_

#include <mutex>
#include <string>

namespace mixtable_testing {

// Builds the sample in data_dir (made when missing) table by table. On
// failure answers false with the reason in *error (when not null); what
// was written stays.
bool BuildFreshSampleDataSet(const std::string& data_dir, std::string* error);

// A built sample kept in a host directory of its own below Env::TempDir()
// ("kalvo-sample-<pid>-<n>"), made on first use and deleted with the object.
class SampleDataSetCache {
 public:
  SampleDataSetCache() = default;
  ~SampleDataSetCache();
  SampleDataSetCache(const SampleDataSetCache&) = delete;
  SampleDataSetCache& operator=(const SampleDataSetCache&) = delete;

  // Puts the sample into data_dir. When data_dir is missing or empty: on the
  // first call the sample is built there and then kept, later calls copy
  // what was kept (the same bytes, file by file). When data_dir holds
  // anything already, the sample is built into it as BuildFreshSampleDataSet
  // does (its tables get the sample's records appended) and nothing is kept.
  // A sample that could not be kept is built again next time. Thread-safe.
  bool CopyTo(const std::string& data_dir, std::string* error);

  // Host path of the kept copy; empty until one was kept.
  std::string dir();

 private:
  std::mutex mu_;
  std::string dir_;
  int owner_pid_ = 0;  // the process that made dir_ (only it deletes it)
};

// The test program's cache: lives until the program ends (its kept copy is
// deleted then; a program killed before leaves it in the temp directory).
SampleDataSetCache& ProgramSampleCache();

// The sample in data_dir as ProgramSampleCache().CopyTo puts it: built on
// the program's first call, copied on later ones.
bool BuildSampleDataSet(const std::string& data_dir, std::string* error);

}  // namespace mixtable_testing

#endif  // MIXTABLE_TESTING_SAMPLE_DATA_SET_H_
