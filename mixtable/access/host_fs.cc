// Forwards to the platform layer's host functions after mapping the path.

#include "access/host_fs.h"

#include "platform/internal/process_impl.h"

namespace mixtable {

platform::Status ReadSymlink(const std::string& path, std::string* target) {
  target->clear();
  std::string host;
  platform::Status s = platform::Env::Current()->HostPath(path, &host);
  if (!s.ok()) return s;
  return platform::internal::ReadLinkImpl(host, target);
}

bool IsExecutableFile(const std::string& path) {
  std::string host;
  return platform::Env::Current()->HostPath(path, &host).ok() &&
         platform::internal::IsExecutableImpl(host);
}

}  // namespace mixtable
