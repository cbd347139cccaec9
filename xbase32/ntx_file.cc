#include "ntx_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "dbf_expr_table.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "ntx_build.h"
#include "ntx_mark.h"

namespace xbase32 {

using namespace ntx;

namespace {

size_t g_cache_capacity = 2048;
// Changed pages waiting for the unlock are written early when they fill
// half the cache.
size_t MaxDirty() { return g_cache_capacity / 2; }
// Memory the entries staged under the lock may take before they are merged
// into the tree.
size_t g_staged_budget = 8u << 20;
// Staged entries written bottom-up into an empty tree from this many on
// (fewer go in one by one).
constexpr size_t kBuildMinimum = 64;
// Unlocked attempts of a read before it runs under the lock.
constexpr int kReadAttempts = 6;
// Waits (1 ms each) for a writer to finish before a read takes the lock.
constexpr int kOddWaits = 50;

platform::Env* env() { return platform::Env::Current(); }

int KeyCmp(const char* a, const char* b, size_t n) {
  return std::memcmp(a, b, n);
}

}  // namespace

size_t NtxFile::SetCacheCapacity(size_t pages) {
  const size_t old = g_cache_capacity;
  g_cache_capacity = std::max<size_t>(16, pages);
  return old;
}

size_t NtxFile::SetStagedKeyBudget(size_t bytes) {
  const size_t old = g_staged_budget;
  g_staged_budget = bytes;
  return old;
}

NtxFile::~NtxFile() {
  if (file_) Close();
}

std::string NtxFile::name() const {
  const size_t slash = path_.find_last_of("\\/");
  std::string base =
      slash == std::string::npos ? path_ : path_.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  return base;
}

// --- opening ----------------------------------------------------------------

std::unique_ptr<NtxFile> NtxFile::Open(DbfFile* data, const std::string& path) {
  std::unique_ptr<NtxFile> ix(new NtxFile);
  ix->path_ = path;
  ix->data_ = data;
  platform::Status s =
      env()->OpenFile(path, platform::OpenMode::kReadWrite, &ix->file_);
  if (!s.ok()) {
    ReportError(kErrOpen, "File Name:", path.c_str());
    return nullptr;
  }
  if (!ix->file_->OpenChangeCounter(&ix->counter_).ok()) ix->counter_.reset();
  ix->table_ = std::make_unique<DbfExprTable>(data);
  // Read the header while no writer is at work (or under the lock).
  bool ok = false;
  bool stable_fault = false;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const int b = ix->BeginRead();  // reads the header
    if (b < 0) {
      stable_fault = true;
      break;
    }
    if (b == 0) break;
    if (ix->EndRead()) {
      ok = true;
      break;
    }
  }
  if (!ok && !stable_fault) {
    ix->fault_.clear();
    if (!ix->LockNow()) return nullptr;
    bool changed = false;
    ok = ix->ReadHeader(&changed);
    ix->file_->Unlock(kLockOffset, kLockLength);
    ix->locked_ = false;
  }
  if (!ok) {
    if (ix->fault_.empty() || ix->fault_[0] != '!') {
      // (Init reports its own failures.)
      ReportError(kErrNotIndex, path.c_str(),
                  ix->fault_ == "header" ? nullptr : ix->fault_.c_str());
    }
    ix->key_expr_.reset();
    ix->file_.reset();
    return nullptr;
  }
  return ix;
}

bool NtxFile::Init(const NtxHeader& h, std::string* why, int* code) {
  ExprError err;
  std::unique_ptr<Expr> e = Expr::Parse(table_.get(), h.expr.c_str(), &err);
  KeyInfo info;
  if (!e || !KeyInfoOf(*e, &info)) {
    *code = kErrInfo;
    *why = "Error in Key Evaluation";
    return false;
  }
  if (info.length != h.geo.key_length) {
    *code = kErrNotIndex;
    *why = "Key length differs from the key expression";
    return false;
  }
  if (info.type == 'N') info.decimals = h.key_decimals;
  std::unique_ptr<Expr> f;
  if (!h.filter.empty()) {
    f = Expr::Parse(table_.get(), h.filter.c_str(), &err);
    if (!f || f->type() != 'L') {
      *code = kErrNotIndex;
      *why = "Filter should be Logical";
      return false;
    }
  }
  key_expr_ = std::move(e);
  filter_expr_ = std::move(f);
  info_ = info;
  staged_.Reset(static_cast<size_t>(info.length));
  return true;
}

// Reads the whole header page; re-reads the expressions when the header
// describes another tree than the one known. *changed tells whether the
// header counter or root moved.
bool NtxFile::ReadHeader(bool* changed) {
  uint8_t page[kPageSize];
  size_t got = 0;
  platform::Status s = file_->ReadAt(0, page, kPageSize, &got);
  uint64_t size = 0;
  if (s.ok()) s = file_->Size(&size);
  if (!s.ok()) {
    fault_ = s.ToString();
    return false;
  }
  if (got < kPageSize) std::memset(page + got, 0, kPageSize - got);
  NtxHeader h;
  if (!DecodeHeader(page, &h)) {
    fault_ = "header";
    return false;
  }
  std::memcpy(header_raw_, page, kPageSize);
  const bool same_tree = key_expr_ && h.expr == header_.expr &&
                         h.filter == header_.filter &&
                         h.geo.key_length == header_.geo.key_length &&
                         h.geo.max_keys == header_.geo.max_keys &&
                         h.key_decimals == header_.key_decimals;
  if (!same_tree) {
    std::string why;
    int code = 0;
    if (!Init(h, &why, &code)) {
      // Reported at once: the header itself is stable.
      ReportError(code, why.c_str(), path_.c_str());
      fault_ = "!" + why;
      return false;
    }
  }
  *changed = !same_tree || h.counter != seen_counter_ ||
             h.root != header_.root || size != file_size_;
  header_ = h;
  seen_counter_ = h.counter;
  file_size_ = size;
  next_page_ = static_cast<uint32_t>(
      std::min<uint64_t>((size + kPageSize - 1) / kPageSize * kPageSize,
                         UINT32_MAX / kPageSize * kPageSize));
  if (next_page_ < kPageSize) next_page_ = kPageSize;
  if (h.root == 0 || h.root % kPageSize != 0 || h.root >= size) {
    fault_ = "root page outside the file";
    return false;
  }
  fault_.clear();
  return true;
}

bool NtxFile::Close() {
  if (!file_) return false;
  bool ok = true;
  if (locked_) ok = UnlockIndex();
  if (marked_) ReleaseNtxMark(file_.get(), ok && !mark_kept_);
  marked_ = false;
  DropCache();
  key_expr_.reset();
  filter_expr_.reset();
  counter_.reset();  // watches the descriptor: goes first
  file_.reset();
  return ok;
}

// --- keys -------------------------------------------------------------------

bool NtxFile::KeyOf(const char* rec, int32_t recno, char* out) {
  table_->SetRecord(rec, recno);
  bool in = true;
  if (filter_expr_) in = filter_expr_->EvaluateLogical();
  if (in) {
    const char* v = key_expr_->Evaluate();
    FormKey(info_, key_expr_->type(), v, key_expr_->length(), out);
  }
  table_->SetRecord(nullptr, 0);
  return in;
}

// --- page cache -------------------------------------------------------------

bool NtxFile::Fault(const std::string& what) {
  if (fault_.empty()) fault_ = what;
  return false;
}

void NtxFile::ReportFault() {
  if (fault_.empty() || fault_[0] == '!') return;
  if (fault_ == "header") {
    ReportError(kErrNotIndex, path_.c_str());
  } else {
    ReportError(kErrResult, path_.c_str(), fault_.c_str());
  }
}

NtxFile::Cached* NtxFile::Find(uint32_t offset) {
  FrontSlot& slot = front_[(offset / kPageSize) % kFrontSlots];
  if (slot.page != nullptr && slot.offset == offset) return slot.page;
  auto it = pages_.find(offset);
  if (it == pages_.end()) return nullptr;
  slot.offset = offset;
  slot.page = it->second.get();
  return slot.page;
}

bool NtxFile::GetPage(uint32_t offset, NtxPage** page) {
  if (Cached* c = Find(offset)) {
    if (c->lru != lru_.begin()) lru_.splice(lru_.begin(), lru_, c->lru);
    *page = &c->page;
    return true;
  }
  if (cache_only_) {
    // Not read under the lock: the read runs again under it.
    cache_missed_ = true;
    return false;
  }
  const uint64_t limit = std::max<uint64_t>(file_size_, next_page_);
  if (offset < kPageSize || offset % kPageSize != 0 || offset >= limit) {
    char text[80];
    std::snprintf(text, sizeof text, "page offset %u outside the file", offset);
    return Fault(text);
  }
  if (!locked_) cache_checked_ = false;
  uint8_t raw[kPageSize];
  size_t got = 0;
  platform::Status s = file_->ReadAt(offset, raw, kPageSize, &got);
  if (!s.ok()) return Fault(s.ToString());
  if (got < kPageSize) std::memset(raw + got, 0, kPageSize - got);
  auto c = std::make_unique<Cached>();
  std::string why;
  if (!DecodePage(raw, header_.geo, offset, limit, &c->page, &why)) {
    return Fault(why);
  }
  lru_.push_front(offset);
  c->lru = lru_.begin();
  *page = &c->page;
  pages_.emplace(offset, std::move(c));
  return true;
}

NtxPage* NtxFile::NewPage() {
  const uint32_t offset = next_page_;
  next_page_ += kPageSize;
  auto c = std::make_unique<Cached>();
  c->page.Init(header_.geo);
  c->page.offset = offset;
  c->dirty = true;
  ++dirty_;
  dirty_list_.push_back(offset);
  lru_.push_front(offset);
  c->lru = lru_.begin();
  NtxPage* p = &c->page;
  front_[(offset / kPageSize) % kFrontSlots] = FrontSlot();
  pages_[offset] = std::move(c);
  return p;
}

void NtxFile::MarkDirty(NtxPage* p) {
  Cached& c = *Find(p->offset);
  if (!c.dirty) {
    c.dirty = true;
    ++dirty_;
    dirty_list_.push_back(p->offset);
  }
}

void NtxFile::DropCache() {
  pages_.clear();
  for (FrontSlot& f : front_) f = FrontSlot();
  lru_.clear();
  dirty_list_.clear();
  dirty_ = 0;
  cache_checked_ = true;
  ++generation_;
}

void NtxFile::TrimCache() {
  // Oldest clean pages go; changed pages wait for the flush (they move to
  // the front so that the next look finds clean pages at the back).
  size_t skipped = 0;
  while (pages_.size() > g_cache_capacity && !lru_.empty() &&
         skipped < lru_.size()) {
    auto it = std::prev(lru_.end());
    Cached& c = *Find(*it);
    if (c.dirty) {
      lru_.splice(lru_.begin(), lru_, it);
      ++skipped;
      continue;
    }
    const uint32_t off = *it;
    lru_.erase(it);
    FrontSlot& slot = front_[(off / kPageSize) % kFrontSlots];
    if (slot.offset == off) slot = FrontSlot();
    pages_.erase(off);
  }
}

bool NtxFile::FlushPages() {
  if (dirty_ == 0 && !header_dirty_) {
    EndWrites();
    return true;
  }
  std::vector<uint32_t> offs;
  offs.swap(dirty_list_);
  std::sort(offs.begin(), offs.end());
  BeginWrites();
  bool ok = true;
  std::string why;
  // Consecutive pages go out in one write.
  std::vector<uint8_t> run;
  uint32_t run_start = 0;
  auto flush_run = [&]() {
    if (run.empty()) return;
    platform::Status s = file_->WriteAt(run_start, run.data(), run.size());
    if (!s.ok() && ok) {
      ok = false;
      why = s.ToString();
    }
    run.clear();
  };
  for (uint32_t off : offs) {
    Cached* cached = Find(off);
    if (cached == nullptr || !cached->dirty) continue;
    if (!run.empty() && off != run_start + run.size()) flush_run();
    if (run.empty()) run_start = off;
    const size_t at = run.size();
    run.resize(at + kPageSize);
    file_size_ = std::max<uint64_t>(file_size_, off + kPageSize);
    Cached& c = *cached;
    EncodePage(c.page, header_.geo, run.data() + at);
    c.dirty = false;
    if (run.size() >= 256 * kPageSize) flush_run();
  }
  flush_run();
  dirty_ = 0;
  if (header_dirty_) {
    // The first 12 bytes, the unique word and the descending word, written
    // in one piece with the unchanged bytes between them.
    EncodeHeaderChange(header_, header_raw_, header_raw_ + kOffUniqueWord,
                       header_raw_ + kOffDescending);
    platform::Status s = file_->WriteAt(0, header_raw_, kOffDescending + 2);
    if (!s.ok() && ok) {
      ok = false;
      why = s.ToString();
    }
    header_dirty_ = false;
  }
  EndWrites();
  if (!ok) {
    cache_checked_ = false;  // the file may hold less than the cache
    ReportError(kErrWrite, path_.c_str(), why.c_str());
  }
  return ok;
}

// The shared counter is odd from the first page write to the moment the
// file holds a whole tree again (the end of FlushPages).
void NtxFile::BeginWrites() {
  if (writing_) return;
  writing_ = true;
  write_start_ = counter_ ? counter_->Bump() : 0;
}

void NtxFile::EndWrites() {
  if (!writing_) return;
  writing_ = false;
  if (counter_) {
    const uint64_t after = counter_->Bump();
    // The lock keeps other writers out: the cache stays current.
    if (after == write_start_ + 1) stamp_ = after + 1;
  }
}

// --- sharing ----------------------------------------------------------------

// Unlocked reads need the stamp (the counter and the host's write reports):
// it tells when any writer changed the file during the read. Without it,
// or when the table reads from the file, every read takes the lock.
int NtxFile::BeginRead() {
  if (locked_) return 1;
  if (!counter_ || data_->read_from_file()) return 0;
  uint64_t c = counter_->Stamp();
  for (int i = 0; (c & 1) != 0; ++i) {
    if (i >= kOddWaits) return 0;  // a writer is slow (or died): lock
    env()->SleepMs(1);
    c = counter_->Stamp();
  }
  if (!counter_->Watched()) return 0;
  read_start_ = c;
  if (!stamp_valid_ || c != stamp_) {
    // Something wrote: the header's counter tells whether the tree
    // changed (every writer moves it), whoever wrote.
    bool changed = false;
    if (!ReadHeader(&changed)) {
      DropCache();
      // A torn header while a writer starts shows as a moved stamp.
      if (counter_->Stamp() != c) return 0;
      return -1;
    }
    if (changed) DropCache();
    stamp_ = c;
    stamp_valid_ = true;
  }
  return 1;
}

bool NtxFile::EndRead() {
  if (locked_ || !counter_) return true;
  if (counter_->Stamp() == read_start_) return true;
  stamp_valid_ = false;
  DropCache();
  return false;
}

bool NtxFile::LockNow() {
  platform::Status s = file_->Lock(kLockOffset, kLockLength);
  if (!s.ok()) {
    ReportError(kErrLock, path_.c_str(), s.ToString().c_str());
    return false;
  }
  locked_ = true;
  return true;
}

// After taking the lock: drops what another process made stale.
// The cache is kept only while the stamp proves that nothing wrote to the
// file, or the header's counter, root and size show that no writer changed
// the tree (every writer moves the counter).
bool NtxFile::Refresh() {
  bool proven = stamp_valid_ && counter_ && !data_->read_from_file();
  if (counter_) {
    if (counter_->Load() & 1) {
      // A writer died while writing pages: nobody writes now.
      counter_->Bump();
      proven = false;
    }
    const uint64_t c = counter_->Stamp();
    if (c != stamp_ || !counter_->Watched()) proven = false;
    stamp_ = c;
  }
  if (!proven) {
    bool changed = false;
    if (!ReadHeader(&changed)) {
      DropCache();
      return false;
    }
    if (changed) DropCache();
  }
  stamp_valid_ = counter_ != nullptr && counter_->Watched();
  return true;
}

platform::LockResult NtxFile::TryLockIndex() {
  if (locked_) return platform::LockResult::kLocked;
  platform::Status err;
  const platform::LockResult r = file_->TryLock(kLockOffset, kLockLength, &err);
  if (r == platform::LockResult::kError) {
    ReportError(kErrLock, path_.c_str(), err.ToString().c_str());
    return r;
  }
  if (r != platform::LockResult::kLocked) return r;
  locked_ = true;
  changed_ = false;
  fault_.clear();
  if (!Refresh()) {
    ReportFault();
    file_->Unlock(kLockOffset, kLockLength);
    locked_ = false;
    return platform::LockResult::kError;
  }
  return r;
}

bool NtxFile::UnlockIndex() {
  if (!locked_) return true;
  bool ok = MergeStaged();
  ok = FlushPages() && ok;
  if (!ok) mark_kept_ = true;  // pages may be missing: the mark stays
  platform::Status s = file_->Unlock(kLockOffset, kLockLength);
  if (!s.ok()) {
    ReportError(kErrUnlock, path_.c_str(), s.ToString().c_str());
    ok = false;
  }
  locked_ = false;
  changed_ = false;
  TrimCache();
  return ok;
}

// The first change of a lock period moves the header counter.
bool NtxFile::StartChange() {
  if (!locked_) {
    ReportError(kErrResult, path_.c_str(), "index changed without its lock");
    return false;
  }
  if (!changed_) {
    // Before any page of this handle's first change can reach the file.
    if (!marked_) {
      if (!HoldNtxMark(file_.get())) return false;
      marked_ = true;
    }
    changed_ = true;
    header_.counter = static_cast<uint16_t>(seen_counter_ + 1);
    seen_counter_ = header_.counter;
    header_dirty_ = true;
  }
  ++generation_;
  return true;
}

bool NtxFile::LeftMarked() { return !marked_ && StaleNtxMark(file_.get()); }

bool NtxFile::Sync() {
  bool ok = true;
  if (locked_) {
    ok = MergeStaged();
    ok = FlushPages() && ok;
  }
  if (!file_->Sync().ok()) ok = false;
  return ok;
}

bool NtxFile::BeginCachedRead() {
  if (locked_ || !counter_ || counter_->Watched() || data_->read_from_file() ||
      !cache_checked_ || pages_.empty()) {
    return false;
  }
  uint8_t page[kPageSize];
  size_t got = 0;
  uint64_t size = 0;
  if (!file_->ReadAt(0, page, kPageSize, &got).ok() || got != kPageSize ||
      !file_->Size(&size).ok() || size != file_size_ ||
      std::memcmp(page, header_raw_, kPageSize) != 0) {
    return false;
  }
  cache_only_ = true;
  cache_missed_ = false;
  return true;
}

template <typename Op>
bool NtxFile::RunRead(Op op) {
  if (!locked_) TrimCache();
  if (!MergeStaged()) return false;
  if (BeginCachedRead()) {
    fault_.clear();
    const bool ok = op();
    cache_only_ = false;
    if (!cache_missed_) {
      if (!ok) ReportFault();
      return ok;
    }
    cache_missed_ = false;
  }
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    fault_.clear();
    const int b = BeginRead();
    if (b < 0) {
      ReportFault();
      return false;
    }
    if (b == 0) break;
    const bool ok = op();
    if (EndRead()) {
      if (!ok) ReportFault();
      return ok;
    }
  }
  // Under the lock.
  fault_.clear();
  if (!LockNow()) return false;
  bool ok = Refresh() && op();
  file_->Unlock(kLockOffset, kLockLength);
  locked_ = false;
  if (!ok) ReportFault();
  return ok;
}

// --- walking ----------------------------------------------------------------

template <typename GoesLeft>
bool NtxFile::DescendBy(GoesLeft goes_left, Path* path, bool* at_end) {
  path->clear();
  *at_end = false;
  uint32_t off = header_.root;
  for (;;) {
    if (path->size() >= static_cast<size_t>(kMaxDepth)) {
      return Fault("tree deeper than any real index (a cycle?)");
    }
    NtxPage* p = nullptr;
    if (!GetPage(off, &p)) return false;
    int lo = 0;
    int hi = p->count;
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (goes_left(*p, mid)) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    path->push_back({off, lo});
    if (p->leaf()) break;
    off = p->child[lo];
  }
  return ClimbForward(path, at_end);
}

bool NtxFile::Descend(const char* s, size_t n, bool strict, Path* path,
                      bool* at_end) {
  return DescendBy(
      [&](const NtxPage& p, int i) {
        const int c = KeyCmp(p.key(i), s, n);
        return strict ? c > 0 : c >= 0;
      },
      path, at_end);
}

// The last level stands at or past its last entry: climbs to the first
// level that still has an entry at its index.
bool NtxFile::ClimbForward(Path* path, bool* at_end) {
  while (!path->empty()) {
    NtxPage* p = nullptr;
    if (!GetPage(path->back().page, &p)) return false;
    if (path->back().idx < p->count) return true;
    path->pop_back();
  }
  *at_end = true;
  return true;
}

// The last level moved before its first entry.
bool NtxFile::ClimbBack(Path* path, bool* at_begin) {
  path->pop_back();
  while (!path->empty()) {
    Level& l = path->back();
    if (l.idx > 0) {
      --l.idx;
      return true;
    }
    path->pop_back();
  }
  *at_begin = true;
  return true;
}

bool NtxFile::Leftmost(uint32_t from, Path* path, bool* at_end) {
  uint32_t off = from;
  for (;;) {
    if (path->size() >= static_cast<size_t>(kMaxDepth)) {
      return Fault("tree deeper than any real index (a cycle?)");
    }
    NtxPage* p = nullptr;
    if (!GetPage(off, &p)) return false;
    path->push_back({off, 0});
    if (p->leaf()) break;
    off = p->child[0];
  }
  return ClimbForward(path, at_end);
}

bool NtxFile::Rightmost(uint32_t from, Path* path, bool* at_begin) {
  uint32_t off = from;
  for (;;) {
    if (path->size() >= static_cast<size_t>(kMaxDepth)) {
      return Fault("tree deeper than any real index (a cycle?)");
    }
    NtxPage* p = nullptr;
    if (!GetPage(off, &p)) return false;
    if (p->leaf()) {
      path->push_back({off, p->count - 1});
      if (p->count == 0) return ClimbBack(path, at_begin);
      return true;
    }
    path->push_back({off, p->count});
    off = p->child[p->count];
  }
}

bool NtxFile::Advance(Path* path, bool* at_end) {
  *at_end = false;
  if (path->empty()) {
    *at_end = true;
    return true;
  }
  NtxPage* p = nullptr;
  if (!GetPage(path->back().page, &p)) return false;
  Level& l = path->back();
  ++l.idx;
  if (p->leaf()) return ClimbForward(path, at_end);
  if (l.idx > p->count) return Fault("cursor outside its page");
  return Leftmost(p->child[l.idx], path, at_end);
}

bool NtxFile::Retreat(Path* path, bool* at_begin) {
  *at_begin = false;
  if (path->empty()) {
    *at_begin = true;
    return true;
  }
  NtxPage* p = nullptr;
  if (!GetPage(path->back().page, &p)) return false;
  Level& l = path->back();
  if (p->leaf()) {
    if (l.idx > 0) {
      --l.idx;
      return true;
    }
    return ClimbBack(path, at_begin);
  }
  // The entry of a branch page: the greatest key of its left child comes
  // before it (the level now means "went down child idx").
  if (l.idx > p->count) return Fault("cursor outside its page");
  return Rightmost(p->child[l.idx], path, at_begin);
}

bool NtxFile::Entry(const Path& path, const char** key, uint32_t* recno) {
  if (path.empty()) return Fault("no entry");
  NtxPage* p = nullptr;
  if (!GetPage(path.back().page, &p)) return false;
  const int i = path.back().idx;
  if (i < 0 || i >= p->count) return Fault("cursor outside its page");
  *key = p->key(i);
  *recno = p->recno[i];
  return true;
}

// Down to the first entry not below (key, recno) in the order of key, then
// record number.
bool NtxFile::DescendEntry(const char* key, uint32_t recno, Path* path,
                           bool* at_end) {
  const size_t L = static_cast<size_t>(info_.length);
  return DescendBy(
      [&](const NtxPage& p, int i) {
        const int c = KeyCmp(p.key(i), key, L);
        return c > 0 || (c == 0 && p.recno[i] >= recno);
      },
      path, at_end);
}

// Finds the entry (key, recno): the first entry of the key, then along the
// equal keys.
bool NtxFile::FindEntry(const char* key, uint32_t recno, Path* path,
                        bool* found) {
  *found = false;
  const size_t L = static_cast<size_t>(info_.length);
  bool end = false;
  // Equal keys usually stand in record order (appends): a descent by key
  // and record number finds the entry at once; otherwise the walk along the
  // equal keys below does.
  if (!DescendEntry(key, recno, path, &end)) return false;
  if (!end) {
    const char* k = nullptr;
    uint32_t r = 0;
    if (!Entry(*path, &k, &r)) return false;
    if (r == recno && KeyCmp(k, key, L) == 0) {
      *found = true;
      return true;
    }
  }
  if (!Descend(key, L, false, path, &end)) return false;
  // The walk along equal keys is bounded by the entries the index can hold:
  // its pages on disk and those only in memory (new pages under the lock).
  const uint64_t pages = std::max<uint64_t>(file_size_, next_page_) / kPageSize;
  const uint64_t bound = (pages + 1) * (header_.geo.max_keys + 1) + 16;
  for (uint64_t steps = 0; !end; ++steps) {
    if (steps > bound) return Fault("walk longer than the file (a cycle?)");
    const char* k = nullptr;
    uint32_t r = 0;
    if (!Entry(*path, &k, &r)) return false;
    if (KeyCmp(k, key, L) != 0) return true;
    if (r == recno) {
      *found = true;
      return true;
    }
    if (!Advance(path, &end)) return false;
  }
  return true;
}

bool NtxFile::SetOn(Cursor* c) {
  const char* k = nullptr;
  uint32_t r = 0;
  if (!Entry(c->path, &k, &r)) return false;
  c->state = Cursor::kOn;
  c->key.assign(k, static_cast<size_t>(info_.length));
  c->recno = r;
  return true;
}

// Finds the cursor's place again after the tree changed.
bool NtxFile::Relocate(Cursor* c) {
  if (c->generation == generation_ || c->state == Cursor::kUnset) {
    c->generation = generation_;
    return true;
  }
  c->generation = generation_;
  if (c->key.size() != static_cast<size_t>(info_.length)) {
    c->state = Cursor::kUnset;
    return true;
  }
  Path path;
  bool found = false;
  if (!FindEntry(c->key.data(), c->recno, &path, &found)) return false;
  if (found) {
    c->path = path;
    c->state = Cursor::kOn;
    return true;
  }
  bool end = false;
  if (!Descend(c->key.data(), c->key.size(), false, &c->path, &end)) {
    return false;
  }
  c->state = end ? Cursor::kGapEnd : Cursor::kGap;
  return true;
}

bool NtxFile::AscEnd(Cursor* c, bool last, int32_t* recno) {
  c->path.clear();
  c->generation = generation_;
  bool none = false;
  if (!(last ? Rightmost(header_.root, &c->path, &none)
             : Leftmost(header_.root, &c->path, &none))) {
    return false;
  }
  if (none) {
    c->state = Cursor::kUnset;
    *recno = 0;
    return true;
  }
  if (!SetOn(c)) return false;
  *recno = static_cast<int32_t>(c->recno);
  return true;
}

bool NtxFile::AscStep(Cursor* c, bool forward, int32_t* recno) {
  if (!Relocate(c)) return false;
  *recno = 0;
  bool none = false;
  switch (c->state) {
    case Cursor::kUnset:
      return true;
    case Cursor::kOn:
      if (!(forward ? Advance(&c->path, &none) : Retreat(&c->path, &none))) {
        return false;
      }
      break;
    case Cursor::kGap:
      if (!forward && !Retreat(&c->path, &none)) return false;
      break;
    case Cursor::kGapEnd:
      if (!forward) return AscEnd(c, true, recno);
      none = true;
      break;
  }
  if (none) {
    c->state = Cursor::kUnset;
    return true;
  }
  // Keys must not go down the order: a tree that says otherwise is corrupt
  // (and would let a walk run on).
  const std::string before = c->state == Cursor::kOn ? c->key : std::string();
  if (!SetOn(c)) return false;
  if (!before.empty()) {
    const int cmp = KeyCmp(c->key.data(), before.data(), before.size());
    if (forward ? cmp < 0 : cmp > 0) return Fault("keys out of order");
  }
  *recno = static_cast<int32_t>(c->recno);
  return true;
}

int32_t NtxFile::First() {
  int32_t r = 0;
  Cursor c = cursor_;
  const bool last = descending();
  if (!RunRead([&] { return AscEnd(&c, last, &r); })) {
    cursor_ = Cursor();
    return -1;
  }
  cursor_ = c;
  return r;
}

int32_t NtxFile::Last() {
  int32_t r = 0;
  Cursor c = cursor_;
  const bool last = !descending();
  if (!RunRead([&] { return AscEnd(&c, last, &r); })) {
    cursor_ = Cursor();
    return -1;
  }
  cursor_ = c;
  return r;
}

int32_t NtxFile::Next() {
  int32_t r = 0;
  Cursor c;
  const bool forward = !descending();
  if (!RunRead([&] {
        c = cursor_;
        return AscStep(&c, forward, &r);
      })) {
    cursor_ = Cursor();
    return -1;
  }
  cursor_ = c;
  return r;
}

int32_t NtxFile::Prev() {
  int32_t r = 0;
  Cursor c;
  const bool forward = descending();
  if (!RunRead([&] {
        c = cursor_;
        return AscStep(&c, forward, &r);
      })) {
    cursor_ = Cursor();
    return -1;
  }
  cursor_ = c;
  return r;
}

void NtxFile::SyncTo(int32_t recno, const char* rec) {
  if (cursor_.state == Cursor::kOn && cursor_.generation == generation_ &&
      cursor_.recno == static_cast<uint32_t>(recno)) {
    return;
  }
  std::string key(static_cast<size_t>(info_.length), ' ');
  KeyOf(rec, recno, key.data());
  cursor_.key = key;
  cursor_.recno = static_cast<uint32_t>(recno);
  cursor_.state = Cursor::kGap;  // relocated before use
  cursor_.generation = 0;
}

bool NtxFile::DoSeek(const std::string& key, Cursor* c, SeekResult* r) {
  const size_t n = std::min(key.size(), static_cast<size_t>(info_.length));
  c->generation = generation_;
  bool end = false;
  if (!descending()) {
    if (!Descend(key.data(), n, false, &c->path, &end)) return false;
    if (end) {
      c->state = Cursor::kUnset;
      *r = kEnd;
      return true;
    }
    if (!SetOn(c)) return false;
    *r = KeyCmp(c->key.data(), key.data(), n) == 0 ? kFound : kAfter;
    return true;
  }
  // Descending order: the last entry whose key does not exceed the sought
  // one comes first.
  if (!Descend(key.data(), n, true, &c->path, &end)) return false;
  bool begin = false;
  if (end) {
    c->path.clear();
    if (!Rightmost(header_.root, &c->path, &begin)) return false;
  } else if (!Retreat(&c->path, &begin)) {
    return false;
  }
  if (begin) {
    c->state = Cursor::kUnset;
    *r = kEnd;
    return true;
  }
  if (!SetOn(c)) return false;
  *r = KeyCmp(c->key.data(), key.data(), n) == 0 ? kFound : kAfter;
  return true;
}

NtxFile::SeekResult NtxFile::Seek(const std::string& key, int32_t* recno) {
  SeekResult r = kSeekFailed;
  Cursor c;
  if (!RunRead([&] {
        c = Cursor();
        return DoSeek(key, &c, &r);
      })) {
    cursor_ = Cursor();
    return kSeekFailed;
  }
  cursor_ = c;
  *recno = c.state == Cursor::kOn ? static_cast<int32_t>(c.recno) : 0;
  return r;
}

const char* NtxFile::cursor_key() const {
  return cursor_.state == Cursor::kOn ? cursor_.key.data() : nullptr;
}

int32_t NtxFile::cursor_recno() const {
  return cursor_.state == Cursor::kOn ? static_cast<int32_t>(cursor_.recno) : 0;
}

// --- changes ----------------------------------------------------------------

bool NtxFile::AddKey(const char* key, uint32_t recno, bool* added) {
  if (added) *added = false;
  fault_.clear();
  if (!StartChange()) return false;
  // Under the lock nobody else reads the tree: the entry waits with others
  // for one merge (a unique index needs the tree to tell whether the key
  // is new).
  if (!header_.unique && recno != 0 && recno <= INT32_MAX) {
    staged_.Add(key, recno);
    if (added) *added = true;
    return staged_.bytes() <= g_staged_budget || MergeStaged();
  }
  return MergeStaged() && InsertNow(key, recno, added);
}

bool NtxFile::MergeStaged() {
  if (staged_.empty()) return true;
  const std::vector<uint32_t> order = staged_.Sorted();
  fault_.clear();
  NtxPage* root = nullptr;
  bool ok = GetPage(header_.root, &root);
  if (!ok) {
    ReportFault();
  } else if (root->leaf() && root->count == 0 &&
             order.size() >= kBuildMinimum) {
    ok = BuildFromStaged(order);
  } else {
    for (uint32_t slot : order) {
      if (!InsertNow(staged_.key(slot), staged_.recno(slot), nullptr)) {
        ok = false;
        break;
      }
    }
  }
  staged_.Clear();
  return ok;
}

// The tree is empty: the staged entries (in order) are written bottom-up
// with full pages after the header, and become the tree.
bool NtxFile::BuildFromStaged(const std::vector<uint32_t>& order) {
  // No page of the old tree stays reachable (the empty root included), so
  // none of the pages in memory is written any more.
  DropCache();
  BeginWrites();
  NtxTreeWriter writer(file_.get(), header_.geo);
  bool ok = true;
  for (uint32_t slot : order) {
    if (!writer.Add(staged_.key(slot), staged_.recno(slot))) {
      ok = false;
      break;
    }
  }
  uint32_t root = 0;
  uint32_t end = 0;
  if (ok) ok = writer.Finish(&root, &end);
  if (!ok) {
    EndWrites();
    ReportError(kErrWrite, path_.c_str(), writer.error().c_str());
    return false;
  }
  header_.root = root;
  header_dirty_ = true;
  file_size_ = std::max<uint64_t>(file_size_, end);
  next_page_ = std::max(next_page_, end);
  // The header names the new root at once: the file holds a whole tree
  // whenever the counter is even.
  return FlushPages();
}

// Adds the entry to the tree itself.
bool NtxFile::InsertNow(const char* key, uint32_t recno, bool* added) {
  if (added) *added = false;
  TrimCache();  // (no page is held between two changes)
  const size_t L = static_cast<size_t>(info_.length);
  const Geometry& g = header_.geo;
  if (header_.unique) {
    Path path;
    bool end = false;
    if (!Descend(key, L, false, &path, &end)) {
      ReportFault();
      return false;
    }
    if (!end) {
      const char* k = nullptr;
      uint32_t r = 0;
      if (!Entry(path, &k, &r)) {
        ReportFault();
        return false;
      }
      if (KeyCmp(k, key, L) == 0) return true;  // the first record stays
    }
  }
  // Down to the leaf, after all equal keys.
  Path& path = change_path_;
  path.clear();
  uint32_t off = header_.root;
  for (;;) {
    if (path.size() >= static_cast<size_t>(kMaxDepth)) {
      Fault("tree deeper than any real index (a cycle?)");
      ReportFault();
      return false;
    }
    NtxPage* p = nullptr;
    if (!GetPage(off, &p)) {
      ReportFault();
      return false;
    }
    int lo = 0;
    int hi = p->count;
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (KeyCmp(p->key(mid), key, L) > 0) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    path.push_back({off, lo});
    if (p->leaf()) break;
    off = p->child[lo];
  }
  const char* up_key = key;
  uint32_t up_recno = recno;
  uint32_t right = 0;
  std::vector<char>& carry = carry_;
  carry.resize(L);
  for (size_t level = path.size(); level-- > 0;) {
    NtxPage* p = nullptr;
    if (!GetPage(path[level].page, &p)) {
      ReportFault();
      return false;
    }
    p->InsertAt(path[level].idx, up_key, up_recno, right);
    MarkDirty(p);
    const bool fits =
        p->count <= g.max_keys && 1020 - g.item_size * (p->count - 1) > 3;
    if (fits) {
      if (added) *added = true;
      return true;
    }
    // Split: the upper half moves to a new page at the end of the file,
    // the middle key goes up.
    const int mid = p->count / 2;
    NtxPage* r = NewPage();
    // NewPage may not move p: pages live in their own allocations.
    const int moved = p->count - mid - 1;
    std::memcpy(r->key(0), p->key(mid + 1), moved * L);
    std::memcpy(&r->recno[0], &p->recno[mid + 1], moved * sizeof(uint32_t));
    std::memcpy(&r->child[0], &p->child[mid + 1],
                (moved + 1) * sizeof(uint32_t));
    r->count = moved;
    std::memcpy(carry.data(), p->key(mid), L);
    up_recno = p->recno[mid];
    up_key = carry.data();
    for (int i = mid + 1; i <= p->count; ++i) p->child[i] = 0;
    p->count = mid;
    right = r->offset;
    if (level == 0) {
      NtxPage* root = NewPage();
      std::memcpy(root->key(0), up_key, L);
      root->recno[0] = up_recno;
      root->child[0] = p->offset;
      root->child[1] = right;
      root->count = 1;
      header_.root = root->offset;
      header_dirty_ = true;
      if (added) *added = true;
      break;
    }
  }
  if (dirty_ > MaxDirty()) return FlushPages();
  return true;
}

bool NtxFile::RemoveKey(const char* key, uint32_t recno, bool* removed) {
  if (removed) *removed = false;
  fault_.clear();
  if (!StartChange()) return false;
  if (staged_.Remove(key, recno)) {
    if (removed) *removed = true;
    return true;
  }
  if (!MergeStaged()) return false;
  TrimCache();
  const size_t L = static_cast<size_t>(info_.length);
  Path& path = change_path_;
  bool found = false;
  if (!FindEntry(key, recno, &path, &found)) {
    ReportFault();
    return false;
  }
  if (!found) return true;  // a missing entry is no error
  NtxPage* p = nullptr;
  if (!GetPage(path.back().page, &p)) {
    ReportFault();
    return false;
  }
  if (!p->leaf()) {
    // An entry of a branch page gives way to its successor from the leaf
    // level, which is then removed from its leaf.
    const size_t depth = path.size();
    const int i = path.back().idx;
    bool end = false;
    if (!Advance(&path, &end)) {
      ReportFault();
      return false;
    }
    NtxPage* leaf = nullptr;
    if (end || path.size() <= depth || !GetPage(path.back().page, &leaf) ||
        !leaf->leaf() || path.back().idx != 0) {
      Fault("branch entry without a successor leaf");
      ReportFault();
      return false;
    }
    if (!GetPage(path[depth - 1].page, &p)) {
      ReportFault();
      return false;
    }
    std::memcpy(p->key(i), leaf->key(0), L);
    p->recno[i] = leaf->recno[0];
    MarkDirty(p);
    p = leaf;
  }
  p->EraseAt(path.back().idx);
  MarkDirty(p);
  if (!Rebalance(&path)) {
    ReportFault();
    return false;
  }
  if (removed) *removed = true;
  if (dirty_ > MaxDirty()) return FlushPages();
  return true;
}

bool NtxFile::Rebalance(Path* path) {
  const Geometry& g = header_.geo;
  const size_t L = static_cast<size_t>(info_.length);
  for (size_t level = path->size() - 1; level > 0; --level) {
    NtxPage* p = nullptr;
    if (!GetPage((*path)[level].page, &p)) return false;
    if (p->count >= g.half_page) break;
    NtxPage* parent = nullptr;
    if (!GetPage((*path)[level - 1].page, &parent)) return false;
    const int ci = (*path)[level - 1].idx;
    if (ci > parent->count || parent->child[ci] != p->offset) {
      return Fault("page not found in its parent");
    }
    if (parent->count == 0) continue;
    const int sep = ci > 0 ? ci - 1 : ci;
    NtxPage* left = nullptr;
    NtxPage* right = nullptr;
    if (!GetPage(parent->child[sep], &left) ||
        !GetPage(parent->child[sep + 1], &right)) {
      return false;
    }
    if (left == right || left->leaf() != right->leaf()) {
      return Fault("neighbouring pages of different kinds");
    }
    const int total = left->count + 1 + right->count;
    if (total <= g.max_keys) {
      // Join: the separator and the right page's keys go to the left page.
      const int lc = left->count;
      std::memcpy(left->key(lc), parent->key(sep), L);
      left->recno[lc] = parent->recno[sep];
      std::memcpy(left->key(lc + 1), right->key(0), right->count * L);
      std::memcpy(&left->recno[lc + 1], &right->recno[0],
                  right->count * sizeof(uint32_t));
      std::memcpy(&left->child[lc + 1], &right->child[0],
                  (right->count + 1) * sizeof(uint32_t));
      left->count = total;
      parent->EraseAt(sep);
      MarkDirty(left);
      MarkDirty(parent);
      // The right page is no longer referenced (freed pages are not reused).
      right->count = 0;
      MarkDirty(right);
      continue;
    }
    // Share the keys evenly through the separator.
    std::vector<char> keys(static_cast<size_t>(total) * L);
    std::vector<uint32_t> recnos(total);
    std::vector<uint32_t> children(total + 1);
    int at = 0;
    std::memcpy(keys.data(), left->key(0), left->count * L);
    std::memcpy(recnos.data(), left->recno.data(),
                left->count * sizeof(uint32_t));
    std::memcpy(children.data(), left->child.data(),
                (left->count + 1) * sizeof(uint32_t));
    at = left->count;
    std::memcpy(keys.data() + at * L, parent->key(sep), L);
    recnos[at] = parent->recno[sep];
    ++at;
    std::memcpy(keys.data() + at * L, right->key(0), right->count * L);
    std::memcpy(&recnos[at], right->recno.data(),
                right->count * sizeof(uint32_t));
    std::memcpy(&children[left->count + 1], right->child.data(),
                (right->count + 1) * sizeof(uint32_t));
    const int nl = (total - 1) / 2;
    const int nr = total - 1 - nl;
    std::fill(left->child.begin(), left->child.end(), 0);
    std::fill(right->child.begin(), right->child.end(), 0);
    std::memcpy(left->key(0), keys.data(), nl * L);
    std::memcpy(left->recno.data(), recnos.data(), nl * sizeof(uint32_t));
    std::memcpy(left->child.data(), children.data(),
                (nl + 1) * sizeof(uint32_t));
    left->count = nl;
    std::memcpy(parent->key(sep), keys.data() + nl * L, L);
    parent->recno[sep] = recnos[nl];
    std::memcpy(right->key(0), keys.data() + (nl + 1) * L, nr * L);
    std::memcpy(right->recno.data(), &recnos[nl + 1], nr * sizeof(uint32_t));
    std::memcpy(right->child.data(), &children[nl + 1],
                (nr + 1) * sizeof(uint32_t));
    right->count = nr;
    MarkDirty(left);
    MarkDirty(right);
    MarkDirty(parent);
    break;
  }
  // A root left without keys gives way to its only child.
  for (int guard = 0; guard < kMaxDepth; ++guard) {
    NtxPage* root = nullptr;
    if (!GetPage(header_.root, &root)) return false;
    if (root->count > 0 || root->leaf()) break;
    header_.root = root->child[0];
    header_dirty_ = true;
  }
  return true;
}

// --- IndexHook
// ----------------------------------------------------------------

bool NtxFile::KeyChanges(int32_t recno, const char* old_rec,
                         const char* new_rec) {
  const size_t L = static_cast<size_t>(info_.length);
  scratch_old_.resize(L);
  scratch_new_.resize(L);
  const bool in_old = KeyOf(old_rec, recno, scratch_old_.data());
  const bool in_new = KeyOf(new_rec, recno, scratch_new_.data());
  if (in_old != in_new) return true;
  return in_old && std::memcmp(scratch_old_.data(), scratch_new_.data(), L);
}

bool NtxFile::Update(int32_t recno, const char* old_rec, const char* new_rec) {
  last_removed_ = last_added_ = false;
  const size_t L = static_cast<size_t>(info_.length);
  last_old_key_.assign(L, ' ');
  last_new_key_.assign(L, ' ');
  const bool in_old = KeyOf(old_rec, recno, last_old_key_.data());
  const bool in_new = KeyOf(new_rec, recno, last_new_key_.data());
  if (in_old == in_new && (!in_old || last_old_key_ == last_new_key_)) {
    return true;
  }
  const uint32_t r = static_cast<uint32_t>(recno);
  if (in_old && !RemoveKey(last_old_key_.data(), r, &last_removed_)) {
    return false;
  }
  if (in_new && !AddKey(last_new_key_.data(), r, &last_added_)) {
    if (last_removed_) AddKey(last_old_key_.data(), r);
    last_removed_ = false;
    return false;
  }
  return true;
}

void NtxFile::UndoUpdate(int32_t recno, const char*, const char*) {
  const uint32_t r = static_cast<uint32_t>(recno);
  if (last_added_) RemoveKey(last_new_key_.data(), r);
  if (last_removed_) AddKey(last_old_key_.data(), r);
  last_added_ = last_removed_ = false;
}

bool NtxFile::Insert(int32_t recno, const char* rec) {
  last_removed_ = last_added_ = false;
  last_new_key_.assign(static_cast<size_t>(info_.length), ' ');
  if (!KeyOf(rec, recno, last_new_key_.data())) return true;
  return AddKey(last_new_key_.data(), static_cast<uint32_t>(recno),
                &last_added_);
}

void NtxFile::UndoInsert(int32_t recno, const char*) {
  if (last_added_) {
    RemoveKey(last_new_key_.data(), static_cast<uint32_t>(recno));
  }
  last_added_ = false;
}

// --- whole tree -------------------------------------------------------------

int64_t NtxFile::CountEntries() {
  int64_t n = 0;
  const std::string fault = CheckTree([&](const char*, uint32_t) { ++n; });
  if (!fault.empty()) {
    ReportError(kErrResult, path_.c_str(), fault.c_str());
    return -1;
  }
  return n;
}

std::string NtxFile::CheckTree(
    const std::function<void(const char* key, uint32_t recno)>& entry) {
  std::string result;
  // The entries of one walk; handed out only when the walk read a stable
  // tree (a walk that met another process's writes runs again).
  std::vector<char> found;
  std::vector<uint32_t> recnos;
  auto check = [&]() -> bool {
    found.clear();
    recnos.clear();
    const Geometry& g = header_.geo;
    const size_t L = static_cast<size_t>(info_.length);
    std::unordered_set<uint32_t> seen;
    std::string prev;
    int leaf_depth = -1;
    // Depth-first walk in key order with an explicit stack.
    struct Frame {
      uint32_t page;
      int idx;  // next child to visit
      int depth;
    };
    std::vector<Frame> stack;
    auto enter = [&](uint32_t off, int depth) -> bool {
      if (depth >= kMaxDepth) return Fault("tree deeper than any real index");
      if (!seen.insert(off).second) {
        char text[80];
        std::snprintf(text, sizeof text,
                      "page %u is reached twice (a cycle or a shared page)",
                      off);
        return Fault(text);
      }
      NtxPage* p = nullptr;
      if (!GetPage(off, &p)) return false;
      if (p->leaf()) {
        if (leaf_depth < 0) leaf_depth = depth;
        if (leaf_depth != depth) {
          return Fault("leaves at different depths");
        }
      } else if (p->count == 0 && off != header_.root) {
        // A branch page without keys only passes its child on.
      }
      stack.push_back({off, 0, depth});
      return true;
    };
    auto visit = [&](const char* k, uint32_t r) -> bool {
      if (!prev.empty() && KeyCmp(prev.data(), k, L) > 0) {
        char text[80];
        std::snprintf(text, sizeof text, "keys out of order at record %u", r);
        return Fault(text);
      }
      prev.assign(k, L);
      if (entry) {
        found.insert(found.end(), k, k + L);
        recnos.push_back(r);
      }
      return true;
    };
    if (g.item_size != g.key_length + 8 || g.max_keys != 2 * g.half_page ||
        !GeometryFits(g)) {
      return Fault("header geometry");
    }
    if (!enter(header_.root, 0)) return false;
    while (!stack.empty()) {
      Frame& f = stack.back();
      NtxPage* p = nullptr;
      if (!GetPage(f.page, &p)) return false;
      if (p->leaf()) {
        for (int i = 0; i < p->count; ++i) {
          if (!visit(p->key(i), p->recno[i])) return false;
        }
        stack.pop_back();
        continue;
      }
      if (f.idx > p->count) {
        stack.pop_back();
        continue;
      }
      if (f.idx > 0) {
        if (!visit(p->key(f.idx - 1), p->recno[f.idx - 1])) return false;
      }
      const uint32_t child = p->child[f.idx];
      const int depth = f.depth + 1;
      ++f.idx;
      if (!enter(child, depth)) return false;
    }
    return true;
  };
  fault_.clear();
  if (!MergeStaged()) return "staged entries could not be merged";
  // The walk runs as one read (under the lock when the file keeps changing).
  bool ok = false;
  bool stable = false;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    fault_.clear();
    const int b = BeginRead();
    if (b < 0) {
      stable = true;  // the header itself is bad
      break;
    }
    if (b == 0) break;
    ok = check();
    if (EndRead()) {
      stable = true;
      break;
    }
  }
  if (!stable) {
    fault_.clear();
    if (!LockNow()) return "the index lock cannot be taken";
    ok = Refresh() && check();
    file_->Unlock(kLockOffset, kLockLength);
    locked_ = false;
  }
  if (ok) {
    const size_t L = static_cast<size_t>(info_.length);
    for (size_t i = 0; entry && i < recnos.size(); ++i) {
      entry(found.data() + i * L, recnos[i]);
    }
    return "";
  }
  result = fault_.empty() ? "unknown fault" : fault_;
  if (result == "header") result = "header checks fail";
  if (result[0] == '!') result.erase(0, 1);
  return result;
}

}  // namespace xbase32
