#include "access/command_lexer.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "mixtable/process_mgr.h"

namespace {

// Exposes the lexer of the process manager.
class LexingMgr : public CProcessMgr {
 public:
  using CProcessMgr::InitLexer;
  using CProcessMgr::LexCommand;
};

TEST(CommandLexerTest, TokenKinds) {
  LexingMgr mgr;
  mgr.InitLexer(" Cd  C:\\TMP;setup.exe\t\"a b\" \"cd\" \";\" \"open");
  struct Want {
    CProcessMgr::LEXER kind;
    const char* token;
  };
  const Want want[] = {
      {CProcessMgr::LEX_CD, "Cd"},       {CProcessMgr::LEX_WORD, "C:\\TMP"},
      {CProcessMgr::LEX_SEMICOLON, ";"}, {CProcessMgr::LEX_WORD, "setup.exe"},
      {CProcessMgr::LEX_WORD, "a b"},    {CProcessMgr::LEX_WORD, "cd"},
      {CProcessMgr::LEX_WORD, ";"},      {CProcessMgr::LEX_WORD, "open"},
      {CProcessMgr::LEX_END, ""},        {CProcessMgr::LEX_END, ""},
  };
  for (const Want& w : want) {
    std::string token = "junk";
    EXPECT_EQ(mgr.LexCommand(token), w.kind) << w.token;
    EXPECT_EQ(token, w.token);
  }
  mgr.InitLexer("");
  std::string token;
  EXPECT_EQ(mgr.LexCommand(token), CProcessMgr::LEX_END);
  mgr.InitLexer("cdx xcd");  // "cd" only as a whole word
  EXPECT_EQ(mgr.LexCommand(token), CProcessMgr::LEX_WORD);
  EXPECT_EQ(mgr.LexCommand(token), CProcessMgr::LEX_WORD);
}

TEST(CommandLexerTest, ParseCommand) {
  struct Case {
    const char* command;
    bool ok;
    const char* dir;
    const char* file;
    const char* params;
  };
  const Case cases[] = {
      {"cd C:\\TMP ; setup.exe /SILENT", true, "C:\\TMP", "setup.exe",
       "/SILENT"},
      {"cd C:\\TMP;setup.exe /SILENT", true, "C:\\TMP", "setup.exe", "/SILENT"},
      {"CD c:\\x ; a b\tc", true, "c:\\x", "a", "b c"},
      {"setup.exe", true, "", "setup.exe", ""},
      {"  setup.exe   /a    /b  ", true, "", "setup.exe", "/a /b"},
      {"\"C:\\Program Files\\x.exe\" a", true, "", "C:\\Program Files\\x.exe",
       "a"},
      {"cd \"c:\\my dir\" ; x", true, "c:\\my dir", "x", ""},
      {"cd cd ; x", true, "cd", "x", ""},           // a directory called cd
      {"x \"a b\" c", true, "", "x", "\"a b\" c"},  // quoted again
      {"x \"a;b\" \"\"", true, "", "x", "\"a;b\" \"\""},
      {"\"cd\" x", true, "", "cd", "x"},  // a quoted cd is a file name
      {"\"unterminated x", true, "", "unterminated x", ""},
      // Malformed.
      {"", false, "", "", ""},
      {"   \t ", false, "", "", ""},
      {"cd C:\\TMP ;", false, "", "", ""},  // no file
      {"cd C:\\TMP", false, "", "", ""},
      {"cd", false, "", "", ""},
      {"cd ;", false, "", "", ""},
      {"cd C:\\TMP setup.exe", false, "", "", ""},  // no ";"
      {"setup.exe cd x ;", false, "", "", ""},      // cd after the file
      {"setup.exe a ; b", false, "", "", ""},       // a second command
      {"; setup.exe", false, "", "", ""},
      {"\"\" a", false, "", "", ""},  // empty file name
  };
  CProcessMgr mgr;
  for (const Case& c : cases) {
    std::string dir = "junk", file = "junk", params = "junk";
    EXPECT_EQ(mgr.ParseCommand(c.command, dir, file, params), c.ok)
        << c.command;
    EXPECT_EQ(dir, c.dir) << c.command;
    EXPECT_EQ(file, c.file) << c.command;
    EXPECT_EQ(params, c.params) << c.command;
  }
}

TEST(CommandLexerTest, CopiesKeepTheirOwnState) {
  LexingMgr a;
  a.InitLexer("one two");
  std::string token;
  a.LexCommand(token);
  LexingMgr b(a);  // copies the position
  EXPECT_EQ(b.LexCommand(token), CProcessMgr::LEX_WORD);
  EXPECT_EQ(token, "two");
  EXPECT_EQ(a.LexCommand(token), CProcessMgr::LEX_WORD);
  EXPECT_EQ(token, "two");
}

TEST(CommandLexerTest, SplitAndJoinRoundTrip) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"a"}, {"a b", "c"}, {"", "x"}, {";", "cd", "a;b"}, {"tab\there"},
  };
  for (const auto& words : cases) {
    EXPECT_EQ(mixtable::SplitWords(mixtable::JoinWords(words)), words);
  }
  EXPECT_EQ(mixtable::SplitWords("a;b"),
            (std::vector<std::string>{"a", ";", "b"}));
}

TEST(CommandLexerTest, LongCommand) {
  std::string command = "prog";
  for (int i = 0; i < 20000; ++i) command += " w" + std::to_string(i);
  CProcessMgr mgr;
  std::string dir, file, params;
  ASSERT_TRUE(mgr.ParseCommand(command, dir, file, params));
  EXPECT_EQ(file, "prog");
  EXPECT_EQ(params, command.substr(5));
}

}  // namespace
