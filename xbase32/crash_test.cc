// Crash safety, measured: a writer process runs one operation on a table
// with two indexes and a memo field and is ended with SIGKILL right after
// its n-th call that changes a file, for every n until the operation
// completes (the fault-injection env's crash points). After each kill a
// fresh process checks the table:
//   * it opens (with its indexes; Open rolls back, recovers or rebuilds
//     what the crash left);
//   * the record count matches the data file's length;
//   * the records and memo texts are those of a state the operation passes
//     through between its atomic steps (before, after, or between steps):
//     nothing committed is lost, doubled or half written;
//   * every index walks over every record exactly once, in key order;
//   * no journal or set-aside file is left, and a leftover work table is
//     not in use (the next restructuring removes it).
// With KALVO_CRASH_RANDOM=n the random pass runs instead: n kills at random
// times within the operations (scripts/crash-test.sh), with the figures
// printed at the end.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "maintenance_test_util.h"
#include "platform/testing/fault_env.h"
#include "xbase32/wdbase.h"

namespace xbase32::testing {
namespace {

constexpr int kRecords = 24;
const char* const kIdxNames[] = {"byname", "byqty"};
const char* const kIdxExprs[] = {"UPPER(NAME)", "QTY"};
const char* const kFiles[] = {"crash.dbf", "crash.dbt", "byname.ntx",
                              "byqty.ntx"};

using Step = std::function<bool(Wdbase*)>;

struct Op {
  const char* name;
  std::vector<Step> steps;  // each an atomic unit for the checker
};

bool Put(Wdbase* w, const char* name, double qty, const std::string& note) {
  return w->WriteString("NAME", name) && w->WriteDouble("QTY", qty) &&
         w->MemoWrite("NOTES", note.data(), note.size());
}

// A memo text as its length and a checksum (the snapshots stay short).
std::string Digest(const std::string& t) {
  uint32_t h = 2166136261u;
  for (char c : t) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return std::to_string(t.size()) + "#" + std::to_string(h);
}

std::vector<Op> Ops() {
  std::vector<Op> ops;
  // With auto-flush on every field write is committed on its own: each one
  // is a step.
  ops.push_back(
      {"append",
       {[](Wdbase* w) { return w->AppendBlank() != 0; },
        [](Wdbase* w) { return w->WriteString("NAME", "APPENDED") != 0; },
        [](Wdbase* w) { return w->WriteDouble("QTY", 901) != 0; },
        [](Wdbase* w) {
          return w->MemoWrite("NOTES", "appended text", 13) != 0;
        }}});
  // Auto-flush off under Lock: the appended records are written in one
  // piece at Unlock.
  ops.push_back({"append under Lock", {[](Wdbase* w) {
                   const int was = Wdbase::FlushSet(0);
                   bool ok = w->Lock() != 0;
                   for (int i = 0; ok && i < 3; ++i) {
                     const std::string n = "LOCKED" + std::to_string(i);
                     ok = w->AppendBlank() &&
                          Put(w, n.c_str(), 950 + i, "locked text " + n);
                   }
                   ok = w->Unlock() && ok;
                   Wdbase::FlushSet(was);
                   return ok;
                 }}});
  ops.push_back({"record write",
                 {[](Wdbase* w) {
                    return w->Goto(3) && w->WriteString("NAME", "CHANGED");
                  },
                  [](Wdbase* w) { return w->WriteDouble("QTY", 500) != 0; }}});
  ops.push_back({"memo write", {[](Wdbase* w) {
                   const std::string t(2000, 'm');
                   return w->Goto(4) &&
                          w->MemoWrite("NOTES", t.data(), t.size());
                 }}});
  ops.push_back({"Pack", {[](Wdbase* w) { return w->Pack() != 0; }}});
  ops.push_back({"Zap", {[](Wdbase* w) { return w->Zap(2, 5) != 0; }}});
  ops.push_back({"FieldAdd", {[](Wdbase* w) {
                   return w->FieldAdd(0, "EXTRA", 'C', 5, 0) != 0;
                 }}});
  ops.push_back(
      {"FieldRemove", {[](Wdbase* w) { return w->FieldRemove(3) != 0; }}});
  ops.push_back(
      {"copy-update replace", {[](Wdbase* w) {
         std::vector<WDBASE_FIELD> f = Fields(
             {Fld("NAME", 'C', 12), Fld("QTY", 'N', 6), Fld("NOTES", 'M', 10)});
         return WdbaseCopyUpdateDb(w, nullptr, f.data(), nullptr) != 0;
       }}});
  ops.push_back(
      {"RebuildIdx", {[](Wdbase* w) { return w->RebuildIdx() != 0; }}});
  ops.push_back(
      {"CreateIdx", {[](Wdbase* w) { return w->CreateIdx(2) != 0; }}});
  return ops;
}

class CrashTest : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    Wdbase w;
    auto f = Fields({Fld("NAME", 'C', 10), Fld("QTY", 'N', 6),
                     Fld("ORDINAL", 'C', 3), Fld("NOTES", 'M', 10)});
    ASSERT_TRUE(Define(&w, "crash"));
    ASSERT_EQ(1, w.CreateDb(f.data()));
    ASSERT_TRUE(OpenIndexed(&w));
    for (int i = 1; i <= kRecords; ++i) {
      ASSERT_EQ(1, w.AppendBlank());
      const std::string n = "N" + std::to_string(100 - i);
      ASSERT_EQ(1, w.WriteString("NAME", n.c_str()));
      ASSERT_EQ(1, w.WriteDouble("QTY", (i * 7) % 30));
      ASSERT_EQ(1, w.WriteString("ORDINAL", std::to_string(i).c_str()));
      if (i % 2 == 1) {
        const std::string t(static_cast<size_t>(i) * 50, 'a' + i % 26);
        ASSERT_EQ(1, w.MemoWrite("NOTES", t.data(), t.size()));
      }
      if (i % 5 == 0) {
        ASSERT_EQ(1, w.Delete());
      }
    }
    ASSERT_EQ(1, w.Close());
    platform::Env* env = platform::Env::Current();
    ASSERT_TRUE(env->CreateDir(dir_ + "base").ok());
    for (const char* file : kFiles) {
      ASSERT_TRUE(env->CopyFile(Host(file), Host("base/") + file, false).ok());
    }
  }

  bool OpenIndexed(Wdbase* w) {
    return w->SetFiles(dir_.c_str(), "crash", 2, kIdxNames, kIdxExprs) &&
           w->Open();
  }

  // Puts the table back as it was built (every other file goes).
  void Restore() {
    platform::Env* env = platform::Env::Current();
    std::vector<platform::DirEntry> entries;
    env->ListDir(dir_, "*", &entries);
    for (const platform::DirEntry& e : entries) {
      if (!e.info.is_dir) env->DeleteFile(dir_ + e.name);
    }
    for (const char* file : kFiles) {
      env->CopyFile(Host("base/") + file, Host(file), false);
    }
  }

  // The records in natural order: flag, name, quantity, memo text.
  std::string Snapshot() {
    Wdbase w;
    if (!w.SetFiles(dir_.c_str(), "crash", 0, nullptr, nullptr) || !w.Open()) {
      return "<does not open>";
    }
    std::string s;
    for (int r = 1; r <= w.RecCount(); ++r) {
      if (!w.Goto(r)) return "<record " + std::to_string(r) + " unreadable>";
      s += w.Deleted() ? '*' : ' ';
      s += std::string(w.Read("NAME", 0, 1)) + "|" +
           std::to_string(w.ReadInt("QTY")) + "|" + Digest(Memo(&w, "NOTES")) +
           "\n";
    }
    return s;
  }

  // The states op passes through between its steps (run here, uncrashed).
  std::vector<std::string> States(const Op& op) {
    Restore();
    std::vector<std::string> states{Snapshot()};
    Wdbase w;
    EXPECT_TRUE(OpenIndexed(&w));
    for (const Step& step : op.steps) {
      EXPECT_TRUE(step(&w)) << op.name;
      states.push_back(Snapshot());
    }
    w.Close();
    return states;
  }

  // Runs op k of Ops() in a child ended right after its n-th mutating call
  // (n = 0: at a random time; with kill_after_us the parent kills it).
  // Answers whether the child was killed.
  bool RunOp(size_t k, int64_t n, int64_t kill_after_us) {
    std::unique_ptr<platform::Process> child;
    if (!platform::testing::StartChild(
             "crash_writer", {dir_, std::to_string(k), std::to_string(n)},
             &child)
             .ok()) {
      ADD_FAILURE() << "writer not started";
      return false;
    }
    if (kill_after_us >= 0) {
      platform::Env* env = platform::Env::Current();
      const uint64_t until = env->NowMicros() + kill_after_us;
      if (kill_after_us > 2000) env->SleepMs(kill_after_us / 1000 - 1);
      while (env->NowMicros() < until) {
      }
      platform::testing::KillChild(child.get());
    }
    const int code = platform::testing::WaitChild(child.get());
    if (code == platform::testing::kChildKilled) return true;
    EXPECT_EQ(0, code) << Ops()[k].name << " n=" << n;
    return false;
  }

  // The checks, in a fresh process; an empty answer when all hold. The
  // states go to the checker in a file (separated by NUL), its answer comes
  // back in another.
  std::string Check(const std::vector<std::string>& states) {
    std::string all;
    for (const std::string& s : states) all += s + '\0';
    const std::string states_file = Host("base/states"),
                      why_file = Host("base/why");
    platform::Env::Current()->DeleteFile(why_file);
    if (!WriteAll(states_file, all)) return "states not written";
    const int code = platform::testing::RunChild("crash_checker",
                                                 {dir_, states_file, why_file});
    const std::string why = ReadAll(why_file);
    if (code == 0 && why.empty()) return "";
    return why.empty()
               ? "checker ended abnormally (" + std::to_string(code) + ")"
               : why;
  }

  std::string CheckHere(const std::vector<std::string>& states) {
    Wdbase w;
    if (!OpenIndexed(&w)) {
      return "does not open: " + std::to_string(Wdbase::LastErrorCode()) + " " +
             Wdbase::LastErrorDetail(1);
    }
    // The count against the file's length.
    const std::string bytes = Bytes("crash.dbf");
    if (bytes.size() < 12) return "data file too short";
    const size_t header =
        static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    const size_t length =
        static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
    const int32_t by_length =
        static_cast<int32_t>((bytes.size() - header) / length);
    const int32_t count = w.RecCount();
    if (count != by_length) {
      return "count " + std::to_string(count) + " but the file holds " +
             std::to_string(by_length);
    }
    // Every index holds every record once, in key order.
    for (int k = 1; k <= 2; ++k) {
      if (!w.SelectIdx(k)) return "index " + std::to_string(k) + " unusable";
      std::set<int32_t> seen;
      std::string last_name;
      int last_qty = -1;
      for (int ok = w.Top(); ok && !w.Eof(); ok = w.Next()) {
        if (!seen.insert(w.RecNo()).second) {
          return std::string(kIdxNames[k - 1]) + " names record " +
                 std::to_string(w.RecNo()) + " twice";
        }
        std::string name = w.Read("NAME", 0, 1);
        for (char& c : name) c = static_cast<char>(std::toupper(c));
        const int qty = w.ReadInt("QTY");
        if ((k == 1 && name < last_name) || (k == 2 && qty < last_qty)) {
          return std::string(kIdxNames[k - 1]) + " out of order at record " +
                 std::to_string(w.RecNo());
        }
        last_name = name;
        last_qty = qty;
      }
      if (static_cast<int32_t>(seen.size()) != count) {
        return std::string(kIdxNames[k - 1]) + " holds " +
               std::to_string(seen.size()) + " of " + std::to_string(count) +
               " records";
      }
    }
    w.Close();
    // The contents: one of the states the operation passes through.
    const std::string now = Snapshot();
    if (std::find(states.begin(), states.end(), now) == states.end()) {
      // The lines that differ from the state before.
      std::string diff;
      size_t a = 0, b = 0;
      const std::string& was = states.front();
      while (a < now.size() || b < was.size()) {
        const size_t ea = now.find('\n', a), eb = was.find('\n', b);
        const std::string la = now.substr(a, ea - a),
                          lb = was.substr(b, eb - b);
        if (la != lb) diff += "  now '" + la + "' was '" + lb + "'\n";
        a = ea == std::string::npos ? now.size() : ea + 1;
        b = eb == std::string::npos ? was.size() : eb + 1;
      }
      return "contents match no state the operation passes through:\n" + diff;
    }
    // What a crash may leave: only work tables nobody has open.
    std::vector<platform::DirEntry> entries;
    platform::Env::Current()->ListDir(dir_, "*", &entries);
    for (const platform::DirEntry& e : entries) {
      const std::string& n = e.name;
      if (n.find(".old") != std::string::npos ||
          n.find(".jn") != std::string::npos) {
        return "left behind: " + n;
      }
      if (n.rfind("$$$", 0) == 0 && n.size() > 4 &&
          n.substr(n.size() - 4) == ".dbf" &&
          WdbaseIsInUse((dir_ + n).c_str())) {
        return "work table still in use: " + n;
      }
    }
    return "";
  }
};

// The fixture's table code in a child process: a fixture of its own (its
// temporary drives are not used) pointed at the test's directory.
class CrashChild : public CrashTest {
 public:
  explicit CrashChild(const std::string& dir) {
    dir_ = dir;
    platform::SetLockRetryIntervalMs(5);
  }
  void TestBody() override {}
  using CrashTest::CheckHere;
  using CrashTest::OpenIndexed;
};

// args: dir, op index, n. Runs the op, ended by SIGKILL (TerminateProcess
// on Windows) right after its n-th mutating call when n > 0.
KALVO_CHILD_MAIN(crash_writer)(const std::vector<std::string>& args) {
  if (args.size() != 3) return 9;
  CrashChild table(args[0]);
  const std::vector<Op> ops = Ops();
  const Op& op = ops.at(std::stoul(args[1]));
  platform::FaultInjectionEnv env;
  platform::ScopedEnv use(&env);
  Wdbase w;
  if (!table.OpenIndexed(&w)) return 2;
  env.CrashAfterMutations(std::stoll(args[2]));
  for (const Step& step : op.steps) {
    if (!step(&w)) return 3;
  }
  env.CrashAfterMutations(0);
  // (A replacing copy-update ends with the table closed.)
  return !w.IsOpen(0) || w.Close() ? 0 : 4;
}

// args: dir, states file, answer file. Checks the table against the states
// and writes what is wrong into the answer file (exit status 1).
KALVO_CHILD_MAIN(crash_checker)(const std::vector<std::string>& args) {
  if (args.size() != 3) return 9;
  CrashChild table(args[0]);
  std::vector<std::string> states;
  const std::string all = ReadAll(args[1]);
  for (size_t at = 0, end; (end = all.find('\0', at)) != std::string::npos;
       at = end + 1) {
    states.push_back(all.substr(at, end - at));
  }
  const std::string why = table.CheckHere(states);
  if (why.empty()) return 0;
  return WriteAll(args[2], why) ? 1 : 2;
}

TEST_F(CrashTest, EveryCrashPointOfEveryOperationLeavesASoundTable) {
  if (std::getenv("KALVO_CRASH_RANDOM") != nullptr) GTEST_SKIP();
  int kills = 0, failures = 0;
  const std::vector<Op> ops = Ops();
  for (size_t k = 0; k < ops.size(); ++k) {
    const Op& op = ops[k];
    const std::vector<std::string> states = States(op);
    int op_kills = 0;
    for (int64_t n = 1; n < 100000; ++n) {
      Restore();
      const bool killed = RunOp(k, n, -1);
      const std::string why = Check(states);
      if (!why.empty()) {
        ++failures;
        ADD_FAILURE() << op.name << ", killed after mutating call " << n << ": "
                      << why;
      }
      if (!killed) break;
      ++op_kills;
    }
    kills += op_kills;
    std::printf("%-20s %4d crash points\n", op.name, op_kills);
  }
  std::printf("crash points %d, failures %d\n", kills, failures);
}

TEST_F(CrashTest, RandomKills) {
  const char* rounds_text = std::getenv("KALVO_CRASH_RANDOM");
  if (rounds_text == nullptr) GTEST_SKIP() << "KALVO_CRASH_RANDOM not set";
  const int rounds = std::atoi(rounds_text);
  const std::vector<Op> ops = Ops();
  std::vector<std::vector<std::string>> states;
  std::vector<int64_t> micros;
  for (size_t k = 0; k < ops.size(); ++k) {
    states.push_back(States(ops[k]));
    Restore();
    const auto start = std::chrono::steady_clock::now();
    RunOp(k, 0, -1);
    micros.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count());
  }
  std::mt19937 rng(static_cast<unsigned>(std::time(nullptr)));
  int kills = 0, failures = 0;
  std::vector<int> per_op(ops.size()), per_op_fail(ops.size());
  for (int r = 0; r < rounds; ++r) {
    const size_t k = rng() % ops.size();
    Restore();
    const int64_t at = static_cast<int64_t>(rng() % (micros[k] + 1));
    if (RunOp(k, 0, at)) ++kills;
    ++per_op[k];
    const std::string why = Check(states[k]);
    if (!why.empty()) {
      ++failures;
      ++per_op_fail[k];
      ADD_FAILURE() << ops[k].name << ", killed after " << at << " us: " << why;
    }
  }
  for (size_t k = 0; k < ops.size(); ++k) {
    std::printf("%-20s %5d rounds %3d failures (op takes %lld us)\n",
                ops[k].name, per_op[k], per_op_fail[k],
                static_cast<long long>(micros[k]));
  }
  std::printf("rounds %d, killed mid-operation %d, failures %d\n", rounds,
              kills, failures);
}

}  // namespace
}  // namespace xbase32::testing
