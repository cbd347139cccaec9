// Wy_MaintenanceGuard: what makes a maintenance run (upgrade, creation,
// repairs, an acting tree check) safe against other programs and against
// being killed part way.
//
//   * Lock: while a run is active it holds an exclusive OS lock on the lock
//     file kWyMaintenanceLockFile in the data directory (created when
//     missing, never deleted). A second run, in this process or another,
//     is refused at once (kWyMaintenanceBusy).
//   * In use: a run is refused before any change while any registry table
//     of the data set (root, product and sub-product directories) is open
//     in any process (WdbaseIsInUse); callers close their own tables first.
//   * Backup area and journal: before a step changes a file, SaveFile or
//     SaveTable copies it into the area kWyMaintenanceArea inside the data
//     directory under its path relative to the data directory, syncs the
//     copy and the directories, then appends "saved RELPATH" to the area's
//     journal and syncs it. Whatever the run is about to create is first
//     journaled "created RELPATH" (NoteCreated). A file saved twice is
//     copied once: the area keeps the state before the run.
//   * Completion: Complete() marks the journal complete by an atomic rename
//     and deletes the area. A run that ends without Complete() (failure,
//     destruction) is rolled back from the journal: every saved file is
//     copied back under a work name, synced and renamed into place, every
//     created path is removed (directories only when empty).
//   * Recovery: Begin() first undoes an interrupted run (an incomplete
//     journal) the same way, or just deletes an area whose journal is
//     complete; recovery_note() then says what was done. A journal that
//     cannot be read, holds a line of unknown form, or names a path
//     outside the data directory ("..", absolute, a drive, through a
//     symbolic link) or a saved copy that is missing stops the run with
//     kWyMaintenanceUnrestorable and nothing further changed: the area is
//     kept so that the data set stays restorable by hand.
//
//   * Nesting: a run that calls another maintenance entry point on its data
//     directory (the tree check inside the upgrade, the check inside
//     creation) first calls AllowNested(); a Begin() in this process while
//     such a guard of the same directory is active joins that run: it takes
//     no lock, recovers nothing, saves through the outer guard, and its
//     Complete() and Rollback() leave the outcome to the outer run. Without
//     AllowNested() a second run is busy, in this process as in another.
//
// Scans, the non-acting tree check and the catalogue scan do not use the
// guard and must leave the area and the lock file alone.
//
// Paths are Windows-style ("c:\gdata\"), mapped by the platform layer. Not
// thread-safe; one guard per run. Failures answer false or a negative code
// (error() tells why); nothing throws.

#ifndef MIXTABLE_WY_MAINTENANCE_H_
#define MIXTABLE_WY_MAINTENANCE_H_

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "mixtable/export.h"

// The backup area inside the data directory: "$" cannot begin a product
// "PATH" that the tree check creates, so no product directory takes it.
constexpr const char* kWyMaintenanceArea = "$UPGRADE";
// The lock file in the data directory.
constexpr const char* kWyMaintenanceLockFile = "$UPGRADE.LCK";
// The area's journal; renamed to the complete journal when a run ends well.
// Lines: "saved RELPATH" and "created RELPATH" ("\"-separated path relative
// to the data directory), each ending with "\n". A last line without its
// "\n" was never finished: its step had not started and it is ignored.
constexpr const char* kWyMaintenanceJournal = "JOURNAL";
constexpr const char* kWyMaintenanceJournalDone = "COMPLETE";

// Results of maintenance entry points beyond their own codes.
constexpr int kWyMaintenanceBusy = -4;          // locked, or a table in use
constexpr int kWyMaintenanceUnrestorable = -5;  // interrupted, not restorable

// What Wy_MaintenanceState finds, without changing anything.
enum Wy_MaintenanceStateValue {
  kWyMaintenanceFree = 0,         // no run, no interrupted run
  kWyMaintenanceLocked = 1,       // a run holds the lock now
  kWyMaintenanceInterrupted = 2,  // the area holds an incomplete journal
};
// For the installer and the tools: the state of data_dir (missing
// directory: free).
MIXTABLE_API int Wy_MaintenanceState(const std::string& data_dir);

// Whether name (one path component, any case) is the backup area or the
// lock file: the tree check neither prunes nor cleans them.
MIXTABLE_API bool Wy_IsMaintenanceName(const std::string& name);

// What the guards of this process spent saving files into backup areas
// since the last reset: files copied, their bytes, and the wall time of
// the copies with their syncs and journal lines (for the benchmarks; two
// clock reads per saved file, nothing else). Not thread-safe.
struct MIXTABLE_API Wy_MaintenanceSaveStats {
  int64_t files = 0;
  int64_t bytes = 0;
  int64_t nanoseconds = 0;
};
const Wy_MaintenanceSaveStats& Wy_MaintenanceSaveStatsGet();
MIXTABLE_API void Wy_MaintenanceSaveStatsReset();

class MIXTABLE_API Wy_MaintenanceGuard {
 public:
  // data_dir: the data directory (trailing "\" optional).
  explicit Wy_MaintenanceGuard(const std::string& data_dir);
  // Rolls back an active run that was not completed, then releases the lock.
  ~Wy_MaintenanceGuard();
  Wy_MaintenanceGuard(const Wy_MaintenanceGuard&) = delete;
  Wy_MaintenanceGuard& operator=(const Wy_MaintenanceGuard&) = delete;

  // Starts a run: takes the lock, refuses while a table is in use (unless
  // check_in_use is false), and recovers an interrupted run. Answers 1;
  // kWyMaintenanceBusy; kWyMaintenanceUnrestorable; -1 when the data
  // directory is missing or the lock file cannot be made.
  int Begin(bool check_in_use = true);
  bool active() const { return active_; }
  // Lets runs begun in this process while this one is active join it.
  void AllowNested() { joinable_ = true; }
  // Whether this guard joined an outer run (see Nesting).
  bool nested() const { return outer_ != nullptr; }

  // Saves a file (full path inside the data directory) before it changes.
  // A file that does not exist is journaled as created (a rollback removes
  // it). False (nothing may change then) when the path is outside the data
  // directory or the copy, a sync or the journal write fails.
  bool SaveFile(const std::string& path);
  // Saves a registry table's data file, memo file and every index file in
  // dir (a directory inside the data directory).
  bool SaveTable(const std::string& dir, int table);
  // Only the table's index files (before a rebuild of unchanged data).
  bool SaveTableIndexes(const std::string& dir, int table);
  // Journals a file or directory the run is about to create. A path that
  // exists already is saved instead (file) or ignored (directory).
  bool NoteCreated(const std::string& path);

  // Ends the run well: the journal is marked complete, the area deleted,
  // the lock released. A run that saved nothing only releases the lock.
  bool Complete();
  // Ends the run by restoring what it saved and removing what it created;
  // the lock is released. False when something could not be restored (the
  // journal then stays for the next Begin).
  bool Rollback();

  // What Begin's recovery did ("" when there was nothing to recover).
  const std::string& recovery_note() const { return note_; }
  const std::string& error() const { return error_; }
  const std::string& data_dir() const { return dir_; }

  // Undoes an interrupted run in data_dir without the lock or the in-use
  // test (the caller holds the lock). 1 nothing to do or restored, -5 not
  // restorable; note receives what was done.
  static int Recover(const std::string& data_dir, std::string* note,
                     std::string* error);

 private:
  bool Fail(const std::string& why);
  bool Relative(const std::string& path, std::string* rel);
  bool EnsureJournal();
  bool AppendJournal(const std::string& line);
  void Release();

  struct Lock;
  Wy_MaintenanceGuard* outer_ = nullptr;  // the run this one joined
  std::string dir_;                       // with a trailing "\"
  std::unique_ptr<Lock> lock_;
  bool active_ = false;
  bool joinable_ = false;
  bool journal_open_ = false;
  std::set<std::string> saved_;  // relative paths, upper-cased
  std::string note_;
  std::string error_;
};

#endif  // MIXTABLE_WY_MAINTENANCE_H_
