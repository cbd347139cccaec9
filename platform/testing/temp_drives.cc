#include "platform/testing/temp_drives.h"

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <set>
#include <vector>

#include "platform/env.h"

namespace platform {

#ifdef _WIN32
namespace {

// The drive the tests name ("c:\gdata\" and the like).
constexpr char kTestDrive[] = "c:\\";

std::vector<std::string> DriveEntries(Env* env) {
  std::vector<DirEntry> entries;
  std::vector<std::string> names;
  if (env->ListDir(kTestDrive, "*", &entries).ok())
    for (const DirEntry& e : entries) names.push_back(e.name);
  return names;
}

}  // namespace
#endif

ScopedTempDrives::ScopedTempDrives() {
  Env* env = Env::Default();
  had_old_ = env->GetEnv("KALVO_DRIVES", &old_);
#ifdef _WIN32
  // No mkdtemp: a name of this process not taken yet.
  static std::atomic<int> made{0};
  for (int attempt = 0; attempt < 1000 && dir_.empty(); ++attempt) {
    const std::string dir = env->TempDir() + "/kalvo-test-" +
                            std::to_string(env->CurrentProcessId()) + "-" +
                            std::to_string(made++) + "-" +
                            std::to_string(env->NowMicros() % 1000000);
    if (!env->FileExists(dir) && env->CreateDir(dir).ok()) dir_ = dir;
  }
  if (dir_.empty()) {
    fprintf(stderr, "ScopedTempDrives: no temporary directory\n");
    abort();
  }
  // A program that names no drive letter runs beside others that do
  // (KALVO_TEST_DRIVE_C=shared, set by CTest): what appears on c:\ meanwhile
  // is theirs, not this test's.
  std::string drive_c;
  clean_drive_ =
      !(env->GetEnv("KALVO_TEST_DRIVE_C", &drive_c) && drive_c == "shared");
  if (clean_drive_) drive_entries_ = DriveEntries(env);
#else
  std::string tmpl = env->TempDir() + "/kalvo-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) {
    // Without its own directory a test would write somewhere shared.
    perror("ScopedTempDrives: mkdtemp");
    abort();
  }
  dir_ = buf.data();
#endif
  // Ignored on Windows (drive letters are the host's), inherited by child
  // processes everywhere.
  env->SetEnv("KALVO_DRIVES", drives());
}

ScopedTempDrives::~ScopedTempDrives() {
  Env* env = Env::Default();
  if (!dir_.empty()) env->DeleteTree(dir_);
#ifdef _WIN32
  // What the test made on the drive goes with it, so the next test finds
  // the drive as this one did.
  if (clean_drive_) {
    const std::set<std::string> before(drive_entries_.begin(),
                                       drive_entries_.end());
    for (const std::string& name : DriveEntries(env))
      if (before.count(name) == 0) env->DeleteTree(kTestDrive + name);
  }
#endif
  if (had_old_) {
    env->SetEnv("KALVO_DRIVES", old_);
  } else {
    env->UnsetEnv("KALVO_DRIVES");
  }
}

}  // namespace platform
