// Products and sub-products of a data set, and whole-table reads.

#include "maintenance/level_tree.h"

#include <cctype>
#include <cstdlib>

#include "access/level_path.h"
#include "mixtable/wy_maintenance.h"
#include "mixtable/ytable.h"

namespace mixtable::repairs {

TableRead ReadWholeTable(const std::string& dir, int table,
                         const std::function<void(const Wdbase&)>& fn) {
  const YTABLE* row = WyGetFileInfo(table);
  if (row == nullptr || dir.empty()) return TableRead::kFailed;
  if (!FileInDir(dir, row->def.name)) return TableRead::kMissing;
  Wdbase db;
  if (!db.SetFiles(dir.c_str(), row->def.name, 0, nullptr, nullptr) ||
      !db.Open())
    return TableRead::kFailed;
  const int32_t count = db.RecCount();
  int32_t seen = 0;
  for (int more = db.Top(); more; more = db.Next()) {
    fn(db);
    ++seen;
  }
  const bool whole = count >= 0 && seen == count && db.Eof();
  db.Close();
  return whole ? TableRead::kOk : TableRead::kFailed;
}

int32_t ReadId(const Wdbase& db, const char* field) {
  const char* raw = db.Read(field, 1, 1);
  if (raw == nullptr || *raw == '\0') return 0;
  const char* p = raw;
  if (*p == '-' || *p == '+') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
  for (const char* q = p; *q; ++q)
    if (!std::isdigit(static_cast<unsigned char>(*q))) return 0;
  const long long v = std::strtoll(raw, nullptr, 10);
  if (v > INT32_MAX || v < INT32_MIN) return 0;
  return static_cast<int32_t>(v);
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

namespace {

std::string Text(const Wdbase& db, const char* field) {
  if (db.FieldNo(field) <= 0) return std::string();
  char buf[256];
  if (!db.ReadString(field, buf, sizeof buf, 1, 1)) return std::string();
  return buf;
}

// dir + name + "\" when name is a safe sub-directory name, else empty. The
// backup area and the lock file of maintenance runs are never a level.
std::string SubDir(const std::string& dir, const std::string& name) {
  if (dir.empty() || Wy_IsMaintenanceName(name) || !IsSafeSubdir(dir, name))
    return std::string();
  return dir + name + "\\";
}

}  // namespace

const ProductLevel* LevelTree::Product(int32_t id) const {
  for (const ProductLevel& p : prds)
    if (p.id == id) return &p;
  return nullptr;
}

std::vector<std::string> LevelTree::Dirs() const {
  std::vector<std::string> out;
  auto add = [&out](const std::string& d) {
    if (d.empty()) return;
    for (const std::string& o : out)
      if (SameNoCase(o, d)) return;
    out.push_back(d);
  };
  add(data_dir);
  for (const ProductLevel& p : prds) add(p.dir);
  for (const ProductLevel& p : prds)
    for (const SubLevel& s : p.subs) add(s.dir);
  return out;
}

LevelTree LoadLevelTree(const std::string& data_dir) {
  LevelTree tree;
  tree.data_dir = data_dir;
  tree.products = ReadWholeTable(data_dir, Y_PRODUCTS, [&](const Wdbase& db) {
    ProductLevel p;
    p.id = ReadId(db, "ID");
    p.descr = Text(db, "DESCR");
    p.path = ReadTrimmedPath(db);
    p.dir = SubDir(data_dir, p.path);
    tree.prds.push_back(p);
  });
  for (ProductLevel& p : tree.prds) {
    if (p.dir.empty()) continue;
    p.subprods = ReadWholeTable(p.dir, Y_SUBPRODS, [&](const Wdbase& db) {
      SubLevel s;
      s.id = ReadId(db, "ID");
      s.descr = Text(db, "DESCR");
      s.path = ReadTrimmedPath(db);
      s.dir = SubDir(p.dir, s.path);
      p.subs.push_back(s);
    });
  }
  return tree;
}

}  // namespace mixtable::repairs
