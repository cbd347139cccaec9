// Host processes on Windows: start (CreateProcessA, never through a shell),
// wait, listing through a tool-help snapshot, and the paths of the program
// and its modules. Paths are ANSI strings used with the A functions.
//
// The child gets one command line; it is built from the program and the
// arguments with the quoting rules of the Microsoft C runtime, so a child
// that splits its command line with those rules (every program built with
// that runtime or with mingw) receives each argument exactly as given.
// Only standard input, output and error pass to the child.

#include <windows.h>
// After windows.h:
#include <tlhelp32.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/process_impl.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/win32_internal.h"

namespace platform::internal {

namespace {

class Win32Process : public Process {
 public:
  Win32Process(HANDLE process, DWORD pid) : handle_(process), pid_(pid) {}
  // The child keeps running; only this process's handle to it is closed.
  ~Win32Process() override { CloseHandle(handle_); }

  int pid() const override { return static_cast<int>(pid_); }

  bool Wait(int64_t timeout_ms, int* exit_code) override {
    if (!ended_) {
      DWORD ms = INFINITE;
      if (timeout_ms >= 0) {
        // INFINITE is 0xFFFFFFFF: longer finite waits stop just below it.
        ms = timeout_ms >= INFINITE ? INFINITE - 1
                                    : static_cast<DWORD>(timeout_ms);
      }
      Collect(WaitForSingleObject(handle_, ms));
    }
    if (ended_ && exit_code != nullptr) *exit_code = exit_code_;
    return ended_;
  }

  bool Running() override {
    if (!ended_) Collect(WaitForSingleObject(handle_, 0));
    return !ended_;
  }

 private:
  // Records the exit code once the wait says the process has ended. A
  // failed wait (a broken handle) counts as ended with exit code -1, as an
  // unknown child does on POSIX.
  void Collect(DWORD wait_result) {
    if (wait_result == WAIT_TIMEOUT) return;
    ended_ = true;
    DWORD code = 0;
    if (wait_result == WAIT_OBJECT_0 && GetExitCodeProcess(handle_, &code)) {
      exit_code_ = static_cast<int>(code);
    } else {
      exit_code_ = -1;
    }
  }

  HANDLE handle_;
  DWORD pid_;
  bool ended_ = false;
  int exit_code_ = 0;
};

bool HasDirectoryPart(const std::string& program) {
  return program.find_first_of("\\/:") != std::string::npos;
}

bool IsDirectory(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegularFile(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPath(const std::string& path) {
  char buf[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof(buf), buf, nullptr);
  if (n == 0 || n >= sizeof(buf)) return path;
  return std::string(buf, n);
}

// The value of PATH the child will see: its own when the launch gives an
// environment, else this process's.
std::string ChildPathList(const ProcessSpec& launch) {
  if (!launch.env.empty()) {
    for (const std::string& e : launch.env) {
      if (e.size() >= 5 && _strnicmp(e.c_str(), "PATH=", 5) == 0) {
        return e.substr(5);
      }
    }
    return "";
  }
  DWORD n = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (n == 0) return "";
  std::string v(n, '\0');
  n = GetEnvironmentVariableA("PATH", v.data(), n);
  v.resize(n);
  return v;
}

// Finds a program named without a directory: the current directory first,
// then the directories of PATH; a name without an extension is tried as it
// is and with ".exe" (the search CreateProcess itself does, but on the
// child's PATH).
Status SearchProgram(const ProcessSpec& launch, std::string* program) {
  std::vector<std::string> dirs = {"."};
  const std::string list = ChildPathList(launch);
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(';', begin);
    if (end == std::string::npos) end = list.size();
    if (end > begin) dirs.push_back(list.substr(begin, end - begin));
    begin = end + 1;
  }
  const std::string& name = launch.program;
  const bool has_ext = name.find('.') != std::string::npos;
  for (const std::string& d : dirs) {
    std::string base = d;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') {
      base += '\\';
    }
    for (const std::string& cand :
         {base + name, has_ext ? std::string() : base + name + ".exe"}) {
      if (!cand.empty() && IsRegularFile(cand)) {
        *program = FullPath(cand);
        return Status::OK();
      }
    }
  }
  return Status::Error(ENOENT,
                       "start " + launch.program + " (not found in PATH)");
}

// The environment block: "NAME=value" strings each ending with NUL, then
// one more NUL, sorted by name without regard to case as Windows expects.
std::string EnvironmentBlock(const std::vector<std::string>& env) {
  std::vector<std::string> sorted = env;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const std::string& a, const std::string& b) {
                     return _stricmp(a.substr(0, a.find('=')).c_str(),
                                     b.substr(0, b.find('=')).c_str()) < 0;
                   });
  std::string block;
  for (const std::string& e : sorted) {
    block += e;
    block += '\0';
  }
  block += '\0';
  if (sorted.empty()) block += '\0';
  return block;
}

// Inheritable duplicates of the standard handles: the only handles the
// child gets. Closed by the destructor (the child holds its own copies).
class StdHandles {
 public:
  StdHandles() {
    for (DWORD which :
         {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      HANDLE h = GetStdHandle(which);
      HANDLE dup = nullptr;
      if (h != nullptr && h != INVALID_HANDLE_VALUE &&
          DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &dup, 0,
                          TRUE, DUPLICATE_SAME_ACCESS)) {
        std_[slots_++] = dup;
        list_.push_back(dup);
      } else {
        std_[slots_++] = nullptr;
      }
    }
  }
  ~StdHandles() {
    for (HANDLE h : list_) CloseHandle(h);
  }
  HANDLE input() const { return std_[0]; }
  HANDLE output() const { return std_[1]; }
  HANDLE error() const { return std_[2]; }
  std::vector<HANDLE>& list() { return list_; }

 private:
  HANDLE std_[3] = {nullptr, nullptr, nullptr};
  int slots_ = 0;
  std::vector<HANDLE> list_;
};

}  // namespace

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
    return arg;
  }
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are doubled, and the quote escaped.
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  // Backslashes before the closing quote are doubled.
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::string BuildCommandLine(const std::string& program,
                             const std::vector<std::string>& args) {
  // The program name is read up to the next quote, without escapes: it
  // cannot hold a quote, and backslashes stay as they are.
  std::string line;
  if (program.find_first_of(" \t") != std::string::npos || program.empty()) {
    line = "\"" + program + "\"";
  } else {
    line = program;
  }
  for (const std::string& a : args) {
    line += ' ';
    line += QuoteArgument(a);
  }
  return line;
}

Status StartProcessImpl(const ProcessSpec& launch,
                        std::unique_ptr<Process>* process) {
  process->reset();
  if (launch.program.empty()) return Status::Error(ENOENT, "start: no program");
  if (launch.program.find('"') != std::string::npos) {
    return Status::Error(EINVAL,
                         "start " + launch.program + " (quote in name)");
  }
  std::string program = launch.program;
  if (!HasDirectoryPart(program)) {
    Status s = SearchProgram(launch, &program);
    if (!s.ok()) return s;
  } else {
    // The child starts in its own directory: anchor a relative program to
    // this process's directory first.
    program = FullPath(program);
  }
  if (!launch.cwd.empty() && !IsDirectory(launch.cwd)) {
    DWORD a = GetFileAttributesA(launch.cwd.c_str());
    return Status::Error(
        a == INVALID_FILE_ATTRIBUTES ? ENOENT : ENOTDIR,
        "start " + launch.program + " in directory " + launch.cwd);
  }
  if (!IsRegularFile(program)) {
    DWORD a = GetFileAttributesA(program.c_str());
    return Status::Error(a == INVALID_FILE_ATTRIBUTES ? ENOENT : EACCES,
                         "start " + launch.program);
  }

  std::string command = BuildCommandLine(launch.program, launch.args);
  std::string env_block;
  if (!launch.env.empty()) env_block = EnvironmentBlock(launch.env);

  StdHandles handles;
  STARTUPINFOEXA si;
  std::memset(&si, 0, sizeof(si));
  si.StartupInfo.cb = sizeof(si);
  si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  si.StartupInfo.hStdInput = handles.input();
  si.StartupInfo.hStdOutput = handles.output();
  si.StartupInfo.hStdError = handles.error();

  // The attribute list names the handles the child inherits: nothing else
  // passes even if some other handle of this process is inheritable.
  std::vector<char> attr_buf;
  DWORD flags = 0;
  const bool inherit = !handles.list().empty();
  if (inherit) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attr_buf.resize(size);
    auto* attrs =
        reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attr_buf.data());
    if (InitializeProcThreadAttributeList(attrs, 1, 0, &size)) {
      if (UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                    handles.list().data(),
                                    handles.list().size() * sizeof(HANDLE),
                                    nullptr, nullptr)) {
        si.lpAttributeList = attrs;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
      } else {
        DeleteProcThreadAttributeList(attrs);
      }
    }
  }

  PROCESS_INFORMATION pi;
  std::memset(&pi, 0, sizeof(pi));
  std::vector<char> cmd(command.begin(), command.end());
  cmd.push_back('\0');
  auto create = [&] {
    return CreateProcessA(program.c_str(), cmd.data(), nullptr, nullptr,
                          inherit ? TRUE : FALSE, flags,
                          env_block.empty() ? nullptr : env_block.data(),
                          launch.cwd.empty() ? nullptr : launch.cwd.c_str(),
                          &si.StartupInfo, &pi);
  };
  BOOL ok = create();
  DWORD err = GetLastError();
  if (si.lpAttributeList != nullptr) {
    DeleteProcThreadAttributeList(si.lpAttributeList);
    if (!ok && err == ERROR_INVALID_PARAMETER) {
      // Windows 7 refuses console pseudo-handles in the list: start
      // without it. The files of this layer are opened non-inheritable,
      // so they stay out of the child all the same.
      si.lpAttributeList = nullptr;
      si.StartupInfo.cb = sizeof(STARTUPINFOA);
      flags &= ~static_cast<DWORD>(EXTENDED_STARTUPINFO_PRESENT);
      ok = create();
      err = GetLastError();
    }
  }
  if (!ok) return Win32Status(err, "start " + launch.program);
  CloseHandle(pi.hThread);
  *process = std::make_unique<Win32Process>(pi.hProcess, pi.dwProcessId);
  return Status::OK();
}

std::string CommandName(const std::string& exe_file) {
  constexpr char kExe[] = ".exe";
  constexpr size_t kExeLen = sizeof(kExe) - 1;
  if (exe_file.size() > kExeLen &&
      _stricmp(exe_file.c_str() + exe_file.size() - kExeLen, kExe) == 0) {
    return exe_file.substr(0, exe_file.size() - kExeLen);
  }
  return exe_file;
}

Status ListProcessesImpl(std::vector<ProcessEntry>* list) {
  list->clear();
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) {
    return Win32Status(GetLastError(), "list processes");
  }
  PROCESSENTRY32 pe;
  pe.dwSize = sizeof(pe);
  for (BOOL more = Process32First(snap, &pe); more;
       more = Process32Next(snap, &pe)) {
    if (pe.th32ProcessID == 0) continue;  // the idle process
    ProcessEntry entry;
    entry.pid = static_cast<int>(pe.th32ProcessID);
    entry.name = CommandName(pe.szExeFile);
    // The full path needs a handle: other users' and protected processes
    // refuse it and keep an empty path.
    HANDLE h =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
    if (h != nullptr) {
      char buf[MAX_PATH * 4];
      DWORD n = sizeof(buf);
      if (QueryFullProcessImageNameA(h, 0, buf, &n)) entry.exe.assign(buf, n);
      CloseHandle(h);
    }
    list->push_back(std::move(entry));
  }
  CloseHandle(snap);
  return Status::OK();
}

namespace {

std::string ModuleFileName(HMODULE module) {
  std::vector<char> buf(MAX_PATH);
  for (;;) {
    DWORD n =
        GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);  // truncated
  }
}

}  // namespace

std::string ProgramPathImpl() { return ModuleFileName(nullptr); }

std::string ModulePathImpl(const void* addr) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<const char*>(addr), &module)) {
    return ProgramPathImpl();  // not inside a module (heap, stack)
  }
  return ModuleFileName(module);
}

}  // namespace platform::internal
