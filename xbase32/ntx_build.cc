#include "ntx_build.h"

#include <cstring>
#include <memory>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "key_sort.h"
#include "ntx_key.h"
#include "ntx_mark.h"
#include "platform/env.h"

namespace xbase32 {

using namespace ntx;

namespace {

// Pages collected before one write.
constexpr size_t kWriteBatch = 128;

}  // namespace

NtxTreeWriter::NtxTreeWriter(platform::File* file, const Geometry& geo)
    : file_(file), geo_(geo) {}

bool NtxTreeWriter::FlushBuffer() {
  if (buffer_.empty()) return true;
  platform::Status s =
      file_->WriteAt(buffer_start_, buffer_.data(), buffer_.size());
  if (!s.ok()) {
    error_ = s.ToString();
    return false;
  }
  buffer_start_ += static_cast<uint32_t>(buffer_.size());
  buffer_.clear();
  return true;
}

bool NtxTreeWriter::Write(const NtxPage& p, uint32_t* offset) {
  if (buffer_.size() >= kWriteBatch * kPageSize && !FlushBuffer()) {
    return false;
  }
  if (next_ > UINT32_MAX - 2 * kPageSize) {
    error_ = "index file too large";
    return false;
  }
  const size_t at = buffer_.size();
  buffer_.resize(at + kPageSize);
  EncodePage(p, geo_, buffer_.data() + at);
  *offset = next_;
  next_ += kPageSize;
  return true;
}

bool NtxTreeWriter::Rewrite(const NtxPage& p) {
  if (!FlushBuffer()) return false;
  uint8_t page[kPageSize];
  EncodePage(p, geo_, page);
  platform::Status s = file_->WriteAt(p.offset, page, kPageSize);
  if (!s.ok()) {
    error_ = s.ToString();
    return false;
  }
  return true;
}

bool NtxTreeWriter::AddAt(size_t level, const char* key, uint32_t recno,
                          uint32_t left) {
  if (level >= static_cast<size_t>(kMaxDepth)) {
    error_ = "tree too deep";
    return false;
  }
  if (levels_.size() <= level) {
    levels_.emplace_back();
    levels_.back().cur.Init(geo_);
  }
  Level& l = levels_[level];
  NtxPage& p = l.cur;
  if (p.count < geo_.max_keys) {
    const int i = p.count;
    std::memcpy(p.key(i), key, static_cast<size_t>(geo_.key_length));
    p.recno[i] = recno;
    p.child[i] = left;
    ++p.count;
    return true;
  }
  // The page is full: it is complete with left as its last child, and the
  // key goes up with the page as its left child.
  p.child[p.count] = left;
  uint32_t off = 0;
  if (!Write(p, &off)) return false;
  p.offset = off;
  std::swap(l.done, l.cur);
  l.has_done = true;
  l.cur.Init(geo_);
  return AddAt(level + 1, key, recno, off);
}

bool NtxTreeWriter::Add(const char* key, uint32_t recno) {
  return AddAt(0, key, recno, 0);
}

bool NtxTreeWriter::Finish(uint32_t* root, uint32_t* end) {
  if (levels_.empty()) {
    levels_.emplace_back();
    levels_.back().cur.Init(geo_);
  }
  const size_t top = levels_.size() - 1;
  // Levels left without keys below the top: rotate one key down through
  // each from the full page on its left.
  for (size_t j = 0; j < top; ++j) {
    if (levels_[j].cur.count > 0) continue;
    size_t m = j + 1;
    while (m < top && levels_[m].cur.count == 0) ++m;
    if (levels_[m].cur.count == 0) {
      error_ = "empty top level";
      return false;
    }
    for (size_t i = m; i-- > j;) {
      NtxPage& parent = levels_[i + 1].cur;
      const int pidx = i + 1 == m ? parent.count - 1 : 0;
      Level& l = levels_[i];
      if (!l.has_done || l.done.count < 2) {
        error_ = "no page to take a key from";
        return false;
      }
      NtxPage& f = l.done;
      NtxPage& p = l.cur;
      const size_t L = static_cast<size_t>(geo_.key_length);
      std::memcpy(p.key(0), parent.key(pidx), L);
      p.recno[0] = parent.recno[pidx];
      p.child[0] = f.child[f.count];
      p.count = 1;
      std::memcpy(parent.key(pidx), f.key(f.count - 1), L);
      parent.recno[pidx] = f.recno[f.count - 1];
      f.child[f.count] = 0;
      --f.count;
      if (!Rewrite(f)) return false;
    }
    j = m - 1;
  }
  uint32_t below = 0;
  for (size_t j = 0; j <= top; ++j) {
    NtxPage& p = levels_[j].cur;
    if (j > 0) p.child[p.count] = below;
    if (!Write(p, &below)) return false;
  }
  if (!FlushBuffer()) return false;
  *root = below;
  *end = next_;
  return true;
}

bool BuildNtx(DbfFile* data, const std::string& path, const std::string& expr,
              const NtxBuildOptions& options, NtxBuildStats* stats) {
  if (expr.size() > static_cast<size_t>(kMaxExprLength)) {
    ReportError(kErrNotIndex,
                "expression source length > max allowable chars for index",
                path.c_str());
    return false;
  }
  DbfExprTable table(data);
  ExprError err;
  std::unique_ptr<Expr> key_expr = Expr::Parse(&table, expr.c_str(), &err);
  if (!key_expr) {
    ReportError(err.code, err.details[0].c_str(), err.details[1].c_str(),
                err.details[2].c_str());
    return false;
  }
  KeyInfo info;
  if (!KeyInfoOf(*key_expr, &info)) {
    ReportError(kErrInfo, "Invalid key type in index file", path.c_str());
    return false;
  }
  if (info.length > kMaxCreateKeyLength) {
    ReportError(kErrInfo, "Corrupt NTX Clipper index file", path.c_str());
    return false;
  }
  std::unique_ptr<Expr> filter;
  if (!options.filter.empty()) {
    filter = Expr::Parse(&table, options.filter.c_str(), &err);
    if (!filter) {
      ReportError(err.code, err.details[0].c_str(), err.details[1].c_str(),
                  err.details[2].c_str());
      return false;
    }
    if (filter->type() != 'L') {
      ReportError(kErrNotIndex, "Filter should be Logical", path.c_str());
      return false;
    }
  }
  const Geometry geo = GeometryFor(info.length);

  // Open the file (or create it) and take the index lock: the tree is
  // rewritten in place.
  platform::Env* env = platform::Env::Current();
  std::unique_ptr<platform::File> file;
  platform::Status s =
      env->OpenFile(path, platform::OpenMode::kReadWrite, &file);
  if (!s.ok()) {
    s = env->OpenFile(path, platform::OpenMode::kCreateAlways, &file);
    if (!s.ok()) {
      ReportError(kErrCreate, "File Name:", path.c_str(), s.ToString().c_str());
      return false;
    }
  }
  s = file->Lock(kLockOffset, kLockLength);
  if (!s.ok()) {
    ReportError(kErrLock, path.c_str(), s.ToString().c_str());
    return false;
  }
  std::unique_ptr<platform::ChangeCounter> counter;
  if (!file->OpenChangeCounter(&counter).ok()) counter.reset();
  uint8_t old[4] = {0, 0, 0, 0};
  size_t got = 0;
  file->ReadAt(0, old, sizeof old, &got);
  const uint16_t old_counter = got == sizeof old ? Get16(old + kOffCounter) : 0;
  // While the counter is odd other processes know the file is changing.
  if (counter) counter->Bump();
  auto done = [&](bool ok) {
    if (counter) counter->Bump();
    file->Unlock(kLockOffset, kLockLength);
    return ok;
  };

  // Keys of all records, in record-number order, into the sort.
  if (!data->WritePending()) return done(false);
  const int32_t count = data->Count();
  if (count < 0) return done(false);
  KeySorter sorter(info.length, options.unique, static_cast<uint64_t>(count));
  std::vector<char> key(static_cast<size_t>(info.length));
  DbfScan scan(data);
  for (int32_t n = 1; n <= count; ++n) {
    if (!data->ReadRecord(n)) {
      ReportError(kErrRead, "Sorting", data->path().c_str());
      return done(false);
    }
    if (filter && !filter->EvaluateLogical()) continue;
    const char* v = key_expr->Evaluate();
    FormKey(info, key_expr->type(), v, key_expr->length(), key.data());
    if (!sorter.Add(key.data(), static_cast<uint32_t>(n))) return done(false);
  }
  if (!sorter.Finish()) return done(false);

  s = file->Truncate(0);
  if (!s.ok()) {
    ReportError(kErrSetLength, path.c_str(), s.ToString().c_str());
    return done(false);
  }
  NtxTreeWriter writer(file.get(), geo);
  const char* k = nullptr;
  uint32_t recno = 0;
  uint64_t entries = 0;
  while (sorter.Next(&k, &recno)) {
    if (!writer.Add(k, recno)) {
      ReportError(kErrWrite, path.c_str(), writer.error().c_str());
      return done(false);
    }
    ++entries;
  }
  if (sorter.failed()) return done(false);
  uint32_t root = 0;
  uint32_t end = 0;
  if (!writer.Finish(&root, &end)) {
    ReportError(kErrWrite, path.c_str(), writer.error().c_str());
    return done(false);
  }
  NtxHeader h;
  h.signature = kSignature;
  h.counter = static_cast<uint16_t>(old_counter + 1);
  h.root = root;
  h.free_page = 0;
  h.geo = geo;
  h.key_decimals = info.type == 'N' ? info.decimals : 0;
  h.expr = expr;
  h.filter = options.filter;
  h.unique = options.unique;
  h.unique_word = options.unique ? 0x0100 : 0;
  h.descending = options.descending;
  h.descending_word = options.descending ? 1 : 0;
  uint8_t page[kPageSize];
  EncodeHeader(h, page);
  s = file->WriteAt(0, page, kPageSize);
  if (s.ok()) s = file->Truncate(end);
  // The new header has no crash mark; handles elsewhere that hold one
  // (they may still change the tree) get it back.
  if (s.ok()) {
    if (file->TryLock(kMarkHolderOffset, kMarkHolderLength) ==
        platform::LockResult::kLocked) {
      file->Unlock(kMarkHolderOffset, kMarkHolderLength);
    } else if (!WriteNtxMark(file.get(), kMarkWriting)) {
      return done(false);
    }
  }
  if (!s.ok()) {
    ReportError(kErrWrite, path.c_str(), s.ToString().c_str());
    return done(false);
  }
  if (stats) {
    stats->entries = entries;
    stats->runs = sorter.runs_written();
    stats->pages = writer.pages();
  }
  return done(true);
}

}  // namespace xbase32
