#include "relation_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine_error.h"
#include "key_sort.h"
#include "platform/env.h"

namespace xbase32 {
namespace {

constexpr size_t kDefaultLimit = 1u << 20;
constexpr size_t kMinLimit = 4u << 10;

size_t g_limit = kDefaultLimit;

void PutBigEndian(uint32_t v, char* p) {
  p[0] = static_cast<char>(v >> 24);
  p[1] = static_cast<char>(v >> 16);
  p[2] = static_cast<char>(v >> 8);
  p[3] = static_cast<char>(v);
}

// Creates the list's own temporary file: "REL" + five digits + ".TMP" in
// the temporary directory, created exclusively; a taken name moves on to
// the next number at once (the sort's "TEMPdddd.TMP" files, named by the
// clock, may exist at the same time).
bool CreateListFile(std::string* path, std::unique_ptr<platform::File>* file) {
  platform::Env* env = platform::Env::Current();
  std::string dir = env->TempDir();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  static unsigned calls = 0;
  const unsigned start =
      static_cast<unsigned>(env->CurrentProcessId()) * 7919u + 31u * ++calls;
  platform::Status s;
  for (unsigned i = 0; i < 1000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "REL%05u.TMP", (start + i) % 100000);
    s = env->OpenFile(dir + name, platform::OpenMode::kCreateNew, file);
    if (s.ok()) {
      *path = dir + name;
      return true;
    }
    if (s.code() != EEXIST) break;
  }
  ReportError(kErrCreate, "Temporary Working File", s.ToString().c_str());
  return false;
}

}  // namespace

size_t RelationList::SetMemoryLimit(size_t bytes) {
  const size_t old = g_limit;
  g_limit = bytes;
  return old;
}

RelationList::RelationList(int key_length, int tables)
    : key_length_(key_length),
      tables_(std::max(tables, 1)),
      sort_entry_(static_cast<size_t>(key_length) + 4 + 4 * tables_),
      out_entry_(4 * static_cast<size_t>(tables_)),
      limit_(std::max(g_limit, kMinLimit)) {}

RelationList::~RelationList() {
  sorter_.reset();
  if (file_) {
    file_.reset();
    platform::Env::Current()->DeleteFile(path_);
  }
}

bool RelationList::Add(const char* key, const int32_t* recnos) {
  if (finished_) return false;
  if (seq_ == UINT32_MAX) {
    ReportError(kErrMemory, "Sorting", "Too many composite records");
    return false;
  }
  if (!sorter_ && input_.size() + sort_entry_ > limit_ && !SpillToSorter()) {
    return false;
  }
  char* e;
  if (sorter_) {
    scratch_.resize(sort_entry_);
    e = scratch_.data();
  } else {
    input_.resize(input_.size() + sort_entry_);
    e = input_.data() + input_.size() - sort_entry_;
  }
  std::memcpy(e, key, static_cast<size_t>(key_length_));
  PutBigEndian(seq_, e + key_length_);
  std::memcpy(e + key_length_ + 4, recnos, out_entry_);
  const uint32_t seq = seq_++;
  ++count_;
  return sorter_ ? sorter_->Add(e, seq) : true;
}

// Moves the entries gathered so far into a KeySorter, which keeps its
// memory within its own limit.
bool RelationList::SpillToSorter() {
  sorter_ = std::make_unique<KeySorter>(static_cast<int>(sort_entry_), false);
  for (size_t off = 0; off < input_.size(); off += sort_entry_) {
    const char* e = input_.data() + off;
    uint32_t seq = 0;
    for (int b = 0; b < 4; ++b) {
      seq = (seq << 8) | static_cast<unsigned char>(e[key_length_ + b]);
    }
    if (!sorter_->Add(e, seq)) return false;
  }
  std::vector<char>().swap(input_);
  return true;
}

bool RelationList::Finish() {
  if (finished_) return true;
  finished_ = true;
  return sorter_ ? DrainSorter() : SortInMemory();
}

bool RelationList::SortInMemory() {
  const size_t n = input_.size() / sort_entry_;
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  const char* base = input_.data();
  const size_t cmp = static_cast<size_t>(key_length_) + 4;  // key, sequence
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return std::memcmp(base + a * sort_entry_, base + b * sort_entry_, cmp) < 0;
  });
  out_.resize(n * out_entry_);
  for (size_t i = 0; i < n; ++i) {
    std::memcpy(out_.data() + i * out_entry_,
                base + order[i] * sort_entry_ + cmp, out_entry_);
  }
  std::vector<char>().swap(input_);
  return true;
}

bool RelationList::DrainSorter() {
  if (!sorter_->Finish()) return false;
  const size_t cmp = static_cast<size_t>(key_length_) + 4;
  const char* key = nullptr;
  uint32_t seq = 0;
  while (sorter_->Next(&key, &seq)) {
    if (!WriteOut(key + cmp, out_entry_)) return false;
  }
  if (sorter_->failed()) return false;
  sorter_.reset();  // its temporary file goes now
  if (file_ && !out_.empty()) {
    if (!WriteOut(nullptr, 0)) return false;
  }
  return true;
}

// Appends n bytes to the sorted entries; past the memory limit they go to
// a temporary file. WriteOut(nullptr, 0) writes what is still buffered.
bool RelationList::WriteOut(const char* p, size_t n) {
  if (p != nullptr) out_.insert(out_.end(), p, p + n);
  const bool flush = p == nullptr || out_.size() >= limit_;
  if (!flush) return true;
  if (!file_ && !CreateListFile(&path_, &file_)) return false;
  platform::Status s = file_->WriteAt(file_size_, out_.data(), out_.size());
  if (!s.ok()) {
    ReportError(kErrWrite, "Sorting", path_.c_str(), s.ToString().c_str());
    return false;
  }
  file_size_ += out_.size();
  out_.clear();
  return true;
}

bool RelationList::Get(int64_t i, int32_t* recnos) {
  if (!finished_ || i < 0 || i >= count_) return false;
  if (!file_) {
    std::memcpy(recnos, out_.data() + static_cast<size_t>(i) * out_entry_,
                out_entry_);
    return true;
  }
  if (i < window_first_ || i >= window_first_ + window_count_) {
    // A window of entries around i, so that stepping either way stays in it.
    const int64_t per = std::max<int64_t>(1, 16384 / out_entry_);
    const int64_t first = std::max<int64_t>(0, i - per / 2);
    const int64_t n = std::min<int64_t>(per, count_ - first);
    window_.resize(static_cast<size_t>(n) * out_entry_);
    size_t got = 0;
    platform::Status s =
        file_->ReadAt(static_cast<uint64_t>(first) * out_entry_, window_.data(),
                      window_.size(), &got);
    if (!s.ok() || got != window_.size()) {
      window_count_ = 0;
      ReportError(kErrRead, "Sorting", path_.c_str(), s.ToString().c_str());
      return false;
    }
    window_first_ = first;
    window_count_ = n;
  }
  std::memcpy(
      recnos,
      window_.data() + static_cast<size_t>(i - window_first_) * out_entry_,
      out_entry_);
  return true;
}

}  // namespace xbase32
