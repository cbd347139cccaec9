#include "install_sheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <iostream>

#include "install_step1.h"
#include "install_step2.h"
#include "output_wnd.h"
#include "wizard_box.h"

namespace {

void QtBeep() { QApplication::beep(); }

}  // namespace

CInstallSheet::CInstallSheet(const InstallerOptions& options, QWidget* parent)
    : QWizard(parent), options_(options) {
  // No close box: the pages' buttons are the only ways out.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::NoBackButtonOnStartPage, true);
  setOption(QWizard::NoBackButtonOnLastPage, true);
  setOption(QWizard::HaveHelpButton, false);
  // Next/Finish where Cancel would be, Cancel in the place of Help.
  setButtonLayout({QWizard::Stretch, QWizard::NextButton, QWizard::FinishButton,
                   QWizard::CancelButton});
  step1_ = new CInstallStep1(this);
  step2_ = new CInstallStep2(this);
  setPage(kPage1, step1_);
  setPage(kPage2, step2_);
  setStartId(kPage1);

  ctx_.package_dir = options_.package_dir;
  ctx_.unattended = options_.unattended ? 1 : 0;
  ctx_.output = [this](const std::string& line) { OnLine(line); };
  SetWizardBoxConfig(
      {options_.unattended, options_.answer, options_.auto_close_ms, this});
  old_box_ = platform::SetMessageBoxHook(&WizardMessageBox);
  old_beep_ = platform::SetBeepHook(&QtBeep);
}

CInstallSheet::~CInstallSheet() {
  platform::SetMessageBoxHook(old_box_);
  platform::SetBeepHook(old_beep_);
  SetWizardBoxConfig({});
}

TOutputWnd* CInstallSheet::Output() const { return step2_->Output(); }

bool CInstallSheet::Start() {
  if (!step1_->Setup()) return false;
  return true;
}

void CInstallSheet::OnLine(const std::string& line) {
  lines_.push_back(line);
  // An unattended run keeps its messages in the caller's log as well.
  if (options_.unattended) std::cout << line << std::endl;
  TOutputWnd* out = Output();
  out->AddString(line);
  if (out->isVisible()) {
    // The engine works on this thread: show each line as it comes.
    out->viewport()->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

void CInstallSheet::OfferClose() {
  if (failed_) return;
  failed_ = true;
  setButtonText(QWizard::CustomButton1, QStringLiteral("Close"));
  setOption(QWizard::HaveCustomButton1, true);
  setButtonLayout(
      {QWizard::Stretch, QWizard::CustomButton1, QWizard::FinishButton});
  connect(this, &QWizard::customButtonClicked, this, [this](int which) {
    if (which == QWizard::CustomButton1) done(QDialog::Rejected);
  });
  Screenshot("step2");
  // Nobody is there to press Close in unattended mode.
  if (options_.unattended)
    QMetaObject::invokeMethod(
        this, [this] { done(QDialog::Rejected); }, Qt::QueuedConnection);
}

void CInstallSheet::Screenshot(const char* page_name) {
  if (options_.screenshot_dir.empty()) return;
  QDir().mkpath(QString::fromStdString(options_.screenshot_dir));
  QString file = QString::fromStdString(options_.screenshot_dir) +
                 QStringLiteral("/KalvoINSTALL-") +
                 QString::fromLatin1(page_name) + QStringLiteral(".png");
  if (!grab().save(file))
    std::cerr << "KalvoINSTALL: cannot save " << file.toStdString() << '\n';
}

void CInstallSheet::showEvent(QShowEvent* event) {
  QWizard::showEvent(event);
  // The wizard lays its pages out only once shown: size it to them now.
  resize(sizeHint());
}

void CInstallSheet::reject() {
  if (currentId() == kPage1 || currentId() == -1) {
    // Cancel on page 1: the catalogue as it was before the start.
    step1_->StopTimer();
    RestoreCatalogue(ctx_);
    RestoreLocalTables(ctx_);
    status_ = 1;
    QWizard::reject();
  } else if (failed_) {
    QWizard::reject();
  }
  // Page 2 while installing: no way to cancel.
}

void CInstallSheet::accept() {
  if (!step2_->isComplete()) return;
  step2_->Finish();
  status_ = complete_ ? 0 : 1;
  QWizard::accept();
}
