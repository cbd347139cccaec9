// The maintenance log "MIXTABLE.LOG": one line per table a check or upgrade
// converted, patched or merged, and the notes of maintenance runs.
//
// Where it is (Wy_LogDirectory): the directory named by $KALVO_LOGDIR when
// it is set and not empty; otherwise beside the tables library when the
// library runs from its build tree; otherwise (installed) in the machine's
// local directory ($LOCALDIR, else "c:\local\"). Other logs of the library
// (the child data-set log) follow the same rule.
//
// Lines end with "\n". Before a line is appended, a file larger than
// kWyMaintenanceLogLimit bytes is started afresh. Appends from several
// processes do not interleave (each holds a lock on the file's first byte
// while it appends). A log that cannot be written loses the line and
// answers false; nothing throws.

#ifndef MIXTABLE_WY_MAINTENANCE_LOG_H_
#define MIXTABLE_WY_MAINTENANCE_LOG_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"

constexpr const char* kWyMaintenanceLogName = "MIXTABLE.LOG";
constexpr int64_t kWyMaintenanceLogLimit = 1000000;
// Entry forms: stamp, scan phase, table directory, table file name, and for
// the second one a line of the structure conversion.
constexpr const char* kWyLogConverted = "%s: (%d) \"%s%s\"";
constexpr const char* kWyLogConvertLine = "%s: (%d) \"%s%s\" [%s]";
constexpr const char* kWyLogMerged = "%s: (%d) \"%s%s\" (Mdb Conversion)";
// Suffixes of a table whose patching or merge failed.
constexpr const char* kWyLogPatchError = " ***** PATCH DBASE ERROR *****";
constexpr const char* kWyLogMergeError = " ***** MDB CONVERT ERROR *****";
// Local date and time of an entry.
constexpr const char* kWyLogStampFormat = "%04d-%02d-%02d (%02d:%02d:%02d)";

// The log directory by the rule above, with a trailing separator.
MIXTABLE_API std::string Wy_LogDirectory();

class MIXTABLE_API Wy_MaintenanceLog {
 public:
  // The log in Wy_LogDirectory().
  Wy_MaintenanceLog();
  // A log at this path (tests, tools).
  explicit Wy_MaintenanceLog(const std::string& path);

  const std::string& path() const { return path_; }
  // The local date and time now, by kWyLogStampFormat.
  static std::string Stamp();

  // The three entry forms; error appends the suffix of the form.
  bool Converted(const std::string& stamp, int phase, const std::string& dir,
                 const std::string& name, bool error);
  bool ConvertLine(const std::string& stamp, int phase, const std::string& dir,
                   const std::string& name, const std::string& line,
                   bool error);
  bool Merged(const std::string& stamp, int phase, const std::string& dir,
              const std::string& name, bool error);
  // A note of a run: stamp, ": ", the text.
  bool Note(const std::string& text);
  // Appends one line (without its line end), restarting a large file.
  bool Append(const std::string& line);

 private:
  std::string path_;
};

#endif  // MIXTABLE_WY_MAINTENANCE_LOG_H_
