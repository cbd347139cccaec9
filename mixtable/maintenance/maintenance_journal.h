// The journal of the maintenance backup area (see mixtable/wy_maintenance.h):
// parsing, the check of the paths it names, and the restore of an
// interrupted run. Internal to the tables library; the reader is fuzzed.

#ifndef MIXTABLE_MAINTENANCE_MAINTENANCE_JOURNAL_H_
#define MIXTABLE_MAINTENANCE_MAINTENANCE_JOURNAL_H_

#include <string>
#include <vector>

namespace mixtable {

// Line forms of the journal.
constexpr const char* kJournalSaved = "saved ";
constexpr const char* kJournalCreated = "created ";
// Suffix of the work name a restored file is copied to before its rename.
constexpr const char* kRestoreWorkSuffix = ".$RS";

struct JournalEntry {
  bool created = false;  // "created": remove; otherwise "saved": copy back
  std::string rel;       // relative to the data directory, "\"-separated
};

// Parses the journal's text. Every line must end with "\n" except the last,
// which is ignored without it (it was never finished). False (why set) for a
// line of unknown form or a path that is not a plain relative one (see
// PlainRelativePath).
bool ParseJournal(const std::string& text, std::vector<JournalEntry>* entries,
                  std::string* why);

// Whether rel is a plain relative path: not empty, at most 512 characters,
// no control character, no drive, not absolute, no empty, "." or ".."
// component, and not inside the backup area or naming the lock file.
bool PlainRelativePath(const std::string& rel);

// Whether dir + rel stays inside dir on the host: no existing component of
// rel is a symbolic link.
bool NoLinkOnPath(const std::string& dir, const std::string& rel);

// Undoes what the area of dir (with a trailing "\") records: an incomplete
// journal is restored (saved files copied back, created paths removed,
// leftovers of interrupted engine work removed), then the area deleted; an
// area without an incomplete journal is deleted. Answers 1 (note says what
// was done, "" when there was no area) or -5 (error says why; the area is
// kept when the journal could not be trusted).
int RestoreArea(const std::string& dir, std::string* note, std::string* error);

// Deletes the area of dir: its journal files first, then the rest.
bool DeleteArea(const std::string& dir);

}  // namespace mixtable

#endif  // MIXTABLE_MAINTENANCE_MAINTENANCE_JOURNAL_H_
