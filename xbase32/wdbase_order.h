// The engine's internal view of a Wdbase's open indexes and of its current
// order (natural record-number order or the selected index), with the
// navigation primitives that move the data file to the first, last, next or
// previous record in that order. Record filters, the filter cache and the
// special filters are applied on top of these primitives (wdbase_nav.cc).

#ifndef XBASE32_WDBASE_ORDER_H_
#define XBASE32_WDBASE_ORDER_H_

#include <cstdint>

class Wdbase;

namespace xbase32 {

class DbfFile;
class NtxFile;

// The open index k (1..n) of w, or null.
NtxFile* IndexOf(const Wdbase* w, int k);
// The selected index when it is open, else null (natural order).
NtxFile* SelectedIndex(const Wdbase* w);

// Opens every index of w's definition after its data file opened,
// recreating a missing one or one built on another expression (with the
// engine's warnings). False when an index could not be created; the
// indexes opened so far stay open (the caller closes everything).
bool OpenIndexes(Wdbase* w);
// Closes every open index of w (after its data file closed). False when
// one did not close cleanly.
bool CloseIndexes(Wdbase* w);

enum class Move {
  kDone,  // a record is current
  kNone,  // no record that way (nothing moved)
  kError  // failure (reported)
};

// The current order of a Wdbase, evaluated once (construct a new one after
// SelectIdx). No filter is applied.
class Order {
 public:
  explicit Order(Wdbase* w);
  bool indexed() const { return ix_ != nullptr; }
  NtxFile* index() const { return ix_; }
  Move First();
  Move Last();
  // From the current record (which must exist, or stand at end of file for
  // Prev: then the last record).
  Move Next();
  Move Prev();

 private:
  Move Go(int32_t recno);
  bool SyncIndex();

  DbfFile* d_;
  NtxFile* ix_;
};

}  // namespace xbase32

#endif  // XBASE32_WDBASE_ORDER_H_
