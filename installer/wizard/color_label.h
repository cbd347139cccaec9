// ColorLabel: a static text with its own background and text colours,
// centred horizontally and vertically. Colours are 0x00BBGGRR values (as
// RGB() builds them); -1 stands for the system colours (button text on
// button face), which are also the defaults. Owned by its parent widget.

#ifndef INSTALLER_WIZARD_COLOR_LABEL_H_
#define INSTALLER_WIZARD_COLOR_LABEL_H_

#include <QLabel>
#include <cstdint>

// The 0x00BBGGRR value of a colour.
constexpr int32_t Rgb(int r, int g, int b) {
  return static_cast<int32_t>(static_cast<uint32_t>(r & 0xFF) |
                              (static_cast<uint32_t>(g & 0xFF) << 8) |
                              (static_cast<uint32_t>(b & 0xFF) << 16));
}

class ColorLabel : public QLabel {
 public:
  explicit ColorLabel(QWidget* parent = nullptr);

  // Replaces the background colour (-1: the system button face) and
  // repaints.
  void SetBkColor(int32_t color);
  // Replaces the text colour (-1: the system button text) and repaints.
  void SetTextColor(int32_t color);

  // The colours in force.
  QColor BkColor() const;
  QColor TextColor() const;

 private:
  void Apply();

  int32_t bk_ = -1;
  int32_t text_ = -1;
};

#endif  // INSTALLER_WIZARD_COLOR_LABEL_H_
