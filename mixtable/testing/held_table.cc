#include "testing/held_table.h"

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

}  // namespace

HeldTable::HeldTable(const std::string& dir, const std::string& name, bool lock)
    : held_("held_table", {dir, name, lock ? "1" : "0"}) {}

HeldTable::~HeldTable() = default;

}  // namespace mixtable_testing
