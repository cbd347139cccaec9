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
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "sample_data_set.h"

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
  // Appends the records in order, opening the table once: the same bytes
  // as one Append per record, with fewer opens.
  bool AppendAll(int table, const std::vector<Values>& records, int32_t prd = 0,
                 int32_t spd = 0);
  // While on, directories Dir found are kept and not looked up again in
  // PRODUCTS and SUBPRODS. Sound only while no one but this builder writes
  // those tables (appends never move a product found before); switching
  // forgets what was kept. Off when made.
  void RememberDirs(bool on);
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
  bool remember_dirs_ = false;
  std::map<std::pair<int32_t, int32_t>, std::string> dirs_;
};

}  // namespace mixtable_testing

#endif  // MIXTABLE_TESTING_DATA_SET_BUILDER_H_
