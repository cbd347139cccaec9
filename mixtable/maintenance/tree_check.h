// The tree check for a caller that already holds the data set's maintenance
// lock (the check and upgrade of a data set runs it inside its own run).
// Internal to the tables library.

#ifndef MIXTABLE_MAINTENANCE_TREE_CHECK_H_
#define MIXTABLE_MAINTENANCE_TREE_CHECK_H_

namespace mixtable {

// Wy_GDataTreeCheck without taking the maintenance lock: same arguments,
// steps, reports and results (never the busy results). Precondition: the
// caller holds the lock of dir's data set when act is true.
int GDataTreeCheckUnderLock(const char* dir, const void* window, bool act,
                            bool prune_dirs, bool clean_files);

}  // namespace mixtable

#endif  // MIXTABLE_MAINTENANCE_TREE_CHECK_H_
