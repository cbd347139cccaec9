// The colour-key tables over the sample data set.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "access/table_fields.h"
#include "access/table_set_fixture.h"

namespace {

using mixtable_testing::Id;
using Row = std::tuple<int32_t, int32_t, int32_t>;

class ColorKeyTest : public SampleDataSetTest {
 protected:
  // KEY1 of every COLORKEY id, in id order, as "id:key".
  std::vector<std::string> Keys() {
    std::vector<std::string> out;
    Wdbase* ck = ts_.Handle(Y_COLORKEY);
    EXPECT_TRUE(ts_.Open(ck));
    for (int ok = ck->Top(); ok && !ck->Eof(); ok = ck->Next())
      out.push_back(std::to_string(ck->ReadLong("ID")) + ":" +
                    Trimmed(ck, "KEY1"));
    ts_.CloseAll();
    return out;
  }
  std::set<Row> Rows(int32_t* count) {
    std::set<Row> out;
    Wdbase* db = ts_.Handle(Y_CLRPRDS);
    EXPECT_TRUE(ts_.Open(db));
    *count = db->RecCount();
    for (int ok = db->Top(); ok && !db->Eof(); ok = db->Next())
      out.insert({db->ReadLong("CLR_ID"), db->ReadLong("PRD_ID"),
                  db->ReadLong("SPD_ID")});
    ts_.CloseAll();
    return out;
  }
};

TEST_F(ColorKeyTest, KeysAndProducts) {
  // In product 1 / sub-product 1 (mask: base 1 only): a key that repeats,
  // and a root key on base 2, which the mask refuses.
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.Append(
      Y_FRM, {{"ID", Id(22)}, {"KEY1", "SUB11A"}, {"BASE_ID", Id(1)}}, 1, 1));
  ASSERT_TRUE(b.Append(
      Y_FRM, {{"ID", Id(23)}, {"KEY1", "ROOT1"}, {"BASE_ID", Id(2)}}, 1, 1));
  const int old_flush = Wdbase::FlushSet(1);
  EXPECT_EQ(ts_.Mixtable().CreateColorKeyDb(), 1);
  EXPECT_EQ(Wdbase::FlushGet(), 1);
  Wdbase::FlushSet(0);
  EXPECT_EQ(ts_.Mixtable().CreateColorKeyDb(),
            1);  // again, over the old tables
  EXPECT_EQ(Wdbase::FlushGet(), 0);
  Wdbase::FlushSet(old_flush);

  EXPECT_EQ(Keys(), (std::vector<std::string>{"1:ROOT1", "2:ROOT2", "3:PRD1",
                                              "4:SUB11A", "5:SUB11B"}));
  int32_t count = 0;
  const std::set<Row> rows = Rows(&count);
  // Product 3 is an alias of product 1's directory: its pairs get rows too.
  const std::set<Row> want = {{4, 1, 1}, {5, 1, 1}, {3, 1, 2}, {1, 2, 1},
                              {2, 2, 1}, {4, 3, 1}, {5, 3, 1}, {3, 3, 2}};
  EXPECT_EQ(rows, want);
  EXPECT_EQ(count, static_cast<int32_t>(want.size()));  // no duplicates
}

TEST_F(ColorKeyTest, FailsWithoutADataDirectory) {
  CMixtableEx ex;
  ex.SetDataDir("c:\\nowhere\\");  // tables cannot be created there
  const int old_flush = Wdbase::FlushGet();
  EXPECT_EQ(ex.Mixtable().CreateColorKeyDb(), 0);
  EXPECT_EQ(Wdbase::FlushGet(), old_flush);
}

}  // namespace
