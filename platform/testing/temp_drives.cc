#include "platform/testing/temp_drives.h"

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <vector>

#include "platform/env.h"

namespace platform {

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
  if (had_old_) {
    env->SetEnv("KALVO_DRIVES", old_);
  } else {
    env->UnsetEnv("KALVO_DRIVES");
  }
}

}  // namespace platform
