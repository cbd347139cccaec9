// HFormula: defaults, accessors, status, shop data, and the text reader and
// writer (exact bytes, round trips, bad input).

#include "mixtable/hformula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

HFormula Read(const std::string& text, int* result = nullptr) {
  HFormula f;
  int r = f.TxtReadText(text.data(), text.size());
  if (result != nullptr) *result = r;
  return f;
}

const char kDefaultText[] =
    "\n\n@RUN   "
    "\n@GDT   #0   \"\" "
    "\n@SRC   2   "
    "\n@PRD   \"\" \"\" "
    "\n@WGH   0   "
    "\n@UNT   1.0000  1.0000  "
    "\n@CLR   \"\" "
    "\n@BAS   \"\" 0.0000000  0.0000000  0.0000000  0.0000000  0.000  "
    "\n@CAN   \"\" $0$  "
    "\n@LQT   0  "
    "\n@FRM   \"\" "
    "\n@FRT   \"\" "
    "\n@CIR   \"\" "
    "\n@BFM   \"\" $0$  $1$  "
    "\n@SUB   "
    "\n@RFL   0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 "
    "\n@X02   0.00 0.00 0.00"
    "\n@X10   0.00 0.00 0.00"
    "\n@SHP   \"\" "
    "\n@END   ";

TEST(HFormulaTest, DefaultsAndInstanceCounter) {
  int before = HFormula::InstanceCounter;
  {
    HFormula f;
    EXPECT_EQ(HFormula::InstanceCounter, before + 1);
    HFormula g(f);
    EXPECT_EQ(HFormula::InstanceCounter, before + 2);
    g = f;
    EXPECT_EQ(HFormula::InstanceCounter, before + 2);
    EXPECT_EQ(f.m_WgUnit, -1.0);
    EXPECT_EQ(f.m_WgFraction, -1.0);
    EXPECT_EQ(f.m_WgFraction2, 1.0);
    EXPECT_EQ(f.m_VlUnit, 1.0);
    EXPECT_EQ(f.m_BaseDispensable, 1);
    EXPECT_EQ(f.m_ShlPos[2], -10);
    EXPECT_EQ(f.m_Pnc, -1);
    EXPECT_EQ(f.m_Source, HF_SOURCE_MANUAL);
  }
  EXPECT_EQ(HFormula::InstanceCounter, before);
}

TEST(HFormulaTest, ClearKeepsSubstrate) {
  HFormula f;
  f.SetSub(7);
  double refl[16];
  for (double& v : refl) v = 0.5;
  ASSERT_TRUE(f.m_Sub.SetCustomBackColor("WHITE", refl));
  f.m_ClrId = 3;
  f.Empty();
  EXPECT_EQ(f.m_ClrId, 0);
  EXPECT_EQ(f.GetSub(), 7);
  EXPECT_TRUE(f.m_Sub.HasCustomColor());
  // Reading another text into the object keeps it too.
  std::string text = "@CLR #1\n";
  EXPECT_EQ(f.TxtReadText(text.data(), text.size()), 1);
  EXPECT_EQ(f.GetSub(), 7);
}

TEST(HFormulaTest, WriterDefaultObjectExact) {
  HFormula f;
  EXPECT_EQ(f.WriteText(nullptr), kDefaultText);
  FILE* tmp = std::tmpfile();
  ASSERT_NE(tmp, nullptr);
  EXPECT_EQ(f.Write(tmp, nullptr), 1);
  std::rewind(tmp);
  char buf[2048] = {};
  size_t got = std::fread(buf, 1, sizeof buf, tmp);
  std::fclose(tmp);
  EXPECT_EQ(std::string(buf, got), kDefaultText);
  EXPECT_EQ(f.Write(nullptr, nullptr), 0);
  EXPECT_EQ(f.TxtRead(nullptr), 0);
}

TEST(HFormulaTest, WriterConditionalPieces) {
  HFormula f;
  f.m_DataId = 4294967295u;
  f.m_Source = HF_SOURCE_REMOTE;
  f.m_RemoteSource = "host";
  f.m_PrdId = 4;
  f.m_SpdId = 9;
  f.m_PrdName = "P";
  f.m_ClrId = 12;
  f.m_BasId = 3;
  f.m_Fill_Q = -1;
  f.m_CanId = 2;
  f.m_CanNomQ = 1;
  f.m_CanWeight = 5;
  f.m_SlaveId = 8;
  f.m_FrmNomQ = 2.5;
  f.m_BaseLinked = 1;
  f.m_Barcode = "BC";
  f.m_Levels[0] = {3, "L"};
  f.m_Levels[1] = {0, "M"};
  f.m_NLevels = 2;
  f.SetUnit(1, 2, 0, 1);
  std::string s = f.WriteText(nullptr);
  EXPECT_NE(s.find("\n@GDT   #4294967295   \"\" "), std::string::npos);
  EXPECT_NE(s.find("\n@SRC   4  \"host\" "), std::string::npos);
  EXPECT_NE(s.find("\n@PRD   #4   \"P\" #9   \"\" "), std::string::npos);
  EXPECT_NE(s.find("\n@WGH   1   \n@UNT   2.0000  \n"), std::string::npos);
  EXPECT_NE(s.find("\n@CLR   #12   \"\" "), std::string::npos);
  EXPECT_NE(s.find("\n@BAS   #3   \"\" 0.0000000  "), std::string::npos);
  EXPECT_EQ(f.m_Fill_Q, 0.0);  // written as 0 and left 0
  EXPECT_NE(s.find("\n@CAN   #2   \"\" 1.0000  $1$  "), std::string::npos);
  EXPECT_NE(s.find("\n@FRM   #8   \"\" 2.5000  $0$  $1$  "), std::string::npos);
  EXPECT_NE(s.find("\n@BCD   \"BC\"\n"), std::string::npos);
  EXPECT_NE(s.find("\n@LEV   #3 \t \"L\"\n@LEV   \t \"M\""), std::string::npos);
  // The colorant text replaces the formula text and the "@CNT" line.
  f.m_Frm = "1,2";
  std::string c = f.WriteText("RED 10");
  EXPECT_NE(c.find("\n@FRM   #8   2.5000"), std::string::npos);
  EXPECT_NE(c.find("\n@CNT   RED 10  \n"), std::string::npos);
  // A lone fraction keeps its place behind a written 0 unit.
  f.SetUnit(0, 0, 3, 1);
  EXPECT_NE(f.WriteText(nullptr).find("\n@UNT   0.0000  3.0000  \n"),
            std::string::npos);
  f.m_Source = HF_SOURCE_LAST;
  EXPECT_NE(f.WriteText(nullptr).find("\n@SRC   \n"), std::string::npos);
}

TEST(HFormulaTest, ReaderExamples) {
  int r = -1;
  Read("@END\n", &r);
  EXPECT_EQ(r, 0);
  HFormula f = Read("@CLR #12 \"RED 12\"\n", &r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(f.m_ClrId, 12);
  EXPECT_EQ(f.m_ClrName, "RED 12");
  EXPECT_EQ(Read("@clr #5\n").m_ClrId, 5);
  EXPECT_EQ(Read(" @CLR #5\n", &r).m_ClrId, 0);
  EXPECT_EQ(r, 0);
  f = Read("@PRD \"P\" \"S\"\n");
  EXPECT_EQ(f.m_PrdName, "P");
  EXPECT_EQ(f.m_SpdName, "S");
  f = Read("@PRD #4 \"P\"\n");
  EXPECT_EQ(f.m_PrdId, 4);
  EXPECT_EQ(f.m_PrdName, "P");
  // An empty product name before the sub-product's stays the product's.
  f = Read("@PRD \"\" \"S\"\n");
  EXPECT_EQ(f.m_PrdName, "");
  EXPECT_EQ(f.m_SpdName, "S");
  f = Read("@PRD \"P\" #7 \"S\"\n");
  EXPECT_EQ(f.m_SpdId, 7);
  EXPECT_EQ(f.m_SpdName, "S");
  EXPECT_EQ(Read("@SRC 8\n").m_Source, 8);
  EXPECT_EQ(Read("@SRC 12\n").m_Source, HF_SOURCE_MANUAL);
  std::string lev;
  for (int i = 1; i <= 7; ++i) lev += "@LEV #" + std::to_string(i) + " \"L\"\n";
  f = Read(lev);
  EXPECT_EQ(f.NDspLevelsStrings(), 6);
  EXPECT_EQ(f.m_Levels[5].m_Id, 6);
  f = Read("@CNT A 1\n@CNT B 2\n");
  EXPECT_EQ(f.m_Cnt, " A 1 B 2");
  std::string line;
  f.GetCnt(line);
  EXPECT_EQ(line, "@CNT B 2");
  f = Read("@BAS #1 \"B\" 1 2 0.5 0.7 1.2\n");
  EXPECT_EQ(f.m_Fill_Q, 1.0);
  EXPECT_EQ(f.m_Fill_W, 2.0);
  EXPECT_EQ(f.m_Spec_W, 1.2);
  EXPECT_EQ(f.m_Fill_QC, 0.0);
  EXPECT_EQ(f.m_Fill_WC, 0.0);
  // Units go to the mode's triple after the last line; none gives 0.
  f = Read("@UNT 2 3\n@WGH 1\n");
  EXPECT_EQ(f.m_WgUnit, 2.0);
  EXPECT_EQ(f.m_WgFraction, 3.0);
  f = Read("@CLR #1\n");
  EXPECT_EQ(f.m_VlUnit, 0.0);
  EXPECT_EQ(f.m_VlFraction, 0.0);
  // Reading stops at "@END".
  EXPECT_EQ(Read("@CLR #1\n@END\n@CLR #2\n").m_ClrId, 1);
}

TEST(HFormulaTest, RoundTripEveryMember) {
  HFormula f;
  f.m_DataId = 77;
  f.m_DataIdText = "data \"set\"";
  f.m_Source = HF_SOURCE_REMOTEFIXED;
  f.m_RemoteSource = "far\naway";
  f.m_PrdId = 3;
  f.m_PrdName = "";
  f.m_SpdId = 4;
  f.m_SpdName = "Sub";
  f.SetUnit(1, 0.5, 2.25, 1);
  f.m_ClrId = 12;
  f.m_ClrName = "RED\n@CLR #666";
  f.m_BasId = 5;
  f.m_BasName = "Base A";
  f.m_Fill_Q = 0.9;
  f.m_Fill_W = 1.1;
  f.m_Fill_QC = 0.3;
  f.m_Spec_W = 1.25;
  f.m_CanId = 6;
  f.m_CanName = "1 L";
  f.m_CanNomQ = 1000;
  f.m_CanWeight = 1;
  f.m_Lqnt = 3;
  f.m_SlaveId = 9;
  f.m_Frm = std::string(5000, '1') + ",12.5";
  f.m_FrmNomQ = 1000;
  f.m_FrmCanWeight = 1;
  f.m_BaseLinked = 1;
  f.m_Frt = "2,3";
  f.m_Cir = "C";
  f.m_BaseFrmId = 11;
  f.m_BaseFrm = "4,5";
  f.m_BaseFrmWeight = 1;
  f.m_BaseDispensable = 0;
  f.SetSub(2);
  double refl[16];
  for (int i = 0; i < 16; ++i) refl[i] = i * 0.05;
  ASSERT_TRUE(f.m_Sub.SetCustomBackColor("Grey", refl));
  f.m_Barcode = "12345\r\n";
  f.m_FrmInfo.AddInfo(1, "lab\"el", "val");
  f.m_FrmCmInfo.AddInfo(1, "cm", "x");
  double xyz[3] = {1.5, 2.25, 3.75};
  f.SetX10(xyz, refl);
  f.SetX02(xyz, nullptr);
  f.m_Levels[0] = {1, "one"};
  f.m_NLevels = 1;
  f.m_Shp = "a|b|c";
  f.m_Cnt = " RED 10";
  std::string text = f.WriteText(nullptr);
  int r = 0;
  HFormula g = Read(text, &r);
  ASSERT_EQ(r, 1);
  EXPECT_EQ(g.m_DataId, 77u);
  EXPECT_EQ(g.m_DataIdText, "data 'set'");
  EXPECT_EQ(g.m_Source, HF_SOURCE_REMOTEFIXED);
  EXPECT_EQ(g.m_RemoteSource, "far away");
  EXPECT_EQ(g.m_PrdId, 3);
  EXPECT_EQ(g.m_PrdName, "");
  EXPECT_EQ(g.m_SpdId, 4);
  EXPECT_EQ(g.m_SpdName, "Sub");
  EXPECT_EQ(g.m_WeightMode, 1);
  EXPECT_EQ(g.m_WgUnit, 0.5);
  EXPECT_EQ(g.m_WgFraction, 2.25);
  EXPECT_EQ(g.m_ClrId, 12);
  EXPECT_EQ(g.m_ClrName, "RED @CLR #666");
  EXPECT_EQ(g.m_BasName, "Base A");
  EXPECT_EQ(g.m_Fill_Q, 0.9);
  EXPECT_EQ(g.m_Fill_W, 1.1);
  EXPECT_EQ(g.m_Fill_QC, 0.3);
  EXPECT_EQ(g.m_Spec_W, 1.25);
  EXPECT_EQ(g.m_CanId, 6);
  EXPECT_EQ(g.m_CanName, "1 L");
  EXPECT_EQ(g.m_CanNomQ, 1000);
  EXPECT_EQ(g.m_CanWeight, 1);
  EXPECT_EQ(g.m_Lqnt, 3);
  EXPECT_EQ(g.m_SlaveId, 9);
  EXPECT_EQ(g.m_Frm, f.m_Frm);  // no length limit
  EXPECT_EQ(g.m_FrmNomQ, 1000);
  EXPECT_EQ(g.m_FrmCanWeight, 1);
  EXPECT_EQ(g.GeBaseLinkedFlag(), 1);
  EXPECT_EQ(g.m_Frt, "2,3");
  EXPECT_EQ(g.m_Cir, "C");
  EXPECT_EQ(g.m_BaseFrmId, 11);
  EXPECT_EQ(g.m_BaseFrm, "4,5");
  EXPECT_EQ(g.m_BaseFrmWeight, 1);
  EXPECT_EQ(g.m_BaseDispensable, 0);
  EXPECT_EQ(g.GetSub(), 2);
  std::string name;
  double back[16];
  ASSERT_TRUE(g.m_Sub.GetCustomBackColor(&name, back));
  EXPECT_EQ(name, "Grey");
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(back[i], refl[i], 1e-9);
  EXPECT_EQ(g.m_Barcode, "12345  ");
  ASSERT_EQ(g.m_FrmInfo.GetNum(), 1);
  EXPECT_EQ(g.m_FrmInfo.GetLabel(0), "lab'el");
  EXPECT_EQ(g.m_FrmCmInfo.GetValue(0), "x");
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(g.m_Rfl[i], refl[i], 1e-9);
  EXPECT_EQ(g.m_X10[2], 3.75);
  EXPECT_EQ(g.m_X02[1], 2.25);
  EXPECT_EQ(g.m_NLevels, 1);
  EXPECT_EQ(g.m_Levels[0].m_Text, "one");
  EXPECT_EQ(g.m_Shp, "a|b|c");
  EXPECT_EQ(g.m_Cnt, " RED 10");
  // The second text equals the first.
  EXPECT_EQ(g.WriteText(nullptr), text);
}

TEST(HFormulaTest, BadInput) {
  int r = -1;
  // Garbage with NUL bytes and high bytes.
  std::string garbage("\x01\xff@CL\0R\n@\x80\x81\n\0\0@CLR #3", 20);
  HFormula f = Read(garbage, &r);
  EXPECT_EQ(r, 0);
  // A NUL byte ends the line's content; CRLF reads like LF.
  f = Read(std::string("@CLR #4 \"A\0B\"\r\n@BAS #2\r\n", 24), &r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(f.m_ClrId, 4);
  EXPECT_EQ(f.m_ClrName, "A");
  EXPECT_EQ(f.m_BasId, 2);
  // An unterminated quote runs to the line end.
  EXPECT_EQ(Read("@CLR \"open end\n").m_ClrName, "open end");
  // Out-of-range and non-finite numbers leave integer members alone.
  f = Read(
      "@CLR #7\n@CLR #99999999999\n@LQT 1e999\n@WGH nan\n@PNC nan\n"
      "@SHL 1 2 1e99\n@GDT #-1\n@SRC 1e999\n@FRM 1e999\n");
  EXPECT_EQ(f.m_ClrId, 7);
  EXPECT_EQ(f.m_Lqnt, 0);
  EXPECT_EQ(f.m_WeightMode, 0);
  EXPECT_EQ(f.m_Pnc, -1);
  EXPECT_EQ(f.m_ShlPos[0], -10);
  EXPECT_EQ(f.m_DataId, 0u);
  EXPECT_EQ(f.m_Source, HF_SOURCE_MANUAL);
  EXPECT_EQ(f.m_FrmNomQ, 0.0);
  // "@RFL" needs exactly 16 values, "@X02" and "@SHL" 3.
  std::string rfl15 = "@RFL";
  for (int i = 0; i < 15; ++i) rfl15 += " 0.5";
  Read(rfl15 + "\n", &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Read(rfl15 + "\n").m_Rfl[0], 0.0);
  EXPECT_EQ(Read(rfl15 + " 0.5 0.5\n").m_Rfl[0], 0.0);
  EXPECT_EQ(Read(rfl15 + " 0.25\n").m_Rfl[15], 0.25);
  EXPECT_EQ(Read("@SHL 1 2 3\n").m_ShlPos[2], 3);
  EXPECT_EQ(Read("@X02 1 2\n").m_X02[0], 0.0);
  // "@SBC" before "@SUB" is refused.
  std::string sbc = "@SBC \"C\"";
  for (int i = 0; i < 16; ++i) sbc += " 0.5";
  EXPECT_FALSE(Read(sbc + "\n@SUB #3\n").m_Sub.HasCustomColor());
  EXPECT_TRUE(Read("@SUB #3\n" + sbc + "\n").m_Sub.HasCustomColor());
  // A line over the limit is skipped whole, the next one read.
  std::string huge =
      "@CLR \"" + std::string(HFormula::kMaxLine + 10, 'x') + "\"\n@CLR #9\n";
  f = Read(huge, &r);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(f.m_ClrId, 9);
  EXPECT_EQ(f.m_ClrName, "");
  // 10 000 lines without "@END".
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "@CNT A 1\nuntagged\n";
  EXPECT_EQ(Read(many).m_Cnt.size(), 40000u);
}

TEST(HFormulaTest, ReadFromFile) {
  FILE* tmp = std::tmpfile();
  ASSERT_NE(tmp, nullptr);
  std::fputs("@RUN\n@GDT #5 \"G\"\n@END\n", tmp);
  std::rewind(tmp);
  HFormula f;
  EXPECT_EQ(f.TxtRead(tmp), 1);
  std::fclose(tmp);
  std::string text;
  EXPECT_EQ(f.GetDataId(&text), 5u);
  EXPECT_EQ(text, "G");
}

TEST(HFormulaTest, PyWriteTruncatesAndWritesWithoutColorantText) {
  platform::ScopedTempDrives drives;
  ASSERT_FALSE(drives.dir().empty());
  ASSERT_TRUE(Wy_MkDir("c:\\"));
  std::string host;  // "c:\\frm.txt" as the host names it
  ASSERT_TRUE(platform::Env::Current()->HostPath("c:\\frm.txt", &host).ok());
  {
    std::ofstream old(host);
    old << std::string(5000, 'z');
  }
  HFormula f;
  f.m_Frm = "1,2";
  EXPECT_EQ(f.Py_Write("c:\\frm.txt", "RED 1"), 1);
  std::ifstream in(host, std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), f.WriteText(nullptr));
  EXPECT_EQ(f.Py_Write(nullptr, nullptr), 0);
  EXPECT_EQ(f.Py_Write("c:\\no\\such\\dir\\frm.txt", nullptr), 0);
}

TEST(HFormulaTest, Status) {
  HFormula f;
  EXPECT_EQ(f.Status(), 1);
  f.m_ClrId = 3;
  EXPECT_EQ(f.Status(), 0);
  f.SetFrm("1,2", 1000, "RED", 3);
  EXPECT_EQ(f.Status(), 3);
  f.SetEmptyClr();
  EXPECT_EQ(f.Status(), 4);
  f.m_CanNomQ = 1;
  EXPECT_EQ(f.Status(), 3);
  f.SetUnit(1, -1.0, 1, 1);
  EXPECT_EQ(f.Status(), 2);
  HFormula b;
  b.m_BaseFrm = "1,1";
  b.m_Fill_W = 2;
  b.m_CanWeight = 1;
  EXPECT_EQ(b.Status(), 4);
  b.m_CanWeight = 0;
  EXPECT_EQ(b.Status(), 1);
}

TEST(HFormulaTest, ShopDataBothWays) {
  HFormula f;
  Wy_ShopData shop;
  shop.m_Shop1 = "S1";
  shop.m_Shop3 = "S3";
  shop.m_PcId = "PC";
  shop.m_Nprog = 42;
  shop.m_UserId = "U";
  shop.m_UserName = "Name";
  EXPECT_EQ(f.UpdateShopData(&shop, 1), 1);
  EXPECT_EQ(f.m_Shp, "S1||S3|PC|42|U|Name");
  Wy_ShopData back;
  back.m_CustomComment = "gone";
  EXPECT_EQ(f.UpdateShopData(&back, 0), 1);
  EXPECT_EQ(back.m_Shop1, "S1");
  EXPECT_EQ(back.m_Shop2, "");
  EXPECT_EQ(back.m_Nprog, 42);
  EXPECT_EQ(back.m_UserName, "Name");
  EXPECT_EQ(back.m_CustomComment, "");
  f.m_Shp = "A|B";
  f.UpdateShopData(&back, 0);
  EXPECT_EQ(back.m_Shop2, "B");
  EXPECT_EQ(back.m_UserId, "");
  shop.m_Shop1 = std::string(300, 'x');
  f.UpdateShopData(&shop, 1);
  EXPECT_EQ(f.m_Shp.size(), 254u);
}

TEST(HFormulaTest, AccessorsAndUnits) {
  HFormula f;
  EXPECT_EQ(f.SetFrm("1,2", 0, nullptr, 5), 0);
  std::string t;
  double q = -1;
  EXPECT_EQ(f.GetFrm(&t, &q), 1);
  EXPECT_EQ(t, "1,2");
  EXPECT_EQ(q, 0.0);
  EXPECT_EQ(f.GetFrt(&t, nullptr), 0);
  EXPECT_EQ(t, "1,2");
  f.SetFrt("3,4");
  EXPECT_EQ(f.GetFrt(&t, nullptr), 1);
  EXPECT_EQ(t, "3,4");
  Wy_Units u;
  f.SetUnit(1, 2, 3, 4);
  EXPECT_EQ(f.UpdateUnits(&u, 0), 1);
  EXPECT_EQ(u.m_bWeightMode, 1);
  EXPECT_EQ(u.m_dFraction2, 4.0);
  EXPECT_EQ(f.UpdateUnits(&u, 1), 0);
  f.SetUnit(7, 0, 0, 0);
  EXPECT_EQ(f.m_WgUnit, -1.0);
  EXPECT_EQ(f.GetVlUnits(nullptr, nullptr, nullptr), 1);
  f.m_WeightMode = 3;
  EXPECT_EQ(f.UpdateUnits(&u, 0), 1);
  EXPECT_EQ(u.m_dUnit, 0.0);
  f.SetSub(0);
  EXPECT_EQ(f.GetSub(), 0);
  std::string lines;
  f.Dump(
      [](const char* line, void* user) {
        *static_cast<std::string*>(user) += std::string(line) + "\n";
      },
      &lines);
  EXPECT_NE(lines.find("Frm: 1,2\n"), std::string::npos);
}

}  // namespace
