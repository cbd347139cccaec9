#include "testing/held_table.h"

#include <atomic>
#include <vector>

#include "platform/testing/child_process.h"
#include "xbase32/wdbase.h"

namespace mixtable_testing {

namespace {

// args: dir, table name, "1" to lock, ready marker, release marker. Creates
// the ready marker once the table is held (exits without it when the table
// does not open), waits for the release marker, then closes the table.
KALVO_CHILD_MAIN(held_table)(const std::vector<std::string>& args) {
  if (args.size() != 5) return 9;
  Wdbase t;
  if (!t.SetFiles(args[0].c_str(), args[1].c_str(), 0, nullptr, nullptr) ||
      !t.Open() || (args[2] == "1" && !t.Lock())) {
    return 2;
  }
  if (!platform::testing::SignalFile(args[3])) return 3;
  if (!platform::testing::WaitForFile(args[4], -1)) return 4;
  if (args[2] == "1") t.Unlock();
  t.Close();
  return 0;
}

std::atomic<int> g_held{0};

}  // namespace

HeldTable::HeldTable(const std::string& dir, const std::string& name,
                     bool lock) {
  platform::Env* env = platform::Env::Default();
  const std::string base = env->TempDir() + "/kalvo-held-table-" +
                           std::to_string(env->CurrentProcessId()) + "-" +
                           std::to_string(g_held++);
  ready_ = base + ".ready";
  release_ = base + ".release";
  if (!platform::testing::StartChild(
           "held_table", {dir, name, lock ? "1" : "0", ready_, release_},
           &child_)
           .ok()) {
    child_.reset();
    return;
  }
  ok_ = platform::testing::WaitForFile(ready_, 60000, child_.get());
}

HeldTable::~HeldTable() {
  platform::Env* env = platform::Env::Default();
  if (child_) {
    platform::testing::SignalFile(release_);
    platform::testing::WaitChild(child_.get());
  }
  env->DeleteFile(ready_);
  env->DeleteFile(release_);
}

}  // namespace mixtable_testing
