// One special index of a special filter (spf_filter.h): its file, key
// expression, high-value key, limit and samples, the hook that attaches it
// to the data file, and the CX routines its key expression calls.

#ifndef XBASE32_SPF_INDEX_H_
#define XBASE32_SPF_INDEX_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "expr/expr_registry.h"
#include "ntx_key.h"
#include "spf_filter.h"

namespace xbase32 {

class DbfExprTable;
class Expr;
class NtxFile;

// The key part of a numeric order: the order's numeric key form, computed
// by a CX routine (the expression language has no such function). The
// routine evaluates the order's key expression on the record the calling
// expression is evaluated for.
struct NumericKeyPart {
  std::unique_ptr<DbfExprTable> table;  // the record under evaluation
  std::unique_ptr<Expr> expr;           // the order's key expression
  KeyInfo info;
  ExprHandle handle = 0;  // the registered routine
};

// CX routine of numeric key parts (context: a NumericKeyPart).
void NumericKeyRoutine(CxBlock* block, int32_t len, uint32_t value);
// CX routine of the high-value key: copies the registered text whose
// handle is the call's value.
void HighValueRoutine(CxBlock* block, int32_t len, uint32_t value);

// Attaches a special index to its data file: record writes and appends
// reach the index through it and mark the owner's limit as stale. The
// index lock is held while the data file holds it or the special filter
// is locked (Lock), and released when neither does.
class SpecialIndexHook : public IndexHook {
 public:
  SpecialIndexHook(NtxFile* index, bool* changed)
      : index_(index), changed_(changed) {}

  // The special filter's own hold (waits while another handle holds it).
  bool Lock();
  bool Unlock();
  bool user_held() const { return user_hold_; }

  platform::LockResult TryLockIndex() override;
  bool UnlockIndex() override;
  bool KeyChanges(int32_t recno, const char* old_rec,
                  const char* new_rec) override;
  bool Update(int32_t recno, const char* old_rec, const char* new_rec) override;
  void UndoUpdate(int32_t recno, const char* old_rec,
                  const char* new_rec) override;
  bool Insert(int32_t recno, const char* rec) override;
  void UndoInsert(int32_t recno, const char* rec) override;
  bool Sync() override;

 private:
  NtxFile* index_;
  bool* changed_;
  bool data_hold_ = false;
  bool user_hold_ = false;
};

struct SpecialFilter::Slot {
  int order = 0;
  std::string path;  // the special index file
  std::string expr;  // its key expression
  std::string high;  // the high-value key
  ExprHandle high_text = 0;
  std::unique_ptr<NumericKeyPart> numeric;
  std::unique_ptr<NtxFile> index;
  std::unique_ptr<SpecialIndexHook> hook;
  bool descend = false;  // the key part is wrapped in DESCEND

  // Limit and samples, valid while measured and not changed.
  int32_t limit = kSpfNoMatch;
  std::vector<SpfSample> samples;
  bool measured = false;
  bool changed = false;  // own writes changed keys since measuring

  // The data file's state the index was built from (see Stale).
  bool has_counter = false;
  uint64_t counter = 0;
  uint64_t own = 0;
  uint64_t rewrites = 0;
  // The record count at the build: without a shared counter, another
  // handle's appends and packs still show as a different count.
  int32_t records = -1;

  ~Slot();
};

}  // namespace xbase32

#endif  // XBASE32_SPF_INDEX_H_
