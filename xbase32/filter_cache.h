// The record filter's cache: a window of accepted record numbers around the
// current record, in navigation order, so that moving within the window
// does not ask the filter again.
//
// The window has 2h slots; each holds a record number or -1. The filled
// slots always hold consecutive accepted records. The at-start flag says
// that no accepted record lies before the first filled slot, the at-end
// flag that none lies after the last one (a clear flag means "not known").
// Moving off either end of the window slides it by half a window and
// refills the half in the direction of the move.
//
// The cache answers for the table it was filled from: writes that change
// what the filter accepts are not noticed (callers refill or align it), but
// when the table stands on a record the window does not hold (after Goto,
// Seek or a change of order) the move is done without the window and the
// window is filled again around the record reached.
//
// Not thread-safe; used by one table handle.

#ifndef XBASE32_FILTER_CACHE_H_
#define XBASE32_FILTER_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xbase32 {

// The moves of a table in its current order with the record filter
// applied (the cache's view of its table).
class FilteredMoves {
 public:
  virtual ~FilteredMoves() = default;
  // The first / last accepted record; false leaves the table at end of
  // file.
  virtual bool Top() = 0;
  virtual bool Bottom() = 0;
  // The next accepted record; false leaves the table at end of file.
  virtual bool Next() = 0;
  // The previous accepted record (from end of file: the last one); false
  // puts the table back where it started, with the beginning-of-file flag.
  virtual bool Prev() = 0;
  // Makes recno current without asking the filter.
  virtual bool Go(int32_t recno) = 0;
  virtual void GoEof() = 0;
  virtual void SetBof() = 0;
  virtual bool Eof() const = 0;
  virtual int32_t RecNo() const = 0;
  // Whether the table stands on a record the filter accepts (a Goto may
  // have put it on a hidden one).
  virtual bool Accepted() const = 0;
};

class FilterCache {
 public:
  // size is rounded up to an even number of at least 2.
  explicit FilterCache(int size);

  int size() const { return static_cast<int>(slots_.size()); }
  const int32_t* slots() const { return slots_.data(); }
  int current() const { return current_; }
  bool at_start() const { return at_start_; }
  bool at_end() const { return at_end_; }

  // Empties the window (flags cleared): the next move fills it again.
  void Clear();

  // Fills the window from the current record r: r in slot 0, then the
  // records reached by filtered Next moves; the table returns to r and the
  // flags are found by trying one move beyond each end. From end of file
  // the fill starts from the filtered bottom and the table is put back at
  // end of file.
  void Fill(FilteredMoves* m);

  // Finds the slot of the current record and derives the flags again;
  // false when the window does not hold the record (nothing changes then).
  bool Align(FilteredMoves* m);

  // The filtered moves through the window; each answers 1 when a record is
  // current afterwards and 0 otherwise, leaving the table where the
  // uncached moves of FilteredMoves would leave it.
  int Top(FilteredMoves* m);
  int Bottom(FilteredMoves* m);
  int Next(FilteredMoves* m);
  int Prev(FilteredMoves* m);
  // n != 0. Backwards from end of file the first step reaches the last
  // accepted record; a backward skip that runs into the beginning stops on
  // the first accepted record with the beginning-of-file flag.
  int Skip(FilteredMoves* m, int32_t n);

 private:
  int half() const { return size() / 2; }
  bool Filled(int i) const { return slots_[static_cast<size_t>(i)] > 0; }
  int32_t At(int i) const { return slots_[static_cast<size_t>(i)]; }
  int FirstFilled() const;  // -1 when empty
  int LastFilled() const;
  // Makes the window's current slot the current record; false when the
  // window does not hold it.
  bool Locate(int32_t recno);
  bool GoSlot(FilteredMoves* m, int i);
  // Fills forward from slot `from` (which receives the current record);
  // answers the slot after the last one filled.
  int FillForward(FilteredMoves* m, int from);
  // Fills backward from slot `from`; answers the slot before the last one
  // filled (-1 when it reached slot 0).
  int FillBackward(FilteredMoves* m, int from);
  // Fills the whole window around the current record r, which goes to slot
  // `at`; the table returns to r.
  void FillAround(FilteredMoves* m, int at);

  std::vector<int32_t> slots_;
  int current_ = 0;
  bool at_start_ = false;
  bool at_end_ = false;
};

}  // namespace xbase32

#endif  // XBASE32_FILTER_CACHE_H_
