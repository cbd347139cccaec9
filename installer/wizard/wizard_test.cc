// The installer wizard end to end in a temporary drives root, with the test
// setup program of install_test_util.cc: unattended and clicked-through
// installations, the missing description file, Cancel on page 1 and a
// failed setup.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "color_label.h"
#include "install_sheet.h"
#include "install_step1.h"
#include "install_test_util.h"
#include "installer/install_engine.h"
#include "mixtable/wy_catalog.h"
#include "output_wnd.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "wizard_box.h"

using installer_testing::Contents;
using installer_testing::Exists;
using installer_testing::Host;
using installer_testing::MakePackage;
using installer_testing::Snapshot;
using installer_testing::Write;

namespace {

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("LOCALDIR");
    Wy_ResetAbsDataIdCache();
    ClearWizardBoxLog();
  }

  InstallerOptions Unattended(const std::string& pkg) {
    InstallerOptions o;
    o.unattended = true;
    o.package_dir = pkg;
    o.auto_close_ms = 20;
    return o;
  }

  // Runs the wizard modally; during the run, poke is called every 20 ms
  // (to press buttons). Answers whether the sheet started.
  bool Run(CInstallSheet& sheet,
           const std::function<void(CInstallSheet&)>& poke = nullptr) {
    if (!sheet.Start()) return false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &sheet, [&sheet] {
      ADD_FAILURE() << "the wizard did not end";
      sheet.QDialog::done(QDialog::Rejected);
    });
    guard.start(30000);
    QTimer poker;
    if (poke) {
      QObject::connect(&poker, &QTimer::timeout, &sheet,
                       [&sheet, &poke] { poke(sheet); });
      poker.start(20);
    }
    sheet.exec();
    return true;
  }

  static bool Has(const std::vector<std::string>& lines,
                  const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.rfind(prefix, 0) == 0;
    });
  }

  platform::ScopedTempDrives drives_;
};

TEST_F(WizardTest, UnattendedRunEndsByItselfWithTheCatalogueDump) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nFresh set\n");
  InstallerOptions o = Unattended(pkg);
  // With $KALVO_SCREENSHOT_DIR set the pictures of the pages stay there.
  const char* keep = std::getenv("KALVO_SCREENSHOT_DIR");
  o.screenshot_dir = keep ? keep : drives_.Host("shots");
  CInstallSheet sheet(o);
  ASSERT_TRUE(Run(sheet));
  EXPECT_EQ(0, sheet.Status());
  EXPECT_EQ("/VERYSILENT C:\\GDATA001", Contents("c:\\instpkg\\ARGS"));
  EXPECT_TRUE(Exists("C:\\GDATA001\\PRODUCTS.DBF"));
  // Every engine message is a line of the output window.
  TOutputWnd* out = sheet.Output();
  std::vector<std::string> shown;
  for (int i = 0; i < out->LineCount(); ++i) shown.push_back(out->Line(i));
  EXPECT_EQ(sheet.Lines(), shown);
  EXPECT_TRUE(Has(shown, "Reindex: "));
  EXPECT_TRUE(Has(shown, "Installation success!"));
  auto dump = std::find(shown.begin(), shown.end(), "[catalog dump]");
  ASSERT_NE(shown.end(), dump);
  ASSERT_NE(shown.end(), dump + 1);
  EXPECT_EQ(0u, dump[1].rfind("Id:         7;Path: C:\\GDATA001", 0))
      << dump[1];
  EXPECT_EQ(out->LineCount() - 1, out->BottomLine());
  EXPECT_TRUE(WizardBoxLog().empty());
  EXPECT_EQ("KalvoINSTALL - Step 2", sheet.windowTitle().toStdString());
  EXPECT_TRUE(Exists(o.screenshot_dir + "/KalvoINSTALL-step1.png"));
  EXPECT_TRUE(Exists(o.screenshot_dir + "/KalvoINSTALL-step2.png"));
}

TEST_F(WizardTest, ClickedThroughWithOnlyNextThenFinish) {
  std::string pkg = MakePackage("8\nC:\\GDATA002\nBy hand\n");
  InstallerOptions o;
  o.package_dir = pkg;
  CInstallSheet sheet(o);
  std::vector<std::string> seen;
  ASSERT_TRUE(Run(sheet, [&seen](CInstallSheet& s) {
    auto shown = [&s](QWizard::WizardButton b) {
      return s.button(b)->isVisible();
    };
    if (s.currentId() == CInstallSheet::kPage1) {
      if (shown(QWizard::BackButton)) seen.push_back("Back on page 1");
      if (!shown(QWizard::CancelButton)) seen.push_back("no Cancel on page 1");
      EXPECT_EQ("Database ID : 8",
                s.Step1()->DataIdLabel()->text().toStdString());
      s.button(QWizard::NextButton)->click();
    } else if (s.currentId() == CInstallSheet::kPage2) {
      if (shown(QWizard::BackButton)) seen.push_back("Back on page 2");
      if (shown(QWizard::CancelButton)) seen.push_back("Cancel on page 2");
      if (s.button(QWizard::FinishButton)->isEnabled())
        s.button(QWizard::FinishButton)->click();
    }
  }));
  EXPECT_TRUE(seen.empty()) << seen.front();
  EXPECT_EQ(0, sheet.Status());
  EXPECT_EQ("/SILENT C:\\GDATA002", Contents("c:\\instpkg\\ARGS"));
  EXPECT_TRUE(Exists("C:\\GDATA002\\PRODUCTS.DBF"));
}

TEST_F(WizardTest, MissingInstallFileShowsTheErrorAndTouchesNothing) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nFresh set\n");
  platform::Env::Current()->DeleteFile("c:\\instpkg\\GDATA.TXT");
  Write("c:\\local\\keep.txt", "local");
  auto before = Snapshot("c:\\");
  CInstallSheet sheet(Unattended(pkg));
  EXPECT_FALSE(Run(sheet));
  EXPECT_EQ(1, sheet.Status());
  ASSERT_EQ(1u, WizardBoxLog().size());
  EXPECT_EQ(kMissingInstallFileText, WizardBoxLog()[0].text);
  EXPECT_EQ(before, Snapshot("c:\\"));
}

TEST_F(WizardTest, CancelOnPageOneRestoresTheCatalogue) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nNew set\n");
  char other[] = "C:\\GDATA005";
  ASSERT_EQ(2, Wy_UpdateDatactl(500, 0, other, "Other"));
  std::string catalogue = Contents("c:\\local\\datactl.dbf");
  ASSERT_FALSE(catalogue.empty());
  InstallerOptions o;
  o.package_dir = pkg;
  CInstallSheet sheet(o);
  bool cancelled = false;
  ASSERT_TRUE(Run(sheet, [&cancelled](CInstallSheet& s) {
    if (cancelled || s.currentId() != CInstallSheet::kPage1) return;
    cancelled = true;
    s.button(QWizard::CancelButton)->click();
  }));
  EXPECT_EQ(1, sheet.Status());
  EXPECT_EQ(catalogue, Contents("c:\\local\\datactl.dbf"));
  EXPECT_FALSE(Exists("c:\\local\\datactl.xxx"));
  EXPECT_FALSE(Exists("C:\\GDATA001"));
}

TEST_F(WizardTest, FailedSetupRestoresAndOffersClose) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nNew set\n");
  Write("c:\\instpkg\\FAIL", "");
  CInstallSheet sheet(Unattended(pkg));
  ASSERT_TRUE(Run(sheet));
  EXPECT_EQ(1, sheet.Status());
  EXPECT_TRUE(sheet.Failed());
  EXPECT_FALSE(sheet.button(QWizard::CustomButton1)->isHidden());
  EXPECT_EQ("Close", sheet.buttonText(QWizard::CustomButton1).toStdString());
  EXPECT_FALSE(sheet.button(QWizard::FinishButton)->isEnabled());
  ASSERT_EQ(1u, WizardBoxLog().size());
  EXPECT_EQ("Database installation is not complete !!!",
            WizardBoxLog()[0].text);
  EXPECT_TRUE(Has(sheet.Lines(), "Database installation failed !!!"));
  EXPECT_FALSE(Exists("C:\\GDATA001"));
}

}  // namespace

namespace {

TEST_F(WizardTest, IdPathQuestionTakesTheAnswerOrCancelsUnattended) {
  std::string pkg = MakePackage("700\nC:\\GDATA001\nNew set\n");
  Write("C:\\GDATA001\\OLD.TXT", "old");
  char path[] = "C:\\GDATA001";
  ASSERT_EQ(2, Wy_UpdateDatactl(500, 0, path, "Other"));
  std::string catalogue = Contents("c:\\local\\datactl.dbf");
  {
    // Nobody there and no answer: Cancel, and the program ends at once.
    CInstallSheet sheet(Unattended(pkg));
    EXPECT_FALSE(Run(sheet));
    EXPECT_EQ(1, sheet.Status());
    ASSERT_EQ(1u, WizardBoxLog().size());
    EXPECT_EQ(platform::kIdCancel, WizardBoxLog()[0].answer);
    EXPECT_EQ(0u, WizardBoxLog()[0].text.find("In the directory C:\\GDATA001"));
    EXPECT_EQ(catalogue, Contents("c:\\local\\datactl.dbf"));
    EXPECT_EQ("old", Contents("C:\\GDATA001\\OLD.TXT"));
  }
  ClearWizardBoxLog();
  InstallerOptions o = Unattended(pkg);
  o.answer = platform::kIdYes;
  CInstallSheet sheet(o);
  ASSERT_TRUE(Run(sheet));
  EXPECT_EQ(0, sheet.Status());
  ASSERT_EQ(1u, WizardBoxLog().size());
  EXPECT_EQ(platform::kIdYes, WizardBoxLog()[0].answer);
  EXPECT_EQ("Path : C:\\GDATA002",
            sheet.Step1()->PathLabel()->text().toStdString());
  EXPECT_TRUE(Exists("C:\\GDATA002\\PRODUCTS.DBF"));
  EXPECT_EQ("old", Contents("C:\\GDATA001\\OLD.TXT"));
}

TEST_F(WizardTest, StaleBackupStopsBeforeAnyChangeAndOffersClose) {
  std::string pkg = MakePackage("7\nC:\\GDATA001\nNew set\n");
  Write("C:\\GDATATMP\\only.copy", "precious");
  Write("C:\\GDATA001\\OLD.TXT", "old");
  CInstallSheet sheet(Unattended(pkg));
  ASSERT_TRUE(Run(sheet));
  EXPECT_EQ(1, sheet.Status());
  EXPECT_TRUE(sheet.Failed());
  EXPECT_TRUE(Has(sheet.Lines(), "The backup directory C:\\GDATATMP\\"));
  EXPECT_EQ("precious", Contents("C:\\GDATATMP\\only.copy"));
  EXPECT_EQ("old", Contents("C:\\GDATA001\\OLD.TXT"));
  EXPECT_FALSE(Exists("c:\\instpkg\\ARGS"));  // the setup never ran
}

TEST(WizardOptions, UnattendedSwitchAndOptions) {
  for (const char* on : {"/i-", "-I-", "xi-"})
    EXPECT_TRUE(IsUnattendedSwitch(on)) << on;
  for (const char* off : {"i-", "/i", "/i--", "/j-", ""})
    EXPECT_FALSE(IsUnattendedSwitch(off)) << off;

  InstallerOptions o;
  std::string error;
  ASSERT_TRUE(ParseWizardArgs(
      {"/x", "/I-", "--package", "/p", "--answer", "no", "--screenshots", "/s"},
      &o, &error));
  EXPECT_TRUE(o.unattended);
  EXPECT_EQ("/p", o.package_dir);
  EXPECT_EQ(platform::kIdNo, o.answer);
  EXPECT_EQ("/s", o.screenshot_dir);
  for (std::vector<std::string> bad :
       {std::vector<std::string>{"--answer", "maybe"},
        {"--package"},
        {"--verbose"}}) {
    InstallerOptions x;
    EXPECT_FALSE(ParseWizardArgs(bad, &x, &error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(WizardTest, PageOneLabelsAndColours) {
  std::string pkg = MakePackage("7\nc:\\gcspaces\nWork area\n");
  CInstallSheet sheet(Unattended(pkg));
  ASSERT_TRUE(sheet.Start());
  CInstallStep1* p = sheet.Step1();
  EXPECT_EQ("Database ID : 7", p->DataIdLabel()->text().toStdString());
  EXPECT_EQ("Path : c:\\gcspaces", p->PathLabel()->text().toStdString());
  EXPECT_EQ("Work area", p->DescriptionLabel()->text().toStdString());
  EXPECT_EQ("Press the Next button to continue ...",
            p->StatusLabel()->text().toStdString());
  EXPECT_EQ(QColor(255, 232, 153), p->DataIdLabel()->BkColor());
  EXPECT_EQ(QColor(255, 255, 225), p->StatusLabel()->BkColor());
  EXPECT_EQ(QColor(0, 0, 0), p->StatusLabel()->TextColor());
  // Work-area mode leaves the catalogue alone.
  EXPECT_FALSE(Exists("c:\\local\\datactl.dbf"));
  ColorLabel plain;
  plain.SetBkColor(Rgb(1, 2, 3));
  EXPECT_EQ(QColor(1, 2, 3), plain.BkColor());
  plain.SetBkColor(-1);
  EXPECT_EQ(QApplication::palette().color(QPalette::Button), plain.BkColor());
}

}  // namespace
