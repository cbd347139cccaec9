// Opens an NTX index made of arbitrary bytes beside a small table, walks it
// both ways, seeks, checks the tree and changes a few keys: the engine must
// fail cleanly, never crash, read outside its buffers or loop forever.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "dbf_file.h"
#include "ntx_file.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string dir =
        env->TempDir() + "/fuzz_ntx_" + std::to_string(env->CurrentProcessId());
    if (!env->CreateDir(dir).ok() && !env->FileExists(dir)) std::abort();
    return dir + "/";
  }();
  return dir;
}

// The table beside the index: NAME C(10), PRICE N(6,2), LONG C(330), with
// 120 records (the seeds in fuzz/corpus/ntx are indexes of such a table).
std::string MakeTable() {
  const std::string path = Dir() + "fuzz.dbf";
  Wdbase w;
  w.SetFiles(Dir().c_str(), "fuzz", 0, nullptr, nullptr);
  WDBASE_FIELD f[4] = {};
  std::strcpy(f[0].name, "NAME");
  f[0].type = 'C';
  f[0].len = 10;
  std::strcpy(f[1].name, "PRICE");
  f[1].type = 'N';
  f[1].len = 6;
  f[1].dec = 2;
  std::strcpy(f[2].name, "LONG");
  f[2].type = 'C';
  f[2].len = 330;
  if (!w.CreateDb(f) || !w.Open()) std::abort();
  Wdbase::FlushSet(0);
  for (int i = 0; i < 120; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "K%03d", (i * 37) % 100);
    w.AppendBlank();
    w.WriteString("NAME", name);
    w.WriteDouble("PRICE", (i % 21) - 10.5);
    w.WriteString("LONG", name);
  }
  w.Close();
  Wdbase::FlushSet(1);
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string table = MakeTable();
  const std::string path = Dir() + "fuzz.ntx";
  {
    std::unique_ptr<platform::File> f;
    if (!platform::Env::Current()
             ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
             .ok()) {
      return 0;
    }
    f->WriteAt(0, data, size);
  }
  std::unique_ptr<xbase32::DbfFile> d = xbase32::DbfFile::Open(table);
  if (!d) std::abort();
  std::unique_ptr<xbase32::NtxFile> ix = xbase32::NtxFile::Open(d.get(), path);
  if (!ix) return 0;
  int steps = 0;
  for (int32_t r = ix->First(); r > 0 && steps < 400; r = ix->Next()) ++steps;
  steps = 0;
  for (int32_t r = ix->Last(); r > 0 && steps < 400; r = ix->Prev()) ++steps;
  int32_t recno = 0;
  for (const char* k : {"K050", "K", "", "~~~~", "-5", "0"}) {
    std::string key;
    if (!xbase32::SeekKeyFromText(ix->key_info(), k, std::strlen(k), &key)) {
      continue;
    }
    if (ix->Seek(key, &recno) >= 0) {
      ix->Next();
      ix->Prev();
      ix->Prev();
    }
  }
  ix->CheckTree(nullptr);
  // Changes under the lock: a few keys in, a few out.
  if (ix->TryLockIndex() == platform::LockResult::kLocked) {
    const size_t L = static_cast<size_t>(ix->key_info().length);
    std::string key(L, ' ');
    for (uint32_t i = 0; i < 60; ++i) {
      key[0] = static_cast<char>('A' + i % 26);
      if (L > 1) key[1] = static_cast<char>('0' + i % 7);
      if (!ix->AddKey(key.data(), 1000 + i)) break;
    }
    for (uint32_t i = 0; i < 60; i += 2) {
      key[0] = static_cast<char>('A' + i % 26);
      if (L > 1) key[1] = static_cast<char>('0' + i % 7);
      if (!ix->RemoveKey(key.data(), 1000 + i)) break;
    }
    ix->UnlockIndex();
    ix->CheckTree(nullptr);
  }
  ix->Close();
  d->Close();
  return 0;
}
