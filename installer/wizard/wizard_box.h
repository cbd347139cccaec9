// The message-box hook of the installer wizard: engine alerts and questions
// (platform::ShowMessageBox) become Qt message boxes over the wizard.
//
// - The Yes/No/Cancel question is answered by the configured answer when one
//   is set, without showing a box; unattended without one it answers Cancel
//   (the answer that never deletes a data set).
// - In unattended mode any other box closes itself after auto_close_ms
//   with its default button, since nobody may be there to press it.
// Every box shown or answered is appended to a log (for tests and the exit
// report). Process-wide state; GUI thread only.

#ifndef INSTALLER_WIZARD_WIZARD_BOX_H_
#define INSTALLER_WIZARD_WIZARD_BOX_H_

#include <string>
#include <vector>

class QWidget;

struct WizardBoxConfig {
  bool unattended = false;
  int answer = 0;  // 0: ask
  int auto_close_ms = 3000;
  QWidget* parent = nullptr;  // not owned; may be null
};

struct WizardBoxRecord {
  std::string caption;
  std::string text;
  unsigned style = 0;
  int answer = 0;
};

void SetWizardBoxConfig(const WizardBoxConfig& config);
// The hook (install with platform::SetMessageBoxHook).
int WizardMessageBox(const char* caption, const char* text, unsigned style);
const std::vector<WizardBoxRecord>& WizardBoxLog();
void ClearWizardBoxLog();

#endif  // INSTALLER_WIZARD_WIZARD_BOX_H_
