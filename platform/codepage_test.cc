#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/env.h"

namespace platform {
namespace {

// The environment the code under test reads with getenv: Env::SetEnv
// keeps the C library's copy current on every host.
void SetVar(const char* name, const char* value) {
  Env::Default()->SetEnv(name, value);
}
void UnsetVar(const char* name) { Env::Default()->UnsetEnv(name); }

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }
int Code(const std::string& s) { return static_cast<unsigned char>(s.at(0)); }

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (getenv("KALVO_OEMCP") != nullptr || getenv("KALVO_ANSICP") != nullptr) {
      GTEST_SKIP() << "code pages set in the environment";
    }
  }
};

TEST_F(CodePageTest, DefaultsAre850And1252) {
  EXPECT_EQ(OemCodePage(), 850);
  EXPECT_EQ(AnsiCodePage(), 1252);
}

TEST_F(CodePageTest, KnownPairs) {
  struct Pair {
    int oem, ansi;
  } pairs[] = {
      {0x82, 0xE9},  // e acute
      {0x81, 0xFC},  // u diaeresis
      {0x9A, 0xDC},  // U diaeresis
      {0xE1, 0xDF},  // sharp s
      {0xA4, 0xF1},  // n tilde
      {0xF8, 0xB0},  // degree sign
      {0x80, 0xC7},  // C cedilla
  };
  for (const Pair& p : pairs) {
    EXPECT_EQ(Code(OemToAnsi(Byte(p.oem))), p.ansi) << std::hex << p.oem;
    EXPECT_EQ(Code(AnsiToOem(Byte(p.ansi))), p.oem) << std::hex << p.ansi;
  }
}

TEST_F(CodePageTest, MissingCharactersGetTheClosestOrQuestionMark) {
  EXPECT_EQ(OemToAnsi(Byte(0xC4)), "-");  // box drawing horizontal
  EXPECT_EQ(OemToAnsi(Byte(0xB3)), "|");  // box drawing vertical
  EXPECT_EQ(OemToAnsi(Byte(0xDA)), "+");  // box drawing corner
  EXPECT_EQ(OemToAnsi(Byte(0xD5)), "i");  // dotless i
  EXPECT_EQ(OemToAnsi(Byte(0xB0)), "?");  // shade block
  EXPECT_EQ(AnsiToOem(Byte(0x8A)), "S");  // S caron
  EXPECT_EQ(AnsiToOem(Byte(0x80)), "?");  // euro sign: not in 850
}

TEST_F(CodePageTest, EveryCommonCharacterRoundTrips) {
  int common = 0;
  for (int b = 0; b < 256; b++) {
    std::string s = Byte(b);
    if (b < 0x80) {
      EXPECT_EQ(OemToAnsi(s), s);
      EXPECT_EQ(AnsiToOem(s), s);
      continue;
    }
    // The OEM character exists in the ANSI page when its UTF-8 form
    // converts there and back unchanged.
    std::string utf8 = CodePageToUtf8(s, 850);
    std::string ansi = Utf8ToCodePage(utf8, 1252);
    if (CodePageToUtf8(ansi, 1252) == utf8) {
      common++;
      EXPECT_EQ(OemToAnsi(s), ansi) << std::hex << b;
      EXPECT_EQ(AnsiToOem(OemToAnsi(s)), s) << std::hex << b;
    }
    std::string oem = Utf8ToCodePage(CodePageToUtf8(s, 1252), 850);
    if (CodePageToUtf8(oem, 850) == CodePageToUtf8(s, 1252)) {
      EXPECT_EQ(OemToAnsi(AnsiToOem(s)), s) << std::hex << b;
    }
  }
  EXPECT_GE(common, 80);  // 850 and 1252 share most of their upper halves
}

TEST_F(CodePageTest, BuffersAndStrings) {
  char buf[] = "caf\x82\0x\x82";
  OemToAnsi(buf, sizeof(buf) - 1);
  EXPECT_EQ(std::string(buf, sizeof(buf) - 1),
            std::string("caf\xE9\0x\xE9", 7));
  AnsiToOem(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "caf\x82");
  EXPECT_EQ(AnsiToOem(""), "");
}

TEST_F(CodePageTest, Utf8Conversions) {
  EXPECT_EQ(CodePageToUtf8("caf\x82", 0), "caf\xC3\xA9");  // 0: OEM page
  EXPECT_EQ(CodePageToUtf8("caf\xE9", 1252), "caf\xC3\xA9");
  EXPECT_EQ(CodePageToUtf8("\x80", 1252), "\xE2\x82\xAC");  // euro
  EXPECT_EQ(Utf8ToCodePage("caf\xC3\xA9", 850), "caf\x82");
  EXPECT_EQ(Utf8ToCodePage("\xE2\x82\xAC", 1252), "\x80");
  // Bytes 1252 leaves undefined survive as the control of that number.
  EXPECT_EQ(Utf8ToCodePage(CodePageToUtf8("\x81", 1252), 1252), "\x81");
  // Invalid UTF-8 and characters outside the page become "?".
  EXPECT_EQ(Utf8ToCodePage("a\xC3", 850), "a?");
  EXPECT_EQ(Utf8ToCodePage("a\xFF"
                           "b",
                           850),
            "a?b");
  EXPECT_EQ(Utf8ToCodePage("\xE4\xB8\xAD", 1252), "?");  // CJK
  EXPECT_EQ(Utf8ToCodePage("\xC0\xAF", 1252), "??");     // overlong "/"
}

// Other pages come from the environment; the tables are built once per
// process, so each check runs in a fresh one.
TEST(CodePageEnvTest, PagesFromTheEnvironment) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SetVar("KALVO_OEMCP", "437");
  SetVar("KALVO_ANSICP", "1250");
  EXPECT_EXIT(
      {
        bool ok = OemCodePage() == 437 && AnsiCodePage() == 1250 &&
                  OemToAnsi("\x82") == "\xE9" &&  // e acute in both
                  AnsiToOem("\x8A") == "S" &&     // S caron: not in 437
                  CodePageToUtf8("\xB3", 0) == "\xE2\x94\x82";
        exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  SetVar("KALVO_OEMCP", "99999");
  SetVar("KALVO_ANSICP", "abc");
  EXPECT_EXIT(exit(OemCodePage() == 850 && AnsiCodePage() == 1252 ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
  UnsetVar("KALVO_OEMCP");
  UnsetVar("KALVO_ANSICP");
}

TEST(CodePageChars, PageCharactersAndDeclaredSets) {
  EXPECT_EQ(CodePageChar(1252, 0x80), U'\u20AC');
  EXPECT_EQ(CodePageChar(1252, 0x81), char32_t{0x81});  // undefined byte
  EXPECT_EQ(CodePageChar(1251, 0xC0), U'\u0410');
  EXPECT_EQ(CodePageChar(874, 0x80), U'\u20AC');
  char32_t u = 0;
  EXPECT_TRUE(CharsetByteToUnicode("windows-1252", 0xE9, &u));
  EXPECT_EQ(u, U'\u00E9');
  EXPECT_FALSE(CharsetByteToUnicode("windows-1252", 0x81, &u));
  EXPECT_FALSE(CharsetByteToUnicode("windows-1251", 0x98, &u));
  // The ISO set reads the bytes page 874 uses for the euro sign and
  // others as C1 control characters.
  EXPECT_TRUE(CharsetByteToUnicode("iso-8859-11", 0x80, &u));
  EXPECT_EQ(u, char32_t{0x80});
  EXPECT_FALSE(CharsetByteToUnicode("no-such-set", 0x41, &u));
  EXPECT_FALSE(CharsetByteToUnicode(nullptr, 0x41, &u));
}

}  // namespace
}  // namespace platform
