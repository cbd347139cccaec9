// A fresh temporary directory for one Windows platform test (header only,
// for the tests in platform/win32/). Paths in these tests are the host's
// own Windows paths: no drives root is involved.

#ifndef PLATFORM_WIN32_WIN32_TEST_DIR_H_
#define PLATFORM_WIN32_WIN32_TEST_DIR_H_

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/env.h"

namespace platform::testing {

// A new directory below Env::TempDir(), deleted with its contents when the
// object goes. Aborts when none can be made (a test must never write
// somewhere shared).
class ScopedTempDir {
 public:
  ScopedTempDir() {
    static std::atomic<unsigned> counter{0};
    Env* env = Env::Default();
    for (int attempt = 0; attempt < 100; attempt++) {
      std::string p = env->TempDir() + "\\kalvo-w32-" +
                      std::to_string(env->CurrentProcessId()) + "-" +
                      std::to_string(counter.fetch_add(1));
      if (env->CreateDir(p).ok()) {
        path_ = p;
        return;
      }
    }
    std::fprintf(stderr, "ScopedTempDir: no directory below %s\n",
                 env->TempDir().c_str());
    std::abort();
  }
  ~ScopedTempDir() { Env::Default()->DeleteTree(path_); }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\" + rel
  std::string Sub(const std::string& rel) const { return path_ + "\\" + rel; }

 private:
  std::string path_;
};

}  // namespace platform::testing

#endif  // PLATFORM_WIN32_WIN32_TEST_DIR_H_
