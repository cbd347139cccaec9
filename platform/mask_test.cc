#include "platform/mask.h"

#include <gtest/gtest.h>

namespace platform::internal {
namespace {

TEST(MaskTest, MatchesLikeTheOriginalListing) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {
      {"PRODUCTS.DBF", "*.dbf", true},
      {"products.dbf", "*.DBF", true},
      {"products.ntx", "*.dbf", false},
      {"PRODUCTS", "*.*", true},  // no dot, still listed
      {"PRODUCTS", "", true},
      {".hidden", "*", true},
      {"PRODUCTS", "PRODUCTS.*", true},
      {"PRODUCTS.DBF", "PRODUCTS.*", true},
      {"PRODUCTSX", "PRODUCTS.*", false},
      {"SPF00001.NTX", "SPF?????.NTX", true},
      {"SPF0001.NTX", "SPF?????.NTX", false},
      {"SPF000011.NTX", "SPF?????.NTX", false},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abc", "*.", true},  // "*." lists names without an extension
      {"a.b", "*.", false},
      {"a.b.c", "*.c", true},
      {"a.b.c", "a*b*c", true},
      {"abcbd", "a*b?", true},
      {"abcbde", "a*b?", false},
      {"x", "?", true},
      {"", "?", false},
      {"aaaa", "*a*a*a*a*", true},
      {"aaa", "*a*a*a*a*", false},
      {"PRODUCTS.DBF", "products.dbf", true},
      {"PRODUCTS.DBF", "products.db", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchMask(c.name, c.mask), c.match)
        << '"' << c.name << "\" against \"" << c.mask << '"';
  }
}

}  // namespace
}  // namespace platform::internal
