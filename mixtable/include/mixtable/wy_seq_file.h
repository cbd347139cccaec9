// Wy_SeqFile: the library's small sequential file object over the platform
// layer's File. It keeps a position that reads and writes advance. In hold
// mode (SetHold) writes are kept in memory and written in one piece by
// Flush, at the position where the held writing began; Wy_XmlFile uses it so
// that an append either lands whole or not at all.
//
// Failures answer false (or 0 bytes); nothing throws. Paths are Windows-style
// or host paths, mapped by the platform layer.

#ifndef MIXTABLE_WY_SEQ_FILE_H_
#define MIXTABLE_WY_SEQ_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mixtable/export.h"

namespace platform {
class File;
}

class MIXTABLE_API Wy_SeqFile {
 public:
  Wy_SeqFile();
  ~Wy_SeqFile();  // Close()
  Wy_SeqFile(const Wy_SeqFile&) = delete;
  Wy_SeqFile& operator=(const Wy_SeqFile&) = delete;

  // Opens path for reading and writing at position 0, creating it when
  // missing when create is set; an existing file is never truncated. False
  // when it is a directory, read-only or cannot be opened.
  bool Open(const std::string& path, bool create);
  bool IsOpen() const { return file_ != nullptr; }
  // Flushes held writes, releases the lock and closes; false when the flush
  // failed (the file is closed anyway).
  bool Close();

  bool Seek(uint64_t position);  // flushes held writes first
  uint64_t GetPosition() const { return pos_ + held_.size(); }
  bool GetLength(uint64_t* length);
  // Cuts or extends the file (held writes are flushed first).
  bool SetLength(uint64_t length);

  // Reads up to n bytes at the position; answers the count read.
  size_t Read(void* buf, size_t n);
  bool Write(const void* buf, size_t n);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }

  // Hold mode: while on, writes are kept in memory; Flush writes them.
  // Every Open starts with hold mode off.
  void SetHold(bool hold) { hold_ = hold; }
  bool Flush();
  // Drops held writes unwritten.
  void DiscardHeld() { held_.clear(); }
  const std::string& Held() const { return held_; }

  // Takes the exclusive lock of the file (a byte range past any content),
  // waiting up to timeout_ms while another handle holds it. The lock is
  // released by Unlock or Close.
  bool LockExclusive(int64_t timeout_ms);
  void Unlock();

  // Bytes read from the file since Open (for measurements).
  uint64_t BytesRead() const { return bytes_read_; }

 private:
  std::unique_ptr<platform::File> file_;
  uint64_t pos_ = 0;
  std::string held_;
  bool hold_ = false;
  bool locked_ = false;
  uint64_t bytes_read_ = 0;
};

#endif  // MIXTABLE_WY_SEQ_FILE_H_
