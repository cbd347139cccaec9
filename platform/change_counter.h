// The shared change counter of an open file (see platform::ChangeCounter).
// Internal to the platform layer.

#ifndef PLATFORM_CHANGE_COUNTER_H_
#define PLATFORM_CHANGE_COUNTER_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace platform::internal {

// Maps the counter of the file open as fd (path for error texts). Files on
// network file systems are refused with ENOTSUP.
Status OpenSharedChangeCounter(int fd, const std::string& path,
                               std::unique_ptr<ChangeCounter>* counter);

}  // namespace platform::internal

#endif  // PLATFORM_CHANGE_COUNTER_H_
