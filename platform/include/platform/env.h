// The platform layer: the one place where this project talks to the operating
// system. Everything above it keeps Windows-style paths ("c:\gdata\x.dbf",
// backslashes, drive letters); the layer maps them onto the host:
//
//   * drive X is the directory "x" below the drives root, which is
//     $KALVO_DRIVES when set (an absolute path), otherwise
//     $XDG_DATA_HOME/kalvo/drives, otherwise $HOME/.local/share/kalvo/drives;
//   * a path beginning with "/" is a host path and is used as it is;
//   * any other path is relative to the process's current directory; a path
//     beginning with a single "\" is relative to the root of drive c;
//   * "\" and "/" both separate components;
//   * every component that exists is found case-insensitively (an exact match
//     wins), a missing one keeps the case it was given;
//   * ".." is resolved lexically and never climbs above a drive root (such a
//     path is refused with EACCES).
//
// All functions report failures through Status (errno and a text); no
// exception leaves the layer.  Objects returned through unique_ptr belong to
// the caller.
//
// The process-wide Env is Env::Current(); tests may install a wrapper (see
// EnvWrapper below and platform/testing/fault_env.h) to inject faults.

#ifndef PLATFORM_ENV_H_
#define PLATFORM_ENV_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Outcome of an operation: ok, or an errno value with a readable text.
class Status {
 public:
  Status() = default;
  static Status OK() { return Status(); }
  // code is an errno value (never 0 for an error); msg names the operation
  // and the path, strerror(code) is appended by ToString().
  static Status Error(int code, std::string msg);

  bool ok() const { return code_ == 0; }
  int code() const { return code_; }
  const std::string& message() const { return msg_; }
  std::string ToString() const;

 private:
  int code_ = 0;
  std::string msg_;
};

// How OpenFile opens a file. Every file is opened with close-on-exec, shared
// for reading and writing with other handles and processes.
enum class OpenMode {
  kReadWrite,     // existing file, read and write
  kReadOnly,      // existing file, read only
  kCreateAlways,  // create or truncate, read and write
  kCreateNew,     // create exclusively; EEXIST when the file exists
  // Existing file, read and write, as the guard of a rename or deletion by
  // this process: on a host where open files cannot be renamed or deleted
  // (OpenFilesBlockRename), this handle alone does not stop its own
  // process renaming or deleting the file (a deletion then completes when
  // the handle closes). Other handles still stop it. Same as kReadWrite
  // elsewhere.
  kGuard,
};

// Whether the host refuses to rename or delete a file while a handle other
// than a kGuard one has it open (Windows). Callers that rename or delete a
// table they have open themselves close it first on such a host.
constexpr bool OpenFilesBlockRename() {
#ifdef _WIN32
  return true;
#else
  return false;
#endif
}

enum class LockResult { kLocked, kBusy, kError };

// Facts about a file or directory (symbolic links are not followed).
struct FileInfo {
  bool is_dir = false;
  bool is_link = false;
  bool read_only = false;  // no write bit for the owner
  uint64_t size = 0;
  int64_t mtime = 0;     // seconds since 1970-01-01 UTC
  int64_t mtime_ns = 0;  // nanoseconds part of the modification time
  uint64_t inode = 0;
};

// Windows file attribute bits, as callers use them.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,  // accepted and ignored (no such notion on the host)
  kAttrSystem = 0x04,  // accepted and ignored
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

struct DirEntry {
  std::string name;  // as stored on the host
  FileInfo info;
};

struct LocalTime {
  int year = 0, month = 0, day = 0;  // 1-based month and day
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int weekday = 0;  // 0 = Sunday
};

// A 64-bit counter shared by every process of this machine that opens the
// same file, for cheap change detection: a writer bumps it before and after
// each change of the file, a reader that keeps data of the file in memory
// compares the counter with the value it loaded before reading that data.
// The counter lives in shared memory named after the file's device and
// inode; it only ever grows.
class ChangeCounter {
 public:
  virtual ~ChangeCounter() = default;
  virtual uint64_t Load() const = 0;
  // Adds one and answers the value before.
  virtual uint64_t Bump() = 0;
  // A stamp that moves with the counter and with every write to the file
  // that the host reports: write, pwrite and truncate by any process, in
  // any mount namespace, with or without this counter (writes through a
  // shared writable mapping are not reported). While Watched(), an
  // unchanged stamp proves that nothing wrote to the file in between;
  // otherwise it proves nothing about writers outside the counter.
  virtual uint64_t Stamp() { return Load(); }
  virtual bool Watched() const { return false; }
};

// An open file. Positioned I/O only: there is no file pointer.
class File {
 public:
  virtual ~File() = default;

  // Reads up to n bytes at offset; *got receives the count (short at the
  // end of the file, which is no error).
  virtual Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) = 0;
  // Writes all n bytes at offset, or fails.
  virtual Status WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  // The current length, asked of the host on every call (nothing cached,
  // so another process's append shows at once). Far cheaper than Stat on
  // Windows (GetFileSizeEx against a full handle query): use it where only
  // the length is wanted.
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  virtual Status Sync() = 0;  // commit to disk
  virtual Status Stat(FileInfo* info) = 0;

  // Exclusive byte-range locks (open-file-description locks: they belong to
  // this handle, not to the process, and are shared across fork()).
  // The handle remembers the ranges it holds: releasing a range releases only
  // the bytes no other held range covers, so unlocking a record inside a held
  // whole-file range leaves the whole-file range intact.
  // TryLock answers kBusy when another handle holds an overlapping range;
  // *err (optional) receives the reason of kError.
  virtual LockResult TryLock(uint64_t offset, uint64_t length,
                             Status* err = nullptr) = 0;
  // Waits while the range is busy, using the retry rule of SetLockRetry():
  // TryLock until it answers locked or an error.
  virtual Status Lock(uint64_t offset, uint64_t length);
  // Takes a shared (read) lock on the range: any number of handles may hold
  // it shared at once, while an exclusive TryLock of an overlapping range by
  // another handle answers kBusy (and the reverse). When this handle holds
  // exactly this range already (shared, or exclusive through TryLock), the
  // kernel lock becomes shared and the set of held ranges keeps one entry
  // for it; so a range held shared can be made exclusive with TryLock (which
  // fails, keeping the shared lock, while another handle shares it) and
  // shared again with TryLockShared, and a single Unlock releases it.
  // A handle opened read-only may take it too.
  virtual LockResult TryLockShared(uint64_t offset, uint64_t length,
                                   Status* err = nullptr) = 0;
  // Releases a range previously taken with exactly this offset and length.
  virtual Status Unlock(uint64_t offset, uint64_t length) = 0;
  virtual Status UnlockAll() = 0;
  // Whether this handle holds a range covering [offset, offset+length).
  virtual bool HoldsLock(uint64_t offset, uint64_t length) const = 0;

  // The path the file was opened with (as given by the caller).
  virtual const std::string& path() const = 0;

  // Opens the change counter of this file (see ChangeCounter). Fails with
  // ENOTSUP where no such counter can be shared, e.g. for files on network
  // file systems, whose other users may sit on other machines.
  virtual Status OpenChangeCounter(std::unique_ptr<ChangeCounter>* counter);
};

// A started child process. Destroying the object does not kill the child.
class Process {
 public:
  virtual ~Process() = default;
  virtual int pid() const = 0;
  // Waits up to timeout_ms (negative: forever). Answers true when the child
  // has ended; *exit_code then holds its exit status (128 + signal number
  // when a signal ended it). The status is kept once the child is reaped, so
  // later calls answer the same.
  virtual bool Wait(int64_t timeout_ms, int* exit_code) = 0;
  virtual bool Running() = 0;
};

struct ProcessSpec {
  std::string program;            // path of the executable (mapped)
  std::vector<std::string> args;  // argv[1..]; no shell is involved
  std::string cwd;                // empty: inherit
  // Full environment as "NAME=value" entries; when empty the child inherits
  // the parent's environment.
  std::vector<std::string> env;
};

struct ProcessEntry {
  int pid = 0;
  std::string exe;  // host path of the executable (/proc/PID/exe), may be ""
  // The command name: /proc/PID/comm on Linux (at most 15 characters), the
  // executable's file name without ".exe" on Windows.
  std::string name;
};

// Whether name matches the file mask as ListDir matches ("*" any run, "?"
// one character, case-insensitive; "*.*" and "" match all).
bool MatchFileMask(const std::string& name, const std::string& mask);

class Env {
 public:
  virtual ~Env() = default;

  // The host implementation.
  static Env* Default();
  // The Env all code of the project uses: Default() unless replaced.
  static Env* Current();
  // Replaces Current() (nullptr restores the default); answers the previous.
  // The caller keeps ownership and must restore before destroying it.
  static Env* SetCurrent(Env* env);

  // --- paths -------------------------------------------------------------
  // The root directory of the drive letters (absolute host path, no
  // trailing "/").
  virtual std::string DrivesRoot() = 0;
  // Maps a Windows-style or host path to a host path, resolving existing
  // components case-insensitively. Fails (EACCES) when ".." would climb
  // above a drive root.
  virtual Status HostPath(const std::string& path, std::string* host) = 0;

  // --- files -------------------------------------------------------------
  virtual Status OpenFile(const std::string& path, OpenMode mode,
                          std::unique_ptr<File>* file) = 0;
  virtual bool FileExists(const std::string& path) = 0;  // file or directory
  virtual Status GetFileInfo(const std::string& path, FileInfo* info) = 0;
  virtual Status DeleteFile(const std::string& path) = 0;  // not a directory
  // Renames; an existing target is replaced only when replace is true
  // (EEXIST otherwise).
  virtual Status RenameFile(const std::string& from, const std::string& to,
                            bool replace) = 0;
  // Copies contents and permission bits; fails with EEXIST when the target
  // exists and fail_if_exists is true. A symbolic link source is refused.
  virtual Status CopyFile(const std::string& from, const std::string& to,
                          bool fail_if_exists) = 0;
  virtual Status CreateDir(const std::string& path) = 0;  // one level
  virtual Status RemoveDir(const std::string& path) = 0;  // must be empty
  // Windows attribute bits (kAttr*). Read-only maps to the write bits;
  // hidden and system are accepted and have no effect.
  virtual Status GetAttributes(const std::string& path, uint32_t* attrs) = 0;
  virtual Status SetAttributes(const std::string& path, uint32_t attrs) = 0;
  // Lists dir's entries (not "." and "..") whose names match mask ("*" any
  // run, "?" one character, case-insensitive; "*.*" and "" match all),
  // sorted case-insensitively by name.
  virtual Status ListDir(const std::string& dir, const std::string& mask,
                         std::vector<DirEntry>* entries) = 0;
  // Copies a directory tree; symbolic links are skipped, never followed.
  virtual Status CopyTree(const std::string& from, const std::string& to) = 0;
  // Deletes a directory tree (or a file); links are removed, never followed.
  virtual Status DeleteTree(const std::string& path) = 0;
  // Called by WalkTree for every entry with its depth (1 for the entries of
  // the walked directory itself); answering true for a directory enters it.
  using TreeVisitor = std::function<bool(int depth, const DirEntry& entry)>;
  // Walks the directory tree dir through directory descriptors: names found
  // are never mapped again (a name holding "\" or ".." is just a name, so
  // the walk never leaves the tree) and symbolic links are never entered.
  // Entries come sorted as ListDir sorts them. Sub-directories that cannot
  // be read are skipped; only a failure to open dir itself is answered.
  virtual Status WalkTree(const std::string& dir, const TreeVisitor& visit);
  // Commits a directory's entries (files created, renamed or removed in it)
  // to disk, as File::Sync commits a file's contents.
  virtual Status SyncDir(const std::string& dir);
  // Lets every user who may read the regular file path run it (a script or
  // program written by the caller). Links are refused (ELOOP).
  virtual Status MarkExecutable(const std::string& path);
  // The target of the symbolic link path, as stored in the link (one level;
  // EINVAL when path is no link). Symbolic links stand in for shortcuts.
  virtual Status ReadLink(const std::string& path, std::string* target) = 0;
  // Whether path is a regular file (links followed) the user may execute.
  virtual bool IsExecutable(const std::string& path) = 0;
  // Host directory for temporary files ($TMPDIR or /tmp).
  virtual std::string TempDir() = 0;
  // The process's current directory (host path).
  virtual std::string CurrentDir() = 0;

  // --- clock -------------------------------------------------------------
  virtual int64_t NowSeconds() = 0;  // since 1970-01-01 UTC
  virtual uint64_t NowMicros() = 0;  // monotonic
  virtual LocalTime Now() = 0;       // local wall clock
  virtual void SleepMs(int64_t ms) = 0;

  // --- environment -------------------------------------------------------
  virtual bool GetEnv(const std::string& name, std::string* value) = 0;
  virtual Status SetEnv(const std::string& name, const std::string& value) = 0;
  virtual Status UnsetEnv(const std::string& name) = 0;
  virtual std::vector<std::string> Environment() = 0;  // "NAME=value"

  // --- program and libraries ---------------------------------------------
  // Host path of the running executable.
  virtual std::string ProgramPath() = 0;
  // Host path of the shared object (or executable) containing addr.
  virtual std::string ModulePath(const void* addr) = 0;

  // --- processes ---------------------------------------------------------
  virtual Status StartProcess(const ProcessSpec& launch,
                              std::unique_ptr<Process>* process) = 0;
  virtual Status ListProcesses(std::vector<ProcessEntry>* list) = 0;
  virtual int CurrentProcessId() = 0;
};

// Forwards every call to another Env; tests derive from it and override the
// calls they want to break.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  std::string DrivesRoot() override { return target_->DrivesRoot(); }
  Status HostPath(const std::string& p, std::string* h) override {
    return target_->HostPath(p, h);
  }
  Status OpenFile(const std::string& p, OpenMode m,
                  std::unique_ptr<File>* f) override {
    return target_->OpenFile(p, m, f);
  }
  bool FileExists(const std::string& p) override {
    return target_->FileExists(p);
  }
  Status GetFileInfo(const std::string& p, FileInfo* i) override {
    return target_->GetFileInfo(p, i);
  }
  Status DeleteFile(const std::string& p) override {
    return target_->DeleteFile(p);
  }
  Status RenameFile(const std::string& a, const std::string& b,
                    bool r) override {
    return target_->RenameFile(a, b, r);
  }
  Status CopyFile(const std::string& a, const std::string& b, bool f) override {
    return target_->CopyFile(a, b, f);
  }
  Status CreateDir(const std::string& p) override {
    return target_->CreateDir(p);
  }
  Status RemoveDir(const std::string& p) override {
    return target_->RemoveDir(p);
  }
  Status GetAttributes(const std::string& p, uint32_t* a) override {
    return target_->GetAttributes(p, a);
  }
  Status SetAttributes(const std::string& p, uint32_t a) override {
    return target_->SetAttributes(p, a);
  }
  Status ListDir(const std::string& d, const std::string& m,
                 std::vector<DirEntry>* e) override {
    return target_->ListDir(d, m, e);
  }
  Status CopyTree(const std::string& a, const std::string& b) override {
    return target_->CopyTree(a, b);
  }
  Status DeleteTree(const std::string& p) override {
    return target_->DeleteTree(p);
  }
  Status WalkTree(const std::string& p, const TreeVisitor& v) override {
    return target_->WalkTree(p, v);
  }
  Status SyncDir(const std::string& d) override { return target_->SyncDir(d); }
  Status MarkExecutable(const std::string& p) override {
    return target_->MarkExecutable(p);
  }
  Status ReadLink(const std::string& p, std::string* t) override {
    return target_->ReadLink(p, t);
  }
  bool IsExecutable(const std::string& p) override {
    return target_->IsExecutable(p);
  }
  std::string TempDir() override { return target_->TempDir(); }
  std::string CurrentDir() override { return target_->CurrentDir(); }
  int64_t NowSeconds() override { return target_->NowSeconds(); }
  uint64_t NowMicros() override { return target_->NowMicros(); }
  LocalTime Now() override { return target_->Now(); }
  void SleepMs(int64_t ms) override { target_->SleepMs(ms); }
  bool GetEnv(const std::string& n, std::string* v) override {
    return target_->GetEnv(n, v);
  }
  Status SetEnv(const std::string& n, const std::string& v) override {
    return target_->SetEnv(n, v);
  }
  Status UnsetEnv(const std::string& n) override {
    return target_->UnsetEnv(n);
  }
  std::vector<std::string> Environment() override {
    return target_->Environment();
  }
  std::string ProgramPath() override { return target_->ProgramPath(); }
  std::string ModulePath(const void* a) override {
    return target_->ModulePath(a);
  }
  Status StartProcess(const ProcessSpec& s,
                      std::unique_ptr<Process>* p) override {
    return target_->StartProcess(s, p);
  }
  Status ListProcesses(std::vector<ProcessEntry>* l) override {
    return target_->ListProcesses(l);
  }
  int CurrentProcessId() override { return target_->CurrentProcessId(); }

 private:
  Env* target_;
};

// Ends the running process at once by the uncatchable kill signal, as a
// power cut or "kill -9" would: no destructor, handler or buffer flush runs.
// Used to test what a half-done program leaves behind.
[[noreturn]] void KillCurrentProcess();

// Lock retry rule used by File::Lock while a range is busy. With
// interval_ms = 0 (the default) the waiter sleeps until the clock's seconds
// value has advanced by more than one (a wait of one to two seconds), as the
// engine's sharing rule asks; tests set a short interval. Process-wide.
void SetLockRetryIntervalMs(int interval_ms);
int LockRetryIntervalMs();
// Sleeps once by that rule, on env's clock. File::Lock implementations call
// it between two attempts.
void SleepBeforeLockRetry(Env* env);

}  // namespace platform

#endif  // PLATFORM_ENV_H_
