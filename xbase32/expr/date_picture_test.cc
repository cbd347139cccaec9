#include "expr/date_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace xbase32 {
namespace {

std::string Format(const char* date, const char* picture) {
  std::string out(std::strlen(picture), '?');
  FormatDatePicture(date, picture, out.data());
  return out;
}

std::string Read(const std::string& text, const char* picture) {
  std::string out(8, '?');
  ParseDatePicture(text.data(), text.size(), picture, out.data());
  return out;
}

TEST(DatePictureTest, Format) {
  EXPECT_EQ(Format("20090307", "MM/DD/YY"), "03/07/09");
  EXPECT_EQ(Format("        ", "MM/DD/YY"), "  /  /  ");
  EXPECT_EQ(Format("20090307", "CCYY.MM.DD"), "2009.03.07");
  EXPECT_EQ(Format("20090307", "DD MMM YYYY"), "07 Mar 2009");
  EXPECT_EQ(Format("20091107", "MMMMMMMMMM"), "November  ");
  EXPECT_EQ(Format("        ", "DD MMM"), "      ");
  EXPECT_EQ(Format("20090307", "YYYYYY"), "  2009");
}

TEST(DatePictureTest, Read) {
  EXPECT_EQ(Read("01/02/09", "MM/DD/YY"), "19090102");
  EXPECT_EQ(Read("12/31/99", "MM/DD/YY"), "19991231");
  EXPECT_EQ(Read(" 1/ 2/ 9", "MM/DD/YY"), "19090102");
  EXPECT_EQ(Read("03", "MM/DD/YY"), "19010301");
  EXPECT_EQ(Read("", "MM/DD/YY"), "        ");
  EXPECT_EQ(Read("        ", "MM/DD/YY"), "        ");
  EXPECT_EQ(Read("  /  /  ", "MM/DD/YY"), "        ");
  EXPECT_EQ(Read(std::string("\0\0/\0\0/\0\0", 8), "MM/DD/YY"), "        ");
  EXPECT_EQ(Read("2009.03.07", "CCYY.MM.DD"), "20090307");
  EXPECT_EQ(Read("07 mar 2009", "DD MMM YYYY"), "20090307");
  EXPECT_EQ(Read("07 DEC 2009", "DD MMM YYYY"), "20091207");
  EXPECT_EQ(Read("07 Ju  2009", "DD MMM YYYY"), "20090607");  // first match
  EXPECT_EQ(Read("07 Xyz 2009", "DD MMM YYYY"), "20090007");  // no month
  EXPECT_EQ(Read("ab/cd/ef", "MM/DD/YY"), "19efabcd");  // kept for checking
}

}  // namespace
}  // namespace xbase32
