// ScopedTempDrives: a fresh temporary directory for one test, with the drive
// letters mapped below it. While the object lives, $KALVO_DRIVES is
// "<dir>/drives" (so "c:\x" is "<dir>/drives/c/x"); afterwards the variable
// gets its old value back and the directory is deleted.

#ifndef PLATFORM_TESTING_TEMP_DRIVES_H_
#define PLATFORM_TESTING_TEMP_DRIVES_H_

#include <string>

namespace platform {

class ScopedTempDrives {
 public:
  ScopedTempDrives();
  ~ScopedTempDrives();
  ScopedTempDrives(const ScopedTempDrives&) = delete;
  ScopedTempDrives& operator=(const ScopedTempDrives&) = delete;

  // Host path of the temporary directory (empty if it could not be made).
  const std::string& dir() const { return dir_; }
  // Host path of the drives root.
  std::string drives() const { return dir_ + "/drives"; }
  // Host path of rel below the temporary directory.
  std::string Host(const std::string& rel) const { return dir_ + "/" + rel; }

 private:
  std::string dir_;
  bool had_old_ = false;
  std::string old_;
};

}  // namespace platform

#endif  // PLATFORM_TESTING_TEMP_DRIVES_H_
