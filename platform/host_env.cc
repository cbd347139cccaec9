#include "platform/host_env.h"

#include <atomic>

#include "platform/host_dir.h"
#include "platform/host_file.h"
#include "platform/internal/process_impl.h"

namespace platform::internal {

namespace {

// Maps the caller's path and hands the host path to op; a path that cannot
// be mapped fails as the mapping answers.
template <typename Op>
Status OnHost(Env* env, const std::string& path, Op op) {
  std::string host;
  Status s = env->HostPath(path, &host);
  if (!s.ok()) return s;
  return op(host);
}

// The same for two paths (a source and a target).
template <typename Op>
Status OnHosts(Env* env, const std::string& from, const std::string& to,
               Op op) {
  std::string hf, ht;
  Status s = env->HostPath(from, &hf);
  if (s.ok()) s = env->HostPath(to, &ht);
  if (!s.ok()) return s;
  return op(hf, ht);
}

}  // namespace

bool HostEnv::FileExists(const std::string& path) {
  std::string host;
  return HostPath(path, &host).ok() && HostEntryExists(host);
}

Status HostEnv::GetFileInfo(const std::string& path, FileInfo* info) {
  return OnHost(this, path, [&](const std::string& host) {
    Status s = GetHostFileInfo(host, info);
    if (!s.ok()) return Status::Error(s.code(), "stat " + path);
    return s;
  });
}

Status HostEnv::DeleteFile(const std::string& path) {
  return OnHost(this, path, [&](const std::string& host) {
    return DeleteHostFile(host, path);
  });
}

Status HostEnv::RenameFile(const std::string& from, const std::string& to,
                           bool replace) {
  return OnHosts(this, from, to,
                 [&](const std::string& hf, const std::string& ht) {
                   return RenameHostFile(hf, ht, from, to, replace);
                 });
}

Status HostEnv::CreateDir(const std::string& path) {
  return OnHost(this, path, [&](const std::string& host) {
    return CreateHostDir(host, path);
  });
}

Status HostEnv::RemoveDir(const std::string& path) {
  return OnHost(this, path, [&](const std::string& host) {
    return RemoveHostDir(host, path);
  });
}

Status HostEnv::GetAttributes(const std::string& path, uint32_t* attrs) {
  *attrs = 0;
  return OnHost(this, path, [&](const std::string& host) {
    return GetHostAttributes(host, path, attrs);
  });
}

Status HostEnv::SetAttributes(const std::string& path, uint32_t attrs) {
  return OnHost(this, path, [&](const std::string& host) {
    return SetHostAttributes(host, path, attrs);
  });
}

Status HostEnv::OpenFile(const std::string& path, OpenMode mode,
                         std::unique_ptr<File>* file) {
  file->reset();
  return OnHost(this, path, [&](const std::string& host) {
    return OpenHostFile(host, path, mode, file);
  });
}

Status HostEnv::CopyFile(const std::string& from, const std::string& to,
                         bool fail_if_exists) {
  return OnHosts(this, from, to,
                 [&](const std::string& hf, const std::string& ht) {
                   return CopyHostFile(hf, ht, fail_if_exists);
                 });
}

Status HostEnv::ListDir(const std::string& dir, const std::string& mask,
                        std::vector<DirEntry>* entries) {
  entries->clear();
  return OnHost(this, dir, [&](const std::string& host) {
    return ListHostDir(host, mask, entries);
  });
}

Status HostEnv::CopyTree(const std::string& from, const std::string& to) {
  return OnHosts(this, from, to,
                 [&](const std::string& hf, const std::string& ht) {
                   return CopyHostTree(hf, ht);
                 });
}

Status HostEnv::DeleteTree(const std::string& path) {
  return OnHost(this, path,
                [&](const std::string& host) { return DeleteHostTree(host); });
}

Status HostEnv::ReadLink(const std::string& path, std::string* target) {
  target->clear();
  return OnHost(this, path, [&](const std::string& host) {
    return ReadLinkImpl(host, target);
  });
}

bool HostEnv::IsExecutable(const std::string& path) {
  std::string host;
  return HostPath(path, &host).ok() && internal::IsExecutableImpl(host);
}

std::string HostEnv::ProgramPath() { return ProgramPathImpl(); }

std::string HostEnv::ModulePath(const void* addr) {
  return ModulePathImpl(addr);
}

Status HostEnv::StartProcess(const ProcessSpec& launch,
                             std::unique_ptr<Process>* process) {
  process->reset();
  ProcessSpec host = launch;
  // A bare program name is left to the process code (search of PATH)
  // unless the current directory holds it.
  bool bare = launch.program.find_first_of("\\/:") == std::string::npos;
  if (!launch.program.empty() && (!bare || FileExists(launch.program))) {
    Status s = HostPath(launch.program, &host.program);
    if (!s.ok()) return s;
  }
  if (!launch.cwd.empty()) {
    Status s = HostPath(launch.cwd, &host.cwd);
    if (!s.ok()) return s;
  }
  return StartProcessImpl(host, process);
}

Status HostEnv::ListProcesses(std::vector<ProcessEntry>* list) {
  list->clear();
  return ListProcessesImpl(list);
}

}  // namespace platform::internal

namespace platform {

Status Env::SyncDir(const std::string& dir) {
  return internal::OnHost(this, dir, [&](const std::string& host) {
    return internal::SyncHostDir(host, dir);
  });
}

Status Env::MarkExecutable(const std::string& path) {
  return internal::OnHost(this, path, [&](const std::string& host) {
    return internal::MarkHostExecutable(host, path);
  });
}

Status Env::WalkTree(const std::string& dir, const TreeVisitor& visit) {
  return internal::OnHost(this, dir, [&](const std::string& host) {
    return internal::WalkHostTree(host, visit);
  });
}

namespace {

std::atomic<Env*> g_current{nullptr};

}  // namespace

// The current Env, the same rule on every host (Default is the host's).
Env* Env::Current() {
  Env* e = g_current.load();
  return e != nullptr ? e : Default();
}

Env* Env::SetCurrent(Env* env) {
  Env* prev = g_current.exchange(env);
  return prev != nullptr ? prev : Default();
}

}  // namespace platform
