// A maintenance run held by another process, for tests of the "busy"
// answers: a guard of this process would be joined by nested runs, one of
// another process is refused.
#ifndef MIXTABLE_TESTING_OTHER_RUN_H_
#define MIXTABLE_TESTING_OTHER_RUN_H_

#include <memory>
#include <string>

#include "platform/testing/child_process.h"

namespace mixtable_testing {

// Starts a child process of the test binary (platform/testing/
// child_process.h) that begins a maintenance run on dir (without the in-use
// test) and holds it until this object ends; then the child completes the
// run and exits, and the destructor waits for it. ok() tells whether the
// child's run began. The two processes talk through marker files in the
// temporary directory.
class OtherMaintenanceRun {
 public:
  explicit OtherMaintenanceRun(const std::string& dir);
  ~OtherMaintenanceRun();
  OtherMaintenanceRun(const OtherMaintenanceRun&) = delete;
  OtherMaintenanceRun& operator=(const OtherMaintenanceRun&) = delete;
  bool ok() const { return ok_; }

 private:
  platform::testing::HeldChild held_;
  bool ok_ = false;
};

}  // namespace mixtable_testing

#endif  // MIXTABLE_TESTING_OTHER_RUN_H_
