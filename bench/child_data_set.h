// A formula data set of benchmark size for the child builder: formulas
// spread over the root, products and sub-products (each FRM below 100 000
// records, so the special filter serves them), colorants, bases, cans,
// product-keyed K/S and blend records, masks and rulers; optionally one
// product holding a large FRM (from 100 000 records the builder walks the
// records instead of using the special filter).
//
// Use it below a temporary drives root (platform::ScopedTempDrives). Tables
// are filled through Wdbase handles of their own with automatic flushing off
// and one lock per table, so 100 000 formulas take seconds, not minutes.

#ifndef BENCH_CHILD_DATA_SET_H_
#define BENCH_CHILD_DATA_SET_H_

#include <cstdint>
#include <string>

namespace child_bench {

struct Shape {
  int32_t formulas = 10000;  // FRM records of the root, products, sub-products
  int32_t walk_records = 0;  // FRM records of the walking product; 0: none
  int32_t colorants = 60;    // CNTS ids 1..colorants
  int32_t bases = 20;        // BASES ids 1..bases
  int32_t cans = 5;          // CANS ids 1..cans
  int32_t products = 4;      // PRODUCTS ids 1..products (PATH "P<id>")
  int32_t subproducts = 3;   // SUBPRODS ids 1..subproducts of every product
};

// The product holding the walking table (PATH "WALK"), when there is one.
int32_t WalkProduct(const Shape& shape);

// Builds the data set in data_dir (a Windows-style directory with a
// trailing backslash, which must not exist yet; PARAM "DATAID" 42).
// Formulas: a tenth at the root, two tenths over the product levels, the
// rest over the sub-products; every formula has a FRM_REFL record at its
// level (the walking table has none), 3 to 5 colorant pairs drawn from all
// colorants (so a colorant id also appears as a quantity now and then),
// base and can ids. Colorants whose id is a multiple of 10 are base
// components (FTYPE "B"). False with the reason in *error on failure.
bool Build(const std::string& data_dir, const Shape& shape, std::string* error);

// Reads a size from the environment variable name; fallback when unset or
// not a positive number.
int32_t SizeFromEnv(const char* name, int32_t fallback);

}  // namespace child_bench

#endif  // BENCH_CHILD_DATA_SET_H_
