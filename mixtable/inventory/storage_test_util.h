// Helpers of the storage manager's tests: formulas and batches to store,
// a handle of the test's own on an inventory table, the fixture with its
// temporary drives root.

#ifndef MIXTABLE_INVENTORY_STORAGE_TEST_UTIL_H_
#define MIXTABLE_INVENTORY_STORAGE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>

#include "mixtable/wy_storage_manager.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace inventory_testing {

inline constexpr const char* kDir = "c:\\inv\\";

inline Wy_Formula MakeFormula(const std::string& ident,
                              const std::string& text = "1,10,2,20") {
  Wy_Formula f;
  f.m_DataId = 0;
  f.m_PrdId = 1;
  f.m_SpdId = 1;
  f.m_ClrName = ident;
  f.m_BasId = 1;
  f.m_Fill_Q = 900;
  f.m_Fill_W = 1100;
  f.m_CanId = 1;
  f.m_CanNomQ = 1000;
  f.m_Frm = text;
  f.m_FrmNomQ = 1000;
  f.SetUnit(0, 1.0, 1.0, 1.0);
  return f;
}

inline CWy_Batch MakeBatch(const std::string& name, const std::string& x = "",
                           double q = 1.5) {
  CWy_Batch b;
  b.SetBatchName(name);
  b.SetLocationX(x);
  b.SetLocationY("row 2");
  b.SetLocationZ("z");
  b.SetQuantity(q);
  b.SetQuality("good");
  return b;
}

inline CWy_FormulaInv Stored(const std::string& ident, int batches) {
  CWy_FormulaInv inv;
  inv.SetFormula(MakeFormula(ident));
  for (int i = 0; i < batches; ++i)
    inv.InsertBatch(MakeBatch("B", "shelf " + std::to_string(i)));
  return inv;
}

// A handle of its own on an inventory table (with the manager's indexes,
// which its writes keep current), for looking at and changing records.
struct Raw {
  explicit Raw(const char* name, const char* dir = kDir) {
    const std::string n = name;
    const char* invNames[] = {"INVENT", "FRMIDINV"};
    const char* invExprs[] = {"ID", "FRM_ID"};
    const char* frmNames[] = {"FRMINV", "FRMKEYS"};
    const char* frmExprs[] = {"ID", "KEY1+KEY2+KEY3+COMMENT"};
    if (n == "INVENT")
      db.SetFiles(dir, name, 2, invNames, invExprs);
    else
      db.SetFiles(dir, name, 2, frmNames, frmExprs);
    db.Open();
  }
  ~Raw() { db.Close(); }
  std::string Field(int32_t recno, const char* field) {
    db.Goto(recno);
    const char* v = db.Read(field);
    return v ? v : "";
  }
  Wdbase db;
};

class StorageManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows the drives are the host's, kept from the test before (on
    // Linux the drives root is new for every test): start empty.
    for (const char* dir : {kDir, "c:\\local\\", "c:\\a\\", "c:\\gdata\\"}) {
      platform::Env::Current()->DeleteTree(dir);
    }
  }

  // The host path of rel ("/"-separated) in the inventory directory.
  std::string HostInv(const std::string& rel) const {
#ifdef _WIN32
    return "c:/inv/" + rel;
#else
    return drives_.drives() + "/c/inv/" + rel;
#endif
  }

  platform::ScopedTempDrives drives_;
};

}  // namespace inventory_testing

#endif  // MIXTABLE_INVENTORY_STORAGE_TEST_UTIL_H_
