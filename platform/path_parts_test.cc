#include "platform/path_parts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace platform::internal {
namespace {

using Parts = std::vector<std::string>;

TEST(PathPartsTest, SplitsAtBothSeparatorsAndDropsEmptyParts) {
  struct Case {
    const char* path;
    Parts parts;
  } cases[] = {
      {"", {}},
      {"\\", {}},
      {"a", {"a"}},
      {"c:\\gdata\\products.dbf", {"c:", "gdata", "products.dbf"}},
      {"//a\\\\b/", {"a", "b"}},
      {"\\\\server\\share\\x", {"server", "share", "x"}},
  };
  for (const Case& c : cases) {
    Parts out = {"kept"};
    SplitPath(c.path, &out);
    Parts want = {"kept"};
    want.insert(want.end(), c.parts.begin(), c.parts.end());
    EXPECT_EQ(out, want) << c.path;
  }
}

TEST(PathPartsTest, ResolvesDotsWithinWhatItHolds) {
  struct Case {
    Parts base, given, want;
    bool ok;
  } cases[] = {
      {{}, {"a", ".", "b", "..", "c"}, {"a", "c"}, true},
      {{"x"}, {"..", "y"}, {"y"}, true},
      {{"x"}, {"..", ".."}, {}, false},
      {{}, {".."}, {}, false},
      {{}, {".", "."}, {}, true},
  };
  for (const Case& c : cases) {
    Parts comps = c.base;
    Status s = ResolveDots(c.given, "p", &comps);
    EXPECT_EQ(s.ok(), c.ok);
    if (c.ok) {
      EXPECT_EQ(comps, c.want);
    } else {
      EXPECT_EQ(s.code(), EACCES);
      EXPECT_NE(s.message().find("p"), std::string::npos);
    }
  }
}

TEST(PathPartsTest, IgnoresTheCaseOfAsciiLettersOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("Products.DBF", "PRODUCTS.dbf"));
  EXPECT_FALSE(EqualsIgnoreCase("a", "ab"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC9", "\xE9"));  // not ASCII
  EXPECT_EQ(LowerAscii(std::string("AbC\xC9")), "abc\xC9");
  EXPECT_LT(CompareIgnoreCase("a", "B"), 0);
  EXPECT_GT(CompareIgnoreCase("b", "A"), 0);
  EXPECT_LT(CompareIgnoreCase("ab", "ABC"), 0);
  EXPECT_EQ(CompareIgnoreCase("ABC", "abc"), 0);
  // Letters compare as lower case: "Z" sorts after "_" (0x5F < 0x7A).
  EXPECT_GT(CompareIgnoreCase("Z", "_"), 0);
}

}  // namespace
}  // namespace platform::internal
