// Process-related pieces of the host Env, kept apart from the file and path
// code. Only the platform layer includes this header.

#ifndef PLATFORM_INTERNAL_PROCESS_IMPL_H_
#define PLATFORM_INTERNAL_PROCESS_IMPL_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

// program, args and cwd are host paths already mapped by the caller.
Status StartProcessImpl(const ProcessSpec& spec,
                        std::unique_ptr<Process>* process);
Status ListProcessesImpl(std::vector<ProcessEntry>* list);
std::string ProgramPathImpl();
std::string ModulePathImpl(const void* addr);

}  // namespace platform::internal

#endif  // PLATFORM_INTERNAL_PROCESS_IMPL_H_
