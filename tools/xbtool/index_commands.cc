// xbtool's index commands: create an NTX index, seek a key, and check an
// index against its table (for support staff facing a damaged data set).

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "command_util.h"
#include "commands.h"
#include "dbf_file.h"
#include "engine_error.h"
#include "ntx_file.h"
#include "ntx_page.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace xbtool {
namespace {

std::string Dir(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string Base(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The key expression stored in an index file's header ("" when the file
// cannot be read or is no index).
std::string StoredExpression(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kReadOnly, &f)
           .ok()) {
    return "";
  }
  uint8_t page[xbase32::ntx::kPageSize] = {};
  size_t got = 0;
  f->ReadAt(0, page, sizeof page, &got);
  xbase32::NtxHeader h;
  return xbase32::DecodeHeader(page, &h) ? h.expr : "";
}

// The index file must lie beside its table: the engine names index files
// within the table's directory.
bool SameDir(const std::string& table, const std::string& index) {
  const std::string d = Dir(index);
  if (d.empty()) return true;
  std::string a, b;
  platform::Env* env = platform::Env::Current();
  if (!env->HostPath(Dir(table).empty() ? "." : Dir(table), &a).ok() ||
      !env->HostPath(d, &b).ok()) {
    return false;
  }
  while (!a.empty() && a.back() == '/') a.pop_back();
  while (!b.empty() && b.back() == '/') b.pop_back();
  return a == b;
}

// Defines w as table with the one index file index (key expression expr).
int Define(Wdbase* w, const std::string& table, const std::string& index,
           const std::string& expr, std::ostream& err) {
  if (!SameDir(table, index)) {
    return Fail(err, "the index must lie in the table's directory: " + index);
  }
  w->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  const std::string name = Base(index);
  const char* names[] = {name.c_str()};
  const char* exprs[] = {expr.c_str()};
  if (!w->SetFiles(nullptr, table.c_str(), 1, names, exprs)) {
    return Fail(err, "bad table or index name (8.3 names only): " + table +
                         ", " + index);
  }
  return 0;
}

}  // namespace

int OpenIndexed(Wdbase* w, const std::string& table, const std::string& index,
                std::ostream& err) {
  const std::string expr = StoredExpression(index);
  if (expr.empty()) {
    return Fail(err, "not an index file (or unreadable): " + index);
  }
  if (int rc = Define(w, table, index, expr, err)) return rc;
  if (!w->Open())
    return Fail(err, "cannot open " + table + ": " + EngineError());
  if (!w->SelectIdx(1)) {
    return Fail(err, "cannot use the index " + index + ": " + EngineError());
  }
  return 0;
}

int Index(const std::string& table, const std::string& index,
          const std::string& expr, std::ostream& out, std::ostream& err) {
  Wdbase w;
  const std::string source = platform::Utf8ToCodePage(expr, 0);
  if (int rc = Define(&w, table, index, source, err)) return rc;
  const bool existed = w.Access(1) != 0;
  // Open builds a missing index; an existing one is built anew here.
  if (!w.Open()) {
    return Fail(err, "cannot index " + table + ": " + EngineError());
  }
  if (existed && !w.CreateIdx(1)) {
    return Fail(err, "cannot index " + table + ": " + EngineError());
  }
  if (!w.SelectIdx(1)) {
    return Fail(err, "cannot index " + table + ": " + EngineError());
  }
  int32_t keys = 0;
  for (int ok = w.Top(); ok; ok = w.Next()) ++keys;
  if (!w.Close())
    return Fail(err, "cannot close " + table + ": " + EngineError());
  out << "indexed " << keys << " records of " << table << " on " << expr
      << " into " << index << "\n";
  return 0;
}

int Seek(const std::string& table, const std::string& index,
         const std::string& key, std::ostream& out, std::ostream& err) {
  Wdbase w;
  if (int rc = OpenIndexed(&w, table, index, err)) return rc;
  const std::string k = platform::Utf8ToCodePage(key, 0);
  const int r = w.Seek(k.c_str());
  switch (r) {
    case 1:
      out << "found: record " << w.RecNo() << "\n";
      break;
    case 2:
      out << "after: record " << w.RecNo() << "\n";
      break;
    case 3:
      out << "end of file\n";
      return 0;
    default:
      return Fail(err, "cannot seek: " + EngineError());
  }
  for (int f = 1; f <= w.FieldCount(); ++f) {
    char name[11];
    w.FieldInfo(f, name, nullptr, nullptr, nullptr);
    out << "  " << name << "=" << Utf8(w.Read(f, 0, 1)) << "\n";
  }
  return 0;
}

int Check(const std::string& table, const std::string& index, std::ostream& out,
          std::ostream& err) {
  // Read-only: no repair, no rebuild (Wdbase::Open would recreate a damaged
  // index), so the engine's files are used directly.
  std::string dbf_path = table;
  std::unique_ptr<xbase32::DbfFile> data = xbase32::DbfFile::Open(dbf_path);
  if (!data) return Fail(err, "cannot open " + table + ": " + EngineError());
  std::unique_ptr<xbase32::NtxFile> ix =
      xbase32::NtxFile::Open(data.get(), index);
  if (!ix) {
    return Fail(err, index + ": header: " + EngineError());
  }
  const int L = ix->key_info().length;
  std::map<uint32_t, std::string> entries;  // record -> key
  std::string dup;
  uint64_t n = 0;
  std::string fault = ix->CheckTree([&](const char* k, uint32_t r) {
    ++n;
    if (!entries.emplace(r, std::string(k, L)).second && dup.empty()) {
      dup = "record " + std::to_string(r) + " has more than one entry";
    }
  });
  if (fault.empty()) fault = dup;
  // Every record present exactly once with its current key (a unique index
  // holds the first record of each key only; a filtered index the records
  // its filter accepts).
  const int32_t count = data->Count();
  std::set<std::string> keys_seen;
  std::vector<char> key(static_cast<size_t>(L));
  for (int32_t r = 1; fault.empty() && r <= count; ++r) {
    if (!data->ReadRecord(r)) {
      fault = "record " + std::to_string(r) + " cannot be read";
      break;
    }
    const bool in = ix->KeyOf(data->record(), r, key.data());
    const std::string k(key.data(), key.size());
    bool expected = in;
    if (in && ix->unique()) expected = keys_seen.insert(k).second;
    auto it = entries.find(static_cast<uint32_t>(r));
    if (expected && it == entries.end()) {
      fault = "record " + std::to_string(r) + " has no entry (key \"" +
              Utf8(k) + "\")";
    } else if (!expected && it != entries.end() && !ix->unique()) {
      fault = "record " + std::to_string(r) + " should have no entry";
    } else if (it != entries.end() && it->second != k) {
      fault = "record " + std::to_string(r) + " is filed under \"" +
              Utf8(it->second) + "\" instead of \"" + Utf8(k) + "\"";
    }
    if (it != entries.end()) entries.erase(it);
  }
  if (fault.empty() && !entries.empty()) {
    fault = "entry for record " + std::to_string(entries.begin()->first) +
            ", which does not exist";
  }
  if (!fault.empty()) return Fail(err, index + ": " + fault);
  out << index << ": sound, " << n << " keys of length " << L << " on "
      << Utf8(ix->expression()) << "\n";
  return 0;
}

}  // namespace xbtool
