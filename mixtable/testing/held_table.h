// A table held open by another process, for tests of what the library
// refuses while a table is in use elsewhere (a swap, a conversion, an
// upgrade).
#ifndef MIXTABLE_TESTING_HELD_TABLE_H_
#define MIXTABLE_TESTING_HELD_TABLE_H_

#include <memory>
#include <string>

#include "platform/testing/child_process.h"

namespace mixtable_testing {

// Starts a child process of the test binary (platform/testing/
// child_process.h) that opens the table name (no indexes) in dir, locks it
// when lock is set, and keeps it so until this object ends; the destructor
// lets the child go and waits for it. ok() tells whether the child holds
// the table. The two processes talk through marker files in the temporary
// directory.
class HeldTable {
 public:
  HeldTable(const std::string& dir, const std::string& name, bool lock = false);
  ~HeldTable();
  HeldTable(const HeldTable&) = delete;
  HeldTable& operator=(const HeldTable&) = delete;
  bool ok() const { return held_.ready(); }

 private:
  platform::testing::HeldChild held_;
};

}  // namespace mixtable_testing

#endif  // MIXTABLE_TESTING_HELD_TABLE_H_
