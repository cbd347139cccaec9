#include "color_label.h"

#include <QApplication>
#include <QPalette>

namespace {

QColor FromRgb(int32_t c) {
  uint32_t v = static_cast<uint32_t>(c);
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

}  // namespace

ColorLabel::ColorLabel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setAutoFillBackground(true);
  Apply();
}

QColor ColorLabel::BkColor() const {
  return bk_ == -1 ? QApplication::palette().color(QPalette::Button)
                   : FromRgb(bk_);
}

QColor ColorLabel::TextColor() const {
  return text_ == -1 ? QApplication::palette().color(QPalette::ButtonText)
                     : FromRgb(text_);
}

void ColorLabel::SetBkColor(int32_t color) {
  bk_ = color;
  Apply();
}

void ColorLabel::SetTextColor(int32_t color) {
  text_ = color;
  Apply();
}

void ColorLabel::Apply() {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, BkColor());
  pal.setColor(QPalette::WindowText, TextColor());
  setPalette(pal);
  update();
}
