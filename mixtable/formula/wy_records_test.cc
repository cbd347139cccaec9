#include "mixtable/wy_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mixtable/wy_arrays.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frminfo.h"
#include "mixtable/wy_substrate.h"

namespace {

TEST(WySubstrate, CustomColour) {
  Wy_Substrate s;
  double refl[16], out[16];
  for (int i = 0; i < 16; ++i) refl[i] = 0.5 + i;
  EXPECT_FALSE(s.SetCustomBackColor("x", refl));  // no id yet
  EXPECT_FALSE(s.SetID(0));
  EXPECT_TRUE(s.SetID(3));
  EXPECT_TRUE(s.SetCustomBackColor("grey", refl));
  double bad[16];
  for (int i = 0; i < 16; ++i) bad[i] = 1.0;
  bad[15] = -0.1;
  EXPECT_FALSE(s.SetCustomBackColor("red", bad));
  bad[15] = NAN;
  EXPECT_FALSE(s.SetCustomBackColor("red", bad));
  std::string name;
  EXPECT_TRUE(s.GetCustomBackColor(&name, out));
  EXPECT_EQ(name, "grey");
  EXPECT_EQ(out[15], 15.5);
  EXPECT_TRUE(s.GetCustomBackColor(nullptr, nullptr));
  s.ResetCustomBackColor();
  EXPECT_FALSE(s.HasCustomColor());
  EXPECT_EQ(s.m_CustomRefl[0], -1.0);
  EXPECT_EQ(s.GetID(), 3);
  s.Clear();
  EXPECT_EQ(s.GetID(), 0);
}

TEST(WySubstrate, DumpText) {
  Wy_Substrate s;
  s.SetID(2);
  std::string t = s.DumpText();
  std::string head =
      "\nSubstrateID: 2\nHas Custom Color: 0\n\tCustom Color Name: \n\t";
  EXPECT_EQ(t.substr(0, head.size()), head);
  std::string tail = "\n\tCustom Color Reflect: ";
  for (int i = 0; i < 16; ++i) tail += "-1.000000, ";
  EXPECT_EQ(t.substr(t.size() - tail.size()), tail);
}

TEST(WyBaseAndCan, DefaultsAndDumps) {
  Wy_BaseAndCan bc;
  EXPECT_EQ(bc.BaseIsDispensable, 1);
  bc.BasId = 7;
  bc.BaseDescr = "White";
  bc.BaseCode = "W1";
  bc.Spec_W = 1.3;
  bc.BaseFrm = "1,2";
  bc.BaseWeightMode = 1;
  bc.BaseFrmId = 7;
  bc.CanId = 10;
  bc.CanDescr = "1 l";
  bc.Nom_Q = 946.353;
  bc.CanWeight = 0;
  bc.H_min = 1;
  bc.H_max = 9;
  EXPECT_EQ(bc.DumpText(),
            "\nBase id 7, BaseDescr White , BaseCode W1 "
            "\nSpec_w 1.300000,Fill_q 0.000000, Fill_w 0.000000"
            "\nFill_qc 0.000000, Fill_wc 0.000000 "
            "\nFrm id 7 \"1,2\", W (1)\n"
            "\nCanid: 10, CanDescr: 1 l"
            "\nNom_q: 946.353000, CanWeight: 0; - H_min/max:  1 9\n");
  std::vector<std::string> lines;
  bc.Wy_Can::Dump(
      [](const char* l, void* u) {
        static_cast<std::vector<std::string>*>(u)->push_back(l);
      },
      &lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Canid: 10, CanDescr: 1 l");
  testing::internal::CaptureStdout();
  bc.Wy_Can::CDump();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), bc.Wy_Can::DumpText());
  bc.Clear();
  EXPECT_EQ(bc.BasId, 0);
  EXPECT_EQ(bc.CanId, 0);
  EXPECT_EQ(bc.BaseIsDispensable, 1);
  EXPECT_TRUE(bc.CanDescr.empty());
}

TEST(WyBaseAndCan, FillQuantity) {
  Wy_BaseAndCan bc;
  bc.Fill_Q = 900;
  bc.Nom_Q = 1000;
  bc.Spec_W = 1.3;
  double q = 0, w = 0;
  EXPECT_EQ(bc.GetCurrentFillQuantity(&q, &w), 1);
  EXPECT_DOUBLE_EQ(q, 900);
  EXPECT_DOUBLE_EQ(w, 1.17);
  EXPECT_FALSE(bc.HasCustomQuantities());
  bc.Fill_QC = 950;
  EXPECT_TRUE(bc.HasCustomQuantities());
  EXPECT_EQ(bc.GetCurrentFillQuantity(&q, nullptr), 1);
  EXPECT_DOUBLE_EQ(q, 950);
  bc.CanWeight = 1;  // by weight: Fill_W (0) and no custom weight
  EXPECT_EQ(bc.GetCurrentFillQuantity(&q, &w), 0);
  bc.Spec_W = 0;
  bc.Fill_WC = 1100;
  EXPECT_EQ(bc.GetCurrentFillQuantity(&q, &w), 1);
  EXPECT_DOUBLE_EQ(q, 1100);
  EXPECT_EQ(w, 0);
}

TEST(WyBase, ManualBase) {
  Wy_Base b;
  b.BasId = 4;
  b.BaseCode = "C";
  b.BaseDescr = "D";
  b.BaseFrm = "keep";
  b.SetAsManualBase(nullptr, nullptr);
  EXPECT_EQ(b.BasId, 0);
  EXPECT_EQ(b.BaseCode, "");
  EXPECT_EQ(b.BaseFrm, "keep");
  int mode = 1;
  b.SetAsManualBase("1,2", &mode);
  EXPECT_EQ(b.BaseFrm, "1,2");
  EXPECT_EQ(b.BaseWeightMode, 1);
}

TEST(WyFrmInfo, AddInfo) {
  Wy_FrmInfo info;
  EXPECT_EQ(info.AddInfo(0, "a", "b"), 0);
  EXPECT_EQ(info.AddInfo(-1, "a", "b"), 0);
  EXPECT_EQ(info.AddInfo(3, "three", "3"), 1);
  EXPECT_EQ(info.GetNum(), 1);
  EXPECT_EQ(info.GetNum(0), 3u);
  EXPECT_EQ(info.AddInfo(1, "one", "1"), 1);  // overwrites index 0
  EXPECT_EQ(info.GetNum(), 1);
  EXPECT_EQ(info.GetNum(0), 1u);
  EXPECT_EQ(info.GetLabel(0), "one");
  EXPECT_EQ(info.AddInfo(2, nullptr, "v"), 1);  // appended
  EXPECT_EQ(info.GetNum(), 2);
  EXPECT_EQ(info.GetLabel(1), "");
  EXPECT_EQ(info.GetValue(1), "v");
  EXPECT_EQ(info.GetNum(5), 0u);
  EXPECT_EQ(info.GetNum(-1), 0u);
  EXPECT_EQ(info.GetLabel(-1), "");
  EXPECT_EQ(info.GetValue(9), "");
  info.Clear();
  EXPECT_EQ(info.GetNum(), 0);
}

TEST(WyFrmInfoData, Defaults) {
  Wy_FrmInfoData d;
  EXPECT_STREQ(d.m_CodesFileName, "FrmCodes.xml");
  EXPECT_STREQ(d.m_ValidFileName, "FrmValid.txt");
  // Beside the library, in the host's own form ("\\" on Windows).
  const std::string& codes = d.m_DefCodesPath;
  ASSERT_GT(codes.size(), std::string("/FrmCodes.xml").size());
  EXPECT_EQ(codes.substr(codes.size() - 12), "FrmCodes.xml");
  EXPECT_TRUE(codes[codes.size() - 13] == '/' ||
              codes[codes.size() - 13] == '\\')
      << codes;
  d.m_YesText = "JA";
  d.SetDefaultPrgParams(false);
  EXPECT_EQ(d.m_YesText, "JA");
  EXPECT_EQ(d.m_NoText, "NO");
  EXPECT_EQ(d.m_CodesPath, d.m_DefCodesPath);
  EXPECT_TRUE(d.m_Text.empty());
  d.SetDefaultPrgParams(true);
  EXPECT_EQ(d.m_YesText, "YES");
  d.Clear();
  EXPECT_TRUE(d.m_YesText.empty());
}

TEST(WyRecords, Defaults) {
  EXPECT_EQ(Wy_DispsAndCans().m_Value4, 1);
  EXPECT_EQ(Wy_BarcodeOverrideData().m_Value2, 123);
  Wy_WebmdiData web;
  web.m_Int1 = 5;
  web.m_Page = "x";
  web.m_Text = "y";
  web.Clear();
  EXPECT_EQ(web.m_Int1, 0);
  EXPECT_EQ(web.m_Page, "c:\\htmldata\\index.htm");
  EXPECT_EQ(web.m_HomePage, "c:\\htmldata\\index.htm");
  EXPECT_EQ(web.m_Address, Wy_WebmdiData::kDefaultAddress);
  EXPECT_TRUE(web.m_Text.empty());
  Wy_ShopData shop;
  shop.m_Extra5 = "e";
  shop.m_Nprog = 9;
  Wy_ShopData copy = shop;
  shop.Clear();
  EXPECT_EQ(copy.m_Extra5, "e");
  EXPECT_TRUE(shop.m_Extra5.empty());
  EXPECT_EQ(shop.m_Nprog, 0);
  Wy_RefillInfo r;
  r.m_Ids = {1, 2};
  r.m_Value = 2;
  r.Clear();
  EXPECT_TRUE(r.m_Ids.empty());
  EXPECT_EQ(r.m_Value, 0);
}

TEST(WyArrays, Edges) {
  Wy_LongArray a;
  EXPECT_EQ(a.n(), 0);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a.insert(0, 1), 0);  // pos must be below the count
  EXPECT_EQ(a.update(0, 1), 0);
  EXPECT_EQ(a.remove(0), 0);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(a.append(i), 1);
  EXPECT_EQ(a.insert(0, -1), 1);
  EXPECT_EQ(a[0], -1);
  EXPECT_EQ(a[1], 0);
  EXPECT_EQ(a.insert(41, 5), 0);
  EXPECT_EQ(a.insert(40, 99), 1);
  EXPECT_EQ(a[40], 99);
  EXPECT_EQ(a[41], 39);
  EXPECT_EQ(a.remove(0), 1);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a.n(), 41);
  EXPECT_EQ(a[-1], 0);
  EXPECT_EQ(a[41], 0);
  EXPECT_EQ(a.update(40, 7), 1);
  a.sortdiscending();
  EXPECT_EQ(a[0], 99);
  a.sortascending();
  EXPECT_EQ(a[0], 0);
  a.clear();
  EXPECT_EQ(a.n(), 0);
}

TEST(WyArrays, DoubleSortsStableWithNanLast) {
  Wy_DoubleArray d;
  for (double v : {2.0, double(NAN), -0.0, 1.0, 0.0, double(NAN), -5.0})
    d.append(v);
  d.sortascending();
  EXPECT_EQ(d[0], -5.0);
  EXPECT_TRUE(std::signbit(d[1]));  // -0 before 0: equal values keep order
  EXPECT_FALSE(std::signbit(d[2]));
  EXPECT_EQ(d[4], 2.0);
  EXPECT_TRUE(std::isnan(d[5]) && std::isnan(d[6]));
  d.sortdiscending();
  EXPECT_EQ(d[0], 2.0);
  EXPECT_TRUE(std::signbit(d[2]));  // still in their previous order
  EXPECT_EQ(d[4], -5.0);
  EXPECT_TRUE(std::isnan(d[6]));
  Wy_IntArray i;
  EXPECT_EQ(i.append(3), 1);
}

}  // namespace
