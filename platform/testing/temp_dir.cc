#include "platform/testing/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace platform::testing {

ScopedTempDir::ScopedTempDir() {
  Env* env = Env::Default();
#ifdef _WIN32
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && path_.empty(); attempt++) {
    std::string p = env->TempDir() + "\\kalvo-w32-" +
                    std::to_string(env->CurrentProcessId()) + "-" +
                    std::to_string(counter.fetch_add(1));
    if (env->CreateDir(p).ok()) path_ = p;
  }
#else
  drives_ = std::make_unique<ScopedTempDrives>();
  if (env->CreateDir("c:\\test").ok()) path_ = "c:\\test";
#endif
  if (path_.empty()) {
    std::fprintf(stderr, "ScopedTempDir: no directory below %s\n",
                 env->TempDir().c_str());
    std::abort();
  }
}

ScopedTempDir::~ScopedTempDir() {
  Env::Default()->DeleteTree(path_);
  drives_.reset();
}

}  // namespace platform::testing
