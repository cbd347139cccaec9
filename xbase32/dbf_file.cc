#include "dbf_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "dbf_expr_table.h"
#include "dbf_format.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/number_format.h"
#include "memo_file.h"

namespace xbase32 {
namespace {

using platform::Env;
using platform::Status;

// Read-ahead block size (at least one record is always read).
constexpr size_t kCacheBytes = 64 * 1024;
// A record far from the previous one (index order, Goto) reads this much.
constexpr size_t kNearCacheBytes = 4 * 1024;
// Records appended under a pinned lock are written once they fill this much.
constexpr size_t kPendingBytes = 1024 * 1024;

Env* env() { return Env::Current(); }

std::string UpperTrimmedName(const char* name) {
  std::string s(name, strnlen(name, dbf::kDescNameSize));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void StampDate(uint8_t* header) {
  platform::LocalTime t = env()->Now();
  header[dbf::kOffYear] = static_cast<uint8_t>(t.year - 1900);
  header[dbf::kOffMonth] = static_cast<uint8_t>(t.month);
  header[dbf::kOffDay] = static_cast<uint8_t>(t.day);
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > dbf::kMaxFieldNameLength) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// Checks one field of a creation list; reports and answers false when it
// cannot be stored so that the file opens again.
bool CheckField(const WDBASE_FIELD& f, const std::string& name, char type,
                const std::string& path) {
  const int len = static_cast<uint16_t>(f.len);
  if (!ValidName(name)) {
    ReportError(kErrCreate, "Invalid Field Name", name.c_str(), path.c_str());
    return false;
  }
  switch (type) {
    case 'C':
      if (len < 1 || len > 65534) {
        ReportError(kErrCreate, "Invalid Field Length", name.c_str(),
                    path.c_str());
        return false;
      }
      return true;
    case 'N':
    case 'F':
      if (len < 1 || len > 255 || f.dec < 0 || f.dec >= len) {
        ReportError(kErrCreate, "Invalid Field Length", name.c_str(),
                    path.c_str());
        return false;
      }
      return true;
    case 'D':
    case 'L':
    case 'M':
    case 'G':
      return true;
    default:
      ReportError(kErrFieldType, name.c_str(), path.c_str());
      return false;
  }
}

}  // namespace

DbfFile::~DbfFile() {
  if (file_) Close();
}

bool DbfFile::Create(const std::string& path, const WDBASE_FIELD* fields) {
  // Count, validate and measure.
  std::vector<std::string> names;
  bool memo = false;
  uint64_t reclen = 1;
  int n = 0;
  for (; fields[n].name[0] != '\0'; ++n) {
    const WDBASE_FIELD& f = fields[n];
    std::string name = UpperTrimmedName(f.name);
    char type =
        static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    if (!CheckField(f, name, type, path)) return false;
    if (std::find(names.begin(), names.end(), name) != names.end()) {
      ReportError(kErrCreate, "Duplicate Field Name", name.c_str(),
                  path.c_str());
      return false;
    }
    names.push_back(name);
    if (dbf::IsMemoType(type)) memo = true;
    reclen += dbf::CreateWidth(type, static_cast<uint16_t>(f.len));
  }
  if (n == 0) {
    ReportError(kErrCreate, "No Fields", path.c_str());
    return false;
  }
  if (reclen > dbf::kMaxRecordLength) {
    ReportError(kErrRecordLength, path.c_str());
    return false;
  }
  if (dbf::kHeaderSize + static_cast<uint64_t>(dbf::kDescriptorSize) * n + 2 >=
      65535) {
    ReportError(kErrCreate, "Too Many Fields", path.c_str());
    return false;
  }

  const uint32_t header_length =
      dbf::kHeaderSize + dbf::kDescriptorSize * n + 1;
  std::vector<uint8_t> image(header_length + 1, 0);
  uint8_t* h = image.data();
  h[dbf::kOffVersion] = memo ? dbf::kVersionMemo : dbf::kVersionPlain;
  StampDate(h);
  dbf::Put32(h + dbf::kOffCount, 0);
  dbf::Put16(h + dbf::kOffHeaderLength, header_length);
  dbf::Put16(h + dbf::kOffRecordLength, static_cast<uint32_t>(reclen));
  for (int i = 0; i < n; ++i) {
    const WDBASE_FIELD& f = fields[i];
    uint8_t* d = h + dbf::kHeaderSize + dbf::kDescriptorSize * i;
    std::memcpy(d + dbf::kDescName, names[i].data(), names[i].size());
    const char type =
        static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    d[dbf::kDescType] = static_cast<uint8_t>(type);
    const uint16_t len = static_cast<uint16_t>(f.len);
    switch (type) {
      case 'C':
        d[dbf::kDescWidth] = static_cast<uint8_t>(len & 0xFF);
        d[dbf::kDescDecimals] = static_cast<uint8_t>(len >> 8);
        break;
      case 'F':
      case 'N':
        d[dbf::kDescWidth] = static_cast<uint8_t>(len);
        d[dbf::kDescDecimals] = static_cast<uint8_t>(f.dec);
        break;
      default:
        d[dbf::kDescWidth] = static_cast<uint8_t>(dbf::CreateWidth(type, len));
        break;
    }
  }
  image[header_length - 1] = static_cast<uint8_t>(dbf::kDescriptorEnd);
  image[header_length] = static_cast<uint8_t>(dbf::kFileEnd);

  std::unique_ptr<platform::File> file;
  Status s = env()->OpenFile(path, platform::OpenMode::kCreateAlways, &file);
  if (!s.ok()) {
    ReportError(kErrCreate, "File Name:", path.c_str(), s.ToString().c_str());
    return false;
  }
  s = file->WriteAt(0, image.data(), image.size());
  if (!s.ok()) {
    ReportError(kErrWrite, "File Name:", path.c_str(), s.ToString().c_str());
    file.reset();
    env()->DeleteFile(path);
    return false;
  }
  file.reset();
  if (memo && !CreateMemoFile(MemoPathFor(path))) {
    env()->DeleteFile(path);
    return false;
  }
  return true;
}

std::unique_ptr<DbfFile> DbfFile::Open(const std::string& path) {
  std::unique_ptr<DbfFile> d(new DbfFile);
  d->path_ = path;
  Status s = env()->OpenFile(path, platform::OpenMode::kReadWrite, &d->file_);
  if (!s.ok()) {
    if (Config().open_errors) {
      ReportError(kErrOpen, "File Name:", path.c_str());
    } else {
      ReportError(kErrOpen);
    }
    return nullptr;
  }
  uint8_t header[dbf::kHeaderSize];
  size_t got = 0;
  s = d->file_->ReadAt(0, header, sizeof header, &got);
  if (!s.ok() || got != sizeof header) {
    ReportError(kErrNotData, path.c_str());
    d->file_.reset();
    return nullptr;
  }
  d->version_ = header[dbf::kOffVersion];
  d->header_length_ = dbf::Get16(header + dbf::kOffHeaderLength);
  d->record_length_ = dbf::Get16(header + dbf::kOffRecordLength);

  // Walk the descriptors until the 0x0D entry.
  std::vector<uint8_t> desc;
  if (d->header_length_ > dbf::kHeaderSize) {
    desc.resize(d->header_length_ - dbf::kHeaderSize);
    s = d->file_->ReadAt(dbf::kHeaderSize, desc.data(), desc.size(), &got);
    if (!s.ok()) got = 0;
    desc.resize(got);
  }
  size_t pos = 0;
  bool ended = false;
  uint32_t offset = 1;
  while (pos < desc.size()) {
    const uint8_t* e = desc.data() + pos;
    if (e[0] == static_cast<uint8_t>(dbf::kDescriptorEnd)) {
      ended = true;
      break;
    }
    if (pos + dbf::kDescriptorSize > desc.size()) break;
    FieldDesc f;
    f.name.assign(
        reinterpret_cast<const char*>(e),
        strnlen(reinterpret_cast<const char*>(e), dbf::kDescNameSize));
    f.type = static_cast<char>(std::toupper(e[dbf::kDescType]));
    switch (f.type) {
      case 'D':
      case 'G':
      case 'L':
      case 'M':
      case 'N':
      case 'F':
        f.width = e[dbf::kDescWidth];
        break;
      default:
        f.width = dbf::Get16(e + dbf::kDescWidth);
        break;
    }
    f.dec = (f.type == 'N' || f.type == 'F') ? e[dbf::kDescDecimals] : 0;
    f.offset = static_cast<int>(offset);
    offset += f.width;
    d->fields_.push_back(std::move(f));
    pos += dbf::kDescriptorSize;
  }
  if (!ended || offset != d->record_length_ || d->record_length_ == 0 ||
      d->header_length_ < dbf::kHeaderSize + pos + 1) {
    ReportError(kErrNotData, path.c_str());
    d->file_.reset();
    return nullptr;
  }
  d->rec_.assign(d->record_length_ + 1, ' ');
  d->rec_[d->record_length_] = '\0';
  d->old_ = d->rec_;

  if (d->version_ & dbf::kMemoBit) {
    const std::string memo_path = MemoPathFor(path);
    std::vector<MemoFieldSpot> spots;
    for (const FieldDesc& f : d->fields_) {
      if (dbf::IsMemoType(f.type)) spots.push_back({f.offset, f.width});
    }
    // A lost memo file is made again; records may still name its blocks.
    if ((!env()->FileExists(memo_path) &&
         !RecreateMemoFile(memo_path, d->file_.get(), d->header_length_,
                           d->record_length_, spots)) ||
        !OpenMemoFile(memo_path, &d->memo_)) {
      d->file_.reset();
      return nullptr;
    }
  }
  d->expr_table_ = std::make_unique<DbfExprTable>(d.get());
  // Without a shared counter the engine reads record by record.
  if (!d->file_->OpenChangeCounter(&d->counter_).ok()) d->counter_.reset();
  std::string v;
  d->read_from_file_ =
      env()->GetEnv("KALVO_READ_FROM_FILE", &v) && !v.empty() && v != "0";
  return d;
}

bool DbfFile::Close() {
  if (!file_) return false;
  bool ok = WritePending();
  ok = FlushPending() && ok;
  if (header_dirty_) ok = WriteHeader() && ok;
  ok = UnlockAll() && ok;
  indexes_.clear();
  memo_.reset();
  counter_.reset();  // watches the descriptor: goes first
  file_.reset();
  return ok;
}

int DbfFile::FindField(const std::string& upper_name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == upper_name) return static_cast<int>(i) + 1;
  }
  return 0;
}

void DbfFile::Blank() {
  std::memset(rec_.data(), ' ', record_length_);
  changed_ = false;
}

int32_t DbfFile::Count() {
  if ((append_locked_ || file_locked_) && cached_count_ >= 0) {
    return cached_count_;
  }
  const bool locked = append_locked_ || file_locked_;
  // The stamp is taken before the length, so that a change after this
  // point shows as a new stamp.
  uint64_t stamp = 0;
  const bool proven = ProvenStamp(&stamp);
  // The record read that usually follows in the same move checks its block
  // against this value instead of taking the stamp again.
  recent_stamp_ = stamp;
  recent_stamp_valid_ = proven;
  // Under the append or whole-file lock the count always comes from the
  // file length: another writer may have appended just before.
  if (!locked && proven && count_proven_ && counted_ >= 0 &&
      stamp == count_stamp_) {
    return counted_;
  }
  // The length alone, asked of the open handle each time: a full status
  // costs far more on some hosts (milliseconds under wine), and this runs
  // on every unlocked move.
  uint64_t size = 0;
  Status s = file_->Size(&size);
  if (!s.ok()) {
    ReportError(kErrLength, path_.c_str(), s.ToString().c_str());
    return -1;
  }
  int64_t n =
      size > header_length_
          ? static_cast<int64_t>((size - header_length_) / record_length_)
          : 0;
  if (n > INT32_MAX) n = INT32_MAX;
  counted_ = static_cast<int32_t>(n);
  count_stamp_ = stamp;
  count_proven_ = proven;
  if (locked) cached_count_ = counted_;
  return counted_;
}

bool DbfFile::ProvenStamp(uint64_t* stamp) {
  *stamp = 0;
  // After an own write the stamp has moved anyway: the next read-ahead
  // asks again.
  if (!counter_ || read_from_file_ || wrote_) return false;
  *stamp = counter_->Stamp();
  return counter_->Watched();
}

void DbfFile::set_read_from_file(bool on) {
  read_from_file_ = on;
  if (on) {
    InvalidateCache();
    counted_ = -1;
    gen_proven_ = false;
    recent_stamp_valid_ = false;
  }
}

bool DbfFile::ReadGeneration(uint32_t* gen) {
  if (file_locked_ && gen_locked_) {
    *gen = gen_;
    return true;
  }
  uint64_t stamp = 0;
  const bool proven = ProvenStamp(&stamp);
  if (proven && gen_proven_ && stamp == gen_stamp_) {
    gen_locked_ = file_locked_;
    *gen = gen_;
    return true;
  }
  uint8_t b[4];
  size_t got = 0;
  Status s = file_->ReadAt(dbf::kOffGeneration, b, sizeof b, &got);
  if (!s.ok() || got != sizeof b) {
    ReportError(kErrRead, path_.c_str(), s.ToString().c_str());
    return false;
  }
  gen_ = dbf::Get32(b);
  gen_stamp_ = stamp;
  gen_proven_ = proven;
  gen_locked_ = file_locked_;
  *gen = gen_;
  return true;
}

bool DbfFile::CheckGeneration() {
  uint32_t now = 0;
  if (!ReadGeneration(&now)) return false;
  if (now != buf_gen_) {
    ReportError(kErrWrite, path_.c_str(), "Record No Longer Exists");
    return false;
  }
  return true;
}

bool DbfFile::BumpGeneration() {
  gen_locked_ = false;
  uint32_t now = 0;
  if (!ReadGeneration(&now)) return false;
  uint8_t b[4];
  dbf::Put32(b, now + 1);
  if (!WriteData(dbf::kOffGeneration, b, sizeof b)) return false;
  gen_ = now + 1;
  gen_proven_ = false;
  gen_locked_ = file_locked_;
  buf_gen_ = gen_;
  gen_bumped_ = true;
  return true;
}

bool DbfFile::FillCache(int32_t n, size_t bytes) {
  const size_t per = record_length_;
  const size_t want = std::max<size_t>(1, bytes / per);
  cache_.resize(want * per);
  wrote_ = false;
  uint64_t stamp = 0;
  const bool proven = ProvenStamp(&stamp);
  size_t got = 0;
  Status s = file_->ReadAt(header_length_ + static_cast<uint64_t>(n - 1) * per,
                           cache_.data(), cache_.size(), &got);
  if (!s.ok() || got < per) {
    InvalidateCache();
    return false;
  }
  cache_first_ = n;
  cache_count_ = static_cast<int32_t>(got / per);
  cache_stamp_ = stamp;
  cache_proven_ = proven;
  cache_locked_ = file_locked_;
  cache_scan_ = Scanning() ? scan_serial_ : 0;
  scan_gen_ = buf_gen_;  // read just before the fill
  return true;
}

void DbfFile::BeginScan() { ++scan_depth_; }

void DbfFile::EndScan() {
  if (scan_depth_ > 0 && --scan_depth_ == 0) ++scan_serial_;
}

bool DbfFile::Scanning() const {
  return scan_depth_ > 0 && counter_ && !counter_->Watched() &&
         !read_from_file_ && !file_locked_;
}

void DbfFile::UpdateCache(int32_t n, const char* rec) {
  if (cache_count_ > 0 && n >= cache_first_ &&
      n < cache_first_ + cache_count_) {
    std::memcpy(
        cache_.data() + static_cast<size_t>(n - cache_first_) * record_length_,
        rec, record_length_);
  }
}

bool DbfFile::WriteData(uint64_t offset, const void* p, size_t n) {
  recent_stamp_valid_ = false;
  const uint64_t before = counter_ ? counter_->Bump() : 0;
  Status s = file_->WriteAt(offset, p, n);
  if (counter_) {
    const uint64_t mid = counter_->Bump();
    // Own writes move the stamp too (the host reports them like any
    // other): what this handle keeps is checked again at the next read.
    if (mid == before + 1) own_moves_ += 2;
  }
  wrote_ = true;
  if (!s.ok()) {
    InvalidateCache();
    counted_ = -1;
    ReportError(kErrWrite, path_.c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool DbfFile::ReadRecord(int32_t n) {
  const size_t per = record_length_;
  bool done = false;
  if (IsPending(n)) {
    std::memcpy(rec_.data(), PendingRecord(n), per);
    done = true;
  } else {
    // The read-ahead is used while the file lock is held since it was
    // filled (nobody else writes then), or while the stamp proves that
    // nothing wrote to the file since.
    // Under the file lock nothing is asked of the host.
    uint64_t now = 0;
    bool proven = false;
    bool asked = false;
    auto ask = [&]() {
      if (asked) return;
      asked = true;
      if (recent_stamp_valid_) {
        now = recent_stamp_;
        proven = true;
      } else {
        proven = ProvenStamp(&now);
      }
    };
    bool trusted = file_locked_ && cache_locked_;
    if (!trusted) {
      ask();
      trusted = proven && cache_proven_ && now == cache_stamp_;
    }
    // Blocks of this scan (only where the stamp proves nothing).
    const bool scan_block =
        !trusted && !proven && Scanning() && cache_scan_ == scan_serial_;
    if (scan_block) trusted = true;
    if (!trusted) InvalidateCache();
    // The generation the buffer is read under.
    if (scan_block) {
      buf_gen_ = scan_gen_;
    } else if (file_locked_ && gen_locked_) {
      buf_gen_ = gen_;
    } else if (!file_locked_ &&
               (ask(), proven && gen_proven_ && now == gen_stamp_)) {
      buf_gen_ = gen_;
    } else {
      uint32_t g = 0;
      if (!ReadGeneration(&g)) return false;
      buf_gen_ = g;
    }
    recent_stamp_valid_ = false;
    const bool cached = cache_count_ > 0 && n >= cache_first_ &&
                        n < cache_first_ + cache_count_;
    // Reading on from the previous record fills a large block; a jump
    // (index order, Goto) a small one.
    const bool sequential =
        last_read_ == 0 || n == last_read_ + 1 || n == last_read_ - 1;
    last_read_ = n;
    // Right after an own write a small block: the next write moves the
    // stamp again.
    const size_t block = sequential && !wrote_ ? kCacheBytes : kNearCacheBytes;
    // After an own write the stamp is taken again by the fill.
    const bool may_fill = file_locked_ || proven ||
                          (wrote_ && counter_ && !read_from_file_) ||
                          Scanning();
    if (cached || (may_fill && FillCache(n, block))) {
      std::memcpy(rec_.data(),
                  cache_.data() + static_cast<size_t>(n - cache_first_) * per,
                  per);
      done = true;
    }
  }
  if (!done) {
    size_t got = 0;
    Status s =
        file_->ReadAt(header_length_ + static_cast<uint64_t>(n - 1) * per,
                      rec_.data(), per, &got);
    if (!s.ok() || got < per) {
      std::memset(rec_.data(), ' ', per);
      std::memcpy(old_.data(), rec_.data(), per);
      changed_ = false;
      recno_ = -1;
      if (Config().read_errors) ReportError(kErrRead, path_.c_str());
      return false;
    }
  }
  std::memcpy(old_.data(), rec_.data(), per);
  changed_ = false;
  recno_ = n;
  eof_ = false;
  return true;
}

bool DbfFile::Go(int32_t n) {
  if (!WritePending()) return false;
  bof_ = false;
  return ReadRecord(n);
}

bool DbfFile::GoEof() {
  if (!WritePending()) return false;
  const int32_t count = Count();
  if (count < 0) return false;
  Blank();
  std::memcpy(old_.data(), rec_.data(), record_length_);
  recno_ = count + 1;
  eof_ = true;
  return true;
}

bool DbfFile::LockRange(uint64_t offset, uint64_t length) {
  Status s = file_->Lock(offset, length);
  if (!s.ok()) {
    ReportError(kErrLock, path_.c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool DbfFile::LockRecord(int32_t n) {
  if (file_locked_) return true;  // covered by the whole-file range
  if (std::find(record_locks_.begin(), record_locks_.end(), n) !=
      record_locks_.end()) {
    return true;
  }
  if (!LockRange(dbf::RecordLockOffset(n), 1)) return false;
  record_locks_.push_back(n);
  return true;
}

bool DbfFile::LockAppend() {
  if (file_locked_ || append_locked_) {
    append_locked_ = true;
    return true;
  }
  if (!LockRange(dbf::kAppendLockOffset, dbf::kAppendLockLength)) return false;
  append_locked_ = true;
  cached_count_ = -1;
  return true;
}

bool DbfFile::LockFile(bool pinned) {
  if (file_locked_) {
    pinned_ = pinned_ || pinned;
    return true;
  }
  // Record locks are given up before the whole-file range is taken.
  bool ok = true;
  for (int32_t n : record_locks_) {
    ok = file_->Unlock(dbf::RecordLockOffset(n), 1).ok() && ok;
  }
  record_locks_.clear();
  if (append_locked_) {
    file_->Unlock(dbf::kAppendLockOffset, dbf::kAppendLockLength);
    append_locked_ = false;
  }
  if (!LockRange(dbf::kFileLockOffset, dbf::kFileLockLength)) return false;
  // The indexes are locked with the whole file.
  if (!LockIndexes()) {
    file_->Unlock(dbf::kFileLockOffset, dbf::kFileLockLength);
    return false;
  }
  file_locked_ = true;
  pinned_ = pinned;
  cached_count_ = -1;
  // What was read before the lock is read again under it.
  InvalidateCache();
  gen_locked_ = false;
  gen_bumped_ = false;
  return ok;
}

bool DbfFile::ReleaseLocks() {
  bool ok = true;
  // Under a pinned lock appended records and the header wait for the final
  // release.
  if (!pinned_) {
    ok = FlushPending() && ok;
    if (header_dirty_) ok = WriteHeader() && ok;
    // Index pages are written after the records they point to.
    ok = UnlockIndexes() && ok;
  }
  for (int32_t n : record_locks_) {
    Status s = file_->Unlock(dbf::RecordLockOffset(n), 1);
    if (!s.ok()) {
      ReportError(kErrUnlock, path_.c_str(), s.ToString().c_str());
      ok = false;
    }
  }
  record_locks_.clear();
  if (append_locked_ && !file_locked_) {
    Status s = file_->Unlock(dbf::kAppendLockOffset, dbf::kAppendLockLength);
    if (!s.ok()) {
      ReportError(kErrUnlock, path_.c_str(), s.ToString().c_str());
      ok = false;
    }
  }
  append_locked_ = false;
  if (file_locked_ && !pinned_) {
    Status s = file_->Unlock(dbf::kFileLockOffset, dbf::kFileLockLength);
    if (!s.ok()) {
      ReportError(kErrUnlock, path_.c_str(), s.ToString().c_str());
      ok = false;
    }
    file_locked_ = false;
    gen_locked_ = false;
    gen_bumped_ = false;
  }
  if (!file_locked_) cached_count_ = -1;
  return ok;
}

bool DbfFile::UnlockAll() {
  pinned_ = false;
  return ReleaseLocks();
}

bool DbfFile::WriteHeader() {
  if (!FlushPending()) return false;
  uint8_t h[12];
  h[dbf::kOffVersion] = version_;
  StampDate(h);
  int32_t count = Count();
  if (count < 0) return false;
  dbf::Put32(h + dbf::kOffCount, static_cast<uint32_t>(count));
  dbf::Put16(h + dbf::kOffHeaderLength, header_length_);
  dbf::Put16(h + dbf::kOffRecordLength, record_length_);
  Status s = file_->WriteAt(0, h, 10);
  if (!s.ok()) {
    ReportError(kErrWrite, path_.c_str(), s.ToString().c_str());
    return false;
  }
  header_dirty_ = false;
  return true;
}

bool DbfFile::FlushPending() {
  if (pending_count_ == 0) return true;
  const size_t bytes = static_cast<size_t>(pending_count_) * record_length_;
  pending_.resize(bytes + 1);
  pending_[bytes] = dbf::kFileEnd;
  const uint64_t offset =
      header_length_ +
      static_cast<uint64_t>(pending_first_ - 1) * record_length_;
  if (!WriteData(offset, pending_.data(), bytes + 1)) {
    pending_.resize(bytes);
    return false;
  }
  pending_.clear();
  pending_count_ = 0;
  header_dirty_ = true;
  return true;
}

bool DbfFile::WritePending() {
  if (!changed_ || recno_ <= 0 || eof_) return true;
  // A buffer handed out for writing may come back unchanged.
  if (std::memcmp(rec_.data(), old_.data(), record_length_) == 0) {
    changed_ = false;
    return true;
  }
  return WriteCurrent();
}

namespace {

// Undoes the index changes made so far.
template <typename Undo>
void RollBack(const std::vector<IndexHook*>& done, Undo undo) {
  for (auto it = done.rbegin(); it != done.rend(); ++it) undo(*it);
}

}  // namespace

bool DbfFile::LockIndexes() {
  if (indexes_locked_) return true;
  if (indexes_.empty()) {
    indexes_locked_ = true;
    return true;
  }
  for (;;) {
    size_t taken = 0;
    platform::LockResult r = platform::LockResult::kLocked;
    for (; taken < indexes_.size(); ++taken) {
      r = indexes_[taken]->TryLockIndex();
      if (r != platform::LockResult::kLocked) break;
    }
    if (r == platform::LockResult::kLocked) {
      indexes_locked_ = true;
      return true;
    }
    // One is held elsewhere: give back the others, wait, try again.
    for (size_t i = 0; i < taken; ++i) indexes_[i]->UnlockIndex();
    if (r == platform::LockResult::kError) return false;
    platform::SleepBeforeLockRetry(env());
  }
}

bool DbfFile::UnlockIndexes() {
  if (!indexes_locked_) return true;
  bool ok = true;
  for (IndexHook* ix : indexes_) ok = ix->UnlockIndex() && ok;
  indexes_locked_ = false;
  return ok;
}

bool DbfFile::WriteCurrent() {
  if (recno_ <= 0 || eof_) return false;
  // A record write is a single operation: the record lock it takes ends with
  // it, so that moving through a table never leaves locks behind that would
  // keep other processes from packing or locking the table.
  const int32_t n = recno_;
  const bool held = file_locked_ || IsPending(n) ||
                    std::find(record_locks_.begin(), record_locks_.end(), n) !=
                        record_locks_.end();
  const bool ok = WriteRecordNow();
  if (!held) {
    auto it = std::find(record_locks_.begin(), record_locks_.end(), n);
    if (it != record_locks_.end()) {
      record_locks_.erase(it);
      Status s = file_->Unlock(dbf::RecordLockOffset(n), 1);
      if (!s.ok()) {
        ReportError(kErrUnlock, path_.c_str(), s.ToString().c_str());
        return false;
      }
    }
  }
  return ok;
}

bool DbfFile::WriteRecordNow() {
  const int32_t n = recno_;
  const size_t per = record_length_;
  const bool pending = IsPending(n);
  if (!pending && !LockRecord(n)) return false;
  // Another process may have packed or zapped the table since the record was
  // read: a write past the end would leave a hole of zero bytes.
  if (!pending && n > Count()) {
    ReportError(kErrWrite, path_.c_str(), "Record No Longer Exists");
    return false;
  }
  // Nor is a buffer read before a rewrite in place written back: its slot
  // may hold another record now.
  if (!pending && !CheckGeneration()) return false;
  const uint64_t offset = header_length_ + static_cast<uint64_t>(n - 1) * per;
  bool keys = false;
  std::vector<char> stored;
  if (!indexes_.empty()) {
    // The stored image decides which keys change.
    stored.assign(per + 1, ' ');
    if (pending) {
      std::memcpy(stored.data(), PendingRecord(n), per);
    } else {
      size_t got = 0;
      Status s = file_->ReadAt(offset, stored.data(), per, &got);
      if (!s.ok() || got < per) {
        ReportError(kErrRead, path_.c_str());
        return false;
      }
    }
    if (std::memcmp(stored.data(), rec_.data(), per) == 0) {
      changed_ = false;
      return true;
    }
    for (IndexHook* ix : indexes_) {
      if (ix->KeyChanges(n, stored.data(), rec_.data())) keys = true;
    }
  }
  if (keys) {
    // The index locks are held for the time of the key updates.
    const bool held = indexes_locked_;
    if (!held && !LockIndexes()) return false;
    std::vector<IndexHook*> done;
    auto undo = [&](IndexHook* u) {
      u->UndoUpdate(n, stored.data(), rec_.data());
    };
    bool ok = true;
    for (IndexHook* ix : indexes_) {
      if (!ix->Update(n, stored.data(), rec_.data())) {
        ok = false;
        break;
      }
      done.push_back(ix);
    }
    if (ok && !pending && !WriteData(offset, rec_.data(), per)) ok = false;
    if (!ok) RollBack(done, undo);
    if (!held) ok = UnlockIndexes() && ok;
    if (!ok) return false;
  } else if (!pending && !WriteData(offset, rec_.data(), per)) {
    return false;
  }
  if (pending) std::memcpy(PendingRecord(n), rec_.data(), per);
  UpdateCache(n, rec_.data());
  std::memcpy(old_.data(), rec_.data(), per);
  changed_ = false;
  return true;
}

bool DbfFile::AppendBlank() {
  if (!WritePending()) return false;
  if (!LockAppend()) return false;
  const int32_t count = Count();
  if (count < 0) return false;
  uint32_t gen = 0;
  if (!ReadGeneration(&gen)) return false;
  Blank();
  buf_gen_ = gen;
  const int32_t n = count + 1;
  const bool held = indexes_locked_;
  if (!indexes_.empty() && !held && !LockIndexes()) return false;
  auto release = [&](bool ok) {
    if (!held) ok = UnlockIndexes() && ok;
    return ok;
  };
  std::vector<IndexHook*> done;
  auto undo = [&](IndexHook* u) { u->UndoInsert(n, rec_.data()); };
  for (IndexHook* ix : indexes_) {
    if (!ix->Insert(n, rec_.data())) {
      RollBack(done, undo);
      return release(false);
    }
    done.push_back(ix);
  }
  // Memo fields of the new record have no text: the blank buffer says so.
  const size_t per = record_length_;
  if (pinned_) {
    // Nobody else can write while the lock is pinned: collect the record
    // and write the appended records in one piece later.
    if (pending_count_ == 0) pending_first_ = n;
    pending_.insert(pending_.end(), rec_.data(), rec_.data() + per);
    ++pending_count_;
  } else {
    rec_[per] = dbf::kFileEnd;
    const bool ok =
        WriteData(header_length_ + static_cast<uint64_t>(count) * per,
                  rec_.data(), per + 1);
    rec_[per] = '\0';
    if (!ok) {
      RollBack(done, undo);
      return release(false);
    }
  }
  const bool unlocked = release(true);
  cached_count_ = n;  // the append lock is held: the count stays cached
  header_dirty_ = true;
  std::memcpy(old_.data(), rec_.data(), per);
  changed_ = false;
  recno_ = n;
  eof_ = false;
  bof_ = false;
  if (!unlocked) return false;
  if (pinned_) {
    return pending_.size() < kPendingBytes || FlushPending();
  }
  return WriteHeader();
}

bool DbfFile::Sync() {
  bool ok = WritePending();
  ok = FlushPending() && ok;
  if (header_dirty_) ok = WriteHeader() && ok;
  Status s = file_->Sync();
  if (!s.ok()) {
    ReportError(kErrWrite, path_.c_str(), s.ToString().c_str());
    ok = false;
  }
  if (memo_ && !memo_->Sync().ok()) ok = false;
  for (IndexHook* ix : indexes_) ok = ix->Sync() && ok;
  return ok;
}

int32_t DbfFile::ReadMemoText(int k, char* buf, int32_t size) {
  if (!memo_ || k < 1 || k > field_count() || size <= 0) return 0;
  const FieldDesc& f = field(k);
  if (!dbf::IsMemoType(f.type)) return 0;
  const int32_t block = ParseInt32(rec_.data() + f.offset, f.width);
  if (block <= 0) return 0;
  // The text runs from its block to the first 0x1A.
  int32_t n = 0;
  char piece[kMemoBlockSize];
  uint64_t offset = static_cast<uint64_t>(block) * kMemoBlockSize;
  while (n < size) {
    size_t got = 0;
    if (!memo_->ReadAt(offset, piece, sizeof piece, &got).ok() || got == 0) {
      break;
    }
    for (size_t i = 0; i < got && n < size; ++i) {
      if (piece[i] == dbf::kFileEnd) return n;
      buf[n++] = piece[i];
    }
    offset += got;
  }
  return n;
}

// --- rewriting in place ----------------------------------------------------

bool DbfFile::ReadRecords(int32_t first, int32_t n, char* buf, int32_t* got) {
  *got = 0;
  if (!FlushPending()) return false;
  if (first < 1 || n <= 0) return true;
  const size_t per = record_length_;
  size_t bytes = 0;
  Status s =
      file_->ReadAt(header_length_ + static_cast<uint64_t>(first - 1) * per,
                    buf, static_cast<size_t>(n) * per, &bytes);
  if (!s.ok()) {
    ReportError(kErrRead, path_.c_str(), s.ToString().c_str());
    return false;
  }
  *got = static_cast<int32_t>(bytes / per);
  return true;
}

bool DbfFile::RewriteRecords(int32_t first, const char* buf, int32_t n) {
  if (!FlushPending()) return false;
  if (first < 1 || n <= 0) return true;
  if (!gen_bumped_ && !BumpGeneration()) return false;
  ++rewrites_;
  const size_t per = record_length_;
  const bool ok =
      WriteData(header_length_ + static_cast<uint64_t>(first - 1) * per, buf,
                static_cast<size_t>(n) * per);
  InvalidateCache();
  return ok;
}

bool DbfFile::TruncateRecords(int32_t count) {
  if (!FlushPending()) return false;
  if (!gen_bumped_ && !BumpGeneration()) return false;
  ++rewrites_;
  const uint64_t end =
      header_length_ + static_cast<uint64_t>(count) * record_length_;
  const char mark = dbf::kFileEnd;
  bool ok = WriteData(end, &mark, 1);
  if (ok) {
    if (counter_) counter_->Bump();
    Status s = file_->Truncate(end + 1);
    if (counter_) counter_->Bump();
    if (!s.ok()) {
      ReportError(kErrSetLength, path_.c_str(), s.ToString().c_str());
      ok = false;
    }
  }
  InvalidateCache();
  cached_count_ = -1;
  counted_ = -1;
  header_dirty_ = true;
  return ok;
}

void DbfFile::Unposition() {
  Blank();
  std::memcpy(old_.data(), rec_.data(), record_length_);
  recno_ = 0;
  eof_ = false;
  bof_ = false;
}

std::string* DbfFile::memo_text(int k) {
  if (memo_texts_.size() < fields_.size()) memo_texts_.resize(fields_.size());
  return &memo_texts_[k - 1];
}

void DbfFile::AttachIndex(IndexHook* hook) {
  if (indexes_locked_) {
    // The data file holds the index locks: the new index joins them.
    for (;;) {
      const platform::LockResult r = hook->TryLockIndex();
      if (r != platform::LockResult::kBusy) break;
      platform::SleepBeforeLockRetry(env());
    }
  }
  indexes_.push_back(hook);
}

void DbfFile::DetachIndex(IndexHook* hook) {
  auto it = std::find(indexes_.begin(), indexes_.end(), hook);
  if (it == indexes_.end()) return;
  if (indexes_locked_) hook->UnlockIndex();
  indexes_.erase(it);
}

}  // namespace xbase32
