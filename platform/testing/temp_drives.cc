#include "platform/testing/temp_drives.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "platform/env.h"

namespace platform {

ScopedTempDrives::ScopedTempDrives() {
  Env* env = Env::Default();
  had_old_ = env->GetEnv("KALVO_DRIVES", &old_);
  std::string tmpl = env->TempDir() + "/kalvo-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) {
    // Without its own directory a test would write somewhere shared.
    perror("ScopedTempDrives: mkdtemp");
    abort();
  }
  dir_ = buf.data();
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
