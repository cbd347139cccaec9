// Stand-in for the process functions until the host implementation
// (process_posix.cc) is in the tree: every call fails with ENOSYS.

#include <cerrno>

#include "platform/internal/process_impl.h"

namespace platform::internal {

Status StartProcessImpl(const ProcessSpec& spec,
                        std::unique_ptr<Process>* process) {
  process->reset();
  return Status::Error(ENOSYS, "start " + spec.program);
}

Status ListProcessesImpl(std::vector<ProcessEntry>* list) {
  list->clear();
  return Status::Error(ENOSYS, "list processes");
}

std::string ProgramPathImpl() { return ""; }

std::string ModulePathImpl(const void*) { return ""; }

}  // namespace platform::internal
