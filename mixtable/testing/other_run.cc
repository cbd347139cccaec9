#include "testing/other_run.h"

#include <vector>

#include "mixtable/wy_maintenance.h"
#include "platform/testing/child_process.h"

namespace mixtable_testing {

namespace {

// args: dir, ready marker, release marker. Writes "1" (the run began) or
// "0" into the ready marker, waits for the release marker, then completes
// the run.
KALVO_CHILD_MAIN(other_maintenance_run)(const std::vector<std::string>& args) {
  if (args.size() != 3) return 9;
  Wy_MaintenanceGuard run(args[0]);
  const char began = run.Begin(false) == 1 ? '1' : '0';
  platform::Env* env = platform::Env::Current();
  const std::string part = args[1] + ".part";
  std::unique_ptr<platform::File> f;
  // Written aside and renamed, so that the parent never reads it empty.
  if (!env->OpenFile(part, platform::OpenMode::kCreateAlways, &f).ok() ||
      !f->WriteAt(0, &began, 1).ok()) {
    return 2;
  }
  f.reset();
  if (!env->RenameFile(part, args[1], false).ok()) return 3;
  if (!platform::testing::WaitForFile(args[2], -1)) return 4;
  if (began == '1') run.Complete();
  return 0;
}

}  // namespace

OtherMaintenanceRun::OtherMaintenanceRun(const std::string& dir)
    : held_("other_maintenance_run", {dir}) {
  char began = '0';
  size_t got = 0;
  std::unique_ptr<platform::File> f;
  ok_ = held_.ready() &&
        platform::Env::Default()
            ->OpenFile(held_.ready_path(), platform::OpenMode::kReadOnly, &f)
            .ok() &&
        f->ReadAt(0, &began, 1, &got).ok() && got == 1 && began == '1';
}

OtherMaintenanceRun::~OtherMaintenanceRun() = default;

}  // namespace mixtable_testing
