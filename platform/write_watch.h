// Reports of writes to an open file, from any process (internal to the
// platform layer). One inotify instance per process serves every watched
// file; a file open through several handles is watched once. A child made
// by fork() gets its own instance on its first use (the inherited one is
// shared with the parent, whose reports it would take away).

#ifndef PLATFORM_WRITE_WATCH_H_
#define PLATFORM_WRITE_WATCH_H_

#include <cstdint>

namespace platform::internal {

struct WatchEntry;

class WriteWatch {
 public:
  WriteWatch() = default;
  // Watches the file open as fd (the descriptor must outlive the watch).
  // Without room for a watch the object is inactive.
  explicit WriteWatch(int fd);
  ~WriteWatch();
  WriteWatch(WriteWatch&& o) noexcept;
  WriteWatch& operator=(WriteWatch&& o) noexcept;
  WriteWatch(const WriteWatch&) = delete;
  WriteWatch& operator=(const WriteWatch&) = delete;

  // Whether writes are reported: false when no watch could be set, or the
  // watch ended (the file was deleted, or a report was lost and the watch
  // could not be set again).
  bool active() const;
  // The number of write reports for the file so far (it grows by one at
  // least for every write that completed before the call; lost reports
  // count for every watched file).
  uint64_t Events();

 private:
  WatchEntry* entry_ = nullptr;
  int fd_ = -1;
};

}  // namespace platform::internal

#endif  // PLATFORM_WRITE_WATCH_H_
