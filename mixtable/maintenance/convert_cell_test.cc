// The conversion table cell by cell: a surviving and a losing value each.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "maintenance/convert.h"

namespace {

TEST(ConvertCellTest, EachCellWithASurvivingAndALosingValue) {
  struct Case {
    char from;
    int flen, fdec;
    const char* value;  // raw bytes, or the memo text for M
    char to;
    int tlen, tdec;
    const char* out;  // target bytes ("" for M targets)
    bool survives;
  } cases[] = {
      // into C
      {'C', 6, 0, "ab    ", 'C', 3, 0, "ab ", true},
      {'C', 6, 0, "abcd  ", 'C', 3, 0, "abc", false},
      {'N', 5, 0, "   12", 'C', 5, 0, "   12", true},
      {'N', 5, 0, "   12", 'C', 3, 0, "   ", false},
      {'L', 1, 0, "T", 'C', 1, 0, "T", true},
      {'D', 8, 0, "20090307", 'C', 8, 0, "20090307", true},
      {'D', 8, 0, "20090307", 'C', 4, 0, "2009", false},
      {'M', 10, 0, "", 'C', 3, 0, "   ", true},
      {'M', 10, 0, "x", 'C', 3, 0, "x  ", false},
      // into D
      {'C', 8, 0, "20240229", 'D', 8, 0, "20240229", true},
      {'C', 8, 0, "20230229", 'D', 8, 0, "20230229", false},
      {'C', 5, 0, "     ", 'D', 8, 0, "        ", true},
      {'C', 5, 0, "2009 ", 'D', 8, 0, "        ", false},
      {'N', 8, 0, "        ", 'D', 8, 0, "        ", true},
      {'N', 8, 0, "20090307", 'D', 8, 0, "        ", false},
      {'L', 1, 0, "T", 'D', 8, 0, "        ", false},
      // into L
      {'C', 3, 0, "y  ", 'L', 1, 0, "T", true},
      {'C', 3, 0, "N  ", 'L', 1, 0, "F", true},
      {'C', 3, 0, "   ", 'L', 1, 0, "F", true},
      {'C', 3, 0, "yes", 'L', 1, 0, "T", false},
      {'C', 3, 0, "2  ", 'L', 1, 0, "T", false},
      {'N', 5, 0, "    1", 'L', 1, 0, "T", true},
      {'N', 5, 0, "    0", 'L', 1, 0, "F", true},
      {'N', 5, 0, "*****", 'L', 1, 0, "F", true},
      {'N', 5, 0, "    7", 'L', 1, 0, "T", false},
      {'N', 5, 2, " 0.50", 'L', 1, 0, "T", false},
      {'D', 8, 0, "20090307", 'L', 1, 0, "F", false},
      {'M', 10, 0, "", 'L', 1, 0, "F", true},
      // into N
      {'N', 5, 0, "   12", 'N', 8, 3, "  12.000", true},
      {'N', 6, 2, "  1.25", 'N', 5, 1, "  1.2", false},
      {'N', 6, 2, "  1.20", 'N', 5, 1, "  1.2", true},
      {'N', 6, 0, "123456", 'N', 4, 0, "****", false},
      {'N', 5, 0, "*****", 'N', 3, 0, "***", true},
      {'N', 5, 0, "     ", 'N', 3, 0, "   ", true},
      {'N', 20, 0, " 9223372036854775807", 'N', 19, 0, "9223372036854775807",
       true},
      {'N', 11, 0, " 3120000001", 'N', 10, 0, "3120000001", true},
      {'C', 6, 0, " 3.5  ", 'N', 5, 2, " 3.50", true},
      {'C', 6, 0, "abc   ", 'N', 5, 0, "    0", false},
      {'L', 1, 0, "T", 'N', 3, 0, "1  ", true},
      {'L', 1, 0, "F", 'N', 3, 0, "0  ", true},
      {'D', 8, 0, "        ", 'N', 3, 0, "   ", true},
      {'D', 8, 0, "20090307", 'N', 8, 0, "        ", false},
      {'M', 10, 0, "12", 'N', 3, 0, "   ", false},
      // into M: every value survives
      {'C', 4, 0, "ab  ", 'M', 10, 0, "          ", true},
      {'N', 4, 0, "  12", 'M', 10, 0, "          ", true},
      {'M', 10, 0, "text", 'M', 10, 0, "          ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.from) + " '" + c.value + "' -> " + c.to);
    const std::string memo = c.from == 'M' ? c.value : "";
    const std::string bytes = c.from == 'M' ? std::string(10, ' ') : c.value;
    ASSERT_EQ(static_cast<int>(bytes.size()), c.flen);
    mixtable::CellIn in;
    in.type = c.from;
    in.len = c.flen;
    in.dec = c.fdec;
    in.bytes = bytes.data();
    in.memo = &memo;
    WDBASE_FIELD t{"T", c.to, static_cast<int16_t>(c.tlen),
                   static_cast<int16_t>(c.tdec), 0};
    std::string out(static_cast<size_t>(c.tlen), '?');
    std::string memo_out;
    EXPECT_EQ(mixtable::ConvertCell(in, t, out.data(), &memo_out), c.survives);
    EXPECT_EQ(out, c.out);
    if (c.to == 'M') {
      EXPECT_EQ(memo_out, c.from == 'N' ? "12"
                                        : std::string(c.value).substr(
                                              0, c.from == 'C' ? 2 : 4));
    }
  }
}

TEST(ConvertCellTest, CanonicalNumbers) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{" -012.50", "-12.5"},
               {"0.000", "0"},
               {"-0", "0"},
               {"+7", "7"},
               {".5", "0.5"},
               {"1e3", ""},
               {"", ""},
               {"1 2", ""},
               {"-", ""}};
  for (const auto& c : cases)
    EXPECT_EQ(mixtable::CanonicalNumber(c.in, std::strlen(c.in)), c.out)
        << c.in;
}

TEST(ConvertCellTest, LineFormats) {
  EXPECT_EQ(mixtable::FieldLine("INSERT", "SUBP_KEY", 'C', 5, 0),
            "INSERT: SUBP_KEY   C   5.0");
  mixtable::ConvSource s;
  s.name = "A_VERY_LONG_NAME";
  s.type = 'N';
  s.len = 10;
  s.dec = 3;
  WDBASE_FIELD t{"NEW", 'C', 120, 0, 0};
  EXPECT_EQ(mixtable::ChangeLine("CHANGE", s, t),
            "CHANGE: A_VERY_LON N  10.3 -> NEW        C 120.0");
}

}  // namespace
