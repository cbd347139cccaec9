// Windows files: CreateFileA handles shared for reading and writing (never
// for deleting, except kGuard handles), positioned reads and writes through
// NtReadFile/NtWriteFile with a byte offset, and byte-range locks through
// LockFileEx/UnlockFileEx.
//
// Why not ReadFile/WriteFile with an OVERLAPPED offset: the OVERLAPPED is
// passed down as the completion context of the I/O, and wine posts that
// completion through its server on every call (about 150 us a call against
// 10 us for the same read with a plain byte offset, which is all ReadFile
// does on Windows itself when the handle is synchronous). The engine reads
// records, index pages and headers one at a time, so this is most of its
// time under wine. The handle is synchronous (no FILE_FLAG_OVERLAPPED):
// the call returns when the transfer is done, as ReadFile would.
//
// Windows locks differ from the host locks of the POSIX side in three ways
// that this file hides from its callers:
//   * a handle conflicts with its own exclusive locks, so a range is only
//     locked in the kernel for the bytes the handle does not hold yet (a
//     record lock inside a held whole-file lock is granted without a second
//     kernel lock);
//   * a kernel lock is released only with exactly the offset and length it
//     was taken with, so the handle keeps the kernel pieces it took beside
//     the ranges it was asked for (LockSet), and gives a piece back once no
//     held range touches it any more (bytes of a piece stay locked while any
//     held range overlaps it: never fewer bytes than asked, at worst more);
//   * there is no change of kind in place: a shared range is made exclusive
//     by releasing and retaking it, and retaken shared when the exclusive
//     lock is refused; an exclusive range is made shared by taking the
//     shared lock on top of it first (which the same handle may) and then
//     releasing the exclusive one.
// Locks are mandatory on Windows (another handle cannot read or write
// locked bytes); the engine's lock ranges lie far beyond the data, so this
// never blocks I/O.

#include "platform/host_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/lock_set.h"
#include "platform/win32/dir_win32.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/windows_host.h"

// After <windows.h> (through windows_host.h), which it needs.
// clang-format off
#include <winternl.h>
// clang-format on

// ntdll's positioned I/O (declared by the driver kit's headers only).
extern "C" {
NTSYSAPI NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event,
                                   PIO_APC_ROUTINE apc, PVOID apc_context,
                                   PIO_STATUS_BLOCK io, PVOID buffer,
                                   ULONG length, PLARGE_INTEGER offset,
                                   PULONG key);
NTSYSAPI NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event,
                                    PIO_APC_ROUTINE apc, PVOID apc_context,
                                    PIO_STATUS_BLOCK io, PVOID buffer,
                                    ULONG length, PLARGE_INTEGER offset,
                                    PULONG key);
}

namespace platform {

namespace {

constexpr uint64_t kMaxOffset =
    static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
// The largest piece one NtReadFile or NtWriteFile call moves.
constexpr size_t kMaxChunk = size_t{1} << 30;

// NTSTATUS values the reads and writes tell apart.
constexpr NTSTATUS kStatusEndOfFile = static_cast<NTSTATUS>(0xC0000011L);

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset & 0xffffffffu);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

// A range locked in the kernel, exactly as passed to LockFileEx.
struct Piece {
  uint64_t offset;
  uint64_t length;
  bool shared;
};

class Win32File final : public File {
 public:
  Win32File(HANDLE h, std::string path, bool writable)
      : h_(h), path_(std::move(path)), writable_(writable) {}
  ~Win32File() override {
    UnlockAll();
    CloseHandle(h_);
  }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    *got = 0;
    if (offset > kMaxOffset) return Error(EINVAL, "read");
    char* p = static_cast<char*>(buf);
    while (*got < n) {
      const ULONG want = static_cast<ULONG>(std::min(n - *got, kMaxChunk));
      IO_STATUS_BLOCK io = {};
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(offset + *got);
      const NTSTATUS st = NtReadFile(h_, nullptr, nullptr, nullptr, &io,
                                     p + *got, want, &at, nullptr);
      if (st == kStatusEndOfFile) break;
      if (st < 0) {
        return internal::Win32Status(RtlNtStatusToDosError(st),
                                     "read " + path_);
      }
      if (io.Information == 0) break;  // end of file
      *got += io.Information;
    }
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) return Error(EBADF, "write (opened read-only)");
    if (offset > kMaxOffset || n > kMaxOffset - offset) {
      return Error(EFBIG, "write");
    }
    char* p = static_cast<char*>(const_cast<void*>(buf));
    size_t done = 0;
    while (done < n) {
      const ULONG want = static_cast<ULONG>(std::min(n - done, kMaxChunk));
      IO_STATUS_BLOCK io = {};
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(offset + done);
      const NTSTATUS st = NtWriteFile(h_, nullptr, nullptr, nullptr, &io,
                                      p + done, want, &at, nullptr);
      if (st < 0) {
        return internal::Win32Status(RtlNtStatusToDosError(st),
                                     "write " + path_);
      }
      if (io.Information == 0) return Error(EIO, "write");
      done += io.Information;
    }
    return Status::OK();
  }

  Status Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h_, &li)) {
      return internal::Win32Status(GetLastError(), "stat " + path_);
    }
    *size = static_cast<uint64_t>(li.QuadPart);
    return Status::OK();
  }

  Status Truncate(uint64_t size) override {
    if (!writable_) return Error(EBADF, "truncate (opened read-only)");
    if (size > kMaxOffset) return Error(EFBIG, "truncate");
    FILE_END_OF_FILE_INFO eof;
    eof.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(h_, FileEndOfFileInfo, &eof, sizeof(eof))) {
      return internal::Win32Status(GetLastError(), "truncate " + path_);
    }
    return Status::OK();
  }

  Status Sync() override {
    // A handle without write access has nothing of its own to commit, and
    // FlushFileBuffers would refuse it.
    if (!writable_) return Status::OK();
    if (!FlushFileBuffers(h_)) {
      return internal::Win32Status(GetLastError(), "sync " + path_);
    }
    return Status::OK();
  }

  Status Stat(FileInfo* info) override {
    BY_HANDLE_FILE_INFORMATION bhi;
    if (!GetFileInformationByHandle(h_, &bhi)) {
      return internal::Win32Status(GetLastError(), "stat " + path_);
    }
    internal::FillFileInfoWin32(
        bhi.dwFileAttributes,
        (uint64_t{bhi.nFileSizeHigh} << 32) | bhi.nFileSizeLow,
        (uint64_t{bhi.ftLastWriteTime.dwHighDateTime} << 32) |
            bhi.ftLastWriteTime.dwLowDateTime,
        (uint64_t{bhi.nFileIndexHigh} << 32) | bhi.nFileIndexLow, info);
    return Status::OK();
  }

  LockResult TryLock(uint64_t offset, uint64_t length, Status* err) override {
    LockResult r = Take(offset, length, /*shared=*/false, err);
    if (r == LockResult::kLocked) locks_.Add(offset, length);
    return r;
  }

  LockResult TryLockShared(uint64_t offset, uint64_t length,
                           Status* err) override {
    LockResult r = Take(offset, length, /*shared=*/true, err);
    if (r != LockResult::kLocked) return r;
    // A range taken exclusively on top of this shared one (see TryLock)
    // leaves two entries: one goes, so that one Unlock releases the range.
    if (locks_.Remove(offset, length)) {
      if (!locks_.Covers(offset, length)) locks_.Add(offset, length);
    } else {
      locks_.Add(offset, length);
    }
    return r;
  }

  Status Unlock(uint64_t offset, uint64_t length) override {
    if (!locks_.Remove(offset, length)) {
      return Error(ENOLCK, "unlock (range not held)");
    }
    return ReleaseUntouchedPieces();
  }

  Status UnlockAll() override {
    locks_.Clear();
    Status result;
    for (const Piece& p : pieces_) {
      DWORD e = KernelUnlock(p.offset, p.length);
      if (e != 0 && result.ok()) {
        result = internal::Win32Status(e, "unlock " + path_);
      }
    }
    pieces_.clear();
    return result;
  }

  bool HoldsLock(uint64_t offset, uint64_t length) const override {
    return ValidRange(offset, length) && locks_.Covers(offset, length);
  }

  const std::string& path() const override { return path_; }

  Status OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) override {
    return internal::OpenSharedChangeCounterWin32(h_, path_, counter);
  }

 private:
  static bool ValidRange(uint64_t offset, uint64_t length) {
    return length > 0 && offset <= kMaxOffset && length <= kMaxOffset - offset;
  }

  // 0 or the Win32 error of LockFileEx (never waits).
  DWORD KernelLock(uint64_t offset, uint64_t length, bool shared) {
    OVERLAPPED ov = At(offset);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
    if (!shared) flags |= LOCKFILE_EXCLUSIVE_LOCK;
    if (LockFileEx(h_, flags, 0, static_cast<DWORD>(length & 0xffffffffu),
                   static_cast<DWORD>(length >> 32), &ov)) {
      return 0;
    }
    DWORD e = GetLastError();
    return e != 0 ? e : ERROR_LOCK_VIOLATION;
  }

  DWORD KernelUnlock(uint64_t offset, uint64_t length) {
    OVERLAPPED ov = At(offset);
    if (UnlockFileEx(h_, 0, static_cast<DWORD>(length & 0xffffffffu),
                     static_cast<DWORD>(length >> 32), &ov)) {
      return 0;
    }
    DWORD e = GetLastError();
    return e != 0 ? e : ERROR_NOT_LOCKED;
  }

  static bool IsConflict(DWORD e) {
    return e == ERROR_LOCK_VIOLATION || e == ERROR_SHARING_VIOLATION ||
           e == ERROR_IO_PENDING || e == ERROR_LOCK_FAILED;
  }

  LockResult Fail(DWORD e, Status* err) const {
    if (IsConflict(e)) return LockResult::kBusy;
    if (err != nullptr) *err = internal::Win32Status(e, "lock " + path_);
    return LockResult::kError;
  }

  // Takes the kernel locks for [offset, offset+length) of the given kind;
  // the caller records the range in locks_.
  LockResult Take(uint64_t offset, uint64_t length, bool shared, Status* err) {
    if (!ValidRange(offset, length)) {
      if (err != nullptr) *err = Error(EINVAL, "lock (bad range)");
      return LockResult::kError;
    }
    auto exact =
        std::find_if(pieces_.begin(), pieces_.end(), [&](const Piece& p) {
          return p.offset == offset && p.length == length;
        });
    if (exact != pieces_.end()) {
      if (exact->shared == shared) return LockResult::kLocked;
      return shared ? Downgrade(&*exact, err) : Upgrade(exact, err);
    }
    // Only the bytes no piece holds yet; bytes held already keep the kind
    // they were taken with.
    internal::LockSet held;
    for (const Piece& p : pieces_) held.Add(p.offset, p.length);
    std::vector<Piece> taken;
    for (const auto& gap : held.Uncovered(offset, length)) {
      DWORD e = KernelLock(gap.first, gap.second, shared);
      if (e != 0) {
        for (const Piece& p : taken) KernelUnlock(p.offset, p.length);
        return Fail(e, err);
      }
      taken.push_back({gap.first, gap.second, shared});
    }
    pieces_.insert(pieces_.end(), taken.begin(), taken.end());
    return LockResult::kLocked;
  }

  // Shared to exclusive: no atomic change exists, so the shared lock goes
  // and the exclusive one is tried; when refused, the shared lock is taken
  // again (which no exclusive holder can have taken meanwhile, as the
  // refusal means another handle still shares it).
  LockResult Upgrade(std::vector<Piece>::iterator piece, Status* err) {
    const uint64_t offset = piece->offset, length = piece->length;
    DWORD e = KernelUnlock(offset, length);
    if (e != 0) return Fail(e, err);
    e = KernelLock(offset, length, /*shared=*/false);
    if (e == 0) {
      piece->shared = false;
      return LockResult::kLocked;
    }
    DWORD back = KernelLock(offset, length, /*shared=*/true);
    if (back != 0) {
      // The range is lost: forget it, so that HoldsLock tells the truth.
      pieces_.erase(piece);
      while (locks_.Remove(offset, length)) {
      }
      if (err != nullptr) {
        *err = internal::Win32Status(back, "lock " + path_ + " (lost)");
      }
      return LockResult::kError;
    }
    return Fail(e, err);
  }

  // Exclusive to shared: the shared lock on top first (a handle may share
  // what it holds exclusively), then the exclusive one goes.
  LockResult Downgrade(Piece* piece, Status* err) {
    DWORD e = KernelLock(piece->offset, piece->length, /*shared=*/true);
    if (e != 0) return Fail(e, err);
    e = KernelUnlock(piece->offset, piece->length);
    if (e != 0) {
      if (err != nullptr) *err = internal::Win32Status(e, "lock " + path_);
      return LockResult::kError;
    }
    piece->shared = true;
    return LockResult::kLocked;
  }

  // Gives back every kernel piece that no held range overlaps any more.
  Status ReleaseUntouchedPieces() {
    Status result;
    for (size_t i = 0; i < pieces_.size();) {
      const Piece p = pieces_[i];
      auto gaps = locks_.Uncovered(p.offset, p.length);
      bool untouched = gaps.size() == 1 && gaps[0].first == p.offset &&
                       gaps[0].second == p.length;
      if (!untouched) {
        i++;
        continue;
      }
      DWORD e = KernelUnlock(p.offset, p.length);
      if (e != 0 && result.ok()) {
        result = internal::Win32Status(e, "unlock " + path_);
      }
      pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return result;
  }

  Status Error(int code, const char* op) const {
    return Status::Error(code, std::string(op) + " " + path_);
  }

  const HANDLE h_;
  const std::string path_;
  const bool writable_;
  internal::LockSet locks_;    // the ranges as asked for
  std::vector<Piece> pieces_;  // the kernel locks, disjoint
};

}  // namespace

namespace internal {

Status OpenHostFile(const std::string& host, const std::string& given,
                     OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  const std::string what = "open " + given;
  const DWORD attrs = GetFileAttributesA(host.c_str());
  const bool exists = attrs != INVALID_FILE_ATTRIBUTES;
  if (exists && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    return Status::Error(EISDIR, what);
  }
  if (exists && mode != OpenMode::kReadOnly &&
      (attrs & FILE_ATTRIBUTE_READONLY)) {
    return Status::Error(mode == OpenMode::kCreateNew ? EEXIST : EACCES, what);
  }
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (mode) {
    case OpenMode::kReadWrite:
      break;
    case OpenMode::kGuard:
      // Holds no DELETE access itself, so other processes still open the
      // file as usual; sharing deletion lets this process rename or delete
      // it while no other handle has it open.
      share |= FILE_SHARE_DELETE;
      break;
    case OpenMode::kReadOnly:
      access = GENERIC_READ;
      break;
    case OpenMode::kCreateAlways:
      disposition = CREATE_ALWAYS;
      // Replacing a hidden or system file needs those attributes given
      // again, or CreateFile refuses it.
      if (exists) {
        flags = FILE_ATTRIBUTE_ARCHIVE |
                (attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
      }
      break;
    case OpenMode::kCreateNew:
      disposition = CREATE_NEW;
      break;
  }
  SECURITY_ATTRIBUTES sa = {};
  sa.nLength = sizeof(sa);
  sa.bInheritHandle = FALSE;  // not passed on to child processes
  HANDLE h = CreateFileA(host.c_str(), access, share, &sa, disposition, flags,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    DWORD now = GetFileAttributesA(host.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY)) {
      return Status::Error(EISDIR, what);
    }
    return Win32Status(err, what);
  }
  *file = std::make_unique<Win32File>(h, given, mode != OpenMode::kReadOnly);
  return Status::OK();
}

}  // namespace internal
}  // namespace platform
