// OpenFileCount: the number of file descriptors (Windows: handles) the
// process holds, for tests that check that work leaves none behind.

#ifndef PLATFORM_TESTING_OPEN_FILES_H_
#define PLATFORM_TESTING_OPEN_FILES_H_

namespace platform {

// Entries of /proc/self/fd, the descriptor used for the listing left out
// (Windows: GetProcessHandleCount); -1 when they cannot be counted.
int OpenFileCount();

}  // namespace platform

#endif  // PLATFORM_TESTING_OPEN_FILES_H_
