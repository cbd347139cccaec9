// Data-set creation, the description file, version alignment and level
// positioning, below a temporary drives root.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "access/scoped_env_var.h"
#include "access/table_set_fixture.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_fvers_descr.h"
#include "mixtable/wy_maintenance.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/fault_env.h"
#include "testing/other_run.h"

namespace {

using mixtable::ScopedEnvVar;

platform::Env* env() { return platform::Env::Current(); }

std::string ReadAll(const std::string& path) {
  std::unique_ptr<platform::File> f;
  if (!env()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok())
    return "<missing>";
  std::string buf(10000, '\0');
  size_t got = 0;
  f->ReadAt(0, buf.data(), buf.size(), &got);
  buf.resize(got);
  return buf;
}

void WriteAll(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(
      env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

// Entries of a directory (names), for "nothing else was left" checks.
std::vector<std::string> Entries(const std::string& dir) {
  std::vector<platform::DirEntry> e;
  env()->ListDir(dir, "*.*", &e);
  std::vector<std::string> names;
  for (const auto& d : e) names.push_back(d.name);
  return names;
}

// A clock that says what the test wants.
class FixedClockEnv : public platform::EnvWrapper {
 public:
  explicit FixedClockEnv(int64_t now)
      : EnvWrapper(platform::Env::Current()), now_(now) {
    platform::Env::SetCurrent(this);
  }
  ~FixedClockEnv() override { platform::Env::SetCurrent(target()); }
  int64_t NowSeconds() override { return now_; }

 private:
  int64_t now_;
};

class CreateGDataTest : public ::testing::Test {
 protected:
  // On Windows c: is the host's drive, shared by every test of the run:
  // what these tests make there goes first (on Linux the drive is new).
  void SetUp() override {
    for (const char* dir :
         {"c:\\gdata", "c:\\gdata001", "c:\\set", "c:\\new", "c:\\kept",
          "c:\\big", "c:\\nothing", "c:\\outside", "c:\\x", "c:\\race0",
          "c:\\race1", "c:\\race2", "c:\\race3"}) {
      env()->DeleteTree(dir);
    }
    env()->DeleteFile("c:\\afile");
  }

  platform::ScopedTempDrives drives_;
  ScopedEnvVar no_local_{"LOCALDIR"};
  ScopedEnvVar no_cache_{"CACHEDIR"};
  CMixtableEx ts_;
};

TEST_F(CreateGDataTest, RefusesRootsAndReservedDirectories) {
  const std::string refused[] = {
      "C:\\",         "C:",        "c:\\\\",      "C",
      "gdata",        "/",         "\\gdata",     "c:\\gdata\\..\\x",
      "c:\\..\\x",    "c:\\local", "C:\\LOCAL\\", "c:\\wuser\\DBFCache",
      "C:\\GCSPACES",
  };
  std::vector<std::string> refused_here(std::begin(refused), std::end(refused));
#ifndef _WIN32
  // The drives root, what holds it and a drive's directory are roots on
  // Linux only: on Windows the drive letters are the host's own and these
  // are plain directories.
  for (const std::string& dir :
       {drives_.drives(), drives_.dir(), drives_.drives() + "/d",
        drives_.Host("drives/c/")}) {
    refused_here.push_back(dir);
  }
#endif
  for (const std::string& dir : refused_here) {
    EXPECT_EQ(ts_.CreateGData(dir.c_str(), "1.00  X", nullptr, 0), -1) << dir;
    EXPECT_EQ(ts_.GetDataDir(), "") << dir;
  }
  EXPECT_FALSE(env()->FileExists("c:\\x"));
  EXPECT_FALSE(env()->FileExists("c:\\gdata"));
  // A local directory named by LOCALDIR is refused as well.
  ScopedEnvVar local("LOCALDIR", "d:\\mylocal\\");
  EXPECT_EQ(ts_.CreateGData("D:\\MyLocal", "", nullptr, 0), -1);
}

TEST_F(CreateGDataTest, MakesANewDataSet) {
  ASSERT_EQ(
      ts_.CreateGData("  C:\\GDATA001\\  ", "1.00  Description", nullptr, 0),
      1);
  EXPECT_EQ(ts_.GetDataDir(), "C:\\GDATA001\\");  // one "\" only
  EXPECT_TRUE(env()->FileExists("c:\\gdata001\\PARAM.DBF"));
  EXPECT_TRUE(env()->FileExists("c:\\gdata001\\CNTS.DBF"));
  EXPECT_EQ(ReadAll("c:\\gdata001\\FVERS.DAT"), "1.00  Description");
  const uint32_t id = ts_.GetParamGdataId(false);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(ts_.GetParamGdataId(true), id);
  EXPECT_EQ(ts_.GetParamCodePage(), CMixtableEx::GetSystemCodePage());
  std::string value, comment, name, version, date, time;
  ASSERT_TRUE(ts_.GetParam("DATAID", value, comment));
  EXPECT_EQ(value.size(), 10u);  // "%010lu"
  EXPECT_TRUE(
      CMixtableEx::GetSignatureData(comment, name, version, date, time));
  EXPECT_EQ(ts_.GetGdataDescr(), "1.00  Description");
  // No work file beside it.
  for (const std::string& n : Entries("c:\\gdata001\\"))
    EXPECT_EQ(n.find(".TMP"), std::string::npos) << n;

  // A second creation keeps the identity and code page.
  ASSERT_TRUE(ts_.SetParamCodePage(437, "set by hand"));
  CMixtableEx again;
  ASSERT_EQ(again.CreateGData("c:\\gdata001", "2.00  Second", nullptr, 0), 1);
  EXPECT_EQ(again.GetParamGdataId(false), id);
  EXPECT_EQ(again.GetParamGdataId(true), id);
  EXPECT_EQ(again.GetParamCodePage(), 437u);
  EXPECT_EQ(ReadAll("c:\\gdata001\\FVERS.DAT"), "2.00  Second");
}

TEST_F(CreateGDataTest, TakesHostPathsAndTheDefault) {
  const std::string host = drives_.Host("sets/one/");
  ASSERT_EQ(ts_.CreateGData(host.c_str(), "", nullptr, 0), 1);
  EXPECT_EQ(ts_.GetDataDir(), drives_.Host("sets/one") + "\\");
  EXPECT_TRUE(env()->FileExists(drives_.Host("sets/one/PARAM.DBF")));
  EXPECT_FALSE(env()->FileExists(drives_.Host("sets/one/FVERS.DAT")));
  CMixtableEx def;
  ASSERT_EQ(def.CreateGData("   ", "1  Default", nullptr, 0), 1);
  EXPECT_EQ(def.GetDataDir(), "c:\\gdata\\");
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00  Default");
}

TEST_F(CreateGDataTest, AFailureLeavesNoNewDirectory) {
  ScopedEnvVar no_dictionary("KALVO_DCT", "c:\\missing\\DataBase.DCT");
  EXPECT_EQ(ts_.CreateGData("c:\\new\\deeper\\set", "1.00 X", nullptr, 0), -3);
  EXPECT_EQ(ts_.GetDataDir(), "");
  EXPECT_FALSE(env()->FileExists("c:\\new"));
  // An existing directory is never removed, nor what it held.
  ASSERT_TRUE(env()->CreateDir("c:\\kept").ok());
  WriteAll("c:\\kept\\NOTE.TXT", "mine");
  EXPECT_EQ(ts_.CreateGData("c:\\kept", "1.00 X", nullptr, 0), -3);
  EXPECT_EQ(ReadAll("c:\\kept\\NOTE.TXT"), "mine");
  // A directory that cannot be made: a file stands in its way.
  WriteAll("c:\\afile", "x");
  EXPECT_EQ(ts_.CreateGData("c:\\afile\\set", "", nullptr, 0), -1);
  EXPECT_EQ(ts_.GetDataDir(), "");
}

TEST_F(CreateGDataTest, BusyWhileAnotherRunOrAReaderHoldsTheSet) {
  ASSERT_EQ(ts_.CreateGData("c:\\set", "1.00  X", nullptr, 0), 1);
  const uint32_t id = ts_.GetParamGdataId(false);
  {
    mixtable_testing::OtherMaintenanceRun other("c:\\set");
    ASSERT_TRUE(other.ok());
    CMixtableEx again;
    EXPECT_EQ(again.CreateGData("c:\\set", "2.00  Y", nullptr, 0), -4);
    EXPECT_EQ(again.GetDataDir(), "");
  }
  {
    Wdbase reader;
    ASSERT_TRUE(reader.SetFiles("c:\\set\\", "param", 0, nullptr, nullptr));
    ASSERT_TRUE(reader.Open());
    CMixtableEx again;
    EXPECT_EQ(again.CreateGData("c:\\set", "2.00  Y", nullptr, 0), -4);
  }
  EXPECT_EQ(ReadAll("c:\\set\\FVERS.DAT"), "1.00  X");
  CMixtableEx after;
  after.SetDataDir("c:\\set");
  EXPECT_EQ(after.GetParamGdataId(false), id);
  EXPECT_FALSE(env()->FileExists("c:\\set\\$UPGRADE"));
}

TEST_F(CreateGDataTest, AFailedWriteLeavesParamAsItWas) {
  ASSERT_EQ(ts_.CreateGData("c:\\set", "1.00  X", nullptr, 0), 1);
  // A DATAID of 0 makes creation write a new identity.
  ASSERT_TRUE(ts_.SetParam("DATAID", "0", "zero"));
  ASSERT_TRUE(ts_.SetParam("ABS_DATAID", "77", "kept"));
  const std::string before = ReadAll("c:\\set\\PARAM.DBF");
  bool succeeded = false;
  int failures = 0;
  for (int n = 0; n < 400 && !succeeded; n += n < 16 ? 1 : 13) {
    int r = 0;
    {
      platform::FaultInjectionEnv faults(platform::Env::Current());
      platform::ScopedEnv use(&faults);
      faults.FailAfterWrites(n);
      CMixtableEx again;
      r = again.CreateGData("c:\\set", "", nullptr, 0);
    }
    if (r == 1) {
      succeeded = true;
      break;
    }
    ++failures;
    // Whatever the rollback could not restore under the fault, the next
    // run's recovery does.
    std::string note, error;
    ASSERT_EQ(Wy_MaintenanceGuard::Recover("c:\\set\\", &note, &error), 1)
        << error;
    EXPECT_EQ(ReadAll("c:\\set\\PARAM.DBF"), before) << "n=" << n;
    EXPECT_FALSE(env()->FileExists("c:\\set\\$UPGRADE")) << "n=" << n;
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GE(failures, 3);  // the guard's copies, the journal, PARAM itself
  CMixtableEx after;
  after.SetDataDir("c:\\set");
  EXPECT_NE(after.GetParamGdataId(false), 0u);
  EXPECT_EQ(after.GetParamGdataId(true), 77u);  // the family is kept
}

TEST_F(CreateGDataTest, BadParamValuesGetANewIdAndKeepTheFamily) {
  ASSERT_EQ(ts_.CreateGData("c:\\set", "", nullptr, 0), 1);
  struct Case {
    const char* dataid;
    const char* abs;
    bool abs_kept;
  };
  const Case cases[] = {{"abc", "1234567890", true},
                        {"-5", "-5", false},
                        {"12345678901234567890", "abc", false},
                        {"0000000000", "4000000000", true},
                        {" ", " ", false}};  // blank ("" writes nothing)
  for (const Case& c : cases) {
    ASSERT_TRUE(ts_.SetParam("DATAID", c.dataid, ""));
    ASSERT_TRUE(ts_.SetParam("ABS_DATAID", c.abs, ""));
    ASSERT_TRUE(ts_.SetParam("CODEPAGE", "abc", ""));
    CMixtableEx again;
    ASSERT_EQ(again.CreateGData("c:\\set", "", nullptr, 0), 1) << c.dataid;
    const uint32_t id = again.GetParamGdataId(false);
    EXPECT_NE(id, 0u) << c.dataid;
    if (c.abs_kept) {
      EXPECT_EQ(again.GetParamGdataId(true), std::stoul(c.abs)) << c.dataid;
    } else {
      EXPECT_EQ(again.GetParamGdataId(true), id) << c.dataid;
    }
    EXPECT_EQ(again.GetParamCodePage(), CMixtableEx::GetSystemCodePage());
  }
}

// args: data-set directory, ready marker, go marker. Creates the ready
// marker, waits for go, then creates the set; the exit status is
// CreateGData's answer + 10.
KALVO_CHILD_MAIN(create_gdata_race)(const std::vector<std::string>& args) {
  if (args.size() != 3) return 9;
  if (!platform::testing::SignalFile(args[1])) return 8;
  if (!platform::testing::WaitForFile(args[2])) return 7;
  CMixtableEx mine;
  return mine.CreateGData(args[0].c_str(), "1.00  Child", nullptr, 0) + 10;
}

TEST_F(CreateGDataTest, TwoProcessesCreatingTheSameSet) {
  for (int round = 0; round < 4; ++round) {
    const std::string dir = "c:\\race" + std::to_string(round) + "\\set";
    // Both start creating at the same moment: the child waits for go.
    const std::string ready = drives_.Host("ready" + std::to_string(round));
    const std::string go = drives_.Host("go" + std::to_string(round));
    std::unique_ptr<platform::Process> child;
    ASSERT_TRUE(platform::testing::StartChild("create_gdata_race",
                                              {dir, ready, go}, &child)
                    .ok());
    ASSERT_TRUE(platform::testing::WaitForFile(ready, 60000, child.get()));
    ASSERT_TRUE(platform::testing::SignalFile(go));
    CMixtableEx mine;
    const int r = mine.CreateGData(dir.c_str(), "1.00  Parent", nullptr, 0);
    const int rc = platform::testing::WaitChild(child.get()) - 10;
    // Each gets the set or is told the other one holds it; never both
    // refused, and the set stays whole.
    EXPECT_TRUE(r == 1 || r == -4) << r;
    EXPECT_TRUE(rc == 1 || rc == -4) << rc;
    EXPECT_TRUE(r == 1 || rc == 1);
    CMixtableEx after;
    after.SetDataDir(dir.c_str());
    EXPECT_NE(after.GetParamGdataId(false), 0u) << dir;
    EXPECT_EQ(after.GetParamGdataId(true), after.GetParamGdataId(false));
    EXPECT_FALSE(env()->FileExists(dir + "\\$UPGRADE"));
  }
}

TEST_F(CreateGDataTest, NewIdsSkipCataloguedValues) {
  // Above every id the other tests of this process made (new ids also
  // stay above those).
  FixedClockEnv clock(4100000000ll);
  std::string path = "C:\\A";
  ASSERT_GT(Wy_UpdateDatactl(4100000000u, 0, path.data(), "a"), 0);
  path = "C:\\B";
  ASSERT_GT(Wy_UpdateDatactl(5u, 4100000001u, path.data(), "b"), 0);
  std::string id;
  ASSERT_TRUE(CMixtableEx::CreateNewGdataId(id));
  EXPECT_EQ(id, "4100000002");
  // Same second again: still a new value.
  std::string next;
  ASSERT_TRUE(CMixtableEx::CreateNewGdataId(next));
  EXPECT_EQ(next, "4100000003");
}

TEST_F(CreateGDataTest, IdsAbove31BitsAreWholeAndPadded) {
  FixedClockEnv clock(4000000000ll);
  std::string id;
  ASSERT_TRUE(CMixtableEx::CreateNewGdataId(id));
  EXPECT_EQ(id.size(), 10u);
  EXPECT_GE(std::stoull(id), 4000000000ull);
  ASSERT_EQ(ts_.CreateGData("c:\\big", "", nullptr, 0), 1);
  EXPECT_GE(ts_.GetParamGdataId(false), 4000000000u);
}

class DescrTest : public SampleDataSetTest {};

TEST_F(DescrTest, WritesTheDocumentedBytes) {
  EXPECT_EQ(ts_.GetGdataDescr(), "");  // no file yet
  ASSERT_TRUE(ts_.SetGdataDescr(1.0, ""));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00");
  ASSERT_TRUE(ts_.SetGdataDescr(12.5, "Blue range"));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "12.50 Blue range");
  // No description: the current one is kept.
  ASSERT_TRUE(ts_.SetGdataDescr(2.0, nullptr));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "2.00  Blue range");
  ASSERT_TRUE(ts_.SetGdataDescr(3.0, "A description longer than 26 chars"));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "3.00  A description longer than");
  // Refused versions leave the file as it was.
  for (double bad : {-0.01, 99.995, 100.0, 1e300}) {
    EXPECT_FALSE(ts_.SetGdataDescr(bad, "x")) << bad;
  }
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "3.00  A description longer than");
  // Whole lines.
  EXPECT_TRUE(ts_.SetGdataDescr(""));
  EXPECT_TRUE(ts_.SetGdataDescr(static_cast<const char*>(nullptr)));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "3.00  A description longer than");
  ASSERT_TRUE(ts_.SetGdataDescr("4.5 Short"));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "4.50  Short");
  ASSERT_TRUE(ts_.SetGdataDescr("No version here"));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00  No version here");
  ASSERT_TRUE(ts_.SetGdataDescr("7"));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "7.00");
  // A line shorter than 6 characters has no description to keep.
  WriteAll("c:\\gdata\\FVERS.DAT", "1.5");
  ASSERT_TRUE(ts_.SetGdataDescr(2.0, nullptr));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "2.00");
  for (const std::string& n : Entries("c:\\gdata\\"))
    EXPECT_EQ(n.find(".TMP"), std::string::npos) << n;
  // Without a data directory (a failed creation leaves none).
  CMixtableEx none;
  EXPECT_EQ(none.CreateGData("C:\\", "", nullptr, 0), -1);
  EXPECT_FALSE(none.SetGdataDescr(1.0, "x"));
  EXPECT_FALSE(none.SetGdataDescr("1.00  x"));
  EXPECT_EQ(none.GetGdataDescr(), "");
}

TEST_F(DescrTest, AFailedWriteKeepsTheOldLine) {
  ASSERT_TRUE(ts_.SetGdataDescr(1.0, "Old"));
  for (unsigned op :
       {platform::FaultInjectionEnv::kRename,
        platform::FaultInjectionEnv::kWrite, platform::FaultInjectionEnv::kSync,
        platform::FaultInjectionEnv::kOpen}) {
    platform::FaultInjectionEnv faults(platform::Env::Current());
    platform::ScopedEnv use(&faults);
    faults.FailPath("FVERS", op, ENOSPC);
    EXPECT_FALSE(ts_.SetGdataDescr(2.0, "New")) << op;
  }
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00  Old");
  for (const std::string& n : Entries("c:\\gdata\\"))
    EXPECT_EQ(n.find(".TMP"), std::string::npos) << n;
}

TEST_F(DescrTest, ReadsBadFilesCalmly) {
  WriteAll("c:\\gdata\\FVERS.DAT", "1.00  First\r\nsecond line\r\n");
  EXPECT_EQ(ts_.GetGdataDescr(), "1.00  First");
  WriteAll("c:\\gdata\\FVERS.DAT", "1.00  Only CR\r");
  EXPECT_EQ(ts_.GetGdataDescr(), "1.00  Only CR");
  WriteAll("c:\\gdata\\FVERS.DAT", std::string(5000, 'x'));
  EXPECT_EQ(ts_.GetGdataDescr().size(), kFVersMaxLine);
  WriteAll("c:\\gdata\\FVERS.DAT", std::string("1.00  bin\0ary\x01\xff", 15));
  const std::string bin = ts_.GetGdataDescr();
  EXPECT_EQ(bin, "1.00  bin");
  WriteAll("c:\\gdata\\FVERS.DAT", "");
  EXPECT_EQ(ts_.GetGdataDescr(), "");
  // The version kept when only the version changes, from a 5000-byte line.
  WriteAll("c:\\gdata\\FVERS.DAT", "1.00  " + std::string(5000, 'y'));
  ASSERT_TRUE(ts_.SetGdataDescr(2.0, nullptr));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"),
            "2.00  " + std::string(kFVersDescrWidth, 'y'));
}

TEST_F(DescrTest, ConvertsBetweenCodePagesWhenParamDoes) {
  const std::string ansi = "Gr\xfcn";  // u-umlaut in the ANSI page
  const std::string oem = platform::AnsiToOem(ansi);
  ASSERT_NE(oem, ansi);
  ASSERT_TRUE(ts_.SetGdataDescr(1.0, ansi.c_str()));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00  " + oem);
  EXPECT_EQ(ts_.GetGdataDescr(), "1.00  " + ansi);
  ts_.Handle(Y_PARAM)->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  EXPECT_EQ(ts_.GetGdataDescr(), "1.00  " + oem);
  ASSERT_TRUE(ts_.SetGdataDescr(1.0, ansi.c_str()));
  EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), "1.00  " + ansi);
}

struct AlignCase {
  const char* dataid;
  const char* abs;
  const char* before;
  const char* after;
};

TEST_F(DescrTest, AlignsTheVersionWithTheDataId) {
  const AlignCase cases[] = {
      {"3014567805", "1234567890", "1.00  Blue", "1.05  Blue"},
      {"3014567805", "1234567890", "1.05  Blue", "1.05  Blue"},
      {"3014567805", "1234567890", "", "1.05"},
      {"3124567850", "1234567890", "1.00  x", "12.50 x"},
      // Ids above 2 147 483 647 read whole.
      {"3024567810", "3999912345", "1.00  y", "2.10  y"},
      // Nothing to align with: left as it is.
      {"42", "1234567890", "1.00  Blue", "1.00  Blue"},
      {"3014567805", "abc", "1.00  Blue", "1.00  Blue"},
      {"3014567805", "-5", "1.00  Blue", "1.00  Blue"},
      {"3014567805", "12345678901234567890", "1.00  Blue", "1.00  Blue"},
      {"abc", "1234567890", "1.00  Blue", "1.00  Blue"},
      {"3x14567805", "1234567890", "1.00  Blue", "1.00  Blue"},
  };
  for (const AlignCase& c : cases) {
    ASSERT_TRUE(ts_.SetParam("DATAID", c.dataid, ""));
    ASSERT_TRUE(ts_.SetParam("ABS_DATAID", c.abs, ""));
    WriteAll("c:\\gdata\\FVERS.DAT", c.before);
    EXPECT_TRUE(ts_.AlignGDataVersions()) << c.dataid << " " << c.abs;
    EXPECT_EQ(ReadAll("c:\\gdata\\FVERS.DAT"), c.after)
        << c.dataid << " " << c.abs;
  }
}

class LevelTest : public SampleDataSetTest {};

TEST_F(LevelTest, AlignTableAndLevelIds) {
  int32_t p = -1, s = -1;
  ASSERT_TRUE(ts_.AlignTable("c:\\gdata", 1, 2));
  EXPECT_EQ(ts_.GetDataDir(), "c:\\gdata\\");
  EXPECT_EQ(ts_.GetDataId(), 42u);
  ASSERT_TRUE(ts_.GetLevelIDs(p, s));
  EXPECT_EQ(p, 1);
  EXPECT_EQ(s, 2);
  ASSERT_TRUE(ts_.AlignTable("c:\\gdata\\", 2, 0));
  ASSERT_TRUE(ts_.GetLevelIDs(p, s));
  EXPECT_EQ(p, 2);
  EXPECT_EQ(s, 0);
  ASSERT_TRUE(ts_.AlignTable("c:\\gdata\\", 0, 0));
  ASSERT_TRUE(ts_.GetLevelIDs(p, s));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(s, 0);
  EXPECT_FALSE(ts_.AlignTable("c:\\gdata\\", 9, 0));
  EXPECT_FALSE(ts_.AlignTable("c:\\gdata\\", 1, 9));
  EXPECT_FALSE(ts_.AlignTable("c:\\nothing\\", 1, 0));

  // From another table set.
  ts_.SetDataDir("c:\\gdata\\");
  Position(1, 1);
  CMixtableEx other;
  ASSERT_TRUE(other.AlignTable(ts_.Mixtable()));
  ASSERT_TRUE(other.GetLevelIDs(p, s));
  EXPECT_EQ(p, 1);
  EXPECT_EQ(s, 1);
  ts_.CloseAll();
  ASSERT_TRUE(other.AlignTable(ts_.Mixtable()));
  ASSERT_TRUE(other.GetLevelIDs(p, s));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(s, 0);
}

TEST_F(LevelTest, PhysicalLevelOfATable) {
  struct Case {
    int32_t prd, spd;
    int32_t want_prd, want_spd;
    const char* dir;
  };
  const Case cases[] = {
      {1, 1, 1, 1, "c:\\gdata\\P1\\S1\\"},
      {1, 2, 1, 0, "c:\\gdata\\P1\\"},
      {2, 1, 0, 0, "c:\\gdata\\"},
      {0, 0, 0, 0, "c:\\gdata\\"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ts_.AlignTable("c:\\gdata\\", c.prd, c.spd));
    int32_t p = -1, s = -1;
    std::string dir;
    ASSERT_TRUE(ts_.GetDbPhisicalLevelIDs(Y_FRM, &p, &s, &dir)) << c.prd;
    EXPECT_EQ(p, c.want_prd);
    EXPECT_EQ(s, c.want_spd);
    EXPECT_EQ(strcasecmp(dir.c_str(), c.dir), 0) << dir;
    // The caller's positions are untouched.
    int32_t p2 = -1, s2 = -1;
    ts_.GetLevelIDs(p2, s2);
    EXPECT_EQ(p2, c.prd);
    EXPECT_EQ(s2, c.spd);
  }
  int32_t p = 0, s = 0;
  EXPECT_FALSE(ts_.GetDbPhisicalLevelIDs(-1, &p, &s, nullptr));
  EXPECT_FALSE(ts_.GetDbPhisicalLevelIDs(Y_N_MAX, &p, &s, nullptr));
  EXPECT_FALSE(ts_.GetDbPhisicalLevelIDs(Y_FRM, nullptr, &s, nullptr));
  ASSERT_TRUE(ts_.AlignTable("c:\\gdata\\", 1, 1));
  std::string dir;
  EXPECT_FALSE(ts_.GetDbPhisicalLevelIDs(Y_UCOAT, &p, &s, &dir));
  EXPECT_EQ(strcasecmp(dir.c_str(), "c:\\gdata\\"), 0);  // the last tried
}

TEST_F(LevelTest, AnEscapingPathIsNotFound) {
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  ASSERT_TRUE(b.AddProduct(4, "..\\outside", "EVIL")) << b.error();
  ASSERT_TRUE(env()->CreateDir("c:\\outside").ok());
  WriteAll("c:\\outside\\FRM.DBF", "not even a table");
  EXPECT_FALSE(ts_.AlignTable("c:\\gdata\\", 4, 1));
  ASSERT_TRUE(ts_.AlignTable("c:\\gdata\\", 4, 0));
  int32_t p = -1, s = -1;
  std::string dir;
  ASSERT_TRUE(ts_.GetDbPhisicalLevelIDs(Y_FRM, &p, &s, &dir));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(strcasecmp(dir.c_str(), "c:\\gdata\\"), 0);
}

}  // namespace
