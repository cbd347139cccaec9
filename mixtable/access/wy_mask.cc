// CWymask: the allowed ids of a sub-product.

#include "mixtable/wy_mask.h"

#include <cctype>
#include <new>
#include <string>
#include <unordered_set>

#include "access/table_fields.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_util.h"

namespace mf = mixtable_fields;

namespace {

// TYPE is compared on at most this many characters read.
constexpr size_t kMaxType = 13;

bool SameKind(const std::string& type, const char* kind) {
  if (type.size() < 2) return false;
  for (int i = 0; i < 2; ++i)
    if (std::toupper(static_cast<unsigned char>(type[i])) !=
        std::toupper(static_cast<unsigned char>(kind[i])))
      return false;
  return true;
}

bool ValidKind(const char* type) {
  return type != nullptr && type[0] != '\0' && type[1] != '\0';
}

}  // namespace

CWymask::CWymask(const CWymask& other) : null_flag_(other.null_flag_) {
  try {
    ids_ = other.ids_;
  } catch (const std::bad_alloc&) {
    Wy_Trace("(%s)(%d): Allocation failure in ymask\n", __FILE__, __LINE__);
    Clear();
  }
}

CWymask& CWymask::operator=(const CWymask& other) {
  if (this == &other) return *this;
  null_flag_ = other.null_flag_;
  try {
    ids_ = other.ids_;
  } catch (const std::bad_alloc&) {
    Wy_Trace("(%s)(%d): Allocation failure in ymask\n", __FILE__, __LINE__);
    Clear();
  }
  return *this;
}

int CWymask::Inspect(int32_t id) const {
  if (ids_.empty()) return 1;
  if (id == 0 && null_flag_) return 1;
  for (int32_t v : ids_)
    if (v == id) return 1;
  return 0;
}

int32_t CWymask::operator[](int i) const {
  if (i < 0 || static_cast<size_t>(i) >= ids_.size()) return 0;
  return ids_[i];
}

int CWymask::Fill(const char* type, Wdbase* mask) {
  bool no_memory = false;
  return FillFromTable(type, mask, &no_memory);
}

int CWymask::FillFromTable(const char* type, Wdbase* mask, bool* no_memory) {
  Clear();
  if (!ValidKind(type) || mask == nullptr || !mask->IsOpen(0)) return 0;
  try {
    for (int ok = mask->Top(); ok && !mask->Eof(); ok = mask->Next())
      if (SameKind(mf::Text(mask, "TYPE", kMaxType), type))
        ids_.push_back(mf::Id(mask, "PNT_ID"));
  } catch (const std::bad_alloc&) {
    Wy_Trace("%s(%4d): Allocation failure in ymask\n", __FILE__, __LINE__);
    Clear();
    *no_memory = true;
    return 0;
  }
  return ids_.empty() ? 0 : 1;
}

int CWymask::Fill(const char* type, CMixtable* tables) {
  Clear();
  if (!ValidKind(type) || tables == nullptr) return 0;
  Wdbase* mask = tables->Handle(Y_MASK);
  int table = -1;
  if (SameKind(type, "BA")) table = Y_BASES;
  if (SameKind(type, "CO")) table = Y_CNTS;
  if (SameKind(type, "CA")) table = Y_CANS;
  Wdbase* db = table < 0 ? nullptr : tables->Handle(table);
  uint32_t state = 0;
  bool tmp_open = false;
  int result = 0;
  try {
    // Reopen so that the mask is the current sub-product's.
    if (mask->IsOpen(0)) mask->Close();
    bool no_memory = false;
    if (tables->Open(mask) && FillFromTable(type, mask, &no_memory)) return 1;
    if (no_memory || db == nullptr) return 0;
    tmp_open = true;
    if (tables->TmpOpen(db, &state)) {
      std::unordered_set<int32_t> seen;
      for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next()) {
        const int32_t id = mf::Id(db, "ID");
        if (seen.insert(id).second) ids_.push_back(id);
      }
      result = ids_.empty() ? 0 : 1;
    }
  } catch (const std::bad_alloc&) {
    Wy_Trace("%s(%4d): Allocation failure in ymask\n", __FILE__, __LINE__);
    Clear();
    result = 0;
  }
  if (tmp_open) tables->TmpClose(db, &state);
  return result;
}
