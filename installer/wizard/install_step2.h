// CInstallStep2: the second page of the installer wizard. Its set-up backs
// up and clears the old data set (with the wait cursor); once shown it runs
// the setup program and, half a second after a successful run, the final
// steps, whose messages fill the output window. The final steps enable
// Finish (pressed by itself in unattended mode); a failure offers Close.
// Owned by the sheet.

#ifndef INSTALLER_WIZARD_INSTALL_STEP2_H_
#define INSTALLER_WIZARD_INSTALL_STEP2_H_

#include <QWizardPage>

class CInstallSheet;
class CBanner;
class TOutputWnd;

class CInstallStep2 : public QWizardPage {
 public:
  // Delay between a successful setup run and the final steps.
  static constexpr int kFinalTimerMs = 500;

  explicit CInstallStep2(CInstallSheet* sheet);

  TOutputWnd* Output() const { return output_; }
  // Whether the final steps have run (Finish enabled).
  bool isComplete() const override { return done_; }

  void initializePage() override;  // set-up: backup and prune
  // Finish: stops the timer and drops a backup still held.
  void Finish();

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  void Activate();
  void FinalSteps();

  CInstallSheet* sheet_;
  CBanner* banner_;
  TOutputWnd* output_;
  int timer_ = 0;
  bool done_ = false;
  bool prepared_ = false;  // the backup and prune succeeded
};

#endif  // INSTALLER_WIZARD_INSTALL_STEP2_H_
