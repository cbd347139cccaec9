// A table with memo fields beside a memo file of arbitrary bytes: every
// memo text is read, the table is packed (memo compaction) and read again,
// and a text is written. The engine must fail cleanly, never crash, read
// outside its buffers or loop forever.
//
// Input: 8 bytes choosing the block numbers the four records name (two
// bytes each, little-endian: below 0xF000 the value modulo 64, above it a
// block far beyond any file), one byte of switches (bit 0: the memo file is
// missing; bit 1: record 3 is deleted), then the memo file's bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

constexpr int kRecords = 4;
constexpr size_t kPrefix = 2 * kRecords + 1;

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string dir = env->TempDir() + "/fuzz_memo_" +
                      std::to_string(env->CurrentProcessId());
    if (!env->CreateDir(dir).ok() && !env->FileExists(dir)) std::abort();
    return dir + "/";
  }();
  return dir;
}

bool WriteFile(const std::string& path, const void* p, size_t n) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
           .ok()) {
    return false;
  }
  return n == 0 || f->WriteAt(0, p, n).ok();
}

// The data file: NAME C(4), NOTES M, PIC G; record i names block b[i] in
// NOTES and b[(i + 1) % 4] in PIC.
std::string DataFile(const uint32_t* blocks, bool deleted3) {
  std::string h(32, '\0');
  h[0] = static_cast<char>(0x83);
  h[4] = kRecords;
  const int header = 32 + 3 * 32 + 1, record = 1 + 4 + 10 + 10;
  h[8] = static_cast<char>(header & 0xFF);
  h[9] = static_cast<char>(header >> 8);
  h[10] = record;
  const struct {
    const char* name;
    char type;
    int width;
  } fields[] = {{"NAME", 'C', 4}, {"NOTES", 'M', 10}, {"PIC", 'G', 10}};
  for (const auto& f : fields) {
    std::string d(32, '\0');
    std::memcpy(d.data(), f.name, std::strlen(f.name));
    d[11] = f.type;
    d[16] = static_cast<char>(f.width);
    h += d;
  }
  h += '\x0D';
  for (int i = 0; i < kRecords; ++i) {
    char rec[32];
    std::snprintf(rec, sizeof rec, "%cR%-3d%10u%10u",
                  deleted3 && i == 2 ? '*' : ' ', i + 1, blocks[i],
                  blocks[(i + 1) % kRecords]);
    h.append(rec, record);
  }
  h += '\x1A';
  return h;
}

void ReadAll(Wdbase* w) {
  for (int ok = w->Top(); ok; ok = w->Next()) {
    for (int k = 2; k <= 3; ++k) {
      char buf[7];
      const uint32_t len = w->MemoLen(k);
      const char* p = w->MemoPtr(k);
      if (p == nullptr || std::strlen(p) > len) std::abort();
      if (w->MemoRead(k, buf, sizeof buf) != len) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kPrefix) return 0;
  uint32_t blocks[kRecords];
  for (int i = 0; i < kRecords; ++i) {
    const uint32_t v = data[2 * i] | static_cast<uint32_t>(data[2 * i + 1])
                                         << 8;
    blocks[i] = v < 0xF000 ? v % 64 : v * 1000003u;
  }
  const uint8_t switches = data[2 * kRecords];
  const std::string dbf = DataFile(blocks, switches & 2);
  if (!WriteFile(Dir() + "fuzz.dbf", dbf.data(), dbf.size())) return 0;
  platform::Env::Current()->DeleteFile(Dir() + "fuzz.dbt");
  if (!(switches & 1) &&
      !WriteFile(Dir() + "fuzz.dbt", data + kPrefix, size - kPrefix)) {
    return 0;
  }
  Wdbase::FlushSet(0);  // no disk commits while fuzzing
  Wdbase w;
  if (!w.SetFiles(Dir().c_str(), "fuzz", 0, nullptr, nullptr) || !w.Open()) {
    return 0;
  }
  ReadAll(&w);
  if (w.Pack()) ReadAll(&w);
  if (w.Top()) {
    w.MemoWrite(2, "a short text", 12);
    w.MemoWrite(3, "", 0);
    ReadAll(&w);
  }
  w.Close();
  return 0;
}
