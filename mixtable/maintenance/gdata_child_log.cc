// The child log and the names of a build's work directories.
#include <cctype>
#include <cstdio>
#include <string>

#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_maintenance_log.h"

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& end) {
  if (s.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i)
    if (std::toupper(
            static_cast<unsigned char>(s[s.size() - end.size() + i])) !=
        std::toupper(static_cast<unsigned char>(end[i])))
      return false;
  return true;
}

}  // namespace

bool Wy_IsChildWorkDir(const std::string& path) {
  std::string p = path;
  while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  return EndsWithNoCase(p, kChildStagingSuffix) ||
         EndsWithNoCase(p, kChildAsideSuffix);
}

std::string Wy_GDataChildLogPath() { return Wy_LogDirectory() + kChildLogName; }

bool Wy_GDataChildLog(int phase, const std::string& dir,
                      const std::string& name, bool error) {
  const std::string stamp = Wy_MaintenanceLog::Stamp();
  const int n = std::snprintf(nullptr, 0, kChildLogEntry, stamp.c_str(), phase,
                              dir.c_str(), name.c_str());
  if (n < 0) return false;
  std::string line(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(line.data(), line.size(), kChildLogEntry, stamp.c_str(), phase,
                dir.c_str(), name.c_str());
  line.resize(static_cast<size_t>(n));
  if (error) line += kChildLogError;
  // Appends restart a file larger than the limit, as MIXTABLE.LOG does.
  return Wy_MaintenanceLog(Wy_GDataChildLogPath()).Append(line);
}

bool Wy_GDataChildLogNote(const std::string& text) {
  return Wy_MaintenanceLog(Wy_GDataChildLogPath()).Note(text);
}
