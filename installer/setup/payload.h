// The payload of a data-set package: the archive "GDATA.TGZ" that the setup
// program unpacks into the target directory of an installation.
//
// Format: a tar archive (POSIX ustar, pax extended headers only where ustar
// cannot hold a name), compressed with gzip; a plain tar is read as well.
// Entries are the directories and regular files of the data-set tree with
// names relative to its root, "/" between components, directories before
// what they hold. Nothing else is accepted: an entry whose name is absolute,
// holds a drive or "..", or a character a Windows file name cannot hold, a
// symbolic or hard link, a device, FIFO or socket, a name given twice (case
// ignored, as the data-set tree is case-insensitive) or an entry below a file
// makes the whole payload refused before anything is written.
//
// All file access goes through the platform layer (Windows-style or host
// paths). Functions answer true on success; on failure *why (optional)
// receives one line saying what was refused or failed. Nothing throws.

#ifndef INSTALLER_SETUP_PAYLOAD_H_
#define INSTALLER_SETUP_PAYLOAD_H_

#include <cstdint>
#include <string>

namespace setup {

// File name of the payload, beside the setup program in a package.
constexpr const char* kPayloadName = "GDATA.TGZ";
// Longest entry name (bytes, without the target directory) and component.
constexpr size_t kMaxEntryName = 240;
constexpr size_t kMaxComponent = 128;

// Counts of a payload.
struct PayloadSummary {
  uint32_t dirs = 0;
  uint32_t files = 0;
  uint64_t bytes = 0;  // contents of the files
};

// Checks one entry name as stored in the archive. On success *rel receives
// the name with "\" between its components ("" for the root itself, "./").
bool PayloadNameOk(const std::string& name, std::string* rel, std::string* why);

// First pass: reads the whole archive (every byte of every entry, so that a
// truncated or corrupt archive is found here) and checks every entry.
// Writes nothing.
bool CheckPayload(const std::string& archive, PayloadSummary* summary,
                  std::string* why);

// How ExtractPayload runs.
struct ExtractOptions {
  // Report through platform::Progress (window kProgressWindow): the overall
  // percent of the bytes at the start (0, "Unpacking") and after each entry
  // (text the entry's path), then the reset at the end.
  bool progress = false;
  // Test hook: when non-zero, the process kills itself (KillCurrentProcess)
  // after writing this many files, as a setup ended part way would.
  uint32_t kill_after_files = 0;
  // Commit files and directories to disk (off only where durability does
  // not matter, e.g. the fuzz target).
  bool sync = true;
};

// Checks the archive (CheckPayload) and, only when it passes, unpacks it
// into target (created with its parents when missing). Existing files of the
// same names are replaced; an existing link or non-directory on the way is
// never followed or replaced (failure). Every file written is synced, then
// every directory that received an entry. On failure part of the tree may
// have been written (the caller removes it); nothing lands outside target.
bool ExtractPayload(const std::string& archive, const std::string& target,
                    const ExtractOptions& options, PayloadSummary* summary,
                    std::string* why);

// Writes the payload of the tree src_dir into archive (replaced when it
// exists): directories and regular files only, sorted case-insensitively
// within each directory, owner 0, modes 0755/0644, modification times of
// the files limited to $SOURCE_DATE_EPOCH when that is set, and no time in
// the gzip header, so that one tree always gives the same bytes. Refuses a
// tree holding a link, or a name the reader would refuse.
bool WritePayload(const std::string& src_dir, const std::string& archive,
                  PayloadSummary* summary, std::string* why);

}  // namespace setup

#endif  // INSTALLER_SETUP_PAYLOAD_H_
