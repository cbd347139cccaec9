// The filters' door into Wdbase: the record filter (both callback forms and
// the cache) and the special filter of a table, for the engine's filter
// modules; and the filtered navigation that the Wdbase moves hand over to
// while a filter is active.

#ifndef XBASE32_FILTER_ACCESS_H_
#define XBASE32_FILTER_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "xbase32/wdbase.h"

namespace xbase32 {
class NtxFile;
}

struct WdbaseFilterAccess {
  static bool HasRecordFilter(const Wdbase* w) {
    return w->filter_ != nullptr || w->filter_with_data_ != nullptr;
  }
  // Whether the record filter hides the current record (false without).
  static bool Hides(const Wdbase* w) {
    if (w->filter_) return w->filter_(w) != 0;
    if (w->filter_with_data_) return w->filter_with_data_(w, w->filter_user_);
    return false;
  }
  static xbase32::FilterCache* Cache(const Wdbase* w) {
    return w->filter_cache_;
  }
  static xbase32::SpecialFilter* Special(const Wdbase* w) {
    return w->special_filter_;
  }
  static Wdbase_OEMtoChar Mode(const Wdbase* w) { return w->mode_; }

  // Installs a record filter (one of the two forms, or none) with a cache
  // of cache_size slots (0 for none); see Wdbase::SetFilter.
  static int Install(Wdbase* w, Wdbase::FilterFunc plain,
                     Wdbase::FilterFuncWithData with_data, void* user,
                     int cache_size);
  // Builds the special index of the selected order for the kept (or
  // given) condition; a failure leaves the rest of the filter in force.
  static bool BuildSelectedOrder(Wdbase* w, const std::string& cond,
                                 bool inverted);
  // Ends the special filter without touching the pending error; false when
  // none was active or a file could not be deleted.
  static bool QuitSpecial(Wdbase* w);
  // Called by Close: the special filter ends and the cache is emptied.
  static void OnClose(Wdbase* w);
  // Called by the destructor: the record filter and its cache go.
  static void OnDestroy(Wdbase* w);

  // Takes the filters out of navigation and puts them back (see
  // FiltersSuspended).
  struct Saved {
    Wdbase::FilterFunc plain = nullptr;
    Wdbase::FilterFuncWithData with_data = nullptr;
    void* user = nullptr;
    xbase32::FilterCache* cache = nullptr;
    xbase32::SpecialFilter* special = nullptr;
  };
  static Saved Suspend(Wdbase* w);
  static void Resume(Wdbase* w, const Saved& s);
};

namespace xbase32 {

// While alive, navigation of w ignores its record filter and its special
// filter (both stay installed and come back afterwards; writes keep the
// special indexes current meanwhile).
class FiltersSuspended {
 public:
  explicit FiltersSuspended(Wdbase* w)
      : w_(w), saved_(WdbaseFilterAccess::Suspend(w)) {}
  ~FiltersSuspended() { WdbaseFilterAccess::Resume(w_, saved_); }
  FiltersSuspended(const FiltersSuspended&) = delete;
  FiltersSuspended& operator=(const FiltersSuspended&) = delete;

 private:
  Wdbase* w_;
  WdbaseFilterAccess::Saved saved_;
};

// Whether navigation of w goes through a filter.
inline bool FiltersActive(const Wdbase* w) {
  return WdbaseFilterAccess::Special(w) != nullptr ||
         WdbaseFilterAccess::HasRecordFilter(w);
}

// The filtered moves (the table is open, a filter active and the common
// argument checks of the Wdbase moves done). Answers as the Wdbase moves.
int FilteredTop(Wdbase* w);
int FilteredBottom(Wdbase* w);
int FilteredSkip(Wdbase* w, int32_t n);  // n != 0
// Seek of key (formed for the selected index ix) with a filter;
// sought_length is the length of the caller's text (0 for a number).
int FilteredSeek(Wdbase* w, NtxFile* ix, const std::string& key,
                 size_t sought_length);

// With a special filter (Special(w) not null): Goto and the positions in
// the special order.
int SpecialGoto(Wdbase* w, int32_t recno);
int32_t SpecialGetPosition(Wdbase* w);
int SpecialSetPosition(Wdbase* w, int32_t pos);
int32_t SpecialGetLastPosition(Wdbase* w);

}  // namespace xbase32

#endif  // XBASE32_FILTER_ACCESS_H_
