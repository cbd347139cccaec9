#include "key_sort.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine_error.h"
#include "platform/env.h"
#include "temp_name.h"

namespace xbase32 {
namespace {

constexpr size_t kDefaultLimit = 32u << 20;
constexpr size_t kMinLimit = 64u << 10;
constexpr size_t kOutBuffer = 64u << 10;
constexpr size_t kMinReadBuffer = 8u << 10;

size_t g_limit = kDefaultLimit;

platform::Env* env() { return platform::Env::Current(); }

}  // namespace

size_t SetSortMemoryLimit(size_t bytes) {
  const size_t old = g_limit;
  g_limit = bytes;
  return old;
}

size_t SortMemoryLimit() { return g_limit; }

// Reads one run of the temporary file through a buffer.
struct KeySorter::Reader {
  uint64_t pos = 0;  // next byte to read from the file
  uint64_t end = 0;  // end of the run
  std::vector<char> buf;
  size_t at = 0;    // current entry in buf
  size_t have = 0;  // bytes in buf
};

KeySorter::KeySorter(int key_length, bool unique, uint64_t expected)
    : key_length_(key_length),
      entry_size_(static_cast<size_t>(key_length) + 4),
      unique_(unique) {
  limit_ = std::max(g_limit, kMinLimit);
  capacity_ = std::max<size_t>(16, limit_ / (entry_size_ + sizeof(Item)));
  if (expected > 0 && expected < capacity_) {
    capacity_ = std::max<size_t>(16, static_cast<size_t>(expected));
  }
  last_.resize(entry_size_);
  scratch_.resize(entry_size_);
}

KeySorter::~KeySorter() {
  readers_.clear();
  if (temp_) {
    temp_.reset();
    env()->DeleteFile(temp_path_);
  }
}

bool KeySorter::Fail(int code, const char* what, const std::string& why) {
  failed_ = true;
  ReportError(code, "Sorting", what, why.empty() ? nullptr : why.c_str());
  return false;
}

bool KeySorter::OpenTemp() {
  // "TEMPdddd.TMP" in the system's temporary directory, created
  // exclusively (temp_name.h).
  if (!CreateTempFile(&temp_path_, &temp_)) {
    failed_ = true;
    return false;
  }
  temp_size_ = 0;
  return true;
}

bool KeySorter::Add(const char* key, uint32_t recno) {
  if (failed_ || finished_) return false;
  if (buffered_ == capacity_ && !SpillBuffer()) return false;
  if (buffer_.empty()) {
    try {
      buffer_.resize(capacity_ * entry_size_);
      order_.reserve(capacity_);
    } catch (const std::bad_alloc&) {
      return Fail(kErrMemory, "Out of Memory", "");
    }
  }
  char* e = buffer_.data() + buffered_ * entry_size_;
  std::memcpy(e, key, static_cast<size_t>(key_length_));
  e[key_length_] = static_cast<char>(recno >> 24);
  e[key_length_ + 1] = static_cast<char>(recno >> 16);
  e[key_length_ + 2] = static_cast<char>(recno >> 8);
  e[key_length_ + 3] = static_cast<char>(recno);
  ++buffered_;
  ++added_;
  return true;
}

void KeySorter::SortBuffer() {
  order_.resize(buffered_);
  const char* base = buffer_.data();
  const size_t es = entry_size_;
  for (size_t i = 0; i < buffered_; ++i) {
    const auto* e = reinterpret_cast<const unsigned char*>(base + i * es);
    uint64_t p = 0;
    for (size_t b = 0; b < 8; ++b) p = (p << 8) | (b < es ? e[b] : 0);
    order_[i] = Item{p, static_cast<uint32_t>(i)};
  }
  std::sort(order_.begin(), order_.end(),
            [base, es](const Item& a, const Item& b) {
              if (a.prefix != b.prefix) return a.prefix < b.prefix;
              return std::memcmp(base + a.index * es, base + b.index * es,
                                 es) < 0;
            });
}

bool KeySorter::WriteOut(const char* p, size_t n) {
  if (out_.size() + n > kOutBuffer && !FlushOut()) return false;
  out_.insert(out_.end(), p, p + n);
  return true;
}

bool KeySorter::FlushOut() {
  if (out_.empty()) return true;
  platform::Status s = temp_->WriteAt(temp_size_, out_.data(), out_.size());
  if (!s.ok()) return Fail(kErrWrite, temp_path_.c_str(), s.ToString());
  temp_size_ += out_.size();
  out_.clear();
  return true;
}

bool KeySorter::SpillBuffer() {
  if (!temp_ && !OpenTemp()) return false;
  SortBuffer();
  Run run{temp_size_ + out_.size(), buffered_};
  for (const Item& it : order_) {
    if (!WriteOut(buffer_.data() + it.index * entry_size_, entry_size_)) {
      return false;
    }
  }
  if (!FlushOut()) return false;
  runs_.push_back(run);
  ++spilled_runs_;
  buffered_ = 0;
  return true;
}

bool KeySorter::Finish() {
  if (failed_ || finished_) return !failed_;
  finished_ = true;
  if (runs_.empty()) {
    SortBuffer();
    next_in_memory_ = 0;
    return true;
  }
  if (buffered_ > 0 && !SpillBuffer()) return false;
  std::vector<char>().swap(buffer_);
  std::vector<Item>().swap(order_);
  // Each run gets a read buffer of at least kMinReadBuffer bytes within
  // half the limit; longer lists of runs are merged in groups first.
  const size_t fanin = std::max<size_t>(2, (limit_ / 2) / kMinReadBuffer);
  while (runs_.size() > fanin) {
    if (!MergePass()) return false;
  }
  return StartMerge(0, runs_.size());
}

bool KeySorter::StartMerge(size_t first, size_t n) {
  readers_.clear();
  heap_.clear();
  size_t per = std::max(kMinReadBuffer, (limit_ / 2) / std::max<size_t>(1, n));
  per = std::max(entry_size_, per / entry_size_ * entry_size_);
  for (size_t i = 0; i < n; ++i) {
    const Run& r = runs_[first + i];
    auto rd = std::make_unique<Reader>();
    rd->pos = r.offset;
    rd->end = r.offset + r.count * entry_size_;
    rd->buf.resize(per);
    readers_.push_back(std::move(rd));
  }
  auto greater = [this](size_t a, size_t b) {
    return std::memcmp(readers_[a]->buf.data() + readers_[a]->at,
                       readers_[b]->buf.data() + readers_[b]->at,
                       entry_size_) > 0;
  };
  for (size_t i = 0; i < readers_.size(); ++i) {
    Reader& rd = *readers_[i];
    // Fill the first buffer.
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(rd.buf.size(), rd.end - rd.pos));
    if (want == 0) continue;
    size_t got = 0;
    platform::Status s = temp_->ReadAt(rd.pos, rd.buf.data(), want, &got);
    if (!s.ok() || got != want) {
      return Fail(kErrRead, temp_path_.c_str(), s.ToString());
    }
    rd.pos += got;
    rd.have = got;
    rd.at = 0;
    heap_.push_back(i);
    std::push_heap(heap_.begin(), heap_.end(), greater);
  }
  merging_ = true;
  return true;
}

// Hands out the smallest entry of the merge; the pointer stays valid until
// the next call.
bool KeySorter::NextMerged(const char** entry) {
  auto greater = [this](size_t a, size_t b) {
    return std::memcmp(readers_[a]->buf.data() + readers_[a]->at,
                       readers_[b]->buf.data() + readers_[b]->at,
                       entry_size_) > 0;
  };
  if (heap_.empty()) return false;
  std::pop_heap(heap_.begin(), heap_.end(), greater);
  const size_t i = heap_.back();
  Reader& rd = *readers_[i];
  std::memcpy(scratch_.data(), rd.buf.data() + rd.at, entry_size_);
  *entry = scratch_.data();
  rd.at += entry_size_;
  if (rd.at >= rd.have) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(rd.buf.size(), rd.end - rd.pos));
    if (want == 0) {
      heap_.pop_back();
      return true;
    }
    size_t got = 0;
    platform::Status s = temp_->ReadAt(rd.pos, rd.buf.data(), want, &got);
    if (!s.ok() || got != want) {
      heap_.clear();
      return Fail(kErrRead, temp_path_.c_str(), s.ToString());
    }
    rd.pos += got;
    rd.have = got;
    rd.at = 0;
  }
  std::push_heap(heap_.begin(), heap_.end(), greater);
  return true;
}

bool KeySorter::MergePass() {
  const size_t fanin = std::max<size_t>(2, (limit_ / 2) / kMinReadBuffer);
  std::vector<Run> merged;
  for (size_t first = 0; first < runs_.size(); first += fanin) {
    const size_t n = std::min(fanin, runs_.size() - first);
    if (!StartMerge(first, n)) return false;
    Run run{temp_size_, 0};
    const char* e = nullptr;
    while (NextMerged(&e)) {
      if (!WriteOut(e, entry_size_)) return false;
      ++run.count;
    }
    if (failed_ || !FlushOut()) return false;
    merged.push_back(run);
  }
  runs_.swap(merged);
  readers_.clear();
  merging_ = false;
  return true;
}

bool KeySorter::Emit(const char* entry, const char** key, uint32_t* recno) {
  *key = entry;
  const auto* u = reinterpret_cast<const unsigned char*>(entry + key_length_);
  *recno = (static_cast<uint32_t>(u[0]) << 24) |
           (static_cast<uint32_t>(u[1]) << 16) |
           (static_cast<uint32_t>(u[2]) << 8) | u[3];
  return true;
}

bool KeySorter::Next(const char** key, uint32_t* recno) {
  if (failed_ || !finished_) return false;
  for (;;) {
    const char* e = nullptr;
    if (merging_) {
      if (!NextMerged(&e)) return false;
    } else {
      if (next_in_memory_ >= order_.size()) return false;
      e = buffer_.data() + order_[next_in_memory_++].index * entry_size_;
    }
    if (unique_) {
      if (have_last_ &&
          std::memcmp(last_.data(), e, static_cast<size_t>(key_length_)) ==
              0) {
        continue;
      }
      std::memcpy(last_.data(), e, entry_size_);
      have_last_ = true;
    }
    return Emit(e, key, recno);
  }
}

}  // namespace xbase32
