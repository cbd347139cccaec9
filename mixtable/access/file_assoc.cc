// Association table: see file_assoc.h.

#include "access/file_assoc.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "access/command_lexer.h"
#include "access/host_fs.h"
#include "platform/line_reader.h"

namespace mixtable {

namespace {

platform::Env* env() { return platform::Env::Current(); }

std::string GetEnv(const char* name) {
  std::string value;
  env()->GetEnv(name, &value);
  return value;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t begin = 0;
  for (;;) {
    size_t end = s.find(sep, begin);
    out.push_back(
        s.substr(begin, end == std::string::npos ? end : end - begin));
    if (end == std::string::npos) return out;
    begin = end + 1;
  }
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  if (!platform::ReadLines(path, &lines).ok()) lines.clear();
  return lines;
}

std::string FileName(const std::string& path) {
  size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The last extension of a file name, lower case, without its dot.
std::string LastExtension(const std::string& path) {
  std::string name = FileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : Lower(name.substr(dot + 1));
}

// ---- the association table -------------------------------------------------

struct Entry {
  std::string key;  // extension without dot, lower case, or "*"
  std::string command;
};

bool ParseEntry(const std::string& text, Entry* entry) {
  std::string line = Trim(text);
  if (line.empty() || line[0] == '#') return false;
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  std::string key = Lower(Trim(line.substr(0, eq)));
  if (key.compare(0, 2, "*.") == 0) {
    key.erase(0, 2);
  } else if (!key.empty() && key[0] == '.') {
    key.erase(0, 1);
  }
  entry->key = key;
  entry->command = Trim(line.substr(eq + 1));
  return !key.empty() && !entry->command.empty();
}

// The command of the entry for ext: a specific entry first, then "*".
bool LookUp(const std::vector<Entry>& entries, const std::string& ext,
            std::string* command) {
  for (const Entry& e : entries) {
    if (!ext.empty() && e.key == ext) {
      *command = e.command;
      return true;
    }
  }
  for (const Entry& e : entries) {
    if (e.key == "*") {
      *command = e.command;
      return true;
    }
  }
  return false;
}

std::vector<std::string> AssociationFiles() {
  std::string file = GetEnv("KALVO_ASSOC_FILE");
  if (!file.empty()) return {file};
  std::string config = GetEnv("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    std::string home = GetEnv("HOME");
    config = home.empty() ? "" : home + "/.config";
  }
  std::vector<std::string> files;
  if (!config.empty()) files.push_back(config + "/kalvo/associations");
  files.push_back("/etc/kalvo/associations");
  return files;
}

// Puts the document where "%1" stands, or after the other arguments.
bool PlanFromWords(std::vector<std::string> words, const std::string& doc,
                   LaunchPlan* plan) {
  if (words.empty() || words[0].empty()) return false;
  plan->program = words[0];
  plan->args.clear();
  bool placed = false;
  for (size_t i = 1; i < words.size(); ++i) {
    std::string& w = words[i];
    for (size_t at = w.find("%1"); at != std::string::npos;
         at = w.find("%1", at + doc.size())) {
      w.replace(at, 2, doc);
      placed = true;
    }
    plan->args.push_back(w);
  }
  if (!placed) plan->args.push_back(doc);
  return true;
}

// ---- the desktop's associations
// ----------------------------------------------

std::string DataHome() {
  std::string dir = GetEnv("XDG_DATA_HOME");
  if (!dir.empty() && dir[0] == '/') return dir;
  std::string home = GetEnv("HOME");
  return home.empty() ? "" : home + "/.local/share";
}

std::vector<std::string> DataDirs() {
  std::vector<std::string> dirs;
  std::string home = DataHome();
  if (!home.empty()) dirs.push_back(home);
  std::string list = GetEnv("XDG_DATA_DIRS");
  if (list.empty()) list = "/usr/local/share:/usr/share";
  for (const std::string& d : Split(list, ':')) {
    if (!d.empty() && d[0] == '/') dirs.push_back(d);
  }
  return dirs;
}

std::vector<std::string> MimeAppsLists() {
  std::vector<std::string> files;
  std::string config = GetEnv("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    std::string home = GetEnv("HOME");
    config = home.empty() ? "" : home + "/.config";
  }
  if (!config.empty()) files.push_back(config + "/mimeapps.list");
  std::string list = GetEnv("XDG_CONFIG_DIRS");
  if (list.empty()) list = "/etc/xdg";
  for (const std::string& d : Split(list, ':')) {
    if (!d.empty() && d[0] == '/') files.push_back(d + "/mimeapps.list");
  }
  for (const std::string& d : DataDirs()) {
    files.push_back(d + "/applications/mimeapps.list");
    files.push_back(d + "/applications/defaults.list");
  }
  return files;
}

// Glob match with "*" and "?" (other characters literal).
bool GlobMatch(const char* glob, const char* name) {
  if (*glob == '\0') return *name == '\0';
  if (*glob == '*') {
    for (const char* n = name;; ++n) {
      if (GlobMatch(glob + 1, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*glob != '?' && *glob != *name) return false;
  return GlobMatch(glob + 1, name + 1);
}

// Reads a value of the [section] of a key file.
std::string KeyFileValue(const std::string& path, const std::string& section,
                         const std::string& key) {
  bool in_section = false;
  for (const std::string& raw : Lines(path)) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      in_section = line == "[" + section + "]";
      continue;
    }
    if (!in_section) continue;
    size_t eq = line.find('=');
    if (eq != std::string::npos && Trim(line.substr(0, eq)) == key) {
      return Trim(line.substr(eq + 1));
    }
  }
  return "";
}

// Splits the Exec line of a .desktop file: blanks separate, double quotes
// group with "\" escaping the next character.
std::vector<std::string> SplitExec(const std::string& exec) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) {
        word += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      in_word = true;
      if (c == '"') {
        quoted = true;
      } else {
        word += c;
      }
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// Replaces the field codes of an Exec line: %f %F %u %U become the
// document, %% a percent sign, the other codes nothing.
bool PlanFromExec(const std::string& exec, const std::string& doc,
                  LaunchPlan* plan) {
  std::vector<std::string> words;
  bool placed = false;
  for (const std::string& w : SplitExec(exec)) {
    if (w == "%f" || w == "%F" || w == "%u" || w == "%U") {
      words.push_back(doc);
      placed = true;
      continue;
    }
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
      if (w[i] != '%' || i + 1 >= w.size()) {
        out += w[i];
        continue;
      }
      char code = w[++i];
      if (code == '%') {
        out += '%';
      } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
        out += doc;
        placed = true;
      }
    }
    if (!out.empty() || w.empty()) words.push_back(out);
  }
  if (words.empty()) return false;
  if (!placed) words.push_back(doc);
  plan->program = words[0];
  plan->args.assign(words.begin() + 1, words.end());
  return true;
}

bool DesktopPlan(const std::string& mime, const std::string& doc,
                 LaunchPlan* plan) {
  if (mime.empty()) return false;
  std::vector<std::string> app_dirs;
  for (const std::string& d : DataDirs())
    app_dirs.push_back(d + "/applications/");
  for (const std::string& list : MimeAppsLists()) {
    std::string ids = KeyFileValue(list, "Default Applications", mime);
    for (const std::string& id : Split(ids, ';')) {
      if (id.empty() || id.find('/') != std::string::npos) continue;
      for (const std::string& dir : app_dirs) {
        if (!env()->FileExists(dir + id)) continue;
        std::string exec = KeyFileValue(dir + id, "Desktop Entry", "Exec");
        if (PlanFromExec(exec, doc, plan)) return true;
      }
    }
  }
  return false;
}

}  // namespace

std::string DesktopMimeType(const std::string& file_name) {
  std::string name = FileName(file_name);
  std::string lower = Lower(name);
  std::string best;
  int best_weight = -1;
  size_t best_len = 0;
  for (const std::string& dir : DataDirs()) {
    for (const std::string& line : Lines(dir + "/mime/globs2")) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> f =
          Split(line, ':');  // weight:type:glob[:flags]
      if (f.size() < 3) continue;
      bool case_sensitive =
          f.size() > 3 && f[3].find("cs") != std::string::npos;
      const std::string& subject = case_sensitive ? name : lower;
      std::string glob = case_sensitive ? f[2] : Lower(f[2]);
      if (!GlobMatch(glob.c_str(), subject.c_str())) continue;
      int weight = std::atoi(f[0].c_str());
      if (weight > best_weight ||
          (weight == best_weight && glob.size() > best_len)) {
        best = f[1];
        best_weight = weight;
        best_len = glob.size();
      }
    }
  }
  if (!best.empty()) return best;
  std::string ext = LastExtension(name);
  if (ext.empty()) return "";
  for (const std::string& line : Lines("/etc/mime.types")) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> words = SplitWords(line);
    for (size_t i = 1; i < words.size(); ++i) {
      if (Lower(words[i]) == ext) return words[0];
    }
  }
  return "";
}

std::string SearchPath(const std::string& name) {
  std::string list = GetEnv("PATH");
  if (list.empty() || name.empty()) return "";
  for (const std::string& d : Split(list, ':')) {
    std::string candidate = (d.empty() ? "." : d) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return "";
}

platform::Status FindAssociation(const std::string& document,
                                 const std::string& doc_host,
                                 LaunchPlan* plan) {
  platform::FileInfo info;
  bool is_dir = env()->GetFileInfo(document, &info).ok() && info.is_dir;
  std::string ext = is_dir ? "" : LastExtension(document);

  std::string command;
  std::vector<Entry> entries;
  Entry entry;
  for (const std::string& text : Split(GetEnv("KALVO_ASSOC"), ';')) {
    if (ParseEntry(text, &entry)) entries.push_back(entry);
  }
  bool found = LookUp(entries, ext, &command);
  for (const std::string& file : AssociationFiles()) {
    if (found) break;
    entries.clear();
    for (const std::string& line : Lines(file)) {
      if (ParseEntry(line, &entry)) entries.push_back(entry);
    }
    found = LookUp(entries, ext, &command);
  }
  if (found && PlanFromWords(SplitWords(command), doc_host, plan)) {
    return platform::Status::OK();
  }

  std::string mime = is_dir ? "inode/directory" : DesktopMimeType(document);
  if (DesktopPlan(mime, doc_host, plan)) return platform::Status::OK();

  std::string opener = SearchPath("xdg-open");
  if (!opener.empty()) {
    plan->program = opener;
    plan->args = {doc_host};
    return platform::Status::OK();
  }
  return platform::Status::Error(ENOEXEC,
                                 "no program is associated with " + document);
}

}  // namespace mixtable
