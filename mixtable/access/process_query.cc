// CProcessMgr: children behind handles, running programs, links and file
// identity.

#include <memory>
#include <string>
#include <vector>

#include "access/host_fs.h"
#include "access/process_table.h"
#include "mixtable/process_mgr.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"

namespace {

platform::Env* env() { return platform::Env::Current(); }

bool IsAbsolute(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return true;
  return path.size() >= 2 && path[1] == ':';
}

bool SameFile(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.inode == b.inode && a.is_dir == b.is_dir && a.is_link == b.is_link &&
         a.size == b.size && a.mtime == b.mtime && a.mtime_ns == b.mtime_ns;
}

// Replaces "%NAME%" by the value of the environment variable NAME; unknown
// names and lone "%" stay as they are.
std::string ExpandVariables(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    if (open == std::string::npos) break;
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, i, open - i);
    std::string value;
    std::string name = text.substr(open + 1, close - open - 1);
    if (!name.empty() && env()->GetEnv(name, &value)) {
      out += value;
      i = close + 1;
    } else {
      out += '%';  // the closing "%" may open the next name
      i = open + 1;
    }
  }
  out.append(text, i, std::string::npos);
  return out;
}

// Links followed before GetLinkInfo gives up (a loop, most likely).
constexpr int kMaxLinks = 32;

// Set when the library is loaded.
[[maybe_unused]] const bool kToolHelpProbed = CProcessMgr::InitToolhelp32();

}  // namespace

bool CProcessMgr::m_bToolHelpOK = false;

bool CProcessMgr::InitToolhelp32() {
  m_bToolHelpOK = env()->FileExists("/proc/self/exe");
  return m_bToolHelpOK;
}

// ---- children behind handles
// ------------------------------------------------------

uint32_t CProcessMgr::Wait(WyProcessHandle process) {
  std::unique_ptr<platform::Process> child = mixtable::TakeChild(process);
  if (child == nullptr) return kWyProcessStateUnknown;
  int code = -1;
  child->Wait(-1, &code);
  return static_cast<uint32_t>(code);
}

void CProcessMgr::CloseProcess(WyProcessHandle process) {
  mixtable::TakeChild(process);
}

uint32_t CProcessMgr::GetProcessId(WyProcessHandle process) {
  uint32_t pid = 0;
  mixtable::WithChild(process, [&](platform::Process* p) {
    pid = static_cast<uint32_t>(p->pid());
  });
  return pid;
}

bool CProcessMgr::GetExitCode(WyProcessHandle process, uint32_t* exit_code) {
  bool ended = false;
  mixtable::WithChild(process, [&](platform::Process* p) {
    int code = -1;
    ended = p->Wait(0, &code);
    if (ended && exit_code != nullptr) *exit_code = static_cast<uint32_t>(code);
  });
  return ended;
}

uint32_t CProcessMgr::IsProgramRunning(WyProcessHandle process) {
  uint32_t answer = kWyProcessStateUnknown;
  mixtable::WithChild(process, [&](platform::Process* p) {
    answer = p->Running() ? process : 0;
  });
  return answer;
}

// ---- running programs
// -------------------------------------------------------------

uint32_t CProcessMgr::IsProgramRunning(const std::string& program) {
  std::string path = program;
  std::string target;
  if (GetLinkInfo(program, target)) path = target;
  if (!m_bToolHelpOK || path.empty()) return 0;

  std::string host;
  platform::FileInfo want;
  if (!env()->HostPath(path, &host).ok() ||
      !env()->GetFileInfo(path, &want).ok() || want.is_dir) {
    return 0;
  }
  std::vector<platform::ProcessEntry> processes;
  if (!env()->ListProcesses(&processes).ok()) return 0;
  for (const platform::ProcessEntry& e : processes) {
    if (e.exe.empty() || e.pid <= 0) continue;
    platform::FileInfo info;
    if (e.exe == host ||
        (env()->GetFileInfo(e.exe, &info).ok() && SameFile(info, want))) {
      return static_cast<uint32_t>(e.pid);
    }
  }
  return 0;
}

int CProcessMgr::SwitchProcessIntoForeground(uint32_t /*pid*/) { return 0; }

int CProcessMgr::SwitchProcessIntoForeground(const std::string& program) {
  uint32_t pid = IsProgramRunning(program);
  return pid == 0 ? 0 : SwitchProcessIntoForeground(pid);
}

// ---- links and file identity
// ------------------------------------------------------

bool CProcessMgr::GetLinkInfo(const std::string& link, std::string& target) {
  std::string current = link;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    platform::FileInfo info;
    if (current.empty() || !env()->GetFileInfo(current, &info).ok()) {
      return false;  // missing, or a dangling link
    }
    if (!info.is_link) {
      if (hop == 0) return false;  // not a shortcut
      target = current;
      return true;
    }
    std::string text;
    if (!mixtable::ReadSymlink(current, &text).ok() || text.empty()) {
      return false;
    }
    if (text.find('%') != std::string::npos) text = ExpandVariables(text);
    if (!IsAbsolute(text)) {
      std::string base = current;
      while (base.size() > 1 && (base.back() == '\\' || base.back() == '/')) {
        base.pop_back();
      }
      Wy_GetFilePath(base);
      text = base + text;
    }
    current = text;
  }
  return false;
}

bool CProcessMgr::CompareFilenames(const std::string& path1,
                                   const std::string& path2) {
  std::string host1, host2;
  platform::FileInfo info1, info2;
  if (!env()->HostPath(path1, &host1).ok() ||
      !env()->HostPath(path2, &host2).ok() ||
      !env()->GetFileInfo(path1, &info1).ok() ||
      !env()->GetFileInfo(path2, &info2).ok()) {
    return false;
  }
  return host1 == host2 || SameFile(info1, info2);
}
