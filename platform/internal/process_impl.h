// Process-related pieces of the host Env, kept apart from the file and path
// code. Only the platform layer (and, for the two host-file facts below, the
// tables library until Env offers them) includes this header.

#ifndef PLATFORM_INTERNAL_PROCESS_IMPL_H_
#define PLATFORM_INTERNAL_PROCESS_IMPL_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

// program, args and cwd are host paths already mapped by the caller.
Status StartProcessImpl(const ProcessSpec& launch,
                        std::unique_ptr<Process>* process);
Status ListProcessesImpl(std::vector<ProcessEntry>* list);
std::string ProgramPathImpl();
std::string ModulePathImpl(const void* addr);

// Host-file facts the Env interface does not offer yet; host is a host path
// already mapped by the caller.
// The target of the symbolic link host, as stored (one level, not resolved).
Status ReadLinkImpl(const std::string& host, std::string* target);
// Whether host is a regular file (links followed) the user may execute.
bool IsExecutableImpl(const std::string& host);

}  // namespace platform::internal

#endif  // PLATFORM_INTERNAL_PROCESS_IMPL_H_
