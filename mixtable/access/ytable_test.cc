// The table registry.

#include "mixtable/ytable.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mixtable/mixtable.h"

TEST(TableRegistryTest, RowsOutsideTheRegistryAreNull) {
  EXPECT_EQ(WyGetFileInfo(-1), nullptr);
  EXPECT_EQ(WyGetFileInfo(Y_N_MAX), nullptr);
  CMixtable ts;
  EXPECT_EQ(ts.Handle(Y_N_MAX), nullptr);
  EXPECT_EQ(ts.Handle(-1), nullptr);
  int rows = 0;
  while (WyGetFileInfo(rows)) ++rows;
  EXPECT_EQ(rows, 36);
}

TEST(TableRegistryTest, RowsCarryFilesIndexesAndLevels) {
  struct Row {
    int table;
    const char* file;
    int idx_count;
    const char* last_idx;
    const char* last_expr;
    uint8_t mask;
  } rows[] = {
      {Y_PRODUCTS, "PRODUCTS", 1, "PRODUCTS", "ID", 0x02},
      {Y_SUBPRODS, "SUBPRODS", 1, "SUBPRODS", "ID", 0x04},
      {Y_CNT_BLND, "CNT_BLND", 2, "CNT_BPTR", "PTR_ID", 0x0e},
      {Y_CANS, "CANS", 2, "CANS_NOM", "NOM_Q", 0x02},
      {Y_FRM, "FRM", 5, "FRM_NCS", "NCS", 0x0e},
      {Y_CUS, "CUS", 4, "CUS_KEY3", "KEY3", 0x18},
      {Y_MASK, "MASK", 1, "MASK", "TYPE+PNT_ID", 0x08},
      {Y_CYLINDER, "CYLINDER", 0, nullptr, nullptr, 0x08},
      {Y_ARCHIVE, "ARCHIVE", 6, "ARC_DATE", "DATA1", 0x10},
      {Y_LABEL, "LABEL", 1, "LABEL", "LABEL*1000+TYPE", 0x02},
      {Y_SINGLE_KS, "SINGLEKS", 1, "SINGLEKS", "ID", 0x02},
      {Y_THICKNESS, "THICK", 1, "THICK", "ID", 0x02},
      {Y_FRMCODES, "FRMCODES", 0, nullptr, nullptr, 0x02},
      {Y_TBLCODE, "TBLCODE", 3, "TBLBCODE", "BARCODE", 0x02},
      {Y_NCSCORR, "NCSCORR", 1, "ORIGINAL", "ORIGINAL", 0x02},
      {Y_FRM_HISTORY, "FRMHISTO", 1, "DATE", "DATE", 0x02},
      {Y_COLORKEY, "COLORKEY", 5, "CLR_KEYS", "KEY1+KEY2+KEY3", 0x02},
      {Y_CLRPRDS, "CLRPRDS", 2, "CLRS_IDS", "CLR_ID+PRD_ID+SPD_ID", 0x02},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file);
    const YTABLE* row = WyGetFileInfo(r.table);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->def.name, r.file);
    EXPECT_EQ(row->def.path, nullptr);
    EXPECT_EQ(row->def.idx_count, r.idx_count);
    if (r.idx_count > 0) {
      EXPECT_STREQ(row->def.idx_names[r.idx_count - 1], r.last_idx);
      EXPECT_STREQ(row->def.idx_exprs[r.idx_count - 1], r.last_expr);
    }
    EXPECT_EQ(row->level_mask, r.mask);
    EXPECT_EQ(row->reserved, -1);
    EXPECT_EQ(row->def.user1, -1);
    EXPECT_EQ(row->def.user2, 0);
    EXPECT_EQ(row->def.user3, -1);
  }
}

TEST(TableRegistryTest, LevelNumbers) {
  EXPECT_EQ(CMixtable::LevelToN(0), -1);
  EXPECT_EQ(CMixtable::LevelToN(1), 0);
  EXPECT_EQ(CMixtable::LevelToN(0x02), 1);
  EXPECT_EQ(CMixtable::LevelToN(0x0e), 3);
  EXPECT_EQ(CMixtable::LevelToN(0x18), 4);
  EXPECT_EQ(CMixtable::LevelToN(0x04), 2);
}

TEST(TableRegistryTest, HandlesMapBackToTheirTables) {
  CMixtable ts;
  for (int i = 0; i < Y_N_MAX; ++i) {
    EXPECT_EQ(ts.DbToI(ts.Handle(i)), i);
    EXPECT_EQ(ts.GetLevelMask(ts.Handle(i)), WyGetFileInfo(i)->level_mask);
    EXPECT_EQ(ts.GetCurLevel(ts.Handle(i)), 0);
  }
  Wdbase foreign;
  EXPECT_EQ(ts.DbToI(&foreign), -1);
  EXPECT_EQ(ts.DbToI(nullptr), -1);
  EXPECT_EQ(ts.GetLevelMask(&foreign), 0);
  EXPECT_EQ(ts.GetCurLevel(nullptr), 0);
  EXPECT_EQ(ts.GetDataDir(), "c:\\gdata\\");
  EXPECT_EQ(ts.GetDataId(), 0u);
  ts.SetYtoGCSpaces();
  EXPECT_EQ(ts.GetDataId(), 0xFFFFFFFFu);
  EXPECT_EQ(ts.GetDataDir(), "C:\\GCSpaces\\");
}
