// CInstallSheet: the installer wizard. It owns the installation's context
// and its two pages: page 1 (CInstallStep1) reads GDATA.TXT and registers
// the data set, page 2 (CInstallStep2) backs up and clears the old data set,
// runs the setup program and the final steps, showing every engine message
// in its output window.
//
// Buttons: no Back; Next (or Finish) with Cancel to its right; Cancel only on
// page 1; Finish is enabled by the final steps. After a failed installation
// a Close button appears, the only way out then. The sheet has no close
// box; Escape cancels only where Cancel is offered.
//
// While the sheet lives it installs its message-box and beep hooks (see
// wizard_box.h) and puts the previous ones back when destroyed. One sheet at
// a time; GUI thread only.

#ifndef INSTALLER_WIZARD_INSTALL_SHEET_H_
#define INSTALLER_WIZARD_INSTALL_SHEET_H_

#include <QWizard>
#include <string>
#include <vector>

#include "installer/install_engine.h"
#include "platform/hooks.h"
#include "wizard_options.h"

class CInstallStep1;
class CInstallStep2;
class TOutputWnd;

class CInstallSheet : public QWizard {
 public:
  enum { kPage1 = 0, kPage2 = 1 };

  explicit CInstallSheet(const InstallerOptions& options,
                         QWidget* parent = nullptr);
  ~CInstallSheet() override;

  // Sets up page 1 before the sheet is shown. false: GDATA.TXT is missing
  // or bad, the registration failed or the user cancelled the id/path
  // question (a box said so where needed); the program ends.
  bool Start();
  // 0 after a complete installation ended with Finish, else 1.
  int Status() const { return status_; }

  InstallContext& Context() { return ctx_; }
  const InstallerOptions& Options() const { return options_; }
  TOutputWnd* Output() const;
  CInstallStep1* Step1() const { return step1_; }
  CInstallStep2* Step2() const { return step2_; }
  // Every engine message so far.
  const std::vector<std::string>& Lines() const { return lines_; }
  // Whether the Close button is offered (after a failure).
  bool Failed() const { return failed_; }

  // Called by the pages.
  void SetComplete(bool ok) { complete_ = ok; }
  void OfferClose();
  void Screenshot(const char* page_name);

 protected:
  void reject() override;
  void accept() override;
  void showEvent(QShowEvent* event) override;

 private:
  void OnLine(const std::string& line);

  InstallerOptions options_;
  InstallContext ctx_;
  CInstallStep1* step1_;
  CInstallStep2* step2_;
  std::vector<std::string> lines_;
  bool complete_ = false;
  bool failed_ = false;
  int status_ = 1;
  platform::MessageBoxHook old_box_ = nullptr;
  platform::BeepHook old_beep_ = nullptr;
};

#endif  // INSTALLER_WIZARD_INSTALL_SHEET_H_
