// Link targets and the executable check, through the platform layer.

#include "access/host_fs.h"

namespace mixtable {

platform::Status ReadSymlink(const std::string& path, std::string* target) {
  return platform::Env::Current()->ReadLink(path, target);
}

bool IsExecutableFile(const std::string& path) {
  return platform::Env::Current()->IsExecutable(path);
}

}  // namespace mixtable
