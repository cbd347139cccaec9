// A conversion whose input picks a table's fields and records, converted to
// a fixed dictionary item (ID C 5, PTR_ID C 5, PTR_CONCP N 8.3, FLAG L,
// DAY D, NOTE M). Whatever the input: the conversion succeeds, every field
// of the old table is still there by name, and every value reads back as
// before (texts without trailing blanks, numbers, logicals, dates, memo
// texts), deleted marks included.
//
// Input: byte 0 the number of fields (1..7); per field a name byte (one of
// the dictionary's names or an extra "X0".."X3"), a type byte, a width and
// a decimals byte; then a record count byte (0..7), and per record a
// deleted byte and the raw bytes of every field (memo fields: a length
// byte and the text).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "maintenance/convert.h"
#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "testing/table_rows.h"

namespace {

using convert_testing::Field;
using convert_testing::Row;
using convert_testing::TableRows;

constexpr const char* kTable = "c:\\gdata\\cnt_blnd.dbf";
const char* const kNames[] = {"ID",   "PTR_ID", "PTR_CONCP", "FLAG", "DAY",
                              "NOTE", "X0",     "X1",        "X2",   "X3"};
const char kTypes[] = {'C', 'N', 'L', 'D', 'M'};

CMixtableEx* Tables() {
  static CMixtableEx* ts = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_convert_" +
                            std::to_string(env->CurrentProcessId());
    env->CreateDir(dir);
    env->SetEnv("KALVO_DRIVES", dir + "/drives");
    env->CreateDir("c:\\gdata");
    const std::string dct = dir + "/DataBase.DCT";
    std::unique_ptr<platform::File> f;
    const std::string text =
        "[DBF\n"
        "DBF_CNT_BLND_KIND=T\n"
        "DBF_CNT_BLND_FNAME=ID;PTR_ID;PTR_CONCP;FLAG;DAY;NOTE\n"
        "DBF_CNT_BLND_FTYPE=C;C;N;L;D;M\n"
        "DBF_CNT_BLND_FLEN=5;5;8.3;1;8;10\n"
        "DBF_CNT_BLND_FKIND=R;R;R;R;R;R\n"
        "]\n";
    env->OpenFile(dct, platform::OpenMode::kCreateAlways, &f);
    f->WriteAt(0, text.data(), text.size());
    f.reset();
    env->SetEnv("KALVO_DCT", dct);
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    auto* t = new CMixtableEx;
    t->SetDataDir("c:\\gdata\\");
    return t;
  }();
  return ts;
}

std::string RTrim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// Whether the value after the conversion reads as the value before.
bool Same(const Field& a, const std::string& va, const Field& b,
          const std::string& vb) {
  if (a == b) return va == vb;
  const std::string ta = RTrim(va), tb = RTrim(vb);
  switch (b.type) {
    case 'M':
      return (a.type == 'N'
                  ? ta.substr(ta.find_first_not_of(' ') == std::string::npos
                                  ? ta.size()
                                  : ta.find_first_not_of(' '))
                  : ta) == vb;
    case 'C':
      return ta == tb;
    case 'D':
      return ta == tb;
    case 'L': {
      if (ta.empty()) return tb == "F";
      const std::string canon = mixtable::CanonicalNumber(ta.data(), ta.size());
      const bool t =
          ta == "T" || ta == "t" || ta == "Y" || ta == "y" || canon == "1";
      return tb == (t ? "T" : "F");
    }
    case 'N': {
      if (ta.empty()) return tb.empty();
      if (a.type == 'N' && ta.find_first_not_of(' ') != std::string::npos &&
          ta[ta.find_first_not_of(' ')] == '*')
        return true;  // holds no number
      if (a.type == 'L') return true;
      return mixtable::CanonicalNumber(ta.data(), ta.size()) ==
             mixtable::CanonicalNumber(tb.data(), tb.size());
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t pos = 0;
  auto next = [&]() -> uint8_t { return pos < size ? data[pos++] : 0; };
  CMixtableEx* ts = Tables();
  std::vector<Field> fields;
  const int nf = 1 + next() % 7;
  for (int k = 0; k < nf; ++k) {
    Field f;
    f.name = kNames[next() % 10];
    f.type = kTypes[next() % 5];
    f.len = 1 + next() % 20;
    f.dec = next() % 4;
    if (f.type == 'N' && f.dec >= f.len - 1) f.dec = 0;
    if (f.type != 'N') f.dec = 0;
    if (f.type == 'L') f.len = 1;
    if (f.type == 'D') f.len = 8;
    if (f.type == 'M') f.len = 10;
    bool dup = false;
    for (const Field& g : fields) dup |= g.name == f.name;
    if (!dup) fields.push_back(f);
  }
  std::vector<Row> rows;
  std::vector<bool> deleted;
  const int nr = next() % 8;
  for (int r = 0; r < nr; ++r) {
    deleted.push_back(next() & 1);
    Row row;
    for (const Field& f : fields) {
      std::string v;
      if (f.type == 'M') {
        const int n = next() % 16;
        for (int i = 0; i < n; ++i) {
          char c = static_cast<char>(next());
          v += (c == 0x1A || c == '\0') ? 'x' : c;
        }
        v = "memo:" + v;
      } else {
        for (int i = 0; i < f.len; ++i) {
          char c = static_cast<char>(next());
          v += c == '\0' ? ' ' : c;
        }
      }
      row.push_back(v);
    }
    rows.push_back(row);
  }
  if (!convert_testing::MakeTable(kTable, fields, rows, deleted)) return 0;
  const TableRows before = convert_testing::ReadTable(kTable);
  if (!before.ok) return 0;
  std::vector<std::string> log;
  const int r =
      ts->Convert(Y_CNT_BLND, nullptr, log, size > 0 && (data[0] & 0x80) != 0);
  if (r < 0) std::abort();
  const TableRows after = convert_testing::ReadTable(kTable);
  if (!after.ok || after.rows.size() != before.rows.size()) std::abort();
  for (size_t f = 0; f < before.fields.size(); ++f) {
    size_t g = 0;
    while (g < after.fields.size() &&
           after.fields[g].name != before.fields[f].name)
      ++g;
    if (g == after.fields.size()) std::abort();  // a field was lost
    for (size_t i = 0; i < before.rows.size(); ++i) {
      if (before.rows[i].deleted != after.rows[i].deleted) std::abort();
      if (!Same(before.fields[f], before.rows[i].values[f], after.fields[g],
                after.rows[i].values[g]))
        std::abort();
    }
  }
  return 0;
}
