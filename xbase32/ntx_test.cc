// NTX index files: layout, key forms, creation, seek, index order, repair
// on Open, and the tree kept sound through random writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "dbf_file.h"
#include "key_sort.h"
#include "ntx_file.h"
#include "ntx_format.h"
#include "ntx_key.h"
#include "platform/testing/fault_env.h"
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
                                0.25, 1,     2.5,  99.99, 100};
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

// Opens table t of dir with the given indexes, for the child entries.
bool OpenTIn(const std::string& dir, Wdbase* w, std::vector<const char*> names,
             std::vector<const char*> exprs) {
  return w->SetFiles(dir.c_str(), "t", static_cast<int>(names.size()),
                     names.data(), exprs.data()) &&
         w->Open();
}

// The other processes of the index tests. args: dir, op, then
//   append_new               appends "new0".."new99" (index ix)
//   writer C COUNT           appends C1000.. with prices and changes earlier
//                            keys, seeking each (indexes ix and iy)
//   random_writer RECORDS    1500 random key changes, flushed every third
//   add NAME                 appends NAME (index ix)
//   rebuild                  changes every third key, then rebuilds ix
int NtxChild(const std::vector<std::string>& a) {
  if (a.size() < 2) return 90;
  const std::string& dir = a[0];
  const std::string& op = a[1];
  Wdbase w;
  const bool two = op == "writer";
  if (!(two ? OpenTIn(dir, &w, {"ix", "iy"}, {"NAME", "PRICE"})
            : OpenTIn(dir, &w, {"ix"}, {"NAME"}))) {
    return 1;
  }
  if (op == "append_new") {
    for (int i = 0; i < 100; ++i) {
      if (!w.AppendBlank()) return 2;
      if (!w.WriteString("NAME", ("new" + std::to_string(i)).c_str())) return 3;
    }
  } else if (op == "writer" && a.size() == 4) {
    if (!w.SelectIdx(1)) return 2;
    const std::string& c = a[2];
    for (int i = 0; i < std::stoi(a[3]); ++i) {
      const std::string name = c + std::to_string(1000 + i);
      if (!w.AppendBlank()) return 3;
      if (!w.WriteString("NAME", name.c_str())) return 4;
      if (!w.WriteDouble("PRICE", i)) return 5;
      // Our own key is there at once; the other process's keys too.
      if (w.Seek(name.c_str()) != 1) return 6;
      if (i % 10 == 0) {
        // Change an earlier key of ours.
        const std::string old = c + std::to_string(1000 + i / 2);
        if (w.Seek(old.c_str()) != 1) return 7;
        if (!w.WriteString("NAME", (old + "x").c_str())) return 8;
        if (w.Seek((old + "x").c_str()) != 1) return 9;
      }
    }
  } else if (op == "random_writer" && a.size() == 3) {
    Wdbase::FlushSet(0);
    std::mt19937 rng(3);
    const int records = std::stoi(a[2]);
    for (int i = 0; i < 1500; ++i) {
      if (!w.Goto(1 + static_cast<int32_t>(rng() % records))) return 2;
      const std::string name = "n" + std::to_string(rng() % 1000);
      if (!w.WriteString("NAME", name.c_str())) return 3;
      if (i % 3 == 0 && !w.Flush()) return 4;
    }
  } else if (op == "add" && a.size() == 3) {
    if (!w.AppendBlank() || !w.WriteString("NAME", a[2].c_str()) ||
        !w.WriteDouble("PRICE", 0)) {
      return 2;
    }
  } else if (op == "rebuild") {
    // Changed keys, then a rebuild of the whole file.
    for (int r = 1; r <= 300; r += 3) {
      if (!w.Goto(r)) return 2;
      if (!w.WriteString("NAME", ("m" + std::to_string(r)).c_str())) return 3;
    }
    if (!w.RebuildIdx()) return 4;
  } else {
    return 91;
  }
  return w.Close() ? 0 : 10;
}
KALVO_CHILD_MAIN(ntx)(const std::vector<std::string>& args) {
  ChildSetUp();
  return NtxChild(args);
}

class NtxTest : public EngineTest {
 protected:
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
    for (int ok = w->Top(); ok; ok = w->Next())
      v.push_back(w->Read("NAME", 0, 1));
    return v;
  }
  NtxFile* Index(Wdbase* w, int k) { return IndexOf(w, k); }
  std::string Check(Wdbase* w, int k) {
    NtxFile* ix = Index(w, k);
    if (!ix) return "not open";
    return ix->CheckTree(nullptr);
  }
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
    EXPECT_EQ(want[i],
              std::string(reinterpret_cast<const char*>(item + 8), 10));
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
  for (int ok = w.Top(); ok; ok = w.Next())
    seen.push_back(w.ReadDouble("PRICE"));
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

namespace xbase32::testing {
namespace {

// Every entry of an index, in tree order.
std::vector<std::pair<std::string, uint32_t>> Entries(NtxFile* ix,
                                                      std::string* fault) {
  std::vector<std::pair<std::string, uint32_t>> v;
  const int L = ix->key_info().length;
  *fault = ix->CheckTree(
      [&](const char* k, uint32_t r) { v.emplace_back(std::string(k, L), r); });
  return v;
}

class NtxTreeTest : public NtxTest {
 protected:
  // A table of one C(width) field with n records; key i is made by name(i).
  template <typename Name>
  void MakeWide(int width, int n, Name name) {
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "wide", 0, nullptr, nullptr));
    auto f = Fields({Fld("K", 'C', width)});
    ASSERT_EQ(1, w.CreateDb(f.data()));
    platform::Env::Current()->DeleteFile(dir_ + "wk.ntx");
    ASSERT_EQ(1, w.Open());
    // Under the table lock the appends go out in one piece at Unlock, not
    // one append lock each (thousands of wine server calls).
    Wdbase::FlushSet(0);
    ASSERT_EQ(1, w.Lock());
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(1, w.AppendBlank());
      ASSERT_EQ(1, w.WriteString(1, name(i).c_str()));
    }
    ASSERT_EQ(1, w.Unlock());
    Wdbase::FlushSet(1);
    ASSERT_EQ(1, w.Close());
  }
  bool OpenWide(Wdbase* w) {
    const char* names[] = {"wk"};
    const char* exprs[] = {"K"};
    return w->SetFiles(dir_.c_str(), "wide", 1, names, exprs) && w->Open();
  }
};

// Builds of every size up to a few levels deep with two keys a page: every
// tree is sound, holds every record once, and has no empty page.
TEST_F(NtxTreeTest, BuildsOfEverySizeAreSound) {
  struct Size {
    int width, n;
  };
  std::vector<Size> sizes;
  // Two keys a page: deep trees from few records.
  for (int n : {0,  1,  2,  3,  4,  5,  6,  7,   8,   9,   10,  11,  14, 17,
                26, 27, 28, 53, 80, 81, 82, 100, 161, 242, 243, 244, 300}) {
    sizes.push_back({330, n});
  }
  // Fifty keys a page: the edges of full levels (50, 50 + 1 + 50, ...).
  for (int n : {50, 51, 52, 101, 102, 2600, 2601, 2602, 2651, 2652}) {
    sizes.push_back({10, n});
  }
  for (const Size& size : sizes) {
    const int n = size.n;
    SCOPED_TRACE(n);
    MakeWide(size.width, n, [](int i) {
      char b[16];
      std::snprintf(b, sizeof b, "%06d", (i * 7919) % 1000003);
      return std::string(b);
    });
    Wdbase w;
    ASSERT_TRUE(OpenWide(&w));
    NtxFile* ix = IndexOf(&w, 1);
    ASSERT_NE(nullptr, ix);
    EXPECT_EQ(size.width == 330 ? 2 : 50, ix->geometry().max_keys);
    std::string fault;
    auto e = Entries(ix, &fault);
    ASSERT_EQ("", fault);
    ASSERT_EQ(static_cast<size_t>(n), e.size());
    std::set<uint32_t> recs;
    for (auto& [k, r] : e) recs.insert(r);
    EXPECT_EQ(static_cast<size_t>(n), recs.size());
    // No page without keys (except the root of an empty index).
    const std::string b = ReadAll(drives_.dir() + "/wk.ntx");
    for (size_t off = 1024; off < b.size(); off += 1024) {
      const int count = Get16(reinterpret_cast<const uint8_t*>(b.data()) + off);
      if (n > 0) {
        EXPECT_GT(count, 0) << "page " << off;
      }
    }
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(NtxTreeTest, KeyTooLongForTwoKeysFailsCreation) {
  MakeWide(331, 3, [](int i) { return std::to_string(i); });
  Wdbase w;
  const char* names[] = {"wk"};
  const char* exprs[] = {"K"};
  ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "wide", 1, names, exprs));
  EXPECT_EQ(0, w.Open());
  EXPECT_EQ(-910, Wdbase::LastErrorCode());
  EXPECT_STREQ("Corrupt NTX Clipper index file", Wdbase::LastErrorDetail(0));
  EXPECT_EQ(0, w.IsOpen(0));
}

// Thousands of random appends, key changes and deletions (the key holds
// DELETED()), checked against a model after each batch.
TEST_F(NtxTreeTest, RandomWritesKeepTheTreeSound) {
  for (int keylen : {12, 330}) {
    SCOPED_TRACE(keylen);
    MakeWide(keylen, 0, [](int) { return std::string(); });
    Wdbase w;
    const char* names[] = {"wk"};
    std::string expr = keylen == 12 ? "IIF(DELETED(),\"~\",\" \")+K" : "K";
    const char* exprs[] = {expr.c_str()};
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "wide", 1, names, exprs));
    ASSERT_EQ(1, w.Open());
    ASSERT_EQ(1, w.SelectIdx(1));
    Wdbase::FlushSet(0);
    std::mt19937 rng(keylen);
    std::map<int32_t, std::string> model;  // recno -> key text
    for (int32_t r = 1; r <= w.RecCount(); ++r) {
      ASSERT_EQ(1, w.Goto(r));
      model[r] = w.Read(1);
    }
    for (int batch = 0; batch < 12; ++batch) {
      for (int op = 0; op < 400; ++op) {
        const int what = static_cast<int>(rng() % 10);
        char text[16];
        std::snprintf(text, sizeof text, "%05u",
                      static_cast<unsigned>(rng() % 3000));
        if (what < 4 || model.empty()) {
          ASSERT_EQ(1, w.AppendBlank());
          ASSERT_EQ(1, w.WriteString(1, text));
          model[w.RecNo()] = text;
        } else {
          const int32_t r = 1 + static_cast<int32_t>(rng() % model.size());
          ASSERT_EQ(1, w.Goto(r));
          if (what < 8) {
            ASSERT_EQ(1, w.WriteString(1, text));
            model[r] = text;
          } else if (what == 8) {
            ASSERT_EQ(1, w.Delete());
          } else {
            ASSERT_EQ(1, w.Recall());
          }
        }
      }
      ASSERT_EQ(1, w.Flush());
      std::string fault;
      auto e = Entries(IndexOf(&w, 1), &fault);
      ASSERT_EQ("", fault);
      ASSERT_EQ(model.size(), e.size());
      std::map<int32_t, std::string> seen;
      std::string prev;
      for (auto& [k, r] : e) {
        ASSERT_TRUE(seen.emplace(static_cast<int32_t>(r), k).second);
      }
      for (auto& [r, text] : model) {
        ASSERT_EQ(1, w.Goto(r));
        std::string want;
        if (keylen == 12) {  // deleted records sort last
          want = std::string(w.Deleted() ? "~" : " ") +
                 (text + std::string(12, ' ')).substr(0, 12);
        } else {
          want = (text + std::string(330, ' ')).substr(0, 330);
        }
        ASSERT_EQ(want, seen[r]) << "record " << r;
      }
    }
    // Index order walks the model's order (key, then insertion).
    std::vector<std::string> walk;
    for (int ok = w.Top(); ok; ok = w.Next()) walk.push_back(w.Read(1));
    ASSERT_EQ(model.size(), walk.size());
    Wdbase::FlushSet(1);
    ASSERT_EQ(1, w.Close());
    // Removing every entry empties the tree soundly.
    ASSERT_EQ(1, w.Open());
    Wdbase::FlushSet(0);
    for (int32_t r = 1; r <= w.RecCount(); ++r) {
      ASSERT_EQ(1, w.Goto(r));
      ASSERT_EQ(1, w.Lock());
      ASSERT_EQ(1, w.WriteString(1, "same"));
      ASSERT_EQ(1, w.Unlock());
    }
    Wdbase::FlushSet(1);
    std::string fault;
    auto e = Entries(IndexOf(&w, 1), &fault);
    ASSERT_EQ("", fault);
    EXPECT_EQ(static_cast<size_t>(w.RecCount()), e.size());
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(NtxTreeTest, SortSpillsRunsToTheTemporaryDirectory) {
  const int n = 20000;
  MakeWide(10, n, [](int i) {
    char b[16];
    std::snprintf(b, sizeof b, "%07d", (i * 7919) % 10007);
    return std::string(b);
  });
  const size_t old = SetSortMemoryLimit(64 * 1024);
  Wdbase w;
  ASSERT_TRUE(OpenWide(&w));
  SetSortMemoryLimit(old);
  NtxFile* ix = IndexOf(&w, 1);
  ASSERT_NE(nullptr, ix);
  std::string fault;
  auto e = Entries(ix, &fault);
  ASSERT_EQ("", fault);
  ASSERT_EQ(static_cast<size_t>(n), e.size());
  for (size_t i = 1; i < e.size(); ++i) {
    ASSERT_TRUE(e[i - 1].first < e[i].first ||
                (e[i - 1].first == e[i].first && e[i - 1].second < e[i].second))
        << i;
  }
  // The sort itself: runs spilled and the file gone afterwards.
  std::string temp;
  {
    SetSortMemoryLimit(64 * 1024);
    KeySorter s(10, false);
    for (int i = 0; i < n; ++i) {
      char b[16];
      std::snprintf(b, sizeof b, "%010d", (i * 7919) % 10007);
      ASSERT_TRUE(s.Add(b, static_cast<uint32_t>(i + 1)));
    }
    ASSERT_TRUE(s.Finish());
    SetSortMemoryLimit(old);
    EXPECT_GT(s.runs_written(), 4u);
    temp = s.temp_path();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(platform::Env::Current()->TempDir(),
              temp.substr(0, temp.rfind('/')));
    EXPECT_NE(std::string::npos, temp.find("/TEMP"));
    EXPECT_TRUE(platform::Env::Current()->FileExists(temp));
    std::string prev;
    uint32_t prev_r = 0;
    const char* k = nullptr;
    uint32_t r = 0;
    int got = 0;
    while (s.Next(&k, &r)) {
      std::string key(k, 10);
      ASSERT_TRUE(prev < key || (prev == key && prev_r < r));
      prev = key;
      prev_r = r;
      ++got;
    }
    EXPECT_FALSE(s.failed());
    EXPECT_EQ(n, got);
  }
  EXPECT_FALSE(platform::Env::Current()->FileExists(temp));
}

TEST_F(NtxTreeTest, UniqueSortKeepsTheFirstRecord) {
  for (size_t limit : {size_t{64 * 1024}, size_t{32} << 20}) {
    const size_t old = SetSortMemoryLimit(limit);
    KeySorter s(4, true);
    for (int i = 0; i < 30000; ++i) {
      char b[8];
      std::snprintf(b, sizeof b, "%04d", (i * 31) % 1000);
      ASSERT_TRUE(s.Add(b, static_cast<uint32_t>(i + 1)));
    }
    ASSERT_TRUE(s.Finish());
    SetSortMemoryLimit(old);
    const char* k = nullptr;
    uint32_t r = 0;
    int got = 0;
    while (s.Next(&k, &r)) {
      EXPECT_LE(r, 1000u);
      ++got;
    }
    EXPECT_EQ(1000, got);
  }
}

}  // namespace
}  // namespace xbase32::testing

namespace xbase32::testing {
namespace {

// Rewrites bytes of a file in place.
void Patch(const std::string& path, size_t at, const std::string& bytes) {
  std::string b = ReadAll(path);
  ASSERT_LE(at + bytes.size(), b.size());
  b.replace(at, bytes.size(), bytes);
  ASSERT_TRUE(WriteAll(path, b));
}

TEST_F(NtxTest, OpenRebuildsAnIndexOfAnotherExpression) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    Add(&w, "b", 2);
    Add(&w, "a", 1);
    ASSERT_EQ(1, w.Close());
  }
  MessageRecorder rec;
  Wdbase::SetDebugLevel(1);
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"price"}));
  ASSERT_EQ(1u, rec.Boxes().size());
  EXPECT_NE(std::string::npos,
            rec.Boxes()[0].text.find("Error : wrong expression encountered.\n"
                                     "\"NAME\" instead of \"PRICE\"\n"
                                     "Try to recreate index.\n"));
  EXPECT_EQ("PRICE", IndexOf(&w, 1)->expression());
  ASSERT_EQ(1, w.SelectIdx(1));
  ASSERT_EQ(1, w.Top());
  EXPECT_EQ(2, w.RecNo());
}

TEST_F(NtxTest, OpenRecreatesAnIndexWithABadHeader) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    Add(&w, "b");
    Add(&w, "a");
    ASSERT_EQ(1, w.Close());
  }
  const std::string path = drives_.dir() + "/ix.ntx";
  Patch(path, 20, std::string("\x18\x00", 2));  // half page 24, max 50
  {
    DbfFile* none = nullptr;
    (void)none;
    MessageRecorder rec;
    Wdbase::SetDebugLevel(1);
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    ASSERT_GE(rec.Boxes().size(), 2u);
    EXPECT_NE(std::string::npos, rec.Boxes()[0].text.find("error -310"));
    EXPECT_NE(std::string::npos,
              rec.Boxes()[1].text.find("Warning : try to recreate index."));
    Wdbase::SetDebugLevel(0);
    EXPECT_EQ(
        25, Get16(reinterpret_cast<const uint8_t*>(ReadAll(path).data()) + 20));
    ASSERT_EQ(1, w.SelectIdx(1));
    ASSERT_EQ(1, w.Top());
    EXPECT_EQ(2, w.RecNo());
  }
}

TEST_F(NtxTest, CorruptPagesFailCleanly) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    for (int i = 0; i < 200; ++i) Add(&w, "k" + std::to_string(i));
    ASSERT_EQ(1, w.Close());
  }
  const std::string path = drives_.dir() + "/ix.ntx";
  const std::string good = ReadAll(path);
  const uint32_t root =
      Get32(reinterpret_cast<const uint8_t*>(good.data()) + 4);
  struct Case {
    const char* what;
    size_t at;
    std::string bytes;
  } cases[] = {
      {"key count above the maximum", 1024, std::string("\x40\x00", 2)},
      {"item outside the page", 1024 + 2, std::string("\xF0\x03", 2)},
      {"child outside the file", root + 104,
       std::string("\x00\x00\x10\x00", 4)},
      {"child pointing at its own page", root + 104,
       std::string(reinterpret_cast<const char*>(&root), 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteAll(path, good));
    Patch(path, c.at, c.bytes);
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    ASSERT_EQ(1, w.SelectIdx(1));
    int steps = 0;
    for (int ok = w.Top(); ok && steps < 1000; ok = w.Next()) ++steps;
    EXPECT_LT(steps, 200);
    EXPECT_NE("", IndexOf(&w, 1)->CheckTree(nullptr));
    for (int i = 0; i < 200; i += 7) w.Seek(("k" + std::to_string(i)).c_str());
    // The engine stays usable: a rebuild repairs the file.
    ASSERT_EQ(1, w.CreateIdx(1));
    EXPECT_EQ("", IndexOf(&w, 1)->CheckTree(nullptr));
    EXPECT_EQ(1, w.Seek("k150"));
    ASSERT_EQ(1, w.Close());
  }
}

TEST_F(NtxTest, DescendingFlagReversesTheOrder) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    for (const char* n : {"b", "d", "a", "c"}) Add(&w, n);
    ASSERT_EQ(1, w.Close());
  }
  Patch(drives_.dir() + "/ix.ntx", 280, std::string("\x01\x00", 2));
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(std::vector<std::string>({"d", "c", "b", "a"}), Names(&w));
  ASSERT_EQ(1, w.Bottom());
  EXPECT_STREQ("a", w.Read("NAME", 0, 1));
  EXPECT_EQ(1, w.Seek("c"));
  EXPECT_STREQ("c", w.Read("NAME", 0, 1));
  EXPECT_EQ(2, w.Seek("bb"));
  EXPECT_STREQ("b", w.Read("NAME", 0, 1));
  EXPECT_EQ(3, w.Seek("0"));
  ASSERT_EQ(1, w.Seek("c"));
  ASSERT_EQ(1, w.Next());
  EXPECT_STREQ("b", w.Read("NAME", 0, 1));
  EXPECT_EQ(3, w.GetPosition());
}

TEST_F(NtxTest, UniqueIndexKeepsTheFirstRecordOfAKey) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    Add(&w, "a");
    ASSERT_EQ(1, w.Close());
  }
  Patch(drives_.dir() + "/ix.ntx", 278, std::string("\x01", 1));
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
  EXPECT_TRUE(IndexOf(&w, 1)->unique());
  Add(&w, "b");
  Add(&w, "a");  // a second "a": no entry
  Add(&w, "c");
  ASSERT_EQ(1, w.Goto(3));
  ASSERT_EQ(1, w.WriteString("NAME", "b"));  // still no entry
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(std::vector<std::string>({"a", "b", "c"}), Names(&w));
  ASSERT_EQ(1, w.Seek("b"));
  EXPECT_EQ(2, w.RecNo());
  ASSERT_EQ(1, w.Goto(3));
  ASSERT_EQ(1, w.WriteString("NAME", "d"));  // now it gets one
  EXPECT_EQ(std::vector<std::string>({"a", "b", "c", "d"}), Names(&w));
  EXPECT_EQ("", IndexOf(&w, 1)->CheckTree(nullptr));
}

TEST_F(NtxTest, EveryIndexIsKeptCurrent) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"byname", "byprice"}, {"UPPER(NAME)", "PRICE"}));
  Add(&w, "pear", 3);
  Add(&w, "Apple", 5);
  Add(&w, "fig", 1);
  ASSERT_EQ(1, w.Goto(1));
  char* buf = w.RecordBufferPtr();
  std::memcpy(buf, "banana    ", 10);
  ASSERT_EQ(1, w.RecordBufferWrite());
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(std::vector<std::string>({"Apple", "banana", "fig"}), Names(&w));
  ASSERT_EQ(1, w.SelectIdx(2));
  EXPECT_EQ(std::vector<std::string>({"fig", "banana", "Apple"}), Names(&w));
  EXPECT_EQ(2, w.SelectedIdx());
  EXPECT_EQ(0, w.SelectIdx(3));
  EXPECT_EQ(1, w.RebuildIdx());
  EXPECT_EQ(2, w.SelectedIdx());
  EXPECT_EQ(std::vector<std::string>({"fig", "banana", "Apple"}), Names(&w));
}

TEST_F(NtxTest, LockTakesTheIndexLocks) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"a", "b"}, {"NAME", "PRICE"}));
  Add(&w, "x");
  ASSERT_EQ(1, w.Lock());
  auto busy = [&](const char* file) {
    std::unique_ptr<platform::File> f;
    EXPECT_TRUE(platform::Env::Current()
                    ->OpenFile(dir_ + file, platform::OpenMode::kReadWrite, &f)
                    .ok());
    return f->TryLock(ntx::kLockOffset, ntx::kLockLength) ==
           platform::LockResult::kBusy;
  };
  EXPECT_TRUE(busy("a.ntx"));
  EXPECT_TRUE(busy("b.ntx"));
  Add(&w, "y");  // appends under the lock keep it
  EXPECT_TRUE(busy("a.ntx"));
  ASSERT_EQ(1, w.Unlock());
  EXPECT_FALSE(busy("a.ntx"));
  EXPECT_FALSE(busy("b.ntx"));
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(std::vector<std::string>({"x", "y"}), Names(&w));
}

TEST_F(NtxTest, AnotherProcessAppendsAndSeekFindsTheKey) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
  for (int i = 0; i < 300; ++i) Add(&w, "k" + std::to_string(i));
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(1, w.Seek("k150"));  // the pages are cached now
  EXPECT_EQ(3, w.Seek("new"));
  ASSERT_EQ(0, RunChild("ntx", {dir_, "append_new"}));
  EXPECT_EQ(1, w.Seek("new42"));
  EXPECT_EQ(343, w.RecNo());
  EXPECT_STREQ("new42", w.Read("NAME", 0, 1));
  EXPECT_EQ(400, w.RecCount());
  // Navigation goes on from the new tree.
  ASSERT_EQ(1, w.Next());
  EXPECT_STREQ("new43", w.Read("NAME", 0, 1));
  EXPECT_EQ("", IndexOf(&w, 1)->CheckTree(nullptr));
}

TEST_F(NtxTest, TwoProcessesWritingAndSeekingStayConsistent) {
  MakeTable();
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix", "iy"}, {"NAME", "PRICE"}));
    ASSERT_EQ(1, w.Close());
  }
  constexpr int kPer = 150;
  std::unique_ptr<platform::Process> kids[2];
  for (int c = 0; c < 2; ++c) {
    ASSERT_TRUE(platform::testing::StartChild(
                    "ntx",
                    {dir_, "writer", c == 0 ? "p" : "q", std::to_string(kPer)},
                    &kids[c])
                    .ok());
  }
  for (auto& kid : kids) ASSERT_EQ(0, platform::testing::WaitChild(kid.get()));
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix", "iy"}, {"NAME", "PRICE"}));
  ASSERT_EQ(2 * kPer, w.RecCount());
  for (int k = 1; k <= 2; ++k) {
    std::string fault;
    auto e = Entries(IndexOf(&w, k), &fault);
    ASSERT_EQ("", fault);
    ASSERT_EQ(static_cast<size_t>(2 * kPer), e.size());
    // Every entry carries its record's current key.
    for (auto& [key, r] : e) {
      ASSERT_EQ(1, w.Goto(static_cast<int32_t>(r)));
      std::string want(IndexOf(&w, k)->key_info().length, ' ');
      IndexOf(&w, k)->KeyOf(WdbaseAccess::Data(&w)->record(),
                            static_cast<int32_t>(r), want.data());
      ASSERT_EQ(want, key) << "record " << r;
    }
  }
}

}  // namespace
}  // namespace xbase32::testing

namespace xbase32::testing {
namespace {

// Entries added and removed directly (true removals down to an empty
// tree), against a model, with the tree check after every batch; duplicate
// keys with several records each.
TEST_F(NtxTreeTest, RandomInsertsAndRemovalsAgainstAModel) {
  for (int width : {4, 330}) {
    SCOPED_TRACE(width);
    MakeWide(width, 0, [](int) { return std::string(); });
    Wdbase w;
    ASSERT_TRUE(OpenWide(&w));
    NtxFile* ix = IndexOf(&w, 1);
    ASSERT_NE(nullptr, ix);
    std::mt19937 rng(width);
    std::multiset<std::pair<std::string, uint32_t>> model;
    std::vector<std::pair<std::string, uint32_t>> live;
    uint32_t next_rec = 1;
    const int batches = width == 4 ? 30 : 12;
    for (int batch = 0; batch < batches; ++batch) {
      ASSERT_EQ(platform::LockResult::kLocked, ix->TryLockIndex());
      // Grow in the first half, shrink to nothing in the second.
      const int adds = batch < batches / 2 ? 300 : 40;
      const int removes = batch < batches / 2 ? 120 : 400;
      for (int i = 0; i < adds + removes; ++i) {
        const bool add =
            (rng() % (adds + removes)) < static_cast<unsigned>(adds);
        if (add) {
          std::string key(static_cast<size_t>(width), ' ');
          const unsigned v = rng() % 200;  // many equal keys
          key[0] = static_cast<char>('A' + v / 26 % 26);
          key[1] = static_cast<char>('a' + v % 26);
          const uint32_t r = next_rec++;
          bool added = false;
          ASSERT_TRUE(ix->AddKey(key.data(), r, &added));
          ASSERT_TRUE(added);
          model.emplace(key, r);
          live.emplace_back(key, r);
        } else if (!live.empty()) {
          const size_t at = rng() % live.size();
          auto e = live[at];
          live[at] = live.back();
          live.pop_back();
          bool removed = false;
          ASSERT_TRUE(ix->RemoveKey(e.first.data(), e.second, &removed));
          ASSERT_TRUE(removed) << e.first << " " << e.second;
          model.erase(model.find(e));
        }
      }
      // A missing entry is no error.
      bool removed = true;
      ASSERT_TRUE(ix->RemoveKey(std::string(width, 'z').data(), 1, &removed));
      EXPECT_FALSE(removed);
      ASSERT_TRUE(ix->UnlockIndex());
      std::string fault;
      auto e = Entries(ix, &fault);
      ASSERT_EQ("", fault) << "batch " << batch;
      ASSERT_EQ(model.size(), e.size());
      std::multiset<std::pair<std::string, uint32_t>> seen(e.begin(), e.end());
      ASSERT_TRUE(seen == model) << "batch " << batch;
    }
    // The file as written reads back the same.
    ASSERT_EQ(1, w.Close());
    ASSERT_TRUE(OpenWide(&w));
    std::string fault;
    auto e = Entries(IndexOf(&w, 1), &fault);
    ASSERT_EQ("", fault);
    std::multiset<std::pair<std::string, uint32_t>> seen(e.begin(), e.end());
    EXPECT_TRUE(seen == model);
    ASSERT_EQ(1, w.Close());
  }
}

// One process keeps changing keys while another walks the whole index over
// and over: every walk sees a sound order and every entry (no torn page is
// ever read, no entry is lost or doubled).
TEST_F(NtxTest, WalksStayWholeWhileAnotherProcessWrites) {
  MakeTable();
  constexpr int kRecords = 400;
  {
    Wdbase w;
    ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
    Wdbase::FlushSet(0);
    ASSERT_EQ(1, w.Lock());
    for (int i = 0; i < kRecords; ++i)
      Add(&w, "n" + std::to_string(i * 7 % 1000));
    ASSERT_EQ(1, w.Unlock());
    Wdbase::FlushSet(1);
    ASSERT_EQ(1, w.Close());
  }
  std::unique_ptr<platform::Process> writer;
  ASSERT_TRUE(
      platform::testing::StartChild(
          "ntx", {dir_, "random_writer", std::to_string(kRecords)}, &writer)
          .ok());
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
  ASSERT_EQ(1, w.SelectIdx(1));
  NtxFile* ix = IndexOf(&w, 1);
  // Any failure would show as a message box.
  MessageRecorder rec;
  Wdbase::SetDebugLevel(1);
  int walks = 0;
  for (;;) {
    const int status = platform::testing::WaitChild(writer.get(), 0);
    const bool done = status != platform::testing::kChildNotRun;
    std::string fault;
    auto e = Entries(ix, &fault);
    ASSERT_EQ("", fault);
    ASSERT_EQ(static_cast<size_t>(kRecords), e.size());
    std::set<uint32_t> recs;
    for (auto& [k, r] : e) recs.insert(r);
    ASSERT_EQ(static_cast<size_t>(kRecords), recs.size());
    // And through the navigation: it ends, without a failure (records whose
    // keys move meanwhile may be met twice or not at all).
    int steps = 0;
    for (int ok = w.Top(); ok && steps < 4 * kRecords; ok = w.Next()) ++steps;
    ASSERT_LT(steps, 4 * kRecords);
    ASSERT_EQ(1, w.Eof());
    ASSERT_TRUE(rec.Boxes().empty()) << rec.Boxes()[0].text;
    ++walks;
    if (done) {
      ASSERT_EQ(0, status);
      break;
    }
  }
  EXPECT_GT(walks, 1);
  // The final tree holds every record under its current key.
  std::string fault;
  auto e = Entries(ix, &fault);
  ASSERT_EQ("", fault);
  for (auto& [key, r] : e) {
    ASSERT_EQ(1, w.Goto(static_cast<int32_t>(r)));
    ASSERT_EQ(std::string(w.Read("NAME")), key);
  }
}

}  // namespace
}  // namespace xbase32::testing

namespace xbase32::testing {
namespace {

// Files without a shared change counter (network file systems; the fault
// injection env's files have none): readers take the index lock and the
// header's counter tells them about other writers.
TEST_F(NtxTest, WithoutASharedCounterTheHeaderCounterTells) {
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  MakeTable();
  Wdbase a, b;
  ASSERT_TRUE(OpenWith(&a, {"ix"}, {"NAME"}));
  for (int i = 0; i < 200; ++i) Add(&a, "k" + std::to_string(i));
  ASSERT_TRUE(OpenWith(&b, {"ix"}, {"NAME"}));
  ASSERT_EQ(1, b.SelectIdx(1));
  ASSERT_EQ(1, b.Seek("k150"));
  const std::string before = ReadAll(drives_.dir() + "/ix.ntx").substr(2, 2);
  Add(&a, "j1");  // another handle changes the index
  const std::string after = ReadAll(drives_.dir() + "/ix.ntx").substr(2, 2);
  EXPECT_NE(before, after);  // the header counter moved
  EXPECT_EQ(1, b.Seek("j1"));
  EXPECT_EQ(201, b.RecNo());
  ASSERT_EQ(1, b.Next());
  EXPECT_STREQ("k0", b.Read("NAME", 0, 1));
  ASSERT_EQ(1, b.Goto(3));
  ASSERT_EQ(1, b.WriteString("NAME", "a"));
  ASSERT_EQ(1, a.SelectIdx(1));
  ASSERT_EQ(1, a.Top());
  EXPECT_EQ(3, a.RecNo());
  EXPECT_EQ("", IndexOf(&a, 1)->CheckTree(nullptr));
  EXPECT_EQ("", IndexOf(&b, 1)->CheckTree(nullptr));
  ASSERT_EQ(0, RunChild("ntx", {dir_, "add", "b-from-child"}));
  EXPECT_EQ(1, a.Seek("b-from"));
  EXPECT_EQ(202, a.RecNo());
}

}  // namespace
}  // namespace xbase32::testing

namespace xbase32::testing {
namespace {

// A rebuild rewrites the file in place: a process that holds it open goes
// on with the new tree (never with a dead copy), and the header counter
// moves past its old value.
TEST_F(NtxTest, AnotherProcessRebuildsInPlace) {
  MakeTable();
  Wdbase w;
  ASSERT_TRUE(OpenWith(&w, {"ix"}, {"NAME"}));
  for (int i = 0; i < 300; ++i) Add(&w, "k" + std::to_string(1000 + i));
  ASSERT_EQ(1, w.SelectIdx(1));
  ASSERT_EQ(1, w.Seek("k1100"));
  const std::string path = drives_.dir() + "/ix.ntx";
  platform::FileInfo before;
  ASSERT_TRUE(platform::Env::Current()->GetFileInfo(path, &before).ok());
  const uint16_t counter =
      Get16(reinterpret_cast<const uint8_t*>(ReadAll(path).data()) + 2);
  ASSERT_EQ(0, RunChild("ntx", {dir_, "rebuild"}));
  platform::FileInfo after;
  ASSERT_TRUE(platform::Env::Current()->GetFileInfo(path, &after).ok());
  EXPECT_EQ(before.inode, after.inode);
  EXPECT_NE(counter,
            Get16(reinterpret_cast<const uint8_t*>(ReadAll(path).data()) + 2));
  ASSERT_EQ(1, w.Next());
  EXPECT_STREQ("k1101", w.Read("NAME", 0, 1));
  EXPECT_EQ(1, w.Seek("m1"));
  EXPECT_EQ(1, w.RecNo());
  EXPECT_EQ(2, w.Seek("k1000"));  // record 1 is "m1" now
  EXPECT_EQ(2, w.RecNo());
  int n = 0;
  for (int ok = w.Top(); ok; ok = w.Next()) ++n;
  EXPECT_EQ(300, n);
  EXPECT_EQ("", IndexOf(&w, 1)->CheckTree(nullptr));
}

}  // namespace
}  // namespace xbase32::testing
