// Special filters against a brute-force model: the visible sequence both
// ways, Skip across the ends, Goto, Seek, GetPosition / SetPosition /
// GetLastPosition in natural, text, numeric, date and computed orders,
// inverted and not, for conditions matching none, one, some and all
// records; samples on a larger table; writes of this and other handles.

#include <gtest/gtest.h>

#include <random>

#include "spf_filter_fixture.h"

namespace xbase32::testing {
namespace {

struct Cond {
  const char* text;
  std::function<bool(const SpfRow&)> holds;
};

const std::vector<Cond>& Conditions() {
  static const std::vector<Cond> kConds = {
      {".F.", [](const SpfRow&) { return false; }},
      {".T.", [](const SpfRow&) { return true; }},
      {"QTY > 0", [](const SpfRow& r) { return r.qty > 0; }},
      {"NAME = 'N1' .AND. QTY < 5",
       [](const SpfRow& r) { return r.name.rfind("N1", 0) == 0 && r.qty < 5; }},
      {"BORN = STOD('20030101')",
       [](const SpfRow& r) { return r.born == "20030101"; }},
  };
  return kConds;
}

class SpecialFilterTest : public SpecialFilterFixture {
 protected:
  // Every position query against the model m of the filter just set.
  void CheckPositions(const FilterModel& m) {
    const int32_t count = static_cast<int32_t>(m.vis.size());
    EXPECT_EQ(count, w_.GetLastPosition());
    EXPECT_EQ(count == 0, w_.IsEmpty());
    for (int32_t i = 0; i < count; ++i) {
      ASSERT_EQ(1, w_.SetPosition(i + 1)) << i;
      ASSERT_EQ(m.vis[static_cast<size_t>(i)], w_.RecNo());
      ASSERT_EQ(i + 1, w_.GetPosition());
    }
    // Out of range: refused, the record stays.
    const int32_t before = w_.RecNo();
    EXPECT_EQ(0, w_.SetPosition(0));
    EXPECT_EQ(0, w_.SetPosition(count + 1));
    EXPECT_EQ(before, w_.RecNo());
    // At end of file: one past the last.
    w_.Goto(w_.RecCount() + 1);
    EXPECT_EQ(count == 0 ? 0 : count + 1, w_.GetPosition());
  }
};

TEST_F(SpecialFilterTest, EveryOrderFollowsTheModel) {
  Make(300);
  std::mt19937 rng(9);
  for (int s = 0; s <= 4; ++s) {
    ASSERT_EQ(1, w_.SelectIdx(s));
    for (bool inverted : {false, true}) {
      for (const Cond& c : Conditions()) {
        SCOPED_TRACE(::testing::Message() << "order " << s << " inverted "
                                          << inverted << " cond " << c.text);
        ASSERT_TRUE(w_.SpecialFilterInit(c.text, inverted, true));
        ASSERT_TRUE(w_.SpecialFilterIsEnabled());
        EXPECT_EQ(inverted, w_.SpecialFilterIsInverted());
        FilterModel m;
        m.vis = Visible(s, inverted, c.holds);
        ASSERT_EQ(m.vis, Forward(&w_));
        ASSERT_EQ(m.vis, Backward(&w_));
        CheckPositions(m);
        // Random moves, Goto of visible and hidden records.
        w_.Top();
        m.Top();
        for (int step = 0; step < 200; ++step) {
          const int op = static_cast<int>(rng() % 6);
          int got = 0, want = 0;
          if (op == 0) {
            got = w_.Next();
            want = m.Skip(1);
          } else if (op == 1) {
            got = w_.Previous();
            want = m.Skip(-1);
          } else if (op == 2 || op == 3) {
            const int32_t k = static_cast<int32_t>(rng() % 41) - 20;
            if (k == 0) continue;
            got = w_.Skip(k);
            want = m.Skip(k);
          } else {
            const int32_t r = 1 + static_cast<int32_t>(rng() % 300);
            got = w_.Goto(r);
            const int32_t p = m.PositionOf(r);
            want = m.Set(p - 1);
          }
          ASSERT_EQ(want, got) << "step " << step << " op " << op;
          if (m.idx < 0) {
            ASSERT_EQ(1, w_.Eof());
          } else {
            ASSERT_EQ(m.recno(), w_.RecNo());
          }
        }
      }
    }
  }
  EXPECT_TRUE(w_.SpecialFilterQuit());
  EXPECT_FALSE(w_.SpecialFilterQuit());
}

TEST_F(SpecialFilterTest, EdgeCases) {
  Make(40);
  // Nothing matches: the table stands at end of file.
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 1000", false, false));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(0, w_.Top());
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(0, w_.GetLastPosition());
  EXPECT_EQ(0, w_.GetPosition());
  EXPECT_TRUE(w_.IsEmpty());
  // Every record matches: the record count.
  ASSERT_TRUE(w_.SpecialFilterInit(".T.", false, false));
  EXPECT_EQ(w_.RecCount(), w_.GetLastPosition());
  // Three records in natural order.
  ASSERT_TRUE(w_.SpecialFilterInit(
      "RECNO() = 5 .OR. RECNO() = 9 .OR. RECNO() = 30", false, false));
  EXPECT_EQ(5, w_.RecNo());
  ASSERT_EQ(1, w_.Goto(30));
  EXPECT_EQ(0, w_.Next());
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(1, w_.Previous());
  EXPECT_EQ(30, w_.RecNo());
  EXPECT_EQ(1, w_.Skip(-2));
  EXPECT_EQ(5, w_.RecNo());
  EXPECT_EQ(0, w_.Skip(-1));
  EXPECT_EQ(5, w_.RecNo());
  EXPECT_EQ(1, w_.Bof());
  EXPECT_EQ(0, w_.Skip(3));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(1, w_.Skip(-3));
  EXPECT_EQ(5, w_.RecNo());
  // A hidden record cannot be reached by Goto.
  EXPECT_EQ(0, w_.Goto(6));
  EXPECT_EQ(1, w_.Eof());
  // The record that was current stays when it matches.
  ASSERT_EQ(1, w_.Goto(9));
  ASSERT_TRUE(w_.SpecialFilterInit("RECNO() > 8", false, false));
  EXPECT_EQ(9, w_.RecNo());
  ASSERT_TRUE(w_.SpecialFilterInit("RECNO() > 20", false, false));
  EXPECT_EQ(21, w_.RecNo());
}

TEST_F(SpecialFilterTest, SamplesKeepPositionLookupsShort) {
  Make(3000, 17);
  ASSERT_EQ(1, w_.SelectIdx(2));
  auto holds = [](const SpfRow& r) { return r.qty > -15; };
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > -15", false, false));
  FilterModel m;
  m.vis = Visible(2, false, holds);
  ASSERT_GT(m.vis.size(), 2000u);
  EXPECT_EQ(static_cast<int32_t>(m.vis.size()), w_.GetLastPosition());
  std::mt19937 rng(1);
  for (int i = 0; i < 300; ++i) {
    const int32_t pos = 1 + static_cast<int32_t>(rng() % m.vis.size());
    ASSERT_EQ(1, w_.SetPosition(pos));
    ASSERT_EQ(m.vis[static_cast<size_t>(pos - 1)], w_.RecNo());
    ASSERT_EQ(pos, w_.GetPosition());
  }
  // Inverted, the samples follow.
  ASSERT_TRUE(w_.SpecialFilterChangeOrder());
  m.vis = Visible(2, true, holds);
  for (int i = 0; i < 100; ++i) {
    const int32_t r = m.vis[rng() % m.vis.size()];
    ASSERT_EQ(1, w_.Goto(r));
    ASSERT_EQ(m.PositionOf(r), w_.GetPosition());
  }
}

TEST_F(SpecialFilterTest, OwnWritesMoveTheLimit) {
  Make(200);
  ASSERT_EQ(1, w_.SelectIdx(1));
  auto holds = [](const SpfRow& r) { return r.qty > 0; };
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  FilterModel m;
  m.vis = Visible(1, false, holds);
  const int32_t count = static_cast<int32_t>(m.vis.size());
  ASSERT_EQ(count, w_.GetLastPosition());
  // A visible record stops matching (and stays current, outside the
  // visible sequence: Next goes to end of file, Previous to the last match).
  const int32_t gone = m.vis[3];
  ASSERT_EQ(1, w_.Goto(gone));
  ASSERT_EQ(1, w_.WriteDouble(2, -50));
  rows_[static_cast<size_t>(gone)].qty = -50;
  EXPECT_EQ(count - 1, w_.GetLastPosition());
  EXPECT_EQ(0, w_.GetPosition());
  EXPECT_EQ(gone, w_.RecNo());
  EXPECT_EQ(1, w_.Previous());
  EXPECT_EQ(m.vis.back(), w_.RecNo());
  // An appended record that matches joins at its place.
  Append({"N1", 99, "20050505"});
  const int32_t added = static_cast<int32_t>(rows_.size()) - 1;
  EXPECT_EQ(count, w_.GetLastPosition());
  m.vis = Visible(1, false, holds);
  EXPECT_EQ(m.PositionOf(added), w_.GetPosition());
  EXPECT_EQ(m.vis, Forward(&w_));
  // Many writes waiting in the buffer, then the positions.
  Wdbase::FlushSet(0);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(1, w_.Top());
    rows_[static_cast<size_t>(w_.RecNo())].qty = -1;
    ASSERT_EQ(1, w_.WriteDouble(2, -1));
  }
  m.vis = Visible(1, false, holds);
  EXPECT_EQ(static_cast<int32_t>(m.vis.size()), w_.GetLastPosition());
  ASSERT_EQ(1, w_.Flush());
  Wdbase::FlushSet(1);
  EXPECT_EQ(m.vis, Forward(&w_));
  ASSERT_EQ(1, w_.SetPosition(5));
  EXPECT_EQ(m.vis[4], w_.RecNo());
}

TEST_F(SpecialFilterTest, AnotherHandleWritesAndTheFilterIsBuiltAgain) {
  Make(200);
  auto holds = [](const SpfRow& r) { return r.qty > 0; };
  ASSERT_EQ(1, w_.SelectIdx(3));
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", true, false));
  FilterModel m;
  m.vis = Visible(3, true, holds);
  ASSERT_EQ(m.vis, Forward(&w_));
  Wdbase other;
  ASSERT_TRUE(Define(&other));
  ASSERT_EQ(1, other.Open());
  for (int32_t r = 1; r <= 200; r += 7) {
    ASSERT_EQ(1, other.Goto(r));
    const double q = rows_[static_cast<size_t>(r)].qty > 0 ? -3 : 3;
    ASSERT_EQ(1, other.WriteDouble(2, q));
    rows_[static_cast<size_t>(r)].qty = q;
  }
  ASSERT_EQ(1, other.AppendBlank());
  ASSERT_EQ(1, other.WriteString(1, "ZZ"));
  ASSERT_EQ(1, other.WriteDouble(2, 7));
  ASSERT_EQ(1, other.WriteString(3, "20000101"));
  rows_.push_back({"ZZ    ", 7, "20000101"});
  m.vis = Visible(3, true, holds);
  EXPECT_EQ(static_cast<int32_t>(m.vis.size()), w_.GetLastPosition());
  EXPECT_EQ(m.vis, Forward(&w_));
  EXPECT_EQ(m.vis, Backward(&w_));
  // Pack (deleted records go) through the other handle.
  ASSERT_EQ(1, other.Goto(m.vis[0]));
  ASSERT_EQ(1, other.Delete());
  ASSERT_EQ(1, other.Flush());
  ASSERT_EQ(1, other.Pack());
  ASSERT_EQ(1, other.Close());
  EXPECT_EQ(static_cast<int32_t>(m.vis.size()) - 1, w_.GetLastPosition());
}

TEST_F(SpecialFilterTest, PackAndZapOfThisHandle) {
  Make(120);
  ASSERT_EQ(1, w_.SelectIdx(2));
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  const int32_t count = w_.GetLastPosition();
  ASSERT_GT(count, 10);
  // Three visible records deleted, then packed away: the records after
  // them get new numbers.
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(1, w_.SetPosition(2 + 3 * i));
    ASSERT_EQ(1, w_.Delete());
  }
  ASSERT_EQ(1, w_.Flush());
  ASSERT_EQ(1, w_.Pack());
  ASSERT_EQ(117, w_.RecCount());
  EXPECT_EQ(count - 3, w_.GetLastPosition());
  std::vector<int32_t> seen = Forward(&w_);
  ASSERT_EQ(static_cast<size_t>(count - 3), seen.size());
  double last = -1000;
  for (int32_t r : seen) {
    ASSERT_EQ(1, w_.Goto(r));
    EXPECT_GT(w_.ReadDouble(2), 0);
    EXPECT_GE(w_.ReadDouble(2), last);
    last = w_.ReadDouble(2);
  }
  ASSERT_EQ(1, w_.Zap());
  EXPECT_EQ(0, w_.GetLastPosition());
  EXPECT_EQ(0, w_.Top());
  EXPECT_TRUE(w_.SpecialFilterIsEnabled());
}

TEST_F(SpecialFilterTest, SeekInTheSpecialOrder) {
  Make(300);
  ASSERT_EQ(1, w_.SelectIdx(1));
  auto holds = [](const SpfRow& r) { return r.qty > 0; };
  for (bool inverted : {false, true}) {
    ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", inverted, false));
    const std::vector<int32_t> vis = Visible(1, inverted, holds);
    // The first visible record of a name in the order's direction.
    const std::string name = rows_[static_cast<size_t>(vis[10])].name;
    int32_t want = 0;
    for (int32_t r : vis) {
      if (rows_[static_cast<size_t>(r)].name == name) {
        want = r;
        break;
      }
    }
    EXPECT_EQ(1, w_.Seek(name.c_str())) << inverted;
    EXPECT_EQ(want, w_.RecNo());
  }
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  EXPECT_EQ(3, w_.Seek("ZZZ"));
  EXPECT_EQ(1, w_.Eof());
  EXPECT_EQ(2, w_.Seek("N0A"));
  // A numeric order sought by number.
  ASSERT_EQ(1, w_.SelectIdx(2));
  const std::vector<int32_t> by_qty = Visible(2, false, holds);
  EXPECT_EQ(2, w_.Seek(-5.0));
  EXPECT_EQ(by_qty[0], w_.RecNo());
  const double q = rows_[static_cast<size_t>(by_qty[3])].qty;
  EXPECT_EQ(1, w_.Seek(q));
  EXPECT_EQ(q, w_.ReadDouble(2));
}

}  // namespace
}  // namespace xbase32::testing
