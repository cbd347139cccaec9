// CInstallStep1: the first page of the installer wizard. Its set-up
// (Setup(), before the sheet is shown) reads GDATA.TXT and registers the
// data set in the catalogue; its labels show the data id, the target path,
// the description and the status. Half a second after it is shown, in
// unattended mode, it presses Next by itself. Owned by the sheet.

#ifndef INSTALLER_WIZARD_INSTALL_STEP1_H_
#define INSTALLER_WIZARD_INSTALL_STEP1_H_

#include <QWizardPage>

class CInstallSheet;
class CBanner;
class ColorLabel;
class QCheckBox;

class CInstallStep1 : public QWizardPage {
 public:
  // Timer that presses Next in unattended mode.
  static constexpr int kNextTimerMs = 500;

  explicit CInstallStep1(CInstallSheet* sheet);

  // See CInstallSheet::Start.
  bool Setup();

  ColorLabel* DataIdLabel() const { return id_; }
  ColorLabel* PathLabel() const { return path_; }
  ColorLabel* DescriptionLabel() const { return descr_; }
  ColorLabel* StatusLabel() const { return status_; }

  void initializePage() override;  // activation
  bool validatePage() override;    // Next
  // Stops the page's timer (when the page is left).
  void StopTimer();

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  CInstallSheet* sheet_;
  CBanner* banner_;
  ColorLabel* id_;
  ColorLabel* path_;
  ColorLabel* descr_;
  ColorLabel* status_;
  QCheckBox* backup_;  // never shown: a backup is made in every installation
  int timer_ = 0;
};

#endif  // INSTALLER_WIZARD_INSTALL_STEP1_H_
