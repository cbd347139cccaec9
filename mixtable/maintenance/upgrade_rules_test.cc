// The value rules of the upgrade: BLEND values, key fields, key field names.

#include <gtest/gtest.h>

#include <string>

#include "maintenance/upgrade.h"

namespace {

TEST(UpgradeRulesTest, BlendValues) {
  const struct {
    std::string in;
    int result;
    const char* out;
  } cases[] = {
      {"A,1,X,10", 1, "A  ,  1,X,  10"},
      {"A  ,  1,X,  10", 1, "A  ,  1,X,  10"},
      {" RED , 12 , yes ,-5", 1, "RED, 12,y,  -5"},
      {"A,1,,10", 1, "A  ,  1, ,  10"},
      {std::string(",1,\0\0,10", 8), 1, "   ,  1, ,  10"},
      {",0,,0", 1, "   ,  0, ,   0"},
      {"A,1,X", 0, ""},
      {"A,1,X,10,5", 0, ""},
      {"", 0, ""},
      {"LONG,1,X,10", -1, ""},
      {"A,1.5,X,10", -1, ""},
      {"A,1,X,ten", -1, ""},
      {"A,1000,X,10", -1, ""},
      {"A,1,X,10000", -1, ""},
      {"A,,X,10", -1, ""},
      {"A,99999999999,X,1", -1, ""},
  };
  for (const auto& c : cases) {
    std::string out, why;
    EXPECT_EQ(mixtable::NormaliseBlendValue(c.in, &out, &why), c.result)
        << c.in;
    if (c.result == 1) {
      EXPECT_EQ(out, c.out) << c.in;
    }
    if (c.result < 0) {
      EXPECT_FALSE(why.empty()) << c.in;
    }
  }
}

TEST(UpgradeRulesTest, KeyValues) {
  const struct {
    const char* raw;
    int result;
    const char* out;
  } cases[] = {
      {"0001 ", 1, "    1"}, {"00000", 1, "     "}, {"    0", 0, ""},
      {"     ", 0, ""},      {"    1", 0, ""},      {"1    ", 1, "    1"},
      {"  12 ", 1, "   12"}, {"AB12 ", -1, ""},     {"1 2  ", -1, ""},
      {"-0001", 1, "   -1"}, {"+7   ", 1, "    7"}, {"99999", 0, ""},
      {"-    ", -1, ""},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(mixtable::NormaliseKeyValue(c.raw, &out), c.result) << c.raw;
    if (c.result == 1) {
      EXPECT_EQ(out, c.out) << c.raw;
    }
  }
}

TEST(UpgradeRulesTest, KeyFieldNames) {
  for (const char* n : {"ID", "id", "PROD_KEY", "SUBP_KEY", "DOMIN", "CONTR",
                        "SDOM1", "SDOM2", "FRM_ID", "ID_X", "base_id"}) {
    EXPECT_TRUE(mixtable::IsKeyField(n, 'C', 5)) << n;
  }
  EXPECT_FALSE(mixtable::IsKeyField("ID", 'N', 5));
  EXPECT_FALSE(mixtable::IsKeyField("ID", 'C', 6));
  for (const char* n : {"IDX", "XID", "_I", "CODE", "SDOM3"}) {
    EXPECT_FALSE(mixtable::IsKeyField(n, 'C', 5)) << n;
  }
  EXPECT_EQ(mixtable::Percent(1, 0), 0);
  EXPECT_EQ(mixtable::Percent(5, 4), 100);
  EXPECT_EQ(mixtable::Percent(-1, 4), 0);
  EXPECT_EQ(mixtable::Percent(1, 3), 33);
}

}  // namespace
