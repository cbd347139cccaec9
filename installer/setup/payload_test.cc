// The payload of a package: name rules, the refusal of escaping or damaged
// archives before anything is written, unpacking round trips, and the setup
// program's exits and completion marker.

#include "payload.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "installer/install_engine.h"
#include "payload_test_util.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"
#include "setup_program.h"

namespace {

platform::Env* E() { return platform::Env::Current(); }

using payload_testing::Contents;
using payload_testing::Entry;
using payload_testing::Host;
using payload_testing::MakeArchive;
using payload_testing::Snapshot;

void Write(const std::string& path, const std::string& text) {
  ASSERT_TRUE(payload_testing::Write(path, text)) << path;
}

class PayloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(drives_.dir().empty());
    root_ = drives_.dir();
    mkdir(drives_.drives().c_str(), 0755);
    mkdir((drives_.drives() + "/c").c_str(), 0755);
  }
  // A small tree in d:\src.
  void SourceTree() {
    Write("d:\\src\\PRODUCTS.DBF", "products");
    Write("d:\\src\\P1\\SUBPRODS.DBF", "subprods");
    Write("d:\\src\\P1\\S1\\FRM.DBF", std::string(200000, 'f'));
    Write("d:\\src\\P1\\S1\\EMPTY.DAT", "");
    mkdir(Host("d:\\src\\P2").c_str(), 0755);
  }
  platform::ScopedTempDrives drives_;
  std::string root_;
};

TEST(PayloadNameTest, Rules) {
  struct Case {
    const char* name;
    const char* rel;  // null: refused
  } cases[] = {
      {"PRODUCTS.DBF", "PRODUCTS.DBF"},
      {"P1/S1/FRM.DBF", "P1\\S1\\FRM.DBF"},
      {"./P1/", "P1"},
      {"./", ""},
      {"P1//X", "P1\\X"},
      {"", nullptr},
      {"/etc/passwd", nullptr},
      {"\\x", nullptr},
      {"../x", nullptr},
      {"P1/../../x", nullptr},
      {"P1\\..\\x", nullptr},
      {"C:x", nullptr},
      {"c:/x", nullptr},
      {"a\x01", nullptr},
      {"a*b", nullptr},
      {"dir./x", nullptr},
      {"x ", nullptr},
  };
  for (const Case& c : cases) {
    std::string rel, why;
    bool ok = setup::PayloadNameOk(c.name, &rel, &why);
    EXPECT_EQ(ok, c.rel != nullptr) << c.name << ": " << why;
    if (ok && c.rel) {
      EXPECT_EQ(rel, c.rel) << c.name;
    }
    if (!ok) {
      EXPECT_FALSE(why.empty()) << c.name;
    }
  }
  EXPECT_FALSE(setup::PayloadNameOk(std::string(300, 'a'), nullptr, nullptr));
}

TEST_F(PayloadTest, RoundTripIsExactAndDeterministic) {
  SourceTree();
  setup::PayloadSummary sum;
  std::string why;
  ASSERT_TRUE(setup::WritePayload("d:\\src", "d:\\p1.tgz", &sum, &why)) << why;
  EXPECT_EQ(sum.files, 4u);
  EXPECT_EQ(sum.dirs, 3u);
  EXPECT_EQ(sum.bytes, 8u + 8u + 200000u);
  ASSERT_TRUE(setup::WritePayload("d:\\src", "d:\\p2.tgz", nullptr, &why));
  EXPECT_EQ(Contents("d:\\p1.tgz"), Contents("d:\\p2.tgz"));
  // gzip magic, no time stamp (bytes 4..7 zero).
  std::string bytes = Contents("d:\\p1.tgz");
  ASSERT_GT(bytes.size(), 10u);
  EXPECT_EQ(bytes.substr(0, 2), "\x1f\x8b");
  EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0'));

  std::vector<unsigned> progress;
  static std::vector<unsigned>* sink;
  sink = &progress;
  platform::ProgressHook old =
      platform::SetProgressHook([](const void*, unsigned msg, int64_t,
                                   const char*) { sink->push_back(msg); });
  setup::ExtractOptions opt;
  opt.progress = true;
  bool ok =
      setup::ExtractPayload("d:\\p1.tgz", "c:\\GDATA001", opt, &sum, &why);
  platform::SetProgressHook(old);
  ASSERT_TRUE(ok) << why;
  EXPECT_EQ(Snapshot(Host("d:\\src")), Snapshot(Host("c:\\GDATA001")));
  ASSERT_EQ(progress.size(), 1u + 7u + 1u);
  EXPECT_EQ(progress.front(), 0x8702u);
  EXPECT_EQ(progress.back(), 0x8704u);
}

TEST_F(PayloadTest, SourceDateEpochLimitsTimes) {
  SourceTree();
  E()->SetEnv("SOURCE_DATE_EPOCH", "1000");
  std::string why;
  bool ok = setup::WritePayload("d:\\src", "d:\\p.tgz", nullptr, &why);
  E()->UnsetEnv("SOURCE_DATE_EPOCH");
  ASSERT_TRUE(ok) << why;
  struct archive* a = archive_read_new();
  archive_read_support_filter_gzip(a);
  archive_read_support_format_tar(a);
  ASSERT_EQ(archive_read_open_filename(a, Host("d:\\p.tgz").c_str(), 4096),
            ARCHIVE_OK);
  struct archive_entry* e;
  int n = 0;
  while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
    EXPECT_EQ(archive_entry_mtime(e), 1000);
    EXPECT_EQ(archive_entry_uid(e), 0);
    ++n;
  }
  archive_read_free(a);
  EXPECT_EQ(n, 7);
}

TEST_F(PayloadTest, WriterRefusesLinksAndCaseTwins) {
  SourceTree();
  ASSERT_EQ(symlink("/etc", Host("d:\\src\\P1\\LINK").c_str()), 0);
  std::string why;
  EXPECT_FALSE(setup::WritePayload("d:\\src", "d:\\p.tgz", nullptr, &why));
  EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
  unlink(Host("d:\\src\\P1\\LINK").c_str());
  FILE* twin = fopen((Host("d:\\src") + "/products.dbf").c_str(), "w");
  ASSERT_NE(twin, nullptr);
  fclose(twin);
  EXPECT_FALSE(setup::WritePayload("d:\\src", "d:\\p.tgz", nullptr, &why));
  EXPECT_NE(why.find("case"), std::string::npos) << why;
}

// Archives that must be refused whole: nothing is written anywhere.
TEST_F(PayloadTest, EscapingAndOddEntriesAreRefusedBeforeWriting) {
  Write("d:\\outside\\keep.txt", "keep");
  const Entry good{"GOOD.DBF", AE_IFREG, "good"};
  struct Case {
    const char* what;
    Entry bad;
  } cases[] = {
      {"parent", {"../x", AE_IFREG, "evil"}},
      {"deep parent", {"P1/../../x", AE_IFREG, "evil"}},
      {"backslash parent", {"P1\\..\\..\\x", AE_IFREG, "evil"}},
      {"absolute", {"/tmp/kalvo-evil", AE_IFREG, "evil"}},
      {"drive", {"d:\\outside\\keep.txt", AE_IFREG, "evil"}},
      {"symlink outside", {"LINK", AE_IFLNK, "", "/etc"}},
      {"symlink inside", {"LINK", AE_IFLNK, "", "GOOD.DBF"}},
      {"hard link", {"HARD", AE_IFREG, "", "", "/etc/passwd"}},
      {"device", {"NULL", AE_IFCHR, ""}},
      {"fifo", {"PIPE", AE_IFIFO, ""}},
      {"twice", {"good.dbf", AE_IFREG, "again"}},
      {"below a file", {"GOOD.DBF/x", AE_IFREG, "x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The bad entry last: a single pass would have written GOOD.DBF.
    ASSERT_TRUE(MakeArchive(Host("d:\\bad.tgz"), {good, c.bad}));
    auto before = Snapshot(drives_.drives());
    std::string why;
    EXPECT_FALSE(setup::CheckPayload("d:\\bad.tgz", nullptr, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(setup::ExtractPayload("d:\\bad.tgz", "c:\\GDATA001", {},
                                       nullptr, &why));
    EXPECT_EQ(before, Snapshot(drives_.drives()));
    EXPECT_FALSE(E()->FileExists("/tmp/kalvo-evil"));
  }
}

TEST_F(PayloadTest, TruncatedOrDamagedArchiveIsRefusedBeforeWriting) {
  SourceTree();
  std::string why;
  ASSERT_TRUE(setup::WritePayload("d:\\src", "d:\\p.tgz", nullptr, &why));
  const std::string whole = Contents("d:\\p.tgz");
  std::vector<std::string> spoiled;
  for (size_t cut : {size_t{0}, size_t{5}, size_t{20}, whole.size() / 2,
                     whole.size() - 9, whole.size() - 1})
    spoiled.push_back(whole.substr(0, cut));
  std::string flipped = whole;
  flipped[whole.size() / 2] ^= 0x55;
  spoiled.push_back(flipped);
  spoiled.push_back("not an archive at all");
  for (size_t i = 0; i < spoiled.size(); ++i) {
    SCOPED_TRACE(i);
    Write("d:\\bad.tgz", spoiled[i]);
    auto before = Snapshot(drives_.drives());
    EXPECT_FALSE(setup::ExtractPayload("d:\\bad.tgz", "c:\\GDATA001", {},
                                       nullptr, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(before, Snapshot(drives_.drives()));
  }
}

TEST_F(PayloadTest, ExistingLinksInTheTargetAreNeverFollowed) {
  MakeArchive(Host("d:\\p.tgz"), {{"P1/", AE_IFDIR},
                                  {"P1/FRM.DBF", AE_IFREG, "frm"},
                                  {"X.DBF", AE_IFREG, "x"}});
  Write("d:\\outside\\keep.txt", "keep");
  Write("c:\\GDATA001\\OLD.DBF", "old");
  ASSERT_EQ(
      symlink(Host("d:\\outside").c_str(), Host("c:\\GDATA001\\P1").c_str()),
      0);
  std::string why;
  EXPECT_FALSE(
      setup::ExtractPayload("d:\\p.tgz", "c:\\GDATA001", {}, nullptr, &why));
  EXPECT_NE(why.find("link"), std::string::npos) << why;
  EXPECT_EQ((std::map<std::string, std::string>{{"keep.txt", "keep"}}),
            Snapshot(Host("d:\\outside")));
  // A file that is a link is not written through either.
  unlink(Host("c:\\GDATA001\\P1").c_str());
  ASSERT_EQ(symlink(Host("d:\\outside\\keep.txt").c_str(),
                    Host("c:\\GDATA001\\X.DBF").c_str()),
            0);
  EXPECT_FALSE(
      setup::ExtractPayload("d:\\p.tgz", "c:\\GDATA001", {}, nullptr, &why));
  EXPECT_EQ(Contents("d:\\outside\\keep.txt"), "keep");
}

TEST_F(PayloadTest, ReadOnlyAndOldFilesAreReplacedOthersKept) {
  MakeArchive(Host("d:\\p.tgz"), {{"A.DBF", AE_IFREG, "new"}}, false);
  Write("c:\\GDATA001\\a.dbf", "old old");
  Write("c:\\GDATA001\\TANKS.DBF", "tanks");
  chmod(Host("c:\\GDATA001\\a.dbf").c_str(), 0444);
  std::string why;
  ASSERT_TRUE(
      setup::ExtractPayload("d:\\p.tgz", "c:\\GDATA001", {}, nullptr, &why))
      << why;
  EXPECT_EQ(Contents("c:\\GDATA001\\A.DBF"), "new");
  EXPECT_EQ(Contents("c:\\GDATA001\\TANKS.DBF"), "tanks");
}

// ---- the setup program

class SetupProgramTest : public PayloadTest {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return setup::SetupMain(args, Host("d:\\pkg"), out_, err_);
  }
  std::ostringstream out_, err_;
};

TEST_F(SetupProgramTest, InstallsAndMarksOnlyOnSuccess) {
  SourceTree();
  mkdir(Host("d:\\pkg").c_str(), 0755);
  std::string why;
  ASSERT_TRUE(
      setup::WritePayload("d:\\src", "d:\\pkg\\GDATA.TGZ", nullptr, &why))
      << why;
  E()->UnsetEnv("GDATA");
  Write(kCompletionMarker, "stale");
  EXPECT_EQ(Run({"/SILENT"}), 2);
  EXPECT_FALSE(E()->FileExists(kCompletionMarker));
  EXPECT_NE(err_.str().find("GDATA"), std::string::npos);
  E()->SetEnv("GDATA", "  C:\\GDATA001  ");
  EXPECT_EQ(Run({"/BOGUS"}), 2);
  EXPECT_EQ(Run({"/silent"}), 0) << err_.str();
  EXPECT_TRUE(E()->FileExists(kCompletionMarker));
  EXPECT_EQ(Snapshot(Host("d:\\src")), Snapshot(Host("c:\\GDATA001")));
  EXPECT_NE(out_.str().find("setup: 100%"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"/VERYSILENT", "/SUPPRESSMSGBOXES"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "");

  // A damaged payload: the marker of the run before is gone.
  Write("d:\\pkg\\GDATA.TGZ", Contents("d:\\pkg\\GDATA.TGZ").substr(0, 100));
  EXPECT_EQ(Run({"/VERYSILENT"}), 1);
  EXPECT_FALSE(E()->FileExists(kCompletionMarker));
  EXPECT_EQ(err_.str().rfind("setup: ", 0), 0u) << err_.str();
  // No payload at all.
  E()->DeleteFile("d:\\pkg\\GDATA.TGZ");
  EXPECT_EQ(Run({"/VERYSILENT"}), 1);
  EXPECT_FALSE(E()->FileExists(kCompletionMarker));
  E()->UnsetEnv("GDATA");
}

}  // namespace
