// The install engine of KalvoINSTALL: reads the description of a data-set
// package ("GDATA.TXT"), registers the data set in the machine's catalogue,
// backs up and clears the data set it replaces, runs the package's setup
// program and then checks the installed tree and rebuilds its indexes, or
// puts everything back when the setup fails.
//
// The engine has no user interface of its own: every message is one line
// handed to the context's output sink, and questions and alerts go through
// the platform's message-box hook (platform/hooks.h). Paths are
// Windows-style ("C:\GDATA001") or host paths; the platform layer maps them.
//
// Results: 1 success, 0 failure unless stated. Nothing throws. One
// installation per process at a time (the table set's rebuild is
// process-wide); not thread-safe.

#ifndef INSTALLER_INSTALL_ENGINE_H_
#define INSTALLER_INSTALL_ENGINE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Receives each message line (without a line ending). May be empty: the
// lines are then dropped.
using InstallOutput = std::function<void(const std::string& line)>;

// Fixed locations of an installation.
constexpr const char* kInstallFileName = "GDATA.TXT";
constexpr const char* kSetupProgramName = "setup.exe";
constexpr const char* kBackupDir = "C:\\GDATATMP\\";
constexpr const char* kCompletionMarker = "c:\\inno.end";
constexpr const char* kWorkAreaPath = "C:\\GCSPACES";
constexpr const char* kFreeDirPattern = "C:\\GDATA%03d";
constexpr int kFreeDirLast = 999;
constexpr const char* kUserTreeDir = "c:\\wuser\\";
constexpr const char* kCatalogueBackupName = "datactl.xxx";
// Longest line of GDATA.TXT (longer lines are refused).
constexpr int kInstallLineMax = 127;

// The state of one installation.
struct InstallContext {
  int old_data_present = 0;       // the target existed when registration ran
  int backup_requested = 0;       // back up the old data set before pruning
  int register_in_catalogue = 1;  // 0 in work-area mode
  uint32_t data_id = 0;
  uint32_t abs_data_id = 0;  // 0: none
  std::string path = "C:\\GDATA\\";
  std::string description = "Demo Database";
  int work_area_mode = 0;
  int unattended = 0;  // setup runs with "/VERYSILENT" instead of "/SILENT"

  // Directory holding GDATA.TXT and setup.exe (with or without a trailing
  // separator); empty: the directory of the running program.
  std::string package_dir;
  InstallOutput output;

  // Filled by the engine.
  int backup_made = 0;         // the backup directory holds the old data set
  int local_tables_saved = 0;  // ARCHIVE/STORE/HISTORY files were copied aside
  std::vector<std::string> saved_local_files;  // names copied aside
  std::string error;  // the last failure, as written to the output

  void Line(const std::string& text) const {
    if (output) output(text);
  }
};

// ---- description file
// --------------------------------------------------------

// Reads GDATA.TXT from the package directory: data id, target path,
// description, optional absolute id. 1 on success; 0 when the file cannot be
// opened (nothing written: the caller shows kMissingInstallFileText); -1 for
// bad contents (a missing or over-long line, an id that is not a decimal
// number in 1..4294967295, a refused target path), with a line naming the
// line of the file written to the output. Sets work-area mode for
// "C:\GCSPACES".
int ReadInstallFile(InstallContext& ctx);
constexpr const char* kMissingInstallFileText =
    "Error while reading file GDATA.TXT (Missing file ?)";

// Whether path may be installed into: not empty, a drive path below a drive
// root, without "..", and neither the local directory, the backup directory,
// "c:\wuser\" nor a directory holding one of them. When refused, why names
// the reason.
bool CheckTargetPath(const std::string& path, std::string* why);

// ---- catalogue
// -----------------------------------------------------------------

// Registers the data set (see install_register.cc). 1 registered (ctx.path
// may have changed to a free directory), 0 cancelled by the user (catalogue
// and local tables restored), -1 a failure with a message line.
int RegisterDataSet(InstallContext& ctx);
// The first "C:\GDATA%03d" directory that can be created (it is removed
// again); false after "C:\GDATA999".
bool FindFreeDataDir(std::string& dir);
// Gives the records of ARCHIVE, STORE and HISTORY in the local directory
// with DATAID old_id the id new_id; deletes HIDATAID.NTX and STDATAID.NTX.
// Answers the number of records changed, -1 when a table failed.
int RenumberLocalTables(uint32_t old_id, uint32_t new_id);
// Puts datactl.dbf back from datactl.xxx (the backup is deleted only after
// the copy succeeded; without a backup the catalogue is deleted unless in
// work-area mode) and deletes the catalogue's indexes.
void RestoreCatalogue(const InstallContext& ctx);
// Copies the local tables' files aside / back (the aside copy is deleted).
bool SaveLocalTables(InstallContext& ctx);
void RestoreLocalTables(InstallContext& ctx);
// Deletes the aside copies after a successful installation.
void DropLocalTablesBackup(InstallContext& ctx);

// ---- trees
// ---------------------------------------------------------------------

// The directory the installation works in: path itself, or the directory a
// symbolic link at path leads to (as a host path).
std::string WorkingDir(const std::string& path);
// Recursive copy (links inside are skipped); 1 when everything was copied.
int CopyTree(const std::string& source, const std::string& target);
// Clears an old data set, keeping TANKS.DBF, DISPS.DBF and CUSTOM
// directories (any case); links are removed, never followed.
void PruneTree(const std::string& dir);
// Deletes dir with everything below it (links removed, never followed).
void DeleteTree(const std::string& dir);
// Deletes every file named name (any case) below dir.
void DeleteNamedFiles(const std::string& dir, const std::string& name);
// Whether a table of the tree under dir is open in another process; *table
// receives its path. Answers false for now: the engine cannot yet tell.
bool TreeInUse(const std::string& dir, std::string* table);

// ---- the installation
// ----------------------------------------------------------

// Backs up (when requested and old data is present) and prunes the target.
// 1 done; -1 stopped before any change (stale backup directory, a table in
// use, a failed backup: the backup copy is removed), with a message line.
int PrepareTarget(InstallContext& ctx);
// Runs the setup program and tests the completion marker; on failure rolls
// back (partial tree deleted, old data set, catalogue and local tables put
// back, backup directory deleted). 1 when the setup succeeded.
int RunSetup(InstallContext& ctx);
// The steps after a successful setup: checks, reindexing, clean-ups,
// catalogue dump, beep. 1 when complete; 0 when a rebuild failed (the last
// line says so).
int FinalSteps(InstallContext& ctx);
void CheckDatabase(const InstallContext& ctx);
void TreeOldCheck(const std::string& dir);
void AliensFileCheck(const std::string& dir);
void NewPathCheck(const std::string& dir);
void DumpCatalogue(const InstallContext& ctx);

// The whole installation, unattended: read, register, prepare, setup, final
// steps. 0 after "Installation success!", 1 otherwise.
int RunInstallation(InstallContext& ctx);

#endif  // INSTALLER_INSTALL_ENGINE_H_
