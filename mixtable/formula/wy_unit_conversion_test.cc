#include "mixtable/wy_unit_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

constexpr double kEps = 1e-9;

class UnitConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    struct Row {
      int32_t id;
      const char* spec_w;
      const char* loading;
    } const cnts[] = {
        {1, "1500", "50"},  {2, "1000", "100"}, {3, "1200", "100"},
        {10, "1500", "80"}, {5, "0", "100"},    {6, "1000", "0"},
    };
    for (const Row& r : cnts)
      ASSERT_TRUE(b.Append(
          Y_CNTS,
          {{"ID", Id(r.id)}, {"SPEC_W", r.spec_w}, {"LOADING", r.loading}}))
          << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(7)}, {"SPEC_W", "1400"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(8)}, {"SPEC_W", "0"}}))
        << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    ASSERT_TRUE(uc_.Initialize(&ts_.Mixtable()));
  }

  // Converts the list; on success compares with want to 9 decimals.
  bool Run(std::vector<int32_t> ids, std::vector<double> q, int from, int to,
           double* total, double x, const std::vector<double>& want) {
    const bool ok = uc_.Convert(
        ids.data(), q.data(), static_cast<int>(q.size()), from, to, *total, x);
    if (ok) {
      EXPECT_EQ(q.size(), want.size());
      for (size_t i = 0; i < q.size() && i < want.size(); ++i)
        EXPECT_NEAR(q[i], want[i], kEps) << "component " << i;
    }
    return ok;
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  WY_UnitConversion uc_;
};

TEST_F(UnitConversionTest, InitializeReadsSpecificWeightsAndLoadings) {
  EXPECT_DOUBLE_EQ(uc_.GetPS(false, 1), 1.5);
  EXPECT_DOUBLE_EQ(uc_.GetPS(false, 3), 1.2);
  EXPECT_DOUBLE_EQ(uc_.GetPS(true, 7), 1.4);
  EXPECT_EQ(uc_.GetPS(false, 7), 0.0);  // a base id, not a colorant
  EXPECT_EQ(uc_.GetPS(true, 1), 0.0);
  EXPECT_EQ(uc_.GetPS(false, 5), 0.0);  // SPEC_W 0
  EXPECT_EQ(uc_.GetPS(false, 99), 0.0);

  WY_UnitConversion none;
  EXPECT_FALSE(none.Initialize(nullptr));
  CMixtableEx empty;
  empty.SetDataDir("c:\\nothing\\");
  EXPECT_FALSE(none.Initialize(&empty.Mixtable()));
  EXPECT_EQ(none.GetPS(false, 1), 0.0);
}

TEST_F(UnitConversionTest, InitializeKeepsTheCallersPosition) {
  Wdbase* cnts = ts_.Handle(Y_CNTS);
  ASSERT_TRUE(ts_.Open(cnts));
  ASSERT_TRUE(cnts->Goto(3));
  WY_UnitConversion again;
  ASSERT_TRUE(again.Initialize(&ts_.Mixtable()));
  EXPECT_TRUE(cnts->IsOpen(0));
  EXPECT_EQ(cnts->RecNo(), 3);
  EXPECT_DOUBLE_EQ(again.GetPS(false, 10), 1.5);
}

TEST_F(UnitConversionTest, RelativeKinds) {
  double total = -7;
  // Parts by volume at 1.5 and 1.0 to parts by weight keep the sum 2.
  EXPECT_TRUE(Run({1, 2}, {1, 1}, WY_UNIT_VOLUME_PARTS, WY_UNIT_WEIGHT_PARTS,
                  &total, 0, {1.2, 0.8}));
  // Pigment parts at loadings 0.5 and 1.0 to parts by volume.
  EXPECT_TRUE(Run({1, 2}, {1, 1}, WY_UNIT_PIGMENT, WY_UNIT_VOLUME_PARTS, &total,
                  0, {1.142857143, 0.857142857}));
  // And back: volume parts to pigment parts.
  EXPECT_TRUE(Run({1, 2}, {1.142857143, 0.857142857}, WY_UNIT_VOLUME_PARTS,
                  WY_UNIT_PIGMENT, &total, 0, {1, 1}));
  // Weight parts to pigment parts: 1.2 / 1.5 x 1.5 x 0.5 against 0.8 x 1.
  EXPECT_TRUE(Run({1, 2}, {1.2, 0.8}, WY_UNIT_WEIGHT_PARTS, WY_UNIT_PIGMENT,
                  &total, 0, {0.857142857, 1.142857143}));
  EXPECT_EQ(total, -7);  // relative to relative leaves total alone
}

TEST_F(UnitConversionTest, RelativeToAbsolute) {
  double total = 500;
  EXPECT_TRUE(Run({1, 2}, {0.5, 0.5}, WY_UNIT_VOLUME_PARTS, WY_UNIT_VOLUME,
                  &total, 0, {250, 250}));
  EXPECT_TRUE(Run({1, 2}, {1, 1}, WY_UNIT_VOLUME_PARTS, WY_UNIT_VOLUME, &total,
                  0, {500, 500}));
  EXPECT_EQ(total, 500);
  // Weight parts to volume: shares 1.2/1.5 = 0.8 and 0.8/1 = 0.8.
  EXPECT_TRUE(Run({1, 2}, {0.6, 0.4}, WY_UNIT_WEIGHT_PARTS, WY_UNIT_VOLUME,
                  &total, 0, {250, 250}));
  total = -1;
  EXPECT_FALSE(
      Run({1, 2}, {1, 1}, WY_UNIT_VOLUME_PARTS, WY_UNIT_VOLUME, &total, 0, {}));
}

TEST_F(UnitConversionTest, AbsoluteToRelative) {
  double total = 0;
  EXPECT_TRUE(Run({1, 2}, {100, 300}, WY_UNIT_VOLUME, WY_UNIT_VOLUME_PARTS,
                  &total, 0, {0.25, 0.75}));
  EXPECT_NEAR(total, 400, kEps);
  EXPECT_TRUE(Run({1, 2}, {100, 300}, WY_UNIT_VOLUME, WY_UNIT_VOLUME_PARTS,
                  &total, 100, {1, 3}));
  EXPECT_NEAR(total, 100, kEps);
  // Volumes to weight parts: total is the weight 150 + 300.
  EXPECT_TRUE(Run({1, 2}, {100, 300}, WY_UNIT_VOLUME, WY_UNIT_WEIGHT_PARTS,
                  &total, 0, {1.0 / 3, 2.0 / 3}));
  EXPECT_NEAR(total, 450, kEps);
}

TEST_F(UnitConversionTest, AbsoluteKindsOfDifferentSizes) {
  double total = 0;
  struct Case {
    int from, to;
    double in, want;
  } const cases[] = {
      {WY_UNIT_VOLUME, WY_UNIT_WEIGHT, 2, 2.4},
      {WY_UNIT_VOLUME, WY_UNIT_WEIGHT_SMALL, 2, 2400},
      {WY_UNIT_VOLUME_SMALL, WY_UNIT_WEIGHT, 2000, 2.4},
      {WY_UNIT_VOLUME_SMALL, WY_UNIT_WEIGHT_SMALL, 2, 2.4},
      {WY_UNIT_VOLUME, WY_UNIT_VOLUME_SMALL, 2, 2000},
      {WY_UNIT_WEIGHT_SMALL, WY_UNIT_WEIGHT, 2400, 2.4},
      {WY_UNIT_WEIGHT, WY_UNIT_VOLUME, 2.4, 2},
      {WY_UNIT_WEIGHT, WY_UNIT_VOLUME_SMALL, 2.4, 2000},
      {WY_UNIT_WEIGHT_SMALL, WY_UNIT_VOLUME, 2400, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    EXPECT_TRUE(Run({3}, {c.in}, c.from, c.to, &total, 0, {c.want}));
    EXPECT_NEAR(uc_.SingleConvert(std::vector<int32_t>{3}.data(),
                                  std::vector<double>{c.in}.data(), 1, 1.0,
                                  c.from, c.to),
                c.want, kEps);
  }
  // Two colorants keep their own amounts.
  EXPECT_TRUE(Run({1, 3}, {10, 5}, WY_UNIT_VOLUME, WY_UNIT_WEIGHT_SMALL, &total,
                  0, {15000, 6000}));
}

TEST_F(UnitConversionTest, SingleConvert) {
  const int32_t ids[] = {3, 99, 1};
  const double q[] = {2, 5, 1};
  EXPECT_NEAR(uc_.SingleConvert(ids, q, 1, 1.0, WY_UNIT_VOLUME, WY_UNIT_WEIGHT),
              2.4, kEps);
  EXPECT_NEAR(
      uc_.SingleConvert(ids, q, 1, 1.0, WY_UNIT_VOLUME, WY_UNIT_WEIGHT_SMALL),
      2400, kEps);
  // A volume stays a volume: only the unit size changes, unknown ids too.
  EXPECT_NEAR(
      uc_.SingleConvert(ids, q, 3, 1.0, WY_UNIT_VOLUME, WY_UNIT_VOLUME_SMALL),
      8000, kEps);
  // An unknown colorant adds nothing where its specific weight is needed.
  EXPECT_NEAR(uc_.SingleConvert(ids, q, 3, 2.0, WY_UNIT_VOLUME, WY_UNIT_WEIGHT),
              2 * 2.4 + 2 * 1.5, kEps);
  for (int bad : {-1, 0, 2, 7, 100}) {
    EXPECT_EQ(uc_.SingleConvert(ids, q, 1, 1.0, bad, WY_UNIT_WEIGHT), 0.0);
    EXPECT_EQ(uc_.SingleConvert(ids, q, 1, 1.0, WY_UNIT_WEIGHT, bad), 0.0);
  }
  EXPECT_EQ(uc_.SingleConvert(ids, q, 1, 1.0, WY_UNIT_VOLUME, WY_UNIT_VOLUME),
            0.0);
  EXPECT_EQ(uc_.SingleConvert(ids, q, 0, 1.0, 3, 5), 0.0);
  EXPECT_EQ(uc_.SingleConvert(nullptr, q, 1, 1.0, 3, 5), 0.0);
  EXPECT_EQ(uc_.SingleConvert(ids, nullptr, 1, 1.0, 3, 5), 0.0);
  EXPECT_EQ(uc_.SingleConvert(ids, q, 1, -1.0, 3, 5), 0.0);
  const int32_t zero_p[] = {5};
  EXPECT_EQ(uc_.SingleConvert(zero_p, q, 1, 1.0, 5, 3), 0.0);
}

TEST_F(UnitConversionTest, BaseAndColorants) {
  // Base 1000 at 1.4 and colorant 10 at 1.5, volume to weight, base 700.
  int32_t ids[] = {10};
  double base = 1000, q[] = {10};
  ASSERT_TRUE(
      uc_.Convert(7, &base, ids, q, 1, WY_UNIT_VOLUME, WY_UNIT_WEIGHT, 700));
  EXPECT_NEAR(base, 700, kEps);
  EXPECT_NEAR(q[0], 7.5, kEps);
  // Relative target: shares of the whole, the base included.
  base = 1400;
  q[0] = 15;
  ASSERT_TRUE(uc_.Convert(7, &base, ids, q, 1, WY_UNIT_WEIGHT,
                          WY_UNIT_VOLUME_PARTS, 0));
  EXPECT_NEAR(base, 1000.0 / 1010, kEps);
  EXPECT_NEAR(q[0], 10.0 / 1010, kEps);
  // No colorants at all.
  base = 3;
  ASSERT_TRUE(uc_.Convert(7, &base, nullptr, nullptr, 0, WY_UNIT_VOLUME,
                          WY_UNIT_WEIGHT, 4.2));
  EXPECT_NEAR(base, 4.2, kEps);

  struct Bad {
    int32_t base_id;
    double base;
    int to;
    double x;
  } const bad[] = {
      {99, 1000, WY_UNIT_WEIGHT, 700},  // unknown base
      {8, 1000, WY_UNIT_WEIGHT, 700},   // base SPEC_W 0
      {7, 0, WY_UNIT_WEIGHT, 700},      // zero base share
      {7, 1000, WY_UNIT_WEIGHT, 0},     // no base amount
      {7, 1000, WY_UNIT_WEIGHT, std::nan("")},
      {7, -1, WY_UNIT_WEIGHT, 700},
      {7, 1000, 9, 700},
  };
  for (const Bad& c : bad) {
    double b = c.base, qq[] = {10};
    EXPECT_FALSE(
        uc_.Convert(c.base_id, &b, ids, qq, 1, WY_UNIT_VOLUME, c.to, c.x));
    EXPECT_EQ(b, c.base);
    EXPECT_EQ(qq[0], 10);
  }
  EXPECT_FALSE(uc_.Convert(7, nullptr, ids, q, 1, 3, 5, 1));
  EXPECT_FALSE(uc_.Convert(7, &base, nullptr, q, 1, 3, 5, 1));
  EXPECT_FALSE(uc_.Convert(7, &base, ids, q, -1, 3, 5, 1));
}

TEST_F(UnitConversionTest, RefusalsChangeNothing) {
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    std::vector<int32_t> ids;
    std::vector<double> q;
    int from, to;
    double total;
  } const cases[] = {
      {"unknown colorant", {1, 99}, {1, 1}, 2, 1, 1},
      {"unknown colorant, absolute", {99}, {1}, 3, 6, 1},
      {"zero sum", {1, 2}, {0, 0}, 2, 1, 1},
      {"zero sum, absolute", {1, 2}, {0, 0}, 3, 2, 1},
      {"zero specific weight divided", {5, 2}, {1, 1}, 1, 2, 1},
      {"zero specific weight multiplied", {5, 2}, {1, 1}, 2, 1, 1},
      {"zero loading divided", {6, 2}, {1, 1}, 0, 2, 1},
      {"zero loading multiplied", {6, 2}, {1, 1}, 2, 0, 1},
      {"negative quantity", {1, 2}, {-1, 3}, 2, 1, 1},
      {"nan quantity", {1, 2}, {nan, 1}, 2, 1, 1},
      {"infinite quantity", {1, 2}, {inf, 1}, 3, 5, 1},
      {"overflow", {1, 2}, {1e300, 1e300}, 3, 6, 1},
      {"kind 7", {1}, {1}, 7, 1, 1},
      {"kind -1", {1}, {1}, 1, -1, 1},
      {"nan total", {1}, {1}, 2, 3, nan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<double> q = c.q;
    double total = c.total;
    EXPECT_FALSE(uc_.Convert(c.ids.data(), q.data(), static_cast<int>(q.size()),
                             c.from, c.to, total, 0));
    for (size_t i = 0; i < q.size(); ++i) {
      if (std::isnan(c.q[i])) {
        EXPECT_TRUE(std::isnan(q[i]));
      } else {
        EXPECT_EQ(q[i], c.q[i]);
      }
    }
    if (!std::isnan(c.total)) {
      EXPECT_EQ(total, c.total);
    }
  }
  double q[] = {1}, total = 1;
  int32_t ids[] = {1};
  EXPECT_FALSE(uc_.Convert(ids, q, 0, 2, 1, total, 0));
  EXPECT_FALSE(uc_.Convert(ids, q, -3, 2, 1, total, 0));
  EXPECT_FALSE(uc_.Convert(nullptr, q, 1, 2, 1, total, 0));
  EXPECT_FALSE(uc_.Convert(ids, nullptr, 1, 2, 1, total, 0));
  // The same kind on both sides: nothing to do.
  EXPECT_TRUE(uc_.Convert(ids, q, 1, 4, 4, total, 0));
  EXPECT_EQ(q[0], 1);
}

TEST_F(UnitConversionTest, ResultsAreRoundedToNineDecimals) {
  double total = 0;
  std::vector<double> q = {1, 1, 1};
  std::vector<int32_t> ids = {2, 2, 2};
  ASSERT_TRUE(uc_.Convert(ids.data(), q.data(), 3, WY_UNIT_VOLUME_PARTS,
                          WY_UNIT_WEIGHT_PARTS, total, 0));
  // 1/3 x 3 rounds to exactly 1 at 9 decimals.
  for (double v : q) EXPECT_EQ(v, std::floor(1.0 * 1e9 + 0.5) * 1e-9);
  q = {1, 2};
  ids = {2, 2};
  ASSERT_TRUE(uc_.Convert(ids.data(), q.data(), 2, WY_UNIT_VOLUME,
                          WY_UNIT_VOLUME_PARTS, total, 0));
  EXPECT_EQ(q[0], std::floor(1.0 / 3 * 1e9 + 0.5) * 1e-9);
}

}  // namespace
