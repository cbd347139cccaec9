#include "install_step1.h"

#include <QCheckBox>
#include <QTimerEvent>
#include <cstdio>

#include "banner.h"
#include "color_label.h"
#include "dialog_units.h"
#include "install_sheet.h"
#include "installer/install_engine.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace {

// Label colours of page 1.
constexpr int32_t kInfoBackground = Rgb(255, 232, 153);
constexpr int32_t kStatusBackground = Rgb(255, 255, 225);
constexpr int32_t kLabelText = Rgb(0, 0, 0);

ColorLabel* MakeLabel(QWidget* parent, const QRect& r) {
  auto* l = new ColorLabel(parent);
  l->setGeometry(r);
  return l;
}

}  // namespace

CInstallStep1::CInstallStep1(CInstallSheet* sheet) : sheet_(sheet) {
  setMinimumSize(PageSize());
  banner_ = new CBanner(this);
  banner_->setGeometry(DluRect(7, 7, 400, 92));
  id_ = MakeLabel(this, DluRect(7, 107, 176, 13));
  path_ = MakeLabel(this, DluRect(189, 107, 218, 13));
  descr_ = MakeLabel(this, DluRect(7, 124, 176, 13));
  status_ = MakeLabel(this, DluRect(189, 124, 218, 13));
  backup_ = new QCheckBox(
      QStringLiteral(
          "&Make a backup copy of the database currently installed on your "
          "system."),
      this);
  backup_->setGeometry(DluRect(7, 144, 400, 13));
  backup_->setEnabled(false);
  backup_->hide();
}

bool CInstallStep1::Setup() {
  InstallContext& ctx = sheet_->Context();
  int r = ReadInstallFile(ctx);
  if (r == 0) {
    ctx.error = kMissingInstallFileText;
    platform::ShowMessageBox("KalvoINSTALL", kMissingInstallFileText,
                             platform::kMbOk | platform::kMbIconError);
    return false;
  }
  if (r < 0) {
    platform::ShowMessageBox("KalvoINSTALL", ctx.error.c_str(),
                             platform::kMbOk | platform::kMbIconError);
    return false;
  }
  ctx.backup_requested = 1;
  for (ColorLabel* l : {id_, path_, descr_}) {
    l->SetBkColor(kInfoBackground);
    l->SetTextColor(kLabelText);
  }
  status_->SetBkColor(kStatusBackground);
  status_->SetTextColor(kLabelText);
  if (ctx.register_in_catalogue) {
    r = RegisterDataSet(ctx);
    if (r == 0) return false;  // the user cancelled the id/path question
    if (r < 0) {
      platform::ShowMessageBox("KalvoINSTALL", ctx.error.c_str(),
                               platform::kMbOk | platform::kMbIconError);
      return false;
    }
  }
  char id[32];
  std::snprintf(id, sizeof id, "Database ID : %lu",
                static_cast<unsigned long>(ctx.data_id));
  id_->setText(QString::fromLatin1(id));
  path_->setText(QStringLiteral("Path : ") +
                 QString::fromLatin1(ctx.path.c_str()));
  descr_->setText(QString::fromLatin1(ctx.description.c_str()));
  status_->setText(QStringLiteral("Press the Next button to continue ..."));
  ctx.old_data_present =
      platform::Env::Current()->FileExists(WorkingDir(ctx.path)) ? 1 : 0;
  backup_->setEnabled(ctx.old_data_present != 0);
  return true;
}

void CInstallStep1::initializePage() {
  sheet_->setWindowTitle(QStringLiteral("KalvoINSTALL - Step 1"));
  if (!timer_) timer_ = startTimer(kNextTimerMs);
}

void CInstallStep1::StopTimer() {
  if (timer_) killTimer(timer_);
  timer_ = 0;
}

void CInstallStep1::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_) {
    QWizardPage::timerEvent(event);
    return;
  }
  StopTimer();
  sheet_->Screenshot("step1");
  if (sheet_->Options().unattended) sheet_->next();
}

bool CInstallStep1::validatePage() {
  StopTimer();
  if (sheet_->Context().backup_requested) {
    status_->setText(QStringLiteral("Backup in progress ... Please wait ..."));
    status_->repaint();
  }
  return true;
}
