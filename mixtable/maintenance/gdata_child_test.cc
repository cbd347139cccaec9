// The child builder's rule layer: cards, the rule file, deletions, the
// string cache and the colorant macro.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "access/table_set_fixture.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/ytable.h"
#include "platform/line_reader.h"

namespace {

using Fields = std::map<std::string, std::string>;

Wy_GDataChild::RecordReader Reader(const Fields& f) {
  return [f](const char* name) {
    auto it = f.find(name);
    return it == f.end() ? std::string() : it->second;
  };
}

std::string WriteText(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  EXPECT_TRUE(platform::Env::Current()
                  ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
                  .ok());
  EXPECT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  return path;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> l;
  EXPECT_TRUE(platform::ReadLines(path, &l).ok());
  return l;
}

std::string Header() {
  return "00000000          DIR_FROM=c:\\gdata\\\n"
         "00000000          DIR_TO  =c:\\child\\\n"
         "00000000          GDT_DESC=Child of the sample\n";
}

class ChildRulesTest : public SampleDataSetTest {
 protected:
  Wy_GDataChild dummy() {
    Wy_GDataChild c;
    c.InitInDummyMode();
    return c;
  }
};

TEST(ChildCards, MakeSezioneRulesInOrder) {
  struct {
    int32_t p, s;
    const char* want;
  } cases[] = {{-2, -2, "********"}, {0, 0, "00000000"},   {7, 0, "00070000"},
               {-1, -1, "????????"}, {-1, -3, "????????"}, {0, 5, ""},
               {-1, 5, ""},          {3, -1, "0003????"},  {3, 12, "00030012"},
               {10000, 0, ""}};
  for (const auto& c : cases)
    EXPECT_EQ(Wy_GDataChild::MakeSezione(c.p, c.s), c.want)
        << c.p << "," << c.s;
}

TEST(ChildCards, LayoutAndMatching) {
  std::string card = Wy_GDataChild::Card_Make("00010002", "CNT_BLND", "",
                                              kCardKeyDelete, "(VAL(ID)=3)");
  EXPECT_EQ(card, "00010002CNT_BLND  DELETE  =(VAL(ID)=3)");
  EXPECT_EQ(Wy_GDataChild::MakeDatabase(Y_SINGLE_BLND), "SINGLEBL");
  EXPECT_EQ(Wy_GDataChild::MakeDatabase(99), "");
  EXPECT_EQ(Wy_GDataChild::DatabaseToTable("cnt_blnd"), Y_CNT_BLND);

  Wy_GDataChild c;
  EXPECT_EQ(c.Card_Set(-1, card), -1);  // not initialised
  EXPECT_EQ(
      c.Card_Find({"00010002", "", "", "", ""}, Wy_GDataChild::kFindSection),
      -1);
  c.InitInDummyMode();
  EXPECT_EQ(c.Card_Set(-1, card), 0);
  EXPECT_EQ(c.Card_Set(5, Wy_GDataChild::Card_Make("00020000", "FRM", "",
                                                   kCardKeySelect, "X")),
            1);
  using C = Wy_GDataChild;
  EXPECT_EQ(c.Card_Find({"0001????", "", "", "", ""}, C::kFindSection), 0);
  EXPECT_EQ(c.Card_Find({"????????", "frm", "", "", ""},
                        C::kFindSection | C::kFindDatabase),
            1);
  EXPECT_EQ(c.Card_Find({"0001???", "", "", "", ""}, C::kFindSection), -1);
  EXPECT_EQ(c.Card_Find({"", "", "", "delete  =", "(val(id)=3)"},
                        C::kFindKey | C::kFindValue),
            0);
  EXPECT_EQ(c.Card_Find({"", "", "", kCardKeyDelete, ""}, C::kFindKey, 1), -1);
  EXPECT_EQ(c.Card_Find({"", "", "", kCardKeyDelete, ""}, C::kFindKey, 9),
            0);  // reset
  C::Card got;
  ASSERT_TRUE(c.Card_Get(1, got));
  EXPECT_EQ(got.database, "FRM     ");
  EXPECT_EQ(got.value, "X");
  EXPECT_TRUE(c.Card_Del(0));
  EXPECT_FALSE(c.Card_Del(1));
  EXPECT_EQ(c.Cards().size(), 1u);
}

TEST(ChildCards, MacroMakeConvertAndLimits) {
  Wy_GDataChild c;
  std::string m;
  EXPECT_FALSE(c.MakeCntFunctionMacro(m, 12));  // not initialised
  c.InitInDummyMode();
  ASSERT_TRUE(c.MakeCntFunctionMacro(m, 12));
  EXPECT_EQ(m, "(CX(1,\"@CNT_F00012@\",\"@CNT_S00012@\")=\"1\")");
  int32_t id = 0;
  EXPECT_TRUE(c.IsCntFunctionRequired(m.c_str(), id));
  EXPECT_EQ(id, 12);
  EXPECT_FALSE(c.IsCntFunctionRequired("(VAL(ID)=3)", id));

  std::string e = m + ".OR." + m;
  ASSERT_TRUE(c.ConvertCntFunctionMacro(e, 12, "H7", "12"));
  EXPECT_EQ(e, "(CX(1,\"H7\",\"12\")=\"1\").OR.(CX(1,\"H7\",\"12\")=\"1\")");
  std::string other = m;
  EXPECT_FALSE(
      c.ConvertCntFunctionMacro(other, 13, "H7", "13"));  // not present
  std::string uneven = m + "@CNT_F00012@";
  EXPECT_FALSE(c.ConvertCntFunctionMacro(uneven, 12, "H", "12"));
  EXPECT_EQ(uneven, m + "@CNT_F00012@");  // untouched

  std::string twenty, many;
  for (int i = 0; i < 21; ++i)
    (i < 20 ? twenty : many) += (i ? ".OR." : "") + m;
  many = twenty + ".OR." + m;
  EXPECT_TRUE(Wy_GDataChild::IsCardValueSafe(twenty));
  EXPECT_FALSE(Wy_GDataChild::IsCardValueSafe(many));
  std::string copy = many;
  EXPECT_FALSE(c.ConvertCntFunctionMacro(copy, 12, "H", "12"));
}

TEST(ChildCards, CardValueCheck) {
  const char* bad[] = {"(Cx  (1,\"a\"))",
                       "CX(1,\"a\",\"b\")=\"1\"",
                       "(cx(2,\"x\"))",
                       "(\"a\"!@X)",
                       "(X!*)",
                       "(CX(1,\"@CNT_F00012@\",\"@CNT_S00013@\")=\"1\")",
                       "(CX(1,\"@CNT_F0001x@\",\"@CNT_S0001x@\")=\"1\")"};
  for (const char* b : bad)
    EXPECT_FALSE(Wy_GDataChild::IsCardValueSafe(b)) << b;
  // A line break would smuggle a second card into the rule file.
  EXPECT_FALSE(
      Wy_GDataChild::IsCardValueSafe("(A=1)\n********FRM       DELETE  =.T."));
  EXPECT_FALSE(Wy_GDataChild::IsCardValueSafe(std::string("(A=1)\0", 6)));
  EXPECT_TRUE(
      Wy_GDataChild::IsCardValueSafe("(VAL(ID)=3).AND.(DESCR='A \"B\"')"));
}

TEST_F(ChildRulesTest, ReadRefusesBadFilesWhole) {
  struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"no GDT_DESC",
       "00000000          DIR_FROM=c:\\gdata\\\n"
       "00000000          DIR_TO  =c:\\child\\\n"},
      {"short line", Header() + "00000000FRM       DELETE  \n"},
      {"unknown key", Header() + "00000000FRM       REMOVE  =(VAL(ID)=1)\n"},
      {"bad section", Header() + "0000000AFRM       DELETE  =(VAL(ID)=1)\n"},
      {"bad database", Header() + "00000000NOTABLE   DELETE  =(VAL(ID)=1)\n"},
      {"raw CX",
       Header() + "********FRM       DELETE  =(CX(1,\"x\",\"y\")=\"1\")\n"},
      {"bad id", Header() + "00000000          GDT_ID  =4294967296\n"},
      {"two DIR_FROM", Header() + "00000000          DIR_FROM=c:\\aaa\\\n"},
      {"header in a product", Header() + "00010000          GDT_ID  =5\n"},
      {"same dirs",
       "00000000          DIR_FROM=c:\\gdata\\\n"
       "00000000          DIR_TO  =C:\\GDATA\n"
       "00000000          GDT_DESC=x\n"},
  };
  for (const auto& c : cases) {
    Wy_GDataChild child;
    EXPECT_FALSE(child.Read(WriteText("c:\\rules.txt", c.text).c_str()))
        << c.name;
    EXPECT_FALSE(child.IsInitialised()) << c.name;
    EXPECT_TRUE(child.Cards().empty()) << c.name;
    std::string s, d, t;
    bool n = true;
    child.GetInfo(s, d, t, n);
    EXPECT_TRUE(s.empty() && d.empty() && t.empty() && !n) << c.name;
  }
}

TEST_F(ChildRulesTest, ReadWriteRoundTripOrderAndColumns) {
  std::string text =
      "# comment\r\n\r\n"
      "********frm       DELETE  =(VAL(CAN_ID)=4)\r\n" +
      Header() + "00010000CNTS      SELECT  =(VAL(ID)<9)\r\n";
  Wy_GDataChild c;
  ASSERT_TRUE(c.Read(WriteText("c:\\rules.txt", text).c_str()));
  std::string s, d, t;
  bool n = true;
  ASSERT_TRUE(c.GetInfo(s, d, t, n));
  EXPECT_EQ(s, "c:\\gdata\\");
  EXPECT_EQ(d, "c:\\child\\");
  EXPECT_FALSE(n);
  ASSERT_TRUE(c.Write("c:\\out.txt"));
  std::vector<std::string> want = {
      "********frm       DELETE  =(VAL(CAN_ID)=4)",
      "00000000          DIR_FROM=c:\\gdata\\",
      "00000000          DIR_TO  =c:\\child\\",
      "00000000          GDT_DESC=Child of the sample",
      "00010000CNTS      SELECT  =(VAL(ID)<9)",
  };
  EXPECT_EQ(Lines("c:\\out.txt"), want);
  EXPECT_FALSE(platform::Env::Current()->FileExists("c:\\out.txt.$$$"));
  EXPECT_FALSE(c.Write("c:\\no\\such\\dir\\out.txt"));

  // A new id is made, written as ten digits, and kept when written again.
  Wy_GDataChild::SetIdMaker([](std::string& id) {
    id = "77";
    return true;
  });
  Wy_GDataChild k;
  ASSERT_TRUE(k.Init("c:\\gdata", "c:\\child", "D", true));
  ASSERT_TRUE(k.Write("c:\\k.txt"));
  EXPECT_EQ(Lines("c:\\k.txt")[3], "00000000          GDT_ID  =0000000077");
  Wy_GDataChild::SetIdMaker([](std::string& id) {
    id = "0";
    return true;
  });
  Wy_GDataChild r;
  ASSERT_TRUE(r.Read("c:\\k.txt"));
  ASSERT_TRUE(r.Write("c:\\k.txt"));  // same file: the id stays
  EXPECT_EQ(Lines("c:\\k.txt")[3], "00000000          GDT_ID  =0000000077");
  EXPECT_FALSE(r.Write("c:\\other.txt"));  // a new id is needed, none valid

  // The default maker skips ids the catalogue lists: with the next two
  // catalogued, the id written lies above them.
  Wy_GDataChild::SetIdMaker(nullptr);
  std::string last;
  ASSERT_TRUE(CMixtableEx::CreateNewGdataId(last));
  const uint32_t base = static_cast<uint32_t>(std::stoul(last));
  for (uint32_t taken : {base + 1, base + 2}) {
    std::string dir = "c:\\taken" + std::to_string(taken);
    ASSERT_GT(Wy_UpdateDatactl(taken, 0, dir.data(), "taken"), 0);
  }
  Wy_GDataChild fresh;
  ASSERT_TRUE(fresh.Init("c:\\gdata", "c:\\child", "D", true));
  ASSERT_TRUE(fresh.Write("c:\\fresh.txt"));
  const std::string idLine = Lines("c:\\fresh.txt")[3];
  ASSERT_EQ(idLine.substr(0, 27), "00000000          GDT_ID  =");
  EXPECT_GE(std::stoull(idLine.substr(27)), base + 3ull);
}

TEST_F(ChildRulesTest, DeleteCardsAndIsRecordDeleted) {
  Wy_GDataChild c = dummy();
  Fields cnt = {{"CODE", "W1"},
                {"DESCR", "White \"super\""},
                {"FTYPE", "b"},
                {"PROD_KEY", "0"},
                {"SUBP_KEY", "0"}};
  EXPECT_FALSE(c.IsRecordDeletedFrom(Reader(cnt), Y_CNTS, 12, 0, 0));
  ASSERT_TRUE(c.DeleteRecordFrom(Reader(cnt), Y_CNTS, 12, 0, 0));
  size_t n = c.Cards().size();
  ASSERT_TRUE(c.DeleteRecordFrom(Reader(cnt), Y_CNTS, 12, 0, 0));
  EXPECT_EQ(c.Cards().size(), n);  // twice: one card each
  EXPECT_TRUE(c.IsRecordDeletedFrom(Reader(cnt), Y_CNTS, 12, 0, 0));
  const auto& k = c.Cards();
  EXPECT_EQ(k[0],
            "00000000CNTS      DELETE  =(VAL(ID)=12).AND.(CODE=\"W1\").AND."
            "(DESCR='White \"super\"').AND.(FTYPE=\"b\")");
  EXPECT_EQ(k[1],
            "********FRM       DELETE  "
            "=(CX(1,\"@CNT_F00012@\",\"@CNT_S00012@\")=\"1\")");
  EXPECT_EQ(k[2],
            "********MASK      DELETE  =(TYPE=\"CO\").AND.(VAL(PNT_ID)=12)");
  EXPECT_EQ(k.back(),
            "00000000BASESFRM  DELETE  "
            "=(CX(1,\"@CNT_F00012@\",\"@CNT_S00012@\")=\"1\")");
  bool hue = false;
  for (const auto& s : k) hue = hue || s.find("CNT_HUE") != std::string::npos;
  EXPECT_TRUE(hue);

  // Both quote kinds: the term is left out, the card still made.
  Wy_GDataChild f = dummy();
  f.SetFastDeleteFlag(true);
  ASSERT_TRUE(f.DeleteRecordFrom(Reader({{"DESCR", "a'\""}}), Y_CANS, 3, 0, 0));
  ASSERT_EQ(f.Cards().size(), 1u);
  EXPECT_EQ(f.Cards()[0], "00000000CANS      DELETE  =(VAL(ID)=3)");

  // A line break in a text: the term is left out too.
  Wy_GDataChild l = dummy();
  l.SetFastDeleteFlag(true);
  ASSERT_TRUE(l.DeleteRecordFrom(Reader({{"DESCR", "a\nb"}}), Y_CANS, 3, 0, 0));
  EXPECT_EQ(l.Cards()[0], "00000000CANS      DELETE  =(VAL(ID)=3)");
  EXPECT_EQ(l.Card_Set(-1, "00000000CANS      DELETE  =(A=1)\r\n"), -1);

  // A sub-product: own card in its product's section, prune, keyed roots.
  Wy_GDataChild s = dummy();
  ASSERT_TRUE(s.DeleteRecordFrom(Reader({{"CODE", "S"}}), Y_SUBPRODS, 2, 1, 0));
  EXPECT_EQ(s.Cards()[0],
            "00010000SUBPRODS  DELETE  "
            "=(VAL(ID)=2).AND.(CODE=\"S\").AND.(DESCR=\"\")");
  EXPECT_EQ(s.Cards()[1], "00010002          PRUNE   .");
  EXPECT_EQ(
      s.Cards()[2],
      "00000000BASES     DELETE  =(VAL(PROD_KEY)=1).AND.(VAL(SUBP_KEY)=2)");
  EXPECT_EQ(s.Cards().size(), 13u);

  // A keyed base: no hue or substrate cards.
  Wy_GDataChild b = dummy();
  ASSERT_TRUE(
      b.DeleteRecordFrom(Reader({{"PROD_KEY", "1"}}), Y_BASES, 4, 0, 0, {9}));
  EXPECT_EQ(b.Cards().size(), 1u + 3 + 4);
  Wy_GDataChild u = dummy();
  ASSERT_TRUE(u.DeleteRecordFrom(Reader({}), Y_BASES, 4, 0, 0, {9, 10}));
  EXPECT_EQ(u.Cards().size(), 1u + 3 + 4 + 2 + 4);
  EXPECT_FALSE(u.DeleteRecordFrom(Reader({}), Y_PARAM, 4, 0, 0));
}

TEST_F(ChildRulesTest, ExplicitDeletionsAndCleanRules) {
  Wy_GDataChild c;
  ASSERT_TRUE(c.Init("c:\\gdata\\", "c:\\child\\", "D", false));
  EXPECT_FALSE(c.SetDeleteRecordEx({"(X=1)"}, Y_FRM, -1, -1));  // "?" section
  EXPECT_FALSE(c.SetDeleteRecordEx({"(X=1)", "CX(1)"}, Y_FRM, 1, 0));
  EXPECT_TRUE(c.Cards().empty());
  ASSERT_TRUE(c.SetDeleteRecordEx({"(A=1)", "(B=1)"}, Y_FRM, 1, 0));
  ASSERT_TRUE(c.SetDeleteRecordEx({"(A=1)"}, Y_FRM, 2, 0));
  ASSERT_TRUE(c.DeleteRecordFrom(Reader({}), Y_FRM, 5, 1, 0));
  std::vector<std::string> e;
  ASSERT_TRUE(c.GetDeleteRecordEx(e, Y_FRM, 1, 0));
  EXPECT_EQ(e, (std::vector<std::string>{"(A=1)", "(B=1)"}));

  EXPECT_FALSE(c.UpdateDeleteRecordEx({"(Z=1)"}, {"(C=1)"}, Y_FRM, 1, 0));
  ASSERT_TRUE(c.UpdateDeleteRecordEx({"(A=1)"}, {"(C=1)"}, Y_FRM, 1, 0));
  ASSERT_TRUE(c.GetDeleteRecordEx(e, Y_FRM, 1, 0));
  EXPECT_EQ(e, (std::vector<std::string>{"(B=1)", "(C=1)"}));

  // The string cache: (A=1) only in section 2, so no intersection ...
  ASSERT_TRUE(c.StringCacheInit(Y_FRM));
  ASSERT_TRUE(c.StringCacheAdd(1, 0));
  ASSERT_TRUE(c.StringCacheAdd(2, 0));
  ASSERT_TRUE(c.StringCacheGetIntersection(e));
  EXPECT_TRUE(e.empty());
  ASSERT_TRUE(c.StringCacheRemove(2, 0));
  ASSERT_TRUE(c.StringCacheGetIntersection(e));
  EXPECT_EQ(e, (std::vector<std::string>{"(B=1)", "(C=1)"}));
  // ... and one section added as two sections' worth invalidates it.
  ASSERT_TRUE(c.StringCacheInit(Y_FRM));
  ASSERT_TRUE(c.StringCacheAdd(1, 0));
  ASSERT_TRUE(c.StringCacheAdd(1, 0));
  ASSERT_TRUE(c.StringCacheRemove(2, 0));
  EXPECT_FALSE(c.StringCacheGetIntersection(e));

  // Without the explicit flag only the record card of section 1 goes.
  size_t before = c.Cards().size();
  ASSERT_TRUE(c.CleanRules(Y_FRM, 1, 0, false));
  EXPECT_EQ(c.Cards().size(), before - 1);
  ASSERT_TRUE(c.CleanRules(Y_FRM, 1, 0, true));
  ASSERT_TRUE(c.GetDeleteRecordEx(e, Y_FRM, 1, 0));
  EXPECT_TRUE(e.empty());
  ASSERT_TRUE(c.GetDeleteRecordEx(e, Y_FRM, 2, 0));
  EXPECT_EQ(e.size(), 1u);
  ASSERT_TRUE(c.CleanRules(-1, 0, 0, true));
  EXPECT_TRUE(c.Cards().empty());
}

TEST_F(ChildRulesTest, InitNeedsThreeTextsTwoDirectoriesAndADataId) {
  struct {
    const char *src, *dst, *descr;
    bool ok;
  } cases[] = {{"c:\\gdata", "c:\\child", "D", true},
               {"c:\\gdata\\", "C:\\GDATA", "D", false},
               {"c:\\gdata\\", "c:\\child\\", "  ", false},
               {"", "c:\\child\\", "D", false},
               {"c:\\child\\", "c:\\gdata\\", "D", false},  // no DATAID
               {"c:\\gdata\\", "c:\\ch\nild\\", "D", false}};
  for (const auto& c : cases) {
    Wy_GDataChild child;
    EXPECT_EQ(child.Init(c.src, c.dst, c.descr, true), c.ok) << c.dst;
    std::string s, d, t;
    bool n = false;
    ASSERT_TRUE(child.GetInfo(s, d, t, n));
    EXPECT_EQ(s, c.ok ? "c:\\gdata\\" : "");
    EXPECT_EQ(d, c.ok ? "c:\\child\\" : "");
    EXPECT_EQ(child.IsInitialised(), c.ok);
  }
}

TEST_F(ChildRulesTest, DeleteRecordReadsTheSource) {
  Wy_GDataChild c;
  ASSERT_TRUE(c.Init("c:\\gdata\\", "c:\\child\\", "D", false));
  EXPECT_FALSE(c.IsRecordDeleted(2, Y_CNTS, 0, 0));
  ASSERT_TRUE(c.DeleteRecord(2, Y_CNTS, 0, 0));
  ASSERT_TRUE(c.DeleteRecord(2, Y_CNTS, 0, 0));
  EXPECT_TRUE(c.IsRecordDeleted(2, Y_CNTS, 0, 0));
  EXPECT_FALSE(c.IsRecordDeleted(3, Y_CNTS, 0, 0));
  EXPECT_EQ(c.Cards()[0],
            "00000000CNTS      DELETE  =(VAL(ID)=2).AND.(CODE=\"C2\").AND."
            "(DESCR=\"Colorant 2\")");
  size_t n = c.Cards().size();
  EXPECT_EQ(n, 1u + 3 + 5 + 1);  // own, FRM/MASK/RULER, keyed roots, hue

  ASSERT_TRUE(c.DeleteRecord(21, Y_FRM, 1, 1));
  EXPECT_EQ(c.Cards().back(),
            "00010001FRM       DELETE  =(VAL(ID)=21).AND.(KEY1=\"SUB11B\").AND."
            "(KEY2=\"\").AND.(KEY3=\"\").AND.(COMMENT=\"\")");
  EXPECT_TRUE(c.IsRecordDeleted(21, Y_FRM, 1, 1));
  EXPECT_FALSE(c.DeleteRecord(99, Y_CNTS, 0, 0));  // no such record
  EXPECT_FALSE(c.DeleteRecord(1, Y_PARAM, 0, 0));

  Wy_GDataChild d;  // dummy mode has no source to read
  d.InitInDummyMode();
  EXPECT_FALSE(d.DeleteRecord(2, Y_CNTS, 0, 0));
}

// A description that would end a double-quoted constant and inject ".OR.
// .T." is quoted with single quotes: the card matches only its record.
TEST_F(ChildRulesTest, QuotedDescriptionMatchesOnlyItsRecord) {
  {
    Wdbase t;
    ASSERT_TRUE(t.SetFiles("c:\\gdata\\", "cans", 0, nullptr, nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.Goto(2));
    ASSERT_TRUE(t.WriteString("DESCR", "X\").OR.(.T."));
    t.Close();
  }
  Wy_GDataChild c;
  ASSERT_TRUE(c.Init("c:\\gdata\\", "c:\\child\\", "D", false));
  c.SetFastDeleteFlag(true);
  ASSERT_TRUE(c.DeleteRecord(2, Y_CANS, 0, 0));
  ASSERT_EQ(c.Cards().size(), 1u);
  std::string expr = c.Cards()[0].substr(kCardValuePos);
  EXPECT_EQ(expr, "(VAL(ID)=2).AND.(DESCR='X\").OR.(.T.')");
  Wdbase t;
  ASSERT_TRUE(t.SetFiles("c:\\gdata\\", "cans", 0, nullptr, nullptr));
  ASSERT_TRUE(t.Open());
  std::string results;
  for (int r = 1; r <= 2; ++r) {
    ASSERT_TRUE(t.Goto(r));
    char out[16] = "";
    // Without the ID term the text comparison alone must decide.
    t.GetExprResult(expr.substr(expr.find("(DESCR")).c_str(), out, sizeof out);
    results += std::string(out) + "|";
  }
  // A logical result is one byte: 0 (empty text) false, 1 true.
  EXPECT_EQ(results, std::string("|\x01|"));
}

TEST(ChildCards, NotInitialisedAnswersFalse) {
  Wy_GDataChild c;
  std::vector<std::string> e;
  int32_t id;
  EXPECT_FALSE(c.Write("c:\\x.txt"));
  EXPECT_FALSE(c.SetDeleteRecordEx({"(A=1)"}, Y_FRM, 1, 0));
  EXPECT_FALSE(c.GetDeleteRecordEx(e, Y_FRM, 1, 0));
  EXPECT_FALSE(c.CleanRules(Y_FRM, 1, 0, true));
  EXPECT_FALSE(c.StringCacheInit(Y_FRM));
  EXPECT_FALSE(c.IsCntFunctionRequired("@CNT_F00001@@CNT_S00001@", id));
  EXPECT_FALSE(c.DeleteRecordFrom(Reader({}), Y_CNTS, 1, 0, 0));
  c.SetFastDeleteFlag(true);
  EXPECT_TRUE(c.GetFastDeleteFlag());
}

}  // namespace
