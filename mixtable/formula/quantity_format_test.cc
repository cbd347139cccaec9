#include "mixtable/quantity_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "mixtable/formula_types.h"

namespace {

struct FormatCase {
  double value;
  int decimals;
  int exponent;
  const char* text;
};

const FormatCase kFormatCases[] = {
    {1.5, 3, 0, "1.5"},
    {2.0, 3, 0, "2"},
    {0.001, 3, 0, "0.001"},
    {1.0 / 3.0, 7, 0, "0.3333333"},
    {12.5, 3, 0, "12.5"},
    {150.0, 2, 1, "1.5E+2"},
    {2.5, 3, 1, "2.5"},
    {12.5, 0, 0, "12"},  // round half to even, as printf does
    {13.0, 0, 0, "13"},
    {0.0, 7, 0, "0"},
    {-0.0, 3, 0, "-0"},
    {-2.25, 1, 0, "-2.2"},
    {0.00015, 2, 1, "1.5E-4"},
    {1e-5, 3, 0, "0"},
    {100.0, 5, 0, "100"},
    {1.0 / 3.0, -4, 0, "0"},                       // below 0 counts as 0
    {1.0 / 3.0, 99, 0, "0.33333333333333331483"},  // above 20 as 20
    {INFINITY, 3, 0, "INF"},
    {-INFINITY, 3, 1, "-INF"},
    {NAN, 3, 0, "NAN"},
};

TEST(QuantityFormat, Table) {
  for (const FormatCase& c : kFormatCases) {
    EXPECT_EQ(Wy_FormatQuantity(c.value, c.decimals, c.exponent), c.text)
        << c.value << " d=" << c.decimals << " e=" << c.exponent;
  }
}

TEST(QuantityFormat, HugeValuesNeedNoFixedBuffer) {
  std::string s = Wy_FormatQuantity(1e300, 7, 0);
  EXPECT_EQ(s.size(), 301u);
  EXPECT_EQ(s.substr(0, 4), "1000");
  EXPECT_EQ(Wy_FormatQuantity(1e300, 20, 1), "1.0000000000000000525E+300");
  EXPECT_EQ(Wy_FormatQuantity(1e300, 3, 1), "1E+300");
}

TEST(QuantityFormat, IgnoresADecimalCommaLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8",
                         "it_IT.UTF-8"};
  const char* found = nullptr;
  for (const char* n : names) {
    if (std::setlocale(LC_ALL, n) != nullptr) {
      found = n;
      break;
    }
  }
  if (found == nullptr) GTEST_SKIP() << "no decimal-comma locale installed";
  EXPECT_EQ(Wy_FormatQuantity(1.5, 3, 0), "1.5");
  EXPECT_EQ(Wy_FormatQuantity(150.0, 2, 1), "1.5E+2");
  EXPECT_DOUBLE_EQ(Wy_ReadDouble("2.5", 3), 2.5);
  std::setlocale(LC_ALL, "C");
}

TEST(DecimalsNeeded, Values) {
  EXPECT_EQ(DecimalsNeeded(0.25), 2);
  EXPECT_EQ(DecimalsNeeded(3.0), 0);
  EXPECT_EQ(DecimalsNeeded(1.0 / 3.0), 7);
  EXPECT_EQ(DecimalsNeeded(0.0), 0);
  EXPECT_EQ(DecimalsNeeded(1.5), 1);
  EXPECT_EQ(DecimalsNeeded(NAN), 7);
}

struct ReadCase {
  const char* text;
  double value;
};

TEST(ReadDouble, ClassicGrammar) {
  const ReadCase cases[] = {
      {"1.5", 1.5},  {"  -2.25x", -2.25}, {"+3", 3.0},     {".5", 0.5},
      {"5.", 5.0},   {"1e3", 1000.0},     {"1E+2", 100.0}, {"1e", 1.0},
      {"1e+", 1.0},  {"2.5e-1", 0.25},    {"inf", 0.0},    {"nan", 0.0},
      {"0x1f", 0.0}, {"", 0.0},           {"-", 0.0},      {".", 0.0},
      {"1,5", 1.0},  {"\t7", 7.0},        {"1\t2", 1.0},   {"1e-999", 0.0},
      {"-0", 0.0},
  };
  for (const ReadCase& c : cases) {
    EXPECT_DOUBLE_EQ(Wy_ReadDouble(c.text, std::strlen(c.text)), c.value)
        << c.text;
  }
  EXPECT_EQ(Wy_ReadDouble("1e999", 5), HUGE_VAL);
  EXPECT_EQ(Wy_ReadDouble("-1e999", 6), -HUGE_VAL);
  EXPECT_EQ(Wy_ReadDouble("0.0001e310", 10), 1e306);
  EXPECT_TRUE(std::signbit(Wy_ReadDouble("-0", 2)));
  // Only the given length is read.
  EXPECT_DOUBLE_EQ(Wy_ReadDouble("123", 2), 12.0);
  EXPECT_EQ(Wy_ReadDouble(nullptr, 3), 0.0);
}

TEST(ReadId, ThirtyTwoBits) {
  struct {
    const char* text;
    int32_t id;
  } cases[] = {
      {"12", 12},
      {" -7", -7},
      {"+5", 5},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", 0},
      {"4294967297", 0},
      {"99999999999999999999", 0},
      {"1.9", 1},
      {"abc", 0},
      {"", 0},
      {"0x10", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Wy_ReadId(c.text, std::strlen(c.text)), c.id) << c.text;
  }
}

TEST(FormulaTypes, Values) {
  EXPECT_EQ(HF_SOURCE_CORRECTION_NEW_CAN, 7);
  EXPECT_EQ(HF_SOURCE_LAST, 9);
  EXPECT_EQ(CNT_MODE_NPC, 2);
  EXPECT_STREQ(kCntModeUnitsMacro, "@UNI");
  EXPECT_STREQ(kCntModeRpcMacro, "@RPC");
  EXPECT_STREQ(kCntModeNpcMacro, "@NPC");
}

}  // namespace
