// The state of one child build, shared by the copy and the build steps.
// Internal to the tables library.
#ifndef MIXTABLE_MAINTENANCE_GDATA_CHILD_BUILD_H_
#define MIXTABLE_MAINTENANCE_GDATA_CHILD_BUILD_H_

#include <memory>
#include <string>

#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_maintenance.h"

struct Wy_GDataChild::BuildState {
  const void* window = nullptr;
  std::string dst;      // the destination, without a trailing backslash
  std::string staging;  // dst + kChildStagingSuffix
  std::string aside;    // dst + kChildAsideSuffix
  std::string stagingHost;
  bool dstExists = false;
  // The maintenance locks held for the build: the staging directory's
  // (taken before anything is written there) and the destination's (when it
  // exists).
  std::unique_ptr<Wy_MaintenanceGuard> stagingLock, dstLock;
};

namespace mixtable::child {

// The host path of a Windows-style or host path, without a trailing "/";
// "" when it cannot be mapped.
std::string HostOf(const std::string& path);
// Whether host path a is b or lies inside it.
bool HostInside(const std::string& a, const std::string& b);
// Deletes every entry of dir except the maintenance lock file (held by
// the build). True when nothing else is left.
bool ClearExceptLock(const std::string& dir);

}  // namespace mixtable::child

#endif  // MIXTABLE_MAINTENANCE_GDATA_CHILD_BUILD_H_
