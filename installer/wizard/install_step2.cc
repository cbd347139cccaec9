#include "install_step2.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QTimer>
#include <QTimerEvent>

#include "banner.h"
#include "dialog_units.h"
#include "install_sheet.h"
#include "installer/install_engine.h"
#include "output_wnd.h"

namespace {

// The wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CInstallStep2::CInstallStep2(CInstallSheet* sheet) : sheet_(sheet) {
  setMinimumSize(PageSize());
  output_ = new TOutputWnd(this);
  output_->setGeometry(DluRect(7, 106, 400, 51));
  banner_ = new CBanner(this);
  banner_->setGeometry(DluRect(7, 7, 400, 92));
}

void CInstallStep2::initializePage() {
  output_->SetFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  output_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  // Cancel exists only on page 1.
  sheet_->setButtonLayout({QWizard::Stretch, QWizard::FinishButton});
  InstallContext& ctx = sheet_->Context();
  {
    WaitCursor wait;
    // Backs up (when requested and old data is there) and clears the old
    // data set; stops before any change when that cannot be done safely.
    prepared_ = PrepareTarget(ctx) > 0;
  }
  if (!prepared_) {
    RestoreCatalogue(ctx);
    RestoreLocalTables(ctx);
  }
  // Activation follows once the page is on screen.
  QTimer::singleShot(0, this, [this] { Activate(); });
}

void CInstallStep2::Activate() {
  sheet_->setWindowTitle(QStringLiteral("KalvoINSTALL - Step 2"));
  sheet_->repaint();
  if (!prepared_) {
    sheet_->OfferClose();
    return;
  }
  if (!RunSetup(sheet_->Context())) {
    sheet_->OfferClose();
    return;
  }
  if (!timer_) timer_ = startTimer(kFinalTimerMs);
}

void CInstallStep2::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_) {
    QWizardPage::timerEvent(event);
    return;
  }
  FinalSteps();
}

void CInstallStep2::FinalSteps() {
  killTimer(timer_);
  timer_ = 0;
  int complete;
  {
    WaitCursor wait;
    complete = ::FinalSteps(sheet_->Context());
  }
  output_->viewport()->repaint();
  sheet_->SetComplete(complete != 0);
  done_ = true;
  emit completeChanged();
  sheet_->Screenshot("step2");
  if (sheet_->Options().unattended) {
    QTimer::singleShot(0, sheet_, [this] {
      if (QAbstractButton* b = sheet_->button(QWizard::FinishButton))
        b->click();
    });
  }
}

void CInstallStep2::Finish() {
  if (timer_) killTimer(timer_);
  timer_ = 0;
  InstallContext& ctx = sheet_->Context();
  if (ctx.backup_made) {
    DeleteTree(kBackupDir);
    ctx.backup_made = 0;
  }
}
