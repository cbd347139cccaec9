// NTX index files: layout, key forms, creation, seek, index order, repair
// on Open, and the tree kept sound through random writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "dbf_file.h"
#include "key_sort.h"
#include "ntx_file.h"
#include "ntx_format.h"
#include "ntx_key.h"
#include "test_util.h"
#include "wdbase_access.h"
#include "wdbase_order.h"

namespace xbase32::testing {
namespace {

using ntx::Get16;
using ntx::Get32;

TEST(NtxGeometry, FromKeyLength) {
  ntx::Geometry g = ntx::GeometryFor(10);
  EXPECT_EQ(18, g.item_size);
  EXPECT_EQ(50, g.max_keys);
  EXPECT_EQ(25, g.half_page);
  EXPECT_EQ(104, ntx::SlotOffset(g, 0));
  EXPECT_TRUE(ntx::GeometryFits(g));
  g = ntx::GeometryFor(330);
  EXPECT_EQ(2, g.max_keys);
  EXPECT_EQ(1, g.half_page);
  EXPECT_TRUE(ntx::GeometryFits(g));
  EXPECT_EQ(0, ntx::GeometryFor(331).max_keys);
  // A header claiming 2 keys of 331 bytes cannot fit a page.
  g = ntx::GeometryFor(330);
  g.key_length = 331;
  g.item_size = 339;
  EXPECT_FALSE(ntx::GeometryFits(g));
}

TEST(NtxKey, NumericKeyForm) {
  char k[6];
  ASSERT_TRUE(NumericKey(1.5, 6, 2, k));
  EXPECT_EQ("001.50", std::string(k, 6));
  ASSERT_TRUE(NumericKey(-1.5, 6, 2, k));
  // 92 - c for every character of "001.50".
  EXPECT_EQ(std::string({',', ',', '+', '.', '\'', ','}), std::string(k, 6));
  EXPECT_LT(std::string(k, 6), std::string("000.00"));
  ASSERT_TRUE(NumericKey(-0.001, 6, 2, k));
  EXPECT_EQ("000.00", std::string(k, 6));
  EXPECT_FALSE(NumericKey(12345.0, 6, 2, k));
  // Numeric order is byte order.
  std::vector<double> values = {-100, -12.5, -1.5, -1.25, -0.5, 0,
                                0.25, 1,      2.5,  99.99, 100};
  std::string prev;
  for (double v : values) {
    char b[7];
    ASSERT_TRUE(NumericKey(v, 7, 2, b));
    std::string s(b, 7);
    EXPECT_LT(prev, s) << v;
    prev = s;
  }
  char d[10];
  ASSERT_TRUE(NumericKey(-1234567890, 10, 0, d));
  EXPECT_EQ("+*)('&%$#,", std::string(d, 10));
}

class NtxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = drives_.dir() + "/";
    platform::SetLockRetryIntervalMs(5);
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }
  void TearDown() override {
    platform::SetLockRetryIntervalMs(0);
    Wdbase::SetDebugLevel(0);
    Wdbase::FlushSet(1);
  }
  // Table "t" with NAME C(10), PRICE N(6,2), BORN D.
  void MakeTable() {
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "t", 0, nullptr, nullptr));
    auto f = Fields(
        {Fld("NAME", 'C', 10), Fld("PRICE", 'N', 6, 2), Fld("BORN", 'D', 0)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
  }
  bool OpenWith(Wdbase* w, std::vector<const char*> names,
                std::vector<const char*> exprs) {
    return w->SetFiles(dir_.c_str(), "t", static_cast<int>(names.size()),
                       names.data(), exprs.data()) &&
           w->Open();
  }
  void Add(Wdbase* w, const std::string& name, double price = 0,
           const char* born = nullptr) {
    ASSERT_EQ(1, w->AppendBlank());
    ASSERT_EQ(1, w->WriteString("NAME", name.c_str()));
    ASSERT_EQ(1, w->WriteDouble("PRICE", price));
    if (born) {
      ASSERT_EQ(1, w->WriteString("BORN", born));
    }
  }
  std::vector<std::string> Names(Wdbase* w) {
    std::vector<std::string> v;
    for (int ok = w->Top(); ok; ok = w->Next()) v.push_back(w->Read("NAME", 0, 1));
    return v;
  }
  NtxFile* Index(Wdbase* w, int k) { return IndexOf(w, k); }
  std::string Check(Wdbase* w, int k) {
    NtxFile* ix = Index(w, k);
    if (!ix) return "not open";
    return ix->CheckTree(nullptr);
  }

  platform::ScopedTempDrives drives_;
  std::string dir_;
};

TEST_F(NtxTest, OpenCreatesAMissingIndexWithAWarning) {
  MakeTable();
  MessageRecorder rec;
  Wdbase::SetDebugLevel(1);
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byname"}, {"NAME"}));
  ASSERT_FALSE(rec.Boxes().empty());
  EXPECT_NE(std::string::npos,
            rec.Boxes()[0].text.find("Warning : try to recreate index."));
  EXPECT_EQ(1, w.IsOpen(1));
  EXPECT_EQ(0, w.IsClosed(1));
  EXPECT_EQ(1, w.IsClosed(2));
  EXPECT_EQ(1, w.Access(1));
  ASSERT_EQ(1, w.Close());
  EXPECT_EQ(0, w.IsOpen(1));
  EXPECT_EQ(1, w.IsClosed(1));
}

TEST_F(NtxTest, HeaderAndPageBytes) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byname"}, {"NAME"}));
  for (const char* n : {"DELTA", "ALPHA", "CHARLIE", "BRAVO"}) Add(&w, n);
  ASSERT_EQ(1, w.CreateIdx(1));
  ASSERT_EQ(1, w.Close());
  const std::string b = ReadAll(drives_.dir() + "/byname.ntx");
  ASSERT_EQ(2048u, b.size());
  const auto* u = reinterpret_cast<const uint8_t*>(b.data());
  EXPECT_EQ(6, Get16(u + 0));
  EXPECT_EQ(1024u, Get32(u + 4));
  EXPECT_EQ(0u, Get32(u + 8));
  EXPECT_EQ(18, Get16(u + 12));
  EXPECT_EQ(10, Get16(u + 14));
  EXPECT_EQ(0, Get16(u + 16));
  EXPECT_EQ(50, Get16(u + 18));
  EXPECT_EQ(25, Get16(u + 20));
  EXPECT_EQ("NAME", std::string(b.data() + 22));
  EXPECT_EQ(0, Get16(u + 277));
  EXPECT_EQ(0, Get16(u + 280));
  EXPECT_EQ(std::string(1024 - 282, '\0'), b.substr(282, 1024 - 282));
  // The leaf: 4 keys, offsets 104 + 18 i, keys in order with records.
  const uint8_t* p = u + 1024;
  EXPECT_EQ(4, Get16(p));
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(104 + 18 * i, Get16(p + 2 + 2 * i));
  const char* want[] = {"ALPHA     ", "BRAVO     ", "CHARLIE   ", "DELTA     "};
  const uint32_t recs[] = {2, 4, 3, 1};
  for (int i = 0; i < 4; ++i) {
    const uint8_t* item = p + 104 + 18 * i;
    EXPECT_EQ(0u, Get32(item));
    EXPECT_EQ(recs[i], Get32(item + 4));
    EXPECT_EQ(want[i], std::string(reinterpret_cast<const char*>(item + 8), 10));
  }
}

TEST_F(NtxTest, SeekResults) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byname"}, {"NAME"}));
  for (const char* n : {"ABD", "AAA", "ABC"}) Add(&w, n);
  EXPECT_EQ(0, w.Seek("AB"));  // no index selected
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(1, w.Seek("AB"));
  EXPECT_STREQ("ABC", w.Read("NAME", 0, 1));
  EXPECT_EQ(2, w.Seek("ABB"));
  EXPECT_STREQ("ABC", w.Read("NAME", 0, 1));
  EXPECT_EQ(3, w.Seek("AC"));
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(1, w.Seek("ABD"));
  EXPECT_EQ(1, w.RecNo());
  // Longer than the key: compared over the key length.
  EXPECT_EQ(1, w.Seek("AAA         TOO LONG"));
  EXPECT_EQ(2, w.RecNo());
}

TEST_F(NtxTest, IndexOrderNavigation) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byname"}, {"NAME"}));
  for (const char* n : {"D", "B", "A", "C", "B"}) Add(&w, n);
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(std::vector<std::string>({"A", "B", "B", "C", "D"}), Names(&w));
  ASSERT_EQ(1, w.Top());
  EXPECT_EQ(3, w.RecNo());
  ASSERT_EQ(1, w.Next());
  EXPECT_EQ(2, w.RecNo());  // equal keys in record order
  ASSERT_EQ(1, w.Next());
  EXPECT_EQ(5, w.RecNo());
  ASSERT_EQ(1, w.Bottom());
  EXPECT_EQ(1, w.RecNo());
  ASSERT_EQ(1, w.Previous());
  EXPECT_EQ(4, w.RecNo());
  EXPECT_EQ(0, w.Next() * 0 + w.Skip(5));
  EXPECT_EQ(1, w.Eof());
  EXPECT_EQ(1, w.Skip(-1));
  EXPECT_EQ(1, w.RecNo());
  ASSERT_EQ(1, w.Top());
  EXPECT_EQ(0, w.Previous());
  EXPECT_EQ(1, w.Bof());
  EXPECT_EQ(3, w.RecNo());
  // Goto, then the index order from there.
  ASSERT_EQ(1, w.Goto(4));  // "C"
  ASSERT_EQ(1, w.Next());
  EXPECT_EQ(1, w.RecNo());  // "D"
  EXPECT_EQ(5, w.GetPosition());
  ASSERT_EQ(1, w.SetPosition(2));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(0, w.SetPosition(9));
  EXPECT_EQ(2, w.RecNo());
  // A changed key moves the record in the order.
  ASSERT_EQ(1, w.WriteString("NAME", "E"));
  EXPECT_EQ(std::vector<std::string>({"A", "B", "C", "D", "E"}), Names(&w));
  EXPECT_EQ("", Check(&w, 1));
  ASSERT_EQ(1, w.SelectIdx(0));
  EXPECT_EQ(std::vector<std::string>({"D", "E", "A", "C", "B"}), Names(&w));
}

TEST_F(NtxTest, NegativeNumbersSortFirst) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byprice"}, {"PRICE"}));
  const double prices[] = {0, -1.5, 2.25, -10, 1.5, -0.25};
  for (double p : prices) Add(&w, "x", p);
  ASSERT_EQ(1, w.SelectIdx(1));
  std::vector<double> seen;
  for (int ok = w.Top(); ok; ok = w.Next()) seen.push_back(w.ReadDouble("PRICE"));
  EXPECT_EQ(std::vector<double>({-10, -1.5, -0.25, 0, 1.5, 2.25}), seen);
  EXPECT_EQ(1, w.Seek(-1.5));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(2, w.Seek(-1.0));
  EXPECT_EQ(6, w.RecNo());
  EXPECT_EQ(1, w.Seek("2.25"));
  EXPECT_EQ(3, w.RecNo());
  EXPECT_EQ(3, w.Seek(5.0));
  EXPECT_EQ(6, Index(&w, 1)->key_info().length);
  EXPECT_EQ(2, Index(&w, 1)->key_info().decimals);
}

TEST_F(NtxTest, DateKeys) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byborn", "byborn1"}, {"BORN", "BORN+1"}));
  Add(&w, "a", 0, "20090307");
  Add(&w, "b", 0, "19991231");
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(1, w.Seek("19991231"));
  EXPECT_EQ(2, w.RecNo());
  ASSERT_EQ(1, w.SelectIdx(2));
  EXPECT_EQ(1, w.Seek("20000101"));
  EXPECT_EQ(2, w.RecNo());
  EXPECT_EQ(1, w.Seek(2451545.0));  // 2000-01-01 as a day number
  EXPECT_EQ(2, w.RecNo());
}

}  // namespace
}  // namespace xbase32::testing
