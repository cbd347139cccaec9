// The special filter of a table: a logical condition materialised as a
// temporary NTX index per order ("SPF?????.NTX" in the table's directory)
// whose key expression is
//
//   IIF(cond, keypart, CX(n,"routine","value"))
//
// Records satisfying the condition get their real key (the order's key as
// text followed by the record number), all others the high-value key of n
// bytes 0xFF that sorts after every real key, produced by a CX routine of
// the engine's registry (routine and value are registry handles). The
// matching records therefore come first, in the order's order, and
// navigation stops at the first high-value key.
//
// The limit (the position of the first non-matching entry; 200 000 when
// every record matches, 300 000 when none does) and, from 2000 records on,
// a table of up to 127 samples (key, record number, position) answer
// positions: a lookup starts from the last sample not after the key and
// counts at most about count / 127 entries.
//
// Keeping current. The special indexes are attached to the data file, so
// this handle's own writes update them; the limit and samples are measured
// again before the next position query after such a write. A change made by
// anyone else (another handle or process, or a rewrite in place such as
// pack and zap) is noticed through the data file's change counter and the
// index is built again before it is used.
//
// Ordering by the record number's five digits, and the limit values, work
// only below 100 000 records: larger tables are refused (-930).
//
// Not thread-safe; owned by one Wdbase.

#ifndef XBASE32_SPF_FILTER_H_
#define XBASE32_SPF_FILTER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/expr_registry.h"
#include "wdbase_order.h"

namespace xbase32 {

class DbfExprTable;
class DbfFile;
class NtxFile;

constexpr int32_t kSpfAllMatch = 200000;    // limit: every record matches
constexpr int32_t kSpfNoMatch = 300000;     // limit: no record matches
constexpr int32_t kSpfMaxRecords = 100000;  // refused from this count on
constexpr int kSpfOrders = 9;               // natural order and 8 indexes
constexpr int kSpfMaxSamples = 127;
constexpr int32_t kSpfSampleFrom = 2000;  // records before samples are kept

struct SpfSample {
  std::string key;
  int32_t recno = 0;
  int32_t position = 0;  // 1-based, in the special order
};

class SpecialFilter {
 public:
  // data: the open data file (must outlive this object); dir: the table's
  // directory, ending with "\".
  SpecialFilter(DbfFile* data, std::string dir);
  // Closes and deletes every special index.
  ~SpecialFilter();
  SpecialFilter(const SpecialFilter&) = delete;
  SpecialFilter& operator=(const SpecialFilter&) = delete;

  // The condition as the caller gave it.
  const std::string& condition() const { return condition_; }
  void set_condition(const std::string& c) { condition_ = c; }

  // The order a special index follows: its number (0 natural order, 1..8
  // an index of the definition), key expression and open index (null for
  // natural order).
  struct OrderKey {
    int number = 0;
    std::string expr;
    const NtxFile* index = nullptr;
  };
  // Builds the special index of order (replacing one it had) for the
  // condition cond (in the tables' code page) and measures its limit.
  // False on failure (reported): a condition that does not parse or is not
  // logical, an order key of another type, a table too large, a key
  // expression too long, the file not created. Nothing of the order is
  // left then.
  bool Build(const OrderKey& order, const std::string& cond, bool inverted);

  bool Has(int s) const { return slot(s) != nullptr; }
  // The inverted flag last used for order s (false when never built).
  bool inverted(int s) const {
    return s >= 0 && s < kSpfOrders && inverted_[static_cast<size_t>(s)];
  }
  // The special index file of order s ("" when none) and its key
  // expression (tests and tools).
  std::string path(int s) const;
  std::string expression(int s) const;

  // Closes and deletes the special index of order s / of every order.
  // False when a file could not be deleted (reported).
  bool Remove(int s);
  bool RemoveAll();

  // Lock / unlock every special index (waits while another handle holds
  // one). The data file's own index locks are counted apart: an index is
  // released when neither holds it.
  bool Lock();
  bool Unlock();
  // Builds every special index again from the data.
  bool RebuildAll();

  // --- use in the special order of s (which must exist) ------------------
  // Makes the index of s current before use: builds it again when someone
  // else changed the table, and with positions also measures the limit and
  // samples when this handle's writes changed keys. False on failure
  // (reported; the table grew to kSpfMaxRecords records or the rebuild
  // failed).
  bool Refresh(int s, bool positions);
  // The first / last matching record; Next and Prev from the current
  // record (Prev from end of file: the last match). kNone when there is
  // none that way (the data file did not move).
  Move First(int s);
  Move Last(int s);
  Move Next(int s);
  Move Prev(int s);
  // Whether the current record satisfies the condition (by its key).
  bool Matches(int s);
  // Seeks key (formed for the order's index) in the special order: 1
  // found, 2 on a greater key, 3 end of file (no match from there on), 0
  // failure.
  int Seek(int s, const std::string& key);
  // After Refresh (s, true): the limit and the positions.
  int32_t limit(int s) const;
  const std::vector<SpfSample>& samples(int s) const;
  // Position of the current record (0 when it does not match; at end of
  // file the limit, or count + 1 when every record matches).
  int32_t Position(int s);
  // Moves to the pos-th entry; false when pos is outside 1..matches.
  bool SetPosition(int s, int32_t pos);
  // The number of matching records.
  int32_t LastPosition(int s);

 private:
  struct Slot;
  Slot* slot(int s) const {
    return s >= 0 && s < kSpfOrders ? slots_[static_cast<size_t>(s)].get()
                                    : nullptr;
  }
  bool KeyPart(const OrderKey& order, Slot* sl, std::string* part);
  bool CreateFile(int s, std::string* path);
  bool BuildIndex(Slot* sl);  // the file from the data, opened and attached
  void CloseIndex(Slot* sl);
  bool Stale(const Slot* sl) const;
  void TakeStamps(Slot* sl) const;
  bool Measure(Slot* sl);
  bool IsHigh(const Slot* sl, const char* key) const;
  std::string KeyOfCurrent(Slot* sl);
  Move Go(int32_t recno);
  // Puts the index cursor on the entry `from` (the last sample not after
  // key / position, else the first entry); *pos receives its position.
  int32_t StartAt(Slot* sl, const std::string* key, int32_t position,
                  int32_t* pos);

  DbfFile* data_;
  std::string dir_;
  std::string condition_;
  std::unique_ptr<DbfExprTable> table_;  // for parsing and CX key parts
  ExprHandle high_routine_ = 0;
  std::array<std::unique_ptr<Slot>, kSpfOrders> slots_;
  std::array<bool, kSpfOrders> inverted_ = {};
  uint64_t name_seed_;
};

}  // namespace xbase32

#endif  // XBASE32_SPF_FILTER_H_
