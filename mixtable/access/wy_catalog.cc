// The fixed directories and the catalogue lookups.

#include "mixtable/wy_catalog.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "access/wy_catalog_impl.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

std::string TrimSet(const std::string& s, const char* set) {
  size_t b = s.find_first_not_of(set);
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(set);
  return s.substr(b, e - b + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The one-entry cache of Wy_GetAbsDataId.
uint32_t g_abs_id_asked = 0;
uint32_t g_abs_id_answer = 0;
bool g_abs_id_valid = false;

// What the catalogue file looked like when the cached answer was read: its
// path, its file and the change counter every writer of the file bumps (in
// any process). Another process's write changes the stamp.
struct CatalogStamp {
  std::string path;
  uint64_t inode = 0;
  uint64_t counter = 0;
  bool operator==(const CatalogStamp&) const = default;
};
CatalogStamp g_abs_id_stamp;
// The counter behind g_abs_id_stamp, held while the answer is cached: a
// counter nobody holds starts at zero again, so a write by another process
// in between would leave the same value.
std::unique_ptr<platform::ChangeCounter> g_abs_id_counter;

// False when there is no catalogue or its changes cannot be followed (a
// network file system): then nothing is cached.
// *counter: the counter read, to be held while the stamp is compared with
// later ones.
bool TakeCatalogStamp(CatalogStamp* stamp,
                      std::unique_ptr<platform::ChangeCounter>* counter) {
  Wdbase db;
  if (!Wy_SetDatactlDbHandle(&db)) return false;
  stamp->path = std::string(db.GetPath()) + db.GetName(0);
  std::unique_ptr<platform::File> file;
  if (!platform::Env::Current()
           ->OpenFile(stamp->path, platform::OpenMode::kReadOnly, &file)
           .ok()) {
    return false;
  }
  platform::FileInfo info;
  if (!file->Stat(&info).ok() || !file->OpenChangeCounter(counter).ok()) {
    return false;
  }
  stamp->inode = info.inode;
  stamp->counter = (*counter)->Load();
  return true;
}

}  // namespace

namespace mixtable {

std::string ReadCatalogField(const Wdbase& db, const char* field, int max) {
  std::vector<char> buf(static_cast<size_t>(max) + 1);
  if (db.FieldNo(field) <= 0 ||
      !db.ReadString(field, buf.data(), static_cast<int>(buf.size())))
    return std::string();
  return TrimSet(buf.data(), " \t\r\n");
}

uint32_t ReadCatalogId(const Wdbase& db, const char* field) {
  return static_cast<uint32_t>(
      std::strtoul(ReadCatalogField(db, field, 126).c_str(), nullptr, 10));
}

std::string CatalogIdText(uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%10lu", static_cast<unsigned long>(id));
  return buf;
}

bool OpenCatalog(Wdbase& db) {
  return Wy_SetDatactlDbHandle(&db) && db.Access(0) && db.Open();
}

bool SeekCatalogId(Wdbase& db, uint32_t id) {
  return db.SelectIdx(1) && db.Seek(CatalogIdText(id).c_str()) == 1;
}

}  // namespace mixtable

using mixtable::CatalogIdText;
using mixtable::OpenCatalog;
using mixtable::ReadCatalogField;
using mixtable::ReadCatalogId;

// ---- fixed directories ------------------------------------------------------

int Wy_LocalPath(std::string& path) {
  path.clear();
  platform::Env* env = platform::Env::Current();
  if (env->GetEnv("LOCALDIR", &path)) {
    while (!path.empty() &&
           std::isspace(static_cast<unsigned char>(path.back())))
      path.pop_back();  // right-trimmed only
  }
  if (path.empty()) path = "c:\\local\\";
  Wy_AddTrailingBackslash(path);
  std::string dir = path.substr(0, path.size() - 1);
  if (!dir.empty() && !env->FileExists(dir)) Wy_MkDir(dir);
  return 1;
}

int Wy_LocalPathEx(std::string& path) {
  platform::Env* env = platform::Env::Current();
  std::string dsp;
  if (env->GetEnv("DSP", &dsp)) {
    path = TrimSet(dsp, " \t\r\n");
    Wy_AddTrailingBackslash(path);
    return 1;
  }
  if (env->FileExists("DISPS.DBF") && env->FileExists("TANKS.DBF")) {
    path.clear();
    return 1;
  }
  return Wy_LocalPath(path);
}

int Wy_DataDir(std::string& path) {
  path = "c:\\gdata\\";
  return 1;
}

// ---- the catalogue handle ---------------------------------------------------

int Wy_SetDatactlDbHandle(Wdbase* db) {
  if (db == nullptr) return 0;
  std::string local;
  Wy_LocalPath(local);
  static const char* const names[] = {"CTLID", "CTLPATH"};
  static const char* const exprs[] = {"DATAID", "PATH"};
  return db->SetFiles(local.c_str(), "DATACTL", 2, names, exprs);
}

// ---- lookups ----------------------------------------------------------------

bool Wy_DataPath(uint32_t id, std::string& path, std::string& descr) {
  path.clear();
  descr.clear();
  Wdbase db;
  if (id == 0 || !OpenCatalog(db)) {
    Wy_DataDir(path);
    return false;
  }
  bool found = mixtable::SeekCatalogId(db, id);
  if (found) {
    path = ReadCatalogField(db, "PATH", 126);
    descr = ReadCatalogField(db, "DESCR", 126);
    Wy_AddTrailingBackslash(path);
  }
  db.Close();
  return found;
}

int Wy_CheckCatalogueId(uint32_t id, std::string* path, std::string* descr,
                        int* hidden) {
  if (path) path->clear();
  if (descr) descr->clear();
  if (hidden) *hidden = 0;
  Wdbase db;
  if (id == 0) {
    if (OpenCatalog(db)) {
      db.Close();
      return 0;
    }
    if (path) Wy_DataDir(*path);  // no catalogue: the default data set
    return 1;
  }
  if (!OpenCatalog(db)) return 0;
  bool found = mixtable::SeekCatalogId(db, id) && !db.Deleted();
  if (found) {
    std::string p = ReadCatalogField(db, "PATH", 126);
    Wy_AddTrailingBackslash(p);
    if (path) *path = p;
    if (descr) *descr = ReadCatalogField(db, "DESCR", 126);
  }
  db.Close();
  if (!found) return 0;
  if (Wy_IsAnHiddenGdata(id)) {
    if (hidden) *hidden = 1;
    return 0;
  }
  return 1;
}

void Wy_ResetAbsDataIdCache() {
  g_abs_id_valid = false;
  g_abs_id_asked = 0;
  g_abs_id_answer = 0;
  g_abs_id_counter.reset();
}

uint32_t Wy_GetAbsDataId(uint32_t id) {
  CatalogStamp stamp;
  std::unique_ptr<platform::ChangeCounter> counter;
  const bool stamped = TakeCatalogStamp(&stamp, &counter);
  if (!g_abs_id_valid || g_abs_id_asked != id || !stamped ||
      !(stamp == g_abs_id_stamp)) {
    g_abs_id_valid = stamped;
    g_abs_id_stamp = stamp;
    g_abs_id_counter = std::move(counter);
    g_abs_id_asked = id;
    g_abs_id_answer = 0;
    Wdbase db;
    if (id != 0 && OpenCatalog(db)) {
      if (mixtable::SeekCatalogId(db, id))
        g_abs_id_answer = ReadCatalogId(db, "ABS_DATAID");
      db.Close();
    }
  }
  return g_abs_id_answer != 0 ? g_abs_id_answer : id;
}

int Wy_GetDataIdListFamily(uint32_t id, uint32_t* ids) {
  Wdbase db;
  if (id == 0 || !OpenCatalog(db)) return 0;
  int count = 0;
  db.SelectIdx(0);
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (db.Deleted()) continue;
    const uint32_t data_id = ReadCatalogId(db, "DATAID");
    if (ReadCatalogId(db, "ABS_DATAID") == id || data_id == id) {
      if (ids) ids[count] = data_id;
      ++count;
    }
  }
  db.Close();
  return count;
}

int Wy_CheckDatactlForMultipleIds(uint32_t id) {
  Wdbase db;
  if (!OpenCatalog(db)) return 0;
  std::vector<uint32_t> all;
  std::vector<bool> live;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    all.push_back(ReadCatalogId(db, "DATAID"));
    live.push_back(!db.Deleted());
  }
  db.Close();
  auto occurrences = [&](uint32_t v) {
    int n = 0;
    for (uint32_t x : all) n += x == v;
    return n;
  };
  if (id != 0) return occurrences(id) >= 2 ? 1 : 0;
  for (size_t i = 0; i < all.size(); ++i)
    if (live[i] && occurrences(all[i]) >= 2) return 1;
  return 0;
}

int Wy_CheckDatactlForServerData(uint32_t id) {
  Wdbase db;
  if (!OpenCatalog(db)) return 0;
  int result = 0;
  for (int ok = db.Top(); ok && !db.Eof() && !result; ok = db.Next()) {
    if (id != 0 && ReadCatalogId(db, "DATAID") != id) continue;
    const std::string server = ReadCatalogField(db, "SERVER_ID", 126);
    ReadCatalogField(db, "PROCESS_ID", 126);
    ReadCatalogField(db, "USER_NAME", 126);
    ReadCatalogField(db, "PASSWORD", 126);
    if (!server.empty() && !EqualNoCase(server, kWyLocalMachineName))
      result = 1;
  }
  db.Close();
  return result;
}

uint32_t Wy_GetGDataIdForGDataPath() {
  Wdbase db;
  if (!OpenCatalog(db)) return 0;
  uint32_t result = 0;
  for (int ok = db.Top(); ok && !db.Eof() && !result; ok = db.Next()) {
    if (db.Deleted()) continue;
    std::string p = ReadCatalogField(db, "PATH", 126);
    p += '\\';
    for (char& c : p)
      if (c == '\\') c = '/';
    for (size_t at; (at = p.find("//")) != std::string::npos;) p.erase(at, 1);
    if (EqualNoCase(p, "c:/gdata/")) result = ReadCatalogId(db, "DATAID");
  }
  db.Close();
  return result;
}

uint32_t Wy_GetDefaultGDataId() {
  Wdbase db;
  if (!OpenCatalog(db)) return 0;
  uint32_t result = 0;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (db.Deleted()) continue;
    result = ReadCatalogId(db, "DATAID");
    break;
  }
  db.Close();
  return result;
}

// ---- dispenser ids ----------------------------------------------------------

namespace {

bool OpenForSlaves(Wdbase& db) {
  if (OpenCatalog(db)) return true;
  Wy_Trace("\nWy_SlaveId: Could not open DataCtl.");
  return false;
}

// The DISP_ID of the first record (natural order) of id, or false.
bool DispIdOf(uint32_t id, int max, std::string* disp) {
  Wdbase db;
  if (!OpenForSlaves(db)) return false;
  bool found = false;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next()) {
    if (ReadCatalogId(db, "DATAID") != id) continue;
    *disp = ReadCatalogField(db, "DISP_ID", max);
    found = true;
    break;
  }
  db.Close();
  return found;
}

}  // namespace

uint32_t Wy_SlaveId(uint32_t id) {
  std::string disp;
  if (!DispIdOf(id, 126, &disp)) return 0;
  return static_cast<uint32_t>(std::strtoul(disp.c_str(), nullptr, 10));
}

int Wy_SlaveListId(uint32_t id, std::vector<uint32_t>* list) {
  std::string disp;
  if (!DispIdOf(id, 47, &disp)) return 0;
  if (list) {
    // Every piece between commas, a trailing empty one included.
    size_t start = 0;
    for (;;) {
      const size_t comma = disp.find(',', start);
      const std::string piece = disp.substr(start, comma - start);
      list->push_back(static_cast<uint32_t>(std::atoi(piece.c_str())));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return 1;
}

uint32_t Wy_DataIdFromSlaveId(uint32_t slave_id) {
  Wdbase db;
  if (!OpenForSlaves(db)) return 0;
  uint32_t result = 0;
  for (int ok = db.Top(); ok && !db.Eof() && !result; ok = db.Next()) {
    const std::string disp = ReadCatalogField(db, "DISP_ID", 48);
    size_t start = 0;
    while (start <= disp.size() && !result) {
      size_t comma = disp.find(',', start);
      if (comma == std::string::npos) comma = disp.size();
      const std::string piece = TrimSet(disp.substr(start, comma - start), " ");
      if (!piece.empty() &&
          std::strtoul(piece.c_str(), nullptr, 10) == slave_id)
        result = ReadCatalogId(db, "DATAID");
      start = comma + 1;
    }
  }
  db.Close();
  return result;
}

// ---- hidden data sets -------------------------------------------------------

int Wy_IsAnHiddenGdata(uint32_t id) {
  CMixtable ts;
  ts.SetDataId(id);
  Wdbase* param = ts.Handle(Y_PARAM);
  if (!ts.Open(param)) return 0;
  int hidden = 0;
  if (param->SelectIdx(1) && param->Seek("FRM_HIDDEN") == 1)
    hidden = param->ReadInt("VALUE") == 1 ? 1 : 0;
  ts.CloseAll();
  return hidden;
}

int Wy_IsThereAnHiddenGdata() {
  std::vector<uint32_t> ids;
  Wdbase db;
  if (!OpenCatalog(db)) return 0;
  for (int ok = db.Top(); ok && !db.Eof(); ok = db.Next())
    if (!db.Deleted()) ids.push_back(ReadCatalogId(db, "DATAID"));
  db.Close();
  for (uint32_t id : ids)
    if (Wy_IsAnHiddenGdata(id)) return 1;
  return 0;
}
