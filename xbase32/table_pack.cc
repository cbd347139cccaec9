// Wdbase: Pack and Zap. Both rewrite the data file in place under the
// whole-file lock (other processes keep the file open, so it is never
// replaced), cut it after the last kept record, compact the memo file in
// place and rebuild the indexes.
//
// Memory: records move in chunks of about kChunkBytes; the memo compaction
// keeps one text and, per kept record and memo field, one block number.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "dbf_file.h"
#include "dbf_format.h"
#include "engine_error.h"
#include "file_set.h"
#include "memo_file.h"
#include "ntx_mark.h"
#include "table_journal.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::MemoFieldSpot;
using xbase32::MemoFile;

namespace {

constexpr size_t kChunkBytes = 256 * 1024;

// Whether record n (with its bytes) stays.
using KeepFunc = std::function<bool(int32_t n, const char* rec)>;

// Old block -> new block (0: no text), sorted by old block.
using BlockMap = std::vector<std::pair<uint32_t, uint32_t>>;

uint32_t MapBlock(const BlockMap& map, uint32_t old_block) {
  auto it = std::lower_bound(map.begin(), map.end(),
                             std::make_pair(old_block, uint32_t{0}));
  return it != map.end() && it->first == old_block ? it->second : 0;
}

std::vector<MemoFieldSpot> MemoSpots(const DbfFile* d) {
  std::vector<MemoFieldSpot> spots;
  for (int k = 1; k <= d->field_count(); ++k) {
    const xbase32::FieldDesc& f = d->field(k);
    if (xbase32::dbf::IsMemoType(f.type)) spots.push_back({f.offset, f.width});
  }
  return spots;
}

int32_t ChunkRecords(const DbfFile* d) {
  return static_cast<int32_t>(
      std::max<size_t>(1, kChunkBytes / d->record_length()));
}

// The blocks named by the memo fields of the records that stay.
bool CollectBlocks(DbfFile* d, int32_t count, const KeepFunc& keep,
                   const std::vector<MemoFieldSpot>& spots,
                   std::vector<uint32_t>* blocks) {
  const int32_t chunk = ChunkRecords(d);
  const size_t per = d->record_length();
  std::vector<char> buf(static_cast<size_t>(chunk) * per);
  for (int32_t r = 1; r <= count; r += chunk) {
    const int32_t want = std::min(chunk, count - r + 1);
    int32_t got = 0;
    if (!d->ReadRecords(r, want, buf.data(), &got)) return false;
    if (got < want) {
      xbase32::ReportError(xbase32::kErrRead, d->path().c_str());
      return false;
    }
    for (int32_t i = 0; i < got; ++i) {
      const char* rec = buf.data() + static_cast<size_t>(i) * per;
      if (!keep(r + i, rec)) continue;
      for (const MemoFieldSpot& s : spots) {
        const uint32_t b = xbase32::MemoFieldBlock(rec + s.offset, s.width);
        if (b > 0) blocks->push_back(b);
      }
    }
  }
  return true;
}

// Moves the texts at blocks down to new blocks from 1 on, in place. Texts
// are taken in ascending order of their old blocks, so a text never lands
// on a text that has not moved yet (a new block is never above the old
// one). A block inside the text before it (two fields sharing the tail of
// one text) follows that text. Empty texts become "no text".
bool CompactMemo(MemoFile* memo, std::vector<uint32_t> blocks, BlockMap* map) {
  std::sort(blocks.begin(), blocks.end());
  blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
  uint64_t next = xbase32::kMemoFirstBlock;
  uint64_t end = xbase32::kMemoHeaderSize;  // end of the bytes written
  // The last text moved: its old block, its new block, its length.
  uint32_t last_old = 0, last_new = 0;
  uint64_t last_len = 0;
  std::string text;
  for (uint32_t b : blocks) {
    const uint64_t off = static_cast<uint64_t>(b) * xbase32::kMemoBlockSize;
    const uint64_t last_off =
        static_cast<uint64_t>(last_old) * xbase32::kMemoBlockSize;
    if (last_old > 0 && off < last_off + last_len) {
      map->emplace_back(b, last_new + (b - last_old));
      continue;
    }
    if (!memo->ReadText(b, &text)) return false;
    if (text.empty()) {
      map->emplace_back(b, 0);
      continue;
    }
    const uint64_t need = xbase32::MemoBlocks(text.size());
    if (next + need > UINT32_MAX) {
      xbase32::ReportError(xbase32::kErrWrite, memo->file()->path().c_str(),
                           "Memo File Full");
      return false;
    }
    const uint32_t nb = static_cast<uint32_t>(next);
    if (!memo->WriteTextAt(nb, text.data(), text.size())) return false;
    map->emplace_back(b, nb);
    // The text, its end mark and the second mark when it fits.
    const uint64_t room = need * xbase32::kMemoBlockSize;
    const uint64_t written = text.size() + (text.size() + 2 <= room ? 2 : 1);
    end = static_cast<uint64_t>(nb) * xbase32::kMemoBlockSize + written;
    next += need;
    last_old = b;
    last_new = nb;
    last_len = text.size();
  }
  if (!memo->SetNextFree(static_cast<uint32_t>(next))) return false;
  platform::Status s = memo->file()->Truncate(end);
  if (!s.ok()) {
    xbase32::ReportError(xbase32::kErrSetLength, memo->file()->path().c_str(),
                         s.ToString().c_str());
    return false;
  }
  return true;
}

// Writes the records that stay to the slots from 1 on (memo fields renumbered
// by map when spots is not empty) and cuts the file after them.
bool MoveRecords(DbfFile* d, int32_t count, const KeepFunc& keep,
                 const std::vector<MemoFieldSpot>& spots, const BlockMap& map) {
  const int32_t chunk = ChunkRecords(d);
  const size_t per = d->record_length();
  std::vector<char> in(static_cast<size_t>(chunk) * per);
  std::vector<char> out(in.size());
  int32_t slot = 1;
  for (int32_t r = 1; r <= count; r += chunk) {
    const int32_t want = std::min(chunk, count - r + 1);
    int32_t got = 0;
    if (!d->ReadRecords(r, want, in.data(), &got)) return false;
    if (got < want) {
      xbase32::ReportError(xbase32::kErrRead, d->path().c_str());
      return false;
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < got; ++i) {
      const char* rec = in.data() + static_cast<size_t>(i) * per;
      if (!keep(r + i, rec)) continue;
      char* o = out.data() + static_cast<size_t>(kept) * per;
      std::memcpy(o, rec, per);
      for (const MemoFieldSpot& s : spots) {
        const uint32_t b = xbase32::MemoFieldBlock(o + s.offset, s.width);
        xbase32::SetMemoFieldBlock(o + s.offset, s.width, MapBlock(map, b),
                                   true);
      }
      ++kept;
    }
    // Records that neither move nor change are not written again.
    const bool same =
        slot == r && kept == got &&
        std::memcmp(in.data(), out.data(), static_cast<size_t>(got) * per) == 0;
    if (!same && !d->RewriteRecords(slot, out.data(), kept)) return false;
    slot += kept;
  }
  return d->TruncateRecords(slot - 1);
}

// Shared by Pack and Zap: removes the records keep refuses, compacts the
// memo file and rebuilds the indexes. The caller holds the whole-file lock.
// A crash part way is rolled back by the next Open (table_journal.h): the
// journal is written first and the indexes marked for rebuilding; the
// journal goes once data and memo file are rewritten, then the indexes are
// rebuilt.
int RewriteTable(Wdbase* w, DbfFile* d, const KeepFunc& keep) {
  const int32_t count = d->Count();
  if (count < 0) return 0;
  // Records appended under the lock reach the file before it is copied.
  if (!d->Sync()) return 0;
  if (!xbase32::WriteJournal(d->path(), d->data_file(), d->memo_file())) {
    return 0;
  }
  const std::string dir = w->GetPath();
  for (int k = 1; k <= w->GetIdxCount(); ++k) {
    if (!xbase32::MarkIndexStale(dir + w->GetName(k))) return 0;
  }
  // A failure from here on puts the table back as it was (or, when even
  // that fails, leaves the journal to the next Open).
  auto fail = [&]() {
    xbase32::RestoreJournal(d->path());
    d->Unposition();
    return 0;
  };
  // Buffers other handles read before this rewrite are refused from now
  // on: the generation moves before the first record byte does.
  if (!d->BumpGeneration()) return fail();
  std::vector<MemoFieldSpot> spots;
  if (d->has_memo()) spots = MemoSpots(d);
  BlockMap map;
  if (!spots.empty()) {
    std::vector<uint32_t> blocks;
    MemoFile memo(d->memo_file());
    if (!CollectBlocks(d, count, keep, spots, &blocks) ||
        !CompactMemo(&memo, std::move(blocks), &map)) {
      return fail();
    }
  }
  if (!MoveRecords(d, count, keep, spots, map)) return fail();
  d->Unposition();
  if (!d->WriteHeader()) return fail();
  if (!xbase32::DropJournal(d->path())) return 0;
  if (w->GetIdxCount() > 0) {
    if (!w->RebuildIdx()) return 0;
    d->Unposition();
  }
  return d->Sync() ? 1 : 0;
}

// Takes the whole-file lock for a rewrite; a lock the caller took with Lock
// stays after the rewrite, any other is released.
class RewriteLock {
 public:
  RewriteLock(DbfFile* d, bool user_lock) : d_(d), user_lock_(user_lock) {}
  bool Take() { return d_->WritePending() && d_->LockFile(true); }
  ~RewriteLock() {
    if (user_lock_) {
      d_->ReleaseLocks();
    } else {
      d_->UnlockAll();
    }
  }

 private:
  DbfFile* d_;
  bool user_lock_;
};

}  // namespace

int Wdbase::Pack() {
  if (!Ready()) return 0;
  RewriteLock lock(data_, user_lock_);
  if (!lock.Take()) return 0;
  return RewriteTable(this, data_, [](int32_t, const char* rec) {
    const uint8_t flag = static_cast<uint8_t>(rec[0]);
    return (flag & xbase32::dbf::kFlagDeleted) != xbase32::dbf::kFlagDeleted;
  });
}

int Wdbase::Zap() {
  if (!Ready()) return 0;
  // The count is taken under the lock: records another process appends
  // meanwhile go too.
  return Zap(1, INT32_MAX);
}

int Wdbase::Zap(int32_t from, int32_t to) {
  if (!Ready()) return 0;
  if (from < 0 || to < 0) {
    xbase32::ReportError(xbase32::kErrParameter, "Zap");
    return 0;
  }
  if (from == 0) from = 1;
  RewriteLock lock(data_, user_lock_);
  if (!lock.Take()) return 0;
  const int32_t count = data_->Count();
  if (count < 0) return 0;
  to = std::min(to, count);
  if (from > count || to < from) return 1;
  return RewriteTable(this, data_, [from, to](int32_t n, const char*) {
    return n < from || n > to;
  });
}
