// Windows files: CreateFileA handles shared for reading and writing (never
// for deleting, except kGuard handles), positioned reads and writes through
// NtReadFile/NtWriteFile with a byte offset (file_base.cc makes whole
// transfers of them and keeps the held ranges), and byte-range locks through
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

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_base.h"
#include "platform/host_file.h"
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

class Win32File final : public internal::FileBase {
 public:
  Win32File(HANDLE h, std::string path, bool writable)
      : FileBase(std::move(path), writable), h_(h) {}
  ~Win32File() override {
    UnlockAll();
    CloseHandle(h_);
  }

  Status Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(h_, &li)) {
      return internal::Win32Status(GetLastError(), "stat " + path());
    }
    *size = static_cast<uint64_t>(li.QuadPart);
    return Status::OK();
  }

  Status Sync() override {
    // A handle without write access has nothing of its own to commit, and
    // FlushFileBuffers would refuse it.
    if (!writable()) return Status::OK();
    if (!FlushFileBuffers(h_)) {
      return internal::Win32Status(GetLastError(), "sync " + path());
    }
    return Status::OK();
  }

  Status Stat(FileInfo* info) override {
    BY_HANDLE_FILE_INFORMATION bhi;
    if (!GetFileInformationByHandle(h_, &bhi)) {
      return internal::Win32Status(GetLastError(), "stat " + path());
    }
    internal::FillFileInfoWin32(
        bhi.dwFileAttributes,
        (uint64_t{bhi.nFileSizeHigh} << 32) | bhi.nFileSizeLow,
        (uint64_t{bhi.ftLastWriteTime.dwHighDateTime} << 32) |
            bhi.ftLastWriteTime.dwLowDateTime,
        (uint64_t{bhi.nFileIndexHigh} << 32) | bhi.nFileIndexLow, info);
    return Status::OK();
  }

  Status OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter) override {
    return internal::OpenSharedChangeCounterWin32(h_, path(), counter);
  }

 protected:
  Status ReadSome(uint64_t offset, char* p, size_t n, size_t* moved) override {
    *moved = 0;
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    const NTSTATUS st =
        NtReadFile(h_, nullptr, nullptr, nullptr, &io, p,
                   static_cast<ULONG>(std::min(n, kMaxChunk)), &at, nullptr);
    if (st == kStatusEndOfFile) return Status::OK();  // end of file
    if (st < 0) {
      return internal::Win32Status(RtlNtStatusToDosError(st), "read " + path());
    }
    *moved = io.Information;
    return Status::OK();
  }

  Status WriteSome(uint64_t offset, const char* p, size_t n,
                   size_t* moved) override {
    *moved = 0;
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    const NTSTATUS st =
        NtWriteFile(h_, nullptr, nullptr, nullptr, &io, const_cast<char*>(p),
                    static_cast<ULONG>(std::min(n, kMaxChunk)), &at, nullptr);
    if (st < 0) {
      return internal::Win32Status(RtlNtStatusToDosError(st),
                                   "write " + path());
    }
    *moved = io.Information;
    return Status::OK();
  }

  Status TruncateHost(uint64_t size) override {
    FILE_END_OF_FILE_INFO eof;
    eof.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(h_, FileEndOfFileInfo, &eof, sizeof(eof))) {
      return internal::Win32Status(GetLastError(), "truncate " + path());
    }
    return Status::OK();
  }

  LockResult LockHost(uint64_t offset, uint64_t length, bool shared,
                      Status* err) override {
    return Take(offset, length, shared, err);
  }

  Status UnlockHost(uint64_t, uint64_t) override {
    return ReleaseUntouchedPieces();
  }

  Status UnlockAllHost() override {
    Status result;
    for (const Piece& p : pieces_) {
      DWORD e = KernelUnlock(p.offset, p.length);
      if (e != 0 && result.ok()) {
        result = internal::Win32Status(e, "unlock " + path());
      }
    }
    pieces_.clear();
    return result;
  }

 private:
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
    if (err != nullptr) *err = internal::Win32Status(e, "lock " + path());
    return LockResult::kError;
  }

  // Takes the kernel locks for [offset, offset+length) (a valid range) of
  // the given kind; the base records the range.
  LockResult Take(uint64_t offset, uint64_t length, bool shared, Status* err) {
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
      while (locks().Remove(offset, length)) {
      }
      if (err != nullptr) {
        *err = internal::Win32Status(back, "lock " + path() + " (lost)");
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
      if (err != nullptr) *err = internal::Win32Status(e, "lock " + path());
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
      auto gaps = locks().Uncovered(p.offset, p.length);
      bool untouched = gaps.size() == 1 && gaps[0].first == p.offset &&
                       gaps[0].second == p.length;
      if (!untouched) {
        i++;
        continue;
      }
      DWORD e = KernelUnlock(p.offset, p.length);
      if (e != 0 && result.ok()) {
        result = internal::Win32Status(e, "unlock " + path());
      }
      pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return result;
  }

  const HANDLE h_;
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
  Status s = CheckOpenable(exists, (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (attrs & FILE_ATTRIBUTE_READONLY) != 0, mode, given);
  if (!s.ok()) return s;
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
