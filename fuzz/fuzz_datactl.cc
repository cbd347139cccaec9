// Catalogue records made of arbitrary bytes (another program may have
// written anything into DATACTL.DBF): every lookup must answer within its
// buffers, and a cache directory built from a record's SERVER_ID and PATH
// must stay inside the cache directory.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mixtable/wy_catalog.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

// The temporary local and cache directories, set up once.
const std::string& CacheDir() {
  static const std::string cache = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_datactl_" +
                            std::to_string(env->CurrentProcessId());
    env->CreateDir(dir);
    env->SetEnv("LOCALDIR", dir + "/local");
    env->SetEnv("CACHEDIR", dir + "/cache");
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    Wy_CheckDatactl(false, nullptr);
    std::string c;
    Wy_CachePath(c, nullptr, nullptr);
    return c;
  }();
  return cache;
}

void CheckCachePath(const std::string& server, const std::string& path) {
  std::string dir;
  if (!Wy_CachePath(dir, server.c_str(), path.c_str())) {
    if (!dir.empty()) std::abort();
    return;
  }
  const std::string& cache = CacheDir();
  if (dir.compare(0, cache.size(), cache) != 0) std::abort();
  std::string rest = dir.substr(cache.size());
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  if (("\\" + rest).find("\\..\\") != std::string::npos) std::abort();
  std::vector<std::string> lines;
  Wy_ReadCacheInfo(lines, path, server.c_str());
  Wy_PruneDir(cache);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CacheDir();
  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db) || !db.Open()) return 0;
  db.Zap();
  const size_t len = static_cast<size_t>(db.RecordBufferLen());
  std::vector<uint32_t> ids;
  // Up to three records, each from the next len bytes (blank-padded).
  for (size_t at = 0; at < size && at < 3 * len; at += len) {
    if (!db.AppendBlank()) break;
    char* rec = db.RecordBufferPtr();
    std::memcpy(rec, data + at, std::min(len, size - at));
    db.RecordBufferWrite();
    ids.push_back(
        static_cast<uint32_t>(std::strtoul(db.Read("DATAID"), nullptr, 10)));
  }
  std::vector<std::pair<std::string, std::string>> served;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    // Read() answers a shared buffer: one field at a time.
    std::string server = db.Read("SERVER_ID", 1, 1);
    served.emplace_back(server, db.Read("PATH", 1, 1));
  }
  db.Close();
  // Each lookup opens the catalogue: the first id stands for all.
  if (ids.size() > 1) ids.resize(1);
  for (uint32_t id : ids) {
    std::string path, descr;
    Wy_DataPath(id, path, descr);
    Wy_GetAbsDataId(id);
    uint32_t family[8];  // the catalogue holds at most three records
    Wy_GetDataIdListFamily(id, family);
    std::vector<uint32_t> list;
    Wy_SlaveId(id);
    Wy_SlaveListId(id, &list);
    Wy_DataIdFromSlaveId(id);
    Wy_CheckDatactlForMultipleIds(id);
    Wy_CheckDatactlForServerData(id);
  }
  Wy_GetGDataIdForGDataPath();
  Wy_GetDefaultGDataId();
  for (const auto& [server, path] : served) CheckCachePath(server, path);
  return 0;
}
