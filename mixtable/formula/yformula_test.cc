#include "mixtable/yformula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace {

TEST(YFormula, SetTrimsBothEnds) {
  yformula f;
  EXPECT_STREQ(f.get(), "");
  EXPECT_EQ(f.set(" \t\r\n1,2\t\r\n "), 1);
  EXPECT_STREQ(f.get(), "1,2");
  EXPECT_EQ(f.set(std::string("\n3,4 ")), 1);
  EXPECT_STREQ(f.get(), "3,4");
  EXPECT_EQ(f.set(static_cast<const char*>(nullptr)), 1);
  EXPECT_STREQ(f.get(), "");
  f.set("5,6");
  EXPECT_EQ(f.set(f.get() + 2), 1);  // a text inside the object itself
  EXPECT_STREQ(f.get(), "6");
}

TEST(YFormula, Count) {
  struct {
    const char* text;
    int count;
  } cases[] = {
      {"1,2,3", -1}, {"", 0},       {" 7 ; 1.5 \n 8,2", 2}, {",,; ;", 0},
      {"1\t2", -1},  {"1\t2,3", 1}, {"1,2\r\n3,4", 2},      {"a,b", 1},
  };
  for (const auto& c : cases) {
    yformula f;
    f.set(c.text);
    EXPECT_EQ(f.count(), c.count) << c.text;
  }
}

TEST(YFormula, ParseRespectsCapacity) {
  yformula f;
  f.set("1,1.5;2,2.5 3,3.5");
  int32_t ids[2] = {-9, -9};
  double q[3] = {-9, -9, -9};
  EXPECT_EQ(f.parse(ids, q, 2), 2);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 2);
  EXPECT_DOUBLE_EQ(q[1], 2.5);
  EXPECT_EQ(q[2], -9);
  EXPECT_EQ(f.parse(ids, q, 0), 0);
  EXPECT_EQ(f.parse(nullptr, nullptr, 0), 0);
  EXPECT_EQ(f.parse(nullptr, q, 1), -1);
  f.set("1,2,3");
  EXPECT_EQ(f.parse(ids, q, 2), -1);
  f.set("4294967296,1,-3,nan");
  std::vector<YFormulaPair> pairs;
  ASSERT_TRUE(f.parse(&pairs));
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].id, 0);  // beyond 32 bits: no other colorant
  EXPECT_EQ(pairs[1].id, -3);
  EXPECT_EQ(pairs[1].quantity, 0.0);
}

TEST(YFormula, Add) {
  yformula f;
  f.set("3,1");
  EXPECT_EQ(f.add(5, "0.25"), 1);
  EXPECT_STREQ(f.get(), "3,1,5,0.25");
  f.set("3,1;");
  EXPECT_STREQ(f.get(), "3,1;");
  EXPECT_EQ(f.add(5, "0.25"), 1);
  EXPECT_STREQ(f.get(), "3,1;5,0.25");
  f.set("");
  EXPECT_EQ(f.add(5, "0.25"), 1);
  EXPECT_STREQ(f.get(), "5,0.25");
  EXPECT_EQ(f.add(-7, 1.0 / 3.0, 2, 0), 1);
  EXPECT_STREQ(f.get(), "5,0.25,-7,0.33");
}

TEST(YFormula, AddRefusesLongQuantities) {
  yformula f;
  f.set("1,2");
  std::string q64(64, '1'), q65(65, '1');
  EXPECT_EQ(f.add(3, q65.c_str()), 0);
  EXPECT_EQ(f.add(3, nullptr), 0);
  EXPECT_STREQ(f.get(), "1,2");
  EXPECT_EQ(f.add(3, q64.c_str()), 1);
  EXPECT_EQ(f.count(), 2);
  f.set("1,2");
  EXPECT_EQ(f.add(3, 1e300, 7, 0), 0);  // 309 characters
  EXPECT_STREQ(f.get(), "1,2");
}

TEST(YFormula, Resize) {
  yformula f;
  f.set("1,10,2,0");
  EXPECT_EQ(f.resize(1000, 500, 7, 0), 1);
  EXPECT_STREQ(f.get(), "1,5");
  f.set("0,10,-1,10,3,1");
  EXPECT_EQ(f.resize(1, 2, 7, 0), 1);
  EXPECT_STREQ(f.get(), "3,2");
  f.set("1,150");
  EXPECT_EQ(f.resize(1, 1, 2, 1), 1);
  EXPECT_STREQ(f.get(), "1,1.5E+2");
  f.set("1,0");
  EXPECT_EQ(f.resize(1, 2, 7, 0), 1);
  EXPECT_STREQ(f.get(), "");
}

TEST(YFormula, ResizeFailuresKeepTheText) {
  const double bad[][2] = {{0, 1},   {1, 0},   {-1, 1},      {1, -1},
                           {NAN, 1}, {1, NAN}, {INFINITY, 1}};
  for (const auto& b : bad) {
    yformula f;
    f.set("1,10");
    EXPECT_EQ(f.resize(b[0], b[1], 7, 0), 0) << b[0] << " " << b[1];
    EXPECT_STREQ(f.get(), "1,10");
  }
  yformula f;
  f.set("1,10,2");
  EXPECT_EQ(f.resize(1, 2, 7, 0), 0);
  EXPECT_STREQ(f.get(), "1,10,2");
  f.set("1,10,2,1e299");  // the second quantity cannot be written
  EXPECT_EQ(f.resize(1, 10, 7, 0), 0);
  EXPECT_STREQ(f.get(), "1,10,2,1e299");
}

class MapWeights : public YSpecificWeights {
 public:
  std::map<int32_t, double> w;
  bool SpecificWeight(int32_t id, double* weight) override {
    auto it = w.find(id);
    if (it == w.end()) return false;
    *weight = it->second;
    return true;
  }
};

TEST(YFormula, VolumeAndWeight) {
  MapWeights w;
  w.w[1] = 1.25;
  yformula f;
  f.set("1,2");
  EXPECT_EQ(f.to_volume(w, 1.0, 7, 0), 1);
  EXPECT_STREQ(f.get(), "1,1600");
  f.set("1,1000");
  EXPECT_EQ(f.to_weight(w, 1.0, 7, 0), 1);
  EXPECT_STREQ(f.get(), "1,1.25");
  f.set("1,1000");
  EXPECT_EQ(f.to_weight(w, 2.0, 7, 0), 1);
  EXPECT_STREQ(f.get(), "1,2.5");
}

TEST(YFormula, VolumeAndWeightAllOrNothing) {
  MapWeights w;
  w.w[1] = 1.25;
  w.w[3] = 0.0;
  yformula f;
  const char* texts[] = {"1,2,2,1", "1,2,3,1", "1,2,1"};
  for (const char* t : texts) {
    f.set(t);
    EXPECT_EQ(f.to_volume(w, 1.0, 7, 0), 0) << t;
    EXPECT_EQ(f.to_weight(w, 1.0, 7, 0), 0) << t;
    EXPECT_STREQ(f.get(), t);
  }
  f.set("1,2");
  EXPECT_EQ(f.to_volume(w, 1e-8, 7, 0), 0);
  EXPECT_EQ(f.to_volume(w, NAN, 7, 0), 0);
  EXPECT_STREQ(f.get(), "1,2");
}

TEST(YFormula, CopyAndSelfAssignment) {
  yformula a;
  a.set("1,2");
  yformula b(a);
  a.set("3,4");
  EXPECT_STREQ(b.get(), "1,2");
  b = b;
  EXPECT_STREQ(b.get(), "1,2");
  b = a;
  EXPECT_STREQ(b.get(), "3,4");
}

TEST(YFormula, TenThousandPairs) {
  yformula f;
  std::string t;
  for (int i = 1; i <= 10000; ++i) t += std::to_string(i) + ",0.5,";
  f.set(t);
  EXPECT_EQ(f.count(), 10000);
  EXPECT_EQ(f.resize(1, 2, 7, 0), 1);
  EXPECT_EQ(f.count(), 10000);
  std::vector<YFormulaPair> p;
  ASSERT_TRUE(f.parse(&p));
  EXPECT_EQ(p.back().id, 10000);
  EXPECT_DOUBLE_EQ(p.back().quantity, 1.0);
}

}  // namespace
