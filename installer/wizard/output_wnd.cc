#include "output_wnd.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "output_text.h"

namespace {

// The 16-colour palette of the colour codes (index: RGB).
constexpr std::array<QRgb, output_text::kPaletteSize> kPalette = {
    qRgb(255, 255, 255), qRgb(0, 0, 0),     qRgb(0, 0, 128),
    qRgb(0, 128, 0),     qRgb(255, 0, 0),   qRgb(128, 0, 0),
    qRgb(128, 0, 128),   qRgb(128, 128, 0), qRgb(255, 255, 0),
    qRgb(0, 255, 0),     qRgb(0, 128, 128), qRgb(0, 255, 255),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(128, 128, 128),
    qRgb(192, 192, 192)};

QString Latin1(const std::string& s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

TOutputWnd::TOutputWnd(QWidget* parent) : QAbstractScrollArea(parent) {
  background_ = palette().color(QPalette::Base);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setRange(0, 0);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setPageStep(1);
  horizontalScrollBar()->setRange(0, 0);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SetFont(font());  // the default GUI font until the page sets its own
}

QColor TOutputWnd::PaletteColor(int i) {
  return QColor(kPalette[static_cast<size_t>(i) % kPalette.size()]);
}

int TOutputWnd::Measure(unsigned char c) const {
  if (fixed_pitch_) return char_width_;
  return QFontMetrics(font_).horizontalAdvance(QChar(c));
}

int TOutputWnd::LineWidth(const std::string& line) const {
  if (fixed_pitch_) {
    return output_text::TextWidth(
        line, [this](unsigned char) { return char_width_; });
  }
  QFontMetrics fm(font_);
  std::string plain;
  for (const output_text::Run& r : output_text::SplitRuns(line))
    plain += r.text;
  return fm.horizontalAdvance(Latin1(plain));
}

std::vector<std::string> TOutputWnd::Rows(const std::string& line) const {
  if (!word_wrap_) return {line};
  return output_text::Wrap(line, viewport()->width(),
                           [this](unsigned char c) { return Measure(c); });
}

void TOutputWnd::AddString(const std::string& line) {
  lines_.push_back(line);
  if (LineCount() > kLineLimit) {
    lines_.pop_front();
    --bottom_;
  }
  widest_ = std::max(widest_, LineWidth(line));
  int count = LineCount();
  if (bottom_ == -1 || bottom_ == count - 2) bottom_ = count - 1;
  bottom_ = std::clamp(bottom_, -1, count - 1);
  UpdateVertical();
  if (!word_wrap_) UpdateHorizontal();
  viewport()->update();
}

void TOutputWnd::SetFont(const QFont& font) {
  font_ = font;
  setFont(font);
  QFontMetrics fm(font_);
  fixed_pitch_ = QFontInfo(font_).fixedPitch();
  line_height_ = std::max(1, fm.height());
  // In a fixed-pitch font every character takes the cell width.
  // (rounded up, so that a wrapped row never runs past the edge).
  char_width_ = std::max(
      1, fixed_pitch_ ? static_cast<int>(std::ceil(
                            QFontMetricsF(font_).horizontalAdvance(QChar('0'))))
                      : fm.averageCharWidth());
  widest_ = 0;
  for (const std::string& l : lines_) widest_ = std::max(widest_, LineWidth(l));
  UpdateHorizontal();
  viewport()->update();
}

void TOutputWnd::SetWordWrap(bool on) {
  word_wrap_ = on;
  setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff
                                  : Qt::ScrollBarAsNeeded);
  UpdateHorizontal();
  viewport()->update();
}

void TOutputWnd::ScrollToLine(int i) {
  if (lines_.empty()) return;
  verticalScrollBar()->setValue(std::clamp(i, 0, LineCount() - 1));
}

void TOutputWnd::UpdateVertical() {
  syncing_ = true;
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, LineCount() - 1));
  bar->setValue(std::max(0, bottom_));
  syncing_ = false;
}

void TOutputWnd::UpdateHorizontal() {
  syncing_ = true;
  QScrollBar* bar = horizontalScrollBar();
  int range = word_wrap_ ? 0 : std::max(0, widest_ - viewport()->width());
  bar->setRange(0, range);
  bar->setSingleStep(char_width_);
  bar->setPageStep(char_width_);
  hoffset_ = std::clamp(hoffset_, 0, range);
  bar->setValue(hoffset_);
  syncing_ = false;
}

void TOutputWnd::scrollContentsBy(int, int) {
  if (syncing_) return;
  if (!lines_.empty()) bottom_ = verticalScrollBar()->value();
  hoffset_ = word_wrap_ ? 0 : horizontalScrollBar()->value();
  viewport()->update();
}

void TOutputWnd::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateHorizontal();
  UpdateVertical();
}

void TOutputWnd::DrawRow(QPainter& p, const std::string& row, int y, int* fg,
                         int* bg) const {
  // The row's background first: glyphs may reach a little past the measured
  // cells, and nothing drawn later may cover them.
  p.fillRect(0, y, viewport()->width(), line_height_, background_);
  QFontMetrics fm(font_);
  int x = -hoffset_;
  for (const output_text::Run& r : output_text::SplitRuns(row)) {
    if (r.fg >= 0) *fg = r.fg;
    if (r.bg >= 0) *bg = r.bg;
    if (r.text.empty()) continue;
    QString text = Latin1(r.text);
    int w = fm.horizontalAdvance(text);
    if (*bg >= 0) p.fillRect(x, y, w, line_height_, PaletteColor(*bg));
    p.setPen(PaletteColor(*fg));
    p.drawText(x, y + fm.ascent(), text);
    x += w;
  }
}

void TOutputWnd::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.setFont(font_);
  int width = viewport()->width();
  int y = viewport()->height();
  // From the bottom line upwards until the top of the window is passed.
  for (int i = bottom_; i >= 0 && y > 0; --i) {
    std::vector<std::string> rows = Rows(lines_[i]);
    int top = y - static_cast<int>(rows.size()) * line_height_;
    int fg = kDefaultTextColor, bg = -1;
    for (size_t k = 0; k < rows.size(); ++k)
      DrawRow(p, rows[k], top + static_cast<int>(k) * line_height_, &fg, &bg);
    y = top;
  }
  if (y > 0) p.fillRect(0, 0, width, y, background_);
}
