// The Env members that read the same on every host: they map the caller's
// paths through HostPath and hand them to the host's implementation (the
// file and directory code of host_file.h and host_dir.h, the process code
// of internal/process_impl.h). Env::WalkTree is defined beside them. PosixEnv
// and Win32Env derive from it. Internal to the platform layer.

#ifndef PLATFORM_HOST_ENV_H_
#define PLATFORM_HOST_ENV_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform::internal {

class HostEnv : public Env {
 public:
  bool FileExists(const std::string& path) override;
  Status GetFileInfo(const std::string& path, FileInfo* info) override;
  Status DeleteFile(const std::string& path) override;
  Status RenameFile(const std::string& from, const std::string& to,
                    bool replace) override;
  Status CreateDir(const std::string& path) override;
  Status RemoveDir(const std::string& path) override;
  Status GetAttributes(const std::string& path, uint32_t* attrs) override;
  Status SetAttributes(const std::string& path, uint32_t attrs) override;
  Status OpenFile(const std::string& path, OpenMode mode,
                  std::unique_ptr<File>* file) override;
  Status CopyFile(const std::string& from, const std::string& to,
                  bool fail_if_exists) override;
  Status ListDir(const std::string& dir, const std::string& mask,
                 std::vector<DirEntry>* entries) override;
  Status CopyTree(const std::string& from, const std::string& to) override;
  Status DeleteTree(const std::string& path) override;
  Status ReadLink(const std::string& path, std::string* target) override;
  bool IsExecutable(const std::string& path) override;
  std::string ProgramPath() override;
  std::string ModulePath(const void* addr) override;
  Status StartProcess(const ProcessSpec& launch,
                      std::unique_ptr<Process>* process) override;
  Status ListProcesses(std::vector<ProcessEntry>* list) override;
};

}  // namespace platform::internal

#endif  // PLATFORM_HOST_ENV_H_
