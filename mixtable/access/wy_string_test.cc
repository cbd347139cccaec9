#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "mixtable/wy_util.h"

namespace {

// ---- path strings ----------------------------------------------------------

struct PathCase {
  const char* in;
  const char* want;
};

TEST(WyPathStringTest, AddTrailingBackslash) {
  const PathCase cases[] = {
      {"", ""},
      {"c:\\gdata", "c:\\gdata\\"},
      {"c:\\gdata\\", "c:\\gdata\\"},
      {"\\", "\\"},
      {"x", "x\\"},
      {"/tmp/a", "/tmp/a\\"},
      {"/tmp/a/", "/tmp/a/"},  // a host separator already ends it
  };
  for (const PathCase& c : cases) {
    std::string s = c.in;
    Wy_AddTrailingBackslash(s);
    EXPECT_EQ(s, c.want) << "in: " << c.in;
  }
}

TEST(WyPathStringTest, GetFilePath) {
  const PathCase cases[] = {
      {"", ""},
      {"FRM.DBF", ".\\"},
      {"c:\\gdata\\frm.dbf", "c:\\gdata\\"},
      {"c:\\gdata\\", "c:\\gdata\\"},
      {"\\frm.dbf", "\\"},
      {"\\", "\\"},
      {"c:frm.dbf", ".\\"},
      {"/tmp/x/frm.dbf", "/tmp/x/"},
      {"c:\\a.b\\c", "c:\\a.b\\"},
  };
  for (const PathCase& c : cases) {
    std::string s = c.in;
    Wy_GetFilePath(s);
    EXPECT_EQ(s, c.want) << "in: " << c.in;
  }
}

TEST(WyPathStringTest, GetFilePathName) {
  const PathCase cases[] = {
      {"", ""},
      {"frm.dbf", "frm"},
      {"c:\\gdata\\frm.dbf", "c:\\gdata\\frm"},
      {"FILE.TAR.GZ", "FILE.TAR"},
      {"c:\\gdata\\frm", "c:\\gdata\\frm"},
      {"c:\\dir.x\\file", "c:\\dir.x\\file"},  // the dot is in a directory
      {"c:\\dir.x\\file.y", "c:\\dir.x\\file"},
      {".", ""},
      {"c:\\gdata\\.", "c:\\gdata\\"},
      {"/tmp/a.b/c", "/tmp/a.b/c"},
  };
  for (const PathCase& c : cases) {
    std::string s = c.in;
    Wy_GetFilePathName(s);
    EXPECT_EQ(s, c.want) << "in: " << c.in;
  }
}

TEST(WyPathStringTest, GetFileExt) {
  const PathCase cases[] = {
      {"C:\\DIR.X\\FILE", nullptr},  // the dot before the last "\" is no ext
      {"FILE.TAR.GZ", ".TAR.GZ"},
      {"c:\\gdata\\frm.dbf", ".dbf"},
      {"frm", nullptr},
      {"", nullptr},
      {"c:\\gdata\\", nullptr},
      {"c:\\a.b\\c.d.e", ".d.e"},
      {"x.", "."},
      {"/tmp/a.b/c", nullptr},
      {"/tmp/a/c.txt", ".txt"},
  };
  for (const PathCase& c : cases) {
    const char* got = Wy_GetFileExt(c.in);
    if (c.want == nullptr) {
      EXPECT_EQ(got, nullptr) << "in: " << c.in;
    } else {
      ASSERT_NE(got, nullptr) << "in: " << c.in;
      EXPECT_STREQ(got, c.want) << "in: " << c.in;
      // The answer points into the argument.
      EXPECT_GE(got, c.in);
      EXPECT_LT(got, c.in + std::strlen(c.in));
    }
  }
  EXPECT_EQ(Wy_GetFileExt(static_cast<const char*>(nullptr)), nullptr);
  char buf[] = "a.txt";
  char* ext = Wy_GetFileExt(buf);
  ASSERT_EQ(ext, buf + 1);
  *ext = '\0';  // the non-const form allows cutting the extension
  EXPECT_STREQ(buf, "a");
}

// ---- C strings
// ---------------------------------------------------------------

TEST(WyStringTest, Delete) {
  struct Case {
    const char* in;
    int pos;  // offset into the string
    int count;
    const char* want;
  };
  const Case cases[] = {
      {"abcdef", 0, 2, "cdef"},    {"abcdef", 2, 2, "abef"},
      {"abcdef", 5, 1, "abcde"},   {"abcdef", 4, 10, "abcd"},  // to the end
      {"abcdef", 0, 6, ""},        {"abcdef", 2, 0, "abcdef"},
      {"abcdef", 2, -3, "abcdef"}, {"abcdef", 6, 1, "abcdef"},   // terminator
      {"abcdef", 9, 1, "abcdef"},  {"abcdef", -1, 1, "abcdef"},  // outside
  };
  for (const Case& c : cases) {
    char buf[32] = "zz";  // leading guard: positions before the string
    std::strcat(buf, c.in);
    char* str = buf + 2;
    Wy_StringDelete(str, str + c.pos, c.count);
    EXPECT_STREQ(str, c.want) << c.in << " " << c.pos << " " << c.count;
    EXPECT_EQ(buf[0], 'z');
  }
  char empty[1] = "";
  Wy_StringDelete(empty, empty, 1);
  EXPECT_STREQ(empty, "");
  char s[] = "abc";
  Wy_StringDelete(s, nullptr, 1);
  EXPECT_STREQ(s, "abc");
  Wy_StringDelete(nullptr, s, 1);  // no crash
}

TEST(WyStringTest, Trims) {
  struct Case {
    const char* in;
    const char* set;
    const char* ltrim;
    const char* rtrim;
    const char* trim;
  };
  const Case cases[] = {
      {"  a b  ", " ", "a b  ", "  a b", "a b"},  // inner blanks stay
      {"\t a \t", " ", "\t a \t", "\t a \t", "\t a \t"},
      {"\t a \t", " \t", "a \t", "\t a", "a"},
      {"xxaxx", "x", "axx", "xxa", "a"},
      {"xxxx", "x", "", "", ""},
      {"", " ", "", "", ""},
      {"  a  ", "", "  a  ", "  a  ", "  a  "},  // empty set: nothing
      {"abcba", "ab", "cba", "abc", "c"},
  };
  for (const Case& c : cases) {
    char buf[32];
    std::strcpy(buf, c.in);
    Wy_StringLtrim(buf, c.set);
    EXPECT_STREQ(buf, c.ltrim) << "[" << c.in << "] set [" << c.set << "]";
    std::strcpy(buf, c.in);
    Wy_StringRtrim(buf, c.set);
    EXPECT_STREQ(buf, c.rtrim) << "[" << c.in << "] set [" << c.set << "]";
    std::strcpy(buf, c.in);
    Wy_StringTrim(buf, c.set);
    EXPECT_STREQ(buf, c.trim) << "[" << c.in << "] set [" << c.set << "]";
  }
  char s[] = " a ";
  Wy_StringTrim(s, nullptr);
  EXPECT_STREQ(s, " a ");
  Wy_StringTrim(nullptr, " ");  // no crash
  Wy_StringLtrim(nullptr, nullptr);
  Wy_StringRtrim(nullptr, " ");
}

TEST(WyStringTest, Empty) {
  EXPECT_EQ(Wy_StringEmpty(nullptr), 1);
  EXPECT_EQ(Wy_StringEmpty(""), 1);
  EXPECT_EQ(Wy_StringEmpty(" \t\r\n"), 1);
  EXPECT_EQ(Wy_StringEmpty(" a "), 0);
  EXPECT_EQ(Wy_StringEmpty("."), 0);
  EXPECT_EQ(Wy_StringEmpty("\xA0"), 0);  // a high byte is text
}

// ---- lists
// -------------------------------------------------------------------

TEST(WyStringParseTest, GetNumAndItems) {
  struct Case {
    const char* in;
    int32_t num;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"", 0, {}},
      {"A", 1, {"A"}},
      {"A;B", 2, {"A", "B"}},
      {"A;B;", 2, {"A", "B"}},
      {";A", 2, {"", "A"}},
      {";", 1, {""}},
      {";;", 2, {"", ""}},
      {"A;;B", 3, {"A", "", "B"}},
      {" ; ", 2, {" ", " "}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Wy_StringParse_GetNum(c.in, ';'), c.num) << c.in;
    std::string item = "junk";
    for (int32_t i = 0; i < c.num; ++i) {
      ASSERT_TRUE(Wy_StringParse_GetItem(item, c.in, i, ';')) << c.in << i;
      EXPECT_EQ(item, c.items[i]) << c.in << " item " << i;
    }
    // Beyond the last item and negative indexes fail with an empty item.
    item = "junk";
    EXPECT_FALSE(Wy_StringParse_GetItem(item, c.in, c.num, ';')) << c.in;
    EXPECT_EQ(item, "");
    EXPECT_FALSE(Wy_StringParse_GetItem(item, c.in, -1, ';')) << c.in;
  }
}

TEST(WyStringParseTest, PathsSplitAtBackslash) {
  EXPECT_EQ(Wy_StringParse_GetNum("c:\\a\\b\\", '\\'), 3);
  EXPECT_EQ(Wy_StringParse_GetNum("c:\\a\\b", '\\'), 3);
  std::string item;
  ASSERT_TRUE(Wy_StringParse_GetItem(item, "c:\\a\\b", 0, '\\'));
  EXPECT_EQ(item, "c:");
  ASSERT_TRUE(Wy_StringParse_GetItem(item, "c:\\a\\b", 2, '\\'));
  EXPECT_EQ(item, "b");
}

TEST(WyStringParseTest, LongText) {
  std::string s(100000, 'x');
  for (size_t i = 10; i < s.size(); i += 10) s[i] = ',';
  int32_t n = Wy_StringParse_GetNum(s, ',');
  EXPECT_EQ(n, 10000);
  std::string item;
  ASSERT_TRUE(Wy_StringParse_GetItem(item, s, n - 1, ','));
  EXPECT_EQ(item, "xxxxxxxxx");
}

}  // namespace
