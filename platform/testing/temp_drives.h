// ScopedTempDrives: a fresh temporary directory for one test, with the drive
// letters mapped below it. While the object lives, $KALVO_DRIVES is
// "<dir>/drives" (so "c:\x" is "<dir>/drives/c/x"); afterwards the variable
// gets its old value back and the directory is deleted.
//
// Windows has no drives root (KALVO_DRIVES is ignored there): the object
// still makes a fresh directory below %TEMP%, which is what tests that use
// host paths (dir(), Host()) need; a drive-letter path ("c:\x") names the
// real drive. Under wine that drive is the run's own prefix
// ($WINEPREFIX/drive_c, fresh for every run of scripts/windows.sh). So that
// tests naming "c:\..." find the drive as the test before them did, the
// object notes the entries of c:\ when it is made and deletes every entry
// added there since when it goes; two test programs naming c:\ must not run
// at once (CTest's RESOURCE_LOCK kalvo_drive_c, which kalvo_test() sets for
// every program but those that name no drive letter; these run with
// KALVO_TEST_DRIVE_C=shared and leave c:\ alone). A mapping of drive letters
// per test (DefineDosDevice, or links in $WINEPREFIX/dosdevices) was left out:
// c: cannot be remapped, and the links are outside what the test can make from
// inside wine.

#ifndef PLATFORM_TESTING_TEMP_DRIVES_H_
#define PLATFORM_TESTING_TEMP_DRIVES_H_

#include <string>
#include <vector>

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
#ifdef _WIN32
  // The names in c:\ when the object was made, and whether the entries
  // added since go with the object.
  std::vector<std::string> drive_entries_;
  bool clean_drive_ = true;
#endif
  bool had_old_ = false;
  std::string old_;
};

}  // namespace platform

#endif  // PLATFORM_TESTING_TEMP_DRIVES_H_
