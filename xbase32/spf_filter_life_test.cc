// Special filters: their files (names, leftovers of a crashed process,
// deletion by Quit, Close and the destructor, another process at the same
// time), bad conditions, tables too large, long conditions through an
// expression token, locks, the record filter beside them, and the
// condition and direction queries.

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "ntx_format.h"
#include "spf_filter_fixture.h"

namespace xbase32::testing {
namespace {

int HideAll(const Wdbase*) { return 1; }
int HideOdd(const Wdbase* w) { return w->RecNo() % 2; }

auto Positive = [](const SpfRow& r) { return r.qty > 0; };

class SpecialFilterLifeTest : public SpecialFilterFixture {};

TEST_F(SpecialFilterLifeTest, FilesLiveOnlyWhileTheFilterIsActive) {
  Make(60);
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  std::vector<std::string> files = SpfFiles();
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ(0u, files[0].find("SPF0"));
  EXPECT_EQ(12u, files[0].size());
  // Every order selected gets its own file; the same condition keeps them.
  ASSERT_EQ(1, w_.SelectIdx(2));
  EXPECT_TRUE(w_.SpecialFilterIsEnabled());
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  ASSERT_EQ(1, w_.SelectIdx(3));
  files = SpfFiles();
  ASSERT_EQ(3u, files.size());
  std::set<char> digits;
  for (const std::string& f : files) digits.insert(f[3]);
  EXPECT_EQ(std::set<char>({'0', '2', '3'}), digits);
  EXPECT_EQ(Visible(3, false, Positive), Forward(&w_));
  // Back to an order with a file: kept as it is.
  ASSERT_EQ(1, w_.SelectIdx(0));
  EXPECT_EQ(3u, SpfFiles().size());
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
  // Another condition starts again; reset too.
  ASSERT_TRUE(w_.SpecialFilterInit("QTY < 0", false, false));
  EXPECT_EQ(1u, SpfFiles().size());
  ASSERT_EQ(1, w_.SelectIdx(1));
  EXPECT_EQ(2u, SpfFiles().size());
  ASSERT_TRUE(w_.SpecialFilterInit("QTY < 0", false, true));
  EXPECT_EQ(1u, SpfFiles().size());
  // Quit deletes them all.
  EXPECT_TRUE(w_.SpecialFilterQuit());
  EXPECT_TRUE(SpfFiles().empty());
  EXPECT_FALSE(w_.SpecialFilterIsEnabled());
  // So do Close and the destructor.
  ASSERT_TRUE(w_.SpecialFilterInit("QTY < 0", false, false));
  ASSERT_EQ(1, w_.Close());
  EXPECT_TRUE(SpfFiles().empty());
  EXPECT_FALSE(w_.SpecialFilterIsEnabled());
  {
    Wdbase other;
    ASSERT_TRUE(Define(&other));
    ASSERT_EQ(1, other.Open());
    ASSERT_EQ(1, other.SelectIdx(2));
    ASSERT_TRUE(other.SpecialFilterInit("QTY < 0", true, false));
    EXPECT_EQ(1u, SpfFiles().size());
  }
  EXPECT_TRUE(SpfFiles().empty());
  // Calling twice gives back the first direction.
  ASSERT_EQ(1, w_.Open());
  ASSERT_EQ(1, w_.SelectIdx(1));
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  ASSERT_TRUE(w_.SpecialFilterChangeOrder());
  EXPECT_TRUE(w_.SpecialFilterIsInverted());
  EXPECT_EQ(Visible(1, true, Positive), Forward(&w_));
  ASSERT_TRUE(w_.SpecialFilterChangeOrder());
  EXPECT_FALSE(w_.SpecialFilterIsInverted());
  EXPECT_EQ(Visible(1, false, Positive), Forward(&w_));
  EXPECT_EQ(1u, SpfFiles().size());
  EXPECT_TRUE(w_.SpecialFilterReinit(true));
  EXPECT_TRUE(w_.SpecialFilterReinit(false));
  EXPECT_EQ(1u, SpfFiles().size());
}

TEST_F(SpecialFilterLifeTest, LeftoversOfACrashedProcessDoNotDisturb) {
  Make(30);
  // Every name the clock can give order 0 around now, with foreign
  // content: the clock's name is taken, another one is made up.
  std::set<std::string> leftovers;
  const platform::LocalTime now = platform::Env::Current()->Now();
  for (int m = now.minute - 1; m <= now.minute + 2; ++m) {
    for (int s = 0; s < 60; ++s) {
      char name[16];
      std::snprintf(name, sizeof name, "SPF0%02d%02d.NTX", (m + 60) % 60, s);
      ASSERT_TRUE(WriteAll(dir_ + name, "left over"));
      leftovers.insert(name);
    }
  }
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
  std::vector<std::string> files = SpfFiles();
  ASSERT_EQ(leftovers.size() + 1, files.size());
  ASSERT_TRUE(w_.SpecialFilterQuit());
  files = SpfFiles();
  EXPECT_EQ(leftovers, std::set<std::string>(files.begin(), files.end()));
  EXPECT_EQ("left over", ReadAll(dir_ + *leftovers.begin()));
}

TEST_F(SpecialFilterLifeTest, BadConditionsLeaveNothing) {
  Make(20);
  struct Bad {
    const char* cond;
    int code;
  };
  for (const Bad& b : {Bad{"QTY >", -410}, Bad{"QTY", -460},
                       Bad{"NOFIELD > 1", -210}, Bad{"NAME = 'A", -500}}) {
    ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
    EXPECT_FALSE(w_.SpecialFilterInit(b.cond, false, false)) << b.cond;
    EXPECT_EQ(b.code, Wdbase::LastErrorCode()) << b.cond;
    EXPECT_FALSE(w_.SpecialFilterIsEnabled());
    EXPECT_TRUE(SpfFiles().empty());
    // Navigation is plain again.
    EXPECT_EQ(20, w_.GetLastPosition());
  }
  EXPECT_FALSE(w_.SpecialFilterInit("", false, false));
  EXPECT_FALSE(w_.SpecialFilterInit(nullptr, false, false));
  EXPECT_FALSE(w_.SpecialFilterReinit(true));
  EXPECT_FALSE(w_.SpecialFilterChangeOrder());
  EXPECT_FALSE(w_.SpecialFilterRebuild());
  ASSERT_EQ(1, w_.Close());
  EXPECT_FALSE(w_.SpecialFilterInit("QTY > 0", false, false));
  EXPECT_TRUE(SpfFiles().empty());
}

TEST_F(SpecialFilterLifeTest, TablesOf100000RecordsAreRefused) {
  Wdbase big;
  ASSERT_EQ(1, big.SetFiles(dir_.c_str(), "big", 0, nullptr, nullptr));
  auto f = Fields({Fld("C", 'C', 1)});
  ASSERT_EQ(1, big.CreateDb(f.data()));
  // The records written in one piece behind the header.
  std::string bytes = ReadAll(dir_ + "big.dbf");
  ASSERT_GT(bytes.size(), 32u);
  const size_t header =
      static_cast<uint8_t>(bytes[8]) |
      (static_cast<size_t>(static_cast<uint8_t>(bytes[9])) << 8);
  bytes.resize(header);
  for (int i = 0; i < 99999; ++i) bytes += " A";
  std::string with_one_less = bytes + "\x1a";
  ASSERT_TRUE(WriteAll(dir_ + "big.dbf", with_one_less));
  ASSERT_EQ(1, big.Open());
  ASSERT_EQ(99999, big.RecCount());
  EXPECT_TRUE(big.SpecialFilterInit("C = 'A'", false, false));
  EXPECT_EQ(99999, big.GetLastPosition());
  ASSERT_EQ(1, big.SetPosition(99999));
  EXPECT_EQ(99999, big.RecNo());
  ASSERT_EQ(1, big.Close());
  bytes += " A\x1a";
  ASSERT_TRUE(WriteAll(dir_ + "big.dbf", bytes));
  ASSERT_EQ(1, big.Open());
  ASSERT_EQ(100000, big.RecCount());
  EXPECT_FALSE(big.SpecialFilterInit("C = 'A'", false, false));
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  EXPECT_TRUE(SpfFiles().empty());
}

TEST_F(SpecialFilterLifeTest, AFailedRefreshKeepsTheFilterAndShowsNothing) {
  Wdbase big;
  ASSERT_EQ(1, big.SetFiles(dir_.c_str(), "big", 0, nullptr, nullptr));
  auto f = Fields({Fld("C", 'C', 1)});
  ASSERT_EQ(1, big.CreateDb(f.data()));
  std::string bytes = ReadAll(dir_ + "big.dbf");
  const size_t header =
      static_cast<uint8_t>(bytes[8]) |
      (static_cast<size_t>(static_cast<uint8_t>(bytes[9])) << 8);
  bytes.resize(header);
  for (int i = 0; i < 99999; ++i) bytes += i % 2 ? " B" : " A";
  ASSERT_TRUE(WriteAll(dir_ + "big.dbf", bytes + "\x1a"));
  ASSERT_EQ(1, big.Open());
  ASSERT_TRUE(big.SpecialFilterInit("C = 'A'", false, false));
  ASSERT_EQ(1, big.Top());
  ASSERT_EQ(1, big.Next());
  EXPECT_EQ(3, big.RecNo());

  // Another handle grows the table to the limit.
  Wdbase other;
  ASSERT_EQ(1, other.SetFiles(dir_.c_str(), "big", 0, nullptr, nullptr));
  ASSERT_EQ(1, other.Open());
  ASSERT_EQ(1, other.AppendBlank());
  ASSERT_EQ(1, other.WriteString("C", "B"));
  ASSERT_EQ(1, other.Close());

  EXPECT_EQ(0, big.Next());
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  EXPECT_EQ(1, big.Eof());
  // Still in force: no record, not every record, until the caller ends it.
  EXPECT_TRUE(big.SpecialFilterIsEnabled());
  EXPECT_EQ(0, big.Top());
  EXPECT_EQ(1, big.Eof());
  EXPECT_EQ(0, big.Next());
  EXPECT_EQ(0, big.Bottom());
  EXPECT_EQ(0, big.Goto(2));
  EXPECT_EQ(0, big.GetLastPosition());
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
  ASSERT_TRUE(big.SpecialFilterQuit());
  ASSERT_EQ(1, big.Goto(2));
  EXPECT_EQ(100000, big.GetLastPosition());
  ASSERT_EQ(1, big.Close());
  EXPECT_TRUE(SpfFiles().empty());
}

TEST_F(SpecialFilterLifeTest, LongConditionsGoThroughAnExpressionToken) {
  Make(80);
  std::string text = "QTY > 0";
  for (int i = 0; text.size() < 300; ++i) {
    text += " .AND. NAME # 'X" + std::to_string(i) + "'";
  }
  // Directly, the key expression would be too long: refused, no file.
  EXPECT_FALSE(w_.SpecialFilterInit(text.c_str(), false, false));
  EXPECT_EQ(-310, Wdbase::LastErrorCode());
  EXPECT_TRUE(SpfFiles().empty());
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  char token[32];
  ASSERT_TRUE(w_.StringToPtr(buf.data(), token, true));
  const std::string cond = std::string("\"") + token + "\"!\" \"";
  ASSERT_TRUE(w_.SpecialFilterInit(cond.c_str(), false, false));
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
  // Writes are judged through the token as well.
  ASSERT_EQ(1, w_.Top());
  const int32_t r = w_.RecNo();
  ASSERT_EQ(1, w_.WriteDouble(2, -1));
  rows_[static_cast<size_t>(r)].qty = -1;
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
}

TEST_F(SpecialFilterLifeTest, LockTakesTheSpecialIndexes) {
  Make(50);
  EXPECT_FALSE(w_.SpecialFilterLock());
  EXPECT_FALSE(w_.SpecialFilterUnlock());
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  const std::vector<std::string> files = SpfFiles();
  ASSERT_EQ(1u, files.size());
  std::unique_ptr<platform::File> spf;
  ASSERT_TRUE(
      platform::Env::Current()
          ->OpenFile(dir_ + files[0], platform::OpenMode::kReadOnly, &spf)
          .ok());
  auto held = [&] {
    const platform::LockResult r =
        spf->TryLock(ntx::kLockOffset, ntx::kLockLength);
    if (r == platform::LockResult::kLocked) {
      spf->Unlock(ntx::kLockOffset, ntx::kLockLength);
    }
    return r == platform::LockResult::kBusy;
  };
  EXPECT_FALSE(held());
  EXPECT_TRUE(w_.SpecialFilterLock());
  EXPECT_TRUE(held());
  EXPECT_TRUE(w_.SpecialFilterUnlock());
  EXPECT_FALSE(held());
  // Lock holds it across writes that take and release the index locks.
  ASSERT_EQ(1, w_.Lock());
  EXPECT_TRUE(held());
  const int32_t count = w_.GetLastPosition();
  Append({"N1", 5, "20010101"});
  EXPECT_TRUE(held());
  EXPECT_EQ(count + 1, w_.GetLastPosition());
  ASSERT_EQ(1, w_.Unlock());
  EXPECT_FALSE(held());
  // Another handle can lock the table now; Rebuild ends a Lock.
  Wdbase other;
  ASSERT_TRUE(Define(&other));
  ASSERT_EQ(1, other.Open());
  ASSERT_EQ(1, other.Lock());
  ASSERT_EQ(1, other.Unlock());
  ASSERT_EQ(1, w_.Lock());
  EXPECT_TRUE(w_.SpecialFilterRebuild());
  EXPECT_FALSE(held());
  ASSERT_EQ(1, other.Lock());
  ASSERT_EQ(1, other.Unlock());
  EXPECT_EQ(count + 1, w_.GetLastPosition());
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
}

TEST_F(SpecialFilterLifeTest, TheRecordFilterWaitsWhileASpecialFilterIsActive) {
  Make(40);
  ASSERT_EQ(1, w_.SetFilter(HideOdd, 4));
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  EXPECT_EQ(Visible(0, false, Positive), Forward(&w_));
  EXPECT_EQ(1, w_.AligneFilterCache());
  EXPECT_EQ(0, w_.FillFilterCacheFromCurrentPosition());
  // A new record filter is not installed meanwhile.
  EXPECT_EQ(1, w_.SetFilter(HideAll));
  EXPECT_EQ(HideOdd, w_.GetFilter());
  ASSERT_TRUE(w_.SpecialFilterQuit());
  std::vector<int32_t> even;
  for (int32_t r = 2; r <= 40; r += 2) even.push_back(r);
  EXPECT_EQ(even, Forward(&w_));
}

TEST_F(SpecialFilterLifeTest, ConditionAndDirectionQueries) {
  Make(10);
  char cond[256];
  bool inverted = false;
  EXPECT_FALSE(w_.SpecialFilterGetExprData(cond, &inverted));
  EXPECT_FALSE(w_.SpecialFilterIsInverted());
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", true, false));
  EXPECT_TRUE(w_.SpecialFilterGetExprData(cond, &inverted));
  EXPECT_STREQ("QTY > 0", cond);
  EXPECT_TRUE(inverted);
  EXPECT_FALSE(w_.SpecialFilterGetExprData(nullptr, &inverted));
  EXPECT_FALSE(w_.SpecialFilterGetExprData(cond, nullptr));
  char small[7];
  EXPECT_FALSE(w_.SpecialFilterGetExprData(small, sizeof small, &inverted));
  EXPECT_STREQ("", small);
  char exact[8];
  EXPECT_TRUE(w_.SpecialFilterGetExprData(exact, sizeof exact, &inverted));
  EXPECT_STREQ("QTY > 0", exact);
  // The flag belongs to the order.
  ASSERT_EQ(1, w_.SelectIdx(1));
  EXPECT_FALSE(w_.SpecialFilterIsInverted());
  ASSERT_EQ(1, w_.SelectIdx(0));
  EXPECT_TRUE(w_.SpecialFilterIsInverted());
}

// args: dir, count. Another process filters table t with the same
// condition while the test's filter lives, then appends a matching record.
KALVO_CHILD_MAIN(spf_other_filter)(const std::vector<std::string>& args) {
  ChildSetUp();
  if (args.size() != 2) return 9;
  const int32_t count = std::stoi(args[1]);
  const char* names[] = {"byname", "byqty", "byborn", "bytwice"};
  const char* exprs[] = {"NAME", "QTY", "BORN", "QTY*2"};
  Wdbase o;
  if (o.SetFiles(args[0].c_str(), "t", 4, names, exprs) != 1 || !o.Open()) {
    return 1;
  }
  // Within the same second the clock name is the same: the child takes
  // another.
  if (!o.SpecialFilterInit("QTY > 0", false, false)) return 2;
  std::vector<platform::DirEntry> spf;
  platform::Env::Current()->ListDir(args[0], "SPF*.NTX", &spf);
  if (spf.size() != 2) return 3;
  if (o.GetLastPosition() != count) return 4;
  if (!o.AppendBlank() || !o.WriteDouble(2, 50)) return 5;
  if (o.GetLastPosition() != count + 1) return 6;
  return o.Close() ? 0 : 7;
}

TEST_F(SpecialFilterLifeTest, TwoProcessesFilterTheSameTable) {
  Make(100);
  ASSERT_TRUE(w_.SpecialFilterInit("QTY > 0", false, false));
  const std::vector<std::string> mine = SpfFiles();
  ASSERT_EQ(1u, mine.size());
  const int32_t count = w_.GetLastPosition();
  ASSERT_EQ(0, RunChild("spf_other_filter", {dir_, std::to_string(count)}));
  EXPECT_EQ(mine, SpfFiles());
  EXPECT_EQ(count + 1, w_.GetLastPosition());
  ASSERT_EQ(1, w_.Bottom());
  EXPECT_EQ(101, w_.RecNo());
}

}  // namespace
}  // namespace xbase32::testing
