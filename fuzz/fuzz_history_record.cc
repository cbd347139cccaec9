// A history record of arbitrary bytes (another program may have written
// anything into HISTORY.DBF) read back into a formula: every reflectance
// value is -1 or a number the text gave, coordinates are -1, the table ends
// closed, and nothing reads or writes outside its buffers.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mixtable/hformula_history.h"
#include "mixtable/wy_formula.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

// A local directory of its own with a history of one record, set up once.
bool Setup() {
  static const bool ready = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_history_" +
                            std::to_string(env->CurrentProcessId());
    env->CreateDir(dir);
    env->SetEnv("LOCALDIR", dir);
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    if (!hformula_CheckUpdateHistory(false, nullptr, 0, 1)) return false;
    Wdbase db;
    return hformula_HistorySetDbPathAndName(&db, nullptr) && db.Open() &&
           db.AppendBlank() && db.Close();
  }();
  return ready;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!Setup()) std::abort();
  Wdbase db;
  if (!hformula_HistorySetDbPathAndName(&db, nullptr) || !db.Open() ||
      !db.Goto(1))
    std::abort();
  const size_t len = static_cast<size_t>(db.RecordBufferLen());
  char* rec = db.RecordBufferPtr();
  std::memset(rec, ' ', len);
  std::memcpy(rec, data, size < len ? size : len);
  if (!db.RecordBufferWrite()) std::abort();
  Wy_Formula f;
  const int ok = hformula_ReadFromHistory(&f, &db);
  if (db.IsOpen(0)) std::abort();
  for (double r : f.m_Rfl)
    if (!std::isfinite(r)) std::abort();
  if (ok)
    for (int i = 0; i < 3; ++i)
      if (f.m_X02[i] != -1.0 || f.m_X10[i] != -1.0) std::abort();
  return 0;
}
