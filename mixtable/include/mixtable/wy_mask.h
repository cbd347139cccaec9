// CWymask: the ids a sub-product allows for one kind of item ("BA" bases,
// "CO" colorants, "CA" cans), read from its MASK table. An empty mask
// allows every id.
//
// Ownership: the mask owns its ids; copies are independent. Nothing throws:
// an allocation failure writes "%s(%4d): Allocation failure in ymask\n" (or,
// when copying, "(%s)(%d): Allocation failure in ymask\n") to the trace
// output and leaves the mask empty.

#ifndef MIXTABLE_WY_MASK_H_
#define MIXTABLE_WY_MASK_H_

#include <cstdint>
#include <vector>

#include "mixtable/export.h"

class CMixtable;
class Wdbase;

class MIXTABLE_API CWymask {
 public:
  CWymask() = default;
  CWymask(const CWymask& other);
  CWymask& operator=(const CWymask& other);
  ~CWymask() = default;

  // Frees the ids: the count is 0 and no array is kept.
  void Clear() { std::vector<int32_t>().swap(ids_); }
  int GetLen() const { return static_cast<int>(ids_.size()); }
  int GetNullFlag() const { return null_flag_; }
  void SetNullFlag(int flag) { null_flag_ = flag; }
  // 1 when id is allowed: the mask is empty, or id is 0 with the null flag
  // set, or id is listed.
  int Inspect(int32_t id) const;
  // The id at index i; 0 when i is negative or not below the count.
  int32_t operator[](int i) const;

  // Empties the mask, then takes PNT_ID of every record of the open mask
  // table whose TYPE begins with type's first two characters (any case),
  // in record order. 0 when type is shorter than two characters, the table
  // is null or closed, or no record matches.
  int Fill(const char* type, Wdbase* mask);
  // The same from the table set's MASK, reopened so that it is the current
  // sub-product's (and left open). Without a matching record the type's
  // table gives every distinct ID in record order: "BA" BASES, "CO" CNTS,
  // "CA" CANS (opened temporarily); 0 for any other type or an empty table.
  // An allocation failure while reading the mask table ends with the empty
  // mask and 0, without the fallback (which would allow ids the mask
  // refuses).
  int Fill(const char* type, CMixtable* tables);

 private:
  // Fill from a mask table; *no_memory tells an allocation failure from a
  // table without matching records.
  int FillFromTable(const char* type, Wdbase* mask, bool* no_memory);

  std::vector<int32_t> ids_;
  int null_flag_ = 0;
};

#endif  // MIXTABLE_WY_MASK_H_
