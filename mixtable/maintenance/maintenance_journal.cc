// The maintenance journal: parsing, path checks and the restore of an
// interrupted run.

#include "maintenance/maintenance_journal.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/wy_maintenance.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace mixtable {
namespace {

platform::Env* env() { return platform::Env::Current(); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper((unsigned char)c));
  return s;
}

std::vector<std::string> Components(const std::string& rel) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : rel) {
    if (c == '\\' || c == '/') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

std::string Area(const std::string& dir) { return dir + kWyMaintenanceArea; }

// Commits a file's contents (opened read-only: fsync works on any handle).
bool SyncFile(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!env()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok()) {
    return false;
  }
  return f->Sync().ok();
}

std::string Parent(const std::string& path) {
  const size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

// Creates the directories of rel's parents below base (base exists).
bool MakeParents(const std::string& base, const std::string& rel) {
  std::vector<std::string> parts = Components(rel);
  std::string cur = base;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    cur += parts[i];
    if (!env()->FileExists(cur)) {
      if (!env()->CreateDir(cur).ok()) return false;
      env()->SyncDir(Parent(cur));
    }
    cur += '\\';
  }
  return true;
}

void DeleteIfPresent(const std::string& path) {
  if (env()->FileExists(path)) env()->DeleteFile(path);
}

// Work tables of the engine ("$$$nnnnn.dbf" and their memo files) in the
// directory of path that no handle holds open.
void DeleteWorkTables(const std::string& path) {
  const std::string dir = Parent(path);
  std::vector<platform::DirEntry> entries;
  if (!env()->ListDir(dir, "$$$*", &entries).ok()) return;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_dir || e.info.is_link) continue;
    const std::string full = dir + e.name;
    std::string u = Upper(e.name);
    if (u.size() > 4 && u.compare(u.size() - 4, 4, ".DBT") == 0) {
      u = full.substr(0, full.size() - 4) + ".dbf";
      if (env()->FileExists(u) && WdbaseIsInUse(u.c_str())) continue;
    } else if (WdbaseIsInUse(full.c_str())) {
      continue;
    }
    env()->DeleteFile(full);
  }
}

}  // namespace

bool PlainRelativePath(const std::string& rel) {
  if (rel.empty() || rel.size() > 512) return false;
  for (char c : rel) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ':') return false;
  }
  std::vector<std::string> parts = Components(rel);
  for (const std::string& p : parts) {
    if (p.empty() || p == "." || p == "..") return false;
  }
  return !Wy_IsMaintenanceName(parts[0]);
}

bool NoLinkOnPath(const std::string& dir, const std::string& rel) {
  std::string cur = dir;
  for (const std::string& p : Components(rel)) {
    cur += p;
    platform::FileInfo info;
    if (!env()->GetFileInfo(cur, &info).ok()) return true;  // rest missing
    if (info.is_link) return false;
    cur += '\\';
  }
  return true;
}

bool ParseJournal(const std::string& text, std::vector<JournalEntry>* entries,
                  std::string* why) {
  entries->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) break;  // unfinished last line
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    JournalEntry e;
    const size_t ns = std::char_traits<char>::length(kJournalSaved);
    const size_t nc = std::char_traits<char>::length(kJournalCreated);
    if (line.compare(0, ns, kJournalSaved) == 0) {
      e.rel = line.substr(ns);
    } else if (line.compare(0, nc, kJournalCreated) == 0) {
      e.created = true;
      e.rel = line.substr(nc);
    } else {
      if (why) *why = "journal line of unknown form: \"" + line + "\"";
      return false;
    }
    if (!PlainRelativePath(e.rel)) {
      if (why)
        *why = "journal path outside the data directory: \"" + e.rel + "\"";
      return false;
    }
    entries->push_back(std::move(e));
  }
  return true;
}

bool DeleteArea(const std::string& dir) {
  const std::string area = Area(dir);
  for (const char* name : {kWyMaintenanceJournal, kWyMaintenanceJournalDone}) {
    const std::string p = area + "\\" + name;
    if (env()->FileExists(p) && !env()->DeleteFile(p).ok()) return false;
  }
  env()->SyncDir(area);
  if (!env()->DeleteTree(area).ok()) return false;
  env()->SyncDir(dir);
  return true;
}

int RestoreArea(const std::string& dir, std::string* note, std::string* error) {
  if (note) note->clear();
  const std::string area = Area(dir);
  platform::FileInfo info;
  if (!env()->GetFileInfo(area, &info).ok()) return 1;  // nothing to do
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return kWyMaintenanceUnrestorable;
  };
  if (info.is_link || !info.is_dir) {
    return fail(std::string(kWyMaintenanceArea) + " is not a directory");
  }
  const std::string journal = area + "\\" + kWyMaintenanceJournal;
  if (!env()->FileExists(journal)) {
    // Complete, or the run died before its first change.
    if (!DeleteArea(dir)) return fail("cannot delete the backup area");
    if (note) *note = "removed the backup area of a finished run";
    return 1;
  }
  // Read the whole journal (it is small: two lines per changed table).
  std::string text;
  {
    std::unique_ptr<platform::File> f;
    platform::Status st =
        env()->OpenFile(journal, platform::OpenMode::kReadOnly, &f);
    uint64_t size = 0;
    if (st.ok()) st = f->Size(&size);
    if (st.ok() && size > (16u << 20)) {
      return fail("journal too large");
    }
    if (st.ok()) {
      text.resize(size);
      size_t got = 0;
      st = f->ReadAt(0, text.data(), text.size(), &got);
      if (st.ok() && got != size) st = platform::Status::Error(EIO, journal);
    }
    if (!st.ok()) return fail("cannot read the journal: " + st.ToString());
  }
  std::vector<JournalEntry> entries;
  std::string why;
  if (!ParseJournal(text, &entries, &why)) return fail(why);
  // Check everything before changing anything.
  for (const JournalEntry& e : entries) {
    if (!NoLinkOnPath(dir, e.rel)) {
      return fail("journal path through a symbolic link: \"" + e.rel + "\"");
    }
    if (!e.created && !env()->FileExists(area + "\\" + e.rel)) {
      return fail("saved copy missing: \"" + e.rel + "\"");
    }
  }
  int restored = 0, removed = 0;
  for (const JournalEntry& e : entries) {
    if (e.created) continue;
    const std::string target = dir + e.rel;
    // Leftovers of interrupted engine work would otherwise be applied to
    // the restored file by the next open (a pack journal, a set-aside).
    DeleteIfPresent(target + ".jnl");
    DeleteIfPresent(target + ".old");
    DeleteWorkTables(target);
    if (!MakeParents(dir, e.rel)) return fail("cannot create for " + e.rel);
    const std::string work = target + kRestoreWorkSuffix;
    platform::Status st = env()->CopyFile(area + "\\" + e.rel, work, false);
    if (st.ok() && !SyncFile(work)) st = platform::Status::Error(EIO, work);
    if (st.ok()) st = env()->RenameFile(work, target, true);
    if (!st.ok()) {
      DeleteIfPresent(work);
      return fail("cannot restore \"" + e.rel + "\": " + st.ToString());
    }
    env()->SyncDir(Parent(target));
    ++restored;
  }
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (!it->created) continue;
    const std::string target = dir + it->rel;
    DeleteIfPresent(target + kRestoreWorkSuffix);
    platform::FileInfo fi;
    if (!env()->GetFileInfo(target, &fi).ok()) continue;
    if (fi.is_dir && !fi.is_link) {
      if (env()->RemoveDir(target).ok()) ++removed;  // only when empty
    } else {
      DeleteIfPresent(target + ".jnl");
      DeleteIfPresent(target + ".old");
      if (!env()->DeleteFile(target).ok()) {
        return fail("cannot remove \"" + it->rel + "\"");
      }
      ++removed;
    }
    env()->SyncDir(Parent(target));
  }
  if (!DeleteArea(dir)) return fail("cannot delete the backup area");
  if (note) {
    *note = "interrupted run restored: " + std::to_string(restored) +
            " file(s) copied back, " + std::to_string(removed) +
            " created path(s) removed";
  }
  return 1;
}

}  // namespace mixtable
