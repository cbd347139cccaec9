#include "mixtable/process_mgr.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "access/host_fs.h"
#include "access/scoped_env_var.h"
#include "gtest/gtest.h"
#include "mixtable/wy_util.h"
#include "platform/hooks.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_drives.h"

namespace {

using mixtable::ScopedEnvVar;

platform::Env* env() { return platform::Env::Current(); }

std::string Host(const std::string& path) {
  std::string host;
  EXPECT_TRUE(env()->HostPath(path, &host).ok()) << path;
  return host;
}

void WriteText(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(
      env()->OpenFile(path, platform::OpenMode::kCreateAlways, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

// The layer offers no way to make a symbolic link, so the tests ask ln.
void MakeSymlink(const std::string& text, const std::string& link) {
  platform::ProcessSpec launch;
  launch.program = "/bin/ln";
  launch.args = {"-s", text, Host(link)};
  std::unique_ptr<platform::Process> p;
  ASSERT_TRUE(env()->StartProcess(launch, &p).ok());
  int code = -1;
  ASSERT_TRUE(p->Wait(-1, &code));
  ASSERT_EQ(code, 0);
}

#ifndef _WIN32
// The shell's program file (/bin/sh is usually a link, which CopyFile
// refuses). Only the Linux-only shell cases below use it.
std::string ShellFile() {
  std::string path = "/bin/sh";
  std::string text;
  while (mixtable::ReadSymlink(path, &text).ok()) {
    path = text[0] == '/' ? text : path.substr(0, path.rfind('/') + 1) + text;
  }
  return path;
}
#endif

// Windows: the cases that run POSIX shell scripts (/bin/sh, a copy of it,
// "kill -9 $$") or make symbolic links (which need a privilege there, and
// cannot be made under wine) run on Linux only; starting programs with
// CreateProcess is covered by the platform's process tests.
#ifdef _WIN32
#define SKIP_WITHOUT_SHELL() \
  GTEST_SKIP() << "needs /bin/sh and symbolic links (Linux only)"
#else
#define SKIP_WITHOUT_SHELL() (void)0
#endif

// Records the start failures instead of showing them.
class RecordingMgr : public CProcessMgr {
 public:
  struct Error {
    int32_t code;
    std::string command;
  };
  std::vector<Error> errors;

 protected:
  void OnExecError(int32_t code, const char* command) override {
    errors.push_back({code, command});
  }
};

// A drive c with c:\bin\mysh (a copy of the shell) and an isolated
// association table.
class ProcessMgrTest : public ::testing::Test {
 protected:
  ProcessMgrTest()
      : assoc_("KALVO_ASSOC"),
        assoc_file_("KALVO_ASSOC_FILE", tmp_.Host("assoc")),
        data_home_("XDG_DATA_HOME", tmp_.Host("data")),
        data_dirs_("XDG_DATA_DIRS", tmp_.Host("none")),
        config_home_("XDG_CONFIG_HOME", tmp_.Host("config")),
        config_dirs_("XDG_CONFIG_DIRS", tmp_.Host("none")) {
    EXPECT_TRUE(Wy_MkDir("c:\\bin"));
    EXPECT_TRUE(Wy_MkDir("c:\\docs"));
#ifndef _WIN32
    EXPECT_TRUE(env()->CopyFile(ShellFile(), "c:\\bin\\mysh", false).ok());
#endif
  }

  platform::ScopedTempDrives tmp_;
  ScopedEnvVar assoc_, assoc_file_, data_home_, data_dirs_, config_home_,
      config_dirs_;
  RecordingMgr mgr_;
};

TEST_F(ProcessMgrTest, WaitsForTheExitCode) {
  SKIP_WITHOUT_SHELL();
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit 7\"", "", true), 7u);
  EXPECT_EQ(mgr_.LastError(), 0);
  EXPECT_EQ(mgr_.Execute("c:\\bin\\mysh", "-c \"exit 3\"", "", true), 3u);
  // A bare name is looked for in the directory, then in PATH.
  EXPECT_EQ(mgr_.Execute("mysh", "-c \"exit 4\"", "c:\\bin\\", true), 4u);
  EXPECT_EQ(mgr_.Execute("sh", "-c \"exit 5\"", "", true), 5u);
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"kill -9 $$\"", "", true), 137u);
  uint32_t pid = 0;
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit 0\"", "", true, &pid), 0u);
  EXPECT_EQ(mgr_.LastError(), 0);  // 0 was the exit code, not a failure
  EXPECT_GT(pid, 0u);
  EXPECT_TRUE(mgr_.errors.empty());
}

TEST_F(ProcessMgrTest, FailedStartsAreReported) {
  SKIP_WITHOUT_SHELL();
  errno = 0;
  EXPECT_EQ(mgr_.Execute("c:\\missing.exe", "/x", "", true), 0u);
  EXPECT_EQ(mgr_.LastError(), ENOENT);
  EXPECT_EQ(errno, ENOENT);
  ASSERT_EQ(mgr_.errors.size(), 1u);
  EXPECT_EQ(mgr_.errors[0].code, ENOENT);
  EXPECT_EQ(mgr_.errors[0].command, "c:\\missing.exe");

  // A working directory that does not exist.
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit 0\"", "c:\\nodir", false), 0u);
  EXPECT_EQ(mgr_.LastError(), ENOENT);
  ASSERT_EQ(mgr_.errors.size(), 2u);
  EXPECT_EQ(mgr_.errors[1].command, "/bin/sh -c \"exit 0\"");

  // A malformed command.
  EXPECT_EQ(mgr_.Execute("cd c:\\bin ;", true), 0u);
  EXPECT_EQ(mgr_.LastError(), EINVAL);
  EXPECT_EQ(mgr_.Execute("", "", "", true), 0u);
  EXPECT_EQ(mgr_.errors.size(), 4u);

  // A success clears the last error.
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit 2\"", "", true), 2u);
  EXPECT_EQ(mgr_.LastError(), 0);
  EXPECT_EQ(mgr_.LastErrorText(), "");
}

struct Box {
  std::string text;
  unsigned style;
};
std::vector<Box> boxes;
int RecordBox(const char*, const char* text, unsigned style) {
  boxes.push_back({text, style});
  return platform::kIdOk;
}

TEST_F(ProcessMgrTest, DefaultErrorReportIsAMessageBox) {
  boxes.clear();
  platform::MessageBoxHook old = platform::SetMessageBoxHook(RecordBox);
  CProcessMgr plain;
  EXPECT_EQ(plain.Execute("c:\\missing.exe", "", "", true), 0u);
  platform::SetMessageBoxHook(old);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "c:\\missing.exe\r\nNo such file or directory");
  EXPECT_EQ(boxes[0].style & 0xF0u, platform::kMbIconError);
}

TEST_F(ProcessMgrTest, ChildSeesTheEnvironment) {
  SKIP_WITHOUT_SHELL();
  ScopedEnvVar var("KALVO_PM_VAR", "hello");
  EXPECT_EQ(
      mgr_.Execute("/bin/sh", "-c \"test $KALVO_PM_VAR = hello\"", "", true),
      0u);
  // Variables for the children only; the process itself does not get them.
  mgr_.SetChildEnv("GDATA", "c:\\gdata\\");
  mgr_.SetChildEnv("KALVO_PM_VAR", "bye");
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit ${#GDATA}\"", "", true), 9u);
  EXPECT_EQ(
      mgr_.Execute("/bin/sh", "-c \"test $KALVO_PM_VAR = bye\"", "", true), 0u);
  std::string value;
  EXPECT_FALSE(env()->GetEnv("GDATA", &value));
  mgr_.ClearChildEnv();
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit ${#GDATA}\"", "", true), 0u);
}

TEST_F(ProcessMgrTest, CommandWithDirectory) {
  SKIP_WITHOUT_SHELL();
  ASSERT_TRUE(Wy_MkDir("c:\\tmp"));
  EXPECT_EQ(
      mgr_.Execute("cd C:\\TMP ; /bin/sh -c \"test $(basename $(pwd)) = tmp\"",
                   true),
      0u);
  // A quoted parameter stays one argument: $1 = "a b", $2 = c.
  EXPECT_EQ(mgr_.Execute("/bin/sh -c \"exit $#\" sh \"a b\" c", true), 2u);
  EXPECT_EQ(mgr_.Execute("/bin/sh", "-c \"exit $#\" sh \"a b\" c", "", true),
            2u);
}

TEST_F(ProcessMgrTest, HandlesOfRunningChildren) {
  SKIP_WITHOUT_SHELL();
  uint32_t pid = 0;
  WyProcessHandle h = mgr_.Execute("/bin/sh", "-c \"exit 6\"", "", false, &pid);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(CProcessMgr::GetProcessId(h), pid);
  // Once the child has ended, the handle says so, keeps saying so, and
  // keeps the exit code.
  while (CProcessMgr::IsProgramRunning(h) == h) env()->SleepMs(1);
  EXPECT_EQ(CProcessMgr::IsProgramRunning(h), 0u);
  EXPECT_EQ(CProcessMgr::IsProgramRunning(h), 0u);
  uint32_t code = 0;
  EXPECT_TRUE(CProcessMgr::GetExitCode(h, &code));
  EXPECT_EQ(code, 6u);
  EXPECT_EQ(CProcessMgr::Wait(h), 6u);
  // Released by Wait.
  EXPECT_EQ(CProcessMgr::IsProgramRunning(h), kWyProcessStateUnknown);
  EXPECT_EQ(CProcessMgr::Wait(h), kWyProcessStateUnknown);
  EXPECT_EQ(CProcessMgr::GetProcessId(h), 0u);
  EXPECT_FALSE(CProcessMgr::GetExitCode(h, &code));
  EXPECT_EQ(CProcessMgr::IsProgramRunning(WyProcessHandle{0}),
            kWyProcessStateUnknown);

  // Two children get different handles; closing one leaves the other.
  WyProcessHandle a = mgr_.Execute("/bin/sh", "-c \"exit 1\"", "", false);
  WyProcessHandle b = mgr_.Execute("/bin/sh", "-c \"exit 2\"", "", false);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  CProcessMgr::CloseProcess(a);
  EXPECT_EQ(CProcessMgr::IsProgramRunning(a), kWyProcessStateUnknown);
  EXPECT_EQ(CProcessMgr::Wait(b), 2u);
}

TEST_F(ProcessMgrTest, RunningProgramByPath) {
  SKIP_WITHOUT_SHELL();
  // The child runs until the test creates the stop file.
  std::string stop = Host("c:\\stop");
  uint32_t pid = 0;
  WyProcessHandle h =
      mgr_.Execute("c:\\bin\\mysh",
                   "-c \"while [ ! -e " + stop + " ]; do sleep 0.01; done\"",
                   "", false, &pid);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(CProcessMgr::IsProgramRunning(h), h);
  EXPECT_EQ(mgr_.IsProgramRunning("c:\\bin\\mysh"), pid);
  EXPECT_EQ(mgr_.IsProgramRunning("C:/BIN/MYSH"), pid);
  EXPECT_EQ(mgr_.IsProgramRunning(Host("c:\\bin\\mysh")), pid);
  MakeSymlink(Host("c:\\bin\\mysh"), "c:\\shortcut");
  EXPECT_EQ(mgr_.IsProgramRunning("c:\\shortcut"), pid);
  EXPECT_EQ(mgr_.SwitchProcessIntoForeground(pid), 0);
  EXPECT_EQ(mgr_.SwitchProcessIntoForeground("c:\\bin\\mysh"), 0);

  WriteText("c:\\stop", "");
  EXPECT_EQ(CProcessMgr::Wait(h), 0u);
  EXPECT_EQ(mgr_.IsProgramRunning("c:\\bin\\mysh"), 0u);
  EXPECT_EQ(mgr_.IsProgramRunning("c:\\bin\\none"), 0u);
  EXPECT_EQ(mgr_.IsProgramRunning(""), 0u);
}

TEST_F(ProcessMgrTest, DocumentsOpenWithTheirProgram) {
  SKIP_WITHOUT_SHELL();
  // The viewer checks that the document comes first, then the parameters.
  WriteText("c:\\bin\\viewer.sh",
            "test -f \"$1\" || exit 1\n"
            "test \"$2\" = \"p 1\" || exit 2\n"
            "exit 9\n");
  ScopedEnvVar assoc("KALVO_ASSOC",
                     ".kvt=/bin/sh " + Host("c:\\bin\\viewer.sh"));
  WriteText("c:\\docs\\a.kvt", "text");
  EXPECT_EQ(mgr_.Execute("c:\\docs\\a.kvt", "\"p 1\"", "", true), 9u);
  EXPECT_EQ(mgr_.FindExecutableA("c:\\docs\\a.kvt", true), 1);

  // No program for this type.
  ScopedEnvVar path("PATH", tmp_.Host("nobin"));
  WriteText("c:\\docs\\x.zzq", "text");
  EXPECT_EQ(mgr_.FindExecutableA("c:\\docs\\x.zzq", false), 0);
  EXPECT_EQ(mgr_.LastError(), ENOEXEC);
  EXPECT_TRUE(mgr_.errors.empty());
  EXPECT_EQ(mgr_.FindExecutableA("c:\\docs\\x.zzq", true), 0);
  ASSERT_EQ(mgr_.errors.size(), 1u);
  EXPECT_EQ(mgr_.errors[0].code, ENOEXEC);
  EXPECT_EQ(mgr_.Execute("c:\\docs\\x.zzq", "", "", true), 0u);
  EXPECT_EQ(mgr_.errors.size(), 2u);
  EXPECT_EQ(mgr_.FindExecutableA("c:\\bin\\mysh", true), 1);
  EXPECT_EQ(mgr_.FindExecutableA("c:\\docs\\none.kvt", false), 0);
  EXPECT_EQ(mgr_.LastError(), ENOENT);
}

TEST_F(ProcessMgrTest, LinksStandForShortcuts) {
  SKIP_WITHOUT_SHELL();
  std::string target;
  MakeSymlink(Host("c:\\bin\\mysh"), "c:\\abs");
  ASSERT_TRUE(mgr_.GetLinkInfo("c:\\abs", target));
  EXPECT_TRUE(mgr_.CompareFilenames(target, "c:\\bin\\mysh"));
  EXPECT_EQ(mgr_.Execute("c:\\abs", "-c \"exit 8\"", "", true), 8u);

  MakeSymlink("mysh", "c:\\bin\\rel");  // relative to the link's directory
  ASSERT_TRUE(mgr_.GetLinkInfo("c:\\bin\\rel", target));
  EXPECT_EQ(target, "c:\\bin\\mysh");

  MakeSymlink(Host("c:\\bin\\rel"), "c:\\chain");  // link to a link
  ASSERT_TRUE(mgr_.GetLinkInfo("c:\\chain", target));
  EXPECT_TRUE(mgr_.CompareFilenames(target, "c:\\bin\\mysh")) << target;

  MakeSymlink("%KALVO_LINK_DIR%/mysh", "c:\\var");
  {
    ScopedEnvVar var("KALVO_LINK_DIR", Host("c:\\bin"));
    ASSERT_TRUE(mgr_.GetLinkInfo("c:\\var", target));
    EXPECT_EQ(target, Host("c:\\bin") + "/mysh");
  }
  target = "kept";
  EXPECT_FALSE(mgr_.GetLinkInfo("c:\\var", target));  // variable unset

  MakeSymlink(Host("c:\\gone"), "c:\\dangling");
  MakeSymlink(Host("c:\\loop2"), "c:\\loop1");
  MakeSymlink(Host("c:\\loop1"), "c:\\loop2");
  const char* not_resolved[] = {
      "c:\\bin\\mysh", "c:\\dangling", "c:\\loop1", "c:\\missing", "",
      "c:\\bin"};
  for (const char* p : not_resolved) {
    EXPECT_FALSE(mgr_.GetLinkInfo(p, target)) << p;
  }
  EXPECT_EQ(target, "kept");
}

TEST_F(ProcessMgrTest, CompareFilenames) {
  SKIP_WITHOUT_SHELL();
  MakeSymlink(Host("c:\\bin"), "c:\\bindir");
  WriteText("c:\\docs\\a.txt", "a");
  WriteText("c:\\docs\\b.txt", "b");
  struct Case {
    std::string a, b;
    bool same;
  };
  const Case cases[] = {
      {"c:\\bin\\mysh", "C:\\BIN\\MYSH", true},
      {"c:\\bin\\mysh", "c:/bin//mysh", true},
      {"c:\\bin\\mysh", Host("c:\\bin\\mysh"), true},
      {"c:\\bin\\mysh", "c:\\bindir\\mysh", true},  // a link in between
      {"c:\\bin\\..\\docs\\a.txt", "c:\\docs\\a.txt", true},
      {"c:\\bin", "c:\\bin\\", true},
      {"c:\\docs\\a.txt", "c:\\docs\\b.txt", false},
      {"c:\\bindir", "c:\\bin", false},  // the link itself is another item
      {"c:\\missing", "c:\\missing", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mgr_.CompareFilenames(c.a, c.b), c.same) << c.a << " " << c.b;
  }
}

TEST_F(ProcessMgrTest, UserTools) {
  SKIP_WITHOUT_SHELL();
  Wy_UserToolEntry tool;
  EXPECT_EQ(tool.m_nId, 0);
  EXPECT_EQ(tool.m_sInitialDir, ".\\");
  EXPECT_EQ(tool.m_bWait, 0);
  tool.m_sCommand = "c:\\bin\\mysh";
  tool.m_sArguments = "-c \"exit 12\"";
  tool.m_bWait = 1;
  Wy_UserToolEntry copy = tool;
  EXPECT_EQ(Wy_StartUserTool(copy, mgr_), 12u);
  tool.m_bWait = 0;
  WyProcessHandle h = Wy_StartUserTool(tool, mgr_);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(CProcessMgr::Wait(h), 12u);
}

// Children that are this test program again (on every host): the exit
// status names what they saw.
KALVO_CHILD_MAIN(pm_exit_with)(const std::vector<std::string>& args) {
  return args.size() == 1 ? std::atoi(args[0].c_str()) : 99;
}
KALVO_CHILD_MAIN(pm_arg_count)(const std::vector<std::string>& args) {
  return static_cast<int>(args.size());
}
KALVO_CHILD_MAIN(pm_env_length)(const std::vector<std::string>& args) {
  std::string value;
  if (args.size() != 1 || !env()->GetEnv(args[0], &value)) return 0;
  return static_cast<int>(value.size());
}

TEST_F(ProcessMgrTest, ChildProgramsOnEveryHost) {
  const std::string self = env()->ProgramPath();
  uint32_t pid = 0;
  EXPECT_EQ(mgr_.Execute(self, "--kalvo-child=pm_exit_with 7", "", true, &pid),
            7u);
  EXPECT_EQ(mgr_.LastError(), 0);
  EXPECT_GT(pid, 0u);
  // A quoted parameter stays one argument.
  EXPECT_EQ(
      mgr_.Execute(self, "--kalvo-child=pm_arg_count \"a b\" c", "", true), 2u);
  // Variables for the children only.
  mgr_.SetChildEnv("GDATA", "c:\\gdata\\");
  EXPECT_EQ(mgr_.Execute(self, "--kalvo-child=pm_env_length GDATA", "", true),
            9u);
  std::string value;
  EXPECT_FALSE(env()->GetEnv("GDATA", &value));
  mgr_.ClearChildEnv();
  // A child not waited for: its handle, then its exit code.
  WyProcessHandle h =
      mgr_.Execute(self, "--kalvo-child=pm_exit_with 6", "", false, &pid);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(CProcessMgr::GetProcessId(h), pid);
  EXPECT_EQ(CProcessMgr::Wait(h), 6u);
  // A working directory that does not exist.
  EXPECT_EQ(
      mgr_.Execute(self, "--kalvo-child=pm_exit_with 0", "c:\\nodir", true),
      0u);
  EXPECT_EQ(mgr_.LastError(), ENOENT);
  EXPECT_EQ(mgr_.errors.size(), 1u);
}

TEST(ProcessMgrProbeTest, ProcessesCanBeListed) {
  EXPECT_TRUE(CProcessMgr::m_bToolHelpOK);
  EXPECT_TRUE(CProcessMgr::InitToolhelp32());
}

}  // namespace
