#include "wizard_options.h"

#include <cctype>
#include <cstdlib>

#include "platform/hooks.h"

bool IsUnattendedSwitch(const std::string& token) {
  return token.size() == 3 &&
         std::tolower(static_cast<unsigned char>(token[1])) == 'i' &&
         token[2] == '-';
}

bool ParseWizardArgs(const std::vector<std::string>& args,
                     InstallerOptions* out, std::string* error) {
  if (const char* dir = std::getenv("KALVO_SCREENSHOT_DIR"))
    out->screenshot_dir = dir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool has_value = i + 1 < args.size();
    if (a == "--package" || a == "--answer" || a == "--screenshots") {
      if (!has_value) {
        *error = a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--package") {
        out->package_dir = v;
      } else if (a == "--screenshots") {
        out->screenshot_dir = v;
      } else if (v == "yes") {
        out->answer = platform::kIdYes;
      } else if (v == "no") {
        out->answer = platform::kIdNo;
      } else if (v == "cancel") {
        out->answer = platform::kIdCancel;
      } else {
        *error = "--answer takes yes, no or cancel, not " + v;
        return false;
      }
    } else if (IsUnattendedSwitch(a)) {
      out->unattended = true;
    } else if (a.rfind("--", 0) == 0) {
      *error = "unknown option " + a;
      return false;
    }
  }
  return true;
}
