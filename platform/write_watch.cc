#include "platform/write_watch.h"

#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>

namespace platform::internal {

struct WatchEntry {
  int wd = -1;             // -1: not watched (any more)
  std::multiset<int> fds;  // descriptors of the file, one per WriteWatch
  uint64_t events = 0;
};

namespace {

std::atomic<bool> g_forked{false};

void AfterForkInChild() { g_forked.store(true); }

// The process's inotify instance and its watches.
class Hub {
 public:
  static Hub& Get() {
    static Hub* hub = new Hub;  // never destroyed: handles may outlive exit
    return *hub;
  }

  WatchEntry* Add(int fd) {
    std::lock_guard<std::mutex> g(mu_);
    Renew();
    if (ifd_ < 0) return nullptr;
    const int wd = AddWatch(fd);
    if (wd < 0) return nullptr;
    WatchEntry*& e = by_wd_[wd];
    if (e == nullptr) {
      e = new WatchEntry;
      e->wd = wd;
    }
    e->fds.insert(fd);
    return e;
  }

  void Remove(WatchEntry* e, int fd) {
    std::lock_guard<std::mutex> g(mu_);
    Renew();
    auto it = e->fds.find(fd);
    if (it != e->fds.end()) e->fds.erase(it);
    if (!e->fds.empty()) return;
    if (e->wd >= 0) {
      by_wd_.erase(e->wd);
      inotify_rm_watch(ifd_, e->wd);
    }
    orphans_.erase(e);
    delete e;
  }

  uint64_t Events(WatchEntry* e) {
    std::lock_guard<std::mutex> g(mu_);
    Renew();
    Drain();
    return e->events;
  }

  // As of the last Events call (which notices an ended watch).
  bool Active(WatchEntry* e) {
    std::lock_guard<std::mutex> g(mu_);
    Renew();
    return e->wd >= 0;
  }

 private:
  Hub() {
    pthread_atfork(nullptr, nullptr, AfterForkInChild);
    ifd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  }

  int AddWatch(int fd) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return inotify_add_watch(ifd_, path, IN_MODIFY);
  }

  // In a child after fork: a new instance, the watches set again, and
  // every file counted as written (reports may have gone to the parent).
  void Renew() {
    if (!g_forked.exchange(false)) return;
    if (ifd_ >= 0) close(ifd_);
    ifd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::map<int, WatchEntry*> old;
    old.swap(by_wd_);
    for (auto& [wd, e] : old) Rewatch(e);
    std::set<WatchEntry*> orphans;
    orphans.swap(orphans_);
    for (WatchEntry* e : orphans) Rewatch(e);
  }

  void Rewatch(WatchEntry* e) {
    ++e->events;
    e->wd = ifd_ >= 0 && !e->fds.empty() ? AddWatch(*e->fds.begin()) : -1;
    if (e->wd >= 0) {
      by_wd_[e->wd] = e;
    } else {
      orphans_.insert(e);
    }
  }

  void Drain() {
    if (ifd_ < 0) return;
    alignas(inotify_event) char buf[4096];
    for (;;) {
      const ssize_t n = read(ifd_, buf, sizeof buf);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        return;  // EAGAIN: nothing more
      }
      for (ssize_t at = 0; at < n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        if (ev->mask & IN_Q_OVERFLOW) {
          for (auto& [wd, e] : by_wd_) ++e->events;
          continue;
        }
        auto it = by_wd_.find(ev->wd);
        if (it == by_wd_.end()) continue;
        WatchEntry* e = it->second;
        ++e->events;
        if (ev->mask & IN_IGNORED) {
          // The file is gone (or the watch removed): nothing reports any
          // more.
          by_wd_.erase(it);
          e->wd = -1;
          orphans_.insert(e);
        }
      }
    }
  }

  std::mutex mu_;
  int ifd_ = -1;
  std::map<int, WatchEntry*> by_wd_;
  std::set<WatchEntry*> orphans_;  // entries without a watch
};

}  // namespace

WriteWatch::WriteWatch(int fd) : entry_(Hub::Get().Add(fd)), fd_(fd) {}

WriteWatch::~WriteWatch() {
  if (entry_ != nullptr) Hub::Get().Remove(entry_, fd_);
}

WriteWatch::WriteWatch(WriteWatch&& o) noexcept : entry_(o.entry_), fd_(o.fd_) {
  o.entry_ = nullptr;
}

WriteWatch& WriteWatch::operator=(WriteWatch&& o) noexcept {
  if (this != &o) {
    if (entry_ != nullptr) Hub::Get().Remove(entry_, fd_);
    entry_ = o.entry_;
    fd_ = o.fd_;
    o.entry_ = nullptr;
  }
  return *this;
}

bool WriteWatch::active() const {
  return entry_ != nullptr && Hub::Get().Active(entry_);
}

uint64_t WriteWatch::Events() {
  return entry_ != nullptr ? Hub::Get().Events(entry_) : 0;
}

}  // namespace platform::internal
