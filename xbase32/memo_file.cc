#include "memo_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dbf_format.h"
#include "engine_error.h"

namespace xbase32 {
namespace {

// Bytes read at a time while looking for the end of a text.
constexpr size_t kReadChunk = 8 * 1024;
// Records read at a time while scanning a data file.
constexpr size_t kScanBytes = 256 * 1024;

uint64_t BlockOffset(uint32_t block) {
  return static_cast<uint64_t>(block) * kMemoBlockSize;
}

}  // namespace

std::string MemoPathFor(const std::string& data_path) {
  const size_t slash = data_path.find_last_of("\\/");
  const size_t dot = data_path.rfind('.');
  const bool has_ext =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!has_ext) return data_path + ".dbt";
  bool upper = false;
  for (size_t i = dot + 1; i < data_path.size(); ++i) {
    if (std::isupper(static_cast<unsigned char>(data_path[i]))) upper = true;
  }
  return data_path.substr(0, dot) + (upper ? ".DBT" : ".dbt");
}

bool CreateMemoFile(const std::string& path) {
  std::unique_ptr<platform::File> file;
  platform::Status s = platform::Env::Current()->OpenFile(
      path, platform::OpenMode::kCreateAlways, &file);
  if (s.ok()) {
    uint8_t header[kMemoHeaderSize];
    dbf::Put32(header, kMemoFirstBlock);
    s = file->WriteAt(0, header, sizeof header);
  }
  if (!s.ok()) {
    ReportError(kErrCreate, "File Name:", path.c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool OpenMemoFile(const std::string& path,
                  std::unique_ptr<platform::File>* file) {
  platform::Status s = platform::Env::Current()->OpenFile(
      path, platform::OpenMode::kReadWrite, file);
  if (!s.ok()) {
    ReportError(kErrOpen, "File Name:", path.c_str());
    return false;
  }
  return true;
}

uint64_t MemoBlocks(uint64_t len) {
  return (len + 1 + kMemoBlockSize - 1) / kMemoBlockSize;
}

uint32_t MemoFieldBlock(const char* field, int width) {
  int i = 0;
  while (i < width && field[i] == ' ') ++i;
  uint64_t v = 0;
  for (; i < width && field[i] >= '0' && field[i] <= '9'; ++i) {
    v = v * 10 + static_cast<uint64_t>(field[i] - '0');
    if (v > UINT32_MAX) return 0;
  }
  return static_cast<uint32_t>(v);
}

bool SetMemoFieldBlock(char* field, int width, uint32_t block, bool zero_pad) {
  if (width <= 0) return block == 0;
  char digits[16];
  const int n =
      block == 0 ? 0 : std::snprintf(digits, sizeof digits, "%u", block);
  if (n > width) return false;
  std::memset(field, zero_pad && n > 0 ? '0' : ' ', static_cast<size_t>(width));
  if (n > 0) std::memcpy(field + width - n, digits, static_cast<size_t>(n));
  return true;
}

// --- MemoFile ----------------------------------------------------------------

namespace {

// Reads from offset up to the first 0x1A: *text receives the bytes before
// it, *found whether it came before the end of the file.
bool ReadToEnd(platform::File* f, uint64_t offset, std::string* text,
               bool* found) {
  text->clear();
  *found = false;
  char buf[kReadChunk];
  for (;;) {
    size_t got = 0;
    platform::Status s = f->ReadAt(offset, buf, sizeof buf, &got);
    if (!s.ok()) {
      text->clear();
      ReportError(kErrRead, f->path().c_str(), s.ToString().c_str());
      return false;
    }
    const char* end = static_cast<const char*>(std::memchr(buf, kMemoEnd, got));
    if (end != nullptr) {
      text->append(buf, static_cast<size_t>(end - buf));
      *found = true;
      return true;
    }
    text->append(buf, got);
    if (got < sizeof buf) return true;
    offset += got;
  }
}

}  // namespace

bool MemoFile::ReadText(uint32_t block, std::string* text) {
  text->clear();
  if (block == 0) return true;
  bool found = false;
  return ReadToEnd(file_, BlockOffset(block), text, &found);
}

bool MemoFile::TextSpace(uint32_t block, uint64_t* space) {
  *space = 0;
  if (block == 0) return true;
  std::string text;
  bool found = false;
  if (!ReadToEnd(file_, BlockOffset(block), &text, &found)) return false;
  if (found) *space = (text.size() / kMemoBlockSize + 1) * kMemoBlockSize;
  return true;
}

bool MemoFile::NextFree(uint32_t* next) {
  uint8_t header[kMemoHeaderSize];
  size_t got = 0;
  platform::Status s = file_->ReadAt(0, header, sizeof header, &got);
  if (!s.ok() || got < sizeof header) {
    ReportError(kErrRead, file_->path().c_str(),
                s.ok() ? "Memo Header" : s.ToString().c_str());
    return false;
  }
  *next = dbf::Get32(header);
  return true;
}

bool MemoFile::SetNextFree(uint32_t next) {
  uint8_t header[kMemoHeaderSize];
  dbf::Put32(header, next);
  platform::Status s = file_->WriteAt(0, header, sizeof header);
  if (!s.ok()) {
    ReportError(kErrWrite, file_->path().c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool MemoFile::WriteTextAt(uint32_t block, const char* text, uint64_t len) {
  const uint64_t room = MemoBlocks(len) * kMemoBlockSize;
  std::string image(text, static_cast<size_t>(len));
  image += kMemoEnd;
  if (len + 2 <= room) image += kMemoEnd;
  platform::Status s =
      file_->WriteAt(BlockOffset(block), image.data(), image.size());
  if (!s.ok()) {
    ReportError(kErrWrite, file_->path().c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool MemoFile::Store(uint32_t old_block, const char* text, uint64_t len,
                     uint32_t* block) {
  if (old_block > 0) {
    uint64_t space = 0;
    if (!TextSpace(old_block, &space)) return false;
    if (len < space) {
      if (!WriteTextAt(old_block, text, len)) return false;
      *block = old_block;
      return true;
    }
  }
  uint32_t next = 0;
  if (!NextFree(&next)) return false;
  // A damaged header must not send the text over texts that are already
  // there: never start before the end of the file. For a sound file the
  // end of the file lies inside the block before the next free one.
  uint64_t size = 0;
  platform::Status s = file_->Size(&size);
  if (!s.ok()) {
    ReportError(kErrLength, file_->path().c_str(), s.ToString().c_str());
    return false;
  }
  const uint64_t used = (size + kMemoBlockSize - 1) / kMemoBlockSize;
  uint64_t first = std::max<uint64_t>({next, used, kMemoFirstBlock});
  const uint64_t after = first + MemoBlocks(len);
  if (after > UINT32_MAX) {
    ReportError(kErrWrite, file_->path().c_str(), "Memo File Full");
    return false;
  }
  if (!WriteTextAt(static_cast<uint32_t>(first), text, len)) return false;
  if (!SetNextFree(static_cast<uint32_t>(after))) return false;
  *block = static_cast<uint32_t>(first);
  return true;
}

// --- recreating a lost memo file --------------------------------------------

namespace {

bool RecreateLocked(const std::string& memo_path, platform::File* data,
                    uint32_t header_length, uint32_t record_length,
                    const std::vector<MemoFieldSpot>& spots) {
  // The blocks that records still name.
  std::vector<uint32_t> named;
  if (record_length > 0) {
    const size_t per = record_length;
    std::vector<char> buf(std::max(per, kScanBytes / per * per));
    uint64_t offset = header_length;
    for (;;) {
      size_t got = 0;
      platform::Status s = data->ReadAt(offset, buf.data(), buf.size(), &got);
      if (!s.ok()) {
        ReportError(kErrRead, data->path().c_str(), s.ToString().c_str());
        return false;
      }
      const size_t whole = got / per;
      for (size_t r = 0; r < whole; ++r) {
        const char* rec = buf.data() + r * per;
        for (const MemoFieldSpot& spot : spots) {
          const uint32_t b = MemoFieldBlock(rec + spot.offset, spot.width);
          if (b > 0) named.push_back(b);
        }
      }
      if (got < buf.size()) break;
      offset += got;
    }
  }
  // A record names one text per memo field, and no text is longer than
  // kMaxRecreatedTextBlocks blocks: blocks beyond what all of them together
  // can reach are corrupt numbers (4294967295 would make a 2 TB sparse file
  // with no block left for new texts). They are left out; beyond the end
  // of the file they read as empty texts.
  const uint64_t limit = kMemoFirstBlock + static_cast<uint64_t>(named.size()) *
                                               kMaxRecreatedTextBlocks;
  std::erase_if(named, [limit](uint32_t b) { return b >= limit; });
  std::sort(named.begin(), named.end());
  named.erase(std::unique(named.begin(), named.end()), named.end());

  std::unique_ptr<platform::File> file;
  platform::Status s = platform::Env::Current()->OpenFile(
      memo_path, platform::OpenMode::kCreateNew, &file);
  if (!s.ok()) {
    // Another process has just created it.
    if (s.code() == EEXIST) return true;
    ReportError(kErrCreate, "File Name:", memo_path.c_str(),
                s.ToString().c_str());
    return false;
  }
  MemoFile memo(file.get());
  const uint32_t next = named.empty() ? kMemoFirstBlock : named.back() + 1;
  bool ok = memo.SetNextFree(next == 0 ? UINT32_MAX : next);
  const char end = kMemoEnd;
  for (size_t i = 0; ok && i < named.size(); ++i) {
    s = file->WriteAt(BlockOffset(named[i]), &end, 1);
    if (!s.ok()) {
      ReportError(kErrWrite, memo_path.c_str(), s.ToString().c_str());
      ok = false;
    }
  }
  if (!ok) {
    file.reset();
    platform::Env::Current()->DeleteFile(memo_path);
    return false;
  }
  if (!named.empty()) {
    ReportError(kErrOpen, "File Name:", memo_path.c_str(),
                "Memo file missing: created again empty, its texts are lost");
  }
  return true;
}

}  // namespace

bool RecreateMemoFile(const std::string& memo_path, platform::File* data,
                      uint32_t header_length, uint32_t record_length,
                      const std::vector<MemoFieldSpot>& spots) {
  // Under the append lock, so that two processes never both make it.
  platform::Status s =
      data->Lock(dbf::kAppendLockOffset, dbf::kAppendLockLength);
  if (!s.ok()) {
    ReportError(kErrLock, data->path().c_str(), s.ToString().c_str());
    return false;
  }
  const bool ok =
      RecreateLocked(memo_path, data, header_length, record_length, spots);
  data->Unlock(dbf::kAppendLockOffset, dbf::kAppendLockLength);
  return ok;
}

}  // namespace xbase32
