// Wy_Formula's XML writers: the compact and structured forms line by line,
// their conditions, escaping of every text, colorants missing from the
// tables, and the colour conversion. Every document written is parsed
// strictly with libxml2.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "exchange/xml_test_util.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_colour.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_util.h"
#include "mixtable/wy_xml_file.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

using mixtable_testing::Id;
using xmltest::ParseStrict;
using xmltest::ReadAll;

std::string Hex(uint32_t v) {
  char b[16];
  snprintf(b, sizeof b, "%x", v);
  return b;
}

TEST(WyColour, ExamplesAndClamping) {
  double flat[16], xyz[3];
  uint32_t rgb = 0;
  bool noClamp = false;
  for (double& r : flat) r = 0.5;
  ASSERT_TRUE(Wy_ReflectanceToXYZ(flat, xyz));
  ASSERT_TRUE(Wy_XYZToRGB(xyz[0], xyz[1], xyz[2], &rgb, &noClamp));
  EXPECT_EQ(Hex(rgb), "bcbcbb");
  EXPECT_TRUE(noClamp);
  ASSERT_TRUE(Wy_XYZToRGB(20, 21, 22, &rgb, &noClamp));
  EXPECT_EQ(Hex(rgb), "807e7c");
  ASSERT_TRUE(Wy_XYZToRGB(30, 20, 10, &rgb, &noClamp));
  EXPECT_EQ(Hex(rgb), "ce5451");
  for (double& r : flat) r = 1.0;
  ASSERT_TRUE(Wy_ReflectanceToXYZ(flat, xyz));
  ASSERT_TRUE(Wy_XYZToRGB(xyz[0], xyz[1], xyz[2], &rgb, &noClamp));
  EXPECT_EQ(Hex(rgb), "ffffff");
  EXPECT_FALSE(noClamp);
  // The weights' sums are the white point.
  double sx = 0, sy = 0, sz = 0;
  for (const Wy_D65Weight& w : kWyD65Weights)
    sx += w.wx, sy += w.wy, sz += w.wz;
  EXPECT_NEAR(sx, 95.046, 1e-9);
  EXPECT_NEAR(sy, 99.998, 1e-9);
  EXPECT_NEAR(sz, 108.883, 1e-9);
  EXPECT_FALSE(Wy_XYZToRGB(-1, 1, 1, &rgb, nullptr));
  flat[0] = -10000;  // X, Y and Z below zero
  EXPECT_FALSE(Wy_ReflectanceToXYZ(flat, xyz));
}

class FormulaXmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("KALVO_ANSICP");
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(5)}, {"CODE", "R&D"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(6)}, {"CODE", "BLK"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)}, {"CODE", "B<1>"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(1)},
                                  {"DESCR", "Tin & lid"},
                                  {"NOM_Q", "1000"},
                                  {"CAN_WEIGHT", "F"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(2)},
                                  {"DESCR", "Pail"},
                                  {"NOM_Q", "4000"},
                                  {"CAN_WEIGHT", "T"}}))
        << b.error();
    ts_.SetDataDir("c:\\gdata\\");
    path_ = drives_.Host("doc.xml");
    f_.m_DataId = 0;
    f_.m_PrdId = 3;
    f_.m_PrdName = "Prod";
    f_.m_SpdId = 4;
    f_.m_SpdName = "Sub";
    f_.m_ClrId = 9;
    f_.m_ClrName = "A<B & \"C\"";
    f_.m_BasId = 1;
    f_.m_BasName = "Base 1";
    f_.m_Fill_Q = 900;
    f_.m_CanId = 2;
    f_.m_CanName = "1 L";
    f_.m_CanNomQ = 1000;
    f_.m_Frm = "5,1.25,6,0.5";
    f_.m_FrmNomQ = 1000;
    f_.m_Lqnt = 1;
    f_.m_Source = HF_SOURCE_STANDARD;
  }

  // Runs write on the handle of a fresh type-3 document; answers the
  // document's bytes, which must parse.
  template <typename Fn>
  std::string WriteWith(Fn write) {
    Wy_XmlFile doc(3, nullptr);
    EXPECT_TRUE(doc.SetFileName(path_, false));
    Wy_SeqFile* h = doc.GetFileHandle();
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(write(h), 1);
    doc.CloseFileHandle();
    std::string bytes = ReadAll(path_), why;
    EXPECT_TRUE(ParseStrict(bytes, &why)) << why << "\n" << bytes;
    return bytes;
  }

  // Writes through a type-3 document; answers the document's bytes.
  std::string Write(bool structured, const Wy_ShopData* shop = nullptr,
                    bool withCodes = false, bool withShop = false) {
    Wy_XmlFile doc(3, nullptr);
    EXPECT_TRUE(doc.SetFileName(path_, false));
    Wy_SeqFile* h = doc.GetFileHandle();
    EXPECT_NE(h, nullptr);
    std::time_t t = 0;
    std::tm tm = {};
    tm.tm_year = 126, tm.tm_mon = 0, tm.tm_mday = 2, tm.tm_hour = 3;
    tm.tm_min = 4, tm.tm_sec = 5, tm.tm_isdst = -1;
    t = mktime(&tm);
    int r = structured ? f_.WriteXMLEx(h, nullptr, shop, nullptr, &t, &ts_,
                                       withCodes, withShop, nullptr)
                       : f_.WriteXML(h, nullptr, shop, nullptr, &t, &ts_);
    EXPECT_EQ(r, 1);
    doc.CloseFileHandle();
    std::string bytes = ReadAll(path_), why;
    EXPECT_TRUE(ParseStrict(bytes, &why)) << why << "\n" << bytes;
    return bytes;
  }

  static bool Has(const std::string& doc, const std::string& part) {
    return doc.find(part) != std::string::npos;
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
  std::string path_;
  Wy_Formula f_;
};

TEST_F(FormulaXmlTest, CompactFormLineByLine) {
  Wy_ShopData shop;
  shop.m_UserId = "u<1>";
  shop.m_UserName = "Ann";
  const std::string doc = Write(false, &shop);
  const std::string want =
      "<FORMULA>\r\n"
      "<GDT>(#0)</GDT>\r\n"
      "<SRC>(0)</SRC>\r\n"
      "<PRD>(#3)(Prod)(#4)(Sub)</PRD>\r\n"
      "<WGH>(0)</WGH>\r\n"
      "<UNT>(1.0000)(1.0000)</UNT>\r\n"
      "<CLR>(#9)(A&#x3c;B &#x26; &#x22;C&#x22;)</CLR>\r\n"
      "<BAS>(#1)(Base 1)(900.000)(0.000)(0.000)(0.000)</BAS>\r\n"
      "<CAN>(#2)(1 L)(1000.0000)($0$)</CAN>\r\n"
      "<LQT>(1)</LQT>\r\n"
      "<FRM>(5,R&#x26;D,1.25)(6,BLK,0.5):(1000.0000)($0$)($0$)</FRM>\r\n"
      "<USR>(u&#x3c;1&#x3e;)(Ann)</USR>\r\n"
      "<TIM>(2026:01:02)(03:04:05)</TIM>\r\n"
      "</FORMULA>\r\n";
  EXPECT_TRUE(Has(doc, want)) << doc;
  EXPECT_FALSE(Has(doc, "<RFL>"));
  EXPECT_FALSE(Has(doc, "<SHP>"));
}

TEST_F(FormulaXmlTest, CompactFormOfAFormulaReadFromText) {
  const std::string text =
      "@RUN\r\n@GDT #0 \"\"\r\n@SRC 0\r\n@PRD #3 \"Prod\" #4 \"Sub\"\r\n"
      "@WGH 0\r\n@UNT 1.0000 10.0000\r\n@CLR #9 \"K1|K2|K3|note\"\r\n"
      "@BAS #1 \"Base 1\" 900 1100 0 0 1200\r\n@CAN #2 \"1 L\" 1000 $0$\r\n"
      "@LQT 0\r\n@FRM \"5,12.5,6,5\" 1000 $0$ $0$\r\n@END\r\n";
  f_ = Wy_Formula();
  ASSERT_EQ(f_.TxtReadText(text.data(), text.size()), 1);
  const std::string doc = Write(false);
  const std::string want =
      "<FORMULA>\r\n"
      "<GDT>(#0)</GDT>\r\n"
      "<SRC>(0)</SRC>\r\n"
      "<PRD>(#3)(Prod)(#4)(Sub)</PRD>\r\n"
      "<WGH>(0)</WGH>\r\n"
      "<UNT>(1.0000)(10.0000)</UNT>\r\n"
      "<CLR>(#9)(K1|K2|K3|note)</CLR>\r\n"
      "<BAS>(#1)(Base 1)(900.000)(1100.000)(0.000)(0.000)</BAS>\r\n"
      "<CAN>(#2)(1 L)(1000.0000)($0$)</CAN>\r\n"
      "<LQT>(0)</LQT>\r\n"
      "<FRM>(5,R&#x26;D,12.5)(6,BLK,5):(1000.0000)($0$)($0$)</FRM>\r\n"
      "<TIM>(2026:01:02)(03:04:05)</TIM>\r\n"
      "</FORMULA>\r\n";
  EXPECT_TRUE(Has(doc, want)) << doc;
}

TEST_F(FormulaXmlTest, CompactConditions) {
  f_.m_PrdId = 0;  // no sub-product id without a product id
  f_.m_Source = HF_SOURCE_REMOTE;
  f_.m_Shp = "S1|S&2|S3|PC|42|U|Name";
  for (double& r : f_.m_Rfl) r = 0.5;
  f_.m_X10[0] = 20, f_.m_X10[1] = 21, f_.m_X10[2] = 22;
  const std::string doc = Write(false);
  EXPECT_TRUE(Has(doc, "<PRD>(Prod)(Sub)</PRD>")) << doc;
  EXPECT_TRUE(Has(doc, "<SHP>(S1)(S&#x26;2)(S3)(PC)(42)(U)(Name)</SHP>"))
      << doc;
  EXPECT_TRUE(Has(doc, "<RFL>(0.5000)(0.5000)")) << doc;
  EXPECT_TRUE(Has(doc, "<X10>(20.00)(21.00)(22.00)</X10>"));
  EXPECT_FALSE(Has(doc, "<X02>"));
  EXPECT_EQ(f_.m_Shp, "S1|S&2|S3|PC|42|U|Name");
}

TEST_F(FormulaXmlTest, StructuredForm) {
  f_.m_X10[0] = 20, f_.m_X10[1] = 21, f_.m_X10[2] = 22;
  f_.m_Frm = "5,1.25,77,0.5";  // 77 is not in the tables
  const std::string doc = Write(true, nullptr, true, false);
  EXPECT_TRUE(Has(doc,
                  "<PRD><PRDID>3</PRDID><PRDCODE></PRDCODE><PRDDSC>"
                  "</PRDDSC><SPDID>4</SPDID><SUBPCODE></SUBPCODE>"
                  "<SPDDSC></SPDDSC></PRD>\r\n"))
      << doc;
  EXPECT_TRUE(Has(doc,
                  "<BAS><ID>1</ID><CODE>B&#x3c;1&#x3e;</CODE><DSC>Base "
                  "1</DSC><FQ>900.000</FQ>"))
      << doc;
  EXPECT_TRUE(Has(doc,
                  "<FRM><YFRM><CMP><ID>5</ID><CODE>R&#x26;D</CODE><QTY>1.25"
                  "</QTY></CMP><CMP><ID>77</ID><CODE></CODE><QTY>0.5</QTY>"
                  "</CMP></YFRM><NOMQ0>1000.0000</NOMQ0><WGT>0</WGT>"
                  "<BASFRM>0</BASFRM></FRM>\r\n"))
      << doc;
  // No curve: no RFL, the colour from the 10-degree coordinates.
  EXPECT_FALSE(Has(doc, "<RFL>"));
  EXPECT_TRUE(Has(doc, "<RGB>807e7c</RGB>\r\n")) << doc;
  EXPECT_TRUE(Has(doc,
                  "<TIM><DATE>2026:01:02</DATE><TIME>03:04:05</TIME>"
                  "</TIM>\r\n"));
  EXPECT_FALSE(Has(doc, "<SHP>"));

  // The curve: values below 0.01 raised in the formula, colour from it.
  for (double& r : f_.m_Rfl) r = 0.5;
  f_.m_Rfl[15] = 0.001;
  f_.m_Shp = "S1|S2|S3|PC|7|U|N";
  const std::string doc2 = Write(true, nullptr, false, true);
  EXPECT_TRUE(Has(doc2, "|0.5000|0.0100</RFL>")) << doc2;
  EXPECT_EQ(f_.m_Rfl[15], 0.01);
  EXPECT_TRUE(Has(doc2,
                  "<SHP><SHP1>S1</SHP1><SHP2>S2</SHP2><SHP3>S3</SHP3>"
                  "<PCID>PC</PCID><NPROG>7</NPROG><USRID>U</USRID>"
                  "<USRNAME>N</USRNAME></SHP>"))
      << doc2;
}

TEST_F(FormulaXmlTest, HostileTextsStayParseable) {
  std::string nasty = "<![CDATA[ ]]> & \x01\x02 \xff\x81 </FORMULA>";
  nasty += std::string(10000, 'x');
  f_.m_ClrName = nasty;
  f_.m_BasName = nasty;
  f_.m_CanName = nasty;
  f_.m_Frt = nasty;
  f_.m_DataIdText = nasty;
  f_.m_Frm = "5,<1>,&,2";
  Write(false);
  Write(true);
}

TEST_F(FormulaXmlTest, CodePercentageAndCansList) {
  std::string doc = WriteWith([&](Wy_SeqFile* h) {
    return f_.WriteXMLExCodePercentage(h, nullptr, nullptr, nullptr, nullptr,
                                       &ts_, false, false, nullptr, nullptr);
  });
  EXPECT_TRUE(Has(doc, "\t\n<CMP><ID>5</ID><CODE>R&#x26;D</CODE>")) << doc;
  EXPECT_FALSE(Has(doc, "<FORMULA>"));
  EXPECT_TRUE(Has(doc, "</CMP><GDT>")) << doc;

  doc = WriteWith([&](Wy_SeqFile* h) {
    return f_.WriteXMLFormulaAndCansList(h, nullptr, nullptr);
  });
  EXPECT_TRUE(Has(doc,
                  "</FORMULA>\r\n<DISPENSER id=\"1\" descr=\"New "
                  "dispenser\">\r\n<CNT id=\"1\""))
      << doc;
  EXPECT_TRUE(Has(doc,
                  "<CANSLIST>\r\n"
                  "<CAN><ID>1</ID><DSC>Tin &#x26; lid</DSC><NOMQ>1000.0000"
                  "</NOMQ><WGH>0</WGH></CAN>\r\n"
                  "<CAN><ID>2</ID><DSC>Pail</DSC><NOMQ>4000.0000</NOMQ>"
                  "<WGH>1</WGH></CAN>\r\n"
                  "<CANPICT>\r\nc:\\HTMLDATA\\CanPictures\\</CANPICT>\r\n"
                  "</CANSLIST>\r\n"))
      << doc;
}

// Product 3 "P&3" with sub-product 4 "S<4>" (the formula's), whose MASK
// allows can 2 and a can 9 the cans table lacks; sub-product 5 has no mask.
void AddProductWithMask(mixtable_testing::DataSetBuilder& b) {
  ASSERT_TRUE(b.Append(
      Y_PRODUCTS,
      {{"ID", Id(3)}, {"CODE", "P&3"}, {"DESCR", "Prod"}, {"PATH", "P3"}}))
      << b.error();
  ASSERT_TRUE(Wy_MkDir(b.Dir(3)));
  ASSERT_TRUE(b.Append(
      Y_SUBPRODS,
      {{"ID", Id(4)}, {"CODE", "S<4>"}, {"DESCR", "Sub"}, {"PATH", "S4"}}, 3))
      << b.error();
  ASSERT_TRUE(b.AddSubProduct(3, 5, "S5", "Open sub"));
  ASSERT_TRUE(Wy_MkDir(b.Dir(3, 4)));
  ASSERT_TRUE(b.Append(Y_MASK, {{"TYPE", "CA"}, {"PNT_ID", Id(2)}}, 3, 4));
  ASSERT_TRUE(b.Append(Y_MASK, {{"TYPE", "CA"}, {"PNT_ID", Id(9)}}, 3, 4));
  ASSERT_TRUE(b.Append(Y_MASK, {{"TYPE", "BA"}, {"PNT_ID", Id(1)}}, 3, 4));
}

TEST_F(FormulaXmlTest, CansListFilteredByTheSubProductsMask) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  AddProductWithMask(b);
  auto cans = [&]() {
    const std::string doc = WriteWith([&](Wy_SeqFile* h) {
      return f_.WriteXMLFormulaAndCansList(h, nullptr, nullptr);
    });
    const size_t from = doc.find("<CANSLIST>\r\n");
    const size_t to = doc.find("<CANPICT>");
    EXPECT_NE(from, std::string::npos) << doc;
    EXPECT_NE(to, std::string::npos) << doc;
    if (from == std::string::npos || to == std::string::npos) return doc;
    return doc.substr(from, to - from);
  };
  // Sub-product 4 allows can 2 only (can 9 is not in the table).
  EXPECT_EQ(cans(),
            "<CANSLIST>\r\n<CAN><ID>2</ID><DSC>Pail</DSC><NOMQ>4000.0000"
            "</NOMQ><WGH>1</WGH></CAN>\r\n");
  // Sub-product 5 has no mask: every can.
  f_.m_SpdId = 5;
  const std::string all = cans();
  EXPECT_TRUE(Has(all, "<CAN><ID>1</ID>")) << all;
  EXPECT_TRUE(Has(all, "<CAN><ID>2</ID>")) << all;
  // A sub-product that does not exist selects nothing: every can.
  f_.m_SpdId = 8;
  EXPECT_TRUE(Has(cans(), "<CAN><ID>1</ID>"));
}

TEST_F(FormulaXmlTest, CanPictureDirectoryFromTheParameters) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  auto pict = [&]() {
    const std::string doc = WriteWith([&](Wy_SeqFile* h) {
      return f_.WriteXMLFormulaAndCansList(h, nullptr, nullptr);
    });
    const std::string open = "<CANPICT>\r\n";
    const size_t from = doc.find(open);
    const size_t to = doc.find("</CANPICT>\r\n</CANSLIST>\r\n");
    EXPECT_NE(from, std::string::npos) << doc;
    EXPECT_NE(to, std::string::npos) << doc;
    if (from == std::string::npos || to == std::string::npos) return doc;
    return doc.substr(from + open.size(), to - from - open.size());
  };
  // An empty value keeps the default.
  ASSERT_TRUE(b.Append(Y_PARAM, {{"KEY", "CANPICTPATH"}, {"VALUE", ""}}));
  EXPECT_EQ(pict(), "c:\\HTMLDATA\\CanPictures\\");

  // The value, escaped, with its final backslash added.
  ASSERT_TRUE(ts_.SetParam("CANPICTPATH", "d:\\pics & <cans>", ""));
  EXPECT_EQ(pict(), "d:\\pics &#x26; &#x3c;cans&#x3e;\\");
  ASSERT_TRUE(ts_.SetParam("CANPICTPATH", "e:\\cans\\", ""));
  EXPECT_EQ(pict(), "e:\\cans\\");

  // At most 63 characters are taken, then the backslash.
  const std::string longDir = "f:\\" + std::string(70, 'd');
  ASSERT_TRUE(ts_.SetParam("CANPICTPATH", longDir.c_str(), ""));
  EXPECT_EQ(pict(), longDir.substr(0, 63) + "\\");
}

TEST_F(FormulaXmlTest, ProductCodesFromTheOpenProductTable) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  AddProductWithMask(b);
  CMixtable& t = ts_.Mixtable();
  Wdbase* prd = t.Handle(Y_PRODUCTS);
  Wdbase* spd = t.Handle(Y_SUBPRODS);
  ASSERT_TRUE(t.Open(prd));
  ASSERT_TRUE(t.Select(prd, 3));
  // The product table open, the sub-product table not: codes for the
  // product only.
  std::string doc = Write(true);
  EXPECT_TRUE(Has(doc,
                  "<PRD><PRDID>3</PRDID><PRDCODE>P&#x26;3</PRDCODE>"
                  "<PRDDSC>Prod</PRDDSC><SPDID>4</SPDID><SUBPCODE></SUBPCODE>"
                  "<SPDDSC></SPDDSC></PRD>\r\n"))
      << doc;
  ASSERT_TRUE(t.Open(spd));
  ASSERT_TRUE(t.Select(spd, 4));
  doc = Write(true);
  EXPECT_TRUE(Has(doc,
                  "<PRD><PRDID>3</PRDID><PRDCODE>P&#x26;3</PRDCODE>"
                  "<PRDDSC>Prod</PRDDSC><SPDID>4</SPDID>"
                  "<SUBPCODE>S&#x3c;4&#x3e;</SUBPCODE><SPDDSC>Sub</SPDDSC>"
                  "</PRD>\r\n"))
      << doc;
  // Without names the descriptions are left out, the codes stay.
  f_.m_PrdName.clear();
  f_.m_SpdName.clear();
  doc = Write(true);
  EXPECT_TRUE(Has(doc,
                  "<PRDCODE>P&#x26;3</PRDCODE><SPDID>4</SPDID>"
                  "<SUBPCODE>S&#x3c;4&#x3e;</SUBPCODE></PRD>"))
      << doc;
  // The writers leave the caller's tables where they were.
  EXPECT_TRUE(prd->IsOpen(0));
  EXPECT_EQ(prd->ReadLong("ID"), 3);
  EXPECT_EQ(spd->ReadLong("ID"), 4);
}

}  // namespace
