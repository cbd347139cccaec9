// Cache directories and cache information files of served data sets.

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string CacheRoot() {
  std::string dir;
  if (platform::Env::Current()->GetEnv("CACHEDIR", &dir)) dir = Trim(dir);
  if (dir.empty()) dir = "c:\\wuser\\DBFCache\\";
  Wy_AddTrailingBackslash(dir);
  return dir;
}

// The cache functions' rule for server names: a plain name, not this
// machine.
bool RemoteServer(const char* server) {
  return server != nullptr && *server != '\0' &&
         !EqualNoCase(server, kWyLocalMachineName);
}

bool SafeServer(const std::string& server) {
  return server.find_first_of("\\/:") == std::string::npos &&
         server.find("..") == std::string::npos;
}

// The cache information file of (server, data-set path), or "".
std::string InfoFile(const std::string& path, const char* server) {
  if (Trim(path).empty() || !RemoteServer(server)) return std::string();
  std::string dir;
  if (!Wy_CachePath(dir, server, path.c_str())) return std::string();
  const std::string root = CacheRoot();
  std::string flat = dir.substr(root.size());
  if (!flat.empty()) flat.pop_back();  // the trailing "\"
  for (char& c : flat)
    if (c == '\\' || c == '.') c = '_';
  return root + flat + ".INF";
}

}  // namespace

int Wy_CachePath(std::string& path, const char* server, const char* datapath) {
  platform::Env* env = platform::Env::Current();
  path = CacheRoot();
  if (!env->FileExists(path)) Wy_MkDir(path);
  env->SetAttributes(path.substr(0, path.size() - 1),
                     platform::kAttrHidden | platform::kAttrSystem);
  if (server == nullptr || datapath == nullptr) return 1;
  const std::string srv = server;
  const std::string data = datapath;
  if (srv.empty() || data.empty()) return 1;
  // Nothing may lead out of the cache directory.
  const bool drive_path = data.size() >= 3 &&
                          std::isalpha(static_cast<unsigned char>(data[0])) &&
                          data[1] == ':' && (data[2] == '\\' || data[2] == '/');
  if (!SafeServer(srv) || !drive_path || data.find("..") != std::string::npos) {
    path.clear();
    return 0;
  }
  path += srv + "\\" + data.substr(0, 1) + "\\" + data.substr(3);
  Wy_AddTrailingBackslash(path);
  if (!env->FileExists(path)) Wy_MkDir(path);
  return 1;
}

bool Wy_ReadCacheInfo(std::vector<std::string>& lines, const std::string& path,
                      const char* server) {
  lines.clear();
  const std::string file = InfoFile(path, server);
  if (file.empty()) return false;
  // Lines are kept whole: what Wy_WriteCacheInfo wrote comes back as it was.
  return platform::ReadLines(file, &lines).ok();
}

bool Wy_WriteCacheInfo(const std::vector<std::string>& lines,
                       const std::string& path, const char* server) {
  const std::string file = InfoFile(path, server);
  if (file.empty()) return false;
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(file, platform::OpenMode::kCreateAlways, &f)
           .ok())
    return false;
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  if (!f->WriteAt(0, text.data(), text.size()).ok()) return false;
  return true;
}
