// ScopedTempDir: a fresh directory for one platform test, named by a path
// the Env takes on every host, so one test source checks the same
// behaviour on Linux and on Windows.
//
// Linux: the directory is "c:\test" of a fresh drives root (a
// ScopedTempDrives lives as long as the object; children inherit its
// KALVO_DRIVES). Windows: a new directory below Env::TempDir() (drive
// letters are the host's own; no drives root is involved). Either way the
// paths are Windows-style: Sub("a\\b.dbf"), backslashes, any case.

#ifndef PLATFORM_TESTING_TEMP_DIR_H_
#define PLATFORM_TESTING_TEMP_DIR_H_

#include <memory>
#include <string>

namespace platform {
class ScopedTempDrives;
}

namespace platform::testing {

// The directory and what it holds are deleted when the object goes.
// Aborts when none can be made (a test must never write somewhere shared).
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\" + rel
  std::string Sub(const std::string& rel) const { return path_ + "\\" + rel; }

 private:
  std::unique_ptr<ScopedTempDrives> drives_;  // Linux only
  std::string path_;
};

}  // namespace platform::testing

#endif  // PLATFORM_TESTING_TEMP_DIR_H_
