// The extended table set: dictionary items, single tables, levels.

#include "mixtable/mixtable_ex.h"

#include <gtest/gtest.h>

#include <cstring>

#include "access/table_set_fixture.h"
#include "platform/env.h"

namespace {

class TableSetExTest : public SampleDataSetTest {};

TEST_F(TableSetExTest, DictionaryItemsLoadOnceAndEmpty) {
  EXPECT_EQ(ts_.GetDictionaryItem(Y_CANS).fields, nullptr);
  ASSERT_TRUE(ts_.CreateDictionaryItem(Y_CANS));
  YTABLE_DICTIONARY d = ts_.GetDictionaryItem(Y_CANS);
  ASSERT_NE(d.fields, nullptr);
  ASSERT_TRUE(ts_.CreateDictionaryItem(Y_CANS));
  EXPECT_EQ(ts_.GetDictionaryItem(Y_CANS).fields, d.fields);  // kept
  EXPECT_STREQ(ts_.GetDictionaryItemField(Y_CANS, 1)->name, "ID");
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_CANS, 0), nullptr);
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_CANS, 999), nullptr);
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_CANS, "id"), nullptr);  // exact
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_CANS, ""), nullptr);
  EXPECT_EQ(
      ts_.GetDictionaryItemField(Y_CANS, static_cast<const char*>(nullptr)),
      nullptr);
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_BASES, 1), nullptr);  // not loaded
  EXPECT_EQ(ts_.GetDictionaryItemField(Y_N_MAX, 1), nullptr);
  EXPECT_FALSE(ts_.CreateDictionaryItem(Y_N_MAX));
  ts_.EmptyDictionaryItem(Y_CANS);
  EXPECT_EQ(ts_.GetDictionaryItem(Y_CANS).attributes, nullptr);
}

TEST_F(TableSetExTest, AMissingDictionaryLeavesItemsEmpty) {
  platform::Env* env = platform::Env::Current();
  ASSERT_TRUE(env->SetEnv("KALVO_DCT", "c:\\nowhere\\DataBase.DCT").ok());
  EXPECT_EQ(CMixtableEx::DictionaryPath(), "c:\\nowhere\\DataBase.DCT");
  EXPECT_FALSE(ts_.CreateDictionaryItem(Y_UCOAT));
  EXPECT_FALSE(ts_.Create(Y_UCOAT));
  EXPECT_FALSE(env->FileExists("c:\\gdata\\ucoat.dbf"));
  ASSERT_TRUE(env->UnsetEnv("KALVO_DCT").ok());
  EXPECT_TRUE(ts_.Create(Y_UCOAT));
}

TEST_F(TableSetExTest, CreateBuildsTheDictionaryStructureAtTheCurrentLevel) {
  ASSERT_TRUE(ts_.Create(Y_UCOAT));
  EXPECT_FALSE(ts_.Create(Y_UCOAT));  // exists
  Wdbase* t = ts_.Handle(Y_UCOAT);
  ASSERT_TRUE(ts_.Open(t));
  EXPECT_EQ(ts_.GetCurLevel(t), Y_LEVEL_BASE);
  for (int n = 1; ts_.GetDictionaryItemField(Y_UCOAT, n); ++n) {
    const WDBASE_FIELD* f = ts_.GetDictionaryItemField(Y_UCOAT, n);
    char name[16], type;
    int len, dec;
    ASSERT_TRUE(t->FieldInfo(n, name, &type, &len, &dec));
    EXPECT_STREQ(name, f->name);
    EXPECT_EQ(type, f->type);
    EXPECT_EQ(len, f->len);
  }
  EXPECT_FALSE(ts_.Create(Y_UCOAT));  // open
  // MASK lives only in sub-product directories.
  EXPECT_FALSE(ts_.IsTableLevelCompatible(Y_MASK));
  EXPECT_FALSE(ts_.Create(Y_MASK));
  Position(1, 2);
  EXPECT_EQ(ts_.GetTableLevel(), Y_LEVEL_SUBPRODUCT);
  EXPECT_TRUE(ts_.IsTableLevelCompatible(Y_MASK));
  EXPECT_FALSE(ts_.IsTableLevelCompatible(Y_CNTS));
  EXPECT_TRUE(ts_.IsTableLevelCompatible(Y_ARCHIVE));  // local
  ASSERT_TRUE(ts_.Create(Y_MASK));
  EXPECT_TRUE(
      platform::Env::Current()->FileExists("c:\\gdata\\P1\\S2\\mask.dbf"));
}

TEST_F(TableSetExTest, TableLevelFollowsTheOpenProductTables) {
  EXPECT_EQ(ts_.GetTableLevel(), Y_LEVEL_BASE);
  Position(2, 0);
  EXPECT_EQ(ts_.GetTableLevel(), Y_LEVEL_PRODUCT);
  Position(2, 1);
  EXPECT_EQ(ts_.GetTableLevel(), Y_LEVEL_SUBPRODUCT);
  EXPECT_FALSE(ts_.IsTableLevelCompatible(Y_N_MAX));
}

TEST_F(TableSetExTest, DeleteRemovesDataAndIndexFiles) {
  platform::Env* env = platform::Env::Current();
  Wdbase* cans = ts_.Handle(Y_CANS);
  ASSERT_TRUE(ts_.Open(cans));  // builds both index files
  ASSERT_TRUE(env->FileExists("c:\\gdata\\cans_nom.ntx"));
  ASSERT_TRUE(ts_.Delete(Y_CANS));
  EXPECT_FALSE(cans->IsOpen(0));
  EXPECT_FALSE(env->FileExists("c:\\gdata\\cans.dbf"));
  EXPECT_FALSE(env->FileExists("c:\\gdata\\cans.ntx"));
  EXPECT_FALSE(env->FileExists("c:\\gdata\\cans_nom.ntx"));
  EXPECT_TRUE(ts_.Delete(Y_CANS));  // nothing left: success
  EXPECT_FALSE(ts_.Exist(Y_CANS));
  EXPECT_FALSE(ts_.Delete(Y_MASK));  // not at the root
  EXPECT_FALSE(ts_.Delete(-1));
}

TEST_F(TableSetExTest, SetDataDirTrimsAndDefaults) {
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_CNTS)));
  ts_.SetDataDir("  c:\\other  ");
  EXPECT_FALSE(ts_.Handle(Y_CNTS)->IsOpen(0));
  EXPECT_EQ(ts_.GetDataDir(), "c:\\other\\");
  EXPECT_FALSE(ts_.Exist(Y_CNTS));
  ts_.SetDataDir("");
  EXPECT_EQ(ts_.GetDataDir(), "c:\\gdata\\");
  ts_.SetDataDir(nullptr);
  EXPECT_EQ(ts_.GetDataDir(), "c:\\gdata\\");
  EXPECT_TRUE(ts_.Exist(Y_CNTS));
}

TEST_F(TableSetExTest, CopiesStartWithEmptyItemsAndClosedTables) {
  ASSERT_TRUE(ts_.CreateDictionaryItem(Y_CNTS));
  ASSERT_TRUE(ts_.Open(ts_.Handle(Y_CNTS)));
  CMixtableEx copy(ts_);
  EXPECT_EQ(copy.GetDictionaryItem(Y_CNTS).fields, nullptr);
  EXPECT_FALSE(copy.Handle(Y_CNTS)->IsOpen(0));
  EXPECT_EQ(copy.GetDataDir(), "c:\\gdata\\");
  CMixtableEx assigned;
  assigned = ts_;
  EXPECT_FALSE(assigned.Handle(Y_CNTS)->IsOpen(0));
  EXPECT_TRUE(ts_.Handle(Y_CNTS)->IsOpen(0));
}

}  // namespace
