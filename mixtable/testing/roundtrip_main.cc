// kalvo_roundtrip: the data set that moves between hosts. Built on Linux,
// read, seeked and written by the Windows build (under wine), then verified
// on Linux again; scripts/windows-roundtrip.sh runs the steps.
//
//   kalvo_roundtrip build DIR        the sample data set of the test builder
//                                    in DIR, plus the table ROUNDTRP (NAME,
//                                    QTY, NOTES memo; 2000 records) with the
//                                    indexes RTNAME (UPPER(NAME)) and RTQTY
//   kalvo_roundtrip digest DIR OUT   what the engine reads from every table
//                                    of the tree: one line per table
//                                    (relative path, records, deleted, hash
//                                    of every field and memo text)
//   kalvo_roundtrip write DIR        seeks keys of ROUNDTRP through both
//                                    indexes, then rewrites, appends, grows
//                                    memo texts and deletes records
//   kalvo_roundtrip verify DIR       ROUNDTRP holds what write left, and
//                                    both indexes match the data
//
// DIR is a data directory as the host names it ("c:\gdata\" below
// KALVO_DRIVES on Linux, "Z:\...\gdata\" under wine). Exit status 0 when all
// holds; otherwise a message on stderr and a small number.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"
#include "xbase32/wdbase_verify.h"

namespace {

constexpr int kRecords = 2000;
constexpr int kAppended = 100;
const char* const kIdxNames[] = {"RTNAME", "RTQTY"};
const char* const kIdxExprs[] = {"UPPER(NAME)", "QTY"};

int Fail(int code, const std::string& why) {
  std::fprintf(stderr, "kalvo_roundtrip: %s\n", why.c_str());
  return code;
}

std::string Num(const char* prefix, int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%05d", prefix, n);
  return buf;
}

// The record as build made it, and as write leaves it.
std::string BuiltName(int i) { return Num("N", i * 7919 % kRecords); }
double BuiltQty(int i) { return i * 0.25; }
std::string BuiltNote(int i) {
  std::string t;
  for (int k = 0; k < i % 5; ++k) t += "note " + std::to_string(i) + "; ";
  return t;
}
struct Expected {
  std::string name;
  double qty;
  std::string note;
  bool deleted;
};
Expected AfterWrite(int i) {
  if (i > kRecords) {
    return {Num("A", i), -static_cast<double>(i),
            "appended " + std::to_string(i), false};
  }
  Expected e{BuiltName(i), BuiltQty(i), BuiltNote(i), i % 250 == 0};
  if ((i - 1) % 40 == 0) e.name = Num("W", i);
  if (i % 100 == 0) {
    e.note.clear();
    for (int k = 0; k < 30; ++k) e.note += "rewritten " + std::to_string(i);
  }
  return e;
}

bool OpenRoundtrip(const std::string& dir, Wdbase* w) {
  return w->SetFiles(dir.c_str(), "ROUNDTRP", 2, kIdxNames, kIdxExprs) &&
         w->Open();
}

std::string Memo(Wdbase* w, const char* field) {
  const char* p = w->MemoPtr(field);
  return p ? std::string(p, w->MemoLen(field)) : std::string();
}

int Build(const std::string& dir) {
  std::string error;
  if (!mixtable_testing::BuildFreshSampleDataSet(dir, &error)) {
    return Fail(2, "sample data set: " + error);
  }
  Wdbase w;
  WDBASE_FIELD f[4] = {};
  std::strcpy(f[0].name, "NAME");
  f[0].type = 'C';
  f[0].len = 12;
  std::strcpy(f[1].name, "QTY");
  f[1].type = 'N';
  f[1].len = 10;
  f[1].dec = 2;
  std::strcpy(f[2].name, "NOTES");
  f[2].type = 'M';
  f[2].len = 10;
  if (!w.SetFiles(dir.c_str(), "ROUNDTRP", 0, nullptr, nullptr) ||
      !w.CreateDb(f) || !w.Open()) {
    return Fail(3, "ROUNDTRP not created");
  }
  Wdbase::FlushSet(0);
  for (int i = 1; i <= kRecords; ++i) {
    const std::string note = BuiltNote(i);
    if (!w.AppendBlank() || !w.WriteString("NAME", BuiltName(i).c_str()) ||
        !w.WriteDouble("QTY", BuiltQty(i)) ||
        (!note.empty() && !w.MemoWrite("NOTES", note.data(), note.size()))) {
      return Fail(4, "record " + std::to_string(i) + " not written");
    }
  }
  if (!w.Close()) return Fail(4, "ROUNDTRP not closed");
  Wdbase x;  // builds both indexes
  if (!OpenRoundtrip(dir, &x) || !x.Close()) return Fail(5, "indexes");
  return 0;
}

uint64_t Fnv(uint64_t h, const std::string& s) {
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return (h ^ 0xff) * 1099511628211ull;  // a separator
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(c));
  return s;
}

// Appends the digest lines of the tables below dir (rel: its relative name).
bool DigestTree(const std::string& dir, const std::string& rel,
                std::string* out) {
  std::vector<platform::DirEntry> entries;
  if (!platform::Env::Current()->ListDir(dir, "*", &entries).ok()) {
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::DirEntry& a, const platform::DirEntry& b) {
              return Lower(a.name) < Lower(b.name);
            });
  for (const platform::DirEntry& e : entries) {
    const std::string name = Lower(e.name);
    if (e.info.is_dir) {
      if (name == "." || name == "..") continue;
      if (!DigestTree(dir + e.name + "\\", rel + name + "\\", out)) {
        return false;
      }
      continue;
    }
    if (name.size() < 5 || name.substr(name.size() - 4) != ".dbf") continue;
    Wdbase w;
    const std::string table = e.name.substr(0, e.name.size() - 4);
    if (!w.SetFiles(dir.c_str(), table.c_str(), 0, nullptr, nullptr) ||
        !w.Open()) {
      *out += rel + name + " does-not-open\n";
      continue;
    }
    uint64_t h = 1469598103934665603ull;
    int deleted = 0;
    for (int r = 1; r <= w.RecCount(); ++r) {
      if (!w.Goto(r)) return false;
      deleted += w.Deleted() ? 1 : 0;
      for (int k = 1; k <= w.FieldCount(); ++k) {
        char fname[16] = {}, type = 0;
        int len = 0, dec = 0;
        w.FieldInfo(k, fname, &type, &len, &dec);
        h = Fnv(h, type == 'M' ? Memo(&w, fname) : std::string(w.Read(k)));
      }
    }
    char line[64];
    std::snprintf(line, sizeof line, " %d %d %016llx\n",
                  static_cast<int>(w.RecCount()), deleted,
                  static_cast<unsigned long long>(h));
    *out += rel + name + line;
  }
  return true;
}

int Digest(const std::string& dir, const std::string& out_path) {
  std::string out;
  if (!DigestTree(dir, "", &out)) return Fail(2, "tree not read: " + dir);
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(out_path, platform::OpenMode::kCreateAlways, &f)
           .ok() ||
      !f->WriteAt(0, out.data(), out.size()).ok()) {
    return Fail(3, "digest not written: " + out_path);
  }
  return 0;
}

int Write(const std::string& dir) {
  Wdbase w;
  if (!OpenRoundtrip(dir, &w)) return Fail(2, "ROUNDTRP does not open");
  if (w.RecCount() != kRecords) return Fail(2, "not the built table");
  // Seeks through both indexes land on the records that hold the keys.
  for (int i = 1; i <= kRecords; i += 97) {
    if (!w.SelectIdx(1) || w.Seek(BuiltName(i).c_str()) != 1 ||
        w.RecNo() != i) {
      return Fail(3, "name of record " + std::to_string(i) + " not found");
    }
    if (!w.SelectIdx(2) || w.Seek(BuiltQty(i)) != 1 || w.RecNo() != i) {
      return Fail(3, "qty of record " + std::to_string(i) + " not found");
    }
  }
  if (!w.SelectIdx(0)) return Fail(4, "natural order");
  for (int i = 1; i <= kRecords; ++i) {
    const Expected e = AfterWrite(i);
    if (e.name == BuiltName(i) && e.note == BuiltNote(i) && !e.deleted) {
      continue;
    }
    if (!w.Goto(i) || !w.WriteString("NAME", e.name.c_str()) ||
        (e.note != BuiltNote(i) &&
         !w.MemoWrite("NOTES", e.note.data(), e.note.size())) ||
        (e.deleted && !w.Delete())) {
      return Fail(5, "record " + std::to_string(i) + " not rewritten");
    }
  }
  for (int i = kRecords + 1; i <= kRecords + kAppended; ++i) {
    const Expected e = AfterWrite(i);
    if (!w.AppendBlank() || !w.WriteString("NAME", e.name.c_str()) ||
        !w.WriteDouble("QTY", e.qty) ||
        !w.MemoWrite("NOTES", e.note.data(), e.note.size())) {
      return Fail(6, "record " + std::to_string(i) + " not appended");
    }
  }
  return w.Close() ? 0 : Fail(7, "ROUNDTRP not closed");
}

int Verify(const std::string& dir) {
  Wdbase w;
  if (!OpenRoundtrip(dir, &w)) return Fail(2, "ROUNDTRP does not open");
  if (w.RecCount() != kRecords + kAppended) {
    return Fail(3, "records: " + std::to_string(w.RecCount()));
  }
  for (int i = 1; i <= kRecords + kAppended; ++i) {
    const Expected e = AfterWrite(i);
    if (!w.Goto(i) || w.Read("NAME", 0, 1) != e.name ||
        w.ReadDouble("QTY") != e.qty || Memo(&w, "NOTES") != e.note ||
        (w.Deleted() != 0) != e.deleted) {
      return Fail(4, "record " + std::to_string(i) + " differs");
    }
  }
  for (int k = 1; k <= 2; ++k) {
    if (WdbaseIndexMatchesData(&w, k) != 1) {
      return Fail(5, std::string("index ") + kIdxNames[k - 1] +
                         " does not match the data");
    }
  }
  if (!w.SelectIdx(1) || w.Seek(Num("A", kRecords + 7).c_str()) != 1 ||
      w.RecNo() != kRecords + 7) {
    return Fail(6, "an appended key is not found");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 2 && a[0] == "build") return Build(a[1]);
  if (a.size() == 3 && a[0] == "digest") return Digest(a[1], a[2]);
  if (a.size() == 2 && a[0] == "write") return Write(a[1]);
  if (a.size() == 2 && a[0] == "verify") return Verify(a[1]);
  std::fprintf(stderr,
               "usage: kalvo_roundtrip build|write|verify DIR\n"
               "       kalvo_roundtrip digest DIR OUT\n");
  return 64;
}
