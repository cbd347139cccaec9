// CProcessMgr starts programs and documents, optionally waits for them,
// finds out whether a program is running, resolves shortcuts (symbolic
// links) and parses a small command syntax that can carry a working
// directory:
//
//   [cd DIRECTORY ;] FILE [PARAMETER...]
//
// Words are separated by blanks or tabs; a word in double quotes may hold
// blanks (an unterminated quote runs to the end); ";" is a word of its own.
// "cd" (any case, unquoted) is the keyword.
//
// Programs are started directly, never through a shell: the parameters are
// split into the child's arguments by the rules above. Which program opens a
// FILE:
//  * a FILE that is an executable file runs itself;
//  * any other document is opened by the program associated with its type,
//    which receives the document's host path as its first argument (before
//    the parameters). Associations come from $KALVO_ASSOC, the association
//    file ($KALVO_ASSOC_FILE, else ~/.config/kalvo/associations, then
//    /etc/kalvo/associations), the desktop's default application for the
//    MIME type, and finally xdg-open. See the README for the format.
// A FILE without a directory is looked for in the given directory, then in
// the current directory, then in the directories of $PATH.
//
// The child inherits the process's environment (platform::Env::Current()),
// with the variables set through SetChildEnv() added or replaced.
//
// Failures: a start that fails calls OnExecError() (a message box by
// default) and answers 0. Because a waiting Execute() also answers the
// child's exit code, which may be 0, a failed start is told apart by
// LastError(): it is 0 after every successful start and the errno value of
// the failure otherwise (errno is set to the same value).
//
// Not thread-safe: one object must not be used from two threads at once.
// The table of process handles is process-wide and guarded.

#ifndef MIXTABLE_PROCESS_MGR_H_
#define MIXTABLE_PROCESS_MGR_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mixtable/export.h"

// Names a child started by CProcessMgr::Execute without waiting. The handle
// stands for an entry of the process-wide handle table, which carries the
// child's process id and, once the child has ended and been reaped, its exit
// status, so that IsProgramRunning() and Wait() agree however often they
// are asked. 0 is never a handle. The caller owns the handle and releases it
// with CProcessMgr::Wait() or CProcessMgr::CloseProcess(); releasing it does
// not stop the child.
using WyProcessHandle = uint32_t;

// Answer of IsProgramRunning(handle) when the state cannot be read (the
// handle is unknown or was released).
constexpr uint32_t kWyProcessStateUnknown = 0xFFFFFFFFu;

// A tool the user can start from a menu; copyable. The tables library itself
// does not use it.
struct MIXTABLE_API Wy_UserToolEntry {
  int32_t m_nId = 0;                  // caller's number of the tool
  int32_t m_nFlags = 0;               // caller-defined bits
  int32_t m_nMenuPos = 0;             // position in the caller's tools menu
  std::string m_sMenuText;            // text of the menu entry
  std::string m_sCommand;             // program or document (see CProcessMgr)
  std::string m_sArguments;           // its parameters
  std::string m_sInitialDir = ".\\";  // working directory
  int32_t m_bWait = 0;                // non-zero: wait until the tool has ended
  int32_t m_nShowCmd = 0;  // how a window of the tool is shown (no effect)
};

class MIXTABLE_API CProcessMgr {
 public:
  // Token kinds of the command lexer.
  enum LEXER { LEX_CD = 0, LEX_WORD = 1, LEX_SEMICOLON = 2, LEX_END = 3 };

  CProcessMgr();
  CProcessMgr(const CProcessMgr& other);
  CProcessMgr& operator=(const CProcessMgr& other);
  virtual ~CProcessMgr();

  // Starts file (a program or a document; a symbolic link is replaced by its
  // target) with the parameters, in dir when dir is not empty.
  // With wait set, blocks until the child ends and answers its exit code
  // (128 + the signal number when a signal ended it). Without, answers the
  // handle of the running child. *pid (when given) receives the child's
  // process id. 0 when the start fails (see LastError()).
  uint32_t Execute(const std::string& file, const std::string& parameters,
                   const std::string& dir, bool wait, uint32_t* pid = nullptr);
  // Parses command (see ParseCommand) and starts it as above; quoted words
  // reach the child as single arguments. A malformed command fails with
  // EINVAL.
  uint32_t Execute(const std::string& command, bool wait,
                   uint32_t* pid = nullptr);

  // Splits command into the directory after "cd", the file and the
  // parameters (joined by one blank; a parameter holding a blank, a tab or
  // ";" is put in double quotes so that Execute() splits it alike). The
  // outputs are emptied first. True when the command is well formed: a file
  // is present, a "cd" comes before the file and is followed by a directory
  // and ";", and no other ";" appears.
  bool ParseCommand(const std::string& command, std::string& dir,
                    std::string& file, std::string& parameters);

  // Waits without limit for the child, answers its exit code and releases
  // the handle. kWyProcessStateUnknown for an unknown handle.
  static uint32_t Wait(WyProcessHandle process);
  // Releases the handle without waiting (the child goes on running; once
  // it ends, the next start or release reaps it, so no zombie stays).
  static void CloseProcess(WyProcessHandle process);
  // The process id of the child (0 for an unknown handle).
  static uint32_t GetProcessId(WyProcessHandle process);
  // When the child has ended, sets *exit_code and answers true; false while
  // it runs or for an unknown handle. Does not release the handle.
  static bool GetExitCode(WyProcessHandle process, uint32_t* exit_code);

  // process while the child runs, 0 once it has ended,
  // kWyProcessStateUnknown for an unknown or released handle.
  static uint32_t IsProgramRunning(WyProcessHandle process);
  // The process id of a running process of the program (a link is resolved
  // first), 0 when there is none or processes cannot be listed.
  uint32_t IsProgramRunning(const std::string& program);

  // Bringing another program's window to the front has no counterpart on
  // this desktop: both forms answer 0.
  int SwitchProcessIntoForeground(uint32_t pid);
  int SwitchProcessIntoForeground(const std::string& program);

  // 1 when a program would open file (an executable file runs itself,
  // documents need an association), else 0; with report set, a failure is
  // also passed to OnExecError().
  int FindExecutableA(const std::string& file, bool report);

  // Shortcuts are symbolic links. When link is one whose target (followed
  // through further links) exists, sets target and answers true; "%NAME%"
  // in a link's text is replaced by the environment variable NAME. A
  // relative link text is taken relative to the link's directory.
  bool GetLinkInfo(const std::string& link, std::string& target);

  // True when both paths name the same existing file or directory
  // (spelling, case, separators or links in between may differ).
  bool CompareFilenames(const std::string& path1, const std::string& path2);

  // Environment variables given to the children started after the call, in
  // addition to (or instead of) the process's own.
  void SetChildEnv(const std::string& name, const std::string& value);
  void ClearChildEnv();

  // errno value of the last failed start, 0 after a successful one.
  int32_t LastError() const { return m_nLastError; }
  // Readable account of the last failure ("" after a success).
  const std::string& LastErrorText() const { return m_sLastError; }

  // Whether running processes can be listed (/proc is available); set once
  // when the library is loaded.
  static bool m_bToolHelpOK;
  static bool InitToolhelp32();

 protected:
  // Called when a start fails, with the errno value and the command. The
  // default shows a message box (stop icon) with the command, "\r\n" and the
  // system's text of the error ("Unknown error." when there is none).
  virtual void OnExecError(int32_t error, const char* command);

  // The command lexer: InitLexer() sets the command, LexCommand() answers
  // the next token (see the top of this file).
  void InitLexer(const std::string& command);
  LEXER LexCommand(std::string& token);

 private:
  static void GetErrorText(int32_t error, std::string& text);
  bool ParseWords(const std::string& command, std::string& dir,
                  std::string& file, std::vector<std::string>& words);
  uint32_t Start(const std::string& file, const std::vector<std::string>& words,
                 const std::string& dir, bool wait, uint32_t* pid,
                 const std::string& command);
  void Fail(int32_t error, const std::string& why, const std::string& command);
  std::vector<std::string> ChildEnvironment() const;

  std::string m_sSeparators;  // " \t"
  std::string m_sCommand;     // command being lexed
  int32_t m_nPos;             // lexer position in m_sCommand
  int32_t m_nLen;             // length of m_sCommand
  std::vector<std::pair<std::string, std::string>> m_ChildEnv;
  int32_t m_nLastError = 0;
  std::string m_sLastError;
};

// Starts a user tool: its command with its arguments in its initial
// directory, waiting when m_bWait is set. Answers as CProcessMgr::Execute.
MIXTABLE_API uint32_t Wy_StartUserTool(const Wy_UserToolEntry& tool,
                                       CProcessMgr& manager);

#endif  // MIXTABLE_PROCESS_MGR_H_
