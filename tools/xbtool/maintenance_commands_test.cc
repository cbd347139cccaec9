// xbtool pack, zap, memo, addfield, rmfield and copy.

#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"
#include "platform/testing/temp_drives.h"
#include "xbase32/wdbase.h"

namespace xbtool {
namespace {

class MaintenanceCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t_ = drives_.Host("stock.dbf");
    ASSERT_EQ(0, Create(t_, {"NAME:C:6", "QTY:N:4:1", "NOTES:M"}, out_, err_))
        << err_.str();
    for (const char* v : {"A", "B", "C", "D", "E"}) {
      ASSERT_EQ(0,
                Append(t_, {std::string("NAME=") + v, "QTY=1.5"}, out_, err_))
          << err_.str();
    }
  }
  std::string DumpCsv(const std::string& table) {
    std::ostringstream out, err;
    EXPECT_EQ(0, Dump(table, true, out, err)) << err.str();
    return out.str();
  }
  // Runs a command and answers its output (or "error: ..." when it failed).
  template <typename F>
  std::string Run(F command) {
    std::ostringstream out, err;
    const int rc = command(out, err);
    return rc == 0 ? out.str() : "error: " + err.str();
  }

  platform::ScopedTempDrives drives_;
  std::string t_;
  std::ostringstream out_, err_;
};

TEST_F(MaintenanceCommandsTest, MemoTextsPrintedAndSet) {
  const std::string text = "Grün\nzweite Zeile";
  EXPECT_EQ(text + "\n", Run([&](auto& o, auto& e) {
              return Memo(t_, 2, "notes", &text, o, e);
            }));
  EXPECT_EQ(text + "\n", Run([&](auto& o, auto& e) {
              return Memo(t_, 2, "NOTES", nullptr, o, e);
            }));
  EXPECT_EQ("", Run([&](auto& o, auto& e) {
              return Memo(t_, 1, "NOTES", nullptr, o, e);
            }));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return Memo(t_, 9, "NOTES", nullptr, o, e);
                               }).find("no record 9"));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return Memo(t_, 1, "NAME", nullptr, o, e);
                               }).find("no memo field"));
}

TEST_F(MaintenanceCommandsTest, PackAndZap) {
  {
    std::ostringstream out, err;
    ASSERT_EQ(0, Append(t_, {"NAME=F"}, out, err));
  }
  EXPECT_EQ(
      "zapped " + t_ + ": 2 records removed, 4 left\n",
      Run([&](auto& o, auto& e) { return Zap(t_, true, 2, 3, "", o, e); }));
  EXPECT_EQ("_FLAG,NAME,QTY,NOTES\n ,A,1.5,\n ,D,1.5,\n ,E,1.5,\n ,F,,\n",
            DumpCsv(t_));
  {
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(nullptr, t_.c_str(), 0, nullptr, nullptr));
    ASSERT_EQ(1, w.Open());
    ASSERT_EQ(1, w.Goto(2));
    ASSERT_EQ(1, w.Delete());
  }
  EXPECT_EQ("packed " + t_ + ": 3 of 4 records kept\n",
            Run([&](auto& o, auto& e) { return Pack(t_, "", o, e); }));
  EXPECT_EQ("_FLAG,NAME,QTY,NOTES\n ,A,1.5,\n ,E,1.5,\n ,F,,\n", DumpCsv(t_));
  EXPECT_EQ(
      "zapped " + t_ + ": 3 records removed, 0 left\n",
      Run([&](auto& o, auto& e) { return Zap(t_, false, 0, 0, "", o, e); }));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return Zap(t_, true, -1, 3, "", o, e);
                               }).find("-930"));
}

TEST_F(MaintenanceCommandsTest, PackRebuildsTheGivenIndex) {
  const std::string ix = drives_.Host("byname.ntx");
  ASSERT_EQ(0, Index(t_, ix, "NAME", out_, err_)) << err_.str();
  EXPECT_EQ(
      "zapped " + t_ + ": 1 records removed, 4 left\n",
      Run([&](auto& o, auto& e) { return Zap(t_, true, 1, 1, ix, o, e); }));
  std::ostringstream out, err;
  EXPECT_EQ(0, Check(t_, ix, out, err)) << err.str() << out.str();
}

TEST_F(MaintenanceCommandsTest, AddAndRemoveFields) {
  EXPECT_EQ("added BORN as field 1 of 4\n", Run([&](auto& o, auto& e) {
              return AddField(t_, 1, "born:d", o, e);
            }));
  EXPECT_EQ("added PRICE as field 5 of 5\n", Run([&](auto& o, auto& e) {
              return AddField(t_, 0, "PRICE:N:8:2", o, e);
            }));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return AddField(t_, 0, "NAME:C:3", o, e);
                               }).find("exists already"));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return AddField(t_, 0, "X:Q:3", o, e);
                               }).find("cannot add"));
  EXPECT_EQ("removed QTY, 4 fields left\n",
            Run([&](auto& o, auto& e) { return RemoveField(t_, 3, o, e); }));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return RemoveField(t_, 7, o, e);
                               }).find("no field 7"));
  EXPECT_EQ(
      "_FLAG,BORN,NAME,NOTES,PRICE\n ,,A,,\n ,,B,,\n ,,C,,\n ,,D,,\n"
      " ,,E,,\n",
      DumpCsv(t_));
}

TEST_F(MaintenanceCommandsTest, CopyIntoNewAndExistingTables) {
  const std::string copy = drives_.Host("copy.dbf");
  EXPECT_EQ("copied 5 records from " + t_ + " to " + copy + "\n",
            Run([&](auto& o, auto& e) {
              return Copy(t_, copy, {"QTY:C:5", "NAME:C:2"}, o, e);
            }));
  EXPECT_EQ("_FLAG,QTY,NAME\n ,1.5,A\n ,1.5,B\n ,1.5,C\n ,1.5,D\n ,1.5,E\n",
            DumpCsv(copy));
  // Into the existing table again; fields may not be given then.
  EXPECT_EQ("copied 5 records from " + t_ + " to " + copy + "\n",
            Run([&](auto& o, auto& e) { return Copy(t_, copy, {}, o, e); }));
  EXPECT_NE(std::string::npos, Run([&](auto& o, auto& e) {
                                 return Copy(t_, copy, {"A:C:1"}, o, e);
                               }).find("exists"));
  // Without fields a new table gets the source's.
  const std::string same = drives_.Host("same.dbf");
  EXPECT_EQ("copied 5 records from " + t_ + " to " + same + "\n",
            Run([&](auto& o, auto& e) { return Copy(t_, same, {}, o, e); }));
  EXPECT_EQ(DumpCsv(t_), DumpCsv(same));
}

}  // namespace
}  // namespace xbtool
