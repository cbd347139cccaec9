#include "mixtable/yformula_ruler.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

class MapRuler : public YRuler {
 public:
  std::map<std::string, double> rules;  // by Wy_RulerKey
  bool Rule(const char* kind, int32_t id, double* rule) override {
    auto it = rules.find(Wy_RulerKey(kind, id));
    if (it == rules.end()) return false;
    *rule = it->second;
    return true;
  }
};

MapRuler Sample() {
  MapRuler r;
  r.rules[Wy_RulerKey("BA", 7)] = 2.0;
  r.rules[Wy_RulerKey("CO", 1)] = 1.5;
  return r;
}

TEST(RulerKey, Layout) {
  EXPECT_EQ(Wy_RulerKey("BA", 7), "BA    7");
  EXPECT_EQ(Wy_RulerKey("B", 12345), " B12345");
  EXPECT_EQ(Wy_RulerKey("COX", -1), "CO   -1");
  EXPECT_EQ(Wy_RulerKey(nullptr, 123456), "  123456");
}

TEST(SetAndRuler, Corrects) {
  MapRuler r = Sample();
  yformula f;
  EXPECT_EQ(Wy_SetAndRuler(f, " 1,10,2,4 ", 7, &r, false), 1);
  EXPECT_STREQ(f.get(), "1,30,2,8");
  EXPECT_EQ(Wy_SetAndRuler(f, "1,10,2,4", 7, &r, true), 1);
  EXPECT_STREQ(f.get(), "1,3.33333,2,2");
  EXPECT_EQ(Wy_SetAndRuler(f, "1,10,2,4", 8, &r, false), 1);  // no base rule
  EXPECT_STREQ(f.get(), "1,15,2,4");
  EXPECT_EQ(Wy_SetAndRulerEx(f, "1,10,2,4", 7, &r, false, 10), 1);
  EXPECT_STREQ(f.get(), "1,300,2,80");
  EXPECT_EQ(Wy_SetAndRulerEx(f, "1,10,2,4", 0, &r, false, 10), 1);
  EXPECT_STREQ(f.get(), "1,100,2,40");  // no base: factor 1 everywhere
  EXPECT_EQ(Wy_SetAndRulerEx(f, "1,10", 7, nullptr, false, 2), 1);
  EXPECT_STREQ(f.get(), "1,20");
  r.rules[Wy_RulerKey("CO", 2)] = 0.0;  // divide by no factor: q stays
  EXPECT_EQ(Wy_SetAndRuler(f, "2,4", 7, &r, true), 1);
  EXPECT_STREQ(f.get(), "2,4");
}

TEST(SetAndRuler, Failures) {
  MapRuler r = Sample();
  yformula f;
  EXPECT_EQ(Wy_SetAndRuler(f, "1,10", 7, nullptr, false), 0);
  EXPECT_STREQ(f.get(), "1,10");
  EXPECT_EQ(Wy_SetAndRuler(f, "1,10,2", 7, &r, false), 0);
  EXPECT_STREQ(f.get(), "1,10,2");
  EXPECT_EQ(Wy_SetAndRuler(f, " ;, ", 7, &r, false), 0);
  EXPECT_EQ(Wy_SetAndRulerEx(f, "1,10", 7, &r, false, 0), 0);
  EXPECT_STREQ(f.get(), "1,10");
}

}  // namespace
