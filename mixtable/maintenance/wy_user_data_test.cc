// User data groups and items: the exact line layouts, splitting good and bad
// lists, the difference, writing back (matching records only, values that do
// not fit, idempotence, bytes as stored) and the cache files of served data
// sets.

#include "mixtable/wy_user_data.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/ytable.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"
#include "testing/table_rows.h"

namespace {

using mixtable_testing::Id;
using Lines = std::vector<std::string>;

constexpr char kSource[] = "c:\\gdata\\";
constexpr char kTarget[] = "c:\\target\\";
constexpr char kDescr[] = "Shop paints 2026";

void WriteFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
                  .ok());
  ASSERT_TRUE(f->WriteAt(0, bytes.data(), bytes.size()).ok());
}

std::string ReadFile(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kReadOnly, &f)
           .ok())
    return "<missing>";
  uint64_t size = 0;
  f->Size(&size);
  std::string bytes(size, '\0');
  size_t got = 0;
  f->ReadAt(0, bytes.data(), bytes.size(), &got);
  bytes.resize(got);
  return bytes;
}

// A data set with bases, colorants (colorant 2 once per product) and cans;
// costs scaled by `scale` so that source and target differ.
void BuildDataSet(const std::string& dir, double scale) {
  mixtable_testing::DataSetBuilder b(dir);
  auto num = [&](double v) { return std::to_string(v * scale); };
  ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)},
                                 {"DESCR", "Base one"},
                                 {"COST", num(10)},
                                 {"PROD_KEY", Id(0)},
                                 {"SUBP_KEY", Id(0)}}))
      << b.error();
  struct Cnt {
    int32_t id, prd;
    const char* descr;
    double cost;
  } const cnts[] = {{1, 0, "Colorant 1", 1.5},
                    {2, 1, "Colorant 2 of product 1", 2.25},
                    {2, 2, "Colorant 2 of product 2", 3.5}};
  for (const Cnt& c : cnts)
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(c.id)},
                                  {"CODE", "C" + std::to_string(c.id)},
                                  {"DESCR", c.descr},
                                  {"SPEC_W", num(1000)},
                                  {"COST", num(c.cost)},
                                  {"PROD_KEY", Id(c.prd)},
                                  {"SUBP_KEY", Id(0)}}))
        << b.error();
  ASSERT_TRUE(b.Append(Y_CANS, {{"ID", Id(1)},
                                {"DESCR", "Tin 1 l"},
                                {"H_MIN", num(10)},
                                {"H_MAX", num(12)},
                                {"ZERO_FLAG", "1"},
                                {"FLAGS", "AB"}}))
      << b.error();
  ASSERT_TRUE(b.Append(
      Y_CANS,
      {{"ID", Id(2)}, {"DESCR", "Pail"}, {"H_MIN", num(20)}, {"FLAGS", "X"}}))
      << b.error();
  WriteFile(dir + "FVERS.DAT", std::string(kDescr) + "\r\n");
}

// The stored text of field for the record (table, id, prd).
std::string Raw(const std::string& dir, int table, int32_t id, int32_t prd,
                const char* field) {
  CMixtableEx ts;
  ts.SetDataDir(dir.c_str());
  Wdbase* db = ts.Mixtable().Handle(table);
  if (!ts.Mixtable().Open(db)) return "<closed>";
  for (int r = db->Top(); r && !db->Eof(); r = db->Next())
    if (db->ReadLong("ID") == id &&
        (table == Y_CANS || db->ReadLong("PROD_KEY") == prd))
      return db->Read(field, 0, 0);
  return "<none>";
}

Lines Group(const char* dir, bool basesCost, bool cntsCost, bool cntsSpecW,
            bool hMin, bool hMax, bool zero, bool flags,
            const char* machine = nullptr) {
  Lines g;
  EXPECT_TRUE(Wy_CreateGDataUserDataGroup(g, dir, machine, basesCost, cntsCost,
                                          cntsSpecW, hMin, hMax, zero, flags));
  return g;
}

class UserDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows the drives are the host's, kept from the test before.
    for (const char* dir : {kSource, kTarget, "c:\\third\\", "c:\\local\\",
                            "c:\\wuser\\DBFCache\\"}) {
      platform::Env::Current()->DeleteTree(dir);
    }
    BuildDataSet(kSource, 1);
    BuildDataSet(kTarget, 2);
  }
  std::string Head(const std::string& dir) {
    std::string d = kDescr;
    d.resize(32, ' ');
    return "********" + d + dir;
  }
  platform::ScopedTempDrives drives_;
};

TEST_F(UserDataTest, GroupLinesAndSplit) {
  Lines g = Group(kSource, true, true, true, true, true, true, true);
  const Lines want = {Head(kSource),        "BASES   COST      ",
                      "CNTS    COST      ", "CNTS    SPEC_W    ",
                      "CANS    H_MIN     ", "CANS    H_MAX     ",
                      "CANS    ZERO_FLAG ", "CANS    FLAGS     "};
  EXPECT_EQ(g, want);

  std::string descr, dir;
  bool s[7];
  ASSERT_TRUE(Wy_SplitGDataUserDataGroup(g, &descr, &dir, &s[0], &s[1], &s[2],
                                         &s[3], &s[4], &s[5], &s[6]));
  EXPECT_EQ(descr, std::string(kDescr) + std::string(32 - 16, ' '));
  EXPECT_EQ(dir, kSource);
  for (bool on : s) EXPECT_TRUE(on);

  // Every switch on its own gives its one line; any case, trimmed lines.
  for (int k = 0; k < 7; ++k) {
    bool on[7] = {};
    on[k] = true;
    Lines one = Group(kSource, on[0], on[1], on[2], on[3], on[4], on[5], on[6]);
    ASSERT_EQ(one.size(), 2u);
    for (char& c : one[1]) c = static_cast<char>(tolower(c));
    while (one[1].back() == ' ') one[1].pop_back();
    ASSERT_TRUE(Wy_SplitGDataUserDataGroup(one, nullptr, nullptr, &s[0], &s[1],
                                           &s[2], &s[3], &s[4], &s[5], &s[6]));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(s[i], i == k) << k << " " << i;
  }

  // An empty directory: refused.
  Lines g2;
  EXPECT_FALSE(Wy_CreateGDataUserDataGroup(g2, "", nullptr, true, true, true,
                                           true, true, true, true));
  EXPECT_FALSE(Wy_CreateGDataUserDataGroup(g2, "  ", nullptr, true, true, true,
                                           true, true, true, true));
  EXPECT_TRUE(g2.empty());
}

TEST_F(UserDataTest, BadGroupsAreRefused) {
  const Lines good =
      Group(kSource, false, true, false, false, false, false, false);
  struct Case {
    const char* what;
    Lines group;
    bool cntsCost;  // the switch after the split
  } const cases[] = {
      {"empty", {}, false},
      {"short line 0", {"********short"}, false},
      {"no mark", {"--------" + good[0].substr(8), good[1]}, true},
      {"short field line", {good[0], "CNTS"}, false},
      {"unknown field", {good[0], "CNTS    PRICE     ", good[1]}, true},
      {"unknown table", {good[0], "PAINTS  COST      "}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool cost = !c.cntsCost;
    EXPECT_FALSE(Wy_SplitGDataUserDataGroup(c.group, nullptr, nullptr, nullptr,
                                            &cost, nullptr, nullptr, nullptr,
                                            nullptr, nullptr));
    EXPECT_EQ(cost, c.cntsCost);
    Lines items = {"x"};
    EXPECT_FALSE(Wy_GetGDataUserDataItem(c.group, items, kSource, nullptr));
    EXPECT_FALSE(
        Wy_SetGDataUserDataItem(c.group, {good[0], "x"}, kTarget, nullptr));
  }
}

TEST_F(UserDataTest, OnlyCanHeightsGiveCanLinesWithZeroKeys) {
  const Lines g =
      Group(kSource, false, false, false, true, false, false, false);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  const Lines want = {
      Head(kSource),
      "CANS        1    0    0Tin 1 l                 H_MIN     N  3 0 10",
      "CANS        2    0    0Pail                    H_MIN     N  3 0 20",
  };
  EXPECT_EQ(items, want);

  // The ten columns of a line.
  std::string c[10];
  ASSERT_TRUE(Wy_SplitGDataUserDataItem(items, 2, &c[0], &c[1], &c[2], &c[3],
                                        &c[4], &c[5], &c[6], &c[7], &c[8],
                                        &c[9]));
  const std::string cols[10] = {
      "CANS    ",   "    2", "    0", "    0", "Pail                    ",
      "H_MIN     ", "N",     "  3",   " 0",    " 20"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(c[i], cols[i]) << i;
  // Out of range and short lines; the outputs are emptied.
  for (int line : {-1, 0, 3}) {
    EXPECT_FALSE(Wy_SplitGDataUserDataItem(items, line, &c[0], nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, &c[9]));
    EXPECT_EQ(c[0], "");
  }
  Lines shortLine = {items[0], items[1].substr(0, 62)};
  EXPECT_FALSE(Wy_SplitGDataUserDataItem(shortLine, 1, &c[0], nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr));
}

TEST_F(UserDataTest, ColorantItemsCarryTheirKeys) {
  const Lines g = Group(kSource, true, true, true, false, false, false, false);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  ASSERT_EQ(items.size(), 1u + 1 + 3 * 2);
  EXPECT_EQ(items[1],
            "BASES       1    0    0Base one                COST      N 10 3"
            "    10.000");
  EXPECT_EQ(items[2],
            "CNTS        1    0    0Colorant 1              COST      N 10 3"
            "     1.500");
  EXPECT_EQ(items[3],
            "CNTS        1    0    0Colorant 1              SPEC_W    N  8 2"
            " 1000.00");
  EXPECT_EQ(items[4].substr(0, 47),
            "CNTS        2    1    0Colorant 2 of product 1 ");
  EXPECT_EQ(items[6].substr(0, 23), "CNTS        2    2    0");
  // No data set there: refused.
  EXPECT_FALSE(Wy_GetGDataUserDataItem(g, items, "c:\\nothing\\", nullptr));
  EXPECT_TRUE(items.empty());
}

TEST_F(UserDataTest, HeadLineAndWhatCountsAsADataSet) {
  // The head line carries FVERS.DAT's first line in the ANSI code page.
  const std::string oem = "1.00 F\x81r den Laden";
  WriteFile(std::string(kSource) + "FVERS.DAT", oem + "\r\nsecond line\r\n");
  std::string head = platform::OemToAnsi(oem);
  ASSERT_NE(head, oem);
  head.resize(32, ' ');
  head = "********" + head + kSource;
  const Lines g =
      Group(kSource, false, false, false, true, false, false, false);
  EXPECT_EQ(g[0], head);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  EXPECT_EQ(items[0], head);

  // A colorants table without SPEC_W: no data set, the items are refused.
  const std::string cnts = std::string(kTarget) + "CNTS.DBF";
  ASSERT_TRUE(convert_testing::MakeTable(
      cnts, {{"ID", 'C', 5}, {"CODE", 'C', 10}, {"DESCR", 'C', 40}}, {}));
  EXPECT_FALSE(Wy_GetGDataUserDataItem(g, items, kTarget, nullptr));
  EXPECT_TRUE(items.empty());
  // Without colorants the parameters table makes it a data set: the cans
  // are taken.
  ASSERT_TRUE(platform::Env::Current()->DeleteFile(cnts).ok());
  ASSERT_TRUE(
      convert_testing::MakeTable(std::string(kTarget) + "PARAM.DBF",
                                 {{"KEY", 'C', 16}, {"VALUE", 'C', 128}}, {}));
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kTarget, nullptr));
  EXPECT_EQ(items.size(), 3u);
}

TEST_F(UserDataTest, Difference) {
  const Lines g = Group(kSource, true, true, true, true, true, true, true);
  Lines a, b, d;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, a, kSource, nullptr));
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, b, kTarget, nullptr));
  ASSERT_TRUE(Wy_DeltaGDataUserDataItem(a, a, d));
  EXPECT_EQ(d, Lines{a[0]});
  // Only the lines the old list lacks, in the new list's order.
  Lines changed = a;
  changed[3] = b[3];
  changed[5] = b[5];
  ASSERT_TRUE(Wy_DeltaGDataUserDataItem(changed, a, d));
  EXPECT_EQ(d, (Lines{a[0], b[3], b[5]}));
  // Line 0 of the old list is not an item: a new line equal to it counts.
  Lines withHead = {a[0], a[0]};
  ASSERT_TRUE(Wy_DeltaGDataUserDataItem(withHead, a, d));
  EXPECT_EQ(d.size(), 2u);
  // An old list without items lacks every new item.
  ASSERT_TRUE(Wy_DeltaGDataUserDataItem(a, Lines{a[0]}, d));
  EXPECT_EQ(d, a);
  ASSERT_TRUE(Wy_DeltaGDataUserDataItem(a, Lines{}, d));
  EXPECT_EQ(d, a);
  // A new list without items: false.
  EXPECT_FALSE(Wy_DeltaGDataUserDataItem(Lines{a[0]}, a, d));
  EXPECT_TRUE(d.empty());
}

TEST_F(UserDataTest, WrittenBackIntoMatchingRecordsOnly) {
  const Lines g = Group(kSource, true, true, true, true, true, true, true);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  // Only colorant 2 of product 1.
  Lines one = {items[0]};
  for (const std::string& l : items)
    if (l.compare(0, 23, "CNTS        2    1    0") == 0 &&
        l.find("COST") != std::string::npos)
      one.push_back(l);
  ASSERT_EQ(one.size(), 2u);
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, one, kTarget, nullptr));
  EXPECT_EQ(Raw(kTarget, Y_CNTS, 2, 1, "COST"), "     2.250");
  EXPECT_EQ(Raw(kTarget, Y_CNTS, 2, 2, "COST"), "     7.000");  // untouched
  EXPECT_EQ(Raw(kTarget, Y_CNTS, 1, 0, "COST"), "     3.000");

  // Everything: the target's items become the source's.
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, items, kTarget, nullptr));
  Lines after;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, after, kTarget, nullptr));
  for (size_t i = 1; i < items.size(); ++i) EXPECT_EQ(after[i], items[i]);

  // Again: nothing changes, byte for byte.
  const std::string cnts = ReadFile("c:\\target\\CNTS.DBF");
  const std::string cans = ReadFile("c:\\target\\CANS.DBF");
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, items, kTarget, nullptr));
  EXPECT_EQ(ReadFile("c:\\target\\CNTS.DBF"), cnts);
  EXPECT_EQ(ReadFile("c:\\target\\CANS.DBF"), cans);

  // Fields the group does not choose are left alone.
  Lines costOnly =
      Group(kSource, false, true, false, false, false, false, false);
  BuildDataSet("c:\\third\\", 3);
  ASSERT_TRUE(Wy_SetGDataUserDataItem(costOnly, items, "c:\\third\\", nullptr));
  EXPECT_EQ(Raw("c:\\third\\", Y_CNTS, 1, 0, "COST"), "     1.500");
  EXPECT_EQ(Raw("c:\\third\\", Y_CNTS, 1, 0, "SPEC_W"), " 3000.00");
  EXPECT_EQ(Raw("c:\\third\\", Y_BASES, 1, 0, "COST"), "    30.000");
  // Fewer than two lines: nothing to do.
  EXPECT_TRUE(Wy_SetGDataUserDataItem(g, Lines{items[0]}, kTarget, nullptr));
}

TEST_F(UserDataTest, ItemsThatDoNotFitAreSkipped) {
  const Lines g = Group(kSource, true, true, true, true, true, true, true);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  const std::string good = items[2];  // CNTS 1 COST N 10 3 "     1.500"
  const std::string prefix = good.substr(0, 57);
  struct Case {
    const char* what;
    std::string line;
  } const cases[] = {
      {"number too wide", prefix + "N 10 3123456789.5"},
      {"not a number", prefix + "N 10 3     1.5x0"},
      {"value longer than the field", prefix + "N 10 3     1.500   7"},
      {"other type", prefix + "C 10 3     1.500"},
      {"other width", prefix + "N 11 3      1.500"},
      {"other decimals", prefix + "N 10 2      1.50"},
      {"unknown type", prefix + "X 10 3     1.500"},
      {"short line", good.substr(0, 60)},
      {"id not a number", good.substr(0, 8) + "   1x" + good.substr(13)},
      {"id with a blank inside", good.substr(0, 8) + "  1 1" + good.substr(13)},
      {"key not a number", good.substr(0, 13) + "    x" + good.substr(18)},
      {"NUL in the value", prefix + std::string("N 10 3    \0 1.500", 16)},
      {"carriage return", prefix + "N 10 3   \r 1.500"},
  };
  BuildDataSet("c:\\third\\", 3);
  const Lines more = {items[0], items[1]};  // BASES 1 COST: still written
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lines bad = {items[0], c.line, items[1]};
    EXPECT_FALSE(Wy_SetGDataUserDataItem(g, bad, "c:\\third\\", nullptr));
    EXPECT_EQ(Raw("c:\\third\\", Y_CNTS, 1, 0, "COST"), "     4.500");
    EXPECT_EQ(Raw("c:\\third\\", Y_BASES, 1, 0, "COST"), "    10.000");
  }
  // A value cut to the field with blanks after it still fits; a blank
  // number stays blank (never set, not 0).
  ASSERT_TRUE(Wy_SetGDataUserDataItem(
      g, {items[0], prefix + "N 10 3     2.125   "}, "c:\\third\\", nullptr));
  EXPECT_EQ(Raw("c:\\third\\", Y_CNTS, 1, 0, "COST"), "     2.125");
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, {items[0], prefix + "N 10 3"},
                                      "c:\\third\\", nullptr));
  EXPECT_EQ(Raw("c:\\third\\", Y_CNTS, 1, 0, "COST"), "          ");
  // An item without a record in the target is no failure.
  std::string missing = good;
  missing.replace(8, 5, "   77");
  EXPECT_TRUE(
      Wy_SetGDataUserDataItem(g, {items[0], missing}, "c:\\third\\", nullptr));
  // A data set without its tables: false.
  EXPECT_FALSE(Wy_SetGDataUserDataItem(g, items, "c:\\nothing\\", nullptr));
}

TEST_F(UserDataTest, ValuesNoLineCanCarryAreLeftOut) {
  mixtable_testing::DataSetBuilder b(kSource);
  ASSERT_TRUE(b.Append(
      Y_CANS, {{"ID", Id(3)}, {"DESCR", "Odd\r\ncan"}, {"FLAGS", "A\rB"}}));
  const Lines g = Group(kSource, false, false, false, true, false, false, true);
  Lines items;
  EXPECT_FALSE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  // Can 3's height is there (its description blanked), its flags are not.
  ASSERT_EQ(items.size(), 1u + 2 * 2 + 1);
  EXPECT_EQ(items.back().substr(0, 57),
            "CANS        3    0    0Odd  can                H_MIN     ");
  for (const std::string& l : items)
    EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos);
}

TEST_F(UserDataTest, BytesGoBackAsStored) {
  // A flag text with a byte above 0x7F: the target gets the same byte, no
  // code-page conversion on the way.
  CMixtableEx ts;
  ts.SetDataDir(kSource);
  Wdbase* db = ts.Mixtable().Handle(Y_CANS);
  ASSERT_TRUE(ts.Mixtable().Open(db));
  db->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  ASSERT_TRUE(ts.Mixtable().Select(db, 1));
  ASSERT_TRUE(db->WriteString("FLAGS", "\x82\xE9Z"));
  ts.Mixtable().CloseAll();
  const Lines g =
      Group(kSource, false, false, false, false, false, false, true);
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, kSource, nullptr));
  EXPECT_EQ(items[1].substr(63), "\x82\xE9Z     ");
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, items, kTarget, nullptr));
  EXPECT_EQ(Raw(kTarget, Y_CANS, 1, 0, "FLAGS"), "\x82\xE9Z     ");
  EXPECT_EQ(Raw(kTarget, Y_CANS, 2, 0, "FLAGS"), "X       ");
}

TEST_F(UserDataTest, LogicalAndSmallRealFieldsByType) {
  // A data set whose cans keep ZERO_FLAG as a logical and H_MIN with one
  // decimal: a logical is true as the engine reads it ("T" or "Y", any
  // case), a real of a narrow field goes through single precision.
  const char* dir = "c:\\ltarget\\";
  mixtable_testing::DataSetBuilder b(dir);
  ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)}}));
  ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(1)}, {"SPEC_W", "1000"}}));
  {
    Wdbase db;
    ASSERT_TRUE(db.SetFiles(&WyGetFileInfo(Y_CANS)->def));
    ASSERT_TRUE(db.SetPath(b.Dir().c_str()));
    const WDBASE_FIELD fields[] = {
        {"ID", 'C', 5, 0, 0},    {"DESCR", 'C', 40, 0, 0},
        {"NOM_Q", 'N', 9, 3, 0},  // indexed
        {"H_MIN", 'N', 5, 1, 0}, {"ZERO_FLAG", 'L', 1, 0, 0},
        {"", 0, 0, 0, 0}};
    ASSERT_TRUE(db.CreateDb(fields));
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(db.AppendBlank());
    ASSERT_TRUE(db.WriteString("ID", Id(1).c_str()));
    ASSERT_TRUE(db.WriteChar("ZERO_FLAG", 'F'));
    ASSERT_TRUE(db.Close());
  }
  const Lines g = Group(dir, false, false, false, true, false, true, false);
  const std::string can = "CANS        1    0    0" + std::string(24, ' ');
  struct Case {
    const char* value;
    const char* want;
  } const flags[] = {{"Y", "T"}, {"t", "T"}, {"F", "F"}, {"y", "T"},
                     {"N", "F"}, {"?", "F"}, {"T", "T"}};
  for (const Case& c : flags) {
    SCOPED_TRACE(c.value);
    ASSERT_TRUE(Wy_SetGDataUserDataItem(
        g, {g[0], can + "ZERO_FLAG L  1 0" + c.value}, dir, nullptr));
    EXPECT_EQ(Raw(dir, Y_CANS, 1, 0, "ZERO_FLAG"), c.want);
  }
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, {g[0], can + "H_MIN     N  5 1 12.5"},
                                      dir, nullptr));
  EXPECT_EQ(Raw(dir, Y_CANS, 1, 0, "H_MIN"), " 12.5");
  // The dictionary's H_MIN (N 3.0) of another data set is no match.
  EXPECT_FALSE(Wy_SetGDataUserDataItem(g, {g[0], can + "H_MIN     N  3 0 12"},
                                       dir, nullptr));
  EXPECT_EQ(Raw(dir, Y_CANS, 1, 0, "H_MIN"), " 12.5");
  // Taken out again as stored.
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, dir, nullptr));
  EXPECT_EQ(items, (Lines{g[0], can + "H_MIN     N  5 1 12.5",
                          can + "ZERO_FLAG L  1 0T"}));
}

// args: "costs" or "weights". Writes the source's colorant costs or
// specific weights back into the target 20 times.
KALVO_CHILD_MAIN(user_data_write_back)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  const bool costs = args[0] == "costs";
  const Lines group =
      Group(kSource, false, costs, !costs, false, false, false, false);
  Lines items;
  if (!Wy_GetGDataUserDataItem(group, items, kSource, nullptr)) return 2;
  bool ok = true;
  for (int round = 0; round < 20; ++round) {
    ok = Wy_SetGDataUserDataItem(group, items, kTarget, nullptr) && ok;
  }
  return ok ? 0 : 1;
}

TEST_F(UserDataTest, TwoProcessesWriteBackAtOnce) {
  // One process writes the colorants' costs, the other their specific
  // weights, into the same records at the same time: both values land.
  std::unique_ptr<platform::Process> kids[2];
  const char* const what[2] = {"costs", "weights"};
  for (int p = 0; p < 2; ++p) {
    ASSERT_TRUE(platform::testing::StartChild("user_data_write_back", {what[p]},
                                              &kids[p])
                    .ok());
  }
  for (auto& kid : kids) EXPECT_EQ(0, platform::testing::WaitChild(kid.get()));
  Lines now;
  const Lines both =
      Group(kSource, false, true, true, false, false, false, false);
  Lines want;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(both, want, kSource, nullptr));
  ASSERT_TRUE(Wy_GetGDataUserDataItem(both, now, kTarget, nullptr));
  for (size_t i = 1; i < want.size(); ++i) EXPECT_EQ(now[i], want[i]);
}

TEST_F(UserDataTest, CacheFilesOfServedDataSets) {
  std::string root;
  ASSERT_TRUE(Wy_CachePath(root, nullptr, nullptr));
  EXPECT_EQ(Wy_GDataUserDataFile("C:\\GDATA001\\", "SRV", "GRP"),
            root + "SRV_C_GDATA001.GRP");
  EXPECT_EQ(Wy_GDataUserDataFile("C:\\GDATA.01", "srv", "ITM"),
            root + "srv_C_GDATA_01.ITM");
  for (const char* local : {static_cast<const char*>(nullptr), "", "localhost",
                            kWyLocalMachineName})
    EXPECT_EQ(Wy_GDataUserDataFile("C:\\GDATA001\\", local, "GRP"), "");
  EXPECT_EQ(Wy_GDataUserDataFile("C:\\GDATA001\\", "a\\b", "GRP"), "");
  EXPECT_EQ(Wy_GDataUserDataFile("C:\\..\\x\\", "SRV", "GRP"), "");
  EXPECT_EQ(Wy_GDataUserDataFile("", "SRV", "GRP"), "");

  const Lines g = {"********" + std::string(32, ' ') + "C:\\GDATA001\\",
                   "CANS    H_MIN     "};
  ASSERT_TRUE(Wy_WriteGDataUserDataGroup(g, "C:\\GDATA001\\", "SRV"));
  const std::string file = root + "SRV_C_GDATA001.GRP";
  std::string host;
  ASSERT_TRUE(platform::Env::Current()->HostPath(file, &host).ok());
  EXPECT_EQ(ReadFile(host), g[0] + "\r\n" + g[1] + "\r\n");
  EXPECT_FALSE(platform::Env::Current()->FileExists(file + ".NEW"));
  Lines back;
  ASSERT_TRUE(Wy_ReadGDataUserDataGroup(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(back, g);
  // Items likewise, in their own file; LF-only lines read the same.
  ASSERT_TRUE(Wy_WriteGDataUserDataItem(g, "C:\\GDATA001\\", "SRV"));
  WriteFile(root + "SRV_C_GDATA001.ITM", g[0] + "\n" + g[1]);
  ASSERT_TRUE(Wy_ReadGDataUserDataItem(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(back, g);

  // This machine has no files; a line that could not come back as one line
  // writes nothing; a missing file reads as false.
  for (const char* local : {static_cast<const char*>(nullptr), "LocalHost"}) {
    EXPECT_FALSE(Wy_WriteGDataUserDataGroup(g, "C:\\GDATA001\\", local));
    EXPECT_FALSE(Wy_ReadGDataUserDataGroup(back, "C:\\GDATA001\\", local));
    EXPECT_TRUE(back.empty());
  }
  Lines broken = g;
  broken[1] += "\nCNTS    COST      ";
  EXPECT_FALSE(Wy_WriteGDataUserDataGroup(broken, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(ReadFile(host), g[0] + "\r\n" + g[1] + "\r\n");
  EXPECT_FALSE(Wy_ReadGDataUserDataGroup(back, "C:\\GDATA002\\", "SRV"));

  // A write that fails part way leaves the old file whole and no work file.
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.ShortWriteNext(".NEW", 10);
  Lines longer = g;
  longer.push_back("CNTS    COST      ");
  EXPECT_FALSE(Wy_WriteGDataUserDataGroup(longer, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(ReadFile(host), g[0] + "\r\n" + g[1] + "\r\n");
  EXPECT_FALSE(env.FileExists(file + ".NEW"));
  env.FailPath(".GRP", platform::FaultInjectionEnv::kRename);
  EXPECT_FALSE(Wy_WriteGDataUserDataGroup(longer, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(ReadFile(host), g[0] + "\r\n" + g[1] + "\r\n");
  env.ClearFaults();
  ASSERT_TRUE(Wy_WriteGDataUserDataGroup(longer, "C:\\GDATA001\\", "SRV"));
  ASSERT_TRUE(Wy_ReadGDataUserDataGroup(back, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(back, longer);
}

TEST_F(UserDataTest, ServedDataSetsWorkInTheirCache) {
  std::string cache;
  ASSERT_TRUE(Wy_CachePath(cache, "SRV", "C:\\GDATA001\\"));
  BuildDataSet(cache, 5);
  const Lines g = Group("C:\\GDATA001\\", false, true, false, false, false,
                        false, false, "SRV");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0], Head(cache));
  Lines items;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, items, "C:\\GDATA001\\", "SRV"));
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].substr(63), "     7.500");
  // Written back from the source into the cached copy.
  Lines mine;
  ASSERT_TRUE(Wy_GetGDataUserDataItem(g, mine, kSource, "LOCALHOST"));
  ASSERT_TRUE(Wy_SetGDataUserDataItem(g, mine, "C:\\GDATA001\\", "SRV"));
  EXPECT_EQ(Raw(cache, Y_CNTS, 1, 0, "COST"), "     1.500");
  // A server name the cache refuses.
  Lines none;
  EXPECT_FALSE(Wy_CreateGDataUserDataGroup(none, "C:\\GDATA001\\", "..", true,
                                           true, true, true, true, true, true));
}

}  // namespace
