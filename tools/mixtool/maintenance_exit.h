// Exit statuses of the maintenance commands (check, upgrade, tree, repair).
#ifndef TOOLS_MIXTOOL_MAINTENANCE_EXIT_H_
#define TOOLS_MIXTOOL_MAINTENANCE_EXIT_H_

namespace mixtool {

enum : int {
  kExitOk = 0,           // done, nothing failed
  kExitFailed = 1,       // some table failed
  kExitRefused = 2,      // refused before any change (code printed)
  kExitBusy = 3,         // another maintenance run holds the data set
  kExitUnrestorable = 4  // an interrupted run could not be restored
};

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_MAINTENANCE_EXIT_H_
