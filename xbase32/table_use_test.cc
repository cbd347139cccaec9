// Tables held open by another process: replacing, renaming, deleting and
// creating over them is refused and nothing the other process writes is
// lost; the public in-use test and table replacement; the whole-file lock
// after a failed copy-update; leftover work tables; Rename and FieldAdd
// edge cases.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "maintenance_test_util.h"
#include "platform/testing/fault_env.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {
namespace {

// args: dir, ready marker, stop marker. Holds stock open and appends "C1",
// "C2", ... (NAME and NOTES) until the stop marker appears, then five more;
// exits with the number it appended (at most 190).
KALVO_CHILD_MAIN(inuse_writer)(const std::vector<std::string>& args) {
  ChildSetUp();
  platform::Env* env = platform::Env::Current();
  Wdbase w;
  if (args.size() != 3 ||
      !w.SetFiles(args[0].c_str(), "stock", 0, nullptr, nullptr) || !w.Open()) {
    return 200;
  }
  if (!platform::testing::SignalFile(args[1])) return 201;
  int n = 0;
  auto one = [&]() {
    ++n;
    const std::string name = "C" + std::to_string(n);
    return w.AppendBlank() && w.WriteString("NAME", name.c_str()) &&
           w.MemoWrite("NOTES", name.data(), name.size());
  };
  for (;;) {
    if (!one()) return 202;
    if (env->FileExists(args[2])) break;
    env->SleepMs(2);
  }
  for (int k = 0; k < 5; ++k) {
    if (!one()) return 203;
  }
  return w.Close() ? (n > 190 ? 190 : n) : 204;
}

// args: dir. Opens stock with the index byname and appends a record.
KALVO_CHILD_MAIN(inuse_append_indexed)(const std::vector<std::string>& args) {
  ChildSetUp();
  const char* names[] = {"byname"};
  const char* exprs[] = {"NAME"};
  Wdbase o;
  if (args.size() != 1 ||
      !o.SetFiles(args[0].c_str(), "stock", 1, names, exprs) || !o.Open()) {
    return 1;
  }
  return o.AppendBlank() && o.Close() ? 0 : 2;
}

class InUseTest : public TableTest {
 protected:
  // Starts inuse_writer on stock and waits until it holds the table open.
  std::unique_ptr<platform::Process> StartWriter() {
    ++writers_;
    const std::string ready = Marker("ready"), stop = Marker("stop");
    std::unique_ptr<platform::Process> child;
    if (!platform::testing::StartChild("inuse_writer", {dir_, ready, stop},
                                       &child)
             .ok() ||
        !platform::testing::WaitForFile(ready, 60000, child.get())) {
      return nullptr;
    }
    return child;
  }
  // Tells the writer to stop; answers its exit status (-1 on failure).
  int StopWriter(platform::Process* child) {
    if (child == nullptr || !platform::testing::SignalFile(Marker("stop"))) {
      return -1;
    }
    const int n = platform::testing::WaitChild(child);
    platform::Env::Current()->DeleteFile(Marker("ready"));
    platform::Env::Current()->DeleteFile(Marker("stop"));
    return n;
  }
  std::string Marker(const char* what) const {
    return dir_ + "writer" + std::to_string(writers_) + "." + what;
  }
  int writers_ = 0;
};

TEST_F(InUseTest,
       TableHeldOpenElsewhereIsNeitherReplacedNorMovedAndKeepsItsRecords) {
  {
    Wdbase w;
    MakeNotes(&w, "stock", 20);
  }
  struct Case {
    const char* what;
    std::function<int(Wdbase*)> run;
    int code;
  } cases[] = {
      {"FieldAdd", [](Wdbase* w) { return w->FieldAdd(0, "X", 'C', 4, 0); },
       -80},
      {"FieldRemove", [](Wdbase* w) { return w->FieldRemove(1); }, -80},
      {"copy-update replace",
       [](Wdbase* w) {
         std::vector<WDBASE_FIELD> f =
             Fields({Fld("NAME", 'C', 12), Fld("NOTES", 'M', 10)});
         return WdbaseCopyUpdateDb(w, nullptr, f.data(), nullptr);
       },
       -80},
      {"Rename",
       [](Wdbase* w) {
         w->Close();
         return w->Rename("moved", 0);
       },
       -90},
      {"Unlink",
       [](Wdbase* w) {
         w->Close();
         return w->Unlink(0);
       },
       -80},
      {"CreateDb",
       [](Wdbase* w) {
         w->Close();
         std::vector<WDBASE_FIELD> f = Fields({Fld("A", 'C', 1)});
         return w->CreateDb(f.data());
       },
       -20},
  };
  // Hosts differ here: on Linux nothing but the engine's "open" lock range
  // keeps a rename or delete off a table another process holds; on Windows
  // the host refuses them too (the table is open without delete sharing).
  // The engine tries the range first on both, so the codes are the same, and
  // both end with the same files: stock.dbf/.dbt with every record, no
  // "moved" table.
  int total = 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto writer = StartWriter();
    ASSERT_TRUE(writer);
    EXPECT_EQ(1, WdbaseIsInUse(Host("stock.dbf").c_str()));
    Wdbase w;
    ASSERT_TRUE(OpenTable(&w, "stock"));
    EXPECT_EQ(0, c.run(&w));
    EXPECT_EQ(c.code, Wdbase::LastErrorCode());
    EXPECT_NE(std::string::npos,
              std::string(Wdbase::LastErrorDetail(2)).find("in use"));
    w.Close();
    const int n = StopWriter(writer.get());
    ASSERT_GT(n, 0);
    ASSERT_LT(n, 190);
    total += n;  // the last five after the stop included
    // Every record of both processes is in the table under its name.
    ASSERT_TRUE(OpenTable(&w, "stock"));
    ASSERT_EQ(total, w.RecCount());
    ASSERT_EQ(1, w.Goto(total));
    const std::string last = "C" + std::to_string(n);
    EXPECT_EQ(last, std::string(w.Read("NAME", 0, 1)));
    EXPECT_EQ(last, Memo(&w, "NOTES"));
    ASSERT_EQ(1, w.Goto(20));
    EXPECT_EQ(NoteText(20), Memo(&w, "NOTES"));
  }
  // Nobody has it open now: the same calls work.
  EXPECT_EQ(0, WdbaseIsInUse(Host("stock.dbf").c_str()));
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "stock"));
  EXPECT_EQ(1, WdbaseIsInUse(Host("stock.dbf").c_str()));  // this handle
  ASSERT_EQ(1, w.FieldAdd(0, "X", 'C', 4, 0));
  EXPECT_EQ(total, w.RecCount());
  ASSERT_EQ(1, w.Close());
  EXPECT_EQ(1, w.Rename("moved", 0));
  EXPECT_EQ(0, WdbaseIsInUse(Host("moved.dbf").c_str()));
  EXPECT_EQ(0, WdbaseIsInUse(Host("nothing.dbf").c_str()));
}

TEST_F(InUseTest,
       ReplacingThroughThePublicCallMarksTheIndexesAndHonoursTheOpenRange) {
  const char* names[] = {"byname"};
  const char* exprs[] = {"NAME"};
  {
    Wdbase w;
    MakeNotes(&w, "stock", 5);
    ASSERT_EQ(1, w.Close());
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "stock", 1, names, exprs));
    ASSERT_EQ(1, w.Open());  // builds byname.ntx
    Wdbase n;
    MakeNotes(&n, "fresh", 8);
  }
  const std::string idx = Host("byname.ntx");
  const char* idx_paths[] = {idx.c_str()};
  auto writer = StartWriter();
  ASSERT_TRUE(writer);
  EXPECT_EQ(0, WdbaseReplaceTable(Host("stock.dbf").c_str(),
                                  Host("fresh.dbf").c_str(), 1, idx_paths));
  EXPECT_EQ(-80, Wdbase::LastErrorCode());
  const int n = StopWriter(writer.get());
  ASSERT_GT(n, 0);
  ASSERT_EQ(1, WdbaseReplaceTable(Host("stock.dbf").c_str(),
                                  Host("fresh.dbf").c_str(), 1, idx_paths));
  platform::Env* env = platform::Env::Current();
  EXPECT_FALSE(env->FileExists(Host("fresh.dbf")));
  EXPECT_FALSE(env->FileExists(Host("fresh.dbt")));
  Wdbase w;
  ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "stock", 1, names, exprs));
  ASSERT_EQ(1, w.Open());
  EXPECT_EQ(-910, Wdbase::LastErrorCode());  // the marked index was rebuilt
  EXPECT_EQ(8, w.RecCount());
  ASSERT_EQ(1, w.SelectIdx(1));
  EXPECT_EQ(1, w.Seek("R8"));
  EXPECT_EQ(NoteText(8), Memo(&w, "NOTES"));
}

TEST_F(InUseTest, FailedCopyUpdateReplaceReleasesTheWholeFileLock) {
  const char* names[] = {"byname"};
  const char* exprs[] = {"NAME"};
  struct Case {
    const char* what;
    std::vector<WDBASE_FIELD> fields;
    const char* fail_path;
    unsigned ops;
  } cases[] = {
      {"index no longer fits", Fields({Fld("OTHER", 'C', 8)}), nullptr, 0},
      {"bad field list", Fields({Fld("NAME", '?', 8)}), nullptr, 0},
      {"no work table", Fields({Fld("NAME", 'C', 9)}), "$$$",
       platform::FaultInjectionEnv::kOpen},
      {"copy fails", Fields({Fld("NAME", 'C', 9), Fld("NOTES", 'M', 10)}),
       "$$$", platform::FaultInjectionEnv::kWrite},
      {"swap fails", Fields({Fld("NAME", 'C', 9), Fld("NOTES", 'M', 10)}),
       "stock.dbf", platform::FaultInjectionEnv::kRename},
  };
  {
    Wdbase w;
    MakeNotes(&w, "stock", 30);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Wdbase w;
    ASSERT_EQ(1, w.SetFiles(dir_.c_str(), "stock", 1, names, exprs));
    ASSERT_EQ(1, w.Open());
    platform::FaultInjectionEnv env;
    {
      platform::ScopedEnv use(&env);
      if (c.fail_path) env.FailPath(c.fail_path, c.ops);
      EXPECT_EQ(0, WdbaseCopyUpdateDb(&w, nullptr, c.fields.data(), nullptr));
    }
    EXPECT_EQ(1, w.IsOpen(0));
    // Another process appends at once (it would wait for ever on a lock
    // left behind: it is ended after 5 s).
    EXPECT_EQ(0, RunChild("inuse_append_indexed", {dir_}, 5000));
  }
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "stock"));
  EXPECT_EQ(30 + 5, w.RecCount());
  std::vector<platform::DirEntry> left;
  platform::Env::Current()->ListDir(dir_, "$$$*.*", &left);
  EXPECT_TRUE(left.empty());
}

TEST_F(InUseTest,
       LeftoverWorkTablesAreReportedAndRemovedByTheNextRestructuring) {
  {
    Wdbase w;
    MakeNotes(&w, "stock", 3);
    Wdbase work;
    MakeNotes(&work, "$$$00042", 2);  // a work table a crash left
    Wdbase young;
    MakeNotes(&young, "$$$00043", 1);  // one being made right now
  }
  // Age the leftover past the grace period (std::filesystem: the same on
  // every host).
  auto age = [](const std::string& path) {
    std::error_code ec;
    std::filesystem::last_write_time(
        path,
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(1),
        ec);
    return !ec;
  };
  ASSERT_TRUE(age(Host("$$$00042.dbf")));
  Wdbase w;
  ASSERT_TRUE(OpenTable(&w, "stock"));
  EXPECT_EQ(-910, Wdbase::LastErrorCode());
  EXPECT_NE(std::string::npos,
            std::string(Wdbase::LastErrorDetail(1)).find("$$$00042.dbf"));
  ASSERT_EQ(1, w.FieldAdd(0, "X", 'C', 2, 0));
  platform::Env* env = platform::Env::Current();
  EXPECT_FALSE(env->FileExists(Host("$$$00042.dbf")));
  EXPECT_FALSE(env->FileExists(Host("$$$00042.dbt")));
  EXPECT_TRUE(env->FileExists(Host("$$$00043.dbf")));
  // An old one another handle has open is no leftover.
  ASSERT_TRUE(age(Host("$$$00043.dbf")));
  Wdbase held;
  ASSERT_TRUE(OpenTable(&held, "$$$00043"));
  ASSERT_EQ(1, w.FieldRemove(1));
  EXPECT_TRUE(env->FileExists(Host("$$$00043.dbf")));
  // Nothing left to report (the last error stays the one made here).
  EXPECT_EQ(0, w.Zap(-1, 0));
  ASSERT_EQ(1, w.Close());
  ASSERT_TRUE(OpenTable(&w, "stock"));
  EXPECT_EQ(-930, Wdbase::LastErrorCode());
}

TEST_F(InUseTest,
       RenameOntoItsOwnNameKeepsTheFilesAndTheMemoFileAlwaysFollows) {
  {
    Wdbase w;
    MakeNotes(&w, "stock", 4);
  }
  platform::Env* env = platform::Env::Current();
  Wdbase w;
  ASSERT_TRUE(Define(&w, "stock"));
  for (const char* same : {"stock", "STOCK.DBF", "Stock.dbf"}) {
    SCOPED_TRACE(same);
    EXPECT_EQ(1, w.Rename(same, 0));
    EXPECT_TRUE(env->FileExists(Host("stock.dbf")));
    EXPECT_TRUE(env->FileExists(Host("stock.dbt")));
  }
  // Without an extension the memo file goes along.
  ASSERT_EQ(1, w.Rename("moved", 0));
  EXPECT_FALSE(env->FileExists(Host("stock.dbt")));
  Wdbase m;
  ASSERT_TRUE(OpenTable(&m, "moved"));
  ASSERT_EQ(1, m.Goto(4));
  EXPECT_EQ(NoteText(4), Memo(&m, "NOTES"));
}

TEST_F(InUseTest, FieldAddChecksLengthsBeforeTheyAreNarrowed) {
  Wdbase w;
  MakeNotes(&w, "stock", 2);
  struct Case {
    char type;
    int len;
  } cases[] = {{'C', 65535},
               {'C', 65546},
               {'C', 131072 + 5},
               {'N', 256},
               {'N', 65536 + 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.len);
    EXPECT_EQ(0, w.FieldAdd(0, "WIDE", c.type, c.len, 0));
    EXPECT_EQ(-20, Wdbase::LastErrorCode());
    EXPECT_EQ(2, w.FieldCount());
  }
  EXPECT_EQ(1, w.FieldAdd(0, "WIDE", 'C', 60000, 0));
  EXPECT_EQ(60000, w.FieldLen("WIDE"));
}

}  // namespace
}  // namespace xbase32::testing
