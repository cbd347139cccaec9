#include "commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace xbtool {
namespace {

class XbtoolTest : public ::testing::Test {
 protected:
  std::string Table(const char* name) { return drives_.Host(name); }
  int Run(int rc) { return rc; }
  platform::ScopedTempDrives drives_;
  std::ostringstream out_, err_;
};

TEST_F(XbtoolTest, CreateAppendDumpRoundTrip) {
  const std::string t = Table("colors.dbf");
  ASSERT_EQ(
      0, Create(t, {"NAME:C:10", "PRICE:N:8:2", "BORN:D", "OK:L"}, out_, err_))
      << err_.str();
  // UTF-8 on the terminal, code page 850 in the table.
  ASSERT_EQ(0, Append(t, {"NAME=Café", "PRICE=12.5", "BORN=20090307", "OK=T"},
                      out_, err_))
      << err_.str();
  ASSERT_EQ(0, Append(t, {"name=x,\"y\""}, out_, err_)) << err_.str();
  EXPECT_NE(std::string::npos, out_.str().find("appended record 2"));

  std::ostringstream dump;
  ASSERT_EQ(0, Dump(t, false, dump, err_));
  EXPECT_EQ(
      "F NAME       PRICE    BORN     OK\n"
      "  Café          12.50 20090307 T\n"
      "  x,\"y\"                         \n",
      dump.str());
  std::ostringstream csv;
  ASSERT_EQ(0, Dump(t, true, csv, err_));
  EXPECT_EQ(
      "_FLAG,NAME,PRICE,BORN,OK\n"
      " ,Café,12.50,20090307,T\n"
      " ,\"x,\"\"y\"\"\",,,\n",
      csv.str());

  std::ostringstream info;
  ASSERT_EQ(0, Info(t, info, err_));
  EXPECT_NE(std::string::npos,
            info.str().find("records:       2 (header says 2)"));
  EXPECT_NE(std::string::npos, info.str().find("record length: 28"));
  EXPECT_NE(std::string::npos,
            info.str().find("  2  PRICE       N         8    2      11"));
}

struct Bad {
  const char* what;
  std::vector<std::string> args;
  const char* message;
};

TEST_F(XbtoolTest, FailuresPrintOneLineAndAnswerNonZero) {
  const std::string t = Table("t.dbf");
  ASSERT_EQ(0, Create(t, {"A:C:3", "N:N:4"}, out_, err_));
  const Bad creates[] = {
      {"no fields", {}, "no fields given"},
      {"no type", {"A"}, "bad field description"},
      {"bad length", {"A:C:x"}, "bad field description"},
      {"missing length", {"A:C"}, "needs a length"},
      {"engine refuses", {"A:Q:3"}, "-220 Unrecognized Field Type"},
  };
  for (const Bad& b : creates) {
    std::ostringstream err;
    EXPECT_NE(0, Create(Table("u.dbf"), b.args, out_, err)) << b.what;
    EXPECT_NE(std::string::npos, err.str().find(b.message))
        << b.what << err.str();
    const std::string text = err.str();
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n')) << b.what;
  }
  const Bad appends[] = {
      {"no equals sign", {"A"}, "bad assignment"},
      {"unknown field", {"Z=1"}, "no field Z"},
      {"not a number", {"N=abc"}, "needs a number"},
  };
  for (const Bad& b : appends) {
    std::ostringstream err;
    EXPECT_NE(0, Append(t, b.args, out_, err)) << b.what;
    EXPECT_NE(std::string::npos, err.str().find(b.message))
        << b.what << err.str();
  }
  std::ostringstream err;
  EXPECT_NE(0, Dump(Table("missing.dbf"), false, out_, err));
  EXPECT_NE(std::string::npos, err.str().find("-60 Opening File"));
  EXPECT_NE(0, Info(Table("longer_than_8.dbf"), out_, err));
  // Nothing was appended by the failed commands.
  std::ostringstream dump;
  ASSERT_EQ(0, Dump(t, true, dump, err_));
  EXPECT_EQ("_FLAG,A,N\n", dump.str());
}

TEST_F(XbtoolTest, ExpressionsOnRecords) {
  const std::string t = Table("expr.dbf");
  ASSERT_EQ(0, Create(t, {"NAME:C:6", "QTY:N:5:1"}, out_, err_));
  ASSERT_EQ(0, Append(t, {"NAME=Café", "QTY=2.5"}, out_, err_));
  ASSERT_EQ(0, Append(t, {"NAME=bleu", "QTY=-1"}, out_, err_));
  std::ostringstream out;
  ASSERT_EQ(0, Expr(t, "UPPER(TRIM(NAME))+STR(QTY*2,6,1)", 0, out, err_))
      << err_.str();
  // UPPER changes a-z only; the accented letter stays as it is.
  EXPECT_EQ("1: C 12 CAFé   5.0\n2: C 12 BLEU  -2.0\n", out.str());
  std::ostringstream one;
  ASSERT_EQ(0, Expr(t, "IIF('é'$NAME,'yes','no ')", 2, one, err_));
  EXPECT_EQ("2: C 3 no \n", one.str());
  // Numbers, dates and logicals as text, with their type and length.
  struct Case {
    const char* expr;
    const char* shown;
  } cases[] = {
      {"QTY", "1: N 3 2.5\n"},     {"QTY*2", "1: N 1 5\n"},
      {"QTY/4", "1: N 5 0.625\n"}, {"QTY > 1", "1: L 1 .T.\n"},
      {"QTY > 3", "1: L 1 .F.\n"}, {"STOD('20090307')", "1: D 8 20090307\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream shown;
    ASSERT_EQ(0, Expr(t, c.expr, 1, shown, err_)) << c.expr << err_.str();
    EXPECT_EQ(c.shown, shown.str()) << c.expr;
  }
  std::ostringstream err;
  EXPECT_NE(0, Expr(t, "UPPER(NAME", 0, out, err));
  EXPECT_NE(std::string::npos, err.str().find("-450 Right Bracket Missing"));
  EXPECT_NE(0, Expr(t, "NAME", 9, out, err));
}

}  // namespace
}  // namespace xbtool

namespace xbtool {
namespace {

TEST_F(XbtoolTest, IndexSeekDumpInOrderAndCheck) {
  const std::string t = Table("fruit.dbf");
  const std::string ix = Table("byname.ntx");
  ASSERT_EQ(0, Create(t, {"NAME:C:10", "QTY:N:4"}, out_, err_)) << err_.str();
  for (const char* v : {"NAME=pear", "NAME=Äpfel", "NAME=fig"}) {
    ASSERT_EQ(0, Append(t, {v, "QTY=-3"}, out_, err_)) << err_.str();
  }
  std::ostringstream out;
  ASSERT_EQ(0, Index(t, ix, "UPPER(NAME)", out, err_)) << err_.str();
  EXPECT_NE(std::string::npos, out.str().find("indexed 3 records"));
  out.str("");
  ASSERT_EQ(0, Seek(t, ix, "FI", out, err_)) << err_.str();
  EXPECT_EQ("found: record 3\n  NAME=fig\n  QTY=  -3\n", out.str());
  out.str("");
  ASSERT_EQ(0, Seek(t, ix, "G", out, err_)) << err_.str();
  EXPECT_EQ(0u, out.str().find("after: record 1\n"));
  out.str("");
  ASSERT_EQ(0, Seek(t, ix, "Ö", out, err_)) << err_.str();  // past "Ä"
  EXPECT_EQ("end of file\n", out.str());
  out.str("");
  ASSERT_EQ(0, Dump(t, true, out, err_, ix)) << err_.str();
  EXPECT_EQ("_FLAG,NAME,QTY\n ,fig,-3\n ,pear,-3\n ,Äpfel,-3\n", out.str());
  out.str("");
  ASSERT_EQ(0, Check(t, ix, out, err_)) << err_.str();
  EXPECT_NE(std::string::npos, out.str().find("sound, 3 keys of length 10"));

  // A key filed under the wrong text is found.
  std::string bytes;
  {
    std::unique_ptr<platform::File> f;
    ASSERT_TRUE(platform::Env::Current()
                    ->OpenFile(ix, platform::OpenMode::kReadWrite, &f)
                    .ok());
    ASSERT_TRUE(f->WriteAt(1024 + 104 + 8, "FIH", 3).ok());
  }
  std::ostringstream err;
  EXPECT_EQ(1, Check(t, ix, out, err));
  EXPECT_EQ("xbtool: " + ix +
                ": record 3 is filed under \"FIH       \" instead of \"FIG     "
                "  \"\n",
            err.str());
  // Not an index at all.
  std::ostringstream err2;
  EXPECT_EQ(1, Seek(t, t, "x", out, err2));
  EXPECT_NE(std::string::npos, err2.str().find("not an index file"));
}

}  // namespace
}  // namespace xbtool

namespace xbtool {
namespace {

TEST_F(XbtoolTest, FilterAndDumpWhere) {
  const std::string t = Table("stock.dbf");
  const std::string ix = Table("byqty.ntx");
  ASSERT_EQ(0, Create(t, {"NAME:C:8", "QTY:N:4"}, out_, err_)) << err_.str();
  const char* names[] = {"fig", "pear", "Äpfel", "kiwi", "plum"};
  const int qty[] = {5, -2, 9, 0, 1};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(0, Append(t,
                        {std::string("NAME=") + names[i],
                         "QTY=" + std::to_string(qty[i])},
                        out_, err_))
        << err_.str();
  }
  ASSERT_EQ(0, Index(t, ix, "QTY", out_, err_)) << err_.str();
  std::ostringstream out;
  ASSERT_EQ(0, Filter(t, "QTY > 0", "", out, err_)) << err_.str();
  EXPECT_EQ(
      "record 1 of 3: #1\nrecord 2 of 3: #3\nrecord 3 of 3: #5\n"
      "3 of 5 records match\n",
      out.str());
  out.str("");
  ASSERT_EQ(0, Filter(t, "QTY > 0", ix, out, err_)) << err_.str();
  EXPECT_EQ(
      "record 1 of 3: #5\nrecord 2 of 3: #1\nrecord 3 of 3: #3\n"
      "3 of 5 records match\n",
      out.str());
  out.str("");
  // The condition in UTF-8 like the terminal.
  ASSERT_EQ(0, Dump(t, false, out, err_, "", "NAME = 'Äp'")) << err_.str();
  EXPECT_EQ(
      "               F NAME     QTY \n"
      "record 1 of 1:   Äpfel       9\n",
      out.str());
  out.str("");
  ASSERT_EQ(0, Dump(t, true, out, err_, ix, "QTY < 9")) << err_.str();
  EXPECT_EQ(
      "_POS,_FLAG,NAME,QTY\n"
      "record 1 of 4, ,pear,-2\n"
      "record 2 of 4, ,kiwi,0\n"
      "record 3 of 4, ,plum,1\n"
      "record 4 of 4, ,fig,5\n",
      out.str());
  // Nothing matches; a bad condition; no special index left behind.
  out.str("");
  ASSERT_EQ(0, Filter(t, "QTY > 100", "", out, err_)) << err_.str();
  EXPECT_EQ("0 of 5 records match\n", out.str());
  std::ostringstream err;
  EXPECT_EQ(1, Filter(t, "QTY", "", out, err));
  EXPECT_EQ(0u, err.str().find("xbtool: bad condition 'QTY': -460"));
  std::vector<platform::DirEntry> left;
  platform::Env::Current()->ListDir(drives_.dir(), "SPF*", &left);
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace xbtool
