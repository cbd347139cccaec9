// The command line of the installer wizard:
//
//   KalvoINSTALL [/i-] [--package DIR] [--answer yes|no|cancel]
//                [--screenshots DIR]
//
// A token whose text after its first character is "i-" (any case, e.g.
// "/i-" or "-I-") selects unattended mode. --package names the directory
// holding GDATA.TXT and setup.exe (default: the program's directory);
// --answer answers the id/path question without asking (unattended without
// it: Cancel); --screenshots (or $KALVO_SCREENSHOT_DIR) saves a picture of
// each page there. Other tokens not starting with "--" are ignored, as
// switches of older callers.

#ifndef INSTALLER_WIZARD_WIZARD_OPTIONS_H_
#define INSTALLER_WIZARD_WIZARD_OPTIONS_H_

#include <string>
#include <vector>

struct InstallerOptions {
  bool unattended = false;
  int answer = 0;  // 0: ask; else platform::kIdYes, kIdNo or kIdCancel
  std::string package_dir;
  std::string screenshot_dir;
  // How long an informational message box stays up in unattended mode.
  int auto_close_ms = 3000;
};

// Whether token is the unattended switch.
bool IsUnattendedSwitch(const std::string& token);

// Parses args (without the program name). false for an unknown "--" option
// or a missing or bad value, with *error saying which.
bool ParseWizardArgs(const std::vector<std::string>& args,
                     InstallerOptions* out, std::string* error);

constexpr const char* kWizardUsage =
    "usage: KalvoINSTALL [/i-] [--package DIR] [--answer yes|no|cancel] "
    "[--screenshots DIR]\n"
    "       KalvoINSTALL --console [--package DIR] [--answer yes|no|cancel]\n";

#endif  // INSTALLER_WIZARD_WIZARD_OPTIONS_H_
