// CProcessMgr: construction, the command lexer and parser, starting
// programs and documents, and error reporting. The queries about running
// children and files are in process_query.cc.

#include "mixtable/process_mgr.h"

#include <cerrno>
#include <memory>

#include "access/command_lexer.h"
#include "access/error_text.h"
#include "access/file_assoc.h"
#include "access/host_fs.h"
#include "access/process_table.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace {

platform::Env* env() { return platform::Env::Current(); }

bool IsAbsolute(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return true;
  return path.size() >= 2 && path[1] == ':';
}

// Finds the file to start: a path with a directory part as it is (relative
// ones also below dir), a bare name in dir, the current directory or PATH.
platform::Status Locate(const std::string& file, const std::string& dir,
                        std::string* found) {
  if (!IsAbsolute(file)) {
    if (!dir.empty()) {
      std::string in_dir = dir;
      if (in_dir.back() != '\\' && in_dir.back() != '/') in_dir += '\\';
      in_dir += file;
      if (env()->FileExists(in_dir)) {
        *found = in_dir;
        return platform::Status::OK();
      }
    }
  }
  if (env()->FileExists(file)) {
    *found = file;
    return platform::Status::OK();
  }
  if (file.find_first_of("\\/:") == std::string::npos) {
    *found = mixtable::SearchPath(file);
    if (!found->empty()) return platform::Status::OK();
  }
  return platform::Status::Error(ENOENT, "cannot find " + file);
}

// The program that opens file: file itself when it is executable, else the
// program associated with it.
platform::Status MakePlan(const std::string& file, const std::string& dir,
                          mixtable::LaunchPlan* plan) {
  std::string found;
  platform::Status s = Locate(file, dir, &found);
  if (!s.ok()) return s;
  if (mixtable::IsExecutableFile(found)) {
    plan->program = found;
    plan->args.clear();
    return platform::Status::OK();
  }
  std::string host;
  s = env()->HostPath(found, &host);
  if (!s.ok()) return s;
  return mixtable::FindAssociation(found, host, plan);
}

}  // namespace

CProcessMgr::CProcessMgr() : m_sSeparators(" \t"), m_nPos(0), m_nLen(0) {}

CProcessMgr::CProcessMgr(const CProcessMgr& other) = default;
CProcessMgr& CProcessMgr::operator=(const CProcessMgr& other) = default;
CProcessMgr::~CProcessMgr() = default;

// ---- command syntax
// -----------------------------------------------------------

void CProcessMgr::InitLexer(const std::string& command) {
  m_sCommand = command;
  m_nPos = 0;
  m_nLen = static_cast<int32_t>(command.size());
}

CProcessMgr::LEXER CProcessMgr::LexCommand(std::string& token) {
  switch (mixtable::NextToken(m_sCommand, m_sSeparators, &m_nPos, &token)) {
    case mixtable::TokenKind::kKeywordCd:
      return LEX_CD;
    case mixtable::TokenKind::kWord:
      return LEX_WORD;
    case mixtable::TokenKind::kSemicolon:
      return LEX_SEMICOLON;
    case mixtable::TokenKind::kEnd:
      break;
  }
  return LEX_END;
}

bool CProcessMgr::ParseWords(const std::string& command, std::string& dir,
                             std::string& file,
                             std::vector<std::string>& words) {
  dir.clear();
  file.clear();
  words.clear();
  InitLexer(command);
  std::string token;
  bool ok = true;
  for (LEXER kind = LexCommand(token); ok && kind != LEX_END;
       kind = LexCommand(token)) {
    if (kind == LEX_CD) {
      // "cd" DIRECTORY ";" before the file; a directory may be called cd.
      LEXER next = LexCommand(token);
      ok = file.empty() && (next == LEX_WORD || next == LEX_CD);
      dir = token;
      ok = ok && LexCommand(token) == LEX_SEMICOLON;
    } else if (kind == LEX_SEMICOLON) {
      ok = false;  // a second command is not supported
    } else if (file.empty()) {
      file = token;
      ok = !file.empty();
    } else {
      words.push_back(token);
    }
  }
  if (ok && !file.empty()) return true;
  dir.clear();
  file.clear();
  words.clear();
  return false;
}

bool CProcessMgr::ParseCommand(const std::string& command, std::string& dir,
                               std::string& file, std::string& parameters) {
  std::vector<std::string> words;
  bool ok = ParseWords(command, dir, file, words);
  parameters = mixtable::JoinWords(words, m_sSeparators);
  return ok;
}

// ---- starting
// ------------------------------------------------------------------

uint32_t CProcessMgr::Execute(const std::string& file,
                              const std::string& parameters,
                              const std::string& dir, bool wait,
                              uint32_t* pid) {
  std::string command = file;
  if (!parameters.empty()) command += " " + parameters;
  return Start(file, mixtable::SplitWords(parameters, m_sSeparators), dir, wait,
               pid, command);
}

uint32_t CProcessMgr::Execute(const std::string& command, bool wait,
                              uint32_t* pid) {
  std::string dir, file;
  std::vector<std::string> words;
  if (!ParseWords(command, dir, file, words)) {
    Fail(EINVAL, "malformed command: " + command, command);
    return 0;
  }
  return Start(file, words, dir, wait, pid, command);
}

uint32_t CProcessMgr::Start(const std::string& file,
                            const std::vector<std::string>& words,
                            const std::string& dir, bool wait, uint32_t* pid,
                            const std::string& command) {
  m_nLastError = 0;
  m_sLastError.clear();
  std::string target = file;
  std::string resolved;
  if (GetLinkInfo(file, resolved)) target = resolved;
  if (target.empty()) {
    Fail(ENOENT, "no file to start", file);
    return 0;
  }

  mixtable::LaunchPlan plan;
  platform::Status s = MakePlan(target, dir, &plan);
  if (!s.ok()) {
    Fail(s.code(), s.ToString(), file);
    return 0;
  }
  platform::ProcessSpec launch;
  launch.program = plan.program;
  launch.args = std::move(plan.args);
  launch.args.insert(launch.args.end(), words.begin(), words.end());
  launch.cwd = dir;
  launch.env = ChildEnvironment();
  std::unique_ptr<platform::Process> child;
  s = env()->StartProcess(launch, &child);
  if (!s.ok()) {
    Fail(s.code(), s.ToString(), command);
    return 0;
  }
  if (pid != nullptr) *pid = static_cast<uint32_t>(child->pid());
  if (!wait) return mixtable::AddChild(std::move(child));
  int code = -1;
  child->Wait(-1, &code);
  return static_cast<uint32_t>(code);
}

int CProcessMgr::FindExecutableA(const std::string& file, bool report) {
  m_nLastError = 0;
  m_sLastError.clear();
  std::string target = file;
  std::string resolved;
  if (GetLinkInfo(file, resolved)) target = resolved;
  mixtable::LaunchPlan plan;
  platform::Status s = target.empty()
                           ? platform::Status::Error(ENOENT, "no file")
                           : MakePlan(target, "", &plan);
  if (s.ok()) return 1;
  m_nLastError = s.code();
  m_sLastError = s.ToString();
  if (report) Fail(s.code(), s.ToString(), file);
  errno = s.code();
  return 0;
}

// ---- environment
// ------------------------------------------------------------------

void CProcessMgr::SetChildEnv(const std::string& name,
                              const std::string& value) {
  for (auto& entry : m_ChildEnv) {
    if (entry.first == name) {
      entry.second = value;
      return;
    }
  }
  m_ChildEnv.emplace_back(name, value);
}

void CProcessMgr::ClearChildEnv() { m_ChildEnv.clear(); }

std::vector<std::string> CProcessMgr::ChildEnvironment() const {
  std::vector<std::string> vars = env()->Environment();
  for (const auto& [name, value] : m_ChildEnv) {
    std::string prefix = name + "=";
    bool replaced = false;
    for (std::string& v : vars) {
      if (v.compare(0, prefix.size(), prefix) == 0) {
        v = prefix + value;
        replaced = true;
      }
    }
    if (!replaced) vars.push_back(prefix + value);
  }
  return vars;
}

// ---- errors
// -------------------------------------------------------------------------

void CProcessMgr::Fail(int32_t error, const std::string& why,
                       const std::string& command) {
  m_nLastError = error;
  m_sLastError = why;
  OnExecError(error, command.c_str());
  errno = error;
}

void CProcessMgr::GetErrorText(int32_t error, std::string& text) {
  mixtable::ErrorText(error, &text);
}

void CProcessMgr::OnExecError(int32_t error, const char* command) {
  std::string reason;
  GetErrorText(error, reason);
  if (reason.empty()) reason = "Unknown error.";
  std::string text =
      std::string(command != nullptr ? command : "") + "\r\n" + reason;
  platform::ShowMessageBox("Error", text.c_str(),
                           platform::kMbOk | platform::kMbIconError);
}

uint32_t Wy_StartUserTool(const Wy_UserToolEntry& tool, CProcessMgr& manager) {
  return manager.Execute(tool.m_sCommand, tool.m_sArguments, tool.m_sInitialDir,
                         tool.m_bWait != 0);
}
