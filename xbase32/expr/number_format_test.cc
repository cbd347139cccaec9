#include "expr/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace xbase32 {
namespace {

std::string Num(double v, int width, int dec) {
  std::string out(static_cast<size_t>(width), '?');
  FormatNumber(v, width, dec, out.data());
  return out;
}

std::string Int(int64_t v, int width) {
  std::string out(static_cast<size_t>(width), '?');
  FormatInteger(v, width, out.data());
  return out;
}

struct NumberCase {
  double value;
  int width;
  int dec;
  const char* text;
  bool fits;
};

TEST(FormatNumberTest, Table) {
  const NumberCase cases[] = {
      {0.5, 5, 2, " 0.50", true},
      {-0.5, 5, 2, "-0.50", true},
      {1234.5, 5, 1, "*****", false},
      {123.4, 5, 1, "123.4", true},
      {-23.4, 5, 1, "-23.4", true},
      {-123.4, 5, 1, "*****", false},
      {3.14159, 8, 2, "    3.14", true},
      {123.7, 10, 0, "       124", true},
      {0, 3, 0, "  0", true},
      {-5, 3, 0, " -5", true},
      {-100, 3, 0, "***", false},
      {999, 3, 0, "999", true},
      {999.5, 3, 0, "***", false},    // rounds to 1000
      {2.675, 6, 2, "  2.68", true},  // decimal half held below its value
      {0.125, 5, 2, " 0.13", true},   // exact binary half, away from zero
      {-0.125, 5, 2, "-0.13", true},
      {-0.001, 5, 2, " 0.00", true},  // rounds to zero: no sign
      {0.5, 3, 2, "***", false},      // no room for the leading zero
      {-0.5, 3, 2, "***", false},
      {-0.5, 4, 2, "****", false},
      {-0.5, 5, 2, "-0.50", true},
      {-0.05, 3, 1, "***", false},  // rounds to -0.1
      {-0.05, 4, 1, "-0.1", true},
      {0.05, 3, 1, "0.1", true},
      {0.3, 5, 20, "*****", false},  // decimals capped at width - 1 ...
      {1.5, 4, 20, "****", false},   // ... which leaves no integer room
      {0.3, 4, 3, "****", false},
      {0.3, 5, 3, "0.300", true},
      {0.1 + 0.2, 19, 17, "  0.300000000000000", true},  // 15 decimals
      {9.995, 5, 2, "10.00", true},  // carry into a new digit
      {99.995, 5, 2, "*****", false},
      {1e-20, 5, 2, " 0.00", true},
      {0.004, 4, 2, "0.00", true},
      {0.005, 4, 2, "0.01", true},
      {123456789012345678.0, 18, 0, "123456789012346000", true},  // 15 digits
      {1e20, 21, 0, "100000000000000000000", true},
      {-1e20, 21, 0, "*********************", false},
      {12, 1, 0, "*", false},
      {7, 1, 0, "7", true},
  };
  for (const NumberCase& c : cases) {
    std::string out(static_cast<size_t>(c.width), '?');
    const bool fits = FormatNumber(c.value, c.width, c.dec, out.data());
    SCOPED_TRACE(testing::Message()
                 << c.value << " (" << c.width << "," << c.dec << ")");
    EXPECT_EQ(out, c.text);
    EXPECT_EQ(fits, c.fits);
  }
}

// A double carries 15 significant decimal digits: the value is first
// rounded to them (ties to even, as an exact binary value), then to the
// field's decimals (halves away from zero). Cases at the edges of the
// digit counting: carries into a new digit, the smallest and largest values
// counted without the library, and ties in the 15th digit.
TEST(FormatNumberTest, FifteenSignificantDigits) {
  const NumberCase cases[] = {
      {20910450959001.25, 20, 5, "20910450959001.20000", true},
      {9877067.9430089444, 20, 7, "     9877067.9430089", true},
      {0.099999999999999992, 20, 16, "   0.100000000000000", true},
      {0.10000000000000001, 20, 17, "   0.100000000000000", true},
      {999999999999999.88, 20, 0, "    1000000000000000", true},
      {99999999999999.984, 20, 1, "   100000000000000.0", true},
      {9.9999999999999947, 20, 14, "    9.99999999999999", true},
      {1000000000000000, 20, 2, " 1000000000000000.00", true},
      {123456789012345.5, 20, 0, "     123456789012346", true},
      {1.2345678901234568e-05, 20, 15, "   0.000012345678901", true},
      {9.9999999999999991e-06, 20, 15, "   0.000010000000000", true},
      {1e-300, 8, 2, "    0.00", true},
      {5.0000000000000004e-06, 10, 5, "   0.00001", true},
      {0.99999999999999989, 20, 15, "   1.000000000000000", true},
      {1.0000000000000002, 20, 15, "   1.000000000000000", true},
      {4503599627370495.5, 20, 1, "  4503599627370500.0", true},
  };
  for (const NumberCase& c : cases) {
    std::string out(static_cast<size_t>(c.width), '?');
    FormatNumber(c.value, c.width, c.dec, out.data());
    EXPECT_EQ(out, c.text) << c.value;
  }
}

TEST(FormatNumberTest, DecimalsCappedAtFifteen) {
  // Width 20 with 18 decimals asks for more than kMaxDecimals: the point
  // moves to position 20 - 15 - 1.
  EXPECT_EQ(Num(0.25, 20, 18), "   0.250000000000000");
}

TEST(FormatNumberTest, NotFiniteOverflows) {
  EXPECT_EQ(Num(std::numeric_limits<double>::infinity(), 4, 0), "****");
  EXPECT_EQ(Num(std::nan(""), 4, 1), "****");
  EXPECT_EQ(Num(-std::numeric_limits<double>::max(), 6, 2), "******");
}

TEST(FormatNumberTest, LargestDoubleFitsWideField) {
  std::string s = Num(std::numeric_limits<double>::max(), 330, 15);
  EXPECT_EQ(s.find('*'), std::string::npos);
  EXPECT_EQ(s.substr(314, 16), ".000000000000000");
}

TEST(FormatNumberTest, ZeroWidthWritesNothing) {
  char c = 'x';
  EXPECT_TRUE(FormatNumber(5, 0, 0, &c));
  EXPECT_TRUE(FormatNumber(5, -3, 0, &c));
  EXPECT_EQ(c, 'x');
}

TEST(FormatIntegerTest, Table) {
  EXPECT_EQ(Int(-5, 3), " -5");
  EXPECT_EQ(Int(-100, 3), "***");
  EXPECT_EQ(Int(0, 4), "   0");
  EXPECT_EQ(Int(12345, 5), "12345");
  EXPECT_EQ(Int(123456, 5), "*****");
  EXPECT_EQ(Int(INT64_MIN, 20), "-9223372036854775808");
  EXPECT_EQ(Int(INT64_MIN, 19), "*******************");
  EXPECT_EQ(Int(INT64_MAX, 19), "9223372036854775807");
}

TEST(ParseDoubleTest, Table) {
  struct {
    const char* text;
    double value;
  } cases[] = {
      {"   3.25", 3.25}, {"-1.5", -1.5}, {"+2", 2},     {"", 0},
      {"   ", 0},        {"abc", 0},     {"12abc", 12}, {".5", 0.5},
      {"-.5", -0.5},     {"1e3", 1000},  {"1e", 1},     {"1e+", 1},
      {"2E-2", 0.02},    {"inf", 0},     {"nan", 0},    {"0x10", 0},
      {"  -", 0},        {"1.2.3", 1.2}, {"\t7", 7},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(ParseDouble(c.text, std::string(c.text).size()), c.value)
        << c.text;
  }
}

TEST(ParseDoubleTest, ReadsOnlyGivenBytesAndAtMost49) {
  EXPECT_DOUBLE_EQ(ParseDouble("1234", 2), 12);
  std::string long_text(48, '0');
  long_text += "12";  // the "2" is byte 50
  EXPECT_DOUBLE_EQ(ParseDouble(long_text.data(), long_text.size()), 1);
}

TEST(ParseInt32Test, Table) {
  EXPECT_EQ(ParseInt32("  -42xyz", 8), -42);
  EXPECT_EQ(ParseInt32("    ", 4), 0);
  EXPECT_EQ(ParseInt32("3.9", 3), 3);
  EXPECT_EQ(ParseInt32("99999999999", 11), INT32_MAX);
  EXPECT_EQ(ParseInt32("-99999999999", 12), INT32_MIN);
  EXPECT_EQ(ParseInt32("-2147483648", 11), INT32_MIN);
  EXPECT_EQ(ParseInt32("12345", 3), 123);
}

}  // namespace
}  // namespace xbase32

namespace xbase32 {
namespace {

// The quick conversion of plain field text agrees with the library's
// correctly rounded one on every width and number of decimals.
TEST(ParseDoubleTest, AgreesWithLibraryConversion) {
  uint64_t seed = 88172645463325252ULL;
  auto next = [&seed] {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  char field[40];
  for (int round = 0; round < 200000; ++round) {
    const int width = 1 + static_cast<int>(next() % 20);
    const int dec = static_cast<int>(next() % width);
    const double v =
        static_cast<double>(static_cast<int64_t>(next() % 2000000000000ULL) -
                            1000000000000LL) /
        static_cast<double>(1 + next() % 100000);
    if (!FormatNumber(v, width, dec, field)) continue;
    const std::string text(field, width);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), ParseDouble(field, width))
        << text;
  }
}

}  // namespace
}  // namespace xbase32
