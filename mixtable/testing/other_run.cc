#include "testing/other_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "mixtable/wy_maintenance.h"

namespace mixtable_testing {

OtherMaintenanceRun::OtherMaintenanceRun(const std::string& dir) {
  int ready[2], release[2];
  if (pipe(ready) != 0) return;
  if (pipe(release) != 0) {
    close(ready[0]);
    close(ready[1]);
    return;
  }
  std::fflush(nullptr);  // no buffered output written twice
  pid_ = fork();
  if (pid_ == 0) {
    close(ready[0]);
    close(release[1]);
    Wy_MaintenanceGuard run(dir);
    const char began = run.Begin(false) == 1 ? '1' : '0';
    if (write(ready[1], &began, 1) != 1) _exit(2);
    char c;
    while (read(release[0], &c, 1) > 0) {
    }
    if (began == '1') run.Complete();
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  release_ = release[1];
  char began = '0';
  ok_ = pid_ > 0 && read(ready[0], &began, 1) == 1 && began == '1';
  close(ready[0]);
}

OtherMaintenanceRun::~OtherMaintenanceRun() {
  if (release_ >= 0) close(release_);
  if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

}  // namespace mixtable_testing
