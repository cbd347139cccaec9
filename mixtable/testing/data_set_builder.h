// DataSetBuilder: builds small formula data sets for tests, fuzz targets and
// benchmarks (no test framework inside). Tables are created from the
// dictionary (CMixtableEx::Create) at the level asked for, and filled through
// Wdbase handles of their own.
//
// Use it below a temporary drives root (platform::ScopedTempDrives): the
// data directory is a Windows-style path such as "c:\gdata\".
//
// Every operation answers false on failure and keeps the reason in error().

#ifndef MIXTABLE_TESTING_DATA_SET_BUILDER_H_
#define MIXTABLE_TESTING_DATA_SET_BUILDER_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mixtable/mixtable_ex.h"

namespace mixtable_testing {

// Field values of one record: field name, text as stored (ids through Id()).
using Values = std::vector<std::pair<std::string, std::string>>;

// An id as the tables store it: right-aligned in 5 characters ("%5ld").
std::string Id(int32_t id);

class DataSetBuilder {
 public:
  explicit DataSetBuilder(const std::string& data_dir = "c:\\gdata\\");

  const std::string& data_dir() const { return data_dir_; }
  const std::string& error() const { return error_; }

  // The directory of the root (prd 0), of product prd, or of its
  // sub-product spd, as the table set resolves it; empty when unknown.
  std::string Dir(int32_t prd = 0, int32_t spd = 0);

  // Creates table (empty) at the root, in product prd's directory or in
  // sub-product spd's directory. Fails when it exists there.
  bool Create(int table, int32_t prd = 0, int32_t spd = 0);
  // Appends a record to the table at that place (created when missing).
  bool Append(int table, const Values& values, int32_t prd = 0,
              int32_t spd = 0);
  // A product record in the root PRODUCTS (created when missing) and its
  // directory (a PATH that names no plain directory is stored as given,
  // without a directory).
  bool AddProduct(int32_t id, const std::string& path,
                  const std::string& descr);
  // A sub-product record in product prd's SUBPRODS (created when missing)
  // and its directory.
  bool AddSubProduct(int32_t prd, int32_t id, const std::string& path,
                     const std::string& descr);

 private:
  bool Fail(const std::string& why);
  // Positions the builder's table set on product prd and sub-product spd
  // (0: that level not wanted).
  bool Position(int32_t prd, int32_t spd);

  std::string data_dir_;
  std::string error_;
  CMixtableEx tables_;
};

// The sample data set most tests use, in data_dir:
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
// 1/2 and at the root for 2/1.
bool BuildSampleDataSet(const std::string& data_dir, std::string* error);

}  // namespace mixtable_testing

#endif  // MIXTABLE_TESTING_DATA_SET_BUILDER_H_
