// Opens a data file made of arbitrary bytes and reads every field of every
// record: the engine must fail cleanly or read within its buffers.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

const std::string& Dir() {
  static const std::string dir = [] {
    platform::Env* env = platform::Env::Current();
    std::string dir =
        env->TempDir() + "/fuzz_dbf_" + std::to_string(env->CurrentProcessId());
    if (!env->CreateDir(dir).ok() && !env->FileExists(dir)) std::abort();
    return dir + "/";
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Dir() + "fuzz.dbf";
  {
    std::unique_ptr<platform::File> f;
    if (!platform::Env::Current()
             ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
             .ok()) {
      return 0;
    }
    f->WriteAt(0, data, size);
  }
  // A memo file beside it, so that memo-flagged inputs get past opening.
  {
    std::unique_ptr<platform::File> m;
    if (platform::Env::Current()
            ->OpenFile(Dir() + "fuzz.dbt", platform::OpenMode::kCreateAlways,
                       &m)
            .ok()) {
      const uint8_t header[4] = {1, 0, 0, 0};
      m->WriteAt(0, header, sizeof header);
    }
  }
  Wdbase w;
  if (!w.SetFiles(Dir().c_str(), "fuzz", 0, nullptr, nullptr)) return 0;
  if (!w.Open()) return 0;
  const int fields = w.FieldCount();
  int records = 0;
  for (int ok = w.Top(); ok && records < 64; ok = w.Next(), ++records) {
    for (int k = 1; k <= fields; ++k) {
      char buf[64];
      w.Read(k, 1, 1);
      w.ReadString(k, buf, sizeof buf);
      w.ReadDouble(k);
      w.ReadLong(k);
      w.ReadBool(k);
    }
  }
  w.Bottom();
  w.Skip(-3);
  w.Close();
  return 0;
}
