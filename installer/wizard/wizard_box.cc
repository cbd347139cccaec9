#include "wizard_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/hooks.h"

namespace {

WizardBoxConfig g_config;
std::vector<WizardBoxRecord> g_log;

// Engine texts are in the machine's ANSI code page; its letters used in
// messages (like 0xE0, a with grave accent) are those of Latin-1.
QString Text(const char* s) { return QString::fromLatin1(s ? s : ""); }

QMessageBox::Icon IconOf(unsigned style) {
  switch (style & 0xF0) {
    case platform::kMbIconError:
      return QMessageBox::Critical;
    case platform::kMbIconQuestion:
      return QMessageBox::Question;
    case platform::kMbIconWarning:
      return QMessageBox::Warning;
    case platform::kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int Show(const char* caption, const char* text, unsigned style) {
  QMessageBox box(IconOf(style), Text(caption), Text(text),
                  QMessageBox::NoButton, g_config.parent);
  struct Choice {
    QMessageBox::StandardButton button;
    int id;
  };
  std::vector<Choice> choices;
  switch (style & 0xF) {
    case platform::kMbOkCancel:
      choices = {{QMessageBox::Ok, platform::kIdOk},
                 {QMessageBox::Cancel, platform::kIdCancel}};
      break;
    case platform::kMbYesNoCancel:
      choices = {{QMessageBox::Yes, platform::kIdYes},
                 {QMessageBox::No, platform::kIdNo},
                 {QMessageBox::Cancel, platform::kIdCancel}};
      break;
    case platform::kMbYesNo:
      choices = {{QMessageBox::Yes, platform::kIdYes},
                 {QMessageBox::No, platform::kIdNo}};
      break;
    default:
      choices = {{QMessageBox::Ok, platform::kIdOk}};
  }
  for (const Choice& c : choices) box.addButton(c.button);
  size_t def = (style & platform::kMbDefButton2) && choices.size() > 1 ? 1 : 0;
  box.setDefaultButton(choices[def].button);
  // Escape (and the close box) give the last button: Cancel, No or OK.
  box.setEscapeButton(box.button(choices.back().button));
  if (g_config.unattended) {
    QTimer::singleShot(g_config.auto_close_ms, &box, [&box, &choices, def] {
      box.button(choices[def].button)->click();
    });
  }
  box.exec();
  auto clicked = box.standardButton(box.clickedButton());
  for (const Choice& c : choices)
    if (c.button == clicked) return c.id;
  return choices.back().id;
}

}  // namespace

void SetWizardBoxConfig(const WizardBoxConfig& config) { g_config = config; }

const std::vector<WizardBoxRecord>& WizardBoxLog() { return g_log; }

void ClearWizardBoxLog() { g_log.clear(); }

int WizardMessageBox(const char* caption, const char* text, unsigned style) {
  int answer;
  if ((style & 0xF) == platform::kMbYesNoCancel &&
      (g_config.answer != 0 || g_config.unattended)) {
    answer = g_config.answer != 0 ? g_config.answer : platform::kIdCancel;
  } else {
    answer = Show(caption, text, style);
  }
  g_log.push_back({caption ? caption : "", text ? text : "", style, answer});
  return answer;
}
