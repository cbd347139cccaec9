// The Win32 Env's own parts: paths used as they are (normalised only), the
// error mapping, directories and executables (the parts of both hosts are
// in env_test.cc).

#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>
#undef DeleteFile
#undef CopyFile

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/temp_dir.h"
#include "platform/win32/win32_internal.h"

namespace platform {
namespace {

std::string Cwd() {
  char buf[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof(buf), buf);
  return std::string(buf, n);
}

TEST(Win32PathTest, PathsAreUsedAsTheyAreOnlyNormalised) {
  Env* env = Env::Default();
  EXPECT_EQ(env->DrivesRoot(), "");
  const std::string cwd = Cwd();  // e.g. "C:\dir"
  ASSERT_GE(cwd.size(), 3u);
  const std::string drive = cwd.substr(0, 3);
  struct Case {
    std::string in, out;
  } cases[] = {
      {"c:\\gdata\\products.dbf", "c:\\gdata\\products.dbf"},
      {"C:/GData//Products.DBF", "C:\\GData\\Products.DBF"},  // case kept
      {"d:\\", "d:\\"},
      {"d:", Cwd().substr(0, 2) == "d:" ? cwd : "d:\\"},
      {"c:\\gdata\\", "c:\\gdata"},
      {"c:\\gdata\\.\\sub\\..\\x.dbf", "c:\\gdata\\x.dbf"},
      {"c:\\gdata\\..", "c:\\"},
      {"\\\\server\\share\\gdata\\x.dbf", "\\\\server\\share\\gdata\\x.dbf"},
      {"//server/share/", "\\\\server\\share\\"},
      {"\\\\server\\share\\a\\..", "\\\\server\\share\\"},
      {"\\\\?\\c:\\x\\..\\y", "\\\\?\\c:\\x\\..\\y"},
      {"x.dbf", cwd + (cwd.size() > 3 ? "\\" : "") + "x.dbf"},
      {"\\gdata", drive + "gdata"},
  };
  for (const Case& c : cases) {
    std::string host;
    Status s = env->HostPath(c.in, &host);
    ASSERT_TRUE(s.ok()) << c.in << ": " << s.ToString();
    EXPECT_EQ(host, c.out) << c.in;
  }
  std::string host;
  EXPECT_EQ(env->HostPath("", &host).code(), ENOENT);
  EXPECT_EQ(env->HostPath("c:\\..", &host).code(), EACCES);
  EXPECT_EQ(env->HostPath("c:\\a\\..\\..\\b", &host).code(), EACCES);
  EXPECT_EQ(env->HostPath("\\\\server\\share\\..", &host).code(), EACCES);
  EXPECT_EQ(env->HostPath("\\\\server", &host).code(), ENOENT);

  // The drives root of the other host plays no part here.
  ASSERT_TRUE(env->SetEnv("KALVO_DRIVES", "c:\\elsewhere").ok());
  ASSERT_TRUE(env->HostPath("c:\\gdata", &host).ok());
  EXPECT_EQ(host, "c:\\gdata");
  EXPECT_EQ(env->DrivesRoot(), "");
  env->UnsetEnv("KALVO_DRIVES");
}

TEST(Win32StatusTest, ErrorsMapToTheCodesOfTheOtherHost) {
  struct Case {
    DWORD err;
    int code;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},   {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_BAD_NETPATH, ENOENT},      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_SHARING_VIOLATION, EBUSY}, {ERROR_LOCK_VIOLATION, EACCES},
      {ERROR_FILE_EXISTS, EEXIST},      {ERROR_ALREADY_EXISTS, EEXIST},
      {ERROR_DIR_NOT_EMPTY, ENOTEMPTY}, {ERROR_DISK_FULL, ENOSPC},
      {ERROR_NOT_SAME_DEVICE, EXDEV},   {ERROR_INVALID_PARAMETER, EINVAL},
      {ERROR_NOT_SUPPORTED, ENOTSUP},   {ERROR_NOT_LOCKED, ENOLCK},
      {ERROR_GEN_FAILURE, EIO},         {0, EIO},
  };
  for (const Case& c : cases) {
    Status s = internal::Win32Status(c.err, "open c:\\x.dbf");
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.code(), c.code) << c.err;
    EXPECT_EQ(s.message(),
              "open c:\\x.dbf [win32 error " + std::to_string(c.err) + "]");
  }
  EXPECT_EQ(Status::Error(ENOENT, "open c:\\x.dbf").ToString(),
            "open c:\\x.dbf: No such file or directory");
}

TEST(Win32EnvTest, TempAndCurrentDirectories) {
  Env* env = Env::Default();
  const std::string tmp = env->TempDir();
  ASSERT_FALSE(tmp.empty());
  EXPECT_NE(tmp.back(), '\\');
  FileInfo info;
  ASSERT_TRUE(env->GetFileInfo(tmp, &info).ok());
  EXPECT_TRUE(info.is_dir);
  EXPECT_EQ(env->CurrentDir(), Cwd());
  EXPECT_EQ(env->CurrentProcessId(), static_cast<int>(GetCurrentProcessId()));
}

TEST(Win32EnvTest, SyncDirMarkExecutableAndIsExecutable) {
  testing::ScopedTempDir tmp;
  Env* env = Env::Default();
  EXPECT_TRUE(env->SyncDir(tmp.path()).ok());
  EXPECT_EQ(env->SyncDir(tmp.Sub("missing")).code(), ENOENT);
  for (const char* name : {"run", "setup.exe", "go.BAT", "x.com", "y.cmd"}) {
    std::unique_ptr<File> f;
    ASSERT_TRUE(env->OpenFile(tmp.Sub(name), OpenMode::kCreateAlways, &f).ok());
  }
  EXPECT_EQ(env->SyncDir(tmp.Sub("run")).code(), ENOTDIR);
  // Windows runs programs by their extension; marking changes nothing.
  ASSERT_TRUE(env->MarkExecutable(tmp.Sub("run")).ok());
  EXPECT_FALSE(env->IsExecutable(tmp.Sub("run")));
  EXPECT_TRUE(env->IsExecutable(tmp.Sub("SETUP.EXE")));
  EXPECT_TRUE(env->IsExecutable(tmp.Sub("go.bat")));
  EXPECT_TRUE(env->IsExecutable(tmp.Sub("x.com")));
  EXPECT_TRUE(env->IsExecutable(tmp.Sub("y.cmd")));
  EXPECT_FALSE(env->IsExecutable(tmp.Sub("none.exe")));
  EXPECT_FALSE(env->IsExecutable(tmp.path()));
  EXPECT_TRUE(env->IsExecutable(env->ProgramPath()));
  EXPECT_EQ(env->MarkExecutable(tmp.path()).code(), EINVAL);  // a directory
  EXPECT_EQ(env->MarkExecutable(tmp.Sub("none")).code(), ENOENT);
}

}  // namespace
}  // namespace platform
