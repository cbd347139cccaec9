// Tables for tests, fuzz targets and benchmarks of structure conversions:
// built from raw field texts and read back whole (header only).

#ifndef MIXTABLE_TESTING_TABLE_ROWS_H_
#define MIXTABLE_TESTING_TABLE_ROWS_H_

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace convert_testing {

struct Field {
  std::string name;
  char type = 'C';
  int len = 0;
  int dec = 0;
  bool operator==(const Field& o) const {
    return name == o.name && type == o.type && len == o.len && dec == o.dec;
  }
};

// Raw field texts of one record, left-aligned and blank-padded into the
// field; for a memo field the text "memo:TEXT" stores TEXT in the memo file.
using Row = std::vector<std::string>;

struct ReadRow {
  bool deleted = false;
  std::vector<std::string> values;  // raw bytes; memo fields: the text
  bool operator==(const ReadRow& o) const {
    return deleted == o.deleted && values == o.values;
  }
};

struct TableRows {
  std::vector<Field> fields;
  std::vector<ReadRow> rows;
  bool ok = false;
  bool operator==(const TableRows& o) const {
    return ok == o.ok && fields == o.fields && rows == o.rows;
  }
};

inline void SplitPath(const std::string& path, std::string* dir,
                      std::string* name) {
  const size_t slash = path.find_last_of("\\/");
  *dir = path.substr(0, slash + 1);
  *name = path.substr(slash + 1);
}

// Creates the table at path (old data, memo and the named index files
// deleted first) with indexes (file name, key expression) and the rows.
inline bool MakeTable(
    const std::string& path, const std::vector<Field>& fields,
    const std::vector<Row>& rows, const std::vector<bool>& deleted = {},
    const std::vector<std::pair<std::string, std::string>>& indexes = {}) {
  platform::Env* env = platform::Env::Current();
  std::string dir, name;
  SplitPath(path, &dir, &name);
  env->DeleteFile(path);
  env->DeleteFile(path.substr(0, path.size() - 3) + "dbt");
  std::vector<const char*> inames, iexprs;
  for (const auto& ix : indexes) {
    env->DeleteFile(dir + ix.first + ".ntx");
    inames.push_back(ix.first.c_str());
    iexprs.push_back(ix.second.c_str());
  }
  std::vector<WDBASE_FIELD> defs;
  for (const Field& f : fields) {
    WDBASE_FIELD w{};
    std::strncpy(w.name, f.name.c_str(), 10);
    w.type = f.type;
    w.len = static_cast<int16_t>(f.len);
    w.dec = static_cast<int16_t>(f.dec);
    defs.push_back(w);
  }
  defs.push_back(WDBASE_FIELD{});
  Wdbase t;
  if (!t.SetFiles(dir.c_str(), name.c_str(), static_cast<int>(inames.size()),
                  inames.data(), iexprs.data()) ||
      !t.CreateDb(defs.data()) || !t.Open())
    return false;
  t.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  for (size_t r = 0; r < rows.size(); ++r) {
    if (!t.AppendBlank()) return false;
    int offset = 0;
    for (size_t k = 0; k < fields.size(); ++k) {
      const std::string v = k < rows[r].size() ? rows[r][k] : std::string();
      if (fields[k].type == 'M') {
        if (v.rfind("memo:", 0) == 0 && v.size() > 5 &&
            !t.MemoWrite(static_cast<int>(k) + 1, v.c_str() + 5,
                         static_cast<unsigned>(v.size() - 5)))
          return false;
      } else {
        std::memcpy(t.RecordBufferPtr() + offset, v.data(),
                    std::min(v.size(), static_cast<size_t>(fields[k].len)));
      }
      offset += fields[k].len;
    }
    if (!t.RecordBufferWrite()) return false;
    if (r < deleted.size() && deleted[r] && !t.Delete()) return false;
  }
  return t.Close() != 0;
}

// Every record of the table at path in physical order (no index opened).
inline TableRows ReadTable(const std::string& path) {
  TableRows out;
  std::string dir, name;
  SplitPath(path, &dir, &name);
  Wdbase t;
  if (!t.SetFiles(dir.c_str(), name.c_str(), 0, nullptr, nullptr) || !t.Open())
    return out;
  t.SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  for (int k = 1; k <= t.FieldCount(); ++k) {
    char n[16];
    char type;
    int len, dec;
    t.FieldInfo(k, n, &type, &len, &dec);
    out.fields.push_back({n, type, len, dec});
  }
  for (int more = t.Top(); more; more = t.Next()) {
    ReadRow row;
    row.deleted = t.Deleted() != 0;
    int offset = 0;
    for (size_t k = 0; k < out.fields.size(); ++k) {
      const Field& f = out.fields[k];
      if (f.type == 'M') {
        const char* p = t.MemoPtr(static_cast<int>(k) + 1);
        row.values.push_back(p ? p : "");
      } else {
        row.values.emplace_back(t.RecordBufferPtr() + offset,
                                static_cast<size_t>(f.len));
      }
      offset += f.len;
    }
    out.rows.push_back(row);
  }
  out.ok = true;
  return out;
}

}  // namespace convert_testing

#endif  // MIXTABLE_TESTING_TABLE_ROWS_H_
