// Inventory records made of arbitrary bytes (another program may have
// written anything into INVENT.DBF and FRMINV.DBF): reading a stored
// formula with its batches, the batch alone, its formula and the location
// check must stay within their buffers and never crash.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "mixtable/wy_storage_manager.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

// The inventory directory (a host path below the temporary directory),
// holding one formula with one batch; set up once.
CWy_StorageManager& Manager() {
  static CWy_StorageManager* m = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_inventory_" +
                            std::to_string(env->CurrentProcessId()) + "/";
    env->CreateDir(dir);
    env->SetEnv("LOCALDIR", dir + "local");
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    auto* mgr = new CWy_StorageManager(dir.c_str());
    CWy_FormulaInv inv;
    Wy_Formula f;
    f.m_Frm = "1,1";
    f.m_FrmNomQ = 1000;
    f.SetUnit(0, 1.0, 1.0, 1.0);
    inv.SetFormula(f);
    CWy_Batch b;
    b.SetBatchName("seed");
    inv.InsertBatch(b);
    mgr->InsertFormula(inv, true);
    return mgr;
  }();
  return *m;
}

// Overwrites the first record of the table with bytes (repeated to fill
// it), keeping the deleted flag byte as the engine wrote it.
void Fill(const char* name, const uint8_t* data, size_t size) {
  Wdbase db;
  const std::string dir = Manager().GetInventoryDir();
  if (!db.SetFiles(dir.c_str(), name, 0, nullptr, nullptr) || !db.Open())
    return;
  if (db.Goto(1)) {
    char* p = db.RecordBufferPtr();
    const int len = db.RecordBufferLen();
    for (int i = 0; p != nullptr && size > 0 && i < len; ++i)
      p[i] = static_cast<char>(data[static_cast<size_t>(i) % size]);
    db.RecordBufferWrite();
  }
  db.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CWy_StorageManager& m = Manager();
  const size_t half = size / 2;
  Fill(CWy_StorageManager::kFrmInvName, data, half);
  Fill(CWy_StorageManager::kInventName, data + half, size - half);
  // The manager's own handles read what the records hold now (its
  // indexes still describe the old keys, as after another program's write).
  for (bool ok = m.Begin(); ok && !m.IsEof(); ok = m.GoNext()) {
    CWy_FormulaInv inv;
    m.GetCurrentFormula(inv, true);
  }
  if (m.SeekBatch(1) || m.SeekFormula(1)) {
    CWy_Batch b;
    if (m.GetCurrentBatch(b)) m.CheckUniqueLocation(b);
    CWy_FormulaInv inv;
    m.GetFormulaOfCurrentBatch(inv);
  }
  return 0;
}
