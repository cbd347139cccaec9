// TOutputWnd: the scrolling log of the installer's second page. Every engine
// message is one line; the newest line is shown at the bottom and followed
// while the view is on it. Lines wrap at the last blank that fits (or scroll
// horizontally with wrapping off) and may carry colour codes (see
// output_text.h) into a 16-colour palette. Only the rows that are visible
// are laid out and painted.
//
// Lines are 8-bit text in the machine's ANSI code page, shown as Latin-1.
// Owned by its parent widget; GUI thread only.

#ifndef INSTALLER_WIZARD_OUTPUT_WND_H_
#define INSTALLER_WIZARD_OUTPUT_WND_H_

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <array>
#include <deque>
#include <string>
#include <vector>

class TOutputWnd : public QAbstractScrollArea {
 public:
  // Lines kept; the oldest goes when another arrives.
  static constexpr int kLineLimit = 5000;
  // Palette index of the default text colour (black).
  static constexpr int kDefaultTextColor = 1;

  explicit TOutputWnd(QWidget* parent = nullptr);

  // Appends a line (without line ending). When more than kLineLimit lines
  // are held the oldest is dropped. The view follows the new line when it
  // was showing the previous last line (or nothing); otherwise it stays.
  void AddString(const std::string& line);
  // Replaces the font, measures line height and character width, recomputes
  // the horizontal range and repaints.
  void SetFont(const QFont& font);
  // Word wrap (default on); off, long lines scroll horizontally.
  void SetWordWrap(bool on);

  int LineCount() const { return static_cast<int>(lines_.size()); }
  const std::string& Line(int i) const { return lines_[i]; }
  // Index of the line drawn at the bottom, -1 while empty.
  int BottomLine() const { return bottom_; }
  // Moves the view so that line i is at the bottom (as the scroll bar does).
  void ScrollToLine(int i);
  int HorizontalOffset() const { return hoffset_; }
  int LineHeight() const { return line_height_; }
  int CharWidth() const { return char_width_; }
  // The rows line is drawn in at the current client width.
  std::vector<std::string> Rows(const std::string& line) const;
  // The palette colour of index i (0..15).
  static QColor PaletteColor(int i);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int Measure(unsigned char c) const;
  void DrawRow(class QPainter& p, const std::string& row, int y, int* fg,
               int* bg) const;
  void UpdateVertical();
  void UpdateHorizontal();
  int LineWidth(const std::string& line) const;

  std::deque<std::string> lines_;
  QFont font_;
  bool fixed_pitch_ = true;
  int line_height_ = 1;
  int char_width_ = 1;
  QColor background_;
  int bottom_ = -1;
  bool word_wrap_ = true;
  int hoffset_ = 0;
  int widest_ = 0;
  bool syncing_ = false;  // scroll bars being set by the window itself
};

#endif  // INSTALLER_WIZARD_OUTPUT_WND_H_
